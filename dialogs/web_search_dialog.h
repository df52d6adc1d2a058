// The keyword dialog of the web song library (template 140, "検索"): one edit and one button;
// OK keeps the edit's text, at most 1023 bytes cut on a character.
#pragma once

#include "dialogs/modal_dialog.h"

#include <memory>
#include <string>

class CButtonPicture4;
class QLineEdit;

class CWebSearchDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 140;
  static constexpr int kEditId = 1088;
  static constexpr int kButtonHostId = 1065;

  explicit CWebSearchDlg(QWidget* parent = nullptr);
  ~CWebSearchDlg() override;

  // The keyword ("" until OK).
  const std::string& Keyword() const { return keyword_; }
  QLineEdit* Edit() const { return edit_; }
  void OnButton(int code);
  // OK copies the keyword, then the dialog ends.
  void done(int result) override;

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  QLineEdit* edit_;
  std::string keyword_;
  std::unique_ptr<CButtonPicture4> button_;
};
