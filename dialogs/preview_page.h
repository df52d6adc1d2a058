// The preview page (template 135, "購入/試聴"): the web page of one entry of the web song
// library in a browser, and a preview of the entry's song: its first bars (about 40 seconds)
// arranged in a style and with melody instruments the user picks, played on the MIDI-out
// device. The archive dialog's web half opens it modally with the downloaded song (or none),
// the entry's page address, the user data folder and the window size.
//
// Idle ("   試  聴") and playing ("   停  止"): button 1 toggles; the end of the song and a
// navigation away from the page stop the preview. The page closes with button 0 only while
// idle; closing it by its frame or Escape stops a playing preview first. The player's end
// arrives on the play thread and is posted: only the UI thread touches the page.
#pragma once

#include "dialogs/dialog_skeleton.h"
#include "platform/qt/app_message.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

class CButtonPicture4;
class CSongData;
class Midi0Data;
class QComboBox;
class QTimer;

namespace plat {
class WebBrowser;
}

class CTrialDlg : public CDialogSkeleton {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 135;
  static constexpr int kBrowserId = 1149;
  static constexpr int kCategoryComboId = 1022;
  static constexpr int kStyleComboId = 1019;
  static constexpr int kMelodyComboId = 1014;
  static constexpr int kSecondComboId = 1015;
  static constexpr int kBackHostId = 1065;
  static constexpr int kPreviewHostId = 1012;
  static constexpr int kNoInstrumentRow = 128;  // "なし" in the second instrument's list
  static constexpr int kPreviewSeconds = 40;
  static constexpr const char* kPreviewFileName = "trial.tmp";

  explicit CTrialDlg(QWidget* parent = nullptr);
  ~CTrialDlg() override;

  // Set before the page is shown.
  CSongData* song = nullptr;  // not owned; null for entries without a song
  std::string pageAddress;    // CP932, at most 259 bytes
  std::filesystem::path userDataFolder;
  int windowWidth = 800;
  int windowHeight = 600;

  static CTrialDlg* Current();

  // Button 0 closes (not while playing), button 1 toggles the preview.
  void OnButton(int code);
  void TogglePreview();
  // Arranges the preview song in the chosen style and instruments and plays it.
  void ComposePreview();
  // The browser is about to open `target`: a playing preview stops unless it is the page itself.
  void OnBeforeNavigate(const std::string& target);
  // Timer 1: the preview button blinks.
  void OnTimer();

  // The number of bars a preview plays: about 40 seconds at the song's tempo, at most the song.
  static int PreviewBars(int tempo, int beatsPerBar, int songBars);

  bool Playing() const { return playing_ != 0; }
  plat::WebBrowser* Browser() const { return browser_.get(); }
  const CSongData* PreviewSong() const { return previewSong_.get(); }
  QComboBox* CategoryCombo() const { return categories_; }
  QComboBox* StyleCombo() const { return styles_; }
  QComboBox* MelodyCombo() const { return melody_; }
  QComboBox* SecondCombo() const { return second_; }
  int BlinkFlag() const { return blink_; }

  void done(int result) override;

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;

 private:
  void FillCombos();
  void UpdateInstrumentCombos();
  void LayOut(int scale);
  void StopPreview();
  // Stops the player and waits for its thread's end; a later end notice is dropped.
  void StopPlayer();
  void SetPreviewCaption(const char* caption);
  void CloseDown();

  std::unique_ptr<plat::WebBrowser> browser_;
  QComboBox* categories_ = nullptr;
  QComboBox* styles_ = nullptr;
  QComboBox* melody_ = nullptr;
  QComboBox* second_ = nullptr;
  std::unique_ptr<CSongData> previewSong_;
  std::unique_ptr<Midi0Data> player_;
  std::unique_ptr<CButtonPicture4> buttons_;
  QTimer* blinkTimer_ = nullptr;
  int playing_ = 0;
  int blink_ = 0;
  uintptr_t playGeneration_ = 0;  // of the play whose end counts
  bool closedDown_ = false;
};
