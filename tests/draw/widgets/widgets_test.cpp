// The skinned buttons, the digit counter, the knob and the chord-cell grid.
#include "draw/button_picture.h"
#include "draw/chord_cell_picture.h"
#include "draw/counter_picture.h"
#include "draw/knob_picture.h"
#include "draw/skin_resources.h"
#include "tests/draw/panel_pictures/picture_fixture.h"
#include "tests/draw/score/golden.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QWidget>

#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

namespace {

class WidgetTest : public PictureFixture {
 protected:
  void SetUp() override {
    CButtonPicture::ResetState();
    CButtonPicture2::ResetState();
    CButtonPicture4::ResetState();
    CCounterPicture::ResetState();
    CKnobPicture::ResetState();
    CChordCellPicture::ResetState();
    PictureFixture::SetUp();
  }
  static void Leave(QWidget* w) {
    QEvent ev(QEvent::Leave);
    QApplication::sendEvent(w, &ev);
  }
};

// ---- buttons -----------------------------------------------------------------------------

TEST_F(WidgetTest, SkinHasEveryBitmapAtItsSize) {
  struct Size {
    int id, w, h;
  };
  std::vector<Size> sizes = {{167, 88, 30}, {168, 88, 30}, {169, 103, 30}, {170, 103, 30},
                             {229, 73, 30}, {230, 73, 30}, {233, 53, 30},  {234, 53, 30},
                             {174, 40, 34}, {175, 40, 34}, {176, 40, 34},  {177, 40, 34},
                             {190, 34, 34}, {191, 34, 34}, {192, 34, 34},  {193, 34, 34},
                             {263, 34, 34}, {264, 34, 34}};
  for (int id = 194; id <= 209; ++id) sizes.push_back({id, 30, 30});
  for (int id = 256; id <= 261; ++id) sizes.push_back({id, 220, 50});
  for (int id = 240; id <= 249; ++id) sizes.push_back({id, 14, 16});
  for (const Size& s : sizes) {
    plat::Bitmap b;
    ASSERT_TRUE(LoadSkinBitmap(s.id, &b)) << s.id;
    EXPECT_EQ(b.Width(), s.w) << s.id;
    EXPECT_EQ(b.Height(), s.h) << s.id;
  }
  plat::Bitmap none;
  EXPECT_FALSE(LoadSkinBitmap(9999, &none));
  EXPECT_TRUE(none.IsNull());
  // Every glyph mask has set cells.
  for (int g = 0; g < static_cast<int>(Glyph::Count); ++g) {
    const GlyphMask& m = GetGlyph(static_cast<Glyph>(g));
    int set = 0;
    for (uint8_t c : m.cells) set += c;
    EXPECT_GT(set, 0) << g;
  }
}

struct ButtonLog {
  std::vector<std::string> events;
};

TEST_F(WidgetTest, ButtonPressAndReleaseReportTheButtonNumber) {
  ButtonLog log;
  auto press = [&](int n) { log.events.push_back("press " + std::to_string(n)); };
  auto release = [&](int n) { log.events.push_back("release " + std::to_string(n)); };
  COffScreenControl* a = NewControl();
  COffScreenControl* b = NewControl();
  CButtonPicture set(press, release, a, Rect{0, 0, 88, 30}, "  open", 168, 167, 0);
  ASSERT_TRUE(set.AddButton(b, Rect{100, 0, 188, 30}, "  save", 168, 167, 1));
  EXPECT_EQ(a->Id(), 0);
  EXPECT_EQ(b->Id(), 1);
  plat::Bitmap up, down;
  LoadSkinBitmap(168, &up);
  LoadSkinBitmap(167, &down);
  // A pixel of the face away from the caption shows the released face.
  EXPECT_EQ(CButtonPicture::Surface(1)->GetPixel(80, 26), up.GetPixel(80, 26));
  Mouse(b, QEvent::MouseButtonPress, 10, 10);
  EXPECT_EQ(CButtonPicture::Pressed(1), 1);
  EXPECT_EQ(CButtonPicture::Surface(1)->GetPixel(80, 26), down.GetPixel(80, 26));
  Leave(b);  // dragged off: released with the same number
  EXPECT_EQ(CButtonPicture::Pressed(1), 0);
  EXPECT_EQ(CButtonPicture::Surface(1)->GetPixel(80, 26), up.GetPixel(80, 26));
  Mouse(a, QEvent::MouseButtonPress, 5, 5);
  Mouse(a, QEvent::MouseButtonRelease, 5, 5);
  EXPECT_EQ(log.events, (std::vector<std::string>{"press 1", "release 1", "press 0", "release 0"}));
  // A disabled button takes no input and shows its caption in the disabled colour.
  CButtonPicture::EnableButton(0, false);
  EXPECT_EQ(CButtonPicture::IsButtonEnabled(0), 0);
  Mouse(a, QEvent::MouseButtonPress, 5, 5);
  EXPECT_EQ(log.events.size(), 4u);
  EXPECT_EQ(CButtonPicture::IsButtonEnabled(42), 0);
  CButtonPicture::SetCaption(42, "x");  // no such button: nothing changes
  EXPECT_EQ(CButtonPicture::Caption(0), "  open");
}

TEST_F(WidgetTest, ButtonCaptionColoursAndGolden) {
  COffScreenControl* a = NewControl();
  COffScreenControl* b = NewControl();
  CButtonPicture set(nullptr, nullptr, a, Rect{0, 0, 88, 30}, "  再　生", 168, 167, 0);
  set.AddButton(b, Rect{0, 40, 88, 70}, "  再　生", 168, 167, 1);
  CButtonPicture::EnableButton(1, false);
  auto count = [](plat::Dc* dc, plat::ColorRef c) {
    int n = 0;
    for (int y = 0; y < 30; ++y) {
      for (int x = 0; x < 88; ++x) n += dc->GetPixel(x, y) == c;
    }
    return n;
  };
  EXPECT_GT(count(CButtonPicture::Surface(0), 0x006400), 20);
  EXPECT_EQ(count(CButtonPicture::Surface(1), 0x006400), 0);
  EXPECT_GT(count(CButtonPicture::Surface(1), 0x326464), 20);
  QImage both(88, 70, QImage::Format_RGB32);
  both.fill(Qt::white);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 88; ++x) {
      both.setPixel(x, y, draw_test::ToImage(*CButtonPicture::Surface(0)).pixel(x, y));
      both.setPixel(x, y + 40, draw_test::ToImage(*CButtonPicture::Surface(1)).pixel(x, y));
    }
  }
  draw_test::ExpectGolden(both, "buttons", 60);
}

