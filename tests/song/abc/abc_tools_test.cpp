// The import checked against abc2midi (read with mido): the fixture tunes of
// tools/abc-fixtures give the same melody notes (pitch, start in sixteenths)
// and bars; the first tune of every example file abcmidi ships imports
// without a note of pitch 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "song/abc_notation.h"
#include "song/chord_model.h"
#include "song/song_data.h"
#include "tests/support/test_support.h"

namespace {

namespace fs = std::filesystem;
using Notes = std::vector<std::pair<int, int>>;  // (start in sixteenths, pitch)

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// The (start tick, pitch) of every note of a MIDI file (mido) on channel 1 (`melody`) or on
// every other channel, and the file's division.
bool MidoStarts(const std::string& python, const fs::path& mid, bool melody, int* division,
                Notes* starts) {
  std::string script =
      "import sys, mido\n"
      "m = mido.MidiFile(sys.argv[1])\n"
      "print(m.ticks_per_beat)\n"
      "for t in m.tracks:\n"
      "    now = 0\n"
      "    for e in t:\n"
      "        now += e.time\n"
      "        if e.type == 'note_on' and e.velocity > 0 and e.channel ";
  script += melody ? "== 0" : "!= 0";
  script += ":\n            print(now, e.note)\n";
  std::string out;
  if (cantrel_test::RunTool({python, "-c", script, mid.string()}, &out) != 0) return false;
  std::istringstream in(out);
  *division = 0;
  in >> *division;
  if (*division <= 0) return false;
  for (int tick = 0, pitch = 0; in >> tick >> pitch;) starts->push_back({tick, pitch});
  return true;
}

// The notes of channel 1 of a MIDI file (mido), starts rounded to sixteenths.
bool MidoNotes(const std::string& python, const fs::path& mid, Notes* notes) {
  int division = 0;
  Notes starts;
  if (!MidoStarts(python, mid, true, &division, &starts)) return false;
  const int sixteenth = division / 4;
  for (const auto& [tick, pitch] : starts)
    notes->push_back({(tick + sixteenth / 2) / sixteenth, pitch});
  std::sort(notes->begin(), notes->end());
  return true;
}

// The song's notes at their start in sixteenths, a bar being `bar_length`
// sixteenths of the tune (a 2/4 tune fills half of each 4/4 bar).
Notes SongNotes(const CSongData& song, int bar_length) {
  Notes notes;
  const int cells_per_bar = 2 * song.beats_per_bar;
  for (int c = 0; c < song.SongCells(); ++c) {
    for (int s = 0; s < 2; ++s) {
      const int v = song.cells[c].slot[s];
      if (v < 0) continue;
      const int bar = c / cells_per_bar;
      notes.push_back({bar * bar_length + (c % cells_per_bar) * 2 + s, v});
    }
  }
  std::sort(notes.begin(), notes.end());
  return notes;
}

int TuneBarLength(const std::string& text) {
  if (text.find("\nM:3/4") != std::string::npos || text.find("\nM:6/8") != std::string::npos)
    return 12;
  if (text.find("\nM:2/4") != std::string::npos) return 8;
  return 16;
}

TEST(AbcAgainstAbc2midi, FixtureTunesGiveTheSameNotesAndBars) {
  CANTREL_NEED_TOOL("abc2midi");
  const std::string python = cantrel_test::PythonWithMido();
  CANTREL_NEED(!python.empty(), "python3 with mido (python3-mido)");
  std::vector<fs::path> fixtures;
  for (const auto& e : fs::directory_iterator(cantrel_test::DataPath("abc")))
    if (e.path().extension() == ".abc") fixtures.push_back(e.path());
  std::sort(fixtures.begin(), fixtures.end());
  ASSERT_EQ(fixtures.size(), 30u);
  cantrel_test::QuietBoxes quiet;
  for (const fs::path& abc : fixtures) {
    SCOPED_TRACE(abc.filename().string());
    const fs::path mid = cantrel_test::TempDir() / (abc.stem().string() + ".mid");
    std::string log;
    ASSERT_EQ(cantrel_test::RunTool({"abc2midi", abc.string(), "-o", mid.string()}, &log), 0);
    Notes want;
    ASSERT_TRUE(MidoNotes(python, mid, &want));
    ASSERT_FALSE(want.empty());

    const std::string text = ReadFile(abc);
    auto song = std::make_unique<CSongData>();
    ASSERT_EQ(CAbcNotation::Import(song.get(), text.data(), text.size()), 1);
    const int bar_length = TuneBarLength(text);
    EXPECT_EQ(SongNotes(*song, bar_length), want);
    const int end = want.back().first + 1;
    // abc2midi's bars: the tune's length rounded up to whole bars (the last
    // note's start is enough, every bar holds notes to its end).
    EXPECT_EQ(song->bar_count, (end + bar_length - 1) / bar_length);
  }
}

// Chord symbols with blanks inside their quotes: each symbol fills a bar of its own, and the
// chord the import writes there has the tones abc2midi plays for that bar (its accompaniment:
// every note outside the melody's channel). abc2midi 4.84 refuses a symbol that begins with a
// blank ("Guitar chord does not start with A-G"), so it is given the symbols without blanks.
TEST(AbcAgainstAbc2midi, ChordSymbolsWithBlanksInsideTheQuotes) {
  CANTREL_NEED_TOOL("abc2midi");
  const std::string python = cantrel_test::PythonWithMido();
  CANTREL_NEED(!python.empty(), "python3 with mido (python3-mido)");
  struct Case {
    const char* symbol;  // as written between the quotes
    const char* name;    // without the blanks
  };
  const Case cases[] = {{" Em", "Em"},       {"Em ", "Em"},     {"  G7  ", "G7"},
                        {"\tAm", "Am"},      {"D\t", "D"},      {" F#m ", "F#m"},
                        {" D7/F# ", "D7/F#"}, {" CM7", "CM7"}, {"  Bdim ", "Bdim"}};
  std::string padded = "X:1\nT:blanks\nM:4/4\nL:1/8\nK:C\n";
  std::string plain = padded;
  for (const Case& c : cases) {
    padded += std::string("\"") + c.symbol + "\"c8|";
    plain += std::string("\"") + c.name + "\"c8|";
  }
  padded += "\n";
  plain += "\n";

  const fs::path abc = cantrel_test::TempDir() / "blanks.abc";
  const fs::path mid = cantrel_test::TempDir() / "blanks.mid";
  std::ofstream(abc, std::ios::binary) << plain;
  ASSERT_EQ(cantrel_test::RunTool({"abc2midi", abc.string(), "-o", mid.string()}), 0);
  int division = 0;
  Notes accompaniment;
  ASSERT_TRUE(MidoStarts(python, mid, false, &division, &accompaniment));
  std::vector<std::set<int>> played(std::size(cases));
  for (const auto& [tick, pitch] : accompaniment) {
    const size_t bar = static_cast<size_t>(tick / (4 * division));
    if (bar < played.size()) played[bar].insert(pitch % 12);
  }

  auto song = std::make_unique<CSongData>();
  cantrel_test::QuietBoxes quiet;
  ASSERT_EQ(CAbcNotation::Import(song.get(), padded.data(), padded.size()), 1);
  ASSERT_EQ(song->bar_count, static_cast<int>(std::size(cases)));
  for (size_t bar = 0; bar < std::size(cases); ++bar) {
    std::string name(song->chords[bar * 4].first, strnlen(song->chords[bar * 4].first, 8));
    while (!name.empty() && name.back() == ' ') name.pop_back();  // the major chord's blank
    SCOPED_TRACE(std::string("\"") + cases[bar].symbol + "\" imported as " + name);
    int tones[4] = {};
    const int count = CChordControl(name).GetChordTones(tones);
    std::set<int> ours;
    for (int k = 0; k < count; ++k) ours.insert(tones[k]);
    EXPECT_FALSE(played[bar].empty());
    EXPECT_EQ(ours, played[bar]);
  }
}

TEST(AbcAgainstAbc2midi, FirstTuneOfEveryExampleFileHasNoPitchZero) {
  const fs::path folder = "/usr/share/doc/abcmidi/examples";
  CANTREL_NEED(fs::is_directory(folder), "the abcmidi examples");
  int files = 0;
  int notes = 0;
  cantrel_test::QuietBoxes quiet;
  for (const auto& e : fs::directory_iterator(folder)) {
    if (e.path().extension() != ".abc") continue;
    SCOPED_TRACE(e.path().filename().string());
    ++files;
    const std::string text = ReadFile(e.path());
    auto song = std::make_unique<CSongData>();
    ASSERT_EQ(CAbcNotation::Import(song.get(), text.data(), text.size()), 1);
    EXPECT_GT(song->bar_count, 0);
    for (int c = 0; c < song->SongCells(); ++c)
      for (int s = 0; s < 3; ++s) {
        EXPECT_NE(song->cells[c].slot[s], 0) << "cell " << c;
        if (song->cells[c].slot[s] > 0) ++notes;
      }
  }
  EXPECT_GE(files, 10);
  EXPECT_GT(notes, 200);  // drums.abc holds rests only
}

}  // namespace
