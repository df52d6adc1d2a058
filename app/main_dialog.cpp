#include "app/main_dialog.h"

#include "app/about_dialog.h"
#include "app/main_globals.h"
#include "app/main_lists.h"
#include "app/page_geometry.h"
#include "platform/core/clock.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/qt/app_message.h"
#include "platform/qt/dc.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/ui_timer.h"
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
// The frame that the layout's window coordinates include (the non-client width and height).
constexpr int kFrameWidth = 16;
constexpr int kFrameHeight = 39;
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

// Keeps the song's file path in the settings. A path longer than the field, or one with
// characters the field's encoding cannot hold, is not stored cut or altered (it would name
// another file, where a later save would go): the song is kept as one without a file instead.
void StoreSongPath(ConfigData& config, const std::filesystem::path& path) {
  std::memset(config.songPath, 0, sizeof(config.songPath));
  std::string cp932;
  if (plat::TryUtf8ToCp932(path.string(), cp932) && cp932.size() < sizeof(config.songPath)) {
    std::memcpy(config.songPath, cp932.data(), cp932.size());
  }
}

}  // namespace

CBrevantDlg::CBrevantDlg(const std::string& commandLine, QWidget* parent)
    : QDialog(parent), commandLine_(commandLine) {
  setObjectName(QStringLiteral("102"));
  timers_ = new plat::UiTimers(this);
  icon_ = QIcon(QString::fromStdString((plat::ProgramFolder() / "cantrel.png").string()));
  CreateControls();
  OnInitDialog();
}

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
  exitButton = new QPushButton(plat::ToQString("  終　了"), this);
  exitButton->setObjectName(QStringLiteral("1039"));
  exitButton->setAutoDefault(false);
  exitButton->setDefault(false);
  exitButton->setToolTip(plat::ToQString("終了します。"));
  connect(exitButton, &QPushButton::clicked, this, [this]() { ExitCommand(); });
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

  // Tempo spin.
  tempoSpin->setRange(30, 210);
  tempoSpin->setValue(120);

  // Settings: defaults, then the file.
  ConfigData defaults;
  SetDefaultConfig(&defaults);
  const ConfigImage defaultImage = ConfigToImage(defaults);
  const std::filesystem::path settingsPath = userDataFolder / kSettingsFileName;
  configControl_ = std::make_unique<CConfigControl>(settingsPath, configImage_.data(),
                                                    configImage_.size(), defaultImage.data());
  settingsFileOpened = configControl_->LoadedFromFile();
  ConfigFromBytes(configImage_.data(), config);
  SanitizeConfig(config);

  ShowSongTitle(config.songPath);

  OpenMidiOut();

  cursorBar = cursorEighth = staffRedrawState = -1;
  cursorHalf = 0;

  BuildStyleTable();

  // The working song.
  const std::filesystem::path songPath = userDataFolder / kWorkingSongName;
  const int64_t size = std::max<int64_t>(0, plat::FileSize(songPath));
  int bars = 8, beats = 4, key = 0, metre = 0;
  bool songRead = false;
  song = CSongData::LoadFromFile(songPath, &bars, &beats, &key, &metre, &songRead);
  if (!song) {
    song = std::make_unique<CSongData>();
    song->Reset(8, 4, 0, 1);
    bars = 8;
    beats = 4;
    key = 0;
    metre = 1;
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

  topRow = 0;

  // Lists.
  main_lists::FillKeyCombo(keyList, key);

  // The window takes its mode's size and the top line its places; the page builds on them.
  SizeWindowForMode();
  PlaceTopControls();
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
  main_lists::FillMetreCombo(metreList, main_lists::MetreIndex(controlBeats_, metre));
  barCountSpin->setRange(0, 1024 / controlBeats_);
  barCountSpin->setValue(song->bar_count);
  menuBarCell = -1;

  OpenMidiIn();
  ArmKeyboardHook();
  // First start: the song takes the instruments of the selected style.
  if (!settingsFileOpened) ApplyStyleInstruments();
  CreateBarCounter();

  plat::PostAppMessage(this, kMsgReady);
  return true;
}

void CBrevantDlg::SizeWindowForMode() {
  int screenH = 0, screenW = 0;
  GetScreenSize(&screenH, &screenW);
  ModeGeometry g;
  if (!ModeGeometryFor(config.screenLayout, g_displayScale, screenW, screenH, &g)) {
    ModeGeometryFor(5, g_displayScale, screenW, screenH, &g);
  }
  g_barsPerRow = g.barsPerRow;
  g_rowsPerPage = g.rowsPerPage;
  g_barsPerPage = std::min(48, g.barsPerRow * g.rowsPerPage);
  config.scoreRowHeight = static_cast<uint8_t>(g.scoreRowHeight);
  song::SetPageGeometry(g_rowsPerPage, g_barsPerRow);
  // The layout's sizes are window sizes; the client area is that less the frame.
  const int w = g.width - kFrameWidth;
  const int h = g.height - kFrameHeight;
  setFixedSize(w, h);
  if (g.moved) move(g.x, std::max(0, g.y));

  // The exit button's place in the toolbar of the mode.
  struct Place {
    int top, left, width;
  };
  static const Place kExit[kScreenModeCount] = {
      {511, 727, 53}, {-1, 1840, 73}, {511, 915, 88}, {630, 1014, 88},
      {630, 1078, 88}, {678, 915, 88}, {630, 1014, 88}};
  const ScaleMetrics m = ScaleMetricsFor(g_displayScale);
  const int mode = std::clamp<int>(config.screenLayout, 0, kScreenModeCount - 1);
  const Place& p = kExit[mode];
  const int top = p.top < 0 ? 35 + m.topControlsShift : p.top + m.toolbarShift;
  exitButton->setGeometry(p.left - kFrameWidth / 2, top + kFrameWidth / 2 - kFrameHeight, p.width,
                          30);
  exitButton->setText(plat::ToQString(g_displayScale == 100 ? "  終　了" : "  終了"));
}

