// The bitmap-cell grid of the length buttons and the chord-table grid: cell geometry, hit tests,
// selection and marks, colours, text operations and the bounds on sizes and counts.
#include "draw/bitmap_grid_picture.h"
#include "draw/chord_table_picture.h"
#include "draw/main_dialog_helper.h"
#include "draw/skin_resources.h"
#include "util/music_names.h"
#include "tests/draw/panel_pictures/picture_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

using Hit = std::pair<int, int>;

const int kLengthIds[2][16] = {{195, 198, 197, 196, 201, 200, 199, 203, 202, 204},
                               {205, 209, 209, 206, 209, 209, 207, 209, 208, 194}};

class BitmapGridTest : public PictureFixture {
 protected:
  void SetUp() override {
    PictureFixture::SetUp();
    CBitmapGridPicture::ResetState();
  }
  void TearDown() override { CBitmapGridPicture::ResetState(); }
  std::unique_ptr<CBitmapGridPicture> MakeLengthGrid() {
    control = NewControl();
    return std::make_unique<CBitmapGridPicture>(
        control, Rect{10, 157, 310, 217}, 2, 10, kLengthIds,
        [this](int r, int c) { presses.emplace_back(r, c); },
        [this](int r, int c) { releases.emplace_back(r, c); });
  }
  COffScreenControl* control = nullptr;
  std::vector<Hit> presses, releases;
};

TEST_F(BitmapGridTest, LengthButtonsAreThirtyPixelCellsWithoutGaps) {
  auto grid = MakeLengthGrid();
  struct Case {
    int row, column;
    Rect rect;
  };
  for (const Case& c : std::vector<Case>{{0, 0, {0, 0, 30, 30}},
                                         {0, 1, {30, 0, 60, 30}},
                                         {0, 2, {60, 0, 90, 30}},
                                         {1, 0, {0, 30, 30, 60}},
                                         {1, 9, {270, 30, 300, 60}}}) {
    EXPECT_EQ(CBitmapGridPicture::CellRect(0, c.row, c.column), c.rect) << c.row << c.column;
  }
  EXPECT_EQ(control->Id(), 0);
}

TEST_F(BitmapGridTest, PressesAndReleasesReportCells) {
  auto grid = MakeLengthGrid();
  struct Case {
    int x, y;
    Hit hit;
  };
  const std::vector<Case> cases = {
      {15, 15, {0, 0}}, {30, 10, {0, 0}},   // a shared edge goes to the earlier cell
      {31, 10, {0, 1}}, {10, 30, {0, 0}},   {10, 31, {1, 0}},
      {299, 59, {1, 9}}, {400, 10, {-1, -1}},
  };
  for (const Case& c : cases) {
    presses.clear();
    releases.clear();
    CBitmapGridPicture::OnPress(c.x, c.y, 0);
    CBitmapGridPicture::OnRelease(c.x, c.y, 0);
    const std::vector<Hit> expectedPress =
        c.hit.first < 0 ? std::vector<Hit>{} : std::vector<Hit>{c.hit};
    EXPECT_EQ(presses, expectedPress) << c.x << "," << c.y << ": a press outside calls nothing";
    EXPECT_EQ(releases, std::vector<Hit>{c.hit}) << c.x << "," << c.y;
  }
}

