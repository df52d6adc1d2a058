// The bar-range edit dialog "編集": one of sixteen operations on a range of bars and its numbers
// (first bar, last bar or a beat or eighth of the first bar, and a target bar or semitones). It
// only collects the choice; the main window runs it on the song.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <cstdint>
#include <memory>

class COffScreenControl;
class CButtonPicture3;
class QComboBox;
class QLabel;
class QSpinBox;

// The operations in the order of the list (code = row).
struct BarEditOperation {
  int code;
  const char* label;
};
extern const BarEditOperation BarEditOperationTable[16];

class CCopyDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 131;
  explicit CCopyDlg(QWidget* parent = nullptr);
  ~CCopyDlg() override;
  static CCopyDlg* Instance();

  // Set by the main window before the dialog opens (from and to 1-based).
  int beatsPerBar = 4;
  int from = 1;
  int to = 1;
  // Read by the main window afterwards.
  int16_t target = 0;
  int operation = -1;
  int ready = 0;

  void OnOperationChanged();
  void LayoutForOperation();
  void OnFromChanged();
  void TakeValues();
  void OnButton(int index);

  // Controls (object names are their resource ids; a number box and its spin are one control
  // named after the box).
  QSpinBox* fromBox = nullptr;    // 1024 (spin 1025)
  QSpinBox* toBox = nullptr;      // 1026 (spin 1027)
  QSpinBox* targetBox = nullptr;  // 1028 (spin 1029)
  QLabel* fromLabel = nullptr;    // 1068
  QLabel* toLabel = nullptr;      // 1069
  QLabel* targetLabel = nullptr;  // 1030
  QLabel* tailLabel = nullptr;    // 1031
  QComboBox* operationList = nullptr;  // 1051
  COffScreenControl* buttonHosts[2] = {};  // 1065, 1066

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;
  void keyPressEvent(QKeyEvent* event) override;
  void reject() override;

 private:
  std::unique_ptr<CButtonPicture3> buttons_;
};
