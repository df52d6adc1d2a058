#include "app/main_dialog.h"

#include "app/compose_worker.h"

#include "app/about_dialog.h"
#include "app/melody_box.h"
#include "draw/button_picture.h"
#include "draw/chord_cell_picture.h"
#include "draw/counter_picture.h"
#include "draw/knob_picture.h"
#include "draw/staff_picture.h"
#include "engine/engine_state.h"
#include "app/main_globals.h"
#include "music/midi0_data.h"
#include "app/main_lists.h"
#include "draw/main_dialog_helper.h"
#include "app/page_geometry.h"
#include "app/song_style.h"
#include "platform/core/clock.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/qt/app_message.h"
#include "platform/qt/dc.h"
#include "platform/core/midi_input.h"
#include "platform/qt/keyboard_hook.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/text_drag_drop.h"
#include "platform/qt/ui_timer.h"
#include "song/cantrel_uty.h"
#include "song/song_data.h"
#include "song/song_globals.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/program_errors.h"
#include "util/settings_file.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QWheelEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QSpinBox>

#include <algorithm>
#include <initializer_list>
#include <cctype>
#include <cstring>
#include <vector>

namespace {

constexpr const char* kSettingsFileName = "setup_kv.ini";
constexpr const char* kWorkingSongName = "data_kv.dat";
// The window's own colours (0x00BBGGRR): text and background of the dialog.
constexpr plat::ColorRef kDialogText = 0x407F40;
constexpr plat::ColorRef kDialogBack = 0xC8C2C2;
// Largest song file that is loaded.
constexpr int64_t kMaxSongFileSize = 151916;

QColor ToQColor(plat::ColorRef c) {
  return QColor(plat::GetRValue(c), plat::GetGValue(c), plat::GetBValue(c));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The path a command line names: the whole text, or the part inside the first pair of quotes.
std::string CommandLinePath(const std::string& line) {
  if (line.empty()) return std::string();
  if (line[0] == '"') {
    const size_t end = line.find('"', 1);
    return line.substr(1, end == std::string::npos ? std::string::npos : end - 1);
  }
  return line;
}

}  // namespace

CBrevantDlg::CBrevantDlg(const std::string& commandLine, QWidget* parent)
    : QDialog(parent), commandLine_(commandLine) {
  setObjectName(QStringLiteral("102"));
  // The program's main window, not a dialog of some other window: window managers give it a
  // task-bar entry and a minimise button, and keep its dialogs above it.
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  timers_ = new plat::UiTimers(this);
  icon_ = QIcon(QString::fromStdString((plat::ProgramFolder() / "cantrel.png").string()));
  CreateControls();
  OnInitDialog();
}

void CBrevantDlg::PostToMain(uint32_t message, uintptr_t wparam, intptr_t lparam) {
  plat::PostAppMessage(this, message, wparam, lparam);
}

int CBrevantDlg::DisplayScale() const { return g_displayScale; }

CBrevantDlg::~CBrevantDlg() {
  ReleaseAll();
  if (g_mainDialog == this) g_mainDialog = nullptr;
}

void CBrevantDlg::CreateControls() {
  setAutoFillBackground(false);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, ToQColor(kDialogBack));
  pal.setColor(QPalette::WindowText, ToQColor(kDialogText));
  setPalette(pal);

