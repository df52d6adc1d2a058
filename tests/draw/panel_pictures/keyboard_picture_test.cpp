// The panels' keyboard picture: key geometry, hit tests, pressed keys, colours and labels, and
// the bounds it keeps against bad ranges and counts.
#include "draw/keyboard_picture.h"
#include "tests/draw/panel_pictures/picture_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class KeyboardPictureTest : public PictureFixture {
 protected:
  void SetUp() override {
    PictureFixture::SetUp();
    CKeyboardPicture::ResetState();
  }
  void TearDown() override { CKeyboardPicture::ResetState(); }

  std::unique_ptr<CKeyboardPicture> Make(int low, int high, int width, int height,
                                         NoteCallback press = nullptr,
                                         NoteCallback release = nullptr,
                                         NoteCallback doubleClick = nullptr) {
    const int range[2] = {low, high};
    control = NewControl();
    return std::make_unique<CKeyboardPicture>(control, Rect{10, 60, 10 + width, 60 + height},
                                              range, press, release, doubleClick);
  }
  COffScreenControl* control = nullptr;
};

TEST_F(KeyboardPictureTest, KeysShareTheWidthByWhiteKeys) {
  struct KeyCase {
    int note;
    int type;
    Rect rect;
  };
  struct Case {
    const char* name;
    int low, high, width, height;
    double whiteWidth;
    std::vector<KeyCase> keys;
  };
  const std::vector<Case> cases = {
      // 22 white keys, white at both ends: the black key 49 spans the border of 48 and 50.
      {"48-84", 48, 84, 440, 90, 20.0,
       {{48, 0, {0, 0, 20, 90}}, {49, 1, {10, 0, 30, 45}}, {50, 0, {20, 0, 40, 90}},
        {83, 0, {400, 0, 420, 90}}, {84, 0, {420, 0, 440, 90}}}},
      // A black key at the start takes half a white key: 7.5 units.
      {"49-60", 49, 60, 300, 80, 40.0,
       {{49, 1, {0, 0, 40, 40}}, {50, 0, {20, 0, 60, 80}}, {51, 1, {40, 0, 80, 40}},
        {60, 0, {260, 0, 300, 80}}}},
      // A black key at the end too.
      {"48-49", 48, 49, 30, 20, 20.0, {{48, 0, {0, 0, 20, 20}}, {49, 1, {20, 0, 40, 10}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto kb = Make(c.low, c.high, c.width, c.height);
    EXPECT_EQ(CKeyboardPicture::KeyCount(0), c.high - c.low + 1);
    EXPECT_DOUBLE_EQ(CKeyboardPicture::WhiteKeyWidth(0), c.whiteWidth);
    for (const KeyCase& k : c.keys) {
      const KeyRecord r = CKeyboardPicture::Key(0, k.note - c.low);
      EXPECT_EQ(r.note, k.note);
      EXPECT_EQ(r.type, k.type) << k.note;
      EXPECT_EQ(r.rect, k.rect) << k.note;
      EXPECT_EQ(r.colour, k.type ? 0x000000u : 0xFFFFFFu);
    }
  }
}

TEST_F(KeyboardPictureTest, PressesFindBlackKeysOverWhiteOnes) {
  std::vector<int> notes;
  auto kb = Make(48, 84, 440, 90, [&](int n) { notes.push_back(n); });
  struct Case {
    int x, y, note;
  };
  const std::vector<Case> cases = {
      {15, 5, 49},    // top half where 49 lies over 48 and 50
      {15, 80, 48},   // below the black key
      {25, 80, 50},
      {20, 45, 49},   // the black key's lower edge counts
      {20, 46, 48},   // the shared edge of two white keys: the lower note
      {5, 5, 48},
      {439, 89, 84},
  };
  for (const Case& c : cases) {
    notes.clear();
    CKeyboardPicture::OnPress(c.x, c.y, 0);
    ASSERT_EQ(notes.size(), 1u) << c.x << "," << c.y;
    EXPECT_EQ(notes[0], c.note) << c.x << "," << c.y;
    EXPECT_EQ(CKeyboardPicture::Key(0, CKeyboardPicture::LastPressedKey(0)).note, c.note);
  }
  notes.clear();
  CKeyboardPicture::OnPress(500, 5, 0);
  EXPECT_TRUE(notes.empty()) << "no key there";
}

TEST_F(KeyboardPictureTest, PressHighlightsAndReleaseRedrawsAndReportsTheNote) {
  std::vector<int> released;
  auto kb = Make(48, 84, 440, 90, nullptr, [&](int n) { released.push_back(n); });
  plat::Dc* dc = CKeyboardPicture::Surface(0);
  Mouse(control, QEvent::MouseButtonPress, 25, 80);
  EXPECT_EQ(dc->GetPixel(30, 70), CKeyboardPicture::kHighlight);
  Mouse(control, QEvent::MouseButtonRelease, 25, 80);
  EXPECT_EQ(dc->GetPixel(30, 70), CKeyboardPicture::kWhite);
  EXPECT_EQ(released, std::vector<int>{50});
  EXPECT_EQ(CKeyboardPicture::LastPressedKey(0), -1);
  // A release without a press before it reports nothing.
  CKeyboardPicture::OnRelease(25, 80, 0);
  EXPECT_EQ(released.size(), 1u);
  // A control without an id.
  CKeyboardPicture::OnRelease(25, 80, -1);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CKeyboardPicture error"});
}

TEST_F(KeyboardPictureTest, PressedKeysShowAndHideTheirLabels) {
  auto kb = Make(48, 84, 440, 90);
  plat::Dc* dc = CKeyboardPicture::Surface(0);
  CKeyboardPicture::SetKeyLabel(0, 48, "A");
  CKeyboardPicture::SetKeyLabel(0, 49, "W");
  CKeyboardPicture::AddPressedKey(48, 0);
  CKeyboardPicture::AddPressedKey(49, 0);
  EXPECT_EQ(dc->GetPixel(5, 85), CKeyboardPicture::kPressedWhite);
  EXPECT_EQ(dc->GetPixel(25, 5), CKeyboardPicture::kPressedBlack);
  auto count = [dc](Rect r, plat::ColorRef c) {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
      for (int x = r.left; x < r.right; ++x) n += dc->GetPixel(x, y) == c;
    return n;
  };
  EXPECT_GT(count({4, 46, 20, 90}, CKeyboardPicture::kLabelColour), 0) << "white label shows";
  EXPECT_EQ(count({10, 0, 30, 45}, CKeyboardPicture::kLabelColour), 0) << "black label hidden";
  EXPECT_EQ(CKeyboardPicture::IsKeyPressed(49, 0), 1);
  EXPECT_EQ(CKeyboardPicture::GetFirstPressedKey(0), 48);
  // The control shows what was drawn.
  EXPECT_EQ(control->Shown().pixel(5, 85), QColor(0, 255, 0).rgb());

  // Removing a note that is not there still draws and copies the keyboard.
  dc->SetPixel(5, 85, 0x123456);
  CKeyboardPicture::RemovePressedKey(70, 0);
  EXPECT_EQ(dc->GetPixel(5, 85), CKeyboardPicture::kPressedWhite);
  CKeyboardPicture::RemovePressedKey(48, 0);
  EXPECT_EQ(CKeyboardPicture::GetFirstPressedKey(0), 49);
  CKeyboardPicture::ClearPressedKeys(0);
  EXPECT_EQ(CKeyboardPicture::GetFirstPressedKey(0), -1);
  EXPECT_EQ(dc->GetPixel(5, 85), CKeyboardPicture::kWhite);
}

TEST_F(KeyboardPictureTest, ColoursAndLabelsByIndexAndByNote) {
  auto kb = Make(48, 84, 440, 90);
  CKeyboardPicture::SetKeyColor(0, 47, 0x111111);  // below the range: nothing
  CKeyboardPicture::SetKeyColor(0, 85, 0x111111);  // above: nothing
  for (int i = 0; i < CKeyboardPicture::KeyCount(0); ++i) {
    const KeyRecord k = CKeyboardPicture::Key(0, i);
    EXPECT_EQ(k.colour, k.type ? 0u : 0xFFFFFFu);
  }
  CKeyboardPicture::SetKeyColor(0, 50, 0xDFDFDF);
  CKeyboardPicture::SetKeyColorByNote(0, 49, 0x5F5F5F);
  EXPECT_EQ(CKeyboardPicture::Key(0, 2).colour, 0xDFDFDFu);
  EXPECT_EQ(CKeyboardPicture::Key(0, 1).colour, 0x5F5F5Fu);
  CKeyboardPicture::ResetKeyColor(0, 50);
  CKeyboardPicture::ResetKeyColorByNote(0, 49);
  EXPECT_EQ(CKeyboardPicture::Key(0, 2).colour, 0xFFFFFFu);
  EXPECT_EQ(CKeyboardPicture::Key(0, 1).colour, 0x000000u);
  // Labels keep 7 bytes and never split a double-byte character.
  CKeyboardPicture::SetKeyLabel(0, 60, "ドレミファ");
  EXPECT_EQ(std::string(CKeyboardPicture::Key(0, 12).label), "ドレミ");
  CKeyboardPicture::SetKeyLabel(0, 30, "x");  // no such key
  CKeyboardPicture::ClearKeyLabels(0);
  EXPECT_EQ(CKeyboardPicture::Key(0, 12).label[0], '\0');
}

TEST_F(KeyboardPictureTest, BadRangesAreReportedAndBounded) {
  struct Case {
    int low, high;
    bool reported;
    int lowest, keys;
  };
  const std::vector<Case> cases = {
      {48, 84, false, 48, 37}, {0, 127, false, 0, 128}, {0, 200, true, 0, 128},
      {-5, 10, true, 0, 11},   {60, 50, true, 60, 1},   {130, 140, true, 127, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.low) + ".." + std::to_string(c.high));
    cantrel_test::Sink().Clear();
    auto kb = Make(c.low, c.high, 400, 90);
    EXPECT_EQ(cantrel_test::Sink().Count(), c.reported ? 1u : 0u);
    EXPECT_EQ(CKeyboardPicture::Lowest(0), c.lowest);
    ASSERT_EQ(CKeyboardPicture::KeyCount(0), c.keys);
    for (int i = 0; i < c.keys; ++i) {
      const int note = CKeyboardPicture::Key(0, i).note;
      EXPECT_TRUE(note >= 0 && note <= 127) << note;
    }
    CKeyboardPicture::OnPress(399, 89, 0);
    CKeyboardPicture::OnPress(1, 1, 0);
  }
}

TEST_F(KeyboardPictureTest, CountsAreBounded) {
  auto kb = Make(48, 84, 440, 90);
  const int range[2] = {48, 84};
  for (int i = 1; i < CKeyboardPicture::kCapacity; ++i) {
    ASSERT_TRUE(kb->AddKeyboard(NewControl(), Rect{0, 0, 100, 50}, range, nullptr));
  }
  cantrel_test::Sink().Clear();
  EXPECT_FALSE(kb->AddKeyboard(NewControl(), Rect{0, 0, 100, 50}, range, nullptr));
  EXPECT_EQ(CKeyboardPicture::Count(), CKeyboardPicture::kCapacity);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"CKeyboardPicture::ErrorMsg"});

  // Only the last keyboard can go.
  cantrel_test::Sink().Clear();
  CKeyboardPicture::RemoveKeyboard(3);
  EXPECT_EQ(CKeyboardPicture::Count(), CKeyboardPicture::kCapacity);
  EXPECT_EQ(cantrel_test::Sink().Count(), 1u);
  CKeyboardPicture::RemoveKeyboard(CKeyboardPicture::kCapacity - 1);
  EXPECT_EQ(CKeyboardPicture::Count(), CKeyboardPicture::kCapacity - 1);

  for (int i = 0; i < 200; ++i) CKeyboardPicture::AddPressedKey(i % 128, 0);
  EXPECT_EQ(CKeyboardPicture::PressedCount(0), CKeyboardPicture::kMaxPressed);
}

