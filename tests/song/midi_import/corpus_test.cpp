// Real files through the import, judged by outside tools: abc2midi's examples and fixture
// tunes with chord symbols (and with drums instead of chords), and every file of
// planetblupi-music-midi against mido's reading of its notes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "import_util.h"
#include "music/chord_markers.h"
#include "music/midi1_data.h"
#include "music/midi_loader.h"
#include "music/tune_structure.h"
#include "music/xf_data.h"
#include "song/midi_import.h"
#include "song/song_data.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using namespace import_test;
namespace fs = std::filesystem;

// mido: the division, then "channel tick pitch" for every sounding note (absolute ticks).
const char* kMidoNotes = R"(
import sys, mido
m = mido.MidiFile(sys.argv[1])
print(m.ticks_per_beat)
for t in m.tracks:
    tick = 0
    for x in t:
        tick += x.time
        if x.type == 'note_on' and x.velocity > 0:
            print(x.channel, tick, x.note)
)";

struct FileNotes {
  int division = 0;
  std::map<int, std::vector<SongNote>> by_channel;  // ticks of the file
};

bool ReadWithMido(const fs::path& file, FileNotes* out) {
  std::string text;
  if (cantrel_test::RunTool({cantrel_test::PythonWithMido(), "-c", kMidoNotes, file.string()}, &text) != 0)
    return false;
  std::istringstream in(text);
  in >> out->division;
  int channel;
  int64_t tick;
  int pitch;
  while (in >> channel >> tick >> pitch) out->by_channel[channel].push_back({tick, pitch});
  return out->division > 0;
}

struct Imported {
  std::unique_ptr<CSongData> song = std::make_unique<CSongData>();
  int32_t channel = -1;
  int limit_messages = 0;
};

Imported ImportPath(const fs::path& p) {
  Imported r;
  cantrel_test::Sink().Clear();
  ResetMidiImportModule();
  EXPECT_TRUE(CKvImport::ImportFile(p, *r.song, [&r](int32_t& ch, XfData&) { r.channel = ch; }));
  for (const std::string& t : cantrel_test::Sink().Texts())
    if (t.find("読み込める最大の小節数") != std::string::npos) ++r.limit_messages;
  return r;
}

// The share of the song's notes that the file's channel has at the same pitch (the song
// may have been moved by an octave), starting within a sixteenth.
double MatchingShare(const std::vector<SongNote>& song, const std::vector<SongNote>& file, int division) {
  if (song.empty()) return 0.0;
  double best = 0.0;
  for (int shift : {-12, 0, 12}) {
    int matched = 0;
    for (const SongNote& s : song) {
      for (const SongNote& f : file) {
        const int64_t at = f.tick * 96 / division;
        if (f.pitch + shift == s.pitch && std::llabs(at - s.tick) <= 24) {
          ++matched;
          break;
        }
      }
    }
    best = std::max(best, static_cast<double>(matched) / static_cast<double>(song.size()));
  }
  return best;
}

// The tune structure of a file as the import sees it.
std::unique_ptr<TuneStructure> StructureOf(const fs::path& p) {
  int flag = 0;
  XfData song(&p, 0, &flag);
  song.SetDivision(96);
  auto ts = std::make_unique<TuneStructure>();
  ts->Analyse(song, 96);
  return ts;
}

