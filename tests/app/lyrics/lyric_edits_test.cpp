// The lyric edits on the notes: the four moves of the lyric panel, pouring, the Ctrl-key pulls
// and pushes and the bar menu's shifts. Texts are CP932 (the sources compile to it).
#include "app/lyric_edits.h"

#include "platform/core/encoding.h"
#include "song/song_data.h"
#include "util/gne.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using lyric_edit::Outcome;

// Two bars of 4/4: 16 cells. Every slot starts as an empty third part or a hold, so only the
// notes a case puts there count.
class LyricEditsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    song = std::make_unique<CSongData>();
    song->Reset(2, 4, 0, 1);
    for (int c = 0; c < 16; ++c) {
      for (int s = 0; s < 3; ++s) {
        song->cells[c].slot[s] = s == 2 ? NoteSlotVacant : NoteSlotHold;
        std::memset(song->cells[c].lyric[s], 0, 8);
      }
    }
    song->cells[0].slot[0] = NoteSlotRest;
  }

  // Notes (value, lyric) on cells 0, 1, 2 ... in order, slot 0 each.
  void Notes(const std::vector<std::pair<int, std::string>>& notes) {
    for (size_t i = 0; i < notes.size(); ++i) {
      song->cells[i].slot[0] = notes[i].first;
      lyric_edit::SetLyricAt(*song, static_cast<int>(i), 0, notes[i].second);
    }
  }
  std::vector<std::string> Lyrics(int cells) const {
    std::vector<std::string> out;
    for (int c = 0; c < cells; ++c) out.push_back(lyric_edit::LyricAt(*song, c, 0));
    return out;
  }
  // Every lyric of the song fits its field, ends with its zero and is whole CP932.
  void ExpectSound(const std::string& what) const {
    for (int c = 0; c < song->SongCells(); ++c) {
      for (int s = 0; s < 3; ++s) {
        const char* field = song->cells[c].lyric[s];
        const size_t n = strnlen(field, 8);
        ASSERT_LE(n, 7u) << what << " cell " << c << " slot " << s;
        std::string utf8;
        EXPECT_TRUE(plat::TryCp932ToUtf8(std::string(field, n), utf8))
            << what << " cell " << c << " slot " << s << " splits a character";
      }
    }
  }

  std::unique_ptr<CSongData> song;
};

TEST_F(LyricEditsTest, CharacterBoundariesAreFoundFromTheStart) {
  struct Case {
    std::string text;
    size_t first, lastStart;
  } cases[] = {
      {"", 0, 0},
      {"a", 1, 0},
      {"ab", 1, 1},
      {"かな", 2, 2},
      {"aか", 1, 1},
      {"かa", 2, 2},
      // The half-width long mark's byte is in the lead range: after 「よ」 it is one character.
      {"よｰ", 2, 2},
      {"ｰa", 1, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lyric_edit::FirstCharLength(c.text), c.first) << c.text;
    EXPECT_EQ(lyric_edit::LastCharStart(c.text), c.lastStart) << c.text;
  }
}