TEST_F(WidgetTest, ButtonSetBoundsAndRemoval) {
  COffScreenControl* first = NewControl();
  CButtonPicture set(nullptr, nullptr, first, Rect{0, 0, 10, 10}, "", 168, 167, 0);
  for (int i = 1; i < CButtonPicture::kCapacity; ++i) {
    ASSERT_TRUE(set.AddButton(NewControl(), Rect{0, 0, 10, 10}, "", 168, 167, i));
  }
  auto& sink = cantrel_test::Sink();
  EXPECT_FALSE(set.AddButton(NewControl(), Rect{0, 0, 10, 10}, "", 168, 167, 64));
  EXPECT_EQ(CButtonPicture::Count(), 64);
  EXPECT_EQ(sink.Texts().back(), "CButtonPicture::ErrorMsg");
  const size_t before = sink.Count();
  CButtonPicture::RemoveButton(3);  // not the last: refused
  EXPECT_EQ(sink.Count(), before + 1);
  EXPECT_EQ(CButtonPicture::Count(), 64);
  CButtonPicture::RemoveButton(63);
  EXPECT_EQ(CButtonPicture::Count(), 63);
}

TEST_F(WidgetTest, SwapButtonsKeepsEachSlotsNumber) {
  COffScreenControl* a = NewControl();
  COffScreenControl* b = NewControl();
  CButtonPicture set(nullptr, nullptr, a, Rect{0, 0, 88, 30}, "A", 168, 167, 0);
  set.AddButton(b, Rect{0, 0, 53, 30}, "B", 233, 234, 1);
  CButtonPicture::SwapButtons(0, 1);
  EXPECT_EQ(CButtonPicture::Caption(0), "B");
  EXPECT_EQ(CButtonPicture::Caption(1), "A");
  EXPECT_EQ(b->Id(), 0);
  EXPECT_EQ(a->Id(), 1);
}

