// The compose-and-export worker: what it writes for a play, an export and an upload, checked
// with mido, fluidsynth, sox and lame; its seed, its refusals and its failures.
// The song builder comes before Qt, whose keyword macros clash with its names.
#include "tests/arrange/render/render_fixture.h"

#include "app/compose_worker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "arrange/ckv_algo.h"
#include "engine/engine_state.h"
#include "export/wav_data.h"
#include "platform/core/encoding.h"
#include "platform/core/audio_render.h"
#include "platform/core/folders.h"
#include "platform/core/synth.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/app/compose/compose_fixture.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using compose_test::ComposeTest;
using compose_test::Folder;
using compose_test::Names;
using render_test::SongSpec;

// mido's reading of a karaoke file whose "XFIH" and "XFKM" chunks are read as tracks 1 and 2:
// per track,
// lines "tick kind values..." for notes, lyrics (hex), system exclusive (hex), programs and
// volumes, and the tick of the track's first event.
const char* kKaraokeScript = R"(
import io, sys, mido
data = bytearray(open(sys.argv[1], 'rb').read())
for chunk in (b'XFIH', b'XFKM'):
    at = data.find(chunk)
    if at >= 0:
        data[at:at + 4] = b'MTrk'
        data[8:10] = (1).to_bytes(2, 'big')
        data[10:12] = (int.from_bytes(data[10:12], 'big') + 1).to_bytes(2, 'big')
m = mido.MidiFile(file=io.BytesIO(bytes(data)))
print('division', m.ticks_per_beat)
for i, track in enumerate(m.tracks):
    tick = 0
    first = None
    for x in track:
        tick += x.time
        if first is None:
            first = tick
        if x.type == 'note_on' and x.velocity > 0:
            print(i, tick, 'note', x.channel, x.note)
        elif x.type == 'lyrics':
            print(i, tick, 'lyric', x.text.encode('latin-1').hex())
        elif x.type == 'sysex':
            print(i, tick, 'sysex', bytes(x.data).hex())
        elif x.type == 'program_change':
            print(i, tick, 'program', x.channel, x.program)
        elif x.type == 'control_change' and x.control == 7:
            print(i, tick, 'volume', x.channel, x.value)
    print(i, -1, 'first', first)
)";

struct KaraokeFile {
  int division = 0;
  std::map<int, int64_t> first;  // track -> tick of its first event
  std::vector<std::string> lines;
  // Ticks of the lines of a kind on a track (-1: any track) whose values begin with `value`.
  std::vector<int64_t> Ticks(int track, const std::string& kind,
                             const std::string& value = std::string()) const {
    std::vector<int64_t> ticks;
    for (const std::string& line : lines) {
      std::istringstream in(line);
      int t = 0;
      int64_t tick = 0;
      std::string k, rest;
      in >> t >> tick >> k;
      std::getline(in, rest);
      if (k == kind && (track < 0 || t == track) &&
          (value.empty() || (rest + " ").rfind(" " + value + " ", 0) == 0))
        ticks.push_back(tick);
    }
    return ticks;
  }
};

bool ReadKaraoke(const fs::path& file, KaraokeFile* out) {
  std::string text;
  const std::string python = cantrel_test::PythonWithMido();
  if (python.empty() || cantrel_test::RunTool({python, "-c", kKaraokeScript, file.string()},
                                              &text) != 0)
    return false;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    int track = 0;
    long long first = 0;
    if (std::sscanf(line.c_str(), "division %d", &out->division) == 1) continue;
    if (std::sscanf(line.c_str(), "%d -1 first %lld", &track, &first) == 2) {
      out->first[track] = first;
      continue;
    }
    out->lines.push_back(line);
  }
  return true;
}

constexpr const char* kGmSystemOn = "7e7f0901";

