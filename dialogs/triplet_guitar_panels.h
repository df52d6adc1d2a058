// Two small panels beside the melody panel: "３連音符" rewrites the melody's slots into one of
// six triplet patterns (the main window does it), and "ギター" enters the note of a clicked fret
// through the melody panel.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <memory>

class CBitmapGridPicture;
class COffScreenControl;
class CStringsMultiPicture;
class QComboBox;

extern const int TripletButtonBitmaps[2][16];

class CTripletDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 254;
  static constexpr uint32_t kMsgTriplet = 0x8000 + 41;

  explicit CTripletDlg(QWidget* parent = nullptr);
  ~CTripletDlg() override;
  static CTripletDlg* Instance();

  // The melody panel's length-button picture: the triplet buttons are its next grid.
  void SetSharedPicture(CBitmapGridPicture* picture) { picture_ = picture; }
  int Grid() const { return grid_; }

  void OnTripletPress(int row, int column);

  COffScreenControl* gridHost = nullptr;  // 1040
  QComboBox* placementList = nullptr;     // 1051

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  CBitmapGridPicture* picture_ = nullptr;
  int grid_ = -1;
};

class CGuitarDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 217;
  static constexpr uint32_t kMsgGuitarNote = 0x8000 + 21;
  static constexpr int kClientWidth = 300;
  static constexpr int kClientHeight = 448;

  explicit CGuitarDlg(QWidget* parent = nullptr);
  ~CGuitarDlg() override;
  static CGuitarDlg* Instance();

  // The panel that takes the notes.
  void SetMelodyPanel(QObject* panel) { melodyPanel_ = panel; }

  void OnFretPress(int note);

  COffScreenControl* boardHost = nullptr;  // 1084

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  QObject* melodyPanel_ = nullptr;
  std::unique_ptr<CStringsMultiPicture> board_;
};