TEST_F(WidgetTest, BitmapsColoursAndMoves) {
  COffScreenControl* a = NewControl();
  CButtonPicture set(nullptr, nullptr, a, Rect{0, 0, 88, 30}, "", 168, 167, 0);
  plat::Bitmap face;
  LoadSkinBitmap(230, &face);
  CButtonPicture::SetBitmaps(0, 230, 229);
  EXPECT_EQ(CButtonPicture::Surface(0)->GetPixel(40, 15), face.GetPixel(40, 15));
  // Beyond a narrower face the surface stays white.
  EXPECT_EQ(CButtonPicture::Surface(0)->GetPixel(80, 15), 0xFFFFFFu);
  CButtonPicture::MoveButton(0, Rect{10, 10, 63, 40}, "  x", 233, 234);
  CButtonPicture::DrawAll();
  EXPECT_EQ(a->width(), 53);
  EXPECT_EQ(CButtonPicture::Caption(0), "  x");
  CButtonPicture::SetCaption(0, "  終 了");
  CButtonPicture::SetTextColor(0x0000FF);
  int red = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 53; ++x) red += CButtonPicture::Surface(0)->GetPixel(x, y) == 0x0000FF;
  }
  EXPECT_GT(red, 10);
}

TEST_F(WidgetTest, GetCaptionIsCutToTheBuffer) {
  COffScreenControl* a = NewControl();
  CButtonPicture2 set(nullptr, nullptr, a, Rect{0, 0, 88, 30}, "ｱｰｶｲﾌﾞ 曲情報", 168, 167, 0);
  char small[5];
  std::memset(small, 'x', sizeof small);
  CButtonPicture2::GetCaption(0, small, sizeof small);
  EXPECT_EQ(std::string(small), "ｱｰｶｲ");
  // A double-byte character is never split.
  char tiny[9];
  CButtonPicture2::GetCaption(0, tiny, sizeof tiny);
  EXPECT_EQ(std::string(tiny), "ｱｰｶｲﾌﾞ ");
  char untouched[4] = "abc";
  CButtonPicture2::GetCaption(7, untouched, sizeof untouched);
  EXPECT_EQ(std::string(untouched), "abc");
  // The copies keep a font height given earlier to the same button number.
  CButtonPicture2::SetFontHeight(0, 16);
  CButtonPicture2 again(nullptr, nullptr, NewControl(), Rect{0, 0, 88, 30}, "x", 168, 167, 0);
  EXPECT_EQ(CButtonPicture2::Count(), 1);
}

TEST_F(WidgetTest, HighlightedButtonOfTheFourthSet) {
  COffScreenControl* a = NewControl();
  CButtonPicture4 set(nullptr, nullptr, a, Rect{0, 0, 88, 30}, "  試聴", 168, 167, 0);
  CButtonPicture4::SetHighlight(0, 1);
  CButtonPicture4::DrawButton(0);
  int highlighted = 0;
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 88; ++x) highlighted += CButtonPicture4::Surface(0)->GetPixel(x, y) == 0x7F7FFF;
  }
  EXPECT_GT(highlighted, 10);
}

// ---- counter -----------------------------------------------------------------------------

// The ids the main window hands its bar counter for the digits 0..9.
std::array<int, 10> MainWindowDigits() { return {241, 242, 243, 244, 245, 246, 247, 248, 249, 240}; }

