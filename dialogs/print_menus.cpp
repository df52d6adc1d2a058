#include "dialogs/print_menus.h"

#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "platform/qt/qt_text.h"

#include <QCheckBox>
#include <QFontMetrics>

namespace {

CMidiDlg* g_menu = nullptr;
CPrintDlg* g_printOptions = nullptr;

constexpr int kReleasedBitmap = 168;
constexpr int kPressedBitmap = 167;

struct MenuButton {
  int host;
  const char* caption;  // CP932
  Rect rect;
};

const MenuButton kMenuButtons[8] = {
    {1067, "　ｲﾝﾎﾟｰﾄ", {10, 10, 98, 40}},    {1015, "  ｴｸｽﾎﾟｰﾄ", {10, 50, 98, 80}},
    {1016, " ｲﾝﾎﾟｰﾄﾂｰﾙ", {120, 10, 208, 40}}, {1017, "  楽譜画像", {10, 90, 98, 120}},
    {1018, "  楽譜印刷", {120, 90, 208, 120}}, {1019, "  携帯転送", {120, 50, 208, 80}},
    {1020, "  設    定", {10, 140, 98, 170}},  {1021, "  結    合", {120, 140, 208, 170}},
};

// Whether the dialog's font is wider than 8 pixels a character (the dialog base unit).
bool WideBaseUnit(const QWidget* w) { return QFontMetrics(w->font()).averageCharWidth() > 8; }

}  // namespace

// ------------------------------------------------------------------------------- CMidiDlg

CMidiDlg::CMidiDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("外部入出力/印刷"));
  setFixedSize(218, 180);
}

CMidiDlg::~CMidiDlg() {
  buttons_.reset();
  if (g_menu == this) g_menu = nullptr;
}

CMidiDlg* CMidiDlg::Current() { return g_menu; }

bool CMidiDlg::OnInitDialog() {
  g_menu = this;
  choice_ = 0;
  auto press = [](int code) {
    if (g_menu) g_menu->OnButton(code);
  };
  auto release = [](int) {};
  for (int i = 0; i < 8; ++i) {
    const MenuButton& b = kMenuButtons[i];
    hosts_[i] = AddPictureHost(b.host);
    if (i == 0) {
      buttons_ = std::make_unique<CButtonPicture2>(press, release, hosts_[i], b.rect, b.caption,
                                                   kReleasedBitmap, kPressedBitmap, i);
    } else {
      buttons_->AddButton(hosts_[i], b.rect, b.caption, kReleasedBitmap, kPressedBitmap, i);
    }
  }
  if (WideBaseUnit(this)) {
    for (int i : {0, 1, 3, 4, 5}) CButtonPicture2::SetFontHeight(i, 16);
    CButtonPicture2::SetFontHeight(2, 12);
  }
  CButtonPicture2::DrawAll();
  CButtonPicture2::BlitAll();
  return true;
}

void CMidiDlg::CopyPictures() {
  if (buttons_) CButtonPicture2::BlitAll();
}

void CMidiDlg::OnButton(int code) {
  switch (code) {
    case 0: choice_ = 1; break;
    case 1: choice_ = 2; break;
    case 2:
      if (showImportTool) showImportTool();
      choice_ = 0;
      break;
    case 3: choice_ = 3; break;
    case 4: choice_ = 4; break;
    case 5: choice_ = 5; break;
    case 6:
      // The settings open on top of the menu, which stays.
      if (runSettings) runSettings(settings);
      return;
    case 7: choice_ = 6; break;
    default: return;
  }
  CloseAfterButton(QDialog::Accepted);
}

// ------------------------------------------------------------------------------ CPrintDlg

CPrintDlg::CPrintDlg(QWidget* parent) : CDialogSkeleton(kTemplateId, parent) {}

CPrintDlg::~CPrintDlg() {
  button_.reset();
  if (g_printOptions == this) g_printOptions = nullptr;
}

CPrintDlg* CPrintDlg::Current() { return g_printOptions; }

int CPrintDlg::ButtonTop(int scale) {
  if (scale == 100) return 130;
  if (scale <= 125) return 150;
  if (scale <= 150) return 180;
  if (scale <= 175) return 210;
  if (scale <= 200) return 240;
  return 150;
}

bool CPrintDlg::OnInitDialog() {
  g_printOptions = this;
  setWindowTitle(QStringLiteral("Print setting"));
  const int scale = Owner() ? Owner()->DisplayScale() : 100;
  const int y = ButtonTop(scale);
  setFixedSize(168, y + 40);
  auto box = [this](int id, const char* label, int top) {
    auto* b = new QCheckBox(QString::fromLatin1(label), this);
    b->setObjectName(QString::number(id));
    b->setGeometry(30, top, 120, 24);
    b->setChecked(true);
    UseDialogColours(b);
    b->show();
    return b;
  };
  titleBox_ = box(1152, "Song title", 20);
  lyricBox_ = box(1150, "Lyric", 50);
  chordBox_ = box(1151, "Chord", 80);
  chords = lyrics = title = 1;
  host_ = AddPictureHost(1);
  auto press = [](int code) {
    if (g_printOptions) g_printOptions->OnButton(code);
  };
  button_ = std::make_unique<CButtonPicture3>(press, [](int) {}, host_, Rect{40, y, 128, y + 30},
                                              "    O  K", kReleasedBitmap, kPressedBitmap, 0);
  CButtonPicture3::DrawAll();
  CButtonPicture3::BlitAll();
  return true;
}

void CPrintDlg::CopyPictures() {
  if (button_) CButtonPicture3::BlitAll();
}

void CPrintDlg::OnButton(int code) {
  if (code != 0) return;
  chords = chordBox_->isChecked() ? 1 : 0;
  lyrics = lyricBox_->isChecked() ? 1 : 0;
  title = titleBox_->isChecked() ? 1 : 0;
  CloseAfterButton(QDialog::Accepted, 100);
}