TEST_F(LyricEditsTest, TheFourButtons) {
  using Edit = Outcome (*)(CSongData&, int, int);
  struct Case {
    const char* what;
    Edit edit;
    std::vector<std::pair<int, std::string>> notes;
    Outcome outcome;
    std::vector<std::string> after;
  } cases[] = {
      {"split to next moves the last double-byte character", lyric_edit::SplitEndToNext,
       {{60, "あいう"}, {62, "え"}, {64, "お"}}, Outcome::kDone, {"あい", "うえ", "お"}},
      {"a one-byte lyric moves whole", lyric_edit::SplitEndToNext,
       {{60, "a"}, {62, "b"}}, Outcome::kDone, {"", "ab"}},
      {"a mixed lyric gives its last byte", lyric_edit::SplitEndToNext,
       {{60, "かa"}, {62, "b"}}, Outcome::kDone, {"か", "ab"}},
      {"「よｰ」 splits between its characters", lyric_edit::SplitEndToNext,
       {{60, "よｰ"}, {62, ""}}, Outcome::kDone, {"よ", "ｰ"}},
      {"an empty lyric is refused", lyric_edit::SplitEndToNext,
       {{60, ""}, {62, "b"}}, Outcome::kEmpty, {"", "b"}},
      {"a rest cursor does nothing", lyric_edit::SplitEndToNext,
       {{NoteSlotRest, "ab"}, {62, "c"}}, Outcome::kNothing, {"ab", "c"}},
      {"a join past seven bytes leaves both lyrics", lyric_edit::SplitEndToNext,
       {{60, "あい"}, {62, "abcdef"}}, Outcome::kTooLong, {"あい", "abcdef"}},
      {"rests, holds and rap notes are passed over", lyric_edit::SplitEndToNext,
       {{60, "xy"}, {NoteSlotRest, ""}, {NoteSlotHold, ""}, {NoteSlotRap, "r"}, {62, "z"}},
       Outcome::kDone, {"x", "", "", "r", "yz"}},
      {"split and push moves every later lyric one note on", lyric_edit::SplitEndAndPush,
       {{60, "あい"}, {62, "b"}, {64, "c"}}, Outcome::kDone, {"あ", "い", "b"}},
      {"join next takes a double-byte first character", lyric_edit::JoinNextLyric,
       {{60, "a"}, {62, "かな"}, {64, "x"}}, Outcome::kDone, {"aか", "な", "x"}},
      {"join next from an empty lyric does nothing", lyric_edit::JoinNextLyric,
       {{60, "a"}, {62, ""}, {64, "x"}}, Outcome::kNothing, {"a", "", "x"}},
      {"join next past seven bytes changes nothing", lyric_edit::JoinNextLyric,
       {{60, "abcdef"}, {62, "かな"}}, Outcome::kTooLong, {"abcdef", "かな"}},
      {"join and pull goes on to the first empty lyric", lyric_edit::JoinNextLyricAndPull,
       {{60, "a"}, {62, "bc"}, {64, "かな"}, {65, ""}, {67, "z"}}, Outcome::kDone,
       {"ab", "cか", "な", "", "z"}},
      {"join and pull that does not fit anywhere changes nothing",
       lyric_edit::JoinNextLyricAndPull,
       {{60, "a"}, {62, "bcdefgh"}, {64, "かな"}}, Outcome::kTooLong, {"a", "bcdefgh", "かな"}},
  };
  for (const Case& c : cases) {
    SetUp();
    Notes(c.notes);
    EXPECT_EQ(c.edit(*song, 0, 0), c.outcome) << c.what;
    EXPECT_EQ(Lyrics(static_cast<int>(c.after.size())), c.after) << c.what;
    ExpectSound(c.what);
  }
}

TEST_F(LyricEditsTest, TheEditsWorkOnTheCursorSlotAndTheSlotsAfterIt) {
  // A split cell: the second sixteenth is the cursor; the third triplet part follows it.
  song->cells[3].slot[0] = 60;
  song->cells[3].slot[1] = 62;
  song->cells[3].slot[2] = 64;
  lyric_edit::SetLyricAt(*song, 3, 0, "keep");
  lyric_edit::SetLyricAt(*song, 3, 1, "ab");
  EXPECT_EQ(lyric_edit::SplitEndToNext(*song, 3, 1), Outcome::kDone);
  EXPECT_EQ(lyric_edit::LyricAt(*song, 3, 1), "a");
  EXPECT_EQ(lyric_edit::LyricAt(*song, 3, 2), "b");
  EXPECT_EQ(lyric_edit::LyricAt(*song, 3, 0), "keep");
  // At the song's last slot nothing follows, and the lyric stays whole.
  song->cells[15].slot[2] = 70;
  lyric_edit::SetLyricAt(*song, 15, 2, "end");
  EXPECT_EQ(lyric_edit::JoinNextLyric(*song, 15, 2), Outcome::kNothing);
  EXPECT_EQ(lyric_edit::SplitEndToNext(*song, 15, 2), Outcome::kNothing);
  EXPECT_EQ(lyric_edit::SplitEndAndPush(*song, 15, 2), Outcome::kNothing);
  EXPECT_EQ(lyric_edit::LyricAt(*song, 15, 2), "end");
}

