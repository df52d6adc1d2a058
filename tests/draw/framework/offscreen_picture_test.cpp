// The picture framework: slot set-up, surfaces, copying to the control, the error reporter.
#include "draw/offscreen_picture.h"

#include "tests/support/test_support.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>

#include <vector>

namespace {

// A small picture class built the way every picture class is: per-class slots.
struct Presses {
  std::vector<int> ids;
};
Presses g_presses;

class CDotPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 4;
  static COffScreenControl* control[kCapacity];
  static plat::Dc* dc[kCapacity];
  static plat::Bitmap* bitmap[kCapacity];
  static int width[kCapacity], height[kCapacity];
  static plat::ColorRef colour[kCapacity];
  static int count;

  CDotPicture(COffScreenControl* first, const Rect& rect, plat::ColorRef c)
      : COffScreenPicture(first, rect, &PaintAll, &OnPress, &OnRelease, width[0], height[0],
                          bitmap[0], dc[0]) {
    count = 0;
    AddFirst(first, c);
  }
  ~CDotPicture() override {
    for (int i = count - 1; i >= 0; --i) DeleteSurface(bitmap[i], dc[i]);
    count = 0;
  }
  void Add(COffScreenControl* c, const Rect& rect, plat::ColorRef col) {
    SetUpSlot(c, rect, &OnPress, &OnRelease, width[count], height[count], bitmap[count],
              dc[count]);
    AddFirst(c, col);
  }
  static void Draw(int slot) {
    dc[slot]->FillSolidRect(Rect{0, 0, width[slot], height[slot]}, colour[slot]);
  }
  static void PaintAll() {
    for (int i = 0; i < count; ++i) Draw(i);
  }
  static void BlitAll() {
    for (int i = 0; i < count; ++i) Blit(dc[i], control[i]);
  }
  static void OnPress(int, int, int id) {
    if (id < 0 || id >= count) return;
    g_presses.ids.push_back(id);
  }
  static void OnRelease(int, int, int) {}

 private:
  void AddFirst(COffScreenControl* c, plat::ColorRef col) {
    control[count] = c;
    c->SetId(count);
    colour[count] = col;
    Draw(count);
    ++count;
  }
};
COffScreenControl* CDotPicture::control[kCapacity];
plat::Dc* CDotPicture::dc[kCapacity];
plat::Bitmap* CDotPicture::bitmap[kCapacity];
int CDotPicture::width[kCapacity];
int CDotPicture::height[kCapacity];
plat::ColorRef CDotPicture::colour[kCapacity];
int CDotPicture::count = 0;

class PictureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_presses = {};
    ResetOffScreenPictureState();
    parent.resize(300, 200);
    a = new COffScreenControl(&parent);
    b = new COffScreenControl(&parent);
  }
  QWidget parent;
  COffScreenControl* a = nullptr;
  COffScreenControl* b = nullptr;
};

TEST_F(PictureTest, SetUpPlacesTheControlAndMakesASurfaceOfItsSize) {
  CDotPicture pic(a, Rect{10, 20, 50, 35}, 0x0000FF);
  pic.Add(b, Rect{60, 20, 90, 40}, 0x00FF00);
  EXPECT_EQ(a->geometry(), QRect(10, 20, 40, 15));
  EXPECT_EQ(CDotPicture::width[0], 40);
  EXPECT_EQ(CDotPicture::height[0], 15);
  ASSERT_NE(CDotPicture::dc[1], nullptr);
  EXPECT_EQ(CDotPicture::dc[1]->Width(), 30);
  EXPECT_EQ(CDotPicture::dc[1]->Height(), 20);
  EXPECT_EQ(CDotPicture::dc[1]->GetPixel(29, 19), 0x00FF00u) << "drawn into its own surface";
  EXPECT_EQ(CDotPicture::count, 2);
  EXPECT_EQ(pic.Paint(), &CDotPicture::PaintAll);
}

