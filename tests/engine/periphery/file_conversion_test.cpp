// The engine's file operations: MIDI files made by abc2midi from chorded tunes
// converted into engine input and checked against mido's reading of them,
// the two inspection copies checked through csvmidi and mido, the mobile
// channel limits, the file-filter table and the run-settings defaults.
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "engine/compose_info.h"
#include "engine/file_conversion.h"
#include "export/ringtone/mobile.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/tune_structure.h"
#include "platform/core/file_dialogs.h"
#include "platform/core/folders.h"
#include "song/chord_codes.h"
#include "style/engine_services.h"
#include "tests/engine/engine_fixture.h"

namespace {

namespace fs = std::filesystem;

struct MidoNote {
  int channel, tick, pitch, length;
};

// mido's notes of a file, ticks rescaled to 96 per quarter.
std::vector<MidoNote> MidoNotes(const fs::path& file, bool rescale = true) {
  int division = 0;
  std::vector<std::string> lines;
  EXPECT_TRUE(cantrel_test::MidoEventLines(file, &division, &lines)) << file;
  std::vector<MidoNote> notes;
  for (const std::string& line : lines) {
    std::istringstream in(line);
    std::string kind;
    int channel = 0, tick = 0, pitch = 0, velocity = 0, length = 0;
    in >> kind;
    if (kind != "note") continue;
    in >> channel >> tick >> pitch >> velocity >> length;
    if (rescale) {
      tick = tick * 96 / division;
      length = length * 96 / division;
    }
    notes.push_back({channel, tick, pitch, length});
  }
  return notes;
}

int CountBends(const fs::path& file) {
  int division = 0;
  std::vector<std::string> lines;
  cantrel_test::MidoEventLines(file, &division, &lines);
  return static_cast<int>(std::count_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.compare(0, 5, "bend ") == 0;
  }));
}

int OnSixteenth(int ticks96) { return (ticks96 + 12) / 24 * 24; }

// The melody as the conversion should give it: channel 0's notes on the
// sixteenth grid, each lasting to the next start (or its own end, then a
// rest), a rest before the first; at most a bar per event.
std::vector<std::pair<int, int>> ExpectedMelody(const std::vector<MidoNote>& notes) {
  std::vector<std::pair<int, int>> starts;  // (start, end) by pitch order
  std::map<int, std::pair<int, int>> by_start;  // start -> (pitch, end), highest pitch kept
  for (const MidoNote& n : notes) {
    if (n.channel != 0) continue;
    const int start = OnSixteenth(n.tick);
    const int end = OnSixteenth(n.tick + n.length);
    auto it = by_start.find(start);
    if (it == by_start.end() || it->second.first < n.pitch) by_start[start] = {n.pitch, end};
  }
  std::vector<std::pair<int, int>> events;  // (length, pitch)
  int now = 0;
  auto emit = [&](int length, int pitch) {
    while (length > 384) {
      events.push_back({384, pitch});
      length -= 384;
      pitch = 0;
    }
    if (length > 0) events.push_back({length, pitch});
  };
  for (auto it = by_start.begin(); it != by_start.end(); ++it) {
    if (it->first > now) emit(it->first - now, 0);
    auto next = std::next(it);
    const int end = next == by_start.end() ? it->second.second
                                           : std::min(it->second.second, next->first);
    emit(end - it->first, it->second.first);
    now = end;
  }
  return events;
}

// The tune's chord symbol roots, one per bar (the symbol sounding at the bar's
// start), as pitch classes.
std::vector<int> BarRoots(const std::string& abc) {
  std::string body;
  const size_t key = abc.find("\nK:");
  body = abc.substr(abc.find('\n', key + 1) + 1);
  std::vector<int> roots;
  int current = -1;
  std::istringstream bars(body);
  std::string bar;
  while (std::getline(bars, bar, '|')) {
    const size_t first = bar.find_first_not_of(" \n:");
    if (first == std::string::npos) continue;  // "||" and line ends
    int at_start = current;
    for (size_t i = bar.find('"'); i != std::string::npos; i = bar.find('"', i + 1)) {
      int pc = RootPitchClass(bar[i + 1]);
      if (bar[i + 2] == 'b') pc = (pc + 11) % 12;
      if (bar[i + 2] == '#') pc = (pc + 1) % 12;
      if (i == first) at_start = pc;
      current = pc;
      i = bar.find('"', i + 1);
    }
    roots.push_back(at_start);
  }
  return roots;
}

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class FileConversionTest : public EngineTest {
 protected:
  // Runs csvmidi on the text; the MIDI file's path.
  fs::path CsvMidi(const std::string& csv, const std::string& name) {
    const fs::path dir = cantrel_test::TempDir();
    const fs::path csv_path = dir / (name + ".csv");
    const fs::path mid = dir / (name + ".mid");
    std::ofstream(csv_path) << csv;
    EXPECT_EQ(cantrel_test::RunTool({"csvmidi", csv_path.string(), mid.string()}), 0);
    return mid;
  }

  static std::vector<std::pair<int, int>> Melody() {
    std::vector<std::pair<int, int>> got;
    const EventList& list = VocalMelodyList();
    for (int i = 0; i < list.count(); ++i) got.push_back({list[i].length, list[i].pitch});
    return got;
  }
};