TEST_F(BitmapGridTest, SelectionTintsTheBitmapAndClearingEmptiesLabels) {
  auto grid = MakeLengthGrid();
  plat::Dc* dc = CBitmapGridPicture::Surface(0);
  plat::Bitmap face;
  ASSERT_TRUE(LoadSkinBitmap(202, &face));
  // Inside the frame the cell shows its bitmap over black.
  const int x = 245, y = 15;  // cell (0, 8)
  EXPECT_EQ(dc->GetPixel(x, y), face.GetPixel(x - 240, y));
  CBitmapGridPicture::SetCellLabel(0, 0, 8, "2");
  CBitmapGridPicture::SetCellSelected(0, 0, 8, 1);
  EXPECT_EQ(dc->GetPixel(x, y), face.GetPixel(x - 240, y) ^ CBitmapGridPicture::kSelectedFill);
  int r = 0, c = 0;
  CBitmapGridPicture::FindSelectedCell(0, &r, &c);
  EXPECT_EQ(Hit(r, c), Hit(0, 8));
  EXPECT_EQ(CBitmapGridPicture::CellLabel(0, 0, 8), "2");
  CBitmapGridPicture::ClearSelection(0);
  EXPECT_EQ(CBitmapGridPicture::CellLabel(0, 0, 8), "");
  CBitmapGridPicture::FindSelectedCell(0, &r, &c);
  EXPECT_EQ(Hit(r, c), Hit(-1, -1));
  // Labels keep 15 bytes, whole characters.
  CBitmapGridPicture::SetCellLabel(0, 1, 1, "ドレミファソラシド");
  EXPECT_EQ(CBitmapGridPicture::CellLabel(0, 1, 1), "ドレミファソラ");
}

TEST_F(BitmapGridTest, SizesAndCountsAreBounded) {
  struct Case {
    int rows, columns;
    bool reported;
    int keptRows, keptColumns;
  };
  const int ids[24][16] = {};  // no such bitmaps: cells are fill and frame
  for (const Case& c : std::vector<Case>{{2, 3, false, 2, 3},
                                         {30, 20, true, 24, 16},
                                         {0, 0, false, 1, 1},
                                         {-3, 4, false, 1, 4}}) {
    SCOPED_TRACE(std::to_string(c.rows) + "x" + std::to_string(c.columns));
    cantrel_test::Sink().Clear();
    CBitmapGridPicture grid(NewControl(), Rect{0, 0, 660, 100}, c.rows, c.columns, ids, nullptr,
                            nullptr);
    EXPECT_EQ(cantrel_test::Sink().Count(), c.reported ? 1u : 0u);
    EXPECT_EQ(CBitmapGridPicture::Rows(0), c.keptRows);
    EXPECT_EQ(CBitmapGridPicture::Columns(0), c.keptColumns);
    CBitmapGridPicture::OnPress(659, 99, 0);
    CBitmapGridPicture::OnRelease(659, 99, 0);
  }
  CBitmapGridPicture grid(NewControl(), Rect{0, 0, 60, 60}, 1, 1, ids, nullptr, nullptr);
  for (int i = 1; i < CBitmapGridPicture::kCapacity; ++i) {
    ASSERT_TRUE(grid.AddGrid(NewControl(), Rect{0, 0, 60, 60}, 1, 1, ids, nullptr, nullptr));
  }
  EXPECT_FALSE(grid.AddGrid(NewControl(), Rect{0, 0, 60, 60}, 1, 1, ids, nullptr, nullptr));
  EXPECT_EQ(CBitmapGridPicture::Count(), CBitmapGridPicture::kCapacity);
}

// ---- chord table ----------------------------------------------------------------------------

class ChordTableTest : public PictureFixture {
 protected:
  void SetUp() override {
    PictureFixture::SetUp();
    CChordTablePicture::ResetState();
    block.assign(CChordTablePicture::kBlockSize, 0);
  }
  void TearDown() override { CChordTablePicture::ResetState(); }
  void Put(int row, int column, const char* text) {
    std::strncpy(&block[row * 512 + column * 32], text, 31);
  }
  std::unique_ptr<CChordTablePicture> Make(int rows, int columns, int width = 560,
                                           int height = 80) {
    control = NewControl();
    return std::make_unique<CChordTablePicture>(
        control, Rect{10, 60, 10 + width, 60 + height}, rows, columns, block.data(),
        [this](int r, int c) { presses.emplace_back(r, c); },
        [this](int r, int c) { releases.emplace_back(r, c); });
  }
  std::vector<std::string> Row(int row) {
    std::vector<std::string> texts;
    for (int j = 0; j < CChordTablePicture::Columns(0); ++j)
      texts.push_back(CChordTablePicture::CellText(0, row, j));
    return texts;
  }
  std::vector<char> block;
  COffScreenControl* control = nullptr;
  std::vector<Hit> presses, releases;
};