TEST_F(ComposeTest, MidiExportIsAKaraokeFileWithTheLeadIn) {
  CANTREL_NEED_MIDO();
  const SongSpec spec = compose_test::SungSong();
  struct Case {
    const char* what;
    uint32_t message;
    const char* name;
    int lead_in;
    int64_t shift;  // at 480 ticks a quarter, 4/4
  } cases[] = {
      {"export with two lead-in bars", kMsgExportComposed, "song.mid", 2, 3840},
      {"export without lead-in", kMsgExportComposed, "plain.mid", 0, 0},
      {"play is never shifted", kMsgPlayComposed, "temp.tmp", 2, 0},
      {"upload is never shifted", kMsgUploadComposed, "upload.mid", 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComposeRequest r = Request(spec, Folder() / c.name, c.message);
    r.leadInBars = c.lead_in;
    ASSERT_TRUE(Run(r));
    EXPECT_EQ(posts_.back(), std::make_pair(c.message, uintptr_t{1}));
    KaraokeFile file;
    ASSERT_TRUE(ReadKaraoke(Folder() / c.name, &file));
    ASSERT_EQ(file.division, 480);
    ASSERT_EQ(file.first.size(), 3u);  // the song, information and lyric tracks
    // GM System On stays at the very start; the song and its lyrics begin after the lead-in.
    EXPECT_EQ(file.Ticks(0, "sysex", kGmSystemOn), std::vector<int64_t>{0});
    EXPECT_EQ(file.first[0], 0);
    EXPECT_EQ(file.first[2], c.shift);
    // One lyric per sung note, at its tick on the melody channel.
    std::vector<int64_t> sung;
    for (const render_test::ExpectedNote& n : render_test::ExpectedMelody(spec))
      if (n.sung) sung.push_back(n.start * 5 + c.shift);
    EXPECT_EQ(file.Ticks(2, "lyric"), sung);
    const std::vector<int64_t> melody = file.Ticks(0, "note", "0");
    for (int64_t tick : sung)
      EXPECT_TRUE(std::find(melody.begin(), melody.end(), tick) != melody.end())
          << tick << "\n" << ::testing::PrintToString(file.lines);
  }
  EXPECT_EQ(Names(plat::TempFolder()), std::set<std::string>{});
}

// The metres the window offers.
struct Metre {
  const char* what;
  int beats_per_bar;
  int metre_index;  // the window's metre list: 0 4/4, 1 3/4, 2 6/8
  int metre_kind;
};
constexpr Metre kMetres[] = {{"4/4", 4, 0, 1}, {"3/4", 3, 1, 1}, {"6/8", 3, 2, 2}};

// Four bars of eighths, quarters and longer notes, a rest after a long note, an unsung note.
render_test::SongSpec MetreSong(const Metre& m) {
  render_test::SongSpec spec = compose_test::SungSong();
  spec.beats_per_bar = m.beats_per_bar;
  spec.bars = 4;
  spec.tones = {{69, 2, "ka"}, {72, 2, "ze"}, {73, 4, "no"}, {-1, 2}, {71, 6, "ne"},
                {67, 4, "wa"}, {64, 2},       {62, 2, "ru"}, {60, 4, "ya"}, {65, 2, "ma"},
                {64, 6, "ni"}, {62, 4, "sa"}, {60, 8, "to"}};
  return spec;
}

// (tick, pitch) of the notes struck on each melody channel: 0 sung, 15 unsung.
using ChannelNotes = std::map<int, std::vector<std::pair<int64_t, int>>>;

ChannelNotes MelodyChannels(const KaraokeFile& file) {
  ChannelNotes notes;
  for (const std::string& line : file.lines) {
    int track = 0, channel = 0, pitch = 0;
    long long tick = 0;
    if (std::sscanf(line.c_str(), "%d %lld note %d %d", &track, &tick, &channel, &pitch) == 4 &&
        track == 0 && (channel == 0 || channel == 15))
      notes[channel].emplace_back(tick, pitch);
  }
  return notes;
}

// A song note as the export plays it, at 480 ticks a quarter: a style of the triplet beat plays
// a beat's two eighths as two thirds and one third of it.
struct PlayedNote {
  int channel;
  int64_t start, end;
  int pitch;
};

std::vector<PlayedNote> PlayedSong(const render_test::SongSpec& spec, bool triplet_beat,
                                   int64_t shift) {
  auto at = [&](int64_t tick) {
    return (tick + (triplet_beat && tick % 96 == 48 ? 16 : 0)) * 5 + shift;
  };
  std::vector<PlayedNote> notes;
  // A note's time is its step; it sounds 3 ticks short of it.
  for (const render_test::ExpectedNote& n : render_test::ExpectedMelody(spec))
    notes.push_back({n.sung ? 0 : 15, at(n.start), at(n.start + n.length + 3), n.pitch});
  return notes;
}

// How closely a style's melody keeps to the song's notes.
enum class Keeping {
  kAsWritten,    // the notes as they stand
  kInsideNotes,  // notes of ornaments and effects inside the time of a song note
  kSomeSilenced,  // the same, but an ornament may play a sung note as a rest
  kInsideSong,   // echoes and ripples filling the gaps after notes, within the song
};

// No ornament that writes notes of its own or changes them (those that keep to plain notes while
// a song is rendered aside), no performance effect that adds notes, no unison an octave up: the
// notes as they stand. The siren and long-pipe effects of the melody fill the gap after each
// note, rests included, and move notes after their brightness change.
Keeping KeepingOf(const StyleRecord& style) {
  const PartRecord& melody = style.parts[kMelodyChannel];
  const std::set<int> gap_fillers = {8, 9};
  if (gap_fillers.count(melody.ornament) != 0 || gap_fillers.count(melody.effect) != 0)
    return Keeping::kInsideSong;
  // The interjection's pitch jitter and the rap's strokes may give a rest for a note.
  if (melody.ornament == 7 || melody.ornament == 14) return Keeping::kSomeSilenced;
  const std::set<int> plain_ornaments = {0, 11, 19};
  const std::set<int> plain_effects = {0, 5, 10, 13, 17, 18, 19, 21};
  const bool plain = plain_ornaments.count(melody.ornament) != 0 &&
                     plain_effects.count(melody.effect) != 0 &&
                     plain_effects.count(style.parts[15].effect) != 0 &&
                     style.octave[kMelodyChannel] != 1;
  return plain ? Keeping::kAsWritten : Keeping::kInsideNotes;
}

// What a karaoke export holds against the song, in words; empty when it holds it. Every sung
// note carries one lyric at its tick and nothing else does. A style that plays the notes as they
// stand gives exactly the song's notes; one whose ornaments and effects add notes (trills,
// grace notes, turns, runs, repeats, passing notes, an octave doubling) keeps them inside the
// time of a song note on its channel, never in a rest or past the song, and strikes a note at
// every sung note's tick (unless its ornament may play it as a rest). Gap-filling effects keep
// between the song's first note and its end.
std::vector<std::string> KaraokeFaults(const std::vector<PlayedNote>& song, int64_t song_end,
                                       Keeping keeping, const KaraokeFile& file) {
  std::vector<std::string> faults;
  ChannelNotes want;
  std::vector<int64_t> sung;
  for (const PlayedNote& n : song) {
    want[n.channel].emplace_back(n.start, n.pitch);
    if (n.channel == 0) sung.push_back(n.start);
  }
  if (file.Ticks(2, "lyric") != sung)
    faults.push_back("lyrics at " + ::testing::PrintToString(file.Ticks(2, "lyric")) +
                     ", sung notes at " + ::testing::PrintToString(sung));
  const ChannelNotes melody = MelodyChannels(file);
  if (keeping == Keeping::kAsWritten) {
    if (melody != want) faults.push_back("notes " + ::testing::PrintToString(melody));
    return faults;
  }
  for (const auto& [channel, notes] : melody) {
    for (const auto& [tick, pitch] : notes) {
      const bool inside = std::any_of(song.begin(), song.end(), [&](const PlayedNote& n) {
        if (keeping == Keeping::kInsideSong) return song.front().start <= tick && tick < song_end;
        return n.channel == channel && n.start <= tick && tick < n.end;
      });
      if (!inside)
        faults.push_back("channel " + std::to_string(channel) + " pitch " +
                         std::to_string(pitch) + " at " + std::to_string(tick) +
                         " outside the song's notes");
    }
  }
  const std::vector<int64_t> struck = file.Ticks(0, "note", "0");
  for (int64_t tick : keeping == Keeping::kInsideNotes ? sung : std::vector<int64_t>{})
    if (std::find(struck.begin(), struck.end(), tick) == struck.end())
      faults.push_back("no note under the lyric at " + std::to_string(tick));
  return faults;
}

class KaraokeTest : public ComposeTest {
 protected:
  // The metre song exported as karaoke in the style, as the window's export asks the worker, and
  // what the file holds against the song (KaraokeFaults); the file read is left in *file.
  std::vector<std::string> ExportFaults(const StyleRecord& style, const Metre& m, int lead_in,
                                        Keeping keeping, KaraokeFile* file) {
    const render_test::SongSpec spec = MetreSong(m);
    ComposeRequest r = Request(spec, Folder() / "m.mid", kMsgExportComposed);
    r.style = style;
    r.song->metre_kind = m.metre_kind;
    r.metreIndex = m.metre_index;
    r.leadInBars = lead_in;
    r.melodyInstrument = 73;
    if (!Run(r) || !ReadKaraoke(Folder() / "m.mid", file) || file->division != 480)
      return {"no karaoke file at 480 ticks a quarter"};
    const int64_t bar = int64_t{m.beats_per_bar} * 480;
    const int64_t shift = lead_in * bar;
    return KaraokeFaults(PlayedSong(spec, style.basic_beat == 3, shift), shift + spec.bars * bar,
                         keeping, *file);
  }
};

// Each metre the window offers, exported as karaoke in a style of plain notes: the melody
// channel holds exactly the song's notes, no more, and every sung note carries one lyric at its
// tick.
TEST_F(KaraokeTest, KaraokeExportsHoldExactlyTheSongsNotesInEveryMetre) {
  CANTREL_NEED_MIDO();
  for (const Metre& m : kMetres) {
    for (int lead_in : {0, 2}) {
      SCOPED_TRACE(std::string(m.what) + " lead-in " + std::to_string(lead_in));
      KaraokeFile file;
      EXPECT_EQ(ExportFaults(StyleTableSlot(0, 1), m, lead_in, Keeping::kAsWritten, &file),
                std::vector<std::string>{})
          << ::testing::PrintToString(file.lines);
    }
  }
}

// Styles whose ornaments and effects add notes, in each metre: they do add them (the file is
// not the song's notes), inside the song's notes.
TEST_F(KaraokeTest, OrnamentsAndEffectsAddNotesInsideTheSongsNotes) {
  CANTREL_NEED_MIDO();
  BuildStyleTable();
  struct Case {
    const char* what;
    int category, slot;
  } cases[] = {
      {"pastoral repeats", 4, 5},  {"wild trill", 0, 17},          {"passing notes", 0, 2},
      {"Andes grace notes", 5, 2}, {"unison octave", 1, 9},        {"scale run", 4, 20},
      {"rap strokes", 0, 10},      {"triplet beat, unstable", 1, 1},
  };
  for (const Case& c : cases) {
    const StyleRecord& style = StyleTableSlot(c.category, c.slot);
    const Keeping keeping = KeepingOf(style);
    ASSERT_NE(keeping, Keeping::kAsWritten) << c.what;
    ASSERT_NE(keeping, Keeping::kInsideSong) << c.what;
    for (const Metre& m : kMetres) {
      SCOPED_TRACE(std::string(c.what) + " " + m.what);
      ResetEngineState();
      KaraokeFile file;
      EXPECT_EQ(ExportFaults(style, m, 2, keeping, &file), std::vector<std::string>{});
      ChannelNotes song;
      const int64_t shift = 2 * m.beats_per_bar * 480;
      for (const PlayedNote& n : PlayedSong(MetreSong(m), style.basic_beat == 3, shift))
        song[n.channel].emplace_back(n.start, n.pitch);
      EXPECT_NE(MelodyChannels(file), song);
    }
  }
}

// Every style the style lists show, in each metre: the notes its ornaments and effects add stay
// inside the song's notes (a note repeated by the pastoral effect no longer runs on into the rest
// after it) and the lyrics stay one per sung note, on the style's beat grid.
TEST_F(KaraokeTest, KaraokeExportsKeepToTheSongsNotesInEveryStyle) {
  CANTREL_NEED_MIDO();
  BuildStyleTable();
  int styles = 0, adding = 0;
  for (int category = 0; category < kStyleCategoryCount; ++category) {
    for (int slot = 1; slot < kStyleSlotCount; ++slot) {
      const StyleRecord* style = FindStyleSlot(category, slot);
      if (style == nullptr || style->name[0] == 0) continue;
      ++styles;
      const Keeping keeping = KeepingOf(*style);
      adding += keeping != Keeping::kAsWritten;
      for (const Metre& m : kMetres) {
        const std::string what =
            std::to_string(category) + "/" + std::to_string(slot) + " \"" +
            std::string(style->english_name, strnlen(style->english_name, 20)) + "\" " + m.what +
            " ornament " + std::to_string(style->parts[kMelodyChannel].ornament) + " effect " +
            std::to_string(style->parts[kMelodyChannel].effect);
        // A newly started program's engine, the long-pipe question met.
        ResetEngineState();
        PartMemory().long_pipe_question_done = true;
        KaraokeFile file;
        EXPECT_EQ(ExportFaults(*style, m, m.metre_kind == 2 ? 2 : 0, keeping, &file),
                  std::vector<std::string>{})
            << what;
      }
    }
  }
  EXPECT_GE(styles, 160);
  EXPECT_GE(adding, 30) << "styles whose ornaments and effects add notes";
}

TEST_F(ComposeTest, AudioExportsLeaveOnlyTheChosenFile) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont");
  CANTREL_NEED_TOOL("lame");
  const SongSpec spec = compose_test::SungSong();
  for (const char* name : {"song.wav", "song.mp3", "song.mid"}) {
    SCOPED_TRACE(name);
    const fs::path dir = Folder() / "out";
    fs::remove_all(dir);
    fs::create_directories(dir);
    // The user's own files of the same name stay as they are.
    std::set<std::string> before;
    for (const char* own : {"song.mid", "song.wav", "song.aiff", "song.mp3"}) {
      if (std::string(own) == name) continue;
      std::ofstream(dir / own) << "mine";
      before.insert(own);
    }
    ComposeRequest r = Request(spec, dir / name, kMsgExportComposed);
    ASSERT_TRUE(Run(r));
    std::set<std::string> after = before;
    after.insert(name);
    EXPECT_EQ(Names(dir), after);
    for (const std::string& own : before) EXPECT_EQ(fs::file_size(dir / own), 4u) << own;
    EXPECT_GT(fs::file_size(dir / name), 200u);
    EXPECT_EQ(Names(plat::TempFolder()), std::set<std::string>{});
  }
}