TEST_F(WidgetTest, CounterShowsTheLastDigitsWithLeadingZeros) {
  COffScreenControl* c = NewControl();
  CCounterPicture counter(c, Rect{23, 52, 65, 68}, 3, MainWindowDigits());
  plat::Bitmap digits[10];
  for (int k = 0; k < 10; ++k) ASSERT_TRUE(LoadSkinBitmap(MainWindowDigits()[k], &digits[k]));
  auto showsDigit = [&](int cell, int digit) {
    plat::Dc* dc = CCounterPicture::Surface(0);
    for (int y = 0; y < 16; ++y) {
      for (int x = 0; x < 14; ++x) {
        if (dc->GetPixel(cell * 14 + x, y) != digits[digit].GetPixel(x, y)) return false;
      }
    }
    return true;
  };
  struct Case {
    int value;
    int d[3];
  };
  const Case cases[] = {{0, {0, 0, 0}}, {7, {0, 0, 7}}, {999, {9, 9, 9}}, {1234, {2, 3, 4}},
                        {-5, {0, 0, 0}}};
  for (const Case& k : cases) {
    CCounterPicture::SetValue(0, k.value);
    for (int i = 0; i < 3; ++i) EXPECT_TRUE(showsDigit(i, k.d[i])) << k.value << " cell " << i;
  }
  EXPECT_EQ(CCounterPicture::GetValue(0), 0);  // negative values count as 0
  CCounterPicture::SetValue(0, 42);
  EXPECT_EQ(CCounterPicture::GetValue(0), 42);
  // A counter of no digits is made a one-digit counter instead of dividing by zero.
  ASSERT_TRUE(counter.AddCounter(NewControl(), Rect{0, 0, 14, 16}, 0, MainWindowDigits()));
  CCounterPicture::SetValue(1, 8);
  EXPECT_EQ(CCounterPicture::Count(), 2);
  for (int i = 2; i < CCounterPicture::kCapacity; ++i) {
    EXPECT_TRUE(counter.AddCounter(NewControl(), Rect{0, 0, 14, 16}, 1, MainWindowDigits()));
  }
  EXPECT_FALSE(counter.AddCounter(NewControl(), Rect{0, 0, 14, 16}, 1, MainWindowDigits()));
}

TEST_F(WidgetTest, CounterGoldenWithTheMainWindowsDigitOrder) {
  // The digits read as the value.
  CCounterPicture counter(NewControl(), Rect{23, 52, 65, 68}, 3, MainWindowDigits());
  CCounterPicture::SetValue(0, 128);
  draw_test::ExpectGolden(draw_test::ToImage(*CCounterPicture::Surface(0)), "counter_128", 0, 0);
}

// ---- knob --------------------------------------------------------------------------------

int CountColour(plat::Dc* dc, int w, int h, plat::ColorRef c) {
  int n = 0;
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) n += dc->GetPixel(x, y) == c;
  }
  return n;
}