TEST_F(FileConversionTest, ChordedTunesFromAbc2midi) {
  CANTREL_NEED_TOOL("abc2midi");
  CANTREL_NEED_MIDO();
  for (const char* name : {"folk_in_g", "steps_in_f", "minor_in_a"}) {
    SCOPED_TRACE(name);
    const fs::path abc = cantrel_test::DataPath(std::string("abc/chords/") + name + ".abc");
    const fs::path mid = cantrel_test::TempDir() / (std::string(name) + ".mid");
    std::string log;
    ASSERT_EQ(cantrel_test::RunTool({"abc2midi", abc.string(), "-o", mid.string()}, &log), 0);
    cantrel_test::Sink().Clear();
    ASSERT_EQ(ConvertMidiFileToEngineInput(mid), 1);
    EXPECT_EQ(BoxCount(), 0u);

    const std::vector<std::pair<int, int>> expected = ExpectedMelody(MidoNotes(mid));
    std::vector<std::pair<int, int>> got = Melody();
    // A rest after the last note (to the end of the track) is no note of the tune.
    while (!got.empty() && got.back().second == 0 && got.size() > expected.size()) got.pop_back();
    EXPECT_EQ(got, expected);
    ASSERT_EQ(MelodyInputCopy().count(), VocalMelodyList().count());

    // The chord input's root at the start of each bar against the tune's symbols.
    const std::vector<int> roots = BarRoots(ReadText(abc));
    const ComposeInformation& info = ComposeInfo();
    std::vector<int> bar_roots;
    int tick = 0;
    for (int i = 0; i < info.ChordInputCount(); ++i) {
      const ChordEntry e = info.ChordInputEntry(i);
      for (int t = tick; t < tick + e.length; t += 48)
        if (t % 384 == 0) bar_roots.push_back(e.code[0] == 'N' ? -1 : RootPitchClass(e.code[0]));
      tick += e.length;
    }
    ASSERT_GE(bar_roots.size(), roots.size());
    int same = 0;
    for (size_t b = 0; b < roots.size(); ++b) same += bar_roots[b] == roots[b];
    EXPECT_GE(same * 10, static_cast<int>(roots.size()) * 8)
        << same << " of " << roots.size() << " bars";
  }
}

TEST_F(FileConversionTest, BarWindowKeepsItsBars) {
  CANTREL_NEED_TOOL("abc2midi");
  const fs::path abc = cantrel_test::DataPath("abc/chords/folk_in_g.abc");
  const fs::path mid = cantrel_test::TempDir() / "folk.mid";
  ASSERT_EQ(cantrel_test::RunTool({"abc2midi", abc.string(), "-o", mid.string()}), 0);
  ASSERT_EQ(ConvertMidiFileToEngineInput(mid), 1);
  // The whole melody by bar (a bar is 384 ticks).
  std::vector<std::pair<int, int>> whole = Melody();
  std::vector<std::pair<int, int>> bars_2_to_5;  // (start, pitch) within the window
  int now = 0;
  for (const auto& [length, pitch] : whole) {
    if (now >= 2 * 384 && now < 6 * 384 && pitch != 0) bars_2_to_5.push_back({now - 768, pitch});
    now += length;
  }
  ASSERT_EQ(ConvertMidiFileToEngineInput(mid, BarWindow{2, 4}), 1);
  std::vector<std::pair<int, int>> window;
  now = 0;
  for (const auto& [length, pitch] : Melody()) {
    if (pitch != 0) window.push_back({now, pitch});
    now += length;
  }
  EXPECT_EQ(window, bars_2_to_5);
  int chord_ticks = 0;
  for (int i = 0; i < ComposeInfo().ChordInputCount(); ++i)
    chord_ticks += ComposeInfo().ChordInputEntry(i).length;
  EXPECT_EQ(chord_ticks, 4 * 384);

  // A window beyond the song keeps nothing of it, and reads nothing beyond.
  ASSERT_EQ(ConvertMidiFileToEngineInput(mid, BarWindow{1000, 5000}), 1);
  EXPECT_EQ(ComposeInfo().ChordInputCount(), 0);
  for (const auto& [length, pitch] : Melody()) EXPECT_EQ(pitch, 0);
}