// The same seed gives the same song; the audio of an export is the song as the synthesizer's own
// command line renders it, and its MP3 decodes to that audio.
TEST_F(ComposeTest, AudioIsTheSongOfTheSeed) {
  CANTREL_NEED(plat::CanRenderMidi(), "a General MIDI soundfont");
  CANTREL_NEED_TOOL("fluidsynth");
  CANTREL_NEED_TOOL("lame");
  CANTREL_NEED_TOOL("sox");
  const SongSpec spec = compose_test::SungSong();
  ComposeRequest midi = Request(spec, Folder() / "song.mid", kMsgExportComposed);
  ASSERT_TRUE(Run(midi));
  ComposeRequest wav = Request(spec, Folder() / "song.wav", kMsgExportComposed);
  ASSERT_TRUE(Run(wav));
  ComposeRequest mp3 = Request(spec, Folder() / "song.mp3", kMsgExportComposed);
  ASSERT_TRUE(Run(mp3));

  const fs::path reference = Folder() / "reference.wav";
  ASSERT_EQ(cantrel_test::RunTool({"fluidsynth", "-ni", "-q", "-r", "44100", "-F",
                                   reference.string(), plat::FindSoundFont().string(),
                                   (Folder() / "song.mid").string()}),
            0);
  WavData ours(Folder() / "song.wav"), cli(reference);
  ASSERT_TRUE(ours.IsLoaded() && cli.IsLoaded());
  EXPECT_NEAR(double(ours.Frames()), double(cli.Frames()), 64.0);
  EXPECT_GT(ours.GetPeakLevel(), 0.01);
  // The song: 2 bars of 4 beats at 120 beats a minute, then the render tail.
  EXPECT_GE(ours.Frames(), 4u * 44100u);

  const fs::path decoded = Folder() / "decoded.wav";
  ASSERT_EQ(cantrel_test::RunTool({"lame", "--quiet", "--decode", (Folder() / "song.mp3").string(),
                                   decoded.string()}),
            0);
  WavData back(decoded);
  ASSERT_TRUE(back.IsLoaded());
  EXPECT_EQ(back.Format().sample_rate, ours.Format().sample_rate);
  EXPECT_EQ(back.Format().channels, ours.Format().channels);
  EXPECT_EQ(back.Frames(), ours.Frames());
}

