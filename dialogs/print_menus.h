// The external input/output menu and the print options, two small modal dialogs of the main
// window's external input/output button.
//
// CMidiDlg (template 215): eight skinned buttons. Six end the menu with a choice the main window
// then carries out (1 import, 2 export, 3 score image, 4 print score, 5 mobile transfer, 6 join
// a song file); the import-tool button shows the import tool and ends with choice 0; the
// settings button opens the input/output settings on top of the menu, which stays open.
//
// CPrintDlg (template 235): the title, lyric and chord options of printing and of the score
// image, all on when it opens. Its OK button reads the boxes; closed any other way the options
// stay on.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <functional>
#include <memory>

class CButtonPicture2;
class CButtonPicture3;
class COffScreenControl;
class QCheckBox;
struct ConfigData;

class CMidiDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 215;

  explicit CMidiDlg(QWidget* parent = nullptr);
  ~CMidiDlg() override;

  // Handed to the input/output settings.
  ConfigData* settings = nullptr;
  // Shows the import tool and copies its score rows to the screen.
  std::function<void()> showImportTool;
  // Runs the input/output settings dialog modally with the settings.
  std::function<void(ConfigData*)> runSettings;

  int Choice() const { return choice_; }
  // A press of the button (0-7).
  void OnButton(int code);

  // The menu open now, null when none.
  static CMidiDlg* Current();

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  int choice_ = 0;
  COffScreenControl* hosts_[8] = {};
  std::unique_ptr<CButtonPicture2> buttons_;
};

class CPrintDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 235;

  explicit CPrintDlg(QWidget* parent = nullptr);
  ~CPrintDlg() override;

  int chords = 1;
  int lyrics = 1;
  int title = 1;

  // The OK button: reads the boxes, and ends the dialog 100 ms later.
  void OnButton(int code);
  // The top of the OK button for a display scale in per cent.
  static int ButtonTop(int displayScale);

  static CPrintDlg* Current();

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  QCheckBox* chordBox_ = nullptr;   // 1151
  QCheckBox* lyricBox_ = nullptr;   // 1150
  QCheckBox* titleBox_ = nullptr;   // 1152
  COffScreenControl* host_ = nullptr;
  std::unique_ptr<CButtonPicture3> button_;
};
