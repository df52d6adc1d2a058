// The song information "曲情報": the song's names (title, composer, lyricist in Japanese or, after
// a double click, in English; alias, keyword, untranslated title), the instruments of its parts,
// its rhythm division, and the buttons to the lyrics, classification, note range, extended
// information and the settings of each part. The names and lists are stored by the close button
// (or Enter); the sub-dialogs write into the song as they close.
#pragma once

#include "dialogs/modal_dialog.h"

#include <memory>
#include <string>

class CButtonPicture2;
class CKeyboardPicture;
class COffScreenControl;
class CSongData;
class QComboBox;
class QLabel;
class QLineEdit;

class CSongInfoDlg : public CModalDialog {
  Q_OBJECT

 public:
  // Enter: what the close button does.
  void accept() override;
  static constexpr int kTemplateId = 210;
  static constexpr uint32_t kMsgStopPlaying = 0x8000 + 23;
  // While the lyrics text is longer than this, its tail holds lyrics, not the alias and keyword.
  static constexpr int kLyricsBeforeAlias = 1534;

  explicit CSongInfoDlg(QWidget* parent = nullptr);
  ~CSongInfoDlg() override;
  static CSongInfoDlg* Instance();
  // The y of the row of buttons 0-4.
  static int ButtonRowTop(int scale);

  // Filled in by the creator: the song, and the melody panel's keyboard picture for the note
  // range (may be null).
  void SetSong(CSongData* song, CKeyboardPicture* keyboards);

  void OnButton(int code);
  // Stores the names and the lists and closes; stays open when a name is refused.
  void OnOK();
  void ToggleLanguage();
  void ShowTexts();
  // False (after its message) when a text was refused; nothing is stored then.
  bool StoreTexts();
  void ErrorMsg(int code);
  int Language() const { return language_; }

  QLineEdit* title = nullptr;       // 1057
  QLineEdit* composer = nullptr;    // 1058
  QLineEdit* lyricist = nullptr;    // 1059
  QLineEdit* alias = nullptr;       // 1060
  QLineEdit* keyword = nullptr;     // 1061
  QLineEdit* original = nullptr;    // 1062
  QComboBox* vocal = nullptr;       // 1086
  QComboBox* solo = nullptr;        // 1087
  QComboBox* harmony = nullptr;     // 1088
  QComboBox* subHarmony = nullptr;  // 1089
  QComboBox* division = nullptr;    // 1090
  QComboBox* bass = nullptr;        // 1091
  QLabel* bassLabel = nullptr;
  COffScreenControl* hosts[11] = {};  // 1065, 1028-1037 for buttons 0-10

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool LyricsCoverAlias() const;
  void WriteLabels(bool english);
  CSongData* song_ = nullptr;
  CKeyboardPicture* keyboards_ = nullptr;
  std::unique_ptr<CButtonPicture2> buttons_;
  int language_ = 0;
};
