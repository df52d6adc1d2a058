// The main window's side of the compose-and-export worker: starting it for a play, an export or
// an upload, the busy knob and notes while it works, and its reports and completion.
#include "app/compose_worker.h"
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "app/song_style.h"
#include "dialogs/print_menus.h"

#include <QComboBox>
#include <QSpinBox>

#include <algorithm>
#include <cstring>

#include "arrange/ckv_algo.h"
#include "dialogs/qr_dialog.h"
#include "draw/knob_picture.h"
#include "engine/engine_state.h"
#include "export/mp3_encoder.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_out_device.h"
#include "platform/core/encoding.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/ui_timer.h"
#include "song/cantrel_uty.h"
#include "song/song_data.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace fs = std::filesystem;

namespace {

constexpr int kProgressTimer = 102;
constexpr int kProgressPeriodMs = 200;
constexpr int kBusyProgram = 123;
// Score pages stacked on each printed sheet.
constexpr int kPagesPerSheet = 3;
constexpr const char* kExportFilter = "midi files|*.mid|wave files|*.wav|mp3 files|*.mp3|";
constexpr int32_t kMobileSongCapacity = 0x60000;

// Every pan controller of the track set to the value.
void SetPans(MidiTrack& track, int32_t value) {
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    if (e->status == kStatusController && e->number == 10) e->value = value;
  }
}

}  // namespace

std::string CBrevantDlg::ProposedExportName(int category, int slot) const {
  std::string stem;
  if (song && !song->path.empty()) stem = plat::Utf8ToCp932(fs::path(song->path).stem().string());
  char style[64] = {};
  if (slot >= 0) {
    std::strncpy(style, StyleTableSlot(category, slot).english_name,
                 sizeof StyleRecord::english_name);
  } else if (styleList) {
    // The song's own style: the name the list shows.
    std::strncpy(style, plat::FromQString(styleList->currentText()).c_str(), sizeof style - 1);
  }
  CCantrelUty::BlanksToUnderscores(style);
  return stem + "_" + style + ".mid";
}

int CBrevantDlg::StartComposeThread(const fs::path& requested, CSongData* which,
                                    uint32_t completionMessage) {
  if (which == nullptr) return 0;
  // One worker at a time: the engine's state is its own until it is done.
  if (ComposeWorkerRunning()) {
    Beep(100);
    return 0;
  }
  const int barCount = barCountSpin ? barCountSpin->value() : which->bar_count;
  const int metreIndex = metreList ? std::max(metreList->currentIndex(), 0) : 0;
  const int styleIndex = styleList ? styleList->currentIndex() : -1;
  const int slot = styleList && styleIndex >= 0 ? styleList->currentData().toInt() : -1;
  const int category = categoryList ? std::max(categoryList->currentIndex(), 0) : 0;
  CKVAlgo::Initialize();

  fs::path out = requested;
  if (out.empty()) {
    const fs::path proposed = plat::Cp932ToUtf8(ProposedExportName(category, slot));
    if (GneSaveFileDialog(&out, "mid", kExportFilter, nullptr, &proposed) != 1) return 0;
  }
  const std::string ext = GneGetExtension(out.string());
  if (ext == "mp3") {
    // The encoder is looked for before any work: without it nothing would be written.
    if (FindMp3Encoder(config.encoderPath).empty()) {
      GneErrorBox("エンコーダが見つかりませんでした。");
      config.encoderPath[0] = 0;
      return 0;
    }
    setWindowTitle(QString::fromStdString(out.filename().string()));
  }

  ComposeRequest r;
  r.song = CopySong(*which);
  // A partial song of the bar menu carries no style: every song played or exported here is a
  // piece of the working song, whose style it is arranged in.
  r.style = SongStyleOrBuiltIn(song ? *song : *which);
  r.barCount = barCount;
  r.metreIndex = metreIndex;
  r.styleListIndex = styleIndex;
  r.styleSlot = slot;
  r.category = category;
  r.tempo = tempoSpin ? tempoSpin->value() : 120;
  r.outputPath = out;
  r.completionMessage = completionMessage;
  const SongInfoBlock& info = which->info;
  r.melodyInstrument = info.GetInt(SongInfoBlock::kMelodyProgram);
  r.secondMelodyInstrument = info.GetInt(SongInfoBlock::kSoloProgram);
  r.harmonyInstrument = info.GetInt(SongInfoBlock::kAccompProgram);
  r.subHarmonyInstrument = info.GetInt(SongInfoBlock::kAccomp2Program);
  r.lyricEventMode = config.lyricEventMode;
  r.leadInBars = config.leadInBars;
  r.audioQuality = config.audioQuality;
  r.encoderPath = std::string(config.encoderPath, strnlen(config.encoderPath, sizeof config.encoderPath));
  r.seed = CompositionSeed();

  setEnabled(false);
  outputPath = out;
  if (knob) CKnobPicture::SetMode(1, 0);
  if (timers_) timers_->SetTimer(kProgressTimer, kProgressPeriodMs, [this](int) { OnComposeProgress(); });
  StartComposeWorker(this, std::move(r));
  return 1;
}

