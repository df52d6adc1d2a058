// The main window: owns the working song, the settings block, the lists of the top line and
// (through the page layout) the score page and its pictures. Run modally by the application
// object; its end writes the working song and the settings back to the user data folder.
//
// Escape does nothing; the exit button (code 0) and the desktop's close request (title bar,
// taskbar, logout, SIGTERM) run the same exit.
#pragma once

#include "app/config_data.h"
#include "app/page_geometry.h"
#include "dialogs/panel_fields.h"
#include "dialogs/lyric_panel.h"
#include "dialogs/panel_owner.h"
#include "dialogs/settings_host.h"
#include "style/style_record.h"

#include <QDialog>
#include <QIcon>
#include <QPoint>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class CConfigControl;
class CSongData;
class COffScreenControl;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
class QMenu;
class QScrollBar;
class CChordCellPicture;
class CMelodyBoxPicture;
class CKnobPicture;
class CCounterPicture;
class CDropTarget;
class QObject;
class CTextPicture;
class CPrintPicture;

namespace plat {
class MidiInPort;
class SilentFallbackMidiOutBackend;
}  // namespace plat

namespace plat {
struct AppMessage;
class UiTimers;
}  // namespace plat

// One part of the bar menu: a titled submenu, or (no title) the recent commands at its head.
struct BarMenuGroup {
  std::string title;  // CP932
  std::vector<int> commands;
};

// The first output device whose name is the text (a name that fills its field matches a device
// whose name begins with it), -1 when none.
int FindMidiOutByName(const char* name);

// Composes one part's melody again over every section of the engine's current composition.
// 0 when a section could not be composed within its bounded attempts.
int RegeneratePartMelody(int part);

// Private messages of the main window.
constexpr uint32_t kMsgReady = 0x8000 + 12;  // WM_APP+12: initialisation done
constexpr uint32_t kMsgQuit = 0x0012;        // WM_QUIT: end the modal loop
constexpr uint32_t kMsgPaint = 0x000F;       // WM_PAINT: repaint the window
constexpr uint32_t kMsgCommand = 0x0111;     // WM_COMMAND: a bar-menu command
constexpr uint32_t kMsgDropFiles = 0x0233;   // WM_DROPFILES
constexpr uint32_t kMsgMidiData = 0x03C3;    // MM_MIM_DATA
constexpr uint32_t kMsgApp = 0x8000;         // WM_APP
constexpr uint32_t kMsgPlayEnded = kMsgApp + 320;  // the player reached the song's end
constexpr uint32_t kMsgNoSound = kMsgApp + 321;    // a note went to a device that did not open
// The About entry of the window menu.
constexpr int kSysCommandAbout = 16;

class Midi0Data;
class MidiTrack;
class CDialogSkeleton;
class CGuitarDlg;
class CImportToolDlg;
class CTripletDlg;