// A format-0 file of one note at the given division.
std::vector<uint8_t> OneNoteFile(int division) {
  std::vector<uint8_t> b = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1,
                            static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
  const std::vector<uint8_t> track = {0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0};
  const std::vector<uint8_t> head = {'M', 'T', 'r', 'k', 0, 0, 0, static_cast<uint8_t>(track.size())};
  b.insert(b.end(), head.begin(), head.end());
  b.insert(b.end(), track.begin(), track.end());
  return b;
}

TEST_F(FileConversionTest, RefusedFilesChangeNothing) {
  const fs::path dir = cantrel_test::TempDir();
  auto write = [&](const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path p = dir / name;
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
    return p;
  };
  struct Case {
    const char* what;
    fs::path path;
    ProgramErrorCode error;
  };
  const Case cases[] = {
      {"missing", dir / "none.mid", 0xFF010101u},
      {"empty", write("empty.mid", {}), 0xFF010102u},
      {"too large", write("big.mid", std::vector<uint8_t>(kConversionBufferSize, 0)), 0xFF010102u},
      {"no MIDI file", write("text.mid", {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd',
                                          ' ', ' ', ' ', ' ', ' '}),
       0xFF01016Cu},
      {"division 0", write("d0.mid", OneNoteFile(0)), 0xFF010103u},
      {"division 3", write("d3.mid", OneNoteFile(3)), 0xFF010103u},
  };
  for (const Case& c : cases) {
    VocalMelodyList().FreeEvents();
    VocalMelodyList().AppendNote(96, 72);
    cantrel_test::Sink().Clear();
    EXPECT_EQ(ConvertMidiFileToEngineInput(c.path), 0) << c.what;
    EXPECT_EQ(ErrorCount(c.error), 1) << c.what;
    ASSERT_EQ(VocalMelodyList().count(), 1) << c.what;
    EXPECT_EQ(VocalMelodyList()[0].pitch, 72) << c.what;
  }
  // Division 4 is the smallest with a sixteenth grid.
  cantrel_test::Sink().Clear();
  EXPECT_EQ(ConvertMidiFileToEngineInput(write("d4.mid", OneNoteFile(4))), 1);
  EXPECT_EQ(ErrorCount(0xFF010103u), 0);
}

TEST_F(FileConversionTest, DivisionCheck) {
  for (int division : {0, 1, 3, 4, 96, 32767, 32768, -5}) {
    Midi0Data song(kSongNotes, division, 0x10000);
    cantrel_test::Sink().Clear();
    const int ok = division >= 4 && division <= 32767;
    EXPECT_EQ(CheckMidiDivision(song), ok ? 1 : 0) << division;
    EXPECT_EQ(ErrorCount(0xFF010103u), ok ? 0 : 1) << division;
  }
}

TEST_F(FileConversionTest, EmptyPathAsksForTheFile) {
  plat::ScriptedFileDialogs dialogs;
  plat::InstallFileDialogs(&dialogs);
  dialogs.QueueFileCancel();
  EXPECT_EQ(ConvertMidiFileToEngineInput(fs::path()), 0);
  EXPECT_EQ(BoxCount(), 0u);
  const fs::path mid = cantrel_test::TempDir() / "one.mid";
  const std::vector<uint8_t> bytes = OneNoteFile(96);
  std::ofstream(mid, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
  dialogs.QueueFile(mid);
  EXPECT_EQ(ConvertMidiFileToEngineInput(fs::path()), 1);
  plat::InstallFileDialogs(nullptr);
  const std::vector<plat::FileDialogRequest> requests = dialogs.FileRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].default_extension, "mid");
  EXPECT_EQ(requests[0].filter, "midi files|*.mid|");
  ASSERT_GE(VocalMelodyList().count(), 1);
  EXPECT_EQ(VocalMelodyList()[0].pitch, 60);
  EXPECT_EQ(VocalMelodyList()[0].length, 96);
}