  auto combo = [this](const char* id) {
    auto* c = new QComboBox(this);
    c->setObjectName(QString::fromLatin1(id));
    c->setFocusPolicy(Qt::StrongFocus);
    return c;
  };
  auto spin = [this](const char* id) {
    auto* s = new QSpinBox(this);
    s->setObjectName(QString::fromLatin1(id));
    // The edit and its spin share the space of the two controls: the arrows keys and the
    // wheel step the value.
    s->setButtonSymbols(QAbstractSpinBox::NoButtons);
    s->setAlignment(Qt::AlignRight);
    return s;
  };
  auto label = [this](const char* id, const char* text) {
    auto* l = new QLabel(plat::ToQString(text), this);
    l->setObjectName(QString::fromLatin1(id));
    return l;
  };
  metreList = combo("1000");
  keyList = combo("1001");
  styleList = combo("1019");
  categoryList = combo("1022");
  barCountSpin = spin("1002");
  tempoSpin = spin("1063");
  metreLabel = label("1036", "拍子/調/ﾃﾝﾎﾟ");
  barCountLabel = label("1038", "小節数");
  styleOriginLabel = label("1060", "");
  // The top line is tight: its controls use a compact font.
  QFont compact = font();
  compact.setPixelSize(11);
  for (QWidget* w : std::initializer_list<QWidget*>{metreList, keyList, styleList, categoryList,
                                                     barCountSpin, tempoSpin, metreLabel,
                                                     barCountLabel, styleOriginLabel}) {
    w->setFont(compact);
  }
  // The metre and key lists are narrow: a slim arrow leaves room for "4/4" and "F#m".
  for (QComboBox* c : {metreList, keyList}) {
    c->setStyleSheet(QStringLiteral("QComboBox { padding: 0px 0px 0px 2px; }"));
    c->view()->setMinimumWidth(64);  // the open list shows whole names
  }
  // The page's controls; the layout places them and the pictures draw on them.
  auto host = [this](const QString& name) {
    auto* h = new COffScreenControl(this);
    h->setObjectName(name);
    h->hide();
    return h;
  };
  for (int code = 0; code < kToolbarButtonCount; ++code) {
    toolbarControls[code] = host(QStringLiteral("button%1").arg(code));
  }
  QFont small = font();
  small.setPixelSize(11);
  for (int c = 0; c < kMaxBarCells; ++c) {
    barLabels[c] = new QLabel(this);
    barLabels[c]->setObjectName(QStringLiteral("bar%1").arg(c));
    barLabels[c]->setFont(small);
    barLabels[c]->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    barLabels[c]->hide();
    chordCellControls[c] = host(QStringLiteral("chord%1").arg(c));
    melodyBoxControls[c] = host(QStringLiteral("melody%1").arg(c));
  }
  for (int r = 0; r < kMaxBarCells + kMaxHeaderRows; ++r) {
    scoreControls[r] = host(QStringLiteral("score%1").arg(r));
  }
  knobControl = host(QStringLiteral("knob"));
  counterControl = host(QStringLiteral("counter"));
  scrollBar = new QScrollBar(Qt::Vertical, this);
  scrollBar->setObjectName(QStringLiteral("1133"));
  scrollBar->hide();
}

bool CBrevantDlg::OnInitDialog() {
  // Display scale from the screen's logical resolution.
  g_displayScale = static_cast<int>(GetDisplayScale() * 100.0);
  if (g_displayScale > 200) ShowErrorByCode(0xFF0101EAu);

  setWindowIcon(icon_);
  setWindowTitle(QString());
  recentCount = 0;
  rangeFirst = rangeLast = progressNote = -1;

  // Folders: the user's data (settings, working song) and the program's own data.
  userDataFolder = plat::UserDataFolder();
  std::error_code ec;
  std::filesystem::create_directories(userDataFolder, ec);
  g_programFolder = plat::ProgramFolder();
  song::SetProgramFolderPath(g_programFolder);

  isReady = 0;
  g_mainDialog = this;
  auditionNote = -1;
  // Songs arranged from this window end their bass and whole-note harmony on a plain last note.
  PlainEndingFlag() = 1;

  // Bars dragged from the score are dropped on the window as texts.
  dropTarget = std::make_unique<CDropTarget>(
      [this](const char* text, int x, int y) { OnScoreDrop(text, x, y); },
      [this](const char*, int x, int y) { OnScoreDragOver(x, y); });
  dropTarget->Register(this);

  // Tempo spin.
  tempoSpin->setRange(30, 210);
  tempoSpin->setValue(120);

  LoadSettings();
  ShowSongTitle(config.songPath);

  OpenMidiOut();

  cursorBar = cursorEighth = staffRedrawState = -1;
  cursorHalf = 0;

  BuildStyleTable();

  int beats = 4, key = 0, metre = 0;
  LoadWorkingSong(&beats, &key, &metre);
  ShowSongControls(beats, key, metre);

  OpenMidiIn();
  ArmKeyboardHook();
  // First start: the song takes the instruments of the selected style.
  if (!settingsFileOpened) ApplyStyleInstruments();
  CreateBarCounter();
  ConnectControls();

  plat::PostAppMessage(this, kMsgReady);
  return true;
}

