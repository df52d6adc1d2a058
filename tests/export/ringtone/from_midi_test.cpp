// Standard MIDI songs into the mobile song, both forms: the Parts' edge cases on small songs,
// and real files (planetblupi-music-midi) and a csvmidi fixture checked against mido and
// midicsv.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "export/ringtone/mobile.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "ringtone_fixture.h"
#include "tests/support/digest.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

bool HasBox(const char* head) {
  for (const auto& t : cantrel_test::Sink().Texts())
    if (t.rfind(head, 0) == 0) return true;
  return false;
}
size_t BoxCount(const char* head) {
  size_t n = 0;
  for (const auto& t : cantrel_test::Sink().Texts()) n += t.rfind(head, 0) == 0 ? 1 : 0;
  return n;
}

// Event builders for tracks in note mode.
MidiEvent* Note(int32_t delta, int channel, int pitch, int velocity, int duration) {
  auto* e = new MidiEvent(delta);
  e->SetNote(channel, pitch, velocity, duration);
  return e;
}
MidiEvent* Cc(int32_t delta, int channel, int number, int value) {
  auto* e = new MidiEvent(delta);
  e->SetControlChange(channel, number, value);
  return e;
}
MidiEvent* Program(int32_t delta, int channel, int program) {
  auto* e = new MidiEvent(delta);
  e->SetProgramChange(channel, program);
  return e;
}
MidiEvent* Marker(int32_t delta, const char* text) {
  auto* e = new MidiEvent(delta);
  e->status = kStatusMeta;
  e->number = 6;
  e->SetDataQuietly(reinterpret_cast<const uint8_t*>(text), static_cast<int32_t>(strlen(text)));
  return e;
}

// A song at division 96 of one track per event list.
std::unique_ptr<Midi1Data> SongOf(const std::vector<std::vector<MidiEvent*>>& tracks) {
  auto song = std::make_unique<Midi1Data>(96, kMobileCapacity);
  for (const auto& events : tracks) {
    auto* track = new Midi1Track(kTrackNotes, kMobileCapacity);
    for (MidiEvent* e : events) track->AddEvent(e);
    track->AddEndOfTrack();
    song->AddTrack(track);
  }
  return song;
}

struct Played { int tick, pitch, duration; };
// The notes of one voice with their ticks.
std::vector<Played> NotesOfVoice(const MobileChannel& v) {
  std::vector<Played> out;
  int tick = 0;
  for (const auto& e : v.events) {
    tick += e->delta;
    if (e->IsNote()) out.push_back({tick, e->note, e->duration});
  }
  return out;
}

bool VoiceIsMonophonic(const MobileChannel& v) {
  const auto notes = NotesOfVoice(v);
  for (size_t i = 1; i < notes.size(); ++i)
    if (notes[i].tick < notes[i - 1].tick + notes[i - 1].duration) return false;
  return true;
}

}  // namespace

// ---- the voice-allocating form ----

TEST(FromMidiSong, RandomSongsAreSharedOutAsPinned) {
  // Songs of one to five tracks on random channels (drums among them) of notes, volumes,
  // programs past 127 and bends: every voice's events and the song's marks folded into a
  // digest, so that the voice allocation may be rearranged but not changed.
  cantrel_test::Digest d;
  for (uint32_t seed = 1; seed <= 200; ++seed) {
    GneSeedRandomWith(seed);
    std::vector<std::vector<MidiEvent*>> tracks(static_cast<size_t>(GneRandomRange(1, 5)));
    for (auto& events : tracks) {
      const int channel = GneRandomRange(0, 3) == 0 ? 9 : GneRandomRange(0, 15);
      for (int i = GneRandomRange(1, 60); i > 0; --i) {
        const int32_t delta = GneRandomRange(0, 3) != 0 ? GneRandomRange(0, 120) : 0;
        switch (GneRandomRange(0, 6)) {
          case 0: events.push_back(Cc(delta, channel, 7, GneRandomRange(0, 127))); break;
          case 1: events.push_back(Program(delta, channel, GneRandomRange(0, 130))); break;
          case 2: {
            auto* e = new MidiEvent(delta);
            e->SetPitchBend(GneRandomRange(0, 16383));
            e->channel = channel;
            events.push_back(e);
            break;
          }
          default:
            events.push_back(Note(delta, channel, GneRandomRange(20, 100), GneRandomRange(1, 127),
                                  GneRandomRange(0, 400)));
        }
      }
    }
    auto song = SongOf(tracks);
    MobileMarks marks;
    MobileData mobile(*song, &marks, kMobileCapacity);
    for (int64_t v : {int64_t{mobile.voice_count}, int64_t{mobile.tempo}, int64_t{marks.start},
                      int64_t{marks.stop}}) {
      d.Int(v);
    }
    for (int32_t v = 0; v < mobile.voice_count; ++v) {
      d.Int(mobile.voices[v]->kind);
      for (const auto& e : mobile.voices[v]->events) {
        for (int64_t field : {int64_t{e->delta}, int64_t{e->status}, int64_t{e->note},
                              int64_t{e->duration}, int64_t{e->velocity}, int64_t{e->value},
                              int64_t{e->number}}) {
          d.Int(field);
        }
      }
    }
  }
  EXPECT_EQ(d.value, 0x736a98116ecc1b43ull);
}