void CBrevantDlg::OnComposeProgress() {
  if (knob) {
    CKnobPicture::SetValue(knobValue, 0);  // draws it
    CKnobPicture::BlitAll();
  }
  knobValue += 2;
  if (g_auditionDevice == nullptr || knobValue % 24 != 0) return;
  if (progressNote != -1) g_auditionDevice->NoteOff(progressNote, 0);
  // Drawn on this thread: the worker's generator keeps the song's own sequence.
  progressNote = 48 + GneRandomRange(0, 12);
  g_auditionDevice->NoteOn(progressNote, config.inputVelocity, 0);
}

bool CBrevantDlg::HandleComposeReport(uint32_t message, uintptr_t wparam) {
  switch (message) {
    case kMsgComposeStep:
      OnComposeProgress();
      return true;
    case kMsgComposeStage:
      if (knob) CKnobPicture::SetMode(static_cast<int>(wparam), 0);
      return true;
    case kMsgForgetEncoder:
      config.encoderPath[0] = 0;
      return true;
    case kMsgPlayComposed:
    case kMsgExportComposed:
    case kMsgUploadComposed:
      // The worker is done: its thread ends, the progress stops and the window takes input
      // again; the message goes on to its own handler.
      if (timers_) timers_->KillTimer(kProgressTimer);
      FinishComposeWorker();
      lastComposeWritten = wparam == 1;
      if (lastComposeWritten && song) KeepRenderedRiff(song->style);
      setEnabled(true);
      return false;
    default:
      return false;
  }
}

void CBrevantDlg::ShowExternalMenu() {
  int choice;
  {
    CMidiDlg menu(this);
    menu.SetOwner(this);
    menu.settings = &config;
    menu.showImportTool = [this] { ShowImportTool(); };
    menu.runSettings = [this](ConfigData* settings) { RunInoutSettings(settings); };
    menu.exec();
    choice = menu.Choice();
  }
  switch (choice) {
    case 1: ImportWithDialog(); break;
    case 2:
      if (song) StartComposeThread(fs::path(), song.get(), kMsgExportComposed);
      break;
    case 3:
    case 4: {
      int chords, lyrics, title;
      {
        CPrintDlg options(this);
        options.SetOwner(this);
        options.exec();
        chords = options.chords;
        lyrics = options.lyrics;
        title = options.title;
      }
      if (choice == 3) {
        SaveScoreImage(lyrics, chords, title);
      } else {
        PrintScore(lyrics, kPagesPerSheet, chords, title);
      }
      break;
    }
    case 5: UploadToMobile(); break;
    case 6: AppendSongWithDialog(); break;
    default: break;
  }
}

void ThickenMobileSong(const fs::path& path) {
  Midi0Data format0(path, kMobileSongCapacity);
  Midi1Data song(format0, kMobileSongCapacity);
  if (song.track_count < 14) return;  // not a song the worker wrote
  song.NormaliseVolumes();
  for (int32_t i = 0; i < song.track_count; ++i) {
    Midi1Track* source = song.Track(i);
    if (source == nullptr || source->GetChannel() != 0) continue;
    for (const int32_t target : {12, 13}) {
      const Midi1Track* old = song.Track(target);
      if (old == nullptr || old == source || old->GetNoteCount() > 0) continue;
      auto* copy = new Midi1Track(*source, kMobileSongCapacity);
      copy->ChangeChannel(0, target);
      copy->DeleteAllSysEx();
      if (target == 12) {
        copy->Transpose(12, -12);
      } else {
        SetPans(*copy, 0);
        if (copy->event_count > 0) copy->events[0]->delta += song.division / 8;
        copy->ScaleVelocity(1.2);
        source->ScaleVelocity(1.2);
        SetPans(*source, 127);
      }
      // The silent track gives way; the copy goes to the end of the list.
      song.DeleteTrack(target);
      song.AddTrack(copy);
      if (i > target) --i;
    }
  }
  song.SaveFile(path);
}

void CBrevantDlg::MobileTransferDone() {
  if (config.thickenForMobile == 1 && lastComposeWritten) ThickenMobileSong(midiFilePath);
  {
    CQrDlg transfer(this);
    transfer.SetOwner(this);
    transfer.filePath = midiFilePath;
    transfer.exec();
  }
  // The song went to the service (or could not); its local copy is not kept.
  std::error_code ec;
  fs::remove(midiFilePath, ec);
  // The busy voice the upload chose goes back to the piano.
  if (g_auditionDevice) g_auditionDevice->ProgramChange(0, 0);
}

void CBrevantDlg::UploadToMobile() {
  if (g_auditionDevice) g_auditionDevice->ProgramChange(kBusyProgram, 0);
  const fs::path path = userDataFolder / "upload.mid";
  StartComposeThread(path, song.get(), kMsgUploadComposed);
  midiFilePath = path;
}
