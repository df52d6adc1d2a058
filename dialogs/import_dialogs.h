// Two dialogs of the imports: "Melody Channel", which asks which channel of a Standard MIDI
// File being imported holds the melody and can preview a channel, and "ABC Notation", a box for
// ABC text that the main window then imports into the song.
#pragma once

#include "dialogs/config_block.h"
#include "dialogs/modal_dialog.h"

#include <cstddef>
#include <memory>

class CButtonPicture2;
class COffScreenControl;
class Midi0Data;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class CMelodyChannelDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 218;
  static constexpr uint32_t kMsgPreviewEnd = 0x8000 + 1;

  explicit CMelodyChannelDlg(QWidget* parent = nullptr);
  ~CMelodyChannelDlg() override;
  static CMelodyChannelDlg* Instance();

  // The song being imported, the proposed channel (0-15) and the settings (output device).
  void SetSong(const Midi0Data* song, int channel, const ConfigData* config);
  // The chosen channel: the proposed one unless "読込" chose another.
  int Channel() const { return channel_; }
  bool Previewing() const { return previewing_; }

  void OnButton(int index);
  void TogglePreview();
  void OnPreviewEnd();

  QLabel* label = nullptr;           // 1184
  QComboBox* channelList = nullptr;  // 1082
  COffScreenControl* hosts[2] = {};  // 1065, 1066

 protected:
  bool OnInitDialog() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void CopyPictures() override;
  void done(int result) override;

 private:
  void StopPreview();
  const Midi0Data* song_ = nullptr;
  const ConfigData* config_ = nullptr;
  std::unique_ptr<Midi0Data> copy_;
  std::unique_ptr<CButtonPicture2> buttons_;
  int channel_ = 0;
  bool previewing_ = false;
  unsigned generation_ = 0;
};

class CAbcNotationDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 268;

  explicit CAbcNotationDlg(QWidget* parent = nullptr);

  // The caller's buffer: "投入" puts the text there, with its end, in at most size - 1 bytes.
  void SetBuffer(char* buffer, size_t size);
  // True when "投入" put a text into the buffer ("破棄", Escape and an empty box put none).
  bool TextCame() const { return textCame_; }
  size_t TextLength() const { return length_; }

  void OnSubmit();
  void OnDiscard();

  QPlainTextEdit* textBox = nullptr;  // 1189
  QPushButton* submit = nullptr;      // 1190 "投入"
  QPushButton* discard = nullptr;     // 1191 "破棄"

 protected:
  bool OnInitDialog() override;

 private:
  char* buffer_ = nullptr;
  size_t size_ = 0;
  size_t length_ = 0;
  bool textCame_ = false;
};
