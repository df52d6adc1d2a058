// The melody input panel "メロディ入力": the note of the melody cell under the score cursor, its
// length, register (or rest or rap), note name and lyric syllable. Notes come from its keyboard,
// its length buttons, the PC keys through the keyboard hook, a MIDI keyboard and the guitar
// panel; every change goes to the main window, which writes the note at its cursor, sounds it and
// redraws the score. The advice box describes the melodic motion and the notes within reach.
//
// The fields it shows and enters are the main window's (MelodyPanelFields); the lists show them
// and only the user's own changes to the lists and the lyric box enter anything.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <memory>
#include <string>
#include <vector>

class CBitmapGridPicture;
class CKeyboardPicture;
class COffScreenControl;
class CPanelOwner;
class CSongData;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// A PC key of the note keys: virtual key, semitones from note 60, the character on the key.
struct PcKeyNote {
  int vk;
  int offset;
  const char* label;
};
extern const PcKeyNote PcKeyNoteTable[20];
// The length buttons, 2 rows (notes, rests) by 10 columns: each column's length in eighths,
// each cell's bitmap, and the guide labels of the digit keys (null: none).
struct LengthButtons {
  double eighths[10];
  int bitmaps[2][16];
  const char* guides[2][10];
};
extern const LengthButtons LengthButtonTable;

class CMelodyDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 130;
  // Messages.
  static constexpr uint32_t kMsgAdvice = 0x8000 + 13;
  static constexpr uint32_t kMsgGuitarNote = 0x8000 + 21;
  static constexpr uint32_t kMsgHookKey = 0x8000 + 30;
  static constexpr uint32_t kMsgInputMode = 0x8000 + 33;
  static constexpr uint32_t kMsgEnterNote = 0x8000 + 10;
  static constexpr uint32_t kMsgEnterNoteNow = 0x8000 + 35;
  static constexpr uint32_t kMsgNextCell = 0x8000 + 16;
  static constexpr uint32_t kMsgPreviousCell = 0x8000 + 32;
  static constexpr uint32_t kMsgEnterKey = 0x8000 + 17;
  static constexpr uint32_t kMsgStoreLyric = 0x8000 + 34;

  explicit CMelodyDlg(QWidget* parent = nullptr);
  ~CMelodyDlg() override;

  // The live panel (null when none); the pictures' callbacks reach it through this.
  static CMelodyDlg* Instance();

  void SetPanelOwner(CPanelOwner* owner);

  // ---- what the main window calls -----------------------------------------------------------
  void FillNoteLengthLists();
  void ShowCursorNote();
  void OnKeyboardNote(int note);
  void RebuildKeyboard();
  // The keyboard picture (the note-range dialog adds its keyboard to it).
  CKeyboardPicture* KeyboardPicture() const { return keyboard_.get(); }
  void ColourScaleKeys();
  void SetKeyLabels();
  void SetLengthLabels();
  void ClearLengthLabels();
  // 0 when refused (a rest with a lyric), else 1.
  int SendNoteToScore(int redrawAll, int audition, int post);
  // Records what the user changed (MelodyPanelFields::kPitchChanged ...), to be entered.
  void MarkChanged(int parts);

  // ---- the panel's own steps ---------------------------------------------------------------
  void SelectLengthButton(int row, int column, int advance);
  void SyncLengthButtons();
  // A key from the keyboard hook: bits 1 Ctrl, 2 Shift, 4 Alt.
  void OnHookKey(int key, int bits);
  void UpdatePressedKey();
  void OnLyricChanged();
  void ShowMessageCode(int code);
  void ShowAdvice();
  // The six advice lines (the box shows them each followed by CR LF).
  std::vector<std::string> AdviceLines() const;

  // The value before (bar, eighth), stepping back over held cells and, for a rest, to the first
  // rest of its run; -1 at (-1, -1) before the song's start.
  static int FindPreviousNote(const CSongData& song, int bar, int eighth, int* foundBar,
                              int* foundEighth);
  static std::string FormatPitchName(int pitch);
  static bool IsChordTone(int keyRow, int root, int type, int pitch);
  // A keyboard note folded by octaves into the panel's four registers (48-95).
  static int FoldIntoRegisters(int note);

  // The length buttons' picture (the triplet panel adds its buttons to it).
  CBitmapGridPicture* LengthGrid() const { return lengthGrid_.get(); }

  // ---- controls (object names are their resource ids) ----------------------------------------
  QComboBox* lengthList = nullptr;  // 1019
  QComboBox* typeList = nullptr;    // 1021
  QComboBox* nameList = nullptr;    // 1020
  QLineEdit* lyricBox = nullptr;    // 1034
  QPlainTextEdit* adviceBox = nullptr;  // 1055
  COffScreenControl* keyboardHost = nullptr;  // 1041
  COffScreenControl* lengthHost = nullptr;    // 1040
  // The main window's buttons 14-18 (controls 1004, 1005, 1051, 1052, 1042).
  COffScreenControl* buttonHosts[5] = {};
  QLabel* captions[4] = {};  // 1047-1050

 protected:
  bool OnInitDialog() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void CopyPictures() override;
  void accept() override;
  // Enter, wherever in the panel, ends the cell (the window tidies its rests and moves on).
  void keyPressEvent(QKeyEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void CreateKeyboard();
  void OnTypeChanged();
  void OnNameChanged();
  void OnLengthChanged();
  int TypeRow() const;
  int NameRow() const;
  int InputModeOf() const;
  CPanelOwner* panelOwner_ = nullptr;
  std::unique_ptr<CKeyboardPicture> keyboard_;
  std::unique_ptr<CBitmapGridPicture> lengthGrid_;
  bool pending_ = false;  // a change of the user's not yet entered
};