TEST(ImportCorpus, PlanetBlupiFiles) {
  const fs::path dir = "/usr/share/planetblupi/music";
  CANTREL_NEED(fs::is_directory(dir), "planetblupi-music-midi");
  CANTREL_NEED_MIDO();
  int files = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".mid") continue;
    ++files;
    SCOPED_TRACE(entry.path().filename().string());
    FileNotes file;
    ASSERT_TRUE(ReadWithMido(entry.path(), &file));
    Imported im = ImportPath(entry.path());
    ASSERT_GE(im.channel, 0);
    const std::vector<SongNote> notes = SongNotes(*im.song);
    ASSERT_GT(notes.size(), 50u) << "channel " << im.channel;
    const double share = MatchingShare(notes, file.by_channel[im.channel], file.division);
    EXPECT_GE(share, 0.95) << "channel " << im.channel << ", " << notes.size() << " notes";
    std::printf("%s: channel %d, %zu notes, %.1f%% of them in the file, %d bars\n",
                entry.path().filename().string().c_str(), im.channel + 1, notes.size(), share * 100,
                im.song->bar_count);

    // Longer than the song holds: one message, bars 0..255 kept.
    int64_t end = 0;
    for (const auto& [ch, list] : file.by_channel)
      for (const SongNote& n : list) end = std::max(end, n.tick);
    if (end * 96 / file.division >= 256 * 384) {
      EXPECT_EQ(im.limit_messages, 1);
      EXPECT_EQ(im.song->bar_count, 256);
      // The melody runs on to its last note before bar 256.
      int64_t last = 0;
      for (const SongNote& n : file.by_channel[im.channel]) {
        const int64_t at = n.tick * 96 / file.division;
        if (at < 256 * 384) last = std::max(last, at);
      }
      EXPECT_GE(notes.back().tick, last - 24);
    } else {
      EXPECT_EQ(im.limit_messages, 0);
    }

    // The song saves and reads back the same.
    const fs::path saved = cantrel_test::TempDir() / "blupi.kvs";
    ASSERT_TRUE(im.song->Save(&saved));
    int bars = 0, bpb = 0, key = 0, metre = 0;
    bool read_ok = false;
    auto back = CSongData::LoadFromFile(saved, &bars, &bpb, &key, &metre, &read_ok);
    ASSERT_TRUE(read_ok);
    EXPECT_EQ(bars, im.song->bar_count);
    EXPECT_EQ(back->SerializeToVector(), im.song->SerializeToVector());
  }
  EXPECT_EQ(files, 10);
}

// Runs abc2midi on the text in a fresh folder; the MIDI files it wrote.
std::vector<fs::path> Abc2Midi(const std::string& name, const std::string& abc) {
  const fs::path dir = cantrel_test::TempDir() / name;
  fs::create_directories(dir);
  const fs::path in = dir / (name + ".abc");
  std::ofstream(in) << abc;
  std::string out;
  cantrel_test::RunTool({"abc2midi", in.string(), "-quiet", "-silent"}, &out);
  std::vector<fs::path> mids;
  for (const auto& e : fs::directory_iterator(dir))
    if (e.path().extension() == ".mid") mids.push_back(e.path());
  std::sort(mids.begin(), mids.end());
  return mids;
}

TEST(ImportCorpus, AbcExamplesMelodyChannel) {
  CANTREL_NEED_TOOL("abc2midi");
  CANTREL_NEED_MIDO();
  const fs::path dir = "/usr/share/doc/abcmidi/examples";
  CANTREL_NEED(fs::is_directory(dir), "abcmidi's examples");
  int tunes = 0;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().extension() != ".abc") continue;
    std::ifstream in(entry.path());
    const std::string abc((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const fs::path& mid : Abc2Midi(entry.path().stem().string(), abc)) {
      SCOPED_TRACE(mid.filename().string());
      FileNotes file;
      ASSERT_TRUE(ReadWithMido(mid, &file));
      if (file.by_channel[0].empty()) continue;  // no tune: drums only
      ++tunes;
      Imported im = ImportPath(mid);
      EXPECT_EQ(im.channel, 0);
      EXPECT_FALSE(SongNotes(*im.song).empty());
      if (!file.by_channel[9].empty()) {
        EXPECT_EQ(StructureOf(mid)->part_type[9], kPartRhythm);
      }
    }
  }
  EXPECT_GE(tunes, 15);
}

// ---- fixture tunes with a chord symbol per bar ----

struct ChordSymbol {
  const char* name;
  int root;
  bool minor;
  int tones[3];  // pitch classes
};
const ChordSymbol kSymbols[] = {
    {"C", 0, false, {0, 4, 7}},  {"Dm", 2, true, {2, 5, 9}},  {"Em", 4, true, {4, 7, 11}},
    {"F", 5, false, {5, 9, 0}},  {"G", 7, false, {7, 11, 2}}, {"Am", 9, true, {9, 0, 4}},
    {"D", 2, false, {2, 6, 9}},  {"A", 9, false, {9, 1, 4}},  {"E", 4, false, {4, 8, 11}},
};

// ABC note of a MIDI pitch in C major spelling with sharps (60 = C, 72 = c).
std::string AbcNote(int pitch) {
  static const char* names[12] = {"C", "^C", "D", "^D", "E", "F", "^F", "G", "^G", "A", "^A", "B"};
  std::string n = names[pitch % 12];
  const int octave = pitch / 12 - 5;  // 0 for 60..71
  if (octave >= 1) {
    n.back() = static_cast<char>(std::tolower(n.back()));
    for (int i = 1; i < octave; ++i) n += "'";
  } else {
    for (int i = 0; i > octave; --i) n += ",";
  }
  return n;
}