TEST(FromMidiSong, AChordTakesThreeVoicesAndALaterNoteTheBusiestSilentOne) {
  auto song = SongOf({{Program(0, 0, 12), Note(0, 0, 60, 100, 96), Note(0, 0, 64, 100, 96),
                       Note(0, 0, 67, 100, 192), Note(96, 0, 72, 90, 96),
                       Note(96, 0, 74, 90, 48)}});
  MobileData mobile(*song, nullptr, kMobileCapacity);
  ASSERT_EQ(mobile.voice_count, 3);
  // After the chord, voices 0 and 1 are silent at 96; voice 0 wins the tie (first of
  // equals) and then holds the most events, so it also gets the note at 192.
  const auto v0 = NotesOfVoice(*mobile.voices[0]);
  ASSERT_EQ(v0.size(), 3u);
  EXPECT_EQ(v0[1].tick, 96);
  EXPECT_EQ(v0[2].tick, 192);
  EXPECT_EQ(NotesOfVoice(*mobile.voices[1]).size(), 1u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(VoiceIsMonophonic(*mobile.voices[i])) << i;
    EXPECT_EQ(mobile.voices[i]->GetKindValue(kKindProgram), 12) << i;
    EXPECT_EQ(mobile.voices[i]->kind, 2);
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(FromMidiSong, DrumSoundsGetAVoiceEachAndAreKeptInTheDrumRange) {
  auto song = SongOf({{Note(0, 9, 36, 100, 20), Note(48, 9, 38, 100, 20), Note(48, 9, 36, 100, 200),
                       Note(48, 9, 36, 100, 20), Note(48, 9, 30, 100, 20),
                       Note(48, 9, 90, 100, 20)}});
  MobileData mobile(*song, nullptr, kMobileCapacity);
  std::map<int, std::vector<Played>> by_program;
  for (int i = 0; i < mobile.voice_count; ++i) {
    EXPECT_EQ(mobile.voices[i]->kind, 1);
    by_program[mobile.voices[i]->GetKindValue(kKindProgram)] = NotesOfVoice(*mobile.voices[i]);
  }
  ASSERT_EQ(by_program.size(), 4u);  // 36, 38, 35 (from 30) and 81 (from 90)
  ASSERT_EQ(by_program[36].size(), 3u);
  // The 200-tick bass drum is cut where the next one starts.
  EXPECT_EQ(by_program[36][1].duration, 48);
  EXPECT_EQ(by_program[36][2].tick, 144);
  EXPECT_EQ(by_program[35].front().tick, 192);
  EXPECT_EQ(by_program[81].front().pitch, 81);
  EXPECT_EQ(BoxCount("MBDT05000001"), 1u);  // the range warning, once
}

TEST(FromMidiSong, ProgramsReachLaterVoicesAndEveryExistingVoice) {
  auto song = SongOf({{Program(0, 2, 40), Note(10, 2, 60, 100, 96), Note(0, 2, 64, 100, 96),
                       Program(100, 2, 41), Cc(0, 2, 7, 80), Note(0, 2, 62, 100, 10)}});
  MobileData mobile(*song, nullptr, kMobileCapacity);
  ASSERT_EQ(mobile.voice_count, 2);
  for (int i = 0; i < 2; ++i) {
    const MobileChannel& v = *mobile.voices[i];
    // Voice type, the program seen before the voice existed (delta 0), its volume.
    ASSERT_GE(v.event_count(), 3);
    EXPECT_TRUE(v.events[1]->IsControl(kKindProgram));
    EXPECT_EQ(v.events[1]->value, 40);
    EXPECT_EQ(v.events[1]->delta, 0);
    EXPECT_EQ(v.CountKind(kMobileControl, kKindProgram), 2) << i;
    EXPECT_EQ(v.CountKind(kMobileControl, kKindVolume), 2) << i;
  }
  // The second voice was made at tick 10: its first note keeps that tick.
  EXPECT_EQ(NotesOfVoice(*mobile.voices[1]).front().tick, 10);
  EXPECT_EQ(NotesOfVoice(*mobile.voices[0]).back().tick, 110);
}

TEST(FromMidiSong, MarkersAreHandedOutInOneFormAndEventsInTheOther) {
  auto make = [] {
    return SongOf({{Marker(96, "START"), Marker(384, "STOP")},
                   {Note(0, 1, 60, 100, 96), Note(480, 1, 62, 100, 96)}});
  };
  auto song = make();
  MobileMarks marks;
  MobileData mobile(*song, &marks, kMobileCapacity);
  EXPECT_EQ(marks.start, 96);
  EXPECT_EQ(marks.stop, 480);
  for (int i = 0; i < mobile.voice_count; ++i)
    EXPECT_EQ(mobile.voices[i]->CountKind(kMobileControl, kKindStartStop), 0);

  // One voice per track: the conductor track has no channel and gives no voice, so the
  // markers must stand in a channel track to be kept.
  auto song2 = SongOf({{Note(0, 1, 60, 100, 96), Marker(96, "START"), Marker(384, "STOP"),
                        Note(0, 1, 62, 100, 96)}});
  MidiMobileData midi(*song2);
  ASSERT_EQ(midi.voice_count, 1);
  std::vector<std::pair<int, int>> got;
  int tick = 0;
  for (const auto& e : midi.voices[0]->events) {
    tick += e->delta;
    if (e->IsControl(kKindStartStop)) got.emplace_back(tick, e->value);
  }
  EXPECT_EQ(got, (std::vector<std::pair<int, int>>{{96, 0}, {480, 1}}));
}

TEST(FromMidiSong, ASongNotInNoteModeAndTheTwoHundredFiftySeventhVoice) {
  Midi1Data bytes_only(0, nullptr);
  MobileData mobile;
  mobile.FromMidiSong(bytes_only);
  EXPECT_TRUE(HasBox("MBDT05000002"));
  EXPECT_EQ(mobile.voice_count, 0);

  cantrel_test::Sink().Clear();
  // A chord of 260 notes (pitches repeat: every note is a voice of its own).
  std::vector<MidiEvent*> chord;
  for (int i = 0; i < 260; ++i) chord.push_back(Note(0, 0, 30 + i % 90, 100, 50));
  chord.push_back(Note(100, 0, 60, 100, 10));
  auto song = SongOf({chord});
  MobileData wide(*song, nullptr, kMobileCapacity);
  EXPECT_EQ(wide.voice_count, 256);
  EXPECT_EQ(BoxCount("MBDT05000003"), 1u);
  // The note after the chord still finds a voice.
  EXPECT_EQ(NotesOfVoice(*wide.voices[0]).back().tick, 100);
}

// ---- one voice per track ----

TEST(MidiMobileFromMidiSong, DrumProgramsAndRpnSettingsAreCheckedAndDropped) {
  struct Case {
    std::vector<MidiEvent*> (*events)();
    int check;
    const char* box;  // nullptr: no box
  };
  const Case cases[] = {
      {[] { return std::vector<MidiEvent*>{Program(0, 9, 0), Note(0, 9, 36, 100, 10)}; }, 1, nullptr},
      {[] { return std::vector<MidiEvent*>{Program(0, 9, 25), Note(0, 9, 36, 100, 10)}; }, 1,
       "MMDT23000001"},
      {[] { return std::vector<MidiEvent*>{Program(0, 9, 25), Note(0, 9, 36, 100, 10)}; }, 0, nullptr},
      {[] { return std::vector<MidiEvent*>{Cc(0, 3, 101, 0), Cc(0, 3, 100, 1), Note(0, 3, 60, 100, 10)}; },
       1, nullptr},
      {[] { return std::vector<MidiEvent*>{Cc(0, 3, 101, 0), Cc(0, 3, 100, 2), Cc(0, 3, 100, 2),
                                           Note(0, 3, 60, 100, 10)}; },
       1, "MMDT23000003"},
      {[] { return std::vector<MidiEvent*>{Cc(0, 3, 101, 1), Note(0, 3, 60, 100, 10)}; }, 1,
       "MMDT23000003"},
  };
  for (const Case& c : cases) {
    cantrel_test::Sink().Clear();
    auto song = SongOf({c.events()});
    MidiMobileData midi(*song, c.check, 0);
    ASSERT_EQ(midi.voice_count, 1);
    EXPECT_EQ(midi.voices[0]->CountKind(kMobileControl, kKindProgram), 0);
    if (c.box == nullptr) {
      EXPECT_EQ(cantrel_test::Sink().Count(), 0u) << &c - cases;
    } else {
      EXPECT_EQ(BoxCount(c.box), 1u) << &c - cases;  // once, however often it occurs
    }
  }
}

TEST(MidiMobileFromMidiSong, EventsMapByTheTableAndDroppedOnesGiveTheirTime) {
  auto* master = new MidiEvent(0);
  master->SetMasterVolume(90);
  auto song = SongOf({{master},
                      {Cc(0, 4, 1, 20), Cc(10, 4, 6, 12), Cc(10, 4, 7, 99), Cc(10, 4, 10, 30),
                       Cc(10, 4, 11, 50), Cc(10, 4, 64, 127), Program(10, 4, 7),
                       Note(10, 4, 60, 100, 20)}});
  MidiMobileData plain(*song, 1, 0);
  ASSERT_EQ(plain.voice_count, 1);  // the conductor track gives no voice
  EXPECT_EQ(plain.voices[0]->index, 4);
  std::vector<std::tuple<int, uint32_t, int>> got;  // tick, kind (0 a note), value
  int tick = 0;
  for (const auto& e : plain.voices[0]->events) {
    tick += e->delta;
    got.emplace_back(tick, e->IsNote() ? 0u : e->number, e->IsNote() ? e->note : e->value);
  }
  const std::vector<std::tuple<int, uint32_t, int>> want = {
      {0, kKindMidiMasterVolume, 90}, {0, kKindModulation, 20}, {10, kKindBendRange, 12},
      {20, kKindVolume, 99},          {30, kKindPan, 30},       {60, kKindProgram, 7},
      {70, 0u, 60},                   {70, kKindEndOfTrack, 0}};
  EXPECT_EQ(got, want);

  auto song2 = SongOf({{Cc(0, 4, 11, 50), Note(5, 4, 60, 100, 20)}});
  MidiMobileData with_expression(*song2, 1, 1);
  EXPECT_EQ(with_expression.voices[0]->CountKind(kMobileControl, kKindExpression), 1);
}

TEST(MidiMobileFromMidiSong, GreatestPolyphonyOverTheWholeSong) {
  // A chord of three on channel 0 and a note on channel 1 beside it: four at once.
  auto song = SongOf({{Note(0, 0, 60, 100, 96), Note(0, 0, 64, 100, 96), Note(0, 0, 67, 100, 96)},
                      {Note(48, 1, 72, 100, 96), Note(200, 1, 74, 100, 96)}});
  MidiMobileData midi(*song);
  EXPECT_EQ(midi.GetMaxPolyphony(), 4);
  // More than 16 active voices cannot be put on MIDI channels.
  MidiMobileData many;
  for (int i = 0; i < 17; ++i) many.AddChannel(i % 16, 2);
  cantrel_test::Sink().Clear();
  EXPECT_EQ(many.GetMaxPolyphony(), 0);
  EXPECT_TRUE(HasBox("MBDT05000005"));
}

// ---- against mido and midicsv ----

namespace {

struct FileView {
  int division = 0;
  std::vector<std::string> lines;
  std::vector<std::string> Of(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& l : lines)
      if (l.rfind(kind + " ", 0) == 0) out.push_back(l);
    return out;
  }
};

bool MidoView(const std::filesystem::path& file, FileView* view) {
  return cantrel_test::MidoEventLines(file, &view->division, &view->lines);
}

// midicsv's view of the notes, programs, controllers 1/7/10, bends and tempi, in the
// same lines as mido's.
bool MidicsvView(const std::filesystem::path& file, FileView* view) {
  std::string out;
  if (cantrel_test::RunTool({"midicsv", file.string()}, &out) != 0) return false;
  std::istringstream in(out);
  std::string line;
  std::map<std::tuple<int, int, int>, std::vector<std::pair<long, int>>> held;  // track, ch, key
  std::vector<std::string> lines;
  while (std::getline(in, line)) {
    std::vector<std::string> f;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, ',')) {
      cell.erase(0, cell.find_first_not_of(' '));
      f.push_back(cell);
    }
    if (f.size() < 3) continue;
    const int track = std::stoi(f[0]);
    const long t = std::stol(f[1]);
    const std::string& type = f[2];
    auto n = [&](size_t i) { return std::stoi(f.at(i)); };
    if (type == "Header") view->division = n(5);
    const bool on = type == "Note_on_c" && n(5) > 0;
    if (on) {
      held[{track, n(3), n(4)}].emplace_back(t, n(5));
    } else if (type == "Note_off_c" || type == "Note_on_c") {
      auto& q = held[{track, n(3), n(4)}];
      if (!q.empty()) {
        lines.push_back("note " + std::to_string(n(3)) + " " + std::to_string(q.front().first) +
                        " " + f[4] + " " + std::to_string(q.front().second) + " " +
                        std::to_string(t - q.front().first));
        q.erase(q.begin());
      }
    } else if (type == "Program_c") {
      lines.push_back("program " + f[3] + " " + f[1] + " " + f[4]);
    } else if (type == "Control_c" && (n(4) == 1 || n(4) == 7 || n(4) == 10)) {
      lines.push_back("cc " + f[3] + " " + f[1] + " " + f[4] + " " + f[5]);
    } else if (type == "Pitch_bend_c") {
      lines.push_back("bend " + f[3] + " " + f[1] + " " + f[4]);
    } else if (type == "Tempo") {
      lines.push_back("tempo " + f[1] + " " + f[3]);
    }
  }
  std::sort(lines.begin(), lines.end());
  view->lines = lines;
  return view->division > 0;
}