// Settings: the defaults, then the file over them.
void CBrevantDlg::LoadSettings() {
  ConfigData defaults;
  SetDefaultConfig(&defaults);
  const ConfigImage defaultImage = ConfigToImage(defaults);
  const std::filesystem::path settingsPath = userDataFolder / kSettingsFileName;
  configControl_ = std::make_unique<CConfigControl>(settingsPath, configImage_.data(),
                                                    configImage_.size(), defaultImage.data());
  settingsFileOpened = configControl_->LoadedFromFile();
  ConfigFromBytes(configImage_.data(), config);
  SanitizeConfig(config);
}

// The working song of the user data folder (an empty 8-bar song without one) and its style;
// its beats per bar, key and metre come back.
void CBrevantDlg::LoadWorkingSong(int* beats, int* key, int* metre) {
  const std::filesystem::path songPath = userDataFolder / kWorkingSongName;
  const int64_t size = std::max<int64_t>(0, plat::FileSize(songPath));
  int bars = 8;
  *beats = 4;
  *key = 0;
  *metre = 0;
  bool songRead = false;
  song = CSongData::LoadFromFile(songPath, &bars, beats, key, metre, &songRead);
  if (!song) {
    song = std::make_unique<CSongData>();
    song->Reset(8, 4, 0, 1);
    *beats = 4;
    *key = 0;
    *metre = 1;
  }
  // A working song the reader refused (damaged) has no style of its own to bring.
  if (songRead && size >= static_cast<int64_t>(kSongImageSize)) {
    GneSeedRandom();
    BuildStyleTable();
    ApplyStyle(song->style);
    if (song->style.mixer[15].volume == 0) song->style.mixer[15].volume = song->style.mixer[1].volume;
  } else {
    UseTableStyle();
  }
}

// The page of the window's mode and the controls showing the song: key, tempo, style, metre
// and bar count.
void CBrevantDlg::ShowSongControls(int beats, int key, int metre) {
  topRow = 0;
  main_lists::FillKeyCombo(keyList, key);

  // The window takes its mode's size; the top line, toolbar and page build on it.
  CreatePageLayout();
  CreatePanels();

  tempoSpin->setValue(song->info.GetInt(SongInfoBlock::kTempo));

  const int category = song->info.GetInt(SongInfoBlock::kStyleCategory);
  main_lists::FillCategoryCombo(categoryList, category);
  FillStyleList();
  main_lists::SelectStyleInCombo(category, styleList,
                                 song->info.GetInt(SongInfoBlock::kStyleSlot));
  ShowStyleOrigin(styleList->currentData().toInt());

  controlBeats_ = beats;
  if (beats != 3 && beats != 4) {
    ErrorMsg(0xFF01001Fu);
    controlBeats_ = 4;
  }
  ShowBeatsPerBar(controlBeats_);
  main_lists::FillMetreCombo(metreList, CCantrelCommon::MetreIndex(controlBeats_, metre));
  // A song of no bars is never shown or kept: the bar count is at least 1.
  if (song->bar_count < 1 && song->beats_per_bar > 0) song->SetBarCount(1);
  barCountSpin->setRange(1, 1024 / controlBeats_);
  barCountSpin->setValue(song->bar_count);
  menuBarCell = -1;
}

// -------------------------------------------------------------------------------- messages

void CBrevantDlg::customEvent(QEvent* event) {
  if (const plat::AppMessage* m = plat::IsAppMessage(event)) {
    WindowProc(m->message, m->wparam, m->lparam);
    return;
  }
  QDialog::customEvent(event);
}

void CBrevantDlg::ConnectControls() {
  // Only the user's own choices reach the handlers (the window's own settings do not).
  connect(keyList, QOverload<int>::of(&QComboBox::activated), this, [this](int) { OnKeyChange(); });
  connect(categoryList, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { OnCategoryChange(); });
  connect(styleList, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { OnStyleChange(); });
  connect(metreList, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { OnMetreChange(); });
  connect(barCountSpin, QOverload<int>::of(&QSpinBox::valueChanged), this,
          [this](int) { OnBarCountChange(); });
  // The scroll bar: each action is worked out here from the page's own position; the thumb
  // counts when it is let go.
  scrollBar->setTracking(false);
  connect(scrollBar, &QAbstractSlider::actionTriggered, this, [this](int action) {
    int code = -1;
    switch (action) {
      case QAbstractSlider::SliderSingleStepSub: code = 0; break;
      case QAbstractSlider::SliderSingleStepAdd: code = 1; break;
      case QAbstractSlider::SliderPageStepSub: code = 2; break;
      case QAbstractSlider::SliderPageStepAdd: code = 3; break;
      case QAbstractSlider::SliderToMinimum: code = 6; break;
      case QAbstractSlider::SliderToMaximum: code = 7; break;
      default: return;
    }
    OnVScroll(code, 0);
    scrollBar->setSliderPosition(topRow);
    QMetaObject::invokeMethod(this, [this]() { OnVScroll(8, 0); }, Qt::QueuedConnection);
  });
  connect(scrollBar, &QAbstractSlider::sliderReleased, this, [this]() {
    OnVScroll(4, scrollBar->sliderPosition());
    OnVScroll(8, 0);
  });
  setAcceptDrops(true);
}