// A pitch of the pitch class between 65 and 76.
int InRange(int pc) { return 60 + pc + (pc < 5 ? 12 : 0); }

struct Fixture {
  std::string abc;
  std::vector<int> symbols;  // per bar
};

// A tune of `bars` bars: a chord symbol per bar (no repeats), a melody of eighths and
// quarters mostly on the chord's tones with some passing notes. `drums`: abc2midi's drums
// instead of its chord accompaniment.
Fixture MakeFixture(uint32_t seed, int beats, int bars, bool drums) {
  GneSeedRandomWith(seed);
  Fixture f;
  std::ostringstream abc;
  abc << "X:" << seed << "\nT:fixture " << seed << "\nM:" << beats << "/4\nL:1/8\nQ:1/4=120\nK:C\n";
  if (drums) {
    abc << "%%MIDI gchordoff\n%%MIDI drum " << (beats == 4 ? "dddd 36 42 38 42 110 80 100 80" : "ddd 36 42 38 110 80 100")
        << "\n%%MIDI drumon\n";
  }
  int previous = -1;
  for (int bar = 0; bar < bars; ++bar) {
    int s;
    do s = GneRandomRange(0, 8); while (s == previous);
    previous = s;
    f.symbols.push_back(s);
    const ChordSymbol& c = kSymbols[s];
    abc << "\"" << c.name << "\"";
    for (int beat = 0; beat < beats; ++beat) {
      // Strong beats lean on the root, the others take any chord tone.
      auto tone = [&](bool strong) {
        return InRange(strong && GneRandomRange(0, 1) == 0 ? c.tones[0] : c.tones[GneRandomRange(0, 2)]);
      };
      const bool strong = beat % 2 == 0;
      if (GneRandomRange(0, 2) == 0) {  // a quarter note
        abc << AbcNote(tone(strong)) << "2";
      } else {  // two eighths: a chord tone, then a chord tone or a passing step
        const int first = tone(strong);
        int second = tone(false);
        if (GneRandomRange(0, 4) == 0) second = first + (GneRandomRange(0, 1) ? 2 : -1);
        abc << AbcNote(first) << AbcNote(second);
      }
      abc << " ";
    }
    abc << "|" << (bar % 4 == 3 ? "\n" : " ");
  }
  abc << "\n";
  f.abc = abc.str();
  return f;
}

struct ChordScore {
  int right = 0, bars = 0;
};

// The root pitch class (-1 for none) and whether the third is minor, of a chord name.
void RootAndThird(const std::string& name, int* root, bool* minor) {
  *root = -1;
  size_t len = 1;
  static const char* letters = "C D EF G A B";
  const char* at = name.empty() ? nullptr : std::strchr(letters, name[0]);
  if (at != nullptr && name[0] != ' ') {
    *root = static_cast<int>(at - letters);
    if (name.size() > 1 && name[1] == '#') *root = (*root + 1) % 12, len = 2;
    if (name.size() > 1 && name[1] == 'b') *root = (*root + 11) % 12, len = 2;
  }
  const std::string suffix = name.substr(std::min(len, name.size()));
  *minor = (suffix.rfind("m", 0) == 0 && suffix.rfind("maj", 0) != 0) || suffix.rfind("dim", 0) == 0;
}

// Root and third of each bar's first beat against the fixture's symbol.
ChordScore ScoreChords(const CSongData& song, const Fixture& f) {
  ChordScore score;
  for (int bar = 0; bar < static_cast<int>(f.symbols.size()) && bar < song.bar_count; ++bar) {
    const ChordSymbol& c = kSymbols[f.symbols[bar]];
    const std::string name = ChordOf(song, bar, 0);
    int root = -1;
    bool minor = false;
    RootAndThird(name, &root, &minor);
    ++score.bars;
    if (root == c.root && minor == c.minor) ++score.right;
    else if (std::getenv("CANTREL_SHOW_CHORDS")) std::printf("bar %d: %s got %s\n", bar, c.name, name.c_str());
  }
  return score;
}

ChordScore ImportFixtures(int beats, bool drums, uint32_t first_seed, int count) {
  ChordScore total;
  for (uint32_t seed = first_seed; seed < first_seed + static_cast<uint32_t>(count); ++seed) {
    const Fixture f = MakeFixture(seed, beats, 12, drums);
    const std::vector<fs::path> mids = Abc2Midi("fixture" + std::to_string(seed), f.abc);
    EXPECT_EQ(mids.size(), 1u) << f.abc;
    if (mids.empty()) continue;
    Imported im = ImportPath(mids[0]);
    EXPECT_EQ(im.song->beats_per_bar, beats);
    if (std::getenv("CANTREL_SHOW_CHORDS")) std::printf("%s", f.abc.c_str());
    const ChordScore s = ScoreChords(*im.song, f);
    total.right += s.right;
    total.bars += s.bars;
  }
  return total;
}