TEST_F(ChordTableTest, CellsLieTwoPixelsApart) {
  auto table = Make(2, 7);
  EXPECT_EQ(CChordTablePicture::CellRect(0, 0, 0), (Rect{2, 2, 79, 39}));
  EXPECT_EQ(CChordTablePicture::CellRect(0, 0, 1).left, 81);
  EXPECT_EQ(CChordTablePicture::CellRect(0, 1, 0).top, 41);
  struct Case {
    int x, y;
    Hit hit;
  };
  for (const Case& c : std::vector<Case>{{2, 2, {0, 0}},
                                         {79, 39, {0, 0}},
                                         {80, 20, {-1, -1}},  // the gap
                                         {81, 20, {0, 1}},
                                         {20, 40, {-1, -1}},
                                         {20, 41, {1, 0}},
                                         {0, 0, {-1, -1}}}) {
    presses.clear();
    releases.clear();
    CChordTablePicture::OnPress(c.x, c.y, 0);
    CChordTablePicture::OnRelease(c.x, c.y, 0);
    const std::vector<Hit> expected =
        c.hit.first < 0 ? std::vector<Hit>{} : std::vector<Hit>{c.hit};
    EXPECT_EQ(presses, expected) << c.x << "," << c.y;
    EXPECT_EQ(releases, expected) << c.x << "," << c.y;
  }
}

TEST_F(ChordTableTest, MarksAndColours) {
  Put(0, 0, "C\n(I)");
  auto table = Make(2, 7);
  plat::Dc* dc = CChordTablePicture::Surface(0);
  EXPECT_EQ(dc->GetPixel(0, 0), CChordTablePicture::kBackground);
  EXPECT_EQ(dc->GetPixel(80, 20), CChordTablePicture::kBackground);
  EXPECT_EQ(dc->GetPixel(100, 30), CChordTablePicture::kCell);
  CChordTablePicture::SetCellMarked(0, 0, 1, 1);
  EXPECT_EQ(dc->GetPixel(100, 30), CChordTablePicture::kMarked);
  int r = 0, c = 0;
  CChordTablePicture::FindMarkedCell(0, &r, &c);
  EXPECT_EQ(Hit(r, c), Hit(0, 1));
  CChordTablePicture::ClearMarks(0);
  CChordTablePicture::FindMarkedCell(0, &r, &c);
  EXPECT_EQ(Hit(r, c), Hit(-1, -1));
  // The text is drawn at the top of its cell, centred across.
  auto inked = [dc](Rect area) {
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        if (dc->GetPixel(x, y) == 0) return true;
    return false;
  };
  EXPECT_TRUE(inked({30, 2, 50, 20}));
  EXPECT_FALSE(inked({2, 2, 20, 39}));
}