void CBrevantDlg::OnReadyMessage() {
  SetupScoreRows();
  RefreshScore(1);
  isReady = 1;
  const std::string path = CommandLinePath(commandLine_);
  if (!path.empty()) {
    // A relative path is taken from the folder the program was started in, and kept whole.
    std::error_code ec;
    std::filesystem::path full = std::filesystem::absolute(std::filesystem::path(path), ec);
    DropFile(ec ? std::filesystem::path(path) : full);
  }
  emit Ready();
}

// ------------------------------------------------------------------------ framework overrides

void CBrevantDlg::OnOK() { TogglePlay(); }

void CBrevantDlg::OnCancel() {}

void CBrevantDlg::OnSysCommand(int command) {
  if (command >= 16 && command <= 31) {
    CAboutDlg about(this);
    about.exec();
  }
}

void CBrevantDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Escape:
      OnCancel();
      event->accept();
      return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OnOK();
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

void CBrevantDlg::closeEvent(QCloseEvent* event) {
  // The desktop's close request (title bar, taskbar, logout, a termination signal) takes the
  // exit button's road: the working song and the settings are saved. A song that plays is
  // stopped first, so that the request is never lost.
  if (released_ || exiting_) {
    event->accept();
    return;
  }
  event->ignore();
  if (g_isPlaying.load() == 1) TogglePlay();
  if (g_isPlaying.load() == 1) g_isPlaying = 0;
  ExitCommand();
}

void CBrevantDlg::wheelEvent(QWheelEvent* event) {
  const int delta = event->angleDelta().y();
  if (delta != 0) OnMouseWheel(delta);
  event->accept();
}

void CBrevantDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CBrevantDlg::dropEvent(QDropEvent* event) {
  std::vector<std::filesystem::path> files;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) files.emplace_back(url.toLocalFile().toStdString());
  }
  if (files.empty()) return;
  event->acceptProposedAction();
  OnDropFiles(files);
}
void CBrevantDlg::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.fillRect(rect(), ToQColor(kDialogBack));
}

void CBrevantDlg::contextMenuEvent(QContextMenuEvent* event) {
  // The window menu: the About entry (command 16).
  QMenu menu(this);
  QAction* about = menu.addAction(plat::ToQString("バージョン情報(&A)..."));
  if (menu.exec(event->globalPos()) == about) OnSysCommand(kSysCommandAbout);
}

// ------------------------------------------------------------------------------- shutdown

void CBrevantDlg::ExitCommand() {
  if (g_isPlaying.load() == 1 || exiting_) return;
  plat::SleepMs(500);
  ClearChordCursors();
  exiting_ = true;
  plat::PostAppMessage(this, kMsgQuit);
}

void CBrevantDlg::ReleaseAll() {
  if (released_) return;
  released_ = true;
  timers_->KillAll();
  // A worker still arranging finishes before the window goes (it posts to the window).
  FinishComposeWorker();

  if (g_isPlaying.load() == 1) TogglePlay();
  // A play that ended by itself (or never started) left its song: nothing plays it any more.
  if (g_playingSong) g_playingSong->StopPlay();
  delete g_playingSong;
  g_playingSong = nullptr;
  CloseMidiDevices();
  QuitChordDictionary();
  CKeyboardHook::Uninstall();

  // The working song: a failed save is reported by the song itself and the settings are
  // written all the same.
  if (song) SaveSong(userDataFolder / kWorkingSongName);

  // The settings block, written whole by its keeper.
  if (configControl_) {
    ConfigToBytes(config, configImage_.data());
    configControl_.reset();
  }

  song.reset();
  partialSong.reset();
  ReleasePicturesAndPanels();
  ReleaseMidiOutFallback();
  if (g_mainDialog == this) g_mainDialog = nullptr;
}

