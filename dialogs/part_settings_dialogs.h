// The settings of one part of the song's own style record, opened from the song information:
// "ベース", "ハーモニー" and "ドラム" (octave, pattern, note density, volume of channels 2, 3, 7
// and 9) and "主旋律の設定" (volume of channels 1 and 15, and the layered notes of the melody
// played an octave up). Only the close button stores; Enter and Escape leave the song as it was.
#pragma once

#include "dialogs/modal_dialog.h"

#include <memory>

class CButtonPicture3;
class COffScreenControl;
class CSongData;
class QComboBox;
class QLabel;
class QSpinBox;

// The octave choices: label and stored code.
struct OctaveChoice {
  const char* label;
  int code;
};
extern const OctaveChoice OctaveChoiceTable[6];

class CHarmonyDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 251;

  explicit CHarmonyDlg(QWidget* parent = nullptr);
  ~CHarmonyDlg() override;
  static CHarmonyDlg* Instance();

  // Channel 2 (bass), 3 (main accompaniment), 7 (second accompaniment) or 9 (drums).
  void SetPart(CSongData* song, int channel);
  static int ButtonTop(int scale);

  // The close button: stores the chosen rows, the density and the volume, and closes.
  void OnButton(int index);

  QLabel* octaveLabel = nullptr;    // 1174
  QLabel* patternLabel = nullptr;   // 1175
  QComboBox* octaveList = nullptr;  // 1021
  QComboBox* patternList = nullptr; // 1022
  QSpinBox* density = nullptr;      // 1177 (spin 1178)
  QSpinBox* volume = nullptr;       // 1186 (spin 1187)
  COffScreenControl* closeHost = nullptr;  // 1065

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  int32_t* PatternField();
  CSongData* song_ = nullptr;
  int channel_ = 3;
  std::unique_ptr<CButtonPicture3> buttons_;
};

class CMdyDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 253;

  explicit CMdyDlg(QWidget* parent = nullptr);
  ~CMdyDlg() override;
  static CMdyDlg* Instance();

  // Channel 1 (vocal) or 15 (instrument solo).
  void SetPart(CSongData* song, int channel);
  void OnButton(int index);

  QSpinBox* volume = nullptr;   // 1186 (spin 1187)
  QSpinBox* layered = nullptr;  // 1189 (spin 1190)
  COffScreenControl* closeHost = nullptr;  // 1065

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  bool LayeredShown() const;
  CSongData* song_ = nullptr;
  int channel_ = 1;
  std::unique_ptr<CButtonPicture3> buttons_;
};