TEST_F(ComposeTest, TheSeedAloneDecidesTheSong) {
  const SongSpec spec = compose_test::SungSong();
  auto render = [&](uint32_t seed, const char* name) {
    ComposeRequest r = Request(spec, Folder() / name, kMsgExportComposed);
    r.seed = seed;
    // A thread of its own, as the worker runs: whatever this thread's generator has drawn.
    bool written = false;
    std::thread([&] { written = Run(r); }).join();
    EXPECT_TRUE(written);
    return compose_test::ReadBytes(Folder() / name);
  };
  GneRandomRange(0, 100);
  const auto first = render(5, "a.mid");
  for (int i = 0; i < 7; ++i) GneRandomRange(0, 100);
  EXPECT_EQ(render(5, "b.mid"), first);
  int differing = 0;
  for (uint32_t seed : {6u, 7u, 8u}) differing += render(seed, "c.mid") != first;
  EXPECT_GE(differing, 2);
}

TEST_F(ComposeTest, TripletSongsUseTheTripletBeatAndGiveTheStylesBack) {
  SongSpec spec = compose_test::SungSong();
  spec.triplet = true;
  spec.tones = {{60, 3, "ta"}, {62, 3, "ti"}, {64, 6, "to"}};
  ComposeRequest r = Request(spec, Folder() / "t.mid", kMsgExportComposed);
  r.song->SetDivisionMode(1);  // triplets only
  r.style.basic_beat = 1;
  std::set<int> beats_seen;
  ASSERT_TRUE(RunWatching(r, [&] { beats_seen.insert(CurrentStyle().basic_beat); }));
  EXPECT_EQ(beats_seen, std::set<int>{3});
  EXPECT_EQ(CurrentStyle().basic_beat, 1);
}

