#include "dialogs/triplet_guitar_panels.h"

#include "draw/bitmap_grid_picture.h"
#include "draw/offscreen_control.h"
#include "draw/strings_picture.h"
#include "platform/qt/app_message.h"
#include "platform/qt/qt_text.h"

#include <QComboBox>

const int TripletButtonBitmaps[2][16] = {{256, 258, 260}, {257, 259, 261}};

namespace {

CTripletDlg* g_tripletInstance = nullptr;
CGuitarDlg* g_guitarInstance = nullptr;

}  // namespace

// ---- triplets -----------------------------------------------------------------------------------

CTripletDlg* CTripletDlg::Instance() { return g_tripletInstance; }

CTripletDlg::CTripletDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  gridHost = MakeControl<COffScreenControl>(1040);
  placementList = MakeControl<QComboBox>(1051);
}

CTripletDlg::~CTripletDlg() {
  if (g_tripletInstance == this) g_tripletInstance = nullptr;
}

bool CTripletDlg::OnInitDialog() {
  g_tripletInstance = this;
  if (picture_) {
    auto press = [](int row, int column) {
      if (CTripletDlg* d = Instance()) d->OnTripletPress(row, column);
    };
    if (picture_->AddGrid(gridHost, plat::Rect{10, 10, 670, 110}, 2, 3, TripletButtonBitmaps,
                          press, [](int, int) {})) {
      grid_ = CBitmapGridPicture::Count() - 1;
      CBitmapGridPicture::DrawGrid(grid_);
    }
  }
  placementList->addItem(plat::ToQString("カーソル位置から"));
  placementList->addItem(plat::ToQString("カーソル直前まで"));
  setWindowTitle(plat::ToQString("３連音符"));
  placementList->setCurrentIndex(0);
  PlaceControls({{1051, 10, 120, 200, 180}});
  setFixedSize(680, 152);
  return true;
}

void CTripletDlg::CopyPictures() {
  if (picture_) CBitmapGridPicture::BlitAll();
}

void CTripletDlg::OnTripletPress(int row, int column) {
  if (grid_ < 0) return;
  CBitmapGridPicture::ClearSelection(grid_);
  CBitmapGridPicture::SetCellSelected(grid_, row, column, 1);
  CBitmapGridPicture::DrawGrid(grid_);
  CBitmapGridPicture::Blit(grid_);
  PostToMain(kMsgTriplet, static_cast<uintptr_t>(row * 3 + column),
             placementList->currentIndex() == 1 ? 1 : 0);
}

// ---- guitar -------------------------------------------------------------------------------------

CGuitarDlg* CGuitarDlg::Instance() { return g_guitarInstance; }

CGuitarDlg::CGuitarDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("ギター"));
  boardHost = MakeControl<COffScreenControl>(1084);
}

CGuitarDlg::~CGuitarDlg() {
  board_.reset();
  if (g_guitarInstance == this) g_guitarInstance = nullptr;
}

bool CGuitarDlg::OnInitDialog() {
  g_guitarInstance = this;
  setFixedSize(kClientWidth, kClientHeight);
  // Sixteen frets and the nut row over the client area less ten pixels on every side: rows of
  // 25 pixels.
  board_ = std::make_unique<CStringsMultiPicture>(
      boardHost, plat::Rect{10, 10, kClientWidth - 10, kClientHeight - 10}, 0, 15,
      [](int note) {
        if (CGuitarDlg* d = Instance()) d->OnFretPress(note);
      },
      6, 1);
  boardHost->SetId(0);
  return true;
}

void CGuitarDlg::CopyPictures() {
  if (board_) CStringsMultiPicture::BlitAll();
}

void CGuitarDlg::OnFretPress(int note) {
  if (melodyPanel_) plat::PostAppMessage(melodyPanel_, kMsgGuitarNote, static_cast<uintptr_t>(note));
  CStringsMultiPicture::BlitAll();
}
