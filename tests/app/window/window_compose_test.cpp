// Composing ranges of bars and the bar menu's commands, through the window's own handlers.
#include "tests/app/window/window_fixture.h"

#include "app/compose_worker.h"

#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "platform/core/files.h"
#include "song/chord_codes.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/music_names.h"

#include <QPoint>
#include <QSpinBox>

#include <cstring>
#include <map>
#include <set>

namespace {

namespace fs = std::filesystem;

std::string ChordAt(const CSongData& s, int beat) {
  return std::string(s.chords[beat].first, strnlen(s.chords[beat].first, 8));
}

int KeyRow(const char* name) { return CSongData::KeyIndexFromName(name); }

// The chord of a bar's first beat as root pitch class and type row.
std::pair<int, int> BarChord(const CSongData& s, int bar) {
  int root = -1, type = -1, key = 0, bass = 0;
  s.GetChord(bar, 0, &root, &type, &key, &bass, 0);
  return {root, type};
}

class ComposeTest : public WindowTest {};

TEST_F(ComposeTest, AWholeBarOfMiddleCInCMajorIsHarmonisedWithCMajorOverEverySeed) {
  Start();
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    NewSong(2, 4);
    dlg->song->SetNote(0, 0, 60, CSongData::NoteValueIndex(8), false);
    GneSeedRandomWith(seed);
    dlg->ComposeChords(0, 0);
    // C major scores 47 against 46 for Dm7, Am7 and F.
    for (int beat = 0; beat < 4; ++beat) EXPECT_EQ(ChordAt(*dlg->song, beat), "C ") << seed;
    EXPECT_EQ(ChordAt(*dlg->song, 4), "C ") << "the next bar keeps its chord";
  }
}

TEST_F(ComposeTest, TiedBestChordsAreDrawnEvenly) {
  Start();
  // One eighth of A4 in C major: Dm7, F and Am7 share the best score.
  std::map<std::pair<int, int>, int> seen;
  const int rounds = 600;
  for (int seed = 1; seed <= rounds; ++seed) {
    NewSong(1, 4);
    dlg->song->SetNote(0, 0, 69, CSongData::NoteValueIndex(1), false);
    GneSeedRandomWith(static_cast<uint32_t>(seed));
    dlg->HarmonizeMelody(0, 0);
    ++seen[BarChord(*dlg->song, 0)];
  }
  auto row = [](const char* code) {
    int root = 0, type = -1;
    DecodeChordCode(code, &root, &type);
    return type;
  };
  const int minor7 = row("CmPs"), major = row("CMPo");
  const std::set<std::pair<int, int>> expected = {{2, minor7}, {5, major}, {9, minor7}};
  ASSERT_EQ(seen.size(), 3u);
  for (const auto& [chord, count] : seen) {
    EXPECT_TRUE(expected.count(chord)) << chord.first << " " << chord.second;
    EXPECT_GT(count, rounds / 3 - 60);
    EXPECT_LT(count, rounds / 3 + 60);
  }
}

TEST_F(ComposeTest, KeyBonusesOfAnEmptyBar) {
  Start();
  struct Case {
    const char* key;
    std::pair<int, int> chord;  // the dominant seventh a fifth above the tonic
  } cases[] = {{"C", {7, 2}}, {"Am", {4, 2}}, {"F#m", {1, 2}}, {"E", {11, 2}}};
  for (const Case& c : cases) {
    NewSong(1, 4, KeyRow(c.key));
    dlg->HarmonizeMelody(0, 0);
    EXPECT_EQ(BarChord(*dlg->song, 0), c.chord) << c.key;
  }
}