TEST_F(ComposeTest, ChannelFifteenFollowsTheSecondMelodyInstrument) {
  CANTREL_NEED_MIDO();
  struct Case {
    int second;
    bool silent;
  } cases[] = {{256, true}, {128, true}, {41, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.second);
    ComposeRequest r = Request(compose_test::SungSong(), Folder() / "s.mid", kMsgExportComposed);
    r.melodyInstrument = 73;
    r.secondMelodyInstrument = c.second;
    ASSERT_TRUE(Run(r));
    KaraokeFile file;
    ASSERT_TRUE(ReadKaraoke(Folder() / "s.mid", &file));
    const int program = c.silent ? 73 : c.second;
    EXPECT_FALSE(file.Ticks(0, "program", "15 " + std::to_string(program)).empty())
        << ::testing::PrintToString(file.lines);
    EXPECT_EQ(!file.Ticks(0, "volume", "15 0").empty(), c.silent);
  }
}

TEST_F(ComposeTest, FailuresAreReportedAndTheCompletionSaysNothingWasWritten) {
  struct Case {
    const char* what;
    int key;
    std::string encoder;
    const char* name;
    std::vector<uint32_t> reports;  // besides the steps
    std::string text;
  } cases[] = {
      {"a key outside the table", 30, "", "k.mid", {kMsgExportComposed}, "CBrevantDlg error"},
      {"a key below the table", -1, "", "k.mid", {kMsgExportComposed}, "CBrevantDlg error"},
      {"no encoder", 0, plat::Utf8ToCp932((Folder() / "none").string()), "k.mp3",
       {kMsgForgetEncoder, kMsgExportComposed},
       "エンコーダが見つかりませんでした。"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    cantrel_test::Sink().Clear();
    ComposeRequest r = Request(compose_test::SungSong(), Folder() / c.name, kMsgExportComposed);
    r.song->key_index = c.key;
    r.encoderPath = c.encoder;
    EXPECT_FALSE(Run(r));
    std::vector<uint32_t> reports;
    for (const auto& [message, wparam] : posts_)
      if (message != kMsgComposeStep) reports.push_back(message);
    EXPECT_EQ(reports, c.reports);
    EXPECT_EQ(posts_.back().second, 0u);
    EXPECT_FALSE(fs::exists(Folder() / c.name));
    EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{c.text});
    EXPECT_EQ(Names(plat::TempFolder()), std::set<std::string>{});
  }
}