// -------------------------------------------------------------------------------- styles

void CBrevantDlg::UseTableStyle() {
  GneSeedRandom();
  BuildStyleTable();
  const int category = song->info.GetInt(SongInfoBlock::kStyleCategory);
  const int slot = song->info.GetInt(SongInfoBlock::kStyleSlot);
  ApplyStyle(StyleTableSlot(category, slot));
  StyleRecord& current = CurrentStyle();
  if (current.mixer[15].volume == 0) current.mixer[15].volume = current.mixer[1].volume;
  song->SetStyle(current);
}

void CBrevantDlg::ApplyStyleInstruments() {
  const int category = categoryList->currentIndex();
  const int slot = styleList->currentData().isValid() ? styleList->currentData().toInt() : -1;
  const StyleRecord* record = FindStyleSlot(category, slot);
  if (!record) return;
  auto program = [](int p) {
    CCantrelUty::MapExtendedProgram(&p);
    return p;
  };
  if (record->instrument[1] >= 0 && record->instrument[1] <= 127) {
    song->info.SetInt(SongInfoBlock::kMelodyProgram, record->instrument[1]);
  }
  if (record->instrument[15] >= 0 && record->instrument[15] <= 127) {
    song->info.SetInt(SongInfoBlock::kSoloProgram, record->instrument[15]);
  }
  song->info.SetInt(SongInfoBlock::kAccompProgram, program(record->instrument[3]));
  song->info.SetInt(SongInfoBlock::kAccomp2Program, program(record->instrument[7]));
}

void CBrevantDlg::ApplyStyleTempo() {
  const int category = categoryList->currentIndex();
  const int slot = styleList->currentData().isValid() ? styleList->currentData().toInt() : -1;
  const StyleRecord* record = FindStyleSlot(category, slot);
  if (!record || record->tempo < 1000) return;
  tempoSpin->setValue(GneTempoToBpm(record->tempo));
}

void CBrevantDlg::FillStyleList() {
  main_lists::FillStyleCombo(styleList, categoryList, nullptr);
}

void CBrevantDlg::ShowStyleOrigin(int itemData) {
  CCantrelCommon::SetStyleOriginLabel(itemData, styleOriginLabel);
}

void CBrevantDlg::ShowSongTitle(const std::string& path) {
  // Separators are looked for character by character: the second byte of "表" is a backslash.
  std::vector<char> name(path.size() + 1, 0);
  GneGetFileName(name.data(), path.c_str());
  setWindowTitle(plat::ToQString(name.data()));
}


// ------------------------------------------------------------------------------- song files

bool CBrevantDlg::SaveSong(const std::filesystem::path& path) {
  if (!song) return false;
  int metreKind = 1;
  const int beats = CCantrelCommon::MetreFromIndex(std::max(0, metreList->currentIndex()), &metreKind);
  const int key = std::max(0, keyList->currentIndex());
  const int bars = barCountSpin->value();
  if (bars != song->bar_count) song->SetBarCount(bars);
  song->info.SetInt(SongInfoBlock::kStyleCategory, std::max(0, categoryList->currentIndex()));
  const QVariant slot = styleList->currentData();
  if (!slot.isValid() || slot.toInt() == -1) {
    // The list shows the song's own style: its slot stays as it was.
  } else {
    song->info.SetInt(SongInfoBlock::kStyleSlot, slot.toInt());
  }
  song->info.SetInt(SongInfoBlock::kTempo, tempoSpin->value());
  return song->SaveAs(beats, key, &path, metreKind);
}

