// The settings dialogs: "設定" (note ranges, guide, MIDI devices, lead-in, command interval,
// exclusive messages, screen layout, advice, web library, audio quality, thicker mobile sound,
// input velocity) and "入出力設定" (the MP3 encoder program and the lyric events of exported MIDI
// files). Both edit the live settings block; there is no copy to cancel, so what the guide box,
// RESET, "..." and a refused OK store stays however the dialog is closed.
#pragma once

#include "dialogs/config_block.h"
#include "dialogs/modal_dialog.h"
#include "dialogs/settings_host.h"

#include <memory>
#include <string>

class CButtonPicture3;
class CMelodyDlg;
class COffScreenControl;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

// One row of the layout list: the mode, the smallest screen it is meant for, its label.
struct ScreenLayoutRow {
  int mode;
  int width, height;
  const char* label;
};
extern const ScreenLayoutRow ScreenLayoutTable[7];
// The row of a mode (0 for a mode the table lacks).
int ScreenLayoutRowOf(int mode);

class CConfigDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 228;

  explicit CConfigDlg(QWidget* parent = nullptr);
  ~CConfigDlg() override;

  static CConfigDlg* Instance();
  // The y of the OK and RESET buttons at a display scale.
  static int ButtonTop(int scale);

  // Filled in by the creator before the dialog runs. The melody panel may be missing.
  void SetSettings(ConfigData* config, CSettingsHost* host, CMelodyDlg* melodyPanel);
  // 1 when OK or RESET changed the stored layout (the window is then laid out again).
  int LayoutChanged() const { return layoutChanged_; }

  // The skin buttons' press callback: 0 OK, 1 RESET.
  void OnButton(int index);
  void OnGuideClicked();
  void LoadControls();
  void ErrorMsg(int code);

  QSpinBox* keyboardLow = nullptr;     // 1101 (spin 1105)
  QSpinBox* keyboardHigh = nullptr;    // 1102 (spin 1107)
  QCheckBox* guide = nullptr;          // 1097
  QSpinBox* scoreLow = nullptr;        // 1103 (spin 1108)
  QSpinBox* scoreHigh = nullptr;       // 1104 (spin 1109)
  QComboBox* midiInList = nullptr;     // 1098
  QComboBox* midiOutList = nullptr;    // 1099
  QSpinBox* leadIn = nullptr;          // 1106 (spin 1110)
  QSpinBox* interval = nullptr;        // 1111 (spin 1112)
  QCheckBox* exclusive = nullptr;      // 1136
  QComboBox* layoutList = nullptr;     // 1100
  QCheckBox* advice = nullptr;         // 1137
  QCheckBox* hideWeb = nullptr;        // 1139
  QComboBox* qualityList = nullptr;    // 1170
  QCheckBox* thicken = nullptr;        // 1138
  QSpinBox* velocity = nullptr;        // 1158 (spin 1159)
  COffScreenControl* okHost = nullptr;     // 1065
  COffScreenControl* resetHost = nullptr;  // 1066

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  void StoreDevices();
  ConfigData* config_ = nullptr;
  CSettingsHost* host_ = nullptr;
  CMelodyDlg* melodyPanel_ = nullptr;
  std::unique_ptr<CButtonPicture3> buttons_;
  int layoutChanged_ = 0;
};

class CInoutConfigDlg : public CModalDialog {
  Q_OBJECT

 public:
  // Enter: what the close button does.
  void accept() override;
  static constexpr int kTemplateId = 250;

  explicit CInoutConfigDlg(QWidget* parent = nullptr);
  ~CInoutConfigDlg() override;

  static CInoutConfigDlg* Instance();
  void SetSettings(ConfigData* config) { config_ = config; }

  // The OK skin button (and Enter): stores the path and the lyric events and closes; a path
  // longer than its field or with characters it cannot hold is refused and the dialog stays.
  void OnOk();
  // "...": a chosen program's path is stored at once.
  void OnBrowse();

  QLineEdit* pathBox = nullptr;        // 1171
  QPushButton* browse = nullptr;       // 1172
  QComboBox* lyricEvents = nullptr;    // 1192
  COffScreenControl* okHost = nullptr; // 1065

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  ConfigData* config_ = nullptr;
  std::unique_ptr<CButtonPicture3> buttons_;
};

// A hidden number box and OK; nothing opens it.
class CDebugDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 231;
  explicit CDebugDlg(QWidget* parent = nullptr);

 protected:
  bool OnInitDialog() override;
};