TEST_F(WidgetTest, KnobModes) {
  CKnobPicture knob(NewControl(), Rect{0, 0, 36, 36}, 0, 100);
  CKnobPicture::SetBackgroundColor(0xC8C2C2, 0);
  // Never set mode: background only.
  CKnobPicture::SetValue(10, 0);
  EXPECT_EQ(CountColour(CKnobPicture::Surface(0), 36, 36, 0xC8C2C2), 36 * 36);
  // Mode 1, value 0: the bright head at the top (angle 180), the arc towards the left.
  CKnobPicture::SetMode(1, 0);
  CKnobPicture::SetValue(0, 0);
  plat::Dc* dc = CKnobPicture::Surface(0);
  auto green = [&](int x, int y) { return plat::GetGValue(dc->GetPixel(x, y)); };
  const int top = green(18, 18 - 15), bottom = green(18, 18 + 15);
  EXPECT_GT(top, 150);
  EXPECT_LT(bottom, 70);
  EXPECT_EQ(dc->GetPixel(18, 18), 0xC8C2C2u);  // 0 mod 30: no centre disc
  CKnobPicture::SetValue(16, 0);
  EXPECT_EQ(dc->GetPixel(18, 18), plat::Rgb(255, 255, 255));  // the derived centre colour
  CKnobPicture::SetValue(30, 0);
  EXPECT_EQ(dc->GetPixel(18, 18), 0xC8C2C2u);
  // Value 50 and value 150 put the head at the bottom.
  CKnobPicture::SetValue(150, 0);
  EXPECT_GT(green(18, 18 + 15), 150);
  // The value grows without bound while the worker runs: the largest one still turns the head
  // (to about 11 degrees, so the arc passes 30 degrees and not the top).
  CKnobPicture::SetValue(std::numeric_limits<int>::max(), 0);
  EXPECT_GT(green(25, 30), 100);  // angle 30, radius 15
  EXPECT_LT(green(18, 18 - 15), 70);
  // Mode 2, value 5: a circle of diameter 1, four pixel pairs at the centre.
  CKnobPicture::SetMode(2, 0);
  CKnobPicture::SetValue(5, 0);
  EXPECT_LT(CountColour(dc, 36, 36, 0xC8C2C2), 36 * 36);
  EXPECT_GE(CountColour(dc, 36, 36, 0xC8C2C2), 36 * 36 - 8);
  CKnobPicture::SetValue(-7, 0);  // negative values still draw a circle of at least 1
  // An even diameter (12) keeps its faint ring half a pixel outside the full one.
  CKnobPicture::SetValue(40, 0);
  EXPECT_GT(CountColour(dc, 36, 36, plat::Rgb(51, 0, 0)), 0);
  EXPECT_GT(CountColour(dc, 36, 36, plat::Rgb(64, 0, 0)), 0);
  // Mode 3: two black circles and the number.
  CKnobPicture::SetMode(3, 0);
  CKnobPicture::SetValue(123, 0);
  EXPECT_GT(CountColour(dc, 36, 36, 0), 72);
  // A knob number at or above the count is ignored.
  CKnobPicture::SetValue(5, 3);
  EXPECT_EQ(CKnobPicture::Value(0), 123);
  ASSERT_TRUE(knob.AddKnob(NewControl(), Rect{0, 0, 36, 36}, 0, 100));
  EXPECT_EQ(CKnobPicture::Count(), 2);
  CKnobPicture::RemoveLastKnob();
  EXPECT_EQ(CKnobPicture::Count(), 1);
  for (int i = 1; i < CKnobPicture::kCapacity; ++i) {
    EXPECT_TRUE(knob.AddKnob(NewControl(), Rect{0, 0, 36, 36}, 0, 100));
  }
  EXPECT_FALSE(knob.AddKnob(NewControl(), Rect{0, 0, 36, 36}, 0, 100));
}

TEST_F(WidgetTest, KnobIsRepeatableForASeed) {
  CKnobPicture knob(NewControl(), Rect{0, 0, 36, 36}, 0, 100);
  CKnobPicture::SetBackgroundColor(0xC8C2C2, 0);
  CKnobPicture::SetCenterColor(255, 126, 126, 0);
  CKnobPicture::SetMode(1, 0);
  GneSetRandomState(7);
  CKnobPicture::SetValue(20, 0);
  const QImage first = draw_test::ToImage(*CKnobPicture::Surface(0));
  GneSetRandomState(7);
  CKnobPicture::SetValue(20, 0);
  EXPECT_EQ(draw_test::CountDifferent(first, draw_test::ToImage(*CKnobPicture::Surface(0)), 0), 0);
  draw_test::ExpectGolden(first, "knob_mode1_20", 0, 0);
}

// ---- chord-cell grid -------------------------------------------------------------------------

struct CellLog {
  std::vector<std::array<int, 3>> presses;
};