std::vector<std::string> Distinct(std::vector<std::string> lines) {
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  return lines;
}

// The csvmidi fixture: chords, drums (with sounds outside 35-81), programs, RPN, master
// volume, tempo changes, bends, controllers 1, 7, 10 and the START and STOP markers.
std::string FixtureCsv() {
  std::vector<std::pair<long, std::string>> rows[4];
  auto add = [&](int track, long tick, const std::string& text) {
    rows[track].emplace_back(tick, std::to_string(track + 1) + ", " + std::to_string(tick) + ", " + text);
  };
  add(0, 0, "Title_t, \"csv fixture\"");
  add(0, 0, "Copyright_t, \"(c) csv\"");
  add(0, 0, "Time_signature, 3, 2, 24, 8");
  add(0, 0, "Tempo, 500000");
  add(0, 0, "System_exclusive, 7, 127, 127, 4, 1, 0, 100, 247");
  add(0, 96, "Marker_t, \"START\"");
  add(0, 600, "Tempo, 400000");
  add(0, 1400, "Tempo, 650000");
  add(0, 1700, "Marker_t, \"STOP\"");
  // Channel 0: programs, RPN (bend range), controllers, chords of three and bends.
  add(1, 0, "Program_c, 0, 5");
  add(1, 0, "Control_c, 0, 7, 100");
  add(1, 0, "Control_c, 0, 10, 30");
  add(1, 0, "Control_c, 0, 101, 0");
  add(1, 0, "Control_c, 0, 100, 0");
  add(1, 0, "Control_c, 0, 6, 12");
  for (int c = 0; c < 8; ++c) {
    const long at = c * 192;
    for (int k = 0; k < 3; ++k) {
      const int pitch = 48 + c * 2 + k * 4;
      add(1, at, "Note_on_c, 0, " + std::to_string(pitch) + ", " + std::to_string(60 + k * 10 + c));
      add(1, at + 150 + k * 20, "Note_off_c, 0, " + std::to_string(pitch) + ", 0");
    }
    add(1, at + 40, "Pitch_bend_c, 0, " + std::to_string(8192 + c * 300 - 900));
    add(1, at + 60, "Control_c, 0, 1, " + std::to_string(c * 10));
  }
  add(1, 800, "Program_c, 0, 6");
  add(1, 900, "Control_c, 0, 7, 70");
  // Channel 1: a melody over the range with its own program.
  add(2, 0, "Program_c, 1, 73");
  for (int n = 0; n < 24; ++n) {
    const long at = 30 + n * 64;
    const int pitch = 21 + (n * 29) % 99;
    add(2, at, "Note_on_c, 1, " + std::to_string(pitch) + ", " + std::to_string(1 + n * 5));
    add(2, at + 60, "Note_off_c, 1, " + std::to_string(pitch) + ", 64");
  }
  add(2, 500, "Control_c, 1, 10, 100");
  // Channel 9: drums with a program 0, sounds 30 and 90 outside the phones' range.
  add(3, 0, "Program_c, 9, 0");
  const int kits[] = {36, 38, 42, 36, 30, 42, 90, 46};
  for (int n = 0; n < 32; ++n) {
    const long at = n * 48;
    add(3, at, "Note_on_c, 9, " + std::to_string(kits[n % 8]) + ", 100");
    add(3, at + 30, "Note_off_c, 9, " + std::to_string(kits[n % 8]) + ", 0");
  }
  std::string csv = "0, 0, Header, 1, 4, 96\n";
  for (auto& track : rows) {
    std::stable_sort(track.begin(), track.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const std::string number = std::to_string(&track - rows + 1);
    csv += number + ", 0, Start_track\n";
    long end = 0;
    for (const auto& [tick, row] : track) {
      csv += row + "\n";
      end = std::max(end, tick);
    }
    csv += number + ", " + std::to_string(end + 10) + ", End_track\n";
  }
  return csv + "0, 0, End_of_file\n";
}

class ToolFiles : public ::testing::Test {
 protected:
  // The planetblupi files (divisions 120 and 192) and the csvmidi fixture.
  std::vector<std::filesystem::path> Files() {
    std::vector<std::filesystem::path> files;
    for (const char* name : {"music000.mid", "music004.mid", "music007.mid"})
      files.push_back(std::filesystem::path("/usr/share/planetblupi/music") / name);
    const std::filesystem::path csv = cantrel_test::TempDir() / "fixture.csv";
    std::ofstream(csv) << FixtureCsv();
    files.push_back(cantrel_test::TempDir() / "fixture.mid");
    EXPECT_EQ(cantrel_test::RunTool({"csvmidi", csv.string(), files.back().string()}), 0);
    return files;
  }
};

}  // namespace

