#include "dialogs/web_search_dialog.h"

#include "draw/button_picture.h"
#include "draw/offscreen_control.h"
#include "platform/qt/qt_text.h"
#include "util/gne_text.h"

#include <QLabel>
#include <QLineEdit>

namespace {

CWebSearchDlg* g_webSearchDlg = nullptr;

constexpr int kLabelId = 1089;
constexpr int kKeywordLimit = 1023;  // bytes before the terminator
constexpr plat::ColorRef kCaptionColour = 0x007F40;

}  // namespace

CWebSearchDlg::CWebSearchDlg(QWidget* parent) : CModalDialog(kTemplateId, parent) {
  setWindowTitle(plat::ToQString("検索"));
  setFixedSize(240, 140);
  auto* label = MakeControl<QLabel>(kLabelId);
  label->setText(plat::ToQString("検索語"));
  UseDialogColours(label);
  edit_ = MakeControl<QLineEdit>(kEditId);
  PlaceControls({{kLabelId, 10, 10, 230, 30}, {kEditId, 10, 40, 230, 64}});
}

CWebSearchDlg::~CWebSearchDlg() {
  button_.reset();
  if (g_webSearchDlg == this) g_webSearchDlg = nullptr;
}

bool CWebSearchDlg::OnInitDialog() {
  g_webSearchDlg = this;
  keyword_.clear();
  COffScreenControl* host = AddPictureHost(kButtonHostId);
  button_ = std::make_unique<CButtonPicture4>(
      [](int code) {
        if (g_webSearchDlg) g_webSearchDlg->OnButton(code);
      },
      [](int) {}, host, Rect{10, 100, 98, 130}, "　検  索", 168, 167, 0);
  CButtonPicture4::SetTextColor(kCaptionColour);
  CButtonPicture4::DrawAll();
  edit_->setFocus();
  return true;
}

void CWebSearchDlg::CopyPictures() {
  if (button_) CButtonPicture4::BlitAll();
}

void CWebSearchDlg::OnButton(int code) {
  if (code == 0) CloseAfterButton(QDialog::Accepted, 100);
}

void CWebSearchDlg::done(int result) {
  if (result == QDialog::Accepted) {
    const std::string text = plat::FromQString(edit_->text());
    keyword_ = text.substr(0, GneFitCp932(text.data(), text.size(), kKeywordLimit));
  }
  CModalDialog::done(result);
}
