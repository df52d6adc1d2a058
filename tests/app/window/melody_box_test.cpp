// The melody box on its own: text wrapping, the cell colours, the fill from the song and the
// limits of an instance.
#include "app/melody_box.h"

#include "song/song_data.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QWidget>

#include <cstring>
#include <memory>
#include <vector>

namespace {

class MelodyBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CMelodyBoxPicture::ResetState();
    cantrel_test::Sink().Clear();
  }
  void TearDown() override {
    box.reset();
    CMelodyBoxPicture::ResetState();
  }
  COffScreenControl* NewControl() {
    controls.push_back(std::make_unique<COffScreenControl>(&parent));
    return controls.back().get();
  }
  void Make(int instances, int rows = 1, int columns = 8) {
    for (int i = 0; i < instances; ++i) {
      const Rect r{0, 0, 224, 30};
      if (i == 0) {
        box = std::make_unique<CMelodyBoxPicture>(NewControl(), r, rows, columns, nullptr,
                                                  [this](int a, int b, int c) {
                                                    pressed = {a, b, c};
                                                  },
                                                  nullptr);
      } else {
        CMelodyBoxPicture::AddMelodyBox(NewControl(), r, rows, columns, nullptr, nullptr, nullptr);
      }
    }
  }

  QWidget parent;
  std::vector<std::unique_ptr<COffScreenControl>> controls;
  std::unique_ptr<CMelodyBoxPicture> box;
  std::vector<int> pressed;
};

TEST_F(MelodyBoxTest, TextsBreakAfterFourBytesNeverInsideACharacter) {
  Make(1);
  struct Case {
    const char* text;
    const char* shown;
  } cases[] = {
      {"abcdef", "abcd\nef"},
      {"あいう", "あい\nう"},
      {"abcあ", "abcあ"},
      {"abcdあ", "abcd\nあ"},
      {"ab\ncdefg", "ab\ncdef\ng"},
      {"", ""},
  };
  for (const Case& c : cases) {
    CMelodyBoxPicture::SetMelodyBoxText(0, 2, c.text, 0);
    EXPECT_EQ(CMelodyBoxPicture::CellText(0, 0, 2), c.shown) << c.text;
  }
  // A long text is cut at the cell's room, whole characters only.
  CMelodyBoxPicture::SetMelodyBoxText(0, 0, std::string(400, 'x'), 0);
  EXPECT_LE(CMelodyBoxPicture::CellText(0, 0, 0).size(), 255u);
  CMelodyBoxPicture::SetMelodyBoxText(0, 9, "ignored", 0);  // outside the 8 columns
  CMelodyBoxPicture::SetMelodyBoxText(3, 0, "ignored", 0);  // no such instance
}