TEST(ImportCorpus, FixtureChordsFourFour) {
  CANTREL_NEED_TOOL("abc2midi");
  const ChordScore s = ImportFixtures(4, false, 100, 12);
  std::printf("4/4 fixtures with chords: %d of %d bars right (%.0f%%)\n", s.right, s.bars,
              100.0 * s.right / std::max(s.bars, 1));
  EXPECT_GE(s.right * 100, s.bars * 80);
}

TEST(ImportCorpus, FixtureChordsThreeFourReported) {
  CANTREL_NEED_TOOL("abc2midi");
  const ChordScore s = ImportFixtures(3, false, 200, 12);
  // Two-quarter slots straddle the 3/4 bars: reported, not held to a share.
  std::printf("3/4 fixtures with chords: %d of %d bars right (%.0f%%)\n", s.right, s.bars,
              100.0 * s.right / std::max(s.bars, 1));
  EXPECT_GT(s.bars, 0);
}

TEST(ImportCorpus, FixtureChordsFromTheMelodyBesideDrums) {
  CANTREL_NEED_TOOL("abc2midi");
  const ChordScore s = ImportFixtures(4, true, 300, 12);
  std::printf("4/4 fixtures with drums: %d of %d bars right (%.0f%%)\n", s.right, s.bars,
              100.0 * s.right / std::max(s.bars, 1));
  EXPECT_GE(s.right * 3, s.bars * 2);
}

}  // namespace

namespace {

// mido: the division, then "tick text" for every marker of the first track.
const char* kMidoMarkers = R"(
import sys, mido
m = mido.MidiFile(sys.argv[1])
print(m.ticks_per_beat)
tick = 0
for x in m.tracks[0]:
    tick += x.time
    if x.type == 'marker':
        print(tick, x.text if x.text else '-')
)";

TEST(ChordMarkers, FixtureTunesGetTheirChordsAsMarkers) {
  CANTREL_NEED_TOOL("abc2midi");
  CANTREL_NEED_MIDO();
  ChordScore total;
  for (uint32_t seed = 100; seed < 112; ++seed) {
    const Fixture f = MakeFixture(seed, 4, 12, false);
    const std::vector<fs::path> mids = Abc2Midi("markers" + std::to_string(seed), f.abc);
    ASSERT_EQ(mids.size(), 1u) << f.abc;
    MidiLoader loader(mids[0]);
    ASSERT_NE(loader.song, nullptr);
    int32_t slot_length = 0;
    const int32_t slots = AnalyseSongChordMarkers(*loader.song, nullptr, nullptr, &slot_length);
    EXPECT_GE(slots, 24);
    EXPECT_EQ(slot_length, 2 * loader.song->division);
    const fs::path out = cantrel_test::TempDir() / ("markers" + std::to_string(seed) + ".mid");
    ASSERT_EQ(loader.song->SaveFile(out), 1);

    std::string text;
    ASSERT_EQ(cantrel_test::RunTool({cantrel_test::PythonWithMido(), "-c", kMidoMarkers, out.string()},
                                    &text),
              0);
    std::istringstream in(text);
    int division = 0;
    in >> division;
    ASSERT_GT(division, 0);
    // The first marker at or after each bar line.
    std::map<int64_t, std::string> first_of_bar;
    int64_t tick;
    std::string name;
    while (in >> tick >> name) {
      const int64_t bar = tick / (4 * division);
      if (tick % (4 * division) == 0 && !first_of_bar.count(bar)) first_of_bar[bar] = name;
    }
    for (int bar = 0; bar < static_cast<int>(f.symbols.size()); ++bar) {
      const ChordSymbol& c = kSymbols[f.symbols[bar]];
      int root = -1;
      bool minor = false;
      auto it = first_of_bar.find(bar);
      if (it != first_of_bar.end()) RootAndThird(it->second, &root, &minor);
      ++total.bars;
      if (root == c.root && minor == c.minor) ++total.right;
    }
  }
  std::printf("chord markers of 4/4 fixtures: %d of %d bars right\n", total.right, total.bars);
  EXPECT_GE(total.right * 100, total.bars * 80);
}

}  // namespace
