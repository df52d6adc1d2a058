#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "song/abc_notation.h"
#include "song/song_data.h"
#include "tests/support/digest.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

struct Imported {
  std::unique_ptr<CSongData> song = std::make_unique<CSongData>();
  int result = -1;
  std::vector<std::string> boxes;
};

Imported Import(const std::string& text) {
  Imported r;
  r.song->Reset(4, 4, 0, 1);
  cantrel_test::Sink().Clear();
  r.result = CAbcNotation::Import(r.song.get(), text.data(), text.size());
  r.boxes = cantrel_test::Sink().Texts();
  return r;
}

// (start in sixteenths from the song's start, pitch) of every note.
std::vector<std::pair<int, int>> Notes(const CSongData& song) {
  std::vector<std::pair<int, int>> notes;
  for (int c = 0; c < song.SongCells(); ++c)
    for (int s = 0; s < 2; ++s)
      if (song.cells[c].slot[s] >= 0) notes.push_back({2 * c + s, song.cells[c].slot[s]});
  return notes;
}

std::vector<int> Pitches(const CSongData& song) {
  std::vector<int> p;
  for (const auto& n : Notes(song)) p.push_back(n.second);
  return p;
}

const std::string kGeneral = "KVDG00000006 ABCファイルの処理でエラーが発生しました。";
const std::string kBroken = "KVDG00000007 ＞を検出";
const std::string kParen = "KVDG00000008 (を検出";

TEST(AbcImport, HeaderGivesShapeKeyTitleAndBars) {
  Imported r = Import("X:1\nT:Song\nM:3/4\nL:1/4\nK:G\nGAB|c2d|]");
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.song->beats_per_bar, 3);
  EXPECT_EQ(r.song->key_index, 1);
  EXPECT_EQ(r.song->bar_count, 2);
  EXPECT_EQ(r.song->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize), "Song");
  EXPECT_EQ(r.song->info.GetText(SongInfoBlock::kAltTitle, SongInfoBlock::kAltTitleSize), "Song");
  const std::vector<std::pair<int, int>> want = {{0, 67}, {4, 69}, {8, 71}, {12, 72}, {20, 74}};
  EXPECT_EQ(Notes(*r.song), want);
  EXPECT_TRUE(r.boxes.empty());
}

TEST(AbcImport, HeaderTextsTempoAndDefaults) {
  Imported r = Import("X:1\nT: My Tune \nT:Subtitle\nC: Trad\nO:Ireland\nQ:1/4 = 144\n"
                      "R:reel\nK:D\nDEFG|");
  ASSERT_EQ(r.result, 1);
  EXPECT_EQ(r.song->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize), "My Tune");
  EXPECT_EQ(r.song->info.GetText(SongInfoBlock::kComposer, SongInfoBlock::kComposerSize),
            "Ireland Trad");
  EXPECT_EQ(r.song->info.GetInt(SongInfoBlock::kTempo), 144);
  EXPECT_EQ(r.song->beats_per_bar, 4);
  // L:1/8 by default: four eighths.
  const std::vector<std::pair<int, int>> want = {{0, 62}, {2, 64}, {4, 66}, {6, 67}};
  EXPECT_EQ(Notes(*r.song), want);
  Imported no_tempo = Import("X:1\nK:C\nC|");
  EXPECT_EQ(no_tempo.song->info.GetInt(SongInfoBlock::kTempo), 60);
}

TEST(AbcImport, TempoOutsideItsRangeIsReportedAndClamped) {
  struct Case { const char* q; int want; bool report; };
  const Case cases[] = {{"1/4=0", 40, true},     {"1/4=39", 40, true},  {"1/4=40", 40, false},
                        {"1/4=240", 240, false}, {"1/4=241", 240, true},
                        {"1/4=99999999999999999999", 240, true}, {"1/4=", 40, true},
                        {"120", 60, true}};
  for (const Case& c : cases) {
    Imported r = Import(std::string("X:1\nQ:") + c.q + "\nK:C\nC|");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.song->info.GetInt(SongInfoBlock::kTempo), c.want) << c.q;
    EXPECT_EQ(r.boxes.size(), c.report ? 1u : 0u) << c.q;
  }
}