TEST_F(ComposeTest, SongCopiesAreWhole) {
  auto song = render_test::MakeSong(compose_test::SungSong());
  song->key_index = 17;
  song->path = "/songs/mine.mwd";
  std::strncpy(song->style.english_name, "Own style", sizeof song->style.english_name);
  auto copy = CopySong(*song);
  EXPECT_EQ(copy->SerializeToVector(), song->SerializeToVector());
  EXPECT_EQ(copy->path, song->path);
  song->key_index = 31;  // outside the table: the worker reports it
  EXPECT_EQ(CopySong(*song)->key_index, 31);
}

TEST(MobileSong, ChannelZeroIsDoubledOnTwelveAndThirteen) {
  CANTREL_NEED_MIDO();
  // A format-0 song at 96 ticks a beat: pan 64, then C4 (velocity 100) and E4 (80) on channel 0.
  const std::string track("\x00\xb0\x0a\x40" "\x00\x90\x3c\x64" "\x60\x80\x3c\x00"
                          "\x00\x90\x40\x50" "\x60\x80\x40\x00" "\x00\xff\x2f\x00", 24);
  std::string file("MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x60MTrk\x00\x00\x00", 21);
  file += static_cast<char>(track.size());
  file += track;
  const std::filesystem::path path = compose_test::Folder() / "upload.mid";
  std::ofstream(path, std::ios::binary) << file;

  ThickenMobileSong(path);
  int division = 0;
  std::vector<std::string> lines;
  ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
  ASSERT_EQ(division, 96);
  std::map<int, std::vector<std::string>> notes;
  std::map<int, std::set<int>> pans;
  for (const std::string& line : lines) {
    int channel = 0, number = 0, value = 0;
    long long tick = 0;
    if (line.rfind("note ", 0) == 0) {
      std::istringstream in(line.substr(5));
      in >> channel;
      notes[channel].push_back(line.substr(5 + std::to_string(channel).size() + 1));
    } else if (std::sscanf(line.c_str(), "cc %d %lld %d %d", &channel, &tick, &number, &value) == 4 &&
               number == 10) {
      pans[channel].insert(value);
    }
  }
  // "tick pitch velocity length" (sorted as text). Evening out brings the loudest note to 127
  // (80 becomes 101); then an octave down as it is, the original a fifth louder (121), and an
  // eighth of a beat (12 ticks) later as loud as the original now is.
  using Notes = std::vector<std::string>;
  EXPECT_EQ(notes[12], (Notes{"0 48 127 96", "96 52 101 96"}));
  EXPECT_EQ(notes[0], (Notes{"0 60 127 96", "96 64 121 96"}));
  EXPECT_EQ(notes[13], (Notes{"108 64 121 96", "12 60 127 96"}));
  EXPECT_EQ(notes.size(), 3u);
  EXPECT_EQ(pans[0], std::set<int>{127});
  EXPECT_EQ(pans[13], std::set<int>{0});
  EXPECT_EQ(pans[12], std::set<int>{64});
}

}  // namespace
