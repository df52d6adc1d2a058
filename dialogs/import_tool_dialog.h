// The import tool: a modeless panel "インポートツール" that reads a Standard MIDI File on a worker
// thread and shows one channel of it on four score rows, bar by bar; four bars of it can be
// previewed, and bars of the song dropped onto the rows are written into that channel.
//
// The rows are rows of the main window's score picture and the buttons (22 close, 23 read,
// 24 preview) and the second knob belong to the main window; the panel hosts them.
#pragma once

#include "dialogs/config_block.h"
#include "dialogs/dialog_skeleton.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <thread>

class COffScreenControl;
class CRhythmStaffPicture;
class CSongData;
class Midi0Data;
class Midi1Data;
class MidiOutDevice;
class QComboBox;
class QScrollBar;

namespace plat {
class UiTimers;
}  // namespace plat

// The import tool's song: 17 tracks (the events without channel, then channel c in track c + 1)
// at 240 ticks per quarter; null when none is loaded. Owned by the import tool.
extern Midi1Data* ImportToolSong;

class CImportToolDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 216;
  static constexpr int kParseTimer = 101;
  static constexpr int kParseTimerMs = 100;
  static constexpr int kRowCount = 4;
  static constexpr int kKnob = 1;  // the main window's second knob
  static constexpr int kDivision = 240;
  // Private messages of the panel.
  static constexpr uint32_t kMsgParsed = 0x8000 + 1;      // wparam: the parse's number
  static constexpr uint32_t kMsgPreviewEnd = 0x8000 + 2;  // wparam: the preview's number
  // Scroll codes (as the main window's scroll bar has them).
  enum ScrollCode {
    kLineLeft = 0, kLineRight = 1, kPageLeft = 2, kPageRight = 3, kThumbPosition = 4,
    kThumbTrack = 5, kFarLeft = 6, kFarRight = 7, kEndScroll = 8
  };

  explicit CImportToolDlg(QWidget* parent = nullptr);
  ~CImportToolDlg() override;
  static CImportToolDlg* Instance();

  // What the panel uses of the main window: the settings (output device), the playing flag the
  // preview sets, the audition device the preview closes, and the score picture whose rows
  // `firstRow` .. `firstRow` + 3 are the panel's rows and `firstRow` + 4 their header.
  void SetLinks(ConfigData* config, std::atomic<int>* isPlaying, MidiOutDevice** auditionDevice,
                CRhythmStaffPicture** scorePicture);
  void SetFirstRow(int firstRow) { firstRow_ = firstRow; }
  int FirstRow() const { return firstRow_; }

  // Button 23: a file chosen in the open dialog is read.
  void OpenSmfWithDialog();
  // Reads the file on a worker; false (nothing starts) while another file is being read.
  bool StartParse(const std::filesystem::path& path);
  bool Parsing() const { return parsing_.load(); }
  // Waits until the worker has ended (its result, if any, is dropped). The UI thread keeps
  // serving the boxes a worker may raise meanwhile.
  void WaitForParse();
  void OnParseTimer();
  // The four rows show bars first .. first + 3 of the chosen channel.
  void ShowRows();
  int ScrollLimit() const;
  void UpdateScrollRange();
  void OnScroll(int code, int thumb);
  void OnChannelChanged();
  // Bar `songBar` of the song written into the chosen channel at the shown bar of `row`.
  // Returns false when nothing was written.
  bool WriteBarsToChannel(int row, int songBar, const CSongData* song);
  // Button 24: plays the four shown bars of the chosen channel, or stops them.
  void TogglePreview();
  void OnPreviewEnd();
  // The four shown bars of the chosen channel as the format-0 song the preview plays (null
  // without a song).
  std::unique_ptr<Midi0Data> MakePreviewSong() const;
  bool Previewing() const { return preview_ != nullptr; }
  // The song's metre changed: its numerator shows on the header row, the rows follow.
  void SetBeatsPerBar(int beats);
  // The song was replaced: the tool's song goes and its rows are cleared.
  void ClearImport();

  int FirstBar() const { return firstBar_; }
  int Channel() const { return channel_; }
  int BeatsPerBar() const { return beats_; }
  int KnobPosition() const { return knobPosition_; }
  const std::filesystem::path& ChosenPath() const { return path_; }

  COffScreenControl* rowHosts[kRowCount] = {};  // 1077-1080
  COffScreenControl* headerHost = nullptr;      // 1081
  COffScreenControl* knobHost = nullptr;        // 1027
  COffScreenControl* buttonHosts[3] = {};       // 1074 (22), 1075 (23), 1076 (24)
  QComboBox* channelList = nullptr;             // 1082
  QScrollBar* scrollBar = nullptr;              // 1083

 protected:
  bool OnInitDialog() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void CopyPictures() override;

 private:
  CRhythmStaffPicture* Picture() const { return scorePicture_ ? *scorePicture_ : nullptr; }
  // The track of the chosen channel among tracks 1-16 (null when none).
  int ChannelTrack(bool allowUnused) const;
  // The worker: reads the file into a song of its own and posts the parse's number.
  void ParseThread(const std::filesystem::path& path, uintptr_t generation);
  void OnParseDone(uintptr_t generation);
  void FinishParse();
  void StopPreview();
  void CopyRows();

  ConfigData* config_ = nullptr;
  std::atomic<int>* isPlaying_ = nullptr;
  MidiOutDevice** auditionDevice_ = nullptr;
  CRhythmStaffPicture** scorePicture_ = nullptr;
  int firstRow_ = -1;
  int firstBar_ = 0;
  int channel_ = 0;
  int beats_ = 4;
  int knobPosition_ = 0;
  std::filesystem::path path_;

  std::unique_ptr<Midi0Data> preview_;
  uintptr_t previewGeneration_ = 0;

  // The worker reads into a song of its own; the UI thread takes it when the parse's number is
  // still the current one (a clear in between drops it).
  std::thread worker_;
  std::atomic<bool> parsing_{false};
  std::mutex parseMutex_;
  std::condition_variable parseEnded_;
  bool workerDone_ = false;
  std::unique_ptr<Midi1Data> parsed_;
  uintptr_t parseGeneration_ = 0;
  bool closing_ = false;
  plat::UiTimers* timers_ = nullptr;
};