TEST_F(ToolFiles, VoiceAllocationKeepsMidosNotesInMonophonicVoices) {
  CANTREL_NEED(std::filesystem::exists("/usr/share/planetblupi/music/music000.mid"),
               "planetblupi-music-midi");
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("csvmidi");
  for (const auto& file : Files()) {
    SCOPED_TRACE(file.filename().string());
    FileView want;
    ASSERT_TRUE(MidoView(file, &want));
    Midi1Data song(file, kMobileCapacity);
    ASSERT_EQ(song.state, kSongNotes);
    MobileMarks marks;
    MobileData mobile(song, &marks, kMobileCapacity);
    EXPECT_EQ(mobile.division, want.division);

    // Every note of mido's (drum sounds moved into 35-81) in some voice, at its tick,
    // pitch and velocity; melodic notes keep their length, drum sounds end no later.
    struct Key {
      int tick, pitch, velocity;
      bool operator<(const Key& o) const {
        return std::tie(tick, pitch, velocity) < std::tie(o.tick, o.pitch, o.velocity);
      }
      bool operator==(const Key& o) const { return !(*this < o) && !(o < *this); }
    };
    std::multiset<std::pair<Key, int>> melodic;
    std::multiset<Key> drums;
    std::map<Key, int> drum_length;
    for (const auto& line : want.Of("note")) {
      std::istringstream in(line.substr(5));
      int channel, tick, pitch, velocity, duration;
      in >> channel >> tick >> pitch >> velocity >> duration;
      if (duration == 0) continue;  // notes of no length are not kept
      if (channel == 9) {
        drums.insert({tick, std::clamp(pitch, 35, 81), velocity});
      } else {
        melodic.insert({{tick, pitch, velocity}, duration});
      }
    }
    std::multiset<std::pair<Key, int>> got_melodic;
    std::multiset<Key> got_drums;
    for (int i = 0; i < mobile.voice_count; ++i) {
      const MobileChannel& v = *mobile.voices[i];
      EXPECT_TRUE(VoiceIsMonophonic(v)) << i;
      for (const Played& p : NotesOfVoice(v)) {
        const int velocity = [&] {
          int tick = 0;
          for (const auto& e : v.events) {
            tick += e->delta;
            if (e->IsNote() && tick == p.tick && e->note == p.pitch) return e->velocity;
          }
          return -1;
        }();
        if (v.kind == 1) {
          got_drums.insert({p.tick, p.pitch, velocity});
          EXPECT_GE(p.pitch, 35);
          EXPECT_LE(p.pitch, 81);
        } else {
          got_melodic.insert({{p.tick, p.pitch, velocity}, p.duration});
        }
      }
    }
    EXPECT_EQ(got_melodic.size(), melodic.size());
    EXPECT_TRUE(got_melodic == melodic);
    EXPECT_EQ(got_drums.size(), drums.size());
    EXPECT_TRUE(got_drums == drums);

    int start = -1, stop = -1;
    for (const auto& line : want.Of("marker")) {
      std::istringstream in(line.substr(7));
      int tick;
      std::string text;
      in >> tick >> text;
      if (text == "START" && start < 0) start = tick;
      if (text == "STOP" && stop < 0) stop = tick;
    }
    EXPECT_EQ(marks.start, start);
    EXPECT_EQ(marks.stop, stop);
  }
}

