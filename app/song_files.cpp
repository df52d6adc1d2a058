// The main window's song files: a new song, opening and saving song files, importing MIDI files,
// and a 3/4 song written out as a new 4/4 song.
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "app/main_lists.h"
#include "draw/main_dialog_helper.h"
#include "platform/core/message_sink.h"
#include "music/midi_out_device.h"
#include "music/xf_data.h"
#include "platform/core/encoding.h"
#include "platform/qt/keyboard_hook.h"
#include "song/archive_scan.h"
#include "song/midi_import.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/gne_files.h"

#include <QComboBox>
#include <QSpinBox>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr const char* kSongFilter = "cantrel files|*.mwd|";

}  // namespace

void CBrevantDlg::SetSongPath(const std::filesystem::path& path) {
  // A path longer than the field, or one with characters the field's encoding cannot hold, is
  // not stored cut or altered (it would name another file, where a later save would go): the
  // song is kept as one without a file instead.
  std::memset(config.songPath, 0, sizeof(config.songPath));
  std::string cp932;
  if (plat::TryUtf8ToCp932(path.string(), cp932) && cp932.size() < sizeof(config.songPath)) {
    std::memcpy(config.songPath, cp932.data(), cp932.size());
  }
}

std::filesystem::path CBrevantDlg::SongPath() const {
  return std::filesystem::path(
      plat::Cp932ToUtf8(std::string(config.songPath, strnlen(config.songPath, sizeof config.songPath))));
}

void CBrevantDlg::NewSong() {
  if (GneConfirmBox("曲をクリアしますか？") != plat::kIdOk) return;
  melodyFields.visible = false;
  ResetSong();
  ClearImportTool();
  SetScrollPosition();
}

void CBrevantDlg::OpenSongWithDialog() {
  const std::filesystem::path archive = archive::ArchiveFolder(userDataFolder);
  const std::filesystem::path proposed = SongPath();
  std::filesystem::path chosen;
  int picked;
  {
    const KeyboardHookPause pause(config.inputMode == 0);
    picked = GneOpenFileDialog("mwd", kSongFilter, &chosen, &proposed, nullptr, &archive);
  }
  if (picked != 1) return;
  SetSongPath(chosen);
  ShowSongTitle(plat::Utf8ToCp932(chosen.string()));
  if (LoadSong(chosen, 0)) CollectSongChords();
}

void CBrevantDlg::AppendSongWithDialog() {
  if (!song) return;
  std::filesystem::path chosen;
  int picked;
  {
    const KeyboardHookPause pause(config.inputMode == 0);
    picked = GneOpenFileDialog("mwd", kSongFilter, &chosen);
  }
  if (picked != 1) return;
  // The song reports a file it cannot join (another metre, too many bars) and stays as it was.
  song->AppendFile(chosen);
  ShowSongShape();
}

void CBrevantDlg::SaveSongAs() {
  const std::filesystem::path proposed = SongPath();
  std::filesystem::path chosen;
  int picked;
  {
    const KeyboardHookPause pause(config.inputMode == 0);
    picked = GneSaveFileDialog(&chosen, "mwd", kSongFilter, nullptr, &proposed);
  }
  if (picked != 1) return;
  // The program's own folder is read-only: the song goes to the shared documents instead.
  const std::string program = g_programFolder.string();
  if (!program.empty() && chosen.string().compare(0, program.size(), program) == 0) {
    std::filesystem::path folder;
    GneGetCommonDocumentsFolder(&folder, "Cantrel");
    chosen = folder / chosen.filename();
    GneMessageBox("プログラムフォルダには保存できません。" + plat::Utf8ToCp932(chosen.string()) +
                  "に保存します。");
  }
  if (!SaveSong(chosen)) return;
  SetSongPath(chosen);
  ShowSongTitle(plat::Utf8ToCp932(chosen.string()));
}

void CBrevantDlg::ImportWithDialog() {
  std::filesystem::path chosen;
  int picked;
  {
    const KeyboardHookPause pause(config.inputMode == 0);
    picked = GneOpenFileDialog("mid", "midi files|*.mid|abc files|*.abc|", &chosen);
  }
  if (picked != 1) return;
  std::string ext = chosen.extension().string();
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  if (ext == ".abc") {
    ImportAbcFile(chosen);
  } else if (!ImportMidiFile(chosen)) {
    ErrorMsg(0);
    return;
  }
  std::filesystem::path named = chosen;
  named.replace_extension(".mwd");
  SetSongPath(named);
}

bool CBrevantDlg::ImportMidiFile(const std::filesystem::path& path) {
  if (!song) return false;
  song->TakeUndoSnapshot();
  // A file that gives no song keeps the working song as it was.
  const bool imported = CKvImport::ImportFile(
      path, *song, [this](int32_t& channel, XfData& data) { ChooseMelodyChannel(channel, data); });
  if (!imported) return false;
  UseTableStyle();
  ApplyStyleInstruments();
  ShowSongShape();
  return true;
}



void CBrevantDlg::ShowSongShape() {
  {
    const QSignalBlocker block(metreList);
    metreList->setCurrentIndex(CCantrelCommon::MetreIndex(song->beats_per_bar, song->metre_kind));
  }
  {
    const QSignalBlocker block(keyList);
    keyList->setCurrentIndex(std::clamp(static_cast<int>(song->key_index), 0, keyList->count() - 1));
  }
  {
    const QSignalBlocker block(barCountSpin);
    barCountSpin->setRange(1, kSongMaxBeats / SongBeatsPerBar());
    barCountSpin->setValue(song->bar_count);
  }
  ShowBeatsPerBar(SongBeatsPerBar());
  RedrawChordCells();
  RefreshMelodyBox(1);
  SetupScoreRows();
  RefreshScore(1);
  {
    const QSignalBlocker block(tempoSpin);
    tempoSpin->setValue(song->info.GetInt(SongInfoBlock::kTempo));
  }
}

void CBrevantDlg::ConvertToFourFour() {
  // Only a song of three beats is laid out again in four.
  if (!song || song->beats_per_bar != 3) {
    ErrorMsg(0);
    return;
  }
  const int beats = std::min(song->bar_count * 3, kSongMaxBeats);
  const int bars = beats / 4;
  if (bars < 1) {
    ErrorMsg(0);
    return;
  }
  auto converted = std::make_unique<CSongData>();
  converted->Reset(bars, 4, song->key_index, 1);
  converted->info = song->info;
  converted->style = song->style;
  for (int b = 0; b < bars * 4; ++b) {
    converted->chords[b] = song->chords[b];
    converted->bass_first[b] = song->bass_first[b];
    converted->bass_second[b] = song->bass_second[b];
    converted->cells[2 * b] = song->cells[2 * b];
    converted->cells[2 * b + 1] = song->cells[2 * b + 1];
  }
  std::filesystem::path chosen;
  int picked;
  {
    const KeyboardHookPause pause(config.inputMode == 0);
    picked = GneSaveFileDialog(&chosen, "mwd", "mwd files|*.mwd|");
  }
  if (picked == 1) converted->Save(&chosen);
}