TEST_F(KeyboardPictureTest, ARebuildForgetsTheLastPressedKey) {
  auto kb = Make(0, 127, 1000, 90);
  CKeyboardPicture::OnPress(995, 80, 0);
  ASSERT_EQ(CKeyboardPicture::LastPressedKey(0), 127);
  kb.reset();
  kb = Make(60, 62, 60, 90);
  EXPECT_EQ(CKeyboardPicture::LastPressedKey(0), -1);
  CKeyboardPicture::OnPress(5, 80, 0);  // marks the previous press: none to mark
  CKeyboardPicture::OnRelease(5, 80, 0);
}

TEST_F(KeyboardPictureTest, DoubleClickAndRightClickGoToTheFirstKeyboardThatTakesThem) {
  std::vector<int> doubled, righted;
  auto kb = Make(48, 84, 440, 90, nullptr, nullptr, [&](int n) { doubled.push_back(n); });
  const int range[2] = {60, 72};
  COffScreenControl* second = NewControl();
  kb->AddKeyboard(second, Rect{0, 200, 160, 260}, range, nullptr, nullptr, nullptr,
                  [&](int n) { righted.push_back(n); });
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(25, 80), QPointF(25, 80), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(control, &dbl);
  EXPECT_EQ(doubled, std::vector<int>{50});
  EXPECT_EQ(CKeyboardPicture::Surface(0)->GetPixel(30, 70), CKeyboardPicture::kDoubleClicked);
  Mouse(second, QEvent::MouseButtonPress, 5, 50, Qt::RightButton);
  EXPECT_EQ(righted, std::vector<int>{60});
  // Swapping keeps each control reporting its keyboard's new number.
  CKeyboardPicture::SwapKeyboards(0, 1);
  EXPECT_EQ(second->Id(), 0);
  EXPECT_EQ(control->Id(), 1);
  EXPECT_EQ(CKeyboardPicture::Lowest(0), 60);
}

}  // namespace