TEST_F(MelodyBoxTest, CellsAreLaidOutAndColouredByTheirFlags) {
  Make(1);
  EXPECT_EQ(CMelodyBoxPicture::Rows(0), 1);
  EXPECT_EQ(CMelodyBoxPicture::Columns(0), 8);
  const Rect first = CMelodyBoxPicture::CellRect(0, 0, 0);
  EXPECT_EQ(first.left, 2);
  EXPECT_EQ(first.top, 2);
  EXPECT_EQ(first.right, static_cast<int>(2 + 222 / 8.0 - 2));
  EXPECT_EQ(first.bottom, static_cast<int>(2 + 28.0 - 2));

  struct Case {
    int shown, active, marked, colour, tint;
    plat::ColorRef fill;
  } cases[] = {
      {0, 1, 0, 2, 0, CMelodyBoxPicture::kHiddenCell},
      {1, 0, 0, 2, 0, CMelodyBoxPicture::kInactiveCell},
      {1, 1, 1, 5, 0, CMelodyBoxPicture::kMarkedCell},
      {1, 1, 1, 0, 0, CMelodyBoxPicture::kRestCell},
      {1, 1, 0, 3, 1, CMelodyBoxPicture::kLyricCell},
      {1, 1, 0, 3, 0, CMelodyBoxPicture::kNoteCell},
      {1, 1, 0, 0, 1, CMelodyBoxPicture::kRestCell},
  };
  for (const Case& c : cases) {
    CMelodyBoxPicture::SetMelodyBoxCellShown(0, 0, 1, c.shown);
    CMelodyBoxPicture::SetMelodyBoxCellActive(0, 0, 1, c.active);
    CMelodyBoxPicture::SetMelodyBoxCellMarked(0, 0, 1, c.marked);
    CMelodyBoxPicture::SetMelodyBoxCellColour(0, 0, 1, c.colour);
    CMelodyBoxPicture::SetMelodyBoxCellTint(0, 0, 1, c.tint);
    CMelodyBoxPicture::DrawMelodyBox(0);
    const Rect r = CMelodyBoxPicture::CellRect(0, 0, 1);
    EXPECT_EQ(CMelodyBoxPicture::Surface(0)->GetPixel(r.left + 1, r.top + 1), c.fill)
        << c.shown << c.active << c.marked << c.colour << c.tint;
  }
  // The cursor cell wins over the flags while shown and active.
  CMelodyBoxPicture::SetMelodyBoxCursor(0, 0, 1);
  const Rect r = CMelodyBoxPicture::CellRect(0, 0, 1);
  EXPECT_EQ(CMelodyBoxPicture::Surface(0)->GetPixel(r.left + 1, r.top + 1),
            CMelodyBoxPicture::kCursorCell);
  int row = 0, column = 0;
  CMelodyBoxPicture::GetMelodyBoxCursor(0, &row, &column);
  EXPECT_EQ(column, 1);
  CMelodyBoxPicture::ClearMelodyBoxCursor(0);
  CMelodyBoxPicture::GetMelodyBoxCursor(0, &row, &column);
  EXPECT_EQ(row, -1);
  EXPECT_EQ(column, -1);
  // The background between cells.
  EXPECT_EQ(CMelodyBoxPicture::Surface(0)->GetPixel(0, 0), CMelodyBoxPicture::kBackground);
}

TEST_F(MelodyBoxTest, HitTestAndPress) {
  Make(2);
  int row = 0, column = 0;
  const Rect r = CMelodyBoxPicture::CellRect(0, 0, 3);
  CMelodyBoxPicture::HitTestMelodyBox(0, r.right, r.bottom, &row, &column);
  EXPECT_EQ(column, 3) << "edges belong to the cell";
  CMelodyBoxPicture::HitTestMelodyBox(0, 0, 0, &row, &column);
  EXPECT_EQ(row, -1);
  EXPECT_EQ(column, -1);
  CMelodyBoxPicture::OnPress(r.left + 2, r.top + 2, 0);
  EXPECT_EQ(pressed, (std::vector<int>{0, 0, 3}));
  pressed.clear();
  CMelodyBoxPicture::OnPress(0, 0, 0);  // between cells: no callback
  CMelodyBoxPicture::OnPress(r.left + 2, r.top + 2, 1);  // instance 1 has none
  CMelodyBoxPicture::OnPress(r.left + 2, r.top + 2, 7);  // no such instance
  EXPECT_TRUE(pressed.empty());
}

TEST_F(MelodyBoxTest, TooManyRowsOrInstancesAreRefused) {
  Make(1, 12, 8);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"error"});
  EXPECT_EQ(CMelodyBoxPicture::Rows(0), 10);
  EXPECT_EQ(CMelodyBoxPicture::Columns(0), 16);
  cantrel_test::Sink().Clear();
  for (int i = 1; i < CMelodyBoxPicture::kCapacity; ++i) {
    ASSERT_TRUE(CMelodyBoxPicture::AddMelodyBox(NewControl(), Rect{0, 0, 50, 20}, 1, 8, nullptr,
                                                nullptr, nullptr));
  }
  EXPECT_FALSE(CMelodyBoxPicture::AddMelodyBox(NewControl(), Rect{0, 0, 50, 20}, 1, 8, nullptr,
                                               nullptr, nullptr));
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"error"});
  EXPECT_EQ(CMelodyBoxPicture::Count(), CMelodyBoxPicture::kCapacity);
}

