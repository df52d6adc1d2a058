// The chord input panel "コード入力": key, root, chord type, bass note and beats of the chord under
// the main window's chord cursor, entered on the beat (表), on its second half (裏) or erased
// (消). A table of the key's chords picks a chord with a click; the advice box explains the
// harmonic function of the previous and the current chord. Every choice of the user's is written
// into the song at once through the main window.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <memory>
#include <string>
#include <vector>

class CChordTablePicture;
class COffScreenControl;
class CPanelOwner;
class QComboBox;
class QGroupBox;
class QPlainTextEdit;
class QSpinBox;

class CChordDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 129;
  static constexpr uint32_t kMsgAdvice = 0x8000 + 13;
  static constexpr uint32_t kMsgRefresh = 0x8000 + 15;
  static constexpr uint32_t kMsgRedrawChordCells = 0x8000 + 37;
  static constexpr uint32_t kMsgRedrawRows = 0x8000 + 38;
  static constexpr uint32_t kMsgReloadPanel = 33078;
  static constexpr int kTableRows = 2;
  static constexpr int kTableColumns = 7;

  explicit CChordDlg(QWidget* parent = nullptr);
  ~CChordDlg() override;

  static CChordDlg* Instance();
  void SetPanelOwner(CPanelOwner* owner);

  // ---- what the main window calls -----------------------------------------------------------
  void FillTypeAndKeyLists();
  void BuildKeyChordTable();
  void PostRefresh();
  void RefreshForKey();
  void EnableForEntryMode();
  // Row and column of the cell holding the chord name; -1, -1 when none.
  void FindChordInTable(const std::string& name, int* row, int* column) const;
  void PutChordInTable(const std::string& name, int* row, int* column);
  void FillBassList(int keyRow);
  void SelectChordInTable();
  void ApplySelection();

  // ---- the panel's own steps -----------------------------------------------------------------
  void OnRootChanged();
  void OnTypeChanged();
  void OnEntryModeChanged();
  void OnChordTablePress(int row, int column);
  int CanEraseChord(int bar, int beat) const;
  void ShowAdvice();
  std::vector<std::string> AdviceLines() const;
  static std::string HarmonicFunction(int keyRow, int root, int type);
  static std::string NextFunction(const std::string& function);
  void ErrorMsg(int code);
  // The chord table's texts (24 rows x 16 columns of 32 bytes; 2 x 7 are shown).
  const std::vector<char>& TableText() const { return tableText_; }

  // ---- controls (object names are their resource ids) ----------------------------------------
  QGroupBox* groups[4] = {};          // 1054, 1056, 1052, 1053
  QComboBox* keyList = nullptr;       // 1001
  QComboBox* modeList = nullptr;      // 1002
  QComboBox* rootList = nullptr;      // 1018
  QComboBox* typeList = nullptr;      // 1019
  QComboBox* bassList = nullptr;      // 1020
  QSpinBox* beatsSpin = nullptr;      // 1032 (with its spin 1033)
  COffScreenControl* tableHost = nullptr;  // 1040
  QPlainTextEdit* adviceBox = nullptr;     // 1055
  // The main window's buttons 19, 20 and 21 (controls 1041, 1042, 1043).
  COffScreenControl* buttonHosts[3] = {};

 protected:
  bool OnInitDialog() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void CopyPictures() override;

 private:
  std::string SelectedChordName() const;
  void SetTableCell(int row, int column, const std::string& text);
  CPanelOwner* panelOwner_ = nullptr;
  std::unique_ptr<CChordTablePicture> table_;
  std::vector<char> tableText_;
  int ready_ = 0;
};
