// The lyric input panel "歌詞を流し込む": a lyric is typed or pasted, split into syllables and
// poured onto the melody's notes from the score cursor on; four buttons move syllables between
// neighbouring notes; a list keeps the texts poured so far with their places and is saved to and
// loaded from "lyric.dat". The main window does the pouring and the moves on the song.
//
// The lyric view "歌詞" shows and edits the song's lyric text as a whole and can rebuild it from
// the lyrics on the notes.
#pragma once

#include "dialogs/dialog_skeleton.h"

#include <memory>
#include <string>

class CButtonPicture3;
class COffScreenControl;
class CSongData;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

// What the lyric panel needs of the main window besides CDialogOwner.
class CLyricPanelOwner {
 public:
  virtual ~CLyricPanelOwner() = default;
  // The text the window pours (at most 1,023 bytes of CP932).
  virtual std::string& LyricText() = 0;
  // The score cursor: absolute bar and eighth, -1 without a cursor.
  virtual void LyricCursor(int* bar, int* eighth) const = 0;
};

// The 19 small kana and the long mark that stay with the character before them.
extern const char* const AttachMarkTable[19];

// Splits a lyric into syllables, each followed by a blank: blanks are dropped; a small kana or
// long mark stays with the character before it unless a blank follows the mark; a line break
// ends a syllable and stays as it is.
std::string SplitLyricSyllables(const std::string& text);
bool IsAttachMark(const char* character);

class CLyricInputDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 232;
  static constexpr size_t kTextBytes = 1023;
  static constexpr uint32_t kMsgPour = 0x8000 + 40;
  static constexpr uint32_t kMsgSplitAndPush = 0x8000 + 42;

  explicit CLyricInputDlg(QWidget* parent = nullptr);
  ~CLyricInputDlg() override;
  static CLyricInputDlg* Instance();

  void SetLyricOwner(CLyricPanelOwner* owner) { lyricOwner_ = owner; }

  void SplitSyllables();
  void PourLyric();
  void AddToList();
  void ClearList();
  void TakeFromList(int row);
  void LoadList();
  void SaveList();
  void RefreshList();
  // One of the four cell-edit buttons (0-3 for controls 1154-1157).
  void CellEdit(int index);

  QPlainTextEdit* textBox = nullptr;  // 1146
  QListWidget* list = nullptr;        // 1152
  QPushButton* buttons[6] = {};       // 1147, 1153, 1148, 1151, 1149, 1150
  QPushButton* cellButtons[4] = {};   // 1154-1157
  QPushButton* okButton = nullptr;    // 1 (OK)

 protected:
  bool OnInitDialog() override;
  void accept() override;

 private:
  // The cursor as the panel posts it: the song's start without a cursor.
  void CursorPlace(int* bar, int* eighth) const;
  CLyricPanelOwner* lyricOwner_ = nullptr;
};

class CLyricDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 214;
  static constexpr size_t kTextBytes = 2047;

  explicit CLyricDlg(QWidget* parent = nullptr);
  ~CLyricDlg() override;
  static CLyricDlg* Instance();

  void SetSong(CSongData* song) { song_ = song; }
  void OnButton(int index);

  QPlainTextEdit* lyricBox = nullptr;  // 1034
  COffScreenControl* buttonHosts[2] = {};  // 1065, 1066

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;

 private:
  CSongData* song_ = nullptr;
  std::unique_ptr<CButtonPicture3> buttons_;
};

// Keeps a text box within `maxBytes` bytes of CP932: an edit that would pass them is undone
// and the dialog says so.
void LimitTextBox(CDialogSkeleton* dialog, QPlainTextEdit* box, size_t maxBytes);