TEST_F(ComposeTest, TheFirstBarWithoutNotesTakesTheTonicAndOthersFollowThePatterns) {
  Start();
  for (const char* key : {"C", "D", "Am", "Bm", "Bbm"}) {
    NewSong(2, 4, KeyRow(key));
    dlg->ComposeChords(0, 0);
    char tonic[16] = {};
    std::memcpy(tonic, dlg->song->key_tonic, 8);
    ChordNameToCode(tonic);
    int root = -1, type = -1;
    DecodeChordCode(tonic, &root, &type);
    EXPECT_EQ(BarChord(*dlg->song, 0), std::make_pair(root, type)) << key;
    const KeySignature& row = KeySignatureTable[KeyRow(key)];
    const int n = (row.tonic + (row.mode == 1 ? 3 : 0)) % 12;
    for (uint32_t seed = 1; seed <= 15; ++seed) {
      GneSeedRandomWith(seed);
      dlg->ComposeChords(1, 1);
      // Seen in C major (A minor), the new chord is one the pattern database lets follow.
      char previous[16] = {}, next[16] = {};
      std::memcpy(previous, dlg->song->chords[0].first, 8);
      std::memcpy(next, dlg->song->chords[4].first, 8);
      ChordNameToCode(previous);
      ChordNameToCode(next);
      for (int i = 0; i < n; ++i) {
        previous[0] = RootLetterDown(previous[0]);
        next[0] = RootLetterDown(next[0]);
      }
      std::array<SuccessorCandidate, kSuccessorCapacity> candidates{};
      const int count = CollectSuccessors(previous, PatternDb().pattern_text, &candidates);
      std::set<std::string> allowed;
      for (int i = 0; i < count; ++i) allowed.insert(std::string(candidates[i].code, 4));
      allowed.insert(CurrentTimingDatabases().chord_template_key);
      EXPECT_TRUE(allowed.count(std::string(next, 4))) << key << " " << std::string(next, 4);
    }
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(ComposeTest, RandomAndFlamencoStylesComposeWithoutBoxes) {
  Start();
  BuildStyleTable();
  int found = 0;
  for (int category = 0; category < 9; ++category) {
    for (int slot = 0; slot < 24; ++slot) {
      const StyleRecord* record = FindStyleSlot(category, slot);
      if (!record || (record->progression != 5 && record->progression != 10)) continue;
      ++found;
      dlg->categoryList->setCurrentIndex(category);
      dlg->FillStyleList();
      dlg->styleList->setCurrentIndex(dlg->styleList->findData(slot));
      ASSERT_EQ(dlg->styleList->currentData().toInt(), slot);
      NewSong(16, 4);
      for (int bar = 0; bar < 16; ++bar) dlg->ComposeChords(bar, bar);
      EXPECT_EQ(cantrel_test::Sink().Count(), 0u) << category << " " << slot;
    }
  }
  EXPECT_GT(found, 0);
}

// Every composed note starts on an eighth and lasts whole eighths, inside the bars asked for.
void ExpectMelodyInside(const CSongData& s, int first, int last, const std::string& what) {
  const int perBar = s.beats_per_bar * 2;
  EXPECT_NE(s.cells[first * perBar].slot[0], NoteSlotHold) << what;
  for (int c = first * perBar; c < (last + 1) * perBar; ++c) {
    const int32_t* v = s.cells[c].slot;
    EXPECT_TRUE(v[0] == NoteSlotRest || v[0] == NoteSlotHold || (v[0] >= 0 && v[0] <= 127))
        << what << " cell " << c;
    EXPECT_EQ(v[1], NoteSlotHold) << what << " cell " << c;
    EXPECT_EQ(v[2], NoteSlotVacant) << what << " cell " << c;
  }
}

// Every built-in style the style lists show composes chords and melody over a song's 16 bars
// through the bar menu's range edit without a message box, its 3/4 and 7/8 styles on a 4/4
// song included: the bars are the song's, as when the song is played. The two 7/8 styles also
// bar by bar, on 4/4 and 3/4 songs.
TEST_F(ComposeTest, EveryStyleComposesSixteenBarsWithoutBoxes) {
  Start();
  BuildStyleTable();
  auto select = [&](int category, int slot) {
    dlg->categoryList->setCurrentIndex(category);
    dlg->FillStyleList();
    dlg->styleList->setCurrentIndex(dlg->styleList->findData(slot));
    return dlg->styleList->currentData().toInt() == slot;
  };
  auto expectNoBox = [&](const std::string& what) {
    const std::vector<std::string> boxes = cantrel_test::Sink().Texts();
    EXPECT_TRUE(boxes.empty()) << what << ": " << boxes.size() << " boxes, the first "
                               << (boxes.empty() ? std::string() : boxes.front());
    cantrel_test::Sink().Clear();
  };
  int styles = 0, sevenEight = 0;
  for (int category = 0; category < kStyleCategoryCount; ++category) {
    dlg->categoryList->setCurrentIndex(category);
    dlg->FillStyleList();
    std::vector<int> shown;
    for (int i = 0; i < dlg->styleList->count(); ++i) {
      const int slot = dlg->styleList->itemData(i).toInt();
      if (slot >= 0) shown.push_back(slot);
    }
    for (int slot : shown) {
      const StyleRecord* record = FindStyleSlot(category, slot);
      ASSERT_TRUE(record && select(category, slot)) << category << " " << slot;
      ++styles;
      const std::string what = std::to_string(category) + "/" + std::to_string(slot);
      NewSong(16, 4);
      GneSeedRandomWith(static_cast<uint32_t>(category * 24 + slot + 1));
      dlg->RunRangeEdit(14, 1, 16, 0);
      expectNoBox(what);
      EXPECT_GT(dlg->song->CountNotes(0, 15), 0) << what;
      if (record->metre != 2) continue;
      ++sevenEight;
      for (int beats : {4, 3}) {
        NewSong(16, beats);
        for (int bar = 0; bar < 16; ++bar) dlg->OnBarMenuCommand(266, bar);
        expectNoBox(what + " bar by bar, " + std::to_string(beats) + " beats");
        ExpectMelodyInside(*dlg->song, 0, 15, what);
      }
    }
  }
  EXPECT_GE(styles, 160) << "the style lists show every named built-in style";
  EXPECT_EQ(sevenEight, 2);
}

// A song whose style is a category's random entry (slot 0, which the style list does not show,
// so the list selects nothing) composes 16 bars through range edit 14 and is played without a
// box, in the random entry, over several seeds in a major and a minor key: whether the song
// holds the entry's record or, still empty, only its category and slot.
TEST_F(ComposeTest, RandomCategoryEntriesComposeAndPlayWithoutBoxes) {
  Start();
  const fs::path file = dlg->userDataFolder / "random_entry.mid";
  for (int category = 0; category < kStyleCategoryCount; ++category) {
    for (uint32_t seed = 1; seed <= 3; ++seed) {
      for (const char* key : {"C", "Am"}) for (bool ownRecord : {false, true}) {
        const std::string what = std::to_string(category) + "/" + std::to_string(seed) + " in " +
                                 key + (ownRecord ? ", its record" : ", an empty record");
        NewSong(16, 4, KeyRow(key));
        ASSERT_EQ(dlg->song->style.pattern_db[0], 0) << "a reset song has no style of its own";
        if (ownRecord) dlg->song->SetStyle(StyleTableSlot(category, 0));
        dlg->song->info.SetInt(SongInfoBlock::kStyleCategory, category);
        dlg->song->info.SetInt(SongInfoBlock::kStyleSlot, 0);
        dlg->categoryList->setCurrentIndex(category);
        dlg->FillStyleList();
        dlg->styleList->setCurrentIndex(dlg->styleList->findData(0));
        ASSERT_EQ(dlg->styleList->currentIndex(), -1) << what;
        GneSeedRandomWith(seed);
        dlg->RunRangeEdit(14, 1, 16, 0);
        EXPECT_EQ(CurrentStyle().random_category, category + 1) << what << ": the entry composed";
        EXPECT_GT(dlg->song->CountNotes(0, 15), 0) << what;
        dlg->StartComposeThread(file, dlg->song.get(), kMsgExportComposed);
        window_test::PumpUntil([] { return !ComposeWorkerRunning(); }, 60000);
        EXPECT_GT(fs::exists(file) ? fs::file_size(file) : 0u, 0u) << what << ": played";
        fs::remove(file);
        const std::vector<std::string> boxes = cantrel_test::Sink().Texts();
        EXPECT_TRUE(boxes.empty()) << what << ": " << boxes.size() << " boxes, the first "
                                   << (boxes.empty() ? std::string() : boxes.front());
        cantrel_test::Sink().Clear();
      }
    }
  }
}

TEST_F(ComposeTest, MelodiesFillTheirBarsAndLeaveTheOthers) {
  Start();
  for (int beats : {3, 4}) {
    for (uint32_t seed = 1; seed <= 12; ++seed) {
      NewSong(4, beats);
      // Marker notes in the bars around the range.
      dlg->song->SetNote(0, 0, 50, CSongData::NoteValueIndex(beats * 2), false);
      dlg->song->SetNote(3, 0, 52, CSongData::NoteValueIndex(beats * 2), false);
      std::vector<NoteCell> before(dlg->song->cells, dlg->song->cells + 4 * beats * 2);
      GneSeedRandomWith(seed);
      dlg->ComposeChords(1, 2);
      dlg->ComposeMelody(1, 2);
      const std::string what = std::to_string(beats) + "/" + std::to_string(seed);
      ExpectMelodyInside(*dlg->song, 1, 2, what);
      for (int c : {0, 3}) {
        for (int e = 0; e < beats * 2; ++e) {
          const int cell = c * beats * 2 + e;
          EXPECT_EQ(std::memcmp(&dlg->song->cells[cell], &before[cell], sizeof(NoteCell)), 0)
              << what << " bar " << c;
        }
      }
      EXPECT_GT(dlg->song->CountNotes(1, 2), 0) << what;
    }
  }
}

TEST_F(ComposeTest, MelodiesOfMinorKeysStayInThePartsRange) {
  Start();
  const StyleRecord style = dlg->SelectedStyle();
  const int low = style.parts[kMelodyChannel].range_low;
  const int high = style.parts[kMelodyChannel].range_high;
  for (const char* key : {"Am", "Bbm", "Bm", "C", "Cm"}) {
    const KeySignature& row = KeySignatureTable[KeyRow(key)];
    const int n = (row.tonic + (row.mode == 1 ? 3 : 0)) % 12;
    for (uint32_t seed = 1; seed <= 8; ++seed) {
      NewSong(4, 4, KeyRow(key));
      GneSeedRandomWith(seed);
      for (int bar = 0; bar < 4; ++bar) dlg->ComposeChords(bar, bar);
      dlg->ComposeMelody(0, 3);
      int lowest = 128, highest = -1;
      dlg->song->GetPitchRange(&lowest, &highest, 0, 4);
      ASSERT_GE(highest, 0) << key;
      EXPECT_GE(lowest - n, low - 12) << key << " " << seed;
      EXPECT_LE(highest - n, high) << key << " " << seed;
    }
  }
}

TEST_F(ComposeTest, ComposingPastTheEndGrowsTheSongWithinItsLimit) {
  Start();
  NewSong(4, 4);
  dlg->OnBarMenuCommand(266, 6);
  EXPECT_EQ(dlg->song->bar_count, 7);
  ExpectMelodyInside(*dlg->song, 6, 6, "appended");
  EXPECT_NE(ChordAt(*dlg->song, 6 * 4), "----");
  // At 256 bars of 4/4 nothing grows and nothing changes.
  NewSong(256, 4);
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  const int beeps = dlg->beepCount;
  dlg->ComposeChords(256, 256);
  dlg->ComposeMelody(256, 256);
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
  EXPECT_EQ(dlg->beepCount, beeps + 2);
}

// The bar menu's compose commands and range operations 12-14 refuse (a beep, the song as it
// was) while a real worker holds the engine, and compose again once it is done.
TEST_F(ComposeTest, ComposingWaitsForTheWorker) {
  Start();
  NewSong(4, 4);
  // The worker waits at its start until released, so it is surely running while the window asks.
  struct Held {
    Held() { HoldComposeWorkers(true); }
    ~Held() { HoldComposeWorkers(false); }
  } held;
  const fs::path out = cantrel_test::TempDir() / "held.mid";
  ASSERT_EQ(dlg->StartComposeThread(out, dlg->song.get(), kMsgExportComposed), 1);
  ASSERT_TRUE(ComposeWorkerRunning());
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  const int beeps = dlg->beepCount;
  for (int command : {264, 265, 266}) dlg->OnBarMenuCommand(command, 1);
  for (int operation : {12, 13, 14}) dlg->RunRangeEdit(operation, 1, 2, 0);
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
  EXPECT_EQ(dlg->beepCount, beeps + 6);

  HoldComposeWorkers(false);
  window_test::PumpUntil([] { return !ComposeWorkerRunning(); }, 120000);
  ASSERT_FALSE(ComposeWorkerRunning()) << "the worker never finished";
  EXPECT_TRUE(fs::exists(out));
  const int after = dlg->beepCount;
  dlg->OnBarMenuCommand(266, 1);
  EXPECT_EQ(dlg->beepCount, after);
  EXPECT_NE(dlg->song->SerializeToVector(), image);
  ExpectMelodyInside(*dlg->song, 1, 1, "after the worker");
}

TEST_F(ComposeTest, PartMelodiesAreComposedAgainWithinBoundedAttempts) {
  Start();
  // No section: nothing to do.
  EXPECT_EQ(RegeneratePartMelody(kMelodyChannel), 1);
  EXPECT_EQ(RegeneratePartMelody(99), 0);
}

// ---------------------------------------------------------------------------------- bar menu

TEST_F(ComposeTest, RecentCommandsHeadTheMenu) {
  Start();
  NewSong(8, 4);
  for (int command : {260, 274, 275}) dlg->OnBarMenuCommand(command, 1);
  ASSERT_EQ(dlg->recentCount, 3);
  EXPECT_EQ(std::vector<int>(dlg->recentCommands, dlg->recentCommands + 3),
            (std::vector<int>{275, 274, 260}));
  dlg->OnBarMenuCommand(274, 1);  // the second again changes places with the first
  EXPECT_EQ(std::vector<int>(dlg->recentCommands, dlg->recentCommands + 3),
            (std::vector<int>{274, 275, 260}));
  dlg->OnBarMenuCommand(261, 1);  // a new one pushes the oldest out
  EXPECT_EQ(std::vector<int>(dlg->recentCommands, dlg->recentCommands + 3),
            (std::vector<int>{261, 274, 275}));
  const std::vector<BarMenuGroup> menu = dlg->BarMenuLayout(false);
  EXPECT_EQ(menu[0].commands, (std::vector<int>{261, 274, 275}));
}

TEST_F(ComposeTest, CtrlAddsTheRareItems) {
  Start();
  auto all = [&](bool ctrl) {
    std::set<int> items;
    const std::vector<BarMenuGroup> groups = dlg->BarMenuLayout(ctrl);
    for (size_t g = 1; g < groups.size(); ++g) items.insert(groups[g].commands.begin(), groups[g].commands.end());
    return items;
  };
  const std::set<int> plain = all(false), full = all(true);
  for (int command : {272, 273, 274, 275, 276, 268, 269, 270, 271, 277}) {
    EXPECT_FALSE(plain.count(command)) << command;
    EXPECT_TRUE(full.count(command)) << command;
  }
  EXPECT_EQ(full.size(), 38u);
  EXPECT_STREQ(CBrevantDlg::MenuText(266), "この小節のﾒﾛﾃﾞｨとｺｰﾄﾞを自動生成");
  EXPECT_STREQ(CBrevantDlg::MenuText(999), "１小節分トリル");
}

TEST_F(ComposeTest, PlayCommandsCopyTheirBars) {
  Start();
  NewSong(8, 4);
  struct Case {
    int command, bar;
    int rangeFirst, rangeLast;
    int firstBar, bars;  // -1: nothing plays
  } cases[] = {
      {256, 3, -1, -1, 3, 1},  {256, 8, -1, -1, -1, 0},   // past the end: nothing
      {257, 0, -1, -1, 0, 2},  {257, 7, -1, -1, 6, 2},
      {258, 0, -1, -1, 0, 8},  {278, 0, -1, -1, 0, 8},
      {287, 0, 2, 20, 2, 6},   {287, 0, 9, 12, -1, 0},    // a range past the end stops there
  };
  for (const Case& c : cases) {
    dlg->StartPlayback(fs::path());  // no arrangement pending
    dlg->recentCount = 0;
    dlg->partialSong.reset();
    dlg->rangeFirst = c.rangeFirst;
    dlg->rangeLast = c.rangeLast;
    dlg->OnBarMenuCommand(c.command, c.bar);
    const std::string what = std::to_string(c.command) + "@" + std::to_string(c.bar);
    if (c.firstBar < 0) {
      EXPECT_FALSE(ArrangementStarted()) << what;
      EXPECT_EQ(dlg->recentCount, 0) << what;
      continue;
    }
    EXPECT_TRUE(ArrangementStarted()) << what;
    ASSERT_NE(dlg->partialSong, nullptr) << what;
    EXPECT_EQ(dlg->partialSong->bar_count, c.bars) << what;
    EXPECT_EQ(dlg->playFirstBar, c.firstBar) << what;
    EXPECT_EQ(dlg->recentCount, 1) << what;
  }
  // Without a range nothing plays, yet the command heads the menu.
  dlg->StartPlayback(fs::path());
  dlg->recentCount = 0;
  dlg->rangeFirst = dlg->rangeLast = -1;
  dlg->OnBarMenuCommand(287, 0);
  EXPECT_FALSE(ArrangementStarted());
  EXPECT_EQ(dlg->recentCount, 1);
  // Nothing starts while a song plays.
  dlg->StartPlayback(fs::path());
  g_isPlaying = 1;
  dlg->OnBarMenuCommand(256, 1);
  EXPECT_FALSE(ArrangementStarted());
  g_isPlaying = 0;
}

TEST_F(ComposeTest, BarCommandsPastTheEndOrWithoutACursorDoNothing) {
  Start();
  NewSong(8, 4);
  dlg->cursorBar = -1;
  dlg->cursorEighth = -1;
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  for (int command : {262, 279, 263, 267, 291, 292, 293}) {
    dlg->recentCount = 0;
    dlg->OnBarMenuCommand(command, 8);
    EXPECT_EQ(dlg->song->SerializeToVector(), image) << command;
    EXPECT_EQ(dlg->recentCount, 0) << command;
  }
  dlg->OnBarMenuCommand(262, 2);
  EXPECT_EQ(dlg->song->bar_count, 7);
  dlg->OnBarMenuCommand(279, 2);
  EXPECT_EQ(dlg->song->bar_count, 8);
  // Inserting at 256 bars of 4/4 is refused before anything changes.
  NewSong(256, 4);
  const int beeps = dlg->beepCount;
  dlg->OnBarMenuCommand(279, 3);
  EXPECT_EQ(dlg->song->bar_count, 256);
  EXPECT_EQ(dlg->beepCount, beeps + 1);
}

// Bars numbered by a marker note of pitch 40 + bar on their first eighth.
void MarkBars(CSongData& s) {
  for (int bar = 0; bar < s.bar_count; ++bar) s.cells[bar * s.beats_per_bar * 2].slot[0] = 40 + bar;
}
std::vector<int> Marks(const CSongData& s) {
  std::vector<int> out;
  for (int bar = 0; bar < s.bar_count; ++bar) out.push_back(s.cells[bar * s.beats_per_bar * 2].slot[0] - 40);
  return out;
}

TEST_F(ComposeTest, RangeCommandsMoveCopyAndDeleteBars) {
  Start();
  struct Case {
    int command, first, last, target;
    std::vector<int> bars;  // marks afterwards
  } cases[] = {
      {283, 1, 2, 4, {0, 1, 2, 3, 1, 2, 4, 5}},
      {284, 1, 2, 4, {0, 1, 2, 3, 1, 2}},
      {285, 1, 2, 4, {0, 3, 1, 2, 4, 5}},
      {285, 3, 4, 0, {3, 4, 0, 1, 2, 5}},
      {285, 1, 3, 2, {0, 1, 2, 3, 4, 5}},  // inside the range: refused
      {286, 1, 2, 0, {0, 3, 4, 5}},
      {283, 4, 5, 8, {0, 1, 2, 3, 4, 5, 0, 0, 4, 5}},  // past the end: the song grows first
  };
  for (const Case& c : cases) {
    NewSong(6, 4);
    MarkBars(*dlg->song);
    // Bars that the song grows by carry no mark (a bar's rest reads as 40 - 1 = -1 + 40).
    dlg->rangeFirst = c.first;
    dlg->rangeLast = c.last;
    dlg->OnBarMenuCommand(c.command, c.target);
    std::vector<int> marks = Marks(*dlg->song);
    for (int& m : marks) {
      if (m < 0) m = 0;
    }
    EXPECT_EQ(marks, c.bars) << c.command << " " << c.first << ".." << c.last << " -> " << c.target;
    if (c.command == 285 && c.target == 2) continue;
    EXPECT_EQ(dlg->rangeFirst, -1);
    EXPECT_EQ(dlg->barCountSpin->value(), dlg->song->bar_count);
  }
}

TEST_F(ComposeTest, CopyingBarsPastTheLimitIsRefused) {
  Start();
  NewSong(255, 4);
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  EXPECT_FALSE(dlg->InsertBarCopies(0, 1, 3));
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
  EXPECT_TRUE(dlg->InsertBarCopies(0, 0, 3));
  EXPECT_EQ(dlg->song->bar_count, 256);
}

TEST_F(ComposeTest, ACopyDropOntoItsOwnRangeCopiesTheBarsAsTheyWere) {
  Start();
  NewSong(8, 4);
  MarkBars(*dlg->song);
  const PageRect& r = dlg->Layout().scoreRows[3];
  dlg->rangeFirst = 2;
  dlg->rangeLast = 5;
  dlg->OnScoreDrop("score:Copy:2", (r.left + r.right) / 2, (r.top + r.bottom) / 2);
  EXPECT_EQ(Marks(*dlg->song), (std::vector<int>{0, 1, 2, 2, 3, 4, 5, 7}));
  NewSong(8, 4);
  MarkBars(*dlg->song);
  const PageRect& r1 = dlg->Layout().scoreRows[1];
  dlg->rangeFirst = 2;
  dlg->rangeLast = 5;
  dlg->OnScoreDrop("score:Copy:4", (r1.left + r1.right) / 2, (r1.top + r1.bottom) / 2);
  EXPECT_EQ(Marks(*dlg->song), (std::vector<int>{0, 2, 3, 4, 5, 5, 6, 7}));
}

TEST_F(ComposeTest, RangeEditsCheckWhatTheDialogGives) {
  Start();
  struct Case {
    int operation, first, last, value;
    bool accepted;
  } cases[] = {
      {3, 2, 3, 0, true},   {3, 0, 3, 0, false},  {3, 4, 3, 0, false}, {3, 2, 9, 0, false},
      {0, 1, 2, 9, true},   {0, 1, 2, 0, false},  {1, 1, 2, 5, true},  {16, 1, 1, 0, false},
      {-2, 1, 1, 0, false}, {7, 1, 8, 5, true},   {2, 9, 9, 0, true},  {2, 10, 10, 0, false},
  };
  for (const Case& c : cases) {
    NewSong(8, 4);
    cantrel_test::Sink().Clear();
    dlg->RunRangeEdit(c.operation, c.first, c.last, c.value);
    const bool refused = cantrel_test::Sink().Texts() == std::vector<std::string>{"CBrevantDlg error"};
    EXPECT_EQ(!refused, c.accepted) << c.operation << " " << c.first << ".." << c.last << " " << c.value;
  }
  // A cancelled dialog changes nothing.
  NewSong(8, 4);
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  dlg->RunRangeEdit(-1, 0, 0, 0);
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
}

TEST_F(ComposeTest, HalvingNeedsAnEvenNumberOfBars) {
  Start();
  NewSong(8, 4);
  MarkBars(*dlg->song);
  const std::vector<uint8_t> image = dlg->song->SerializeToVector();
  dlg->RunRangeEdit(8, 1, 3, 0);
  EXPECT_EQ(cantrel_test::Sink().Texts(),
            std::vector<std::string>{"小節の数は偶数でなければなりません。"});
  EXPECT_EQ(dlg->song->SerializeToVector(), image);
  dlg->RunRangeEdit(8, 1, 4, 0);
  EXPECT_NE(dlg->song->SerializeToVector(), image);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u) << "the first refusal only";
}

TEST_F(ComposeTest, ComposingARangeOfBarsBarByBar) {
  Start();
  NewSong(8, 4);
  GneSeedRandomWith(5);
  dlg->RunRangeEdit(14, 2, 5, 0);
  ExpectMelodyInside(*dlg->song, 1, 4, "range");
  EXPECT_GT(dlg->song->CountNotes(1, 4), 0);
}

TEST_F(ComposeTest, TheStatisticOfSungNotes) {
  Start();
  NewSong(2, 4);
  dlg->OnBarMenuCommand(276, 0);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"err 歌詞つきの音符がありません。"});
  cantrel_test::Sink().Clear();
  // Three sung notes: G, G and D in G major, counted in C (C, C and G).
  NewSong(2, 4, KeyRow("G"));
  dlg->song->SetNote(0, 0, 67, 1, false);
  dlg->song->SetNote(0, 1, 67, 1, false);
  dlg->song->SetNote(0, 2, 74, 1, false);
  dlg->song->SetNote(0, 3, 72, 1, false);  // no lyric: not counted
  for (int e = 0; e < 3; ++e) dlg->song->SetLyric(0, e, "la", false);
  dlg->OnBarMenuCommand(276, 0);
  ASSERT_EQ(cantrel_test::Sink().Count(), 1u);
  const std::string text = cantrel_test::Sink().Texts()[0];
  EXPECT_NE(text.find("\nド  [2][67％]"), std::string::npos) << text;
  EXPECT_NE(text.find("\nソ  [1][33％]"), std::string::npos) << text;
  EXPECT_NE(text.find("\nシ  [0][0％]"), std::string::npos) << text;
}

}  // namespace
