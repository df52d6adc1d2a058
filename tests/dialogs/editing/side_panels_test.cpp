// The triplet and guitar panels: the triplet buttons on the melody panel's picture and the
// message each press sends; the fretboard's notes reaching the melody panel.
#include "dialogs/triplet_guitar_panels.h"
#include "draw/bitmap_grid_picture.h"
#include "draw/offscreen_control.h"
#include "draw/strings_picture.h"
#include "platform/qt/app_message.h"
#include "platform/qt/qt_text.h"
#include "tests/dialogs/editing/editing_fixture.h"

#include <QComboBox>

namespace {

// Records the messages posted to it (the melody panel's place).
class MessageTarget : public QObject {
 public:
  std::vector<Message> got;

 protected:
  void customEvent(QEvent* event) override {
    if (const plat::AppMessage* m = plat::IsAppMessage(event)) {
      got.emplace_back(m->message, m->wparam, m->lparam);
    }
  }
};

const int kLengthIds[2][16] = {{195, 198, 197}, {205, 209, 209}};

class SidePanelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CBitmapGridPicture::ResetState();
    CStringsMultiPicture::ResetState();
    host = std::make_unique<COffScreenControl>();
    lengths = std::make_unique<CBitmapGridPicture>(host.get(), plat::Rect{10, 157, 310, 217}, 2,
                                                   3, kLengthIds, nullptr, nullptr);
  }
  void TearDown() override {
    triplet.reset();
    guitar.reset();
    lengths.reset();
    host.reset();
    CBitmapGridPicture::ResetState();
    CStringsMultiPicture::ResetState();
  }
  EditingOwner owner;
  std::unique_ptr<COffScreenControl> host;
  std::unique_ptr<CBitmapGridPicture> lengths;
  std::unique_ptr<CTripletDlg> triplet;
  std::unique_ptr<CGuitarDlg> guitar;
};

TEST_F(SidePanelsTest, ATripletPressMarksItsButtonAndAsksForThePattern) {
  CBitmapGridPicture::SetCellSelected(0, 1, 2, 1);
  triplet = std::make_unique<CTripletDlg>();
  triplet->SetOwner(&owner);
  triplet->SetSharedPicture(lengths.get());
  triplet->Create();
  EXPECT_EQ(triplet->objectName(), "254");
  EXPECT_EQ(plat::FromQString(triplet->windowTitle()), "３連音符");
  ASSERT_EQ(triplet->Grid(), 1) << "the picture's second grid";
  EXPECT_EQ(triplet->gridHost->Id(), 1);
  EXPECT_EQ(triplet->placementList->currentIndex(), 0);
  struct Case {
    int row, column, placement;
  } cases[] = {{0, 0, 0}, {1, 2, 0}, {0, 1, 1}};
  for (const Case& c : cases) {
    owner.posted.clear();
    triplet->placementList->setCurrentIndex(c.placement);
    const plat::Rect cell = CBitmapGridPicture::CellRect(1, c.row, c.column);
    CBitmapGridPicture::OnPress(cell.left + 3, cell.top + 3, 1);
    EXPECT_EQ(owner.Posted(), std::vector<Message>{Message(kApp + 41, c.row * 3 + c.column,
                                                            c.placement)});
    for (int r = 0; r < 2; ++r) {
      for (int col = 0; col < 3; ++col) {
        EXPECT_EQ(CBitmapGridPicture::CellSelected(1, r, col), r == c.row && col == c.column);
      }
    }
  }
  EXPECT_EQ(CBitmapGridPicture::CellSelected(0, 1, 2), 1) << "the length buttons are left alone";
}

TEST_F(SidePanelsTest, AFretPressEntersItsNoteThroughTheMelodyPanel) {
  MessageTarget melody;
  guitar = std::make_unique<CGuitarDlg>();
  guitar->SetOwner(&owner);
  guitar->SetMelodyPanel(&melody);
  guitar->Create();
  EXPECT_EQ(guitar->objectName(), "217");
  EXPECT_EQ(guitar->boardHost->Id(), 0);
  const QRect board = guitar->boardHost->geometry();
  EXPECT_EQ(board, QRect(10, 10, guitar->width() - 20, guitar->height() - 20));
  EXPECT_GE(board.height() / 17, 24) << "fret rows of 24 pixels or more";
  // String 0 at the third fret's row.
  const double column = board.width() / 7.0, row = board.height() / 17.0;
  CStringsMultiPicture::OnClick(static_cast<int>(column), static_cast<int>(3.5 * row + 6), 0);
  QCoreApplication::processEvents();
  EXPECT_EQ(melody.got, std::vector<Message>{Message(kApp + 21, 55, 0)});
}

}  // namespace