TEST_F(WidgetTest, ChordCellLayoutAndHitTest) {
  CellLog log;
  auto press = [&](int g, int r, int c) { log.presses.push_back({g, r, c}); };
  COffScreenControl* ctl = NewControl();
  CChordCellPicture grid(ctl, Rect{0, 0, 226, 26}, 1, 4, nullptr, press, nullptr);
  // Steps of 56 pixels, 2-pixel gaps.
  const Rect r0 = CChordCellPicture::CellRect(0, 0, 0);
  const Rect r1 = CChordCellPicture::CellRect(0, 0, 1);
  EXPECT_EQ(r0.left, 2);
  EXPECT_EQ(r0.right, 56);
  EXPECT_EQ(r1.left, 58);
  EXPECT_EQ(r0.top, 2);
  EXPECT_EQ(r0.bottom, 24);
  int row = 9, column = 9;
  CChordCellPicture::HitTest(0, 57, 10, &row, &column);  // the gap
  EXPECT_EQ(row, -1);
  CChordCellPicture::HitTest(0, 56, 24, &row, &column);  // right and bottom edges are in
  EXPECT_EQ(row, 0);
  EXPECT_EQ(column, 0);
  Mouse(ctl, QEvent::MouseButtonPress, 57, 10);
  EXPECT_TRUE(log.presses.empty());
  Mouse(ctl, QEvent::MouseButtonPress, 120, 10);
  ASSERT_EQ(log.presses.size(), 1u);
  EXPECT_EQ(log.presses[0], (std::array<int, 3>{0, 0, 2}));
}

TEST_F(WidgetTest, ChordCellColoursAndTexts) {
  CChordCellPicture grid(NewControl(), Rect{0, 0, 226, 26}, 1, 4, nullptr, nullptr, nullptr);
  CChordCellPicture::SetFontHeight(0, 12);
  CChordCellPicture::SetCellText(0, 2, "Am7", 0);  // column, text, row
  EXPECT_EQ(CChordCellPicture::CellText(0, 0, 2), "Am7");
  CChordCellPicture::SetCellShown(0, 0, 2, 0);
  CChordCellPicture::SetCellActive(0, 0, 1, 0);
  CChordCellPicture::SetCursor(0, 0, 1);  // on an inactive cell: grey, not the cursor colour
  plat::Dc* dc = CChordCellPicture::Surface(0);
  EXPECT_EQ(dc->GetPixel(1, 1), CChordCellPicture::kBackground);
  EXPECT_EQ(dc->GetPixel(60, 4), CChordCellPicture::kInactive);
  EXPECT_EQ(CountColour(dc, 226, 26, 0), 0);  // the hidden cell's text is not drawn
  EXPECT_EQ(dc->GetPixel(116, 4), CChordCellPicture::kHidden);
  CChordCellPicture::SetCellShown(0, 0, 2, 1);
  CChordCellPicture::SetCursor(0, 0, 3);
  EXPECT_GT(CountColour(dc, 226, 26, 0), 10);
  EXPECT_EQ(dc->GetPixel(172, 4), CChordCellPicture::kCursor);
  draw_test::ExpectGolden(draw_test::ToImage(*dc), "chord_cells", 30);
}

