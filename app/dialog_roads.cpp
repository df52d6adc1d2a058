// The modal dialogs the main window opens from its buttons, and what it does before and after
// each of them.
#include "app/main_dialog.h"
#include "app/config_data.h"
#include "app/main_globals.h"
#include "dialogs/archive_dialog.h"
#include "dialogs/import_dialogs.h"
#include "dialogs/melody_panel.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/song_info_dialog.h"
#include "dialogs/web_library.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/message_sink.h"
#include "song/abc_notation.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/settings_file.h"

#include <QApplication>
#include <QSpinBox>

#include <vector>
#include "platform/core/midi_input.h"

void CBrevantDlg::FillDefaultSettings(ConfigData* block) { SetDefaultConfig(block); }

int CBrevantDlg::ScreenDefaultMode() const { return GetDefaultScreenMode(); }

void CBrevantDlg::ShowSettings() {
  if (midiIn_) {
    midiIn_->Stop();
    midiIn_.reset();
  }
  int layoutChanged = 0;
  {
    CConfigDlg dlg(this);
    dlg.SetOwner(this);
    dlg.SetSettings(&config, this, g_melodyPanel);
    dlg.exec();
    layoutChanged = dlg.LayoutChanged();
  }
  ResizePanelsForAdvice();
  if (config.midiInDevice >= 0) OpenMidiIn();
  // The audition device opens again on the chosen output, found by its stored name.
  OpenMidiOut();
  if (g_melodyPanel) g_melodyPanel->RebuildKeyboard();
  if (layoutChanged == 1) {
    RebuildLayout();
    return;
  }
  RecreateScorePage();
  SetupScoreRows();
  RefreshScore(1);
}

void CBrevantDlg::ShowSongInfo() {
  song->info.SetInt(SongInfoBlock::kTempo, tempoSpin->value());
  CSongInfoDlg dlg(this);
  dlg.SetOwner(this);
  dlg.SetSong(song.get(), g_melodyPanel ? g_melodyPanel->KeyboardPicture() : nullptr);
  dlg.exec();
}

// Opened from the external menu, on top of it; it edits the live settings block.
void CBrevantDlg::RunInoutSettings(ConfigData* settings) {
  if (!settings) return;
  QWidget* over = QApplication::activeModalWidget();
  CInoutConfigDlg dlg(over ? over : this);
  dlg.SetOwner(this);
  dlg.SetSettings(settings);
  dlg.exec();
}

namespace {

// The web song library as the archive dialog's right half. The library hangs under the dialog
// and goes with it; Close stops and joins its workers before that.
class ArchiveWebLibrary : public CArchiveWebHalf {
 public:
  explicit ArchiveWebLibrary(ConfigData* config) : config_(config) {}
  void Prepare(CArchiveDlg* dialog) override {
    library_ = new CWebLibrary(dialog, config_);
    library_->Prepare();
  }
  bool FirstFetchRunning() const override { return library_ && library_->Ready() == 0; }
  void OpenPreviewPage() override {
    if (library_) library_->OpenPreviewPage();
  }
  void RunWebSearch() override {
    if (library_) library_->WebKeywordSearch();
  }
  void Close() override {
    if (library_) library_->Shutdown();
  }

 private:
  ConfigData* config_;
  CWebLibrary* library_ = nullptr;
};

}  // namespace

void CBrevantDlg::OpenArchive() {
  if (g_isPlaying.load() == 1) TogglePlay();
  std::string chosen;
  int transposition = 0;
  {
    ArchiveWebLibrary web(&config);
    CArchiveDlg dlg(this);
    dlg.SetWebHalf(&web);
    dlg.SetOwner(this);
    dlg.SetFolders(userDataFolder, userDataFolder);
    dlg.SetSong(song.get());
    dlg.SetConfig(&config);
    dlg.SetKeyboardPicture(g_melodyPanel ? g_melodyPanel->KeyboardPicture() : nullptr);
    if (RunModal(dlg) != QDialog::Accepted || dlg.ChosenFile().empty()) return;
    chosen = dlg.ChosenFile();
    transposition = dlg.ChosenTransposition();
  }
  const std::filesystem::path path = archive::ArchiveFolder(userDataFolder) / chosen;
  SetSongPath(path);
  // The settings keep the song as the current one from now on.
  if (configControl_) {
    ConfigToBytes(config, configImage_.data());
    configControl_->Save();
  }
  ShowSongTitle(plat::Utf8ToCp932(path.string()));
  if (LoadSong(path, transposition)) CollectSongChords();
}

void CBrevantDlg::ChooseMelodyChannel(int32_t& channel, const Midi0Data& data) {
  CloseAuditionDevice();
  {
    CMelodyChannelDlg dlg(this);
    dlg.SetOwner(this);
    dlg.SetSong(&data, channel, &config);
    dlg.exec();
    // Closed any other way than by its button, the proposed channel stands.
    channel = dlg.Channel();
  }
  ReopenAuditionDevice();
}

void CBrevantDlg::OpenAbcDialog() {
  std::vector<char> buffer(30000, '\0');
  size_t length = 0;
  {
    CAbcNotationDlg dlg(this);
    dlg.SetOwner(this);
    dlg.SetBuffer(buffer.data(), buffer.size());
    dlg.exec();
    // "破棄", Escape and an empty box bring nothing to import.
    if (!dlg.TextCame()) return;
    length = dlg.TextLength();
  }
  ImportAbcText(buffer.data(), length);
}

void CBrevantDlg::ImportAbcFile(const std::filesystem::path& path) {
  if (!song) return;
  song->TakeUndoSnapshot();
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(path, bytes)) {
    ErrorMsg(0);
    return;
  }
  bytes.push_back(0);
  bytes.push_back(0);
  ImportAbcText(reinterpret_cast<const char*>(bytes.data()), bytes.size() - 2);
}

int CBrevantDlg::ImportAbcText(const char* text, size_t length) {
  if (!song) return 0;
  CAbcNotation::Import(song.get(), text, length);
  UseTableStyle();
  ApplyStyleInstruments();
  ShowSongShape();
  if (CAbcNotation::TwoFourFlag() && GneConfirmBox("未使用拍を詰めますか？") != plat::kIdCancel) {
    song->RemoveSkipBeats();
    ShowSongShape();
  }
  return 1;
}