TEST(AbcImport, KeySignaturesApplyTheirSharpsAndFlatsInOrder) {
  struct Case { const char* key; const char* body; std::vector<int> want; };
  const Case cases[] = {
      {"G", "FfCc|", {66, 78, 60, 72}},
      {"Bb", "BEAD|", {70, 63, 69, 62}},            // two flats: B and E
      {"Eb", "BEAD|", {70, 63, 68, 62}},
      {"Cb", "CDEFGAB|", {59, 61, 63, 64, 66, 68, 70}},
      {"C#", "CDEFGAB|", {61, 63, 65, 66, 68, 70, 72}},  // B# too
      {"F#", "EB|", {65, 71}},                         // E#
      {"Dm", "BE|", {70, 64}},
      {"Gmaj", "F|", {66}},
      {"Amin", "F|", {65}},
  };
  for (const Case& c : cases) {
    Imported r = Import(std::string("X:1\nK:") + c.key + "\n" + c.body);
    EXPECT_EQ(Pitches(*r.song), c.want) << c.key;
    EXPECT_TRUE(r.boxes.empty()) << c.key;
  }
  Imported unknown = Import("X:1\nK:Hmix\nC|");
  EXPECT_EQ(unknown.result, 1);
  EXPECT_EQ(unknown.song->key_index, 0);
  EXPECT_EQ(unknown.boxes, std::vector<std::string>{kGeneral});
}

TEST(AbcImport, WrittenAccidentalsWinOverTheKeyAndCarryToTheBarLine) {
  struct Case { const char* key; const char* body; std::vector<int> want; };
  const Case cases[] = {
      {"G", "=F F f|F", {65, 65, 77, 66}},       // natural in force, all octaves, then the key
      {"C", "^F ^F|F", {66, 66, 65}},            // a second ^ does not add up
      {"C", "^^F _B __B B|", {67, 70, 69, 69}},
      {"D", "_C c ^G|c", {59, 71, 68, 73}},
      {"C", "^F>F ^c/c/|", {66, 66, 73, 73}},
  };
  for (const Case& c : cases) {
    Imported r = Import(std::string("X:1\nK:") + c.key + "\n" + c.body);
    EXPECT_EQ(Pitches(*r.song), c.want) << c.key << " " << c.body;
  }
}

TEST(AbcImport, LengthsBrokenRhythmAndSixteenths) {
  struct Case { const char* header; const char* body; std::vector<std::pair<int, int>> want; };
  const Case cases[] = {
      // Two sixteenths in a row each keep their own place.
      {"L:1/16\n", "CDEF|", {{0, 60}, {1, 62}, {2, 64}, {3, 65}}},
      {"", "C/D/E/F/ G|", {{0, 60}, {1, 62}, {2, 64}, {3, 65}, {4, 67}}},
      // A>B: A dotted, B half as long at the second sixteenth.
      {"", "A>B c|", {{0, 69}, {3, 71}, {4, 72}}},
      {"", "A<B c|", {{0, 69}, {1, 71}, {4, 72}}},
      {"L:1/4\n", "A3/2 B/ c2|", {{0, 69}, {6, 71}, {8, 72}}},
      {"", "z2 C z C4|", {{4, 60}, {8, 60}}},
      {"", "C, c' C,, c''|", {{0, 48}, {2, 84}, {4, 36}, {6, 96}}},
      {"", "[CEG]2 [^FA]/ z3/2 x4|", {{0, 60}, {4, 66}}},
  };
  for (const Case& c : cases) {
    Imported r = Import(std::string("X:1\n") + c.header + "K:C\n" + c.body);
    EXPECT_EQ(Notes(*r.song), c.want) << c.body;
    EXPECT_TRUE(r.boxes.empty()) << c.body;
  }
  // A dotted eighth and a sixteenth: the table's values.
  Imported r = Import("X:1\nK:C\nA>B|");
  EXPECT_EQ(r.song->GetNoteLength(0, 0), 1.5);
}