// A csvmidi text of 18 channels: channels 0-15 of the first port, then two
// of the second, each track one note per quarter.
std::string EighteenChannels() {
  std::ostringstream csv;
  csv << "0, 0, Header, 1, 19, 96\n1, 0, Start_track\n1, 0, Tempo, 500000\n1, 0, End_track\n";
  for (int t = 0; t < 18; ++t) {
    const int track = t + 2;
    const int channel = t < 16 ? t : t - 16;
    csv << track << ", 0, Start_track\n";
    csv << track << ", 0, MIDI_port, " << (t < 16 ? 0 : 1) << "\n";
    csv << track << ", 0, Program_c, " << channel << ", " << (channel == 9 ? 0 : (t * 5) % 128)
        << "\n";
    for (int n = 0; n < 4; ++n) {
      const int tick = n * 96 + t;
      const int pitch = channel == 9 ? 36 + n : 48 + t + n;
      csv << track << ", " << tick << ", Note_on_c, " << channel << ", " << pitch << ", 90\n";
      csv << track << ", " << tick + 80 << ", Note_off_c, " << channel << ", " << pitch << ", 0\n";
    }
    csv << track << ", 400, End_track\n";
  }
  csv << "0, 0, End_of_file\n";
  return csv.str();
}

TEST_F(FileConversionTest, SixteenChannelCopy) {
  CANTREL_NEED_TOOL("csvmidi");
  CANTREL_NEED_MIDO();
  const fs::path original = CsvMidi(EighteenChannels(), "eighteen");
  fs::path path = original;
  ASSERT_TRUE(SaveSixteenChannelCopy(&path));
  EXPECT_EQ(path, plat::TempFolder() / "16ch.mid");
  const std::vector<MidoNote> before = MidoNotes(original, false);
  const std::vector<MidoNote> after = MidoNotes(path, false);
  std::vector<int> channels;
  for (const MidoNote& n : after) channels.push_back(n.channel);
  std::sort(channels.begin(), channels.end());
  channels.erase(std::unique(channels.begin(), channels.end()), channels.end());
  EXPECT_LE(channels.size(), 16u);
  auto tick_pitch = [](const std::vector<MidoNote>& notes) {
    std::vector<std::pair<int, int>> v;
    for (const MidoNote& n : notes) v.push_back({n.tick, n.pitch});
    std::sort(v.begin(), v.end());
    return v;
  };
  EXPECT_EQ(tick_pitch(after), tick_pitch(before));
  EXPECT_EQ(before.size(), 72u);
  // No temporary file is left beside it.
  for (const auto& entry : fs::directory_iterator(plat::TempFolder()))
    EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << entry.path();
}

TEST_F(FileConversionTest, BendFreeCopy) {
  CANTREL_NEED_TOOL("csvmidi");
  CANTREL_NEED_MIDO();
  // Bend range 2 semitones; a full bend up raises the first note by two.
  const std::string csv =
      "0, 0, Header, 1, 2, 96\n"
      "1, 0, Start_track\n1, 0, Tempo, 500000\n1, 0, End_track\n"
      "2, 0, Start_track\n"
      "2, 0, Control_c, 0, 101, 0\n2, 0, Control_c, 0, 100, 0\n2, 0, Control_c, 0, 6, 2\n"
      "2, 0, Pitch_bend_c, 0, 16383\n"
      "2, 0, Note_on_c, 0, 60, 90\n2, 90, Note_off_c, 0, 60, 0\n"
      "2, 96, Pitch_bend_c, 0, 8192\n"
      "2, 96, Note_on_c, 0, 64, 90\n2, 186, Note_off_c, 0, 64, 0\n"
      "2, 192, End_track\n0, 0, End_of_file\n";
  const fs::path original = CsvMidi(csv, "bends");
  ASSERT_GT(CountBends(original), 0);
  fs::path path = original;
  ASSERT_TRUE(SaveBendFreeCopy(&path));
  EXPECT_EQ(path, plat::TempFolder() / "pitch.mid");
  EXPECT_EQ(CountBends(path), 0);
  std::vector<std::pair<int, int>> notes;
  for (const MidoNote& n : MidoNotes(path, false)) notes.push_back({n.tick, n.pitch});
  std::sort(notes.begin(), notes.end());
  EXPECT_EQ(notes, (std::vector<std::pair<int, int>>{{0, 62}, {96, 64}}));
}