TEST_F(MelodyBoxTest, FillFromTheSong) {
  Make(3);
  auto song = std::make_unique<CSongData>();
  song->Reset(2, 4, 0, 1);
  // Bar 0: a note (C4) on eighth 0 held through eighth 1; a rest on 2 held on 3; a high note
  // with a lyric on eighth 4; a low note on 6.
  song->cells[0].slot[0] = 60;
  song->cells[1].slot[0] = NoteSlotHold;
  song->cells[2].slot[0] = NoteSlotRest;
  song->cells[3].slot[0] = NoteSlotHold;
  song->cells[4].slot[0] = 84;
  std::strcpy(song->cells[4].lyric[0], "la");
  song->cells[6].slot[0] = 40;
  // Bar 1, beat 2 is a skip beat.
  std::strcpy(song->chords[6].first, "Skip");

  MelodyBoxSource source;
  source.song = song.get();
  source.firstBar = 0;
  source.inputMode = 1;
  for (int cell = 0; cell < 3; ++cell) {
    int held = 0;
    for (int b = 0; b < 4; ++b) SetMelodyBoxSub(source, cell, b, &held);
  }
  // A note, then its hold (marked), a rest, then the hold after a rest (rest colour).
  EXPECT_EQ(CMelodyBoxPicture::CellColour(0, 0, 0), 2);
  EXPECT_EQ(CMelodyBoxPicture::CellMarked(0, 0, 1), 1);
  EXPECT_EQ(CMelodyBoxPicture::CellColour(0, 0, 1), 5);
  EXPECT_EQ(CMelodyBoxPicture::CellColour(0, 0, 2), 0);
  EXPECT_EQ(CMelodyBoxPicture::CellColour(0, 0, 3), 0);
  EXPECT_EQ(CMelodyBoxPicture::CellMarked(0, 0, 3), 0);
  EXPECT_EQ(CMelodyBoxPicture::CellFill(0, 0, 3), CMelodyBoxPicture::kRestCell);
  EXPECT_EQ(CMelodyBoxPicture::CellFill(0, 0, 1), CMelodyBoxPicture::kMarkedCell);
  // The lyric shows, with its tint; registers give the colours.
  EXPECT_EQ(CMelodyBoxPicture::CellText(0, 0, 4), "la");
  EXPECT_EQ(CMelodyBoxPicture::CellTint(0, 0, 4), 1);
  EXPECT_EQ(CMelodyBoxPicture::CellFill(0, 0, 4), CMelodyBoxPicture::kLyricCell);
  EXPECT_NE(CMelodyBoxPicture::CellColour(0, 0, 4), CMelodyBoxPicture::CellColour(0, 0, 6));
  // The skip beat and the bar past the song's end are inactive and empty.
  EXPECT_EQ(CMelodyBoxPicture::CellActive(1, 0, 4), 0);
  EXPECT_EQ(CMelodyBoxPicture::CellActive(1, 0, 5), 0);
  EXPECT_EQ(CMelodyBoxPicture::CellActive(1, 0, 3), 1);
  for (int e = 0; e < 8; ++e) {
    EXPECT_EQ(CMelodyBoxPicture::CellActive(2, 0, e), 0) << e;
    EXPECT_EQ(CMelodyBoxPicture::CellText(2, 0, e), "") << e;
  }
  // In keyboard input mode the note names show in place of the lyrics.
  source.inputMode = 0;
  int held = 0;
  SetMelodyBoxSub(source, 0, 2, &held);
  EXPECT_FALSE(CMelodyBoxPicture::CellText(0, 0, 4).empty());
  EXPECT_NE(CMelodyBoxPicture::CellText(0, 0, 4), "la");
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

}  // namespace