TEST_F(ToolFiles, OneVoicePerTrackSavedByChannelReadsBackInMidoAndMidicsv) {
  CANTREL_NEED(std::filesystem::exists("/usr/share/planetblupi/music/music000.mid"),
               "planetblupi-music-midi");
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("csvmidi");
  CANTREL_NEED_TOOL("midicsv");
  for (const auto& file : Files()) {
    SCOPED_TRACE(file.filename().string());
    FileView want;
    ASSERT_TRUE(MidoView(file, &want));
    Midi1Data song(file, kMobileCapacity);
    cantrel_test::Sink().Clear();
    MidiMobileData mobile(song);
    EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
    std::unique_ptr<Midi0Data> midi = mobile.ToMidi0();
    const std::filesystem::path out = cantrel_test::TempDir() / "by_channel.mid";
    ASSERT_EQ(midi->SaveFile(out, 0), 1);

    FileView mido, csv;
    ASSERT_TRUE(MidoView(out, &mido));
    ASSERT_TRUE(MidicsvView(out, &csv));
    EXPECT_EQ(mido.division, want.division);
    EXPECT_EQ(csv.division, want.division);
    // Programs of the drum channel are dropped (the phones have one kit).
    std::vector<std::string> programs;
    for (const auto& p : want.Of("program"))
      if (p.rfind("program 9 ", 0) != 0) programs.push_back(p);
    for (const FileView* view : {&mido, &csv}) {
      EXPECT_EQ(view->Of("note"), want.Of("note"));
      EXPECT_EQ(view->Of("program"), programs);
      EXPECT_EQ(view->Of("cc"), want.Of("cc"));
      EXPECT_EQ(view->Of("bend"), want.Of("bend"));
      // Every voice carries the tempo changes: the file has each once or more.
      std::vector<std::string> tempi = Distinct(want.Of("tempo"));
      if (tempi.empty()) tempi.push_back("tempo 0 500000");
      EXPECT_EQ(Distinct(view->Of("tempo")), tempi);
    }
  }
}
