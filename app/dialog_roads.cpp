// The modal dialogs the main window opens from its buttons, and what it does before and after
// each of them.
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "dialogs/import_dialogs.h"
#include "dialogs/melody_panel.h"
#include "dialogs/settings_dialogs.h"
#include "dialogs/song_info_dialog.h"
#include "platform/core/files.h"
#include "platform/core/message_sink.h"
#include "song/abc_notation.h"
#include "song/song_data.h"
#include "util/gne.h"

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
  dlg.SetLyricDialog([this] { NoteSeam("LyricDialog"); });
  dlg.exec();
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