void CBrevantDlg::PlaceTopControls() {
  const ScaleMetrics m = ScaleMetricsFor(g_displayScale);
  struct Item {
    QWidget* w;
    int left, right;
  };
  const Item items[] = {
      {metreLabel, 12, 100},     {metreList, 101, 150},     {keyList, 150, 199},
      {tempoSpin, 201, 243},     {barCountSpin, 306, 348},  {barCountLabel, 262, 304},
      {styleOriginLabel, 581, 625}, {categoryList, 353, 476}, {styleList, 476, 581},
  };
  const int y = 35 + m.topControlsShift + m.topControlsShift2 + kFrameWidth / 2 - kFrameHeight;
  for (const Item& it : items) {
    const int left = static_cast<int>(it.left * m.topControlsScale);
    const int right = static_cast<int>(it.right * m.topControlsScale);
    it.w->setGeometry(left - kFrameWidth / 2, std::max(0, y), right - left, 20);
  }
}

// -------------------------------------------------------------------------------- messages

void CBrevantDlg::customEvent(QEvent* event) {
  if (const plat::AppMessage* m = plat::IsAppMessage(event)) {
    OnAppMessage(*m);
    return;
  }
  QDialog::customEvent(event);
}

void CBrevantDlg::OnAppMessage(const plat::AppMessage& message) {
  switch (message.message) {
    case kMsgReady:
      OnReadyMessage();
      break;
    case kMsgQuit:
      done(0);
      break;
    default:
      break;
  }
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
  // The close box does nothing: only the exit button ends the program.
  if (released_ || result() == -1) {
    event->accept();
    return;
  }
  OnCancel();
  event->ignore();
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
  if (g_isPlaying.load() == 1) return;
  plat::SleepMs(500);
  ClearChordCursors();
  plat::PostAppMessage(this, kMsgQuit);
}

void CBrevantDlg::ReleaseAll() {
  if (released_) return;
  released_ = true;
  timers_->KillAll();

  CloseMidiDevices();
  QuitChordDictionary();

  // The working song: a failed save is reported by the song itself and the settings are
  // written all the same.
  if (song) SaveSong(userDataFolder / kWorkingSongName);

  // The settings block, written whole by its keeper.
  if (configControl_) {
    ConfigToBytes(config, configImage_.data());
    configControl_.reset();
  }

  song.reset();
  ReleasePicturesAndPanels();
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
  auto program = [](int32_t p) {
    // Extended instrument numbers become General MIDI programs.
    if (p <= 127 || p == 256) return p;
    switch (p) {
      case 128: case 129: case 133: case 140: case 142: return 22;
      case 130: case 131: return 9;
      case 132: return 40;
      case 137: return 24;
      case 139: return 61;
      case 141: return 11;
      case 143: return 4;
      default: return 0;
    }
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
  main_lists::SetStyleOriginLabel(itemData, styleOriginLabel);
}

void CBrevantDlg::ShowSongTitle(const std::string& path) {
  // Separators are looked for character by character: the second byte of "表" is a backslash.
  std::vector<char> name(path.size() + 1, 0);
  GneGetFileName(name.data(), path.c_str());
  setWindowTitle(plat::ToQString(name.data()));
}

void CBrevantDlg::ShowBeatsPerBar(int beats) {
  // The chord cells and melody-box cells of beats past `beats` are hidden by the page layout.
  controlBeats_ = beats;
}

// ------------------------------------------------------------------------------- song files

bool CBrevantDlg::SaveSong(const std::filesystem::path& path) {
  if (!song) return false;
  int metreKind = 1;
  const int beats = main_lists::MetreFromIndex(std::max(0, metreList->currentIndex()), &metreKind);
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
    if (song->style.pattern_db[0] == 0) song->SetStyle(StyleTableSlot(category, slot));
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
  main_lists::FillMetreCombo(metreList, main_lists::MetreIndex(beats, metre));
  int kind = 1;
  ShowBeatsPerBar(main_lists::MetreFromIndex(metreList->currentIndex(), &kind));
  {
    const QSignalBlocker block(keyList);
    keyList->setCurrentIndex(std::clamp(key, 0, keyList->count() - 1));
  }
  {
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setRange(0, 1024 / std::max(1, controlBeats_));
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

  topRow = 0;
  rangeFirst = rangeLast = -1;
  update();
  return true;
}

void CBrevantDlg::DropFile(const std::filesystem::path& path) {
  const std::string ext = Lower(path.extension().string());
  if (ext == ".mwd") {
    if (LoadSong(path, 0)) {
      StoreSongPath(config, path);
      ShowSongTitle(plat::Utf8ToCp932(path.string()));
    }
    return;
  }
  if (ext == ".mid" && ImportMidiFile(path)) {
    // The imported song takes the file's name with the song extension (it is not saved).
    std::filesystem::path named = path;
    named.replace_extension(".mwd");
    StoreSongPath(config, named);
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