TEST_F(PictureTest, CallbacksReportTheSlot) {
  CDotPicture pic(a, Rect{0, 0, 20, 20}, 0);
  pic.Add(b, Rect{30, 0, 50, 20}, 0);
  for (COffScreenControl* c : {b, a}) {
    QMouseEvent ev(QEvent::MouseButtonPress, QPointF(3, 3), c->mapToGlobal(QPointF(3, 3)),
                   Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(c, &ev);
  }
  EXPECT_EQ(g_presses.ids, (std::vector<int>{1, 0}));
}

TEST_F(PictureTest, BlitCopiesTheSurfaceToTheControl) {
  CDotPicture pic(a, Rect{0, 0, 8, 6}, 0x0000FF);
  EXPECT_TRUE(a->Shown().isNull()) << "drawing alone touches only the surface";
  CDotPicture::BlitAll();
  ASSERT_FALSE(a->Shown().isNull());
  EXPECT_EQ(a->Shown().pixel(7, 5), qRgb(255, 0, 0));
  EXPECT_EQ(a->Zoom(), 1.0);
  // The copy is what the screen shows: drawing afterwards does not change it until the next.
  CDotPicture::colour[0] = 0xFF0000;
  CDotPicture::Draw(0);
  EXPECT_EQ(a->Shown().pixel(1, 1), qRgb(255, 0, 0));
  COffScreenPicture::Blit(CDotPicture::dc[0], a, plat::SRCCOPY, 1.5);
  EXPECT_EQ(a->Shown().pixel(1, 1), qRgb(0, 0, 255));
  EXPECT_EQ(a->Zoom(), 1.5);
}

TEST_F(PictureTest, ANothingSizedControlGetsNothing) {
  CDotPicture pic(a, Rect{5, 5, 5, 5}, 0x0000FF);
  CDotPicture::BlitAll();
  EXPECT_TRUE(a->Shown().isNull());
}

TEST_F(PictureTest, ResizeMakesABlankSurfaceOfTheNewSize) {
  CDotPicture pic(a, Rect{0, 0, 8, 6}, 0x0000FF);
  COffScreenPicture::Resize(a, CDotPicture::bitmap[0], CDotPicture::dc[0], Rect{2, 3, 22, 13},
                            CDotPicture::height[0], CDotPicture::width[0]);
  EXPECT_EQ(a->geometry(), QRect(2, 3, 20, 10));
  EXPECT_EQ(CDotPicture::dc[0]->Width(), 20);
  EXPECT_EQ(CDotPicture::dc[0]->GetPixel(0, 0), 0u) << "blank until drawn";
}

TEST_F(PictureTest, DeleteSurfaceClearsTheEntries) {
  plat::Bitmap* bmp = nullptr;
  plat::Dc* dc = nullptr;
  int w = 0, h = 0;
  COffScreenPicture::SetUpSlot(a, Rect{0, 0, 4, 4}, nullptr, nullptr, w, h, bmp, dc);
  ASSERT_NE(dc, nullptr);
  COffScreenPicture::ReleaseSurface(bmp, dc);
  EXPECT_FALSE(dc->HasSurface());
  COffScreenPicture::CreateSurface(bmp, dc, a);
  EXPECT_TRUE(dc->HasSurface());
  COffScreenPicture::DeleteSurface(bmp, dc);
  EXPECT_EQ(bmp, nullptr);
  EXPECT_EQ(dc, nullptr);
}

TEST_F(PictureTest, DrawingErrorIsShownOnceUntilReset) {
  auto& sink = cantrel_test::Sink();
  sink.Clear();
  COffScreenPicture::ErrorMsg(1);
  COffScreenPicture::ErrorMsg(1);
  ASSERT_EQ(sink.Count(), 1u);
  EXPECT_EQ(sink.Texts()[0], "OSPC00000001 描画エラー。");
  COffScreenPicture::ErrorMsg(0);
  EXPECT_EQ(sink.Count(), 1u) << "code 0 shows nothing";
  COffScreenPicture::ErrorMsg(1);
  EXPECT_EQ(sink.Count(), 2u);
  // Every new picture set-up clears the flag too.
  CDotPicture pic(a, Rect{0, 0, 4, 4}, 0);
  COffScreenPicture::ErrorMsg(1);
  EXPECT_EQ(sink.Count(), 3u);
  COffScreenPicture::ErrorMsg(2);
  COffScreenPicture::ErrorMsg(2);
  ASSERT_EQ(sink.Count(), 5u);
  EXPECT_EQ(sink.Texts()[4], "OSPC00000002 COffScreenPictureでエラーが発生しました。");
}

TEST_F(PictureTest, ShiftJisFontIsSelectedAndRestored) {
  plat::Dc dc(10, 10);
  plat::LogFont before;
  before.height = 33;
  dc.SelectFont(before);
  std::optional<plat::LogFont> previous;
  SelectShiftJisFont(&dc, previous, 12);
  EXPECT_EQ(dc.CurrentFont().height, 12);
  EXPECT_EQ(dc.CurrentFont().charSet, plat::SHIFTJIS_CHARSET);
  ASSERT_TRUE(previous.has_value());
  RestoreFont(&dc, previous);
  EXPECT_EQ(dc.CurrentFont().height, 33);
  std::optional<plat::LogFont> none;
  RestoreFont(&dc, none);  // nothing to restore: nothing happens
  EXPECT_EQ(dc.CurrentFont().height, 33);
}

}  // namespace