TEST_F(FileConversionTest, RefusedFileWritesNoCopy) {
  const fs::path text = cantrel_test::TempDir() / "notes.txt";
  std::ofstream(text) << "no MIDI file here at all";
  cantrel_test::QuietBoxes quiet;
  for (bool bends : {false, true}) {
    fs::path path = text;
    EXPECT_FALSE(bends ? SaveBendFreeCopy(&path) : SaveSixteenChannelCopy(&path));
    EXPECT_EQ(path, text);
  }
  EXPECT_FALSE(fs::exists(plat::TempFolder() / "16ch.mid"));
  EXPECT_FALSE(fs::exists(plat::TempFolder() / "pitch.mid"));
}

TEST_F(FileConversionTest, SecondMelodyTracksMerge) {
  Midi1Data song(96, 0x20000);
  for (int channel : {2, 4, 5, 7}) {
    Midi1Track* t = song.AddEmptyTrack(0x8000);
    t->mode = kTrackNotes;
    t->AddNote(channel, 0, 60 + channel, 90, 48);
    t->AddNote(channel, 96, 62 + channel, 90, 48);
    t->AddEndOfTrack();
  }
  TuneStructure structure;
  structure.part_type[4] = kPartSecondMelody;
  structure.part_type[7] = kPartSecondMelody;
  MergeTracksOfKind5(song, structure);
  ASSERT_EQ(song.track_count, 4);
  EXPECT_EQ(song.tracks[0]->GetNoteCount(), 2);
  EXPECT_EQ(song.tracks[1]->GetNoteCount(), 4);  // channel 4 took channel 7's notes
  EXPECT_EQ(song.tracks[1]->CountNotesOfChannel(4), 4);
  EXPECT_EQ(song.tracks[2]->GetNoteCount(), 2);
  EXPECT_EQ(song.tracks[3]->GetNoteCount(), 0);
  EXPECT_GE(song.tracks[3]->event_count, 1);  // End of Track
}

std::unique_ptr<MobileData> MobileSong(const std::vector<std::pair<int, int>>& channels) {
  // (channel index, notes sounding at once)
  auto song = std::make_unique<MobileData>();
  for (const auto& [index, voices] : channels) {
    auto v = std::make_unique<MobileChannel>(index, 2);
    for (int n = 0; n < voices; ++n) v->AddNote(0, 60 + n, 96, 90);
    v->AddNote(96, 72, 96, 90);
    v->AddEndOfTrack();
    song->AppendVoice(std::move(v));
  }
  return song;
}

std::vector<int> Active(const MobileData& song) {
  std::vector<int> v;
  for (int i = 0; i < song.voice_count; ++i) v.push_back(song.voices[i]->active);
  return v;
}

TEST_F(FileConversionTest, MobileChannelLimits) {
  struct Case {
    int device_type;
    int limit;
  };
  const Case limits[] = {{3, 16}, {6, 16}, {13, 16}, {24, 16}, {7, 4},  {9, 4},  {11, 4},
                         {14, 32}, {16, 32}, {17, 40}, {19, 40}, {18, 64}, {1, 0}, {8, 0}};
  for (const Case& c : limits) EXPECT_EQ(MobileChannelLimit(c.device_type), c.limit) << c.device_type;

  auto song = MobileSong({{0, 1}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}});
  song->voices[1]->active = 0;
  LimitMobileChannels(*song, 7);
  EXPECT_EQ(Active(*song), (std::vector<int>{1, 0, 1, 1, 1, 0}));
  LimitMobileChannels(*song, 3);  // 16 channels: nothing to do
  EXPECT_EQ(Active(*song), (std::vector<int>{1, 0, 1, 1, 1, 0}));
  cantrel_test::Sink().Clear();
  LimitMobileChannels(*song, 8);
  EXPECT_EQ(ErrorCount(0xFF0101E0u), 1);
  EXPECT_EQ(Active(*song), (std::vector<int>{1, 0, 1, 1, 1, 0}));

  // Polyphony 2 + 3 + 1 (the drum channel counts its distinct notes: 2) + ...
  auto chords = MobileSong({{0, 2}, {1, 3}, {9, 1}, {2, 1}});
  LimitMobilePolyphony(*chords, 7);  // 4 voices
  // 2 (kept), 3 (would make 5: off), drums 2 notes (4: kept), 1 (5: off).
  EXPECT_EQ(Active(*chords), (std::vector<int>{1, 0, 1, 0}));
  auto small = MobileSong({{0, 2}, {1, 1}});
  LimitMobilePolyphony(*small, 7);
  EXPECT_EQ(Active(*small), (std::vector<int>{1, 1}));
}