TEST_F(LyricEditsTest, Pouring) {
  struct Case {
    const char* text;
    std::vector<int> values;
    std::vector<std::string> after;
  } cases[] = {
      {"a bc defghijklm", {60, 62, 64, 65, 67}, {"a", "bc", "defghij", "klm", "old"}},
      {"a\r\nb\nc", {60, 62, 64}, {"a", "b", "c"}},
      {"か　な", {60, 62}, {"か", "な"}},
      {"あいうえお", {60, 62}, {"あいう", "えお"}},
      // A double-byte character at the seventh byte starts the next syllable.
      {"abcdefあ", {60, 62}, {"abcdef", "あ"}},
      // Rests and holds keep their lyrics; rap notes take syllables.
      {"x y z", {60, NoteSlotRest, NoteSlotHold, NoteSlotRap, 62}, {"x", "old", "old", "y", "z"}},
      {"", {60}, {"old"}},
  };
  for (const Case& c : cases) {
    SetUp();
    std::vector<std::pair<int, std::string>> notes;
    for (int v : c.values) notes.emplace_back(v, "old");
    Notes(notes);
    lyric_edit::PourLyrics(*song, c.text, 0);
    EXPECT_EQ(Lyrics(static_cast<int>(c.after.size())), c.after) << c.text;
    ExpectSound(c.text);
  }
  // Pouring from a later cell leaves the earlier notes; the song's end stops the pour.
  SetUp();
  Notes({{60, "A"}, {62, "B"}});
  song->cells[15].slot[0] = 70;
  lyric_edit::PourLyrics(*song, "p q r", 1);
  EXPECT_EQ(Lyrics(2), (std::vector<std::string>{"A", "p"}));
  EXPECT_EQ(lyric_edit::LyricAt(*song, 15, 0), "q");
}

TEST_F(LyricEditsTest, CtrlKeysPullAndPush) {
  Notes({{60, "a"}, {NoteSlotRest, "r"}, {62, "b"}, {64, "c"}});
  EXPECT_EQ(lyric_edit::PullNextLyric(*song, 0), Outcome::kDone);
  EXPECT_EQ(Lyrics(4), (std::vector<std::string>{"ar", "b", "c", ""}));
  // A pull whose join would pass seven bytes changes nothing.
  SetUp();
  Notes({{60, "abcde"}, {62, "fgh"}, {64, "i"}});
  EXPECT_EQ(lyric_edit::PullNextLyric(*song, 0), Outcome::kTooLong);
  EXPECT_EQ(Lyrics(3), (std::vector<std::string>{"abcde", "fgh", "i"}));
  // Push: the cursor cell's notes empty, the lyrics of notes (not rests or holds) move one note
  // on and the last drops off.
  SetUp();
  song->cells[15].slot[0] = 70;
  lyric_edit::SetLyricAt(*song, 15, 0, "last");
  Notes({{60, "a"}, {NoteSlotRest, "r"}, {NoteSlotHold, "h"}, {62, "b"}});
  lyric_edit::PushLyricsFromCursor(*song, 0);
  EXPECT_EQ(Lyrics(4), (std::vector<std::string>{"", "r", "h", "a"}));
  EXPECT_EQ(lyric_edit::LyricAt(*song, 15, 0), "b");
  ExpectSound("push");
}

