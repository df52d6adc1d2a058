// The archive dialog "アーカイブ", where the user picks a song to open: on the left the personal
// library (the song files of the folder "Archive", listed under a popularity filter and searched
// through the search dialog "検索"), on the right the web song library, which a web half object
// fills in.
//
// Listing and searching run on one worker thread at a time; it posts its count and its result,
// and only this dialog's thread touches the list, the caption and the buttons. Closing the
// dialog stops and joins the worker.
#pragma once

#include "dialogs/config_block.h"
#include "dialogs/modal_dialog.h"
#include "song/archive_scan.h"

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

class CButtonPicture2;
class CButtonPicture3;
class CKeyboardPicture;
class COffScreenControl;
class CSongData;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;
class CArchiveDlg;

// The web library's half of the archive dialog.
class CArchiveWebHalf {
 public:
  virtual ~CArchiveWebHalf() = default;
  // Fills the genre list and starts the first fetch (the dialog's controls exist by then).
  virtual void Prepare(CArchiveDlg* dialog) = 0;
  // True while the first list fetch runs: OK and Cancel are refused meanwhile.
  virtual bool FirstFetchRunning() const = 0;
  // Button 4 (the preview page) and button 5 (the web keyword search).
  virtual void OpenPreviewPage() = 0;
  virtual void RunWebSearch() = 0;
  // Stops and joins whatever the half runs; called before the dialog goes.
  virtual void Close() = 0;
};

class CSearchDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 219;

  explicit CSearchDlg(QWidget* parent = nullptr);
  ~CSearchDlg() override;
  static CSearchDlg* Instance();

  // The shared keyboard picture the dialog adds its keyboard to (none: the dialog makes its
  // own), and the bar count of the song the phrase search compares with.
  void SetKeyboardPicture(CKeyboardPicture* keyboard) { keyboard_ = keyboard; }
  void SetSongBars(int bars) { songBars_ = bars; }

  // What the dialog was left with.
  int type = 0;
  std::string keyword;  // CP932, less than 256 bytes
  int firstBar = 0;
  int lastBar = 1;
  double threshold = 0.6;
  int country = 0;
  std::vector<int> notes;
  int beepCount = 0;

  void ShowTypeControls(int type);
  void OnOK();
  static void ErrorMsg();
  // The press of a key of the dialog's keyboard.
  void OnKey(int note);
  int KeyboardNumber() const { return keyboardNumber_; }

  QComboBox* typeList = nullptr;     // 1141
  QLineEdit* keywordEdit = nullptr;  // 1088
  QComboBox* countryList = nullptr;  // 1096
  QSpinBox* firstSpin = nullptr;     // 1135 (its edit 1134)
  QSpinBox* lastSpin = nullptr;      // 1027 (its edit 1026)
  QSpinBox* similaritySpin = nullptr;  // 1029 (its edit 1028)
  QLabel* similarityLabel = nullptr;   // 1149
  QLabel* hint = nullptr;              // 1144
  COffScreenControl* keyboardHost = nullptr;  // 1041
  COffScreenControl* buttonHost = nullptr;    // 1065

 protected:
  bool OnInitDialog() override;
  void CopyPictures() override;
  void accept() override { OnOK(); }

 private:
  CKeyboardPicture* keyboard_ = nullptr;
  std::unique_ptr<CKeyboardPicture> ownKeyboard_;
  int keyboardNumber_ = -1;
  int songBars_ = 257;
  std::unique_ptr<CButtonPicture3> button_;
};

class CArchiveDlg : public CModalDialog {
  Q_OBJECT

 public:
  static constexpr int kTemplateId = 213;
  // The worker's messages to the dialog: its count so far, and its end.
  static constexpr uint32_t kMsgScanCount = 0x8000 + 70;
  static constexpr uint32_t kMsgScanDone = 0x8000 + 71;

  explicit CArchiveDlg(QWidget* parent = nullptr);
  ~CArchiveDlg() override;
  static CArchiveDlg* Instance();

  // Set before the dialog runs: the folder the folder "Archive" lies in (made when missing),
  // the user data folder, the open song, the settings and the shared keyboard picture.
  void SetFolders(const std::filesystem::path& base, const std::filesystem::path& userData);
  void SetSong(const CSongData* song) { song_ = song; }
  void SetConfig(ConfigData* config) { config_ = config; }
  void SetKeyboardPicture(CKeyboardPicture* keyboard) { keyboard_ = keyboard; }
  void SetWebHalf(CArchiveWebHalf* web) { web_ = web; }
  // Answers the search dialog instead of running it (tests): called with the dialog made and
  // set up, returns the dialog's result.
  using SearchRunner = std::function<int(CSearchDlg& dialog)>;
  void SetSearchRunner(SearchRunner runner) { searchRunner_ = std::move(runner); }

  const std::filesystem::path& ArchiveFolder() const { return folder_; }
  const std::filesystem::path& UserDataFolder() const { return userData_; }
  ConfigData* Config() const { return config_; }

  // The result: the chosen file's name in the archive folder (empty until OK) and its
  // transposition (0-11).
  const std::string& ChosenFile() const { return chosenFile_; }
  int ChosenTransposition() const { return chosenTransposition_; }

  void OnButton(int code);
  void OnOK();
  void OnCancel();
  void ResetList();
  void ListAll();
  void RunSearch();
  void ClearList();
  void ShowCondition(const std::string& condition);
  void ShowPersonalCount();
  void ErrorMsg(int code);
  static std::string ErrorText(int code);
  // True while a listing or a search runs.
  bool Scanning() const { return scanning_; }
  // The entries of the personal list (tests).
  const std::vector<archive::Entry>& Entries() const { return entries_; }
  int FileCount() const { return denominator_; }

  QListWidget* personalList = nullptr;  // 1062
  QListWidget* webList = nullptr;       // 1063
  QComboBox* filterList = nullptr;      // 1152
  QComboBox* genreList = nullptr;       // 1151
  QLabel* conditionLabel = nullptr;     // 1156
  QLabel* personalCount = nullptr;      // 1153
  QLabel* webCount = nullptr;           // 1154
  QGroupBox* personalGroup = nullptr;
  QGroupBox* webGroup = nullptr;
  COffScreenControl* hosts[6] = {};     // 1065-1070

 protected:
  bool OnInitDialog() override;
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  void CopyPictures() override;
  void accept() override { OnOK(); }
  void reject() override { OnCancel(); }
  void done(int result) override;

 private:
  void StartScan(archive::Request request, const std::string& condition);
  void FinishScan();
  void EnablePersonal(bool enable);
  void StopWorkers();

  std::filesystem::path folder_;
  std::filesystem::path userData_;
  const CSongData* song_ = nullptr;
  ConfigData* config_ = nullptr;
  CKeyboardPicture* keyboard_ = nullptr;
  CArchiveWebHalf* web_ = nullptr;
  SearchRunner searchRunner_;
  std::unique_ptr<CButtonPicture2> buttons_;

  std::vector<archive::Entry> entries_;
  int denominator_ = 0;
  std::string chosenFile_;
  int chosenTransposition_ = 0;

  // The running scan: the worker, its condition text, the count it has reached and whether a
  // count message is on its way; its outcome waits under the mutex for the dialog's thread.
  CArchiveWorker worker_;
  bool scanning_ = false;
  unsigned generation_ = 0;
  std::string condition_;
  std::atomic<int> scanCount_{0};
  std::atomic<bool> countPosted_{false};
  std::mutex outcomeMutex_;
  std::unique_ptr<archive::Outcome> outcome_;
  unsigned outcomeGeneration_ = 0;
};