class CBrevantDlg : public QDialog, public CPanelOwner, public CLyricPanelOwner,
                    public CSettingsHost {
  Q_OBJECT

 public:
  // `commandLine`: a song path to open once the window is ready (may be quoted); empty = none.
  explicit CBrevantDlg(const std::string& commandLine = std::string(), QWidget* parent = nullptr);
  ~CBrevantDlg() override;

  // ---- what the dialogs and panels use of the window ---------------------------------------
  void PostToMain(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  int InputMode() const override { return config.inputMode; }
  int DisplayScale() const override;
  void SendToMain(uint32_t message, uintptr_t wparam, intptr_t lparam) override;
  MelodyPanelFields& MelodyFields() override { return melodyFields; }
  ChordPanelFields& ChordFields() override { return chordFields; }
  CSongData* Song() override;
  int KeyRow() const override;
  int GuideShown() const override { return config.guideShown; }
  int AdviceShown() const override { return config.adviceShown; }
  void KeyboardRange(int* lowest, int* highest) const override;
  std::string& LyricText() override { return lyricText; }
  void LyricCursor(int* bar, int* eighth) const override;
  // The settings dialog's RESET: the defaults and the screen's own layout.
  void FillDefaultSettings(ConfigData* block) override;
  int ScreenDefaultMode() const override;

  // ---- the melody and chord panels ---------------------------------------------------------
  // The window's buttons 14-21 on the panels.
  void AddPanelButtons();
  void ReleasePanels();
  // The lyric, guitar and triplet panels (made hidden; shown by their commands).
  void CreateSidePanels();
  void ReleaseSidePanels();
  void ShowLyricInputPanel();
  // Runs a modal dialog of the window (through `modalRunner` when one is set) and answers its
  // result.
  int RunModal(CDialogSkeleton& dialog);
  std::function<int(CDialogSkeleton&)> modalRunner;
  CGuitarDlg* guitarPanel = nullptr;
  CTripletDlg* tripletPanel = nullptr;
  // The melody panel shows the note cursor's cell; the chord panel the chord cursor's beat.
  void ShowMelodyPanel();
  // The melody panel follows the chord cursor to its beat; on a beat inside a held note, which
  // has no note of its own to show, the panel is hidden.
  void MelodyPanelFollowsChordCursor();
  void ShowChordPanel();
  // A key of the keyboard hook (WM_APP+30) for the melody panel.
  void KeyToMelodyPanel(uintptr_t wparam, intptr_t lparam);
  // Every chord of an opened song goes into the chord panel's table.
  void CollectSongChords();

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
  void ResizePanelsForAdvice();
  // The tool tip of a control id (0: none).
  static std::string GetToolTipText(int controlId);

  // ---- page layout -------------------------------------------------------------------------
  void SetScaleMetrics();
  // Mode, window size, bars per row and rows; false (after "screen size") for a mode outside 0-6,
  // which keeps the previous page.
  bool ComputeLayout();
  void CreateToolbarButtons();
  void MoveToolbarButtons();
  void PlaceTopControls();
  void ComputeLabelRects();
  void PlaceBarLabels();
  void CreateChordCells();
  void CreateMelodyBox();
  void CreateScorePage();
  void CreateImportRows();
  void RecreateScorePage();
  void PlaceScrollBar();
  void CreateKnob();
  void SetPlayCaption(int stopped);
  // Chord names and lyrics as labels on the page's score rows (song bar first + row), for
  // printing and the score image; a "Skip" beat and what follows it are painted out.
  void LabelScoreRows(int first, int chords, int lyrics);
  // The whole layout again, as after a change of layout in the settings.
  void RebuildLayout();
  void NumberBars();
  void RefreshMelodyBox(int all);
  void RedrawChordCells();
  const PageLayout& Layout() const { return layout_; }
  // Song bar of a bar cell of the page.
  int SongBarOfCell(int cell) const;

  // ---- commands ------------------------------------------------------------------------------
  void DispatchButtonCommand(int code);
  void OnCtrlKey(int key);
  void OnKeyChange();
  void OnCategoryChange();
  void OnStyleChange();
  void OnBarCountChange();
  void OnMetreChange();
  void ResetSong();
  // Scroll bar codes as the platform gives them (SB_LINEUP 0 .. SB_ENDSCROLL 8).
  void OnVScroll(int code, int position);
  // One wheel notch or a panel's page key: delta > 0 one row up, < 0 one row down.
  void OnMouseWheel(int delta);
  void ScrollRowDown();
  void ScrollRowUp();
  // The last value topRow may take: the last page holds the metre's last bar.
  int LastTopRow() const;
  void SetBarCount(int count);
  void ResetCursor();
  void Undo();
  void PlaySaveChime();
  void ToggleInputMode();
  void CopyBarTo(int target, int source);
  // "score:Copy:N" or "score:Import:N" (1-4 digits, nothing after, N below the bar limit).
  static bool ParseScoreDrop(const std::string& text, int* bar, int* copy);
  void OnScorePress(int row, int x, int y);
  void OnScoreDoubleClick(int row);
  void OnChordCellPress(int cell, int row, int column);
  void OnMelodyBoxPress(int cell, int row, int column);
  // Whether the song bar of a bar cell lies within the metre's bars (else a click beeps).
  bool CellWithinLimit(int cell) const;

  // ---- messages ------------------------------------------------------------------------------
  void WindowProc(uint32_t message, uintptr_t wparam, intptr_t lparam);
  void OnReadyMessage();
  // Texts dragged over and dropped on the window (the score's bars).
  void OnScoreDragOver(int x, int y);
  void OnScoreDrop(const char* text, int x, int y);
  // The bar cell whose score row lies under a point of the window, -1 when none.
  int BarCellAt(int x, int y) const;
  // A move over a score row with the button held starts the drag of its bar.
  void OnScoreMove(int row, int x, int y);
  // An Import text dropped on a bar cell: bar `importBar` of the import tool's song, its chosen
  // channel, becomes the note cells of bar `target` (the song grows to reach it).
  void DropImportBar(int target, int importBar);
  // The prepared channel track of one import-tool bar into the note cells of bar `target`.
  void WriteImportedBar(int target, MidiTrack& track, int32_t division);
  void ConvertToFourFour();
  // Files dropped on the window: one opens, several are refused.
  void OnDropFiles(const std::vector<std::filesystem::path>& files);

  // ---- lyric operations ----------------------------------------------------------------------
  // Cuts one syllable (at most 7 bytes, whole characters) into `syllable` (8 bytes); the
  // result is the number of bytes of the text consumed.
  int NextSyllable(const char* text, char* syllable);
  // False (nothing changes) when the join would pass 7 bytes or no note follows.
  bool PrependToNextLyric(const char* text, int cell, int slot);
  bool InsertLyricShifting(const char* text, int cell, int slot);
  void CursorCell(int* cell, int* half, int bar, int eighth);
  // False (a beep, nothing changes) when the song cannot grow.
  bool GrowForNote(int bar, int eighth, int lengthRow, int secondHalf);

  // ---- chord and note cells -----------------------------------------------------------------
  void SetNoteCursor(int cell, int eighth, int half);
  int LoadMelodyFields(int bar, int eighth, int half);
  void SetChordCursor(int cell, int beat, int follow);
  void ShowChordCellCursor(int cell, int beat);
  void MoveNoteCursorNext();
  void MoveNoteCursorPrevious();
  void MoveChordCursorNext();
  void MoveChordCursorPrevious();
  // A beat's chord text (8 bytes of room) and first-half bass byte; the next and previous beat's
  // are clamped to the song.
  void GetChordCell(int bar, int beat, char* text, int* attribute) const;
  void GetNextChordCell(int bar, int beat, char* text, int* attribute) const;
  void GetPreviousChordCell(int bar, int beat, char* text, int* attribute) const;
  void SetChordCell(int bar, int beat, const char* text, int attribute);
  // What a chord cell shows for a song beat (and whether it is active).
  std::string ChordCellText(int beat, bool* active) const;
  void EnterChord();
  void EnterChordOnBeat();
  // A run of the melody cursor's slots rewritten as triplets (patterns 0-5).
  void MakeTriplets(int pattern, int atEnd);

  // ---- handlers of later parts (named seams) -------------------------------------------------
  void NewSong();
  void OpenSongWithDialog();
  void SaveSongAs();
  void ImportWithDialog();
  // Appends a song file chosen in an open dialog to the working song.
  void AppendSongWithDialog();
  // The melody-channel dialog on the song being imported; the channel is in and out.
  void ChooseMelodyChannel(int32_t& channel, const Midi0Data& data);
  // ABC text into the working song, with the controls and the page following; 1 when read.
  int ImportAbcText(const char* text, size_t length);
  void ImportAbcFile(const std::filesystem::path& path);
  // The metre, key, bar-count and tempo controls and the page follow the song.
  void ShowSongShape();
  void SetSongPath(const std::filesystem::path& path);
  std::filesystem::path SongPath() const;
  // The external input/output menu, then the command chosen in it.
  void ShowExternalMenu();
  // The external menu's import-tool button: the import tool shows with its score rows.
  void ShowImportTool();
  // The external menu's settings button: the input and output settings, modally.
  void RunInoutSettings(ConfigData* settings);
  void ShowEditMenu();
  void OpenArchive();
  void OpenHelpPage();
  void ShowSongInfo();
  void ShowStepInput();
  void ShowSettings();
  void ShowGuitarPanel();
  void ShowTripletPanel();
  void EnterRapNote();
  void HideImportTool();
  void ImportToolLoad();
  void ImportToolPlay();
  // ---- the import tool ------------------------------------------------------------------------
  // The panel with buttons 22-24, the second knob and its rows (start-up).
  void CreateImportTool();
  void AddImportKnob();
  // The tool's song goes (the song was replaced); the tool takes the song's beats per bar.
  void ClearImportTool();
  void ImportToolBeats(int beats);
  // Whether a point (screen coordinates) lies in the shown tool, and which of its rows (-1 none).
  bool IsOverImportTool(const QPoint& global) const;
  int ImportRowAt(const QPoint& global) const;
  // A text dropped outside the page: a bar of the page dropped on a row of the tool is written
  // into the tool's channel; elsewhere a beep.
  void OnImportToolDrop(const char* text, const QPoint& global);
  // A press on the tool's row starts the drag of its bar to the page.
  void DragImportRow(int row);
  CImportToolDlg* importTool = nullptr;
  std::unique_ptr<CDropTarget> importDropTarget;
  void OpenAbcDialog();
  // ---- bar menu and bar-range edits -----------------------------------------------------------
  void OnBarMenuCommand(int command, int bar);
  // The selected range's highlight on the page's score rows; Mark sets it without drawing.
  void MarkRangeHighlight();
  void DrawRangeHighlight();
  void ShowBarMenu(int cell, int x, int y);
  // The menu's text of a command (the last row's for a command it does not hold).
  static const char* MenuText(int command);
  // The items the bar menu shows: the recent commands, then the submenus (Ctrl adds items).
  std::vector<BarMenuGroup> BarMenuLayout(bool ctrl) const;
  void AddRecentCommand(int command);
  // Copies bars first..last before the target bar (the song grows to the target first). False
  // (a beep) when the song would pass its 1024 beats.
  bool InsertBarCopies(int first, int last, int target);
  // Bars first..last moved before the target; a target inside the range is refused.
  bool MoveBars(int first, int last, int target);
  // An edit of the bar-range dialog: operation, first and last bar (1-based), value.
  void RunRangeEdit(int operation, int first, int last, int value);
  bool RangeEditValid(int operation, int first, int last, int value) const;
  void ShowPitchStatistics();
  bool HasRange() const;

  // ---- composing a range (bars first..last, zero-based, inclusive) ---------------------------
  void ComposeChords(int first, int last);
  void HarmonizeMelody(int first, int last);
  void ComposeStyleChords(int first, int last);
  void ComposeMelody(int first, int last);
  // The key row of the key list (the song's key without a selection).
  int SelectedKeyRow() const;
  // The style of the chosen category and style (the song's own when the list shows it).
  StyleRecord SelectedStyle() const;
  // True (a beep) while the compose-and-export worker uses the engine.
  bool ComposeRefused();
  // Whether the song may take more bars within its 1024 beats (a beep when not).
  bool CanGrowBy(int bars);
  // Appends bars up to `bars`; false (a beep) past the song's limit.
  bool GrowSongTo(int bars);

  // ---- playing (the bar menu's partial songs go the same way) ---------------------------------
  void PlaySong(CSongData* which);
  void FocusLyricBox();
  void EnterPanelNote(int audition, int boxMode, int draw);
  void MergeRestsAtCursor();
  void StorePanelLyric();
  void PourLyrics(const char* text, int bar, int eighth);
  void PullNextLyric(int bar, int eighth);
  void PushLyricsFromCursor(int bar, int eighth);
  // The lyric panel's four buttons (messages WM_APP+42 to +45) at the cursor slot.
  void LyricEdit(uint32_t message, int bar, int eighth);
  void ShiftLyricsLater(int bar);
  void ShiftLyricsEarlier(int bar);
  int LyricCursorCell(int bar, int eighth);
  // The box of a refused lyric edit (an outcome of lyric_edit).
  void ReportLyricEdit(int outcome);
  void MovePlayMarker(int tick);
  void StartPlayback(const std::filesystem::path& path);
  void OnPlayEnd();
  // The chosen output did not open: told once, without stopping what plays.
  void OnNoSound();
  int PlayGeneration() const { return playGeneration_; }
  // Before the first report of a play: the skipped beats of the arranged song, the marker off.
  void BeginPlayPositions();
  // The player's per-event report (its own thread): the tick, past the skipped beats, is posted.
  static void OnPlayPosition(QObject* window, int tick);
  void AuditionPanelNote();
  void AuditionNote();
  // A key of the external MIDI keyboard, for the melody panel.
  void KeyboardNote(int note);
  // Keys of the keyboard hook while notes are entered from the PC keyboard.
  void OnHookKeyDown(int vk, int ctrl, int shift, int alt);
  void DisarmKeyboardHook();
  void ChordFromDictionary(int bass, uint32_t code);
  // Button 21: the chord-dictionary program with the chord panel's chord (app/chord_dictionary.h);
  // without a configured program a message says so.
  void StartChordDictionary();
  void ReadChordIntoPanel();
  void MobileTransferDone();
  void OnMidiInData(uint32_t data);
  void OnComposeProgress();
  void EndAuditionNote();
  void ReopenAuditionDevice();
  void CloseAuditionDevice();
  int beepCount = 0;  // beeps given (the sound itself goes to the desktop)

  // ---- the compose-and-export worker (app/compose_worker.h) -------------------------------
  // Arranges `which` (the working song or a piece of it) on the worker and writes it to the
  // path; an empty path asks for a .mid, .wav or .mp3 file first. The window is disabled until
  // the completion message (32787 play, 32788 export, 32779 upload) arrives; its wparam is 1
  // when the file was written. 1 when the worker started; 0 when the dialog was cancelled, the
  // encoder of an MP3 is missing or a worker already runs (a beep).
  int StartComposeThread(const std::filesystem::path& outputPath, CSongData* which,
                         uint32_t completionMessage);
  // The file name an export proposes: the song's name, "_", the style's name, ".mid".
  std::string ProposedExportName(int category, int slot) const;
  // The worker's reports (true: handled); at its completion the window takes input again.
  bool HandleComposeReport(uint32_t message, uintptr_t wparam);
  void UploadToMobile();
  bool lastComposeWritten = false;  // what the last completion message said

  // ---- printing and the score image ----------------------------------------------------------
  // Prints the whole song on A4 sheets, `pagesPerSheet` score pages stacked on each, with the
  // lyric lines, the chord names and the title line as asked.
  void PrintScore(int lyrics, int pagesPerSheet, int chords, int title);
  // Saves the whole song as one 24-bit .bmp image, the file chosen in a save dialog.
  void SaveScoreImage(int lyrics, int chords, int title);
  // The lyric line of each of the first `cells` bar cells (song bars first, first + 1, ...).
  void PutLyricLines(CTextPicture* text, int cells, int first);
  // The title, composer and lyricist into a text-picture instance, drawn and shown.
  void PutTitleLine(int instance, CTextPicture* text);
  // PutTitleLine, then the instance queued at the content's top left.
  void QueueTitleLine(CTextPicture* text, int instance, CPrintPicture* print);
  // Queues one page of score rows (and their lyric lines) from (x, y): a row header before every
  // `barsPerRow` bars, rows `rowGap` apart. x and y are left where the next page begins.
  void QueuePrintRows(CPrintPicture* print, int barsPerRow, int rowGap, int* y, int* x,
                      int cells, int header, CTextPicture* text, int lyrics);

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
  int OpenMidiIn();               // MIDI input on midiInDevice; 1 when open
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
  int playMarkerBar = -1;
  int playFirstBar = 0;
  std::unique_ptr<CSongData> partialSong;  // the bars the bar menu plays
  ChordPanelFields chordFields;
  MelodyPanelFields melodyFields;
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
  QScrollBar* scrollBar = nullptr;    // 1133
  // The page's controls: toolbar buttons (id = code), bar labels, chord cells, melody boxes,
  // score rows (48 bar cells, then 12 headers), knob, counter.
  COffScreenControl* toolbarControls[kToolbarButtonCount] = {};
  QLabel* barLabels[kMaxBarCells] = {};
  COffScreenControl* chordCellControls[kMaxBarCells] = {};
  COffScreenControl* melodyBoxControls[kMaxBarCells] = {};
  COffScreenControl* scoreControls[kMaxBarCells + kMaxHeaderRows] = {};
  COffScreenControl* knobControl = nullptr;
  COffScreenControl* counterControl = nullptr;
  std::unique_ptr<CChordCellPicture> chordCells;
  std::unique_ptr<CMelodyBoxPicture> melodyBox;
  std::unique_ptr<CKnobPicture> knob;
  std::unique_ptr<CCounterPicture> barCounter;
  std::unique_ptr<CDropTarget> dropTarget;
  PageRect barLabelRects[kMaxBarCells];

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
  void wheelEvent(QWheelEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void CreateControls();
  void ConnectControls();
  // The chord panel takes the song's key and builds its table of the key's chords again.
  void ChordPanelFollowsSongKey();
  // After a scroll: the melody panel's cursor on the cursor's cell of the new page.
  void MelodyCursorToPage();
  int SongBeatsPerBar() const;
  void SetScrollPosition();
  void Beep(int ms);
  void WriteRangeChord(int first, int last, const char* code);
  // A note of whole eighths from (bar, eighth); past the longest listed value it holds on.
  void WriteHeldNote(int bar, int eighth, int pitch, int eighths);
  bool PlayBars(int firstBar, int from, int to);
  // The bar menu's groups of commands: playing, lyrics, bar edits, the selected range, and
  // rhythm figures and ornaments. Each says whether a command was its own and whether the
  // menu remembers it among the recent ones.
  enum class BarCommandResult { kNotMine, kRemember, kForget };
  BarCommandResult PlayBarCommand(int command, int bar);
  BarCommandResult LyricBarCommand(int command, int bar);
  BarCommandResult BarEditCommand(int command, int bar);
  BarCommandResult RangeBarCommand(int command, int bar);
  BarCommandResult FigureBarCommand(int command, int bar);
  void ClearRange();
  void RedrawAfterEdit();
  void FollowSongMetre();
  // The steps of OnInitDialog.
  void LoadSettings();
  void LoadWorkingSong(int* beats, int* key, int* metre);
  void ShowSongControls(int beats, int key, int metre);

  std::string commandLine_;
  std::unique_ptr<CConfigControl> configControl_;
  ConfigImage configImage_{};
  QIcon icon_;
  plat::UiTimers* timers_ = nullptr;
  int controlBeats_ = 4;
  bool released_ = false;
  bool arranging_ = false;           // a play request waits for its arrangement
  int playGeneration_ = 0;           // counts the plays started
  CSongData* playRequest_ = nullptr;
  std::unique_ptr<plat::MidiInPort> midiIn_;
  std::unique_ptr<plat::SilentFallbackMidiOutBackend> outputFallback_;
  void ReleaseMidiOutFallback();
  void ClearPlayMarker();
  void GoToNotePosition(int bar, int eighth, int half);
  bool exiting_ = false;
  PageLayout layout_{};
  int dragRow_ = -1;  // the score row pressed, while a drag of its bar may start
  QPoint dragStart_;
};