TEST_F(WidgetTest, ChordCellSizeChecksAndTextBlocks) {
  auto& sink = cantrel_test::Sink();
  CChordCellPicture grid(NewControl(), Rect{0, 0, 200, 100}, 11, 4, nullptr, nullptr, nullptr);
  EXPECT_EQ(sink.Texts().back(), "error");
  EXPECT_EQ(CChordCellPicture::Rows(0), 10);
  EXPECT_EQ(CChordCellPicture::Columns(0), 16);
  // Grids of no rows or columns get one cell instead of dividing by zero.
  ASSERT_TRUE(grid.AddGrid(NewControl(), Rect{0, 0, 50, 20}, 0, 0, nullptr, nullptr, nullptr));
  EXPECT_EQ(CChordCellPicture::Rows(1), 1);
  EXPECT_EQ(CChordCellPicture::Columns(1), 1);
  // Text blocks: slots of 32 bytes; long texts are cut to 31.
  std::vector<char> block(CChordCellPicture::kBlockSize, 0);
  std::strcpy(&block[2 * 32], "A");
  CChordCellPicture::SetTexts(1, 1, 3, block.data());
  CChordCellPicture::ShiftTextsLeft(1);
  EXPECT_EQ(CChordCellPicture::CellText(1, 0, 1), "A");
  EXPECT_EQ(CChordCellPicture::CellText(1, 0, 2), "");
  CChordCellPicture::SetCellText(1, 0, std::string(300, 'x'), 0);
  EXPECT_EQ(CChordCellPicture::CellText(1, 0, 0).size(), 255u);
  std::vector<char> out(CChordCellPicture::kBlockSize, 1);
  CChordCellPicture::GetTexts(1, out.data());
  EXPECT_EQ(std::strlen(&out[0]), 31u);
  // Removing empty columns: "x", "A", "" -> "x", "A".
  CChordCellPicture::RemoveEmptyColumns(1);
  EXPECT_EQ(CChordCellPicture::Columns(1), 2);
  EXPECT_EQ(CChordCellPicture::ContainsText(1, "A"), 1);
  EXPECT_EQ(CChordCellPicture::ContainsText(1, "B"), 0);
  // Moving a grid lays it out again: every cell shown and active, no cursor.
  CChordCellPicture::SetCellShown(1, 0, 0, 0);
  CChordCellPicture::SetCursor(1, 0, 1);
  CChordCellPicture::MoveGrid(1, Rect{0, 0, 80, 30});
  int r = 0, c = 0;
  CChordCellPicture::GetCursor(1, &r, &c);
  EXPECT_EQ(r, -1);
  EXPECT_EQ(c, -1);
  EXPECT_EQ(CChordCellPicture::CellText(1, 0, 1), "A");
  // A grid beyond the capacity is refused.
  for (int i = 2; i < CChordCellPicture::kCapacity; ++i) {
    ASSERT_TRUE(grid.AddGrid(NewControl(), Rect{0, 0, 20, 20}, 1, 1, nullptr, nullptr, nullptr));
  }
  EXPECT_FALSE(grid.AddGrid(NewControl(), Rect{0, 0, 20, 20}, 1, 1, nullptr, nullptr, nullptr));
}

TEST_F(WidgetTest, APictureMadeAgainKeepsItsSlotsWhenTheOldOneIsDeleted) {
  // The page is laid out again: the new grids come first, then the old object goes.
  auto old = std::make_unique<CChordCellPicture>(NewControl(), Rect{0, 0, 100, 20}, 1, 4, nullptr,
                                                 nullptr, nullptr);
  CChordCellPicture fresh(NewControl(), Rect{0, 0, 100, 20}, 1, 4, nullptr, nullptr, nullptr);
  old.reset();
  ASSERT_NE(CChordCellPicture::Surface(0), nullptr);
  CChordCellPicture::DrawAll();
  EXPECT_EQ(CChordCellPicture::Surface(0)->GetPixel(0, 0), CChordCellPicture::kBackground);
  auto oldKnob = std::make_unique<CKnobPicture>(NewControl(), Rect{0, 0, 36, 36}, 0, 100);
  CKnobPicture knob(NewControl(), Rect{0, 0, 36, 36}, 0, 100);
  oldKnob.reset();
  EXPECT_NE(CKnobPicture::Surface(0), nullptr);
  auto oldSet = std::make_unique<CButtonPicture>(nullptr, nullptr, NewControl(), Rect{0, 0, 88, 30},
                                                 "a", 168, 167, 0);
  CButtonPicture set(nullptr, nullptr, NewControl(), Rect{0, 0, 88, 30}, "b", 168, 167, 0);
  oldSet.reset();
  EXPECT_EQ(CButtonPicture::Count(), 1);
  EXPECT_NE(CButtonPicture::Surface(0), nullptr);
}

}  // namespace