bool CBrevantDlg::LoadSong(const std::filesystem::path& path, int transposition) {
  if (plat::FileSize(path) > kMaxSongFileSize) {
    ErrorMsg(0);
    return false;
  }
  // A file that is not there or that the reader refuses (it says why) leaves the working song
  // as it was: it is not traded for an empty one that the exit would then save over it.
  if (!GneFileMustExist(path)) return false;
  const int64_t size = std::max<int64_t>(0, plat::FileSize(path));
  int bars = 32, beats = 4, key = 0, metre = 1;
  bool readOk = false;
  std::unique_ptr<CSongData> loaded =
      CSongData::LoadFromFile(path, &bars, &beats, &key, &metre, &readOk);
  if (!loaded || !readOk) return false;
  song = std::move(loaded);
  const int category = song->info.GetInt(SongInfoBlock::kStyleCategory);
  const int slot = song->info.GetInt(SongInfoBlock::kStyleSlot);
  if (size < static_cast<int64_t>(kSongImageSize)) {
    UseTableStyle();
  } else {
    GneSeedRandom();
    BuildStyleTable();
    if (song->style.pattern_db[0] == 0) song->SetStyle(SongStyleOrBuiltIn(*song));
    ApplyStyle(song->style);
  }
  if (transposition != 0) {
    song->TransposeSong(12 - transposition);
    key = song->key_index;
  }
  song->ClearRestLyrics();
  song->NormalizeRests();

  main_lists::FillCategoryCombo(categoryList, category);
  FillStyleList();
  main_lists::SelectStyleInCombo(category, styleList, slot);
  ShowStyleOrigin(styleList->currentData().toInt());
  main_lists::FillMetreCombo(metreList, CCantrelCommon::MetreIndex(beats, metre));
  int kind = 1;
  ShowBeatsPerBar(CCantrelCommon::MetreFromIndex(metreList->currentIndex(), &kind));
  ImportToolBeats(SongBeatsPerBar());
  ClearImportTool();
  {
    const QSignalBlocker block(keyList);
    keyList->setCurrentIndex(std::clamp(key, 0, keyList->count() - 1));
  }
  {
    const QSignalBlocker block(barCountSpin);
    if (song->bar_count < 1 && song->beats_per_bar > 0) song->SetBarCount(1);
    barCountSpin->setRange(1, 1024 / std::max(1, controlBeats_));
    barCountSpin->setValue(song->bar_count);
  }
  {
    const QSignalBlocker block(tempoSpin);
    tempoSpin->setValue(song->info.GetInt(SongInfoBlock::kTempo));
  }

  // Instruments the song does not set come from its built-in style.
  const StyleRecord& table = StyleTableSlot(category, slot);
  if (song->info.GetInt(SongInfoBlock::kMelodyProgram) == 0 &&
      song->info.GetInt(SongInfoBlock::kSoloProgram) == 0) {
    song->info.SetInt(SongInfoBlock::kMelodyProgram, table.instrument[1]);
    song->info.SetInt(SongInfoBlock::kSoloProgram, table.instrument[1]);
  }
  if (song->info.GetInt(SongInfoBlock::kAccompProgram) == 0 &&
      song->info.GetInt(SongInfoBlock::kAccomp2Program) == 0) {
    song->info.SetInt(SongInfoBlock::kAccompProgram, table.instrument[3]);
    song->info.SetInt(SongInfoBlock::kAccomp2Program, table.instrument[7]);
  }
  if (song->style.mixer[15].volume == 0) song->style.mixer[15].volume = song->style.mixer[1].volume;

  ChordPanelFollowsSongKey();
  topRow = 0;
  rangeFirst = rangeLast = -1;
  SetScrollPosition();
  cursorBar = 0;
  cursorEighth = 0;
  NumberBars();
  SetupScoreRows();
  ResetCursor();
  update();
  return true;
}

void CBrevantDlg::DropFile(const std::filesystem::path& path) {
  const std::string ext = Lower(path.extension().string());
  if (ext == ".mwd") {
    if (LoadSong(path, 0)) {
      SetSongPath(path);
      ShowSongTitle(plat::Utf8ToCp932(path.string()));
    }
    return;
  }
  if (ext == ".mid" && ImportMidiFile(path)) {
    // The imported song takes the file's name with the song extension (it is not saved).
    std::filesystem::path named = path;
    named.replace_extension(".mwd");
    SetSongPath(named);
    return;
  }
  ErrorMsg(0);
}

void CBrevantDlg::ErrorMsg(uint32_t code) {
  const char* text = "CBrevantDlg error";
  if (code == 4) {
    text = "小節の数は偶数でなければなりません。";
  } else if (code == 5) {
    text = "現在の音楽スタイルでは保存できません。";
  } else if (code == 0xFF01001Fu) {
    text = "拍子が誤っています。";
  }
  GneMessageBox(text);
  update();
}