TEST_F(LyricEditsTest, BarMenuShifts) {
  // Bar 1 starts at cell 8.
  song->cells[8].slot[0] = 60;
  song->cells[9].slot[0] = NoteSlotRest;
  song->cells[10].slot[0] = 62;
  song->cells[11].slot[0] = NoteSlotRap;
  song->cells[12].slot[0] = 64;
  const char* before[] = {"a", "r", "b", "x", "c"};
  auto reset = [&] {
    for (int i = 0; i < 5; ++i) lyric_edit::SetLyricAt(*song, 8 + i, 0, before[i]);
    song->cells[2].slot[0] = 59;
    lyric_edit::SetLyricAt(*song, 2, 0, "prev");
  };
  auto bar1 = [&] {
    std::vector<std::string> out;
    for (int i = 0; i < 5; ++i) out.push_back(lyric_edit::LyricAt(*song, 8 + i, 0));
    return out;
  };
  reset();
  lyric_edit::ShiftLyricsLater(*song, 1);
  EXPECT_EQ(bar1(), (std::vector<std::string>{"", "r", "a", "x", "b"}));
  EXPECT_EQ(lyric_edit::LyricAt(*song, 2, 0), "prev") << "an earlier bar is left alone";
  reset();
  lyric_edit::ShiftLyricsEarlier(*song, 1);
  EXPECT_EQ(bar1(), (std::vector<std::string>{"b", "r", "c", "x", "c"}))
      << "the last note's lyric stands twice";
  EXPECT_EQ(lyric_edit::LyricAt(*song, 2, 0), "prev");
  // A bar past the song does nothing.
  lyric_edit::ShiftLyricsLater(*song, 300);
  lyric_edit::ShiftLyricsEarlier(*song, -5);
}

TEST_F(LyricEditsTest, EveryEditKeepsLyricsWholeOverManySeeds) {
  const char* syllables[] = {"あ", "きゃ", "ー", "よｰ", "a", "bc", "か a", "ん", "ﾗ", "ｯ"};
  using Op = std::function<void(int, int)>;
  const std::vector<Op> ops = {
      [&](int c, int s) { lyric_edit::SplitEndToNext(*song, c, s); },
      [&](int c, int s) { lyric_edit::SplitEndAndPush(*song, c, s); },
      [&](int c, int s) { lyric_edit::JoinNextLyric(*song, c, s); },
      [&](int c, int s) { lyric_edit::JoinNextLyricAndPull(*song, c, s); },
      [&](int c, int) { lyric_edit::PullNextLyric(*song, c); },
      [&](int c, int) { lyric_edit::PushLyricsFromCursor(*song, c); },
      [&](int c, int) { lyric_edit::ShiftLyricsLater(*song, c / 8); },
      [&](int c, int) { lyric_edit::ShiftLyricsEarlier(*song, c / 8); },
      [&](int c, int) { lyric_edit::PourLyrics(*song, "きゃりー ぱみゅ abcdefgh よｰ\r\nか", c); },
  };
  const int values[] = {60, 62, NoteSlotRest, NoteSlotHold, NoteSlotRap, 0, 64};
  for (uint32_t seed = 1; seed <= 60; ++seed) {
    GneSeedRandomWith(seed);
    SetUp();
    for (int c = 0; c < 16; ++c) {
      for (int s = 0; s < 3; ++s) {
        song->cells[c].slot[s] = values[GneRandomRange(0, 6)];
        std::string text;
        for (int k = GneRandomRange(0, 3); k > 0; --k) text += syllables[GneRandomRange(0, 9)];
        lyric_edit::SetLyricAt(*song, c, s, text);
      }
    }
    ExpectSound("seeded start");
    for (int step = 0; step < 40; ++step) {
      const int op = GneRandomRange(0, static_cast<int>(ops.size()) - 1);
      const std::vector<NoteCell> before(song->cells, song->cells + 16);
      ops[op](GneRandomRange(0, 15), GneRandomRange(0, 2));
      ExpectSound("seed " + std::to_string(seed) + " op " + std::to_string(op));
      for (int c = 0; c < 16; ++c) {
        for (int s = 0; s < 3; ++s) {
          ASSERT_EQ(song->cells[c].slot[s], before[c].slot[s]) << "a lyric edit changed a note";
        }
      }
    }
  }
}

}  // namespace
