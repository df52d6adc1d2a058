// Three small dialogs of the song information: the classification "分類" (reading initial,
// country, genre and remark flags), the extended information "拡張情報" (eight texts with the
// management code's format check) and the note range "音域" (the notes the song uses, pressed on
// a keyboard). Each writes into the song only when closed by its button or Enter.
#pragma once

#include "dialogs/modal_dialog.h"

#include <memory>
#include <string>

class CButtonPicture3;
class CKeyboardPicture;
class COffScreenControl;
class CSongData;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// One country of the classification (and of the archive search): its code and name.
struct CountryRow {
  int code;
  const char* name;
};
extern const CountryRow CountryTable[68];

// A flag of the classification: its bit and check box.
struct ClassFlag {
  int bit;
  int id;
  const char* text;
};
extern const ClassFlag GenreFlagTable[16];
extern const ClassFlag RemarkFlagTable[6];

class CGroupDlg : public CModalDialog {
  Q_OBJECT

 public:
  // Enter: what the close button does.
  void accept() override;
  static constexpr int kTemplateId = 227;

  explicit CGroupDlg(QWidget* parent = nullptr);
  ~CGroupDlg() override;
  static CGroupDlg* Instance();
  static int ButtonTop(int scale);

  void SetSong(CSongData* song) { song_ = song; }
  // The close button and Enter: stores the reading initial, the country and the flags.
  void OnOk();

  QLineEdit* initial = nullptr;     // 1090
  QComboBox* countryList = nullptr; // 1096
  QLineEdit* popularity = nullptr;  // 1157, neither filled nor read
  QCheckBox* genre[16] = {};
  QCheckBox* remark[6] = {};
  COffScreenControl* closeHost = nullptr;  // 1065

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  CSongData* song_ = nullptr;
  std::unique_ptr<CButtonPicture3> buttons_;
};

class CExtraInfoDlg : public CModalDialog {
  Q_OBJECT

 public:
  // Enter: what the close button does.
  void accept() override;
  static constexpr int kTemplateId = 238;
  // The edits of texts 0-7.
  static const int kEditIds[8];

  explicit CExtraInfoDlg(QWidget* parent = nullptr);
  ~CExtraInfoDlg() override;
  static CExtraInfoDlg* Instance();
  static void ButtonPlace(int scale, int* x, int* y);
  // Empty, 123-4567-8, "elicense..." and "N..." are management codes of a known form.
  static bool IsManagementCode(const std::string& code);

  void SetSong(CSongData* song) { song_ = song; }
  // The close button and Enter: stores the eight texts (warning once of a code of an unknown
  // form) and closes; a text with a character the song cannot hold keeps the dialog open.
  void OnOk();
  void ErrorMsg(int code);

  QLineEdit* edits[8] = {};  // texts 0-7 but 6
  QPlainTextEdit* comment = nullptr;  // text 6, 1164
  COffScreenControl* closeHost = nullptr;  // 1065

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  QString Text(int i) const;
  CSongData* song_ = nullptr;
  std::unique_ptr<CButtonPicture3> buttons_;
};

class CRangeDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 236;
  static constexpr int kLowest = 48;
  static constexpr int kHighest = 84;

  explicit CRangeDlg(QWidget* parent = nullptr);
  ~CRangeDlg() override;
  static CRangeDlg* Instance();

  // The keyboard picture the dialog adds its keyboard to (the melody panel's); without one the
  // dialog makes its own.
  void SetSong(CKeyboardPicture* keyboards, CSongData* song);
  // The index of the dialog's keyboard.
  int Keyboard() const { return keyboard_; }
  void OnButton(int index);

  COffScreenControl* keyboardHost = nullptr;  // 1041
  COffScreenControl* closeHost = nullptr;     // 1065

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  CSongData* song_ = nullptr;
  CKeyboardPicture* keyboards_ = nullptr;
  std::unique_ptr<CKeyboardPicture> own_;
  int keyboard_ = -1;
  std::unique_ptr<CButtonPicture3> buttons_;
};
