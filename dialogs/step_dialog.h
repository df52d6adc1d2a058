// Step input "ステップ入力": the whole melody as a list, one row per note slot (three to an
// eighth), where each slot's value and lyric are set directly; "ステップ編集" edits one slot and
// can walk to the previous or next note. Every change goes straight into the song and the main
// window is told to redraw.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <functional>
#include <memory>
#include <string>

class CButtonPicture2;
class CButtonPicture3;
class COffScreenControl;
class CSongData;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;

class CStepEditDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 212;
  static constexpr uint32_t kMsgFocusLyric = 0x8000 + 200;
  static constexpr size_t kLyricBytes = 7;

  explicit CStepEditDlg(QWidget* parent = nullptr);
  ~CStepEditDlg() override;
  static CStepEditDlg* Instance();

  // In: set before the dialog opens.
  std::string barText;
  std::string beatText;
  int thirdPart = 0;  // 1: the slot may be an empty third part
  // In and out.
  int value = 0;
  std::string lyric;
  // Out: 0 close, -1 previous, 1 next; and what the user changed.
  int result = 0;
  bool valueChanged = false;
  bool lyricChanged = false;

  void OnButton(int index);
  void TakeValues();

  QLabel* barLabel = nullptr;     // 1059
  QLabel* beatLabel = nullptr;    // 1060
  QComboBox* valueList = nullptr;  // 1061
  QLineEdit* lyricBox = nullptr;   // 1034
  COffScreenControl* buttonHosts[3] = {};  // 1065, 1004, 1005

 protected:
  bool OnInitDialog() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void CopyPictures() override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  std::unique_ptr<CButtonPicture3> buttons_;
  std::string acceptedLyric_;
  bool picked_ = false;  // the user chose in the value list
};

class CStepDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 211;
  static constexpr uint32_t kMsgEditRow = 0x8000 + 24;
  static constexpr uint32_t kMsgRedrawPage = 0x8000 + 18;
  static constexpr uint32_t kMsgRedrawRows = 0x8000 + 38;
  // The longest event: a whole note of eighths, three slots each.
  static constexpr int kMaxEventSlots = 24;

  explicit CStepDlg(QWidget* parent = nullptr);
  ~CStepDlg() override;
  static CStepDlg* Instance();

  void SetSong(CSongData* song) { song_ = song; }
  // The row selected first: (absolute eighth) x 3, plus 1 on the second sixteenth.
  int startRow = 0;
  // Runs the step editor modally (tests put their own here).
  std::function<int(CStepEditDlg&)> runEditor;

  static std::string FormatRow(CSongData& song, int bar, int beat, int eighth, int slot);
  // The caption of a pitch on buttons 1 and 2.
  static std::string PitchCaption(int pitch);
  // The buttons' row top for a display scale.
  static int ButtonTop(int scale);

  void UpdateButtonCaptions();
  void OnButton(int index);
  void SetSlotValue(int value);
  void EditRow();
  bool CheckEventLengths(int row) const;

  QListWidget* list = nullptr;  // 1058
  COffScreenControl* buttonHosts[3] = {};  // 1065, 1066, 1067

 protected:
  bool OnInitDialog() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void CopyPictures() override;

 private:
  int Rows() const;
  int SlotAt(int row) const;
  // Rewrites every row whose text changed (rest starts move with an edit).
  void RewriteRows();
  int EventStart(int row) const;
  int EventLength(int start) const;
  void SelectRow(int row);
  CSongData* song_ = nullptr;
  std::unique_ptr<CButtonPicture2> buttons_;
  std::string restCaption_;
};