TEST_F(ChordTableTest, TextOperations) {
  Put(0, 0, "C");
  Put(0, 2, "Dm");
  Put(1, 0, "F");
  Put(1, 3, "G");
  struct Case {
    const char* name;
    void (*op)();
    std::vector<std::vector<std::string>> rows;
  };
  const std::vector<Case> cases = {
      {"remove empty columns takes two neighbours", [] { CChordTablePicture::RemoveEmptyColumns(0); },
       {{"C", "Dm", ""}, {"F", "", "G"}, {"", "", ""}}},
      {"remove empty rows", [] { CChordTablePicture::RemoveEmptyRows(0); },
       {{"C", "", "Dm", "", "", ""}, {"F", "", "", "G", "", ""}}},
      {"delete row 0", [] { CChordTablePicture::DeleteRow(0, 0); },
       {{"F", "", "", "G", "", ""}, {"", "", "", "", "", ""}}},
      {"delete column 0", [] { CChordTablePicture::DeleteColumn(0, 0); },
       {{"", "Dm", "", "", ""}, {"", "", "G", "", ""}, {"", "", "", "", ""}}},
      {"shift left", [] { CChordTablePicture::ShiftTextsLeft(0); },
       {{"C", "Dm", "", "", "", ""}, {"F", "", "G", "", "", ""}, {"", "", "", "", "", ""}}},
      {"clear", [] { CChordTablePicture::ClearTexts(0); },
       {{"", "", "", "", "", ""}, {"", "", "", "", "", ""}, {"", "", "", "", "", ""}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto table = Make(3, 6);
    c.op();
    ASSERT_EQ(CChordTablePicture::Rows(0), static_cast<int>(c.rows.size()));
    for (size_t i = 0; i < c.rows.size(); ++i) EXPECT_EQ(Row(static_cast<int>(i)), c.rows[i]);
  }
  auto table = Make(3, 6);
  EXPECT_EQ(CChordTablePicture::ContainsText(0, "Dm"), 1);
  EXPECT_EQ(CChordTablePicture::ContainsText(0, "D"), 0);
  // An empty table keeps one cell to divide by.
  CChordTablePicture::ClearTexts(0);
  CChordTablePicture::RemoveEmptyRows(0);
  CChordTablePicture::RemoveEmptyColumns(0);
  EXPECT_EQ(CChordTablePicture::Rows(0), 1);
  EXPECT_EQ(CChordTablePicture::Columns(0), 1);
  CChordTablePicture::MoveGrid(0, Rect{0, 0, 100, 40});
  EXPECT_EQ(CChordTablePicture::CellRect(0, 0, 0), (Rect{2, 2, 98, 38}));
}

TEST_F(ChordTableTest, ChordsAreFiledIntoTheRowOfTheirRoot) {
  auto table = Make(1, 1);
  using Rows = std::vector<std::vector<std::string>>;
  auto all = [this] {
    Rows rows;
    for (int i = 0; i < CChordTablePicture::Rows(0); ++i) rows.push_back(Row(i));
    return rows;
  };
  const struct {
    const char* text;
    Rows rows;
  } steps[] = {
      {"G", {{"G"}}},                                 // an empty table becomes its one cell
      {"C", {{"G"}, {"C"}}},                          // no row of C, none passes it: at the end
      {"Em", {{"G"}, {"C"}, {"Em"}}},
      {"D7", {{"G"}, {"C"}, {"D7"}, {"Em"}}},         // between the rows of C and E
      {"G7", {{"G", "G7"}, {"C", ""}, {"D7", ""}, {"Em", ""}}},  // a full row gains a column
      {"C\n(I)", {{"G", "G7"}, {"C", "C\n(I)"}, {"D7", ""}, {"Em", ""}}},
      {"Bbm", {{"G", "G7"}, {"C", "C\n(I)"}, {"D7", ""}, {"Em", ""}, {"Bbm", ""}}},
  };
  for (const auto& step : steps) {
    EXPECT_TRUE(CCantrelCommon::AddChordToTable(table.get(), step.text)) << step.text;
    EXPECT_EQ(all(), step.rows) << step.text;
  }
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST_F(ChordTableTest, AFullTableRefusesTheChordThatWouldGrowIt) {
  const struct {
    const char* name;
    int rows, columns;
    const char* text;
  } cases[] = {{"a row of 16 cells", 1, 16, "C7"}, {"24 rows", 24, 2, "D"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    block.assign(CChordTablePicture::kBlockSize, 0);
    for (int i = 0; i < c.rows; ++i)
      for (int j = 0; j < (c.columns == 16 ? 16 : 1); ++j) Put(i, j, "C");
    auto table = Make(c.rows, c.columns);
    cantrel_test::Sink().Clear();
    EXPECT_FALSE(CCantrelCommon::AddChordToTable(table.get(), c.text));
    EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
    EXPECT_EQ(CChordTablePicture::Rows(0), c.rows);
    EXPECT_EQ(CChordTablePicture::Columns(0), c.columns);
    EXPECT_EQ(CChordTablePicture::ContainsText(0, c.text), 0);
  }
  EXPECT_FALSE(CCantrelCommon::AddChordToTable(nullptr, "C"));
}

TEST_F(ChordTableTest, DiatonicChordsFillOneRowPerRoot) {
  auto table = Make(1, 1);
  CCantrelCommon::FillChordTableWithDiatonics(table.get(), 0, 0);  // C major
  ASSERT_EQ(CChordTablePicture::Rows(0), 7);
  ASSERT_EQ(CChordTablePicture::Columns(0), 2);
  EXPECT_EQ(Row(0), (std::vector<std::string>{"C\n(I)", "CM7\n(IM7)"}));
  // Rows in the order the key's degrees came, each with the triad and the seventh chord.
  const int roots[] = {0, 2, 4, 5, 7, 9, 11};
  for (int i = 0; i < 7; ++i) {
    const std::vector<std::string> row = Row(i);
    EXPECT_EQ(ChordRootIndex(row[0].c_str()), roots[i]) << row[0];
    EXPECT_EQ(ChordRootIndex(row[1].c_str()), roots[i]) << row[1];
    EXPECT_NE(row[0], row[1]);
  }
}

TEST_F(ChordTableTest, TextsKeepTheirSlotsAndWholeCharacters) {
  // A slot filled to its last byte (no terminator) must not run into the next one.
  const std::string full = "ドドドドドドドドドドドドドドドド";  // 32 bytes
  std::memcpy(&block[0], full.data(), 32);
  Put(0, 1, "Em");
  auto table = Make(1, 2);
  EXPECT_EQ(CChordTablePicture::CellText(0, 0, 1), "Em");
  std::vector<char> out(CChordTablePicture::kBlockSize, 'x');
  CChordTablePicture::GetTexts(0, out.data());
  EXPECT_EQ(std::string(&out[0]), full.substr(0, 30));
  EXPECT_EQ(std::string(&out[32]), "Em");
}

TEST_F(ChordTableTest, SizesCountsAndDoubleClicks) {
  struct Case {
    int rows, columns;
    bool reported;
    int keptRows, keptColumns;
  };
  for (const Case& c : std::vector<Case>{{2, 7, false, 2, 7},
                                         {25, 17, true, 24, 16},
                                         {0, 0, false, 1, 1}}) {
    cantrel_test::Sink().Clear();
    auto table = Make(c.rows, c.columns);
    EXPECT_EQ(cantrel_test::Sink().Count(), c.reported ? 1u : 0u) << c.rows;
    EXPECT_EQ(CChordTablePicture::Rows(0), c.keptRows);
    EXPECT_EQ(CChordTablePicture::Columns(0), c.keptColumns);
  }
  auto table = Make(2, 7);
  // A null double-click callback still installs the handler, which does nothing.
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(20, 20), QPointF(20, 20), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(control, &dbl);
  std::vector<Hit> doubled;
  CChordTablePicture::SetDoubleClickCallback(0, [&](int r, int c) { doubled.emplace_back(r, c); });
  QApplication::sendEvent(control, &dbl);
  CChordTablePicture::OnDoubleClick(80, 20, 0);
  EXPECT_EQ(doubled, (std::vector<Hit>{{0, 0}, {-1, -1}}));
  for (int i = 1; i < CChordTablePicture::kCapacity; ++i) {
    ASSERT_TRUE(table->AddGrid(NewControl(), Rect{0, 0, 60, 60}, 1, 1, nullptr, nullptr, nullptr));
  }
  EXPECT_FALSE(table->AddGrid(NewControl(), Rect{0, 0, 60, 60}, 1, 1, nullptr, nullptr, nullptr));
}

}  // namespace