TEST(AbcImport, BarLinesEndBarsOnlyAfterNotesAndTheLastBarNeedsNoBarLine) {
  struct Case { const char* body; int bars; };
  const Case cases[] = {
      {"CDEF|GABc", 2},
      {"CDEF|GABc|", 2},
      {"|:CDEF||GABc:||:cdef|]", 3},
      {"CDEF GABc::cdef|", 2},
      {"CDEF\n|:GABc|\n|:cdef|]\n", 3},
      {"CDEF|1GABc:|2cdef|]", 3},
      {"[|CDEF|[1GABc|]", 2},
      {"", 0},
      {"|||", 0},
      {"CDEFGABc", 1},
      {"CDEFGABcd|", 2},  // notes past the bar's end open the next bar
  };
  for (const Case& c : cases) {
    cantrel_test::QuietBoxes quiet;
    Imported r = Import(std::string("X:1\nK:C\n") + c.body);
    EXPECT_EQ(r.result, 1) << c.body;
    EXPECT_EQ(r.song->bar_count, c.bars) << c.body;
  }
  Imported over = Import("X:1\nK:C\nCDEFGABcd|e");
  EXPECT_EQ(over.boxes, std::vector<std::string>{kGeneral});
  const std::vector<std::pair<int, int>> tail = {{16, 74}, {32, 76}};
  const auto notes = Notes(*over.song);
  ASSERT_GE(notes.size(), 2u);
  EXPECT_EQ((std::vector<std::pair<int, int>>(notes.end() - 2, notes.end())), tail);
}

TEST(AbcImport, UnknownCharactersEnterNothingAndReportOnce) {
  struct Case { const char* body; std::vector<int> want; std::vector<std::string> boxes; };
  const Case cases[] = {
      {"A-A (AB) {g}A .A ~A TA|", {69, 69, 69, 71, 69, 69, 69, 69}, {kGeneral, kParen}},
      {"(3ABC D|", {69, 71, 60, 62}, {kParen}},
      {"C D E F|", {60, 62, 64, 65}, {}},
      {"!trill!C \"^above\"D \"_below\"E \"<left\"F \"@x\"G|", {60, 62, 64, 65, 67}, {}},
      {"C D%E F\nG|", {60, 62, 67}, {}},
      {"CD>E|", {60, 62, 64}, {}},
      {"C > D|", {60, 62}, {kBroken}},
      {"^|C|", {60}, {kGeneral}},
      {"C y D|", {60, 62}, {kGeneral}},
  };
  for (const Case& c : cases) {
    Imported r = Import(std::string("X:1\nK:C\n") + c.body);
    EXPECT_EQ(Pitches(*r.song), c.want) << c.body;
    EXPECT_EQ(r.boxes, c.boxes) << c.body;
  }
}

TEST(AbcImport, BodyFieldsCommentsAndVoices) {
  struct Case { const char* body; std::vector<int> want; };
  const Case cases[] = {
      {"V:1\nCDEF|\nP:A\nT:Part two\nGABc|\nV:2\ncdef|", {60, 62, 64, 65, 67, 69, 71, 72}},
      {"CDEF|\nw:la la la la\nGABc|", {60, 62, 64, 65, 67, 69, 71, 72}},
      {"CDEF|[K:D]FFFF|", {60, 62, 64, 65, 65, 65, 65, 65}},
      {"CDEF|\n\nGABc|", {60, 62, 64, 65}},  // an empty line ends the tune
      {"CDEF|\nX:2\nK:C\nGABc|", {60, 62, 64, 65}},
      {"CDEF|\n%GABc|", {60, 62, 64, 65}},  // the last line is a comment too
      {"CD\\\nEF|", {60, 62, 64, 65}},
  };
  for (const Case& c : cases) {
    cantrel_test::QuietBoxes quiet;
    Imported r = Import(std::string("X:1\nK:C\n") + c.body);
    EXPECT_EQ(Pitches(*r.song), c.want) << c.body;
  }
  // Free text before the tune's X: line is skipped.
  Imported r = Import("%%abc-2.1\nSome notes about the file\n\nX:3\nT:x\nK:C\nC|");
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(Pitches(*r.song), std::vector<int>{60});
}

