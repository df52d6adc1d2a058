// The main window: owns the working song, the settings block, the lists of the top line and
// (through the page layout) the score page and its pictures. Run modally by the application
// object; its end writes the working song and the settings back to the user data folder.
//
// Escape and the close box do nothing; the exit button (code 0) is the only way out.
#pragma once

#include "app/config_data.h"

#include <QDialog>
#include <QIcon>

#include <filesystem>
#include <memory>
#include <string>

class CConfigControl;
class CSongData;
class COffScreenControl;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QMenu;

namespace plat {
struct AppMessage;
class UiTimers;
}  // namespace plat

// Private messages of the main window.
constexpr uint32_t kMsgReady = 0x8000 + 12;  // WM_APP+12: initialisation done
constexpr uint32_t kMsgQuit = 0x0012;        // WM_QUIT: end the modal loop
// The About entry of the window menu.
constexpr int kSysCommandAbout = 16;

class CBrevantDlg : public QDialog {
  Q_OBJECT

 public:
  // `commandLine`: a song path to open once the window is ready (may be quoted); empty = none.
  explicit CBrevantDlg(const std::string& commandLine = std::string(), QWidget* parent = nullptr);
  ~CBrevantDlg() override;

  // ---- start-up (run by the constructor) ---------------------------------------------------
  bool OnInitDialog();

  // ---- shutdown ----------------------------------------------------------------------------
  // The exit button: nothing while a song plays; otherwise waits 500 ms and ends the modal
  // loop.
  void ExitCommand();
  // Releases everything the window owns: MIDI devices, the working song written to
  // "data_kv.dat", the settings written to "setup_kv.ini", pictures and panels. Runs once.
  void ReleaseAll();
  bool Released() const { return released_; }

  // ---- framework overrides of the dialog ---------------------------------------------------
  void OnOK();      // Enter: play or stop
  void OnCancel();  // Escape, close box: nothing
  void OnSysCommand(int command);
  void reject() override { OnCancel(); }
  void accept() override { OnOK(); }

  // ---- style and song helpers --------------------------------------------------------------
  void UseTableStyle();
  void ApplyStyleInstruments();
  void ApplyStyleTempo();
  void FillStyleList();
  void ShowStyleOrigin(int itemData);
  void ShowSongTitle(const std::string& path);
  void ShowBeatsPerBar(int beats);

  // ---- song files (the parts the start-up and the command line use) ------------------------
  // Writes the working song with the choices of the lists (tempo, metre, key, style). False
  // (after the song's own error box) when it could not be written.
  bool SaveSong(const std::filesystem::path& path);
  // Loads a song file into the window (transposition 0 = none).
  bool LoadSong(const std::filesystem::path& path, int transposition);
  // A file dropped on the window or named on the command line.
  void DropFile(const std::filesystem::path& path);

  // ---- steps that the other parts of the window carry out --------------------------------
  // Called at their places in the start-up, the ready message, Enter and the release; each is
  // defined in main_window_steps.cpp and does what its part of the window needs (nothing
  // until that part exists).
  void OpenMidiOut();             // the audition MIDI-out device, from midiOutDevice/midiOutName
  void CreatePageLayout();        // toolbar, knob, bar cells, chord cells, melody box, score page
  void CreatePanels();            // melody, lyric, chord, import, guitar and triplet panels
  void OpenMidiIn();              // MIDI input on midiInDevice
  void ArmKeyboardHook();         // the PC-keyboard hook when inputMode is 0
  void CreateBarCounter();        // the three-digit bar counter
  void SetupScoreRows();          // key and time signatures on the score rows
  void RefreshScore(int all);     // redraws the score rows
  void TogglePlay();              // Enter and the play button: play or stop
  void ClearChordCursors();       // before the exit
  void CloseMidiDevices();        // MIDI input and the audition device
  void QuitChordDictionary();     // the chord-dictionary program, when it runs
  void ReleasePicturesAndPanels();  // toolbar, score, panels, knob, chord cells, melody box
  bool ImportMidiFile(const std::filesystem::path& path);  // false: not imported

  // The main window's message box (codes 4, 5, 0xFF01001F have texts, others "CBrevantDlg
  // error").
  void ErrorMsg(uint32_t code);

  // ---- state other parts use ---------------------------------------------------------------
  std::filesystem::path userDataFolder;
  ConfigData config{};
  std::unique_ptr<CSongData> song;
  int topRow = 0;
  int cursorBar = -1;
  int cursorEighth = -1;
  int cursorHalf = 0;
  int staffRedrawState = -1;
  int isReady = 0;
  int menuBarCell = -1;
  int knobValue = 0;
  int auditionNote = -1;
  int recentCommands[3] = {0, 0, 0};
  int recentCount = 0;
  int rangeFirst = -1;
  int rangeLast = -1;
  int progressNote = -1;
  int playFirstBar = 0;
  std::string lyricText;  // CP932, at most 1023 bytes
  std::filesystem::path outputPath;
  std::filesystem::path midiFilePath;
  bool settingsFileOpened = false;  // whether the settings came from the file at start

  // Controls of the top line (object names are their resource ids).
  QComboBox* metreList = nullptr;     // 1000
  QComboBox* keyList = nullptr;       // 1001
  QSpinBox* barCountSpin = nullptr;   // 1002 / 1003
  QComboBox* styleList = nullptr;     // 1019
  QComboBox* categoryList = nullptr;  // 1022
  QSpinBox* tempoSpin = nullptr;      // 1063 / 1064
  QLabel* metreLabel = nullptr;       // 1036
  QLabel* barCountLabel = nullptr;    // 1038
  QLabel* styleOriginLabel = nullptr;
  QPushButton* exitButton = nullptr;  // toolbar code 0 until the skinned toolbar takes over

  const QIcon& Icon() const { return icon_; }
  plat::UiTimers* Timers() const { return timers_; }
  // Beats per bar the controls use (3 or 4).
  int ControlBeats() const { return controlBeats_; }

 signals:
  void Ready();

 protected:
  void customEvent(QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void CreateControls();
  void OnAppMessage(const plat::AppMessage& message);
  void OnReadyMessage();
  void PlaceTopControls();
  void SizeWindowForMode();

  std::string commandLine_;
  std::unique_ptr<CConfigControl> configControl_;
  ConfigImage configImage_{};
  QIcon icon_;
  plat::UiTimers* timers_ = nullptr;
  int controlBeats_ = 4;
  bool released_ = false;
};