TEST_F(FileConversionTest, FileFilters) {
  struct Case {
    int id;
    const char* filter;
  };
  const Case cases[] = {
      {0, "midi files|*.mid|"},  {1, "midi files|*.mid|"}, {2, "midi files|*.mid|"},
      {22, "wave files|*.wav|"}, {21, "aiff files|*.aiff|"},
      {26, "NTT DoCoMo 着メロファイル|*.mld|"}, {27, "Softbank 着メロファイル|*.mmf|"},
      {5, "au 16和音 files (pmd)|*.pmd|"},    {28, "au 着メロファイル|*.mmf|"},
      {20, "MFM files|*.mfm|"},  {10, "DOCOMO 16和音 Melody Mail files|*.txt|"},
      {12, "DOCOMO 4和音 Melody Mail files|*.txt|"}, {8, "MA1 files|*.ma1|"},
      {25, "DOCOMO 着うたfiles|*.mld|"},
  };
  for (const Case& c : cases) {
    std::string text = "before";
    EXPECT_TRUE(LookupFileFilter(c.id, &text));
    EXPECT_EQ(text, c.filter) << c.id;
  }
  for (int id : {3, 4, 6, 7, 9, 11, 13, 29, -1, 1000}) {
    std::string text = "before";
    EXPECT_FALSE(LookupFileFilter(id, &text));
    EXPECT_EQ(text, "before") << id;
  }
}

TEST_F(FileConversionTest, RunSettingsDefaults) {
  RunSettings s;
  EXPECT_FALSE(RunSettingsDefaults(&s));
  EXPECT_EQ(s.melody_from_input, 1);
  EXPECT_EQ(s.conductor_options, 1);
  EXPECT_EQ(s.part_header_options, 1);
  EXPECT_EQ(s.lead_in, 1);
  EXPECT_EQ(s.user_name, "OVX User");
  EXPECT_EQ(s.temp_folder, plat::TempFolder());
  EXPECT_EQ(s.program_folder, plat::ProgramFolder() / "");
  EXPECT_EQ(s.program_folder_copy, s.program_folder);
  EXPECT_EQ(s.numbers[0], 2);
  EXPECT_EQ(s.numbers[1], 24);
  EXPECT_EQ(s.numbers[2], 18000);
}

TEST_F(FileConversionTest, ExtendedInstrumentNames) {
  const char* const names[] = {
      "犬", "ﾗｯﾌﾟの音", "ｽﾃﾚｵｶﾞﾑﾗﾝ", "ｶﾞﾑﾗﾝの鐘", "二胡", "ﾃﾞｨｼﾞﾘﾄﾞｩ", "未定義1", "未定義2",
      "ﾋﾟｱﾉｸﾞﾙｰﾌﾟ", "ｷﾞﾀｰｸﾞﾙｰﾌﾟ", "ﾋﾟｱﾉかｷﾞﾀｰ", "管楽器", "主旋律用ﾊﾞﾘｴｰｼｮﾝ",
      "硬い音のﾊﾞﾘｴｰｼｮﾝ", "柔かい音のﾊﾞﾘｴｰｼｮﾝ", "電子音ﾊﾞﾘｴｰｼｮﾝ", "生音ﾊﾞﾘｴｰｼｮﾝ",
      "未定義ﾊﾞﾘｴｰｼｮﾝ1", "未定義ﾊﾞﾘｴｰｼｮﾝ2", "未定義ﾊﾞﾘｴｰｼｮﾝ3", "未定義ﾊﾞﾘｴｰｼｮﾝ4",
      "未定義ﾊﾞﾘｴｰｼｮﾝ5", "未定義ﾊﾞﾘｴｰｼｮﾝ6", "未定義ﾊﾞﾘｴｰｼｮﾝ7"};
  for (int i = 0; i < 24; ++i) {
    ASSERT_NE(InstrumentName(128 + i), nullptr) << 128 + i;
    EXPECT_STREQ(InstrumentName(128 + i), names[i]) << 128 + i;
  }
}

}  // namespace