TEST(AbcImport, ChordNamesSetChordCellsForTheirBeats) {
  Imported r = Import("X:1\nK:C\n\"G\"GABc \"D7/F#\"d2 \"Am\"c2|\"Em\"e4 z4|");
  ASSERT_EQ(r.result, 1);
  auto first = [&](int beat) { return std::string(r.song->chords[beat].first); };
  EXPECT_EQ(first(0), "G ");  // the major chord's suffix is a blank
  EXPECT_EQ(first(1), "G ");
  EXPECT_EQ(first(2), "D7");
  EXPECT_EQ(first(3), "Am");
  EXPECT_EQ(first(4), "Em");
  EXPECT_EQ(first(7), "Em");
  EXPECT_EQ(first(8), "----");  // past the song's two bars
  // A chord at an odd eighth goes to the second half of its beat.
  Imported half = Import("X:1\nK:C\nC\"F\"D EF|");
  EXPECT_EQ(std::string(half.song->chords[0].second), "F ");
  // A chord with nothing after it still gets its beat.
  Imported bare = Import("X:1\nK:C\nCDEF\"G\"|");
  EXPECT_EQ(bare.result, 1);
  EXPECT_EQ(std::string(bare.song->chords[2].first), "G ");
  EXPECT_TRUE(bare.boxes.empty());
}

TEST(AbcImport, TwoFourTunesKeepFourFourBarsWithTwoSkipBeats) {
  Imported r = Import("X:1\nM:2/4\nK:C\nCDEFGABc|cBAGFEDC|");
  ASSERT_EQ(r.result, 1);
  EXPECT_TRUE(CAbcNotation::TwoFourFlag());
  EXPECT_EQ(r.song->beats_per_bar, 4);
  EXPECT_EQ(r.song->bar_count, 2);
  // Without L: a 2/4 tune counts in sixteenths: eight notes fill two beats.
  EXPECT_EQ(Notes(*r.song)[7], (std::pair<int, int>{7, 72}));
  EXPECT_EQ(Notes(*r.song)[8], (std::pair<int, int>{16, 72}));
  for (int bar = 0; bar < 2; ++bar) {
    EXPECT_STRNE(r.song->chords[bar * 4].first, "Skip");
    EXPECT_STREQ(r.song->chords[bar * 4 + 2].first, "Skip");
    EXPECT_STREQ(r.song->chords[bar * 4 + 3].first, "Skip");
  }
  EXPECT_TRUE(r.boxes.empty());
  Import("X:1\nM:3/4\nK:C\nC|");
  EXPECT_FALSE(CAbcNotation::TwoFourFlag());
}

TEST(AbcImport, BadHeadersFailWithResultZero) {
  struct Case { const char* text; int result; };
  const Case cases[] = {
      {"\nT:x\nK:C\nC|", 0},      // an empty line first is a header line without ":"
      {"X:1\n\nK:C\nC|", 0},
      {"X:1\nT\nK:C\nC|", 0},
      {"X:1\nE:x\nK:C\nC|", 0},
      {"X:1\nT:no key\n", 0},
      {"", 0},
      {"X:1\nL:1/2\nM:5/4\nK:C\nC|", 1},  // reported, the import goes on
  };
  for (const Case& c : cases) {
    Imported r = Import(c.text);
    EXPECT_EQ(r.result, c.result) << c.text;
    EXPECT_EQ(r.boxes, std::vector<std::string>{kGeneral}) << c.text;
  }
  CSongData* none = nullptr;
  EXPECT_EQ(CAbcNotation::Import(none, "X:1\nK:C\n", 8), 0);
}

TEST(AbcImport, LimitsLongTextsAndLongTunes) {
  // Titles and composers are cut between characters.
  std::string title;
  for (int i = 0; i < 40; ++i) title += "曲";
  Imported r = Import("X:1\nT:a" + title + "\nC:" + title + "\nK:C\nC|");
  const std::string got = r.song->info.GetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize);
  EXPECT_EQ(got, "a" + title.substr(0, 30));
  EXPECT_EQ(r.song->info.GetText(SongInfoBlock::kAltComposer, SongInfoBlock::kAltComposerSize),
            title.substr(0, 30));
  // A line of any length.
  std::string line;
  for (int i = 0; i < 300; ++i) line += "C4|";
  Imported long_tune = Import("X:1\nK:C\n" + line);
  EXPECT_EQ(long_tune.result, 1);
  EXPECT_EQ(long_tune.song->bar_count, 256);  // 1024 beats, then a stop with a report
  EXPECT_EQ(long_tune.boxes, std::vector<std::string>{kGeneral});
  std::string threes;
  for (int i = 0; i < 400; ++i) threes += "C6|";
  Imported three = Import("X:1\nM:3/4\nK:C\n" + threes);
  EXPECT_EQ(three.song->bar_count, 1024 / 3);
  // A note too high for MIDI keeps its time as a rest.
  Imported high = Import("X:1\nK:C\nc'''''C|");
  EXPECT_EQ(Notes(*high.song), (std::vector<std::pair<int, int>>{{2, 60}}));
  EXPECT_EQ(high.boxes, std::vector<std::string>{kGeneral});
}

TEST(AbcImport, ReportErrorShowsEachKindOnceUntilCleared) {
  CAbcNotation::ReportError(0);
  cantrel_test::Sink().Clear();
  for (int k = 0; k < 3; ++k) {
    CAbcNotation::ReportError(6);
    CAbcNotation::ReportError(7);
    CAbcNotation::ReportError(8);
    CAbcNotation::ReportError(5);
  }
  EXPECT_EQ(cantrel_test::Sink().Texts(), (std::vector<std::string>{kGeneral, kBroken, kParen}));
  CAbcNotation::ReportError(0);
  CAbcNotation::CheckNoteLetter('a');
  CAbcNotation::CheckNoteLetter('G');
  EXPECT_EQ(cantrel_test::Sink().Count(), 3u);
  CAbcNotation::CheckNoteLetter('h');
  CAbcNotation::CheckNoteLetter('H');
  EXPECT_EQ(cantrel_test::Sink().Count(), 4u);
  CAbcNotation::ResetState();
}

}  // namespace

// Every fixture tune and seeded cuts and changes of them, imported, with the song's image and
// the boxes folded into a digest: the importer may be rearranged, the songs it makes stay the
// same.
TEST(AbcImport, FixtureTunesAndTheirVariantsArePinned) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(cantrel_test::DataPath("abc")))
    if (e.is_regular_file()) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  ASSERT_GE(files.size(), 20u);
  GneSeedRandomWith(20261211);
  cantrel_test::Digest digest;
  auto fold = [&digest](const std::string& text) {
    const Imported r = Import(text);
    digest.Int(r.result);
    const std::vector<uint8_t> image = r.song->SerializeToVector();
    digest.Bytes(image.data(), image.size());
    for (const auto& b : r.boxes) digest.Bytes(b.data(), b.size());
  };
  static const char kSymbols[] = "|:[]\"!^_=,'<>(){}/0123456789zxKLMQ\n ";
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const std::string tune = text.str();
    fold(tune);
    for (int n = 0; n < 12; ++n) {
      std::string variant = tune;
      for (int k = GneRandomRange(1, 6); k > 0 && !variant.empty(); --k)
        variant[static_cast<size_t>(GneRandomRange(0, static_cast<int>(variant.size()) - 1))] =
            kSymbols[GneRandomRange(0, static_cast<int>(sizeof kSymbols) - 2)];
      if (GneRandomRange(0, 3) == 0)
        variant.resize(static_cast<size_t>(GneRandomRange(0, static_cast<int>(variant.size()))));
      fold(variant);
    }
  }
  EXPECT_EQ(digest.value, 0xc95e99468851879eull);
}
