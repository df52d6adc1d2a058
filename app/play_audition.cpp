// The main window's sound: playing the arranged song with a marker that follows it, auditioning
// the notes the user enters, the MIDI devices, and notes from an external MIDI keyboard.
#include "app/compose_worker.h"
#include "app/main_dialog.h"

#include "app/main_globals.h"
#include "draw/counter_picture.h"
#include "draw/knob_picture.h"
#include "draw/main_dialog_helper.h"
#include "draw/staff_picture.h"
#include "engine/engine_state.h"
#include "music/midi0_data.h"
#include "music/midi_out_device.h"
#include "music/midi_player.h"
#include "music/play_thread.h"
#include "music/sysex_kind.h"
#include "platform/core/midi_input.h"
#include "platform/qt/app_message.h"
#include "platform/qt/qt_message_sink.h"
#include "platform/qt/qt_text.h"
#include "platform/qt/ui_timer.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/registry.h"

#include <QCoreApplication>
#include <QMessageBox>

#include <algorithm>
#include <cstring>

namespace {

constexpr int kAuditionTimer = 103;
constexpr int kAuditionMs = 50;
constexpr int kBusyProgram = 123;
constexpr const char* kPlayFileName = "temp.tmp";
// Where the MIDI input's port name is kept beside the settings block.
constexpr const char* kMidiInKey = "MidiIn";
constexpr const char* kMidiInNameValue = "Name";
// The marker's colour on the bar that plays.
constexpr plat::ColorRef kPlayMarkerColour = 0xC8C8FF;  // RGB (255, 200, 200)
constexpr plat::ColorRef kWhite = 0xFFFFFF;

// The skipped beats of the song being played (the conversion to the engine fills them).
struct SkippedBeats {
  std::vector<int> beats;
  std::atomic<int> index{0};
  std::atomic<int> offset{0};
};

SkippedBeats& Skipped() {
  static SkippedBeats s;
  return s;
}

}  // namespace

void CBrevantDlg::BeginPlayPositions() {
  // The beats the arrangement left out, as the conversion of the song listed them.
  const std::vector<int32_t>& beats = SkipBeats().beats;
  Skipped().beats.assign(beats.begin(), beats.begin() + std::min<size_t>(beats.size(), 256));
  Skipped().index = 0;
  Skipped().offset = 0;
  playMarkerBar = -1;
}

// ------------------------------------------------------------------------------------ devices

int FindMidiOutByName(const char* name) {
  plat::MidiOutBackend& backend = plat::CurrentMidiOutBackend();
  const std::string wanted(name, strnlen(name, 32));
  // A stored name that fills its field was cut: a device whose name begins with it is the one.
  const bool cut = wanted.size() >= 31;
  const int count = backend.Count();
  for (int id = 0; id < count; ++id) {
    const std::string have = backend.Name(id);
    if (have == wanted || (cut && have.compare(0, wanted.size(), wanted) == 0)) return id;
  }
  return -1;
}

void CBrevantDlg::OpenMidiOut() {
  // A device that does not open plays silently; its first note tells why, once for this choice.
  if (!outputFallback_) {
    plat::MidiOutBackend& inner = plat::CurrentMidiOutBackend();
    // Told from whichever thread sounded the note: the window shows it.
    QObject* self = this;
    outputFallback_ = std::make_unique<plat::SilentFallbackMidiOutBackend>(
        inner, [self](int) { plat::PostAppMessage(self, kMsgNoSound); });
    plat::InstallMidiOutBackend(outputFallback_.get());
  } else {
    outputFallback_->Forget();
  }
  const std::string name = outputFallback_->inner().Name(config.midiOutDevice);
  const std::string stored(config.midiOutName, strnlen(config.midiOutName, sizeof config.midiOutName));
  if (name != stored) config.midiOutDevice = static_cast<int16_t>(FindMidiOutByName(config.midiOutName));
  CloseAuditionDevice();
  ReopenAuditionDevice();
}

void CBrevantDlg::OnNoSound() {
  const char* text = "MIDI出力装置を開けません。音を出さずに演奏します。";
  // On the desktop nothing waits for the box: what plays goes on silently.
  if (dynamic_cast<plat::QtMessageSink*>(&plat::Sink())) {
    auto* box = new QMessageBox(QMessageBox::Information, windowTitle(), plat::ToQString(text),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setModal(false);
    box->show();
    return;
  }
  GneMessageBox(text);
}

void CBrevantDlg::ReleaseMidiOutFallback() {
  if (!outputFallback_) return;
  plat::MidiOutBackend* inner = &outputFallback_->inner();
  if (&plat::CurrentMidiOutBackend() == outputFallback_.get()) plat::InstallMidiOutBackend(inner);
  outputFallback_.reset();
}

void CBrevantDlg::CloseAuditionDevice() {
  if (!g_auditionDevice) return;
  g_auditionDevice->Close();
  delete g_auditionDevice;
  g_auditionDevice = nullptr;
}

void CBrevantDlg::ReopenAuditionDevice() {
  if (g_auditionDevice) return;
  g_auditionDevice = new MidiOutDevice(config.midiOutDevice);
  if (!g_auditionDevice->IsOpen()) {
    delete g_auditionDevice;
    g_auditionDevice = nullptr;
    return;
  }
  g_auditionDevice->ProgramChange(0, 0);
}

void CBrevantDlg::CloseMidiDevices() {
  if (midiIn_) {
    midiIn_->Stop();
    midiIn_.reset();
  }
  CloseAuditionDevice();
}

// ------------------------------------------------------------------------------------ audition

void CBrevantDlg::AuditionPanelNote() {
  if (melodyFields.pitch < 0) return;
  ReopenAuditionDevice();
  AuditionNote();
}

void CBrevantDlg::AuditionNote() {
  if (!g_auditionDevice) return;
  if (auditionNote != -1) g_auditionDevice->NoteOff(auditionNote, 0);
  auditionNote = melodyFields.pitch;
  g_auditionDevice->NoteOn(auditionNote, config.inputVelocity, 0);
  timers_->SetTimer(kAuditionTimer, kAuditionMs, [this](int id) {
    timers_->KillTimer(id);
    EndAuditionNote();
  });
}

void CBrevantDlg::EndAuditionNote() {
  // The note that sounds ends, whatever the panel shows now.
  if (g_auditionDevice && auditionNote >= 0) g_auditionDevice->NoteOff(auditionNote, 0);
  auditionNote = -1;
}

// --------------------------------------------------------------------------------- MIDI input

int CBrevantDlg::OpenMidiIn() {
  if (config.midiInDevice < 0) return 0;
  std::string name;
  GneRegistryGet(kMidiInKey, kMidiInNameValue, name);
  // The input's own thread hands each message to the window's.
  QObject* self = this;
  midiIn_ = plat::OpenMidiIn(name, config.midiInDevice, [self](uint32_t message) {
    plat::PostAppMessage(self, kMsgMidiData, 0, static_cast<intptr_t>(message));
  });
  if (!midiIn_) return 0;
  if (midiIn_->Name() != name) GneRegistrySet(kMidiInKey, kMidiInNameValue, midiIn_->Name());
  midiIn_->Start();
  return 1;
}

void CBrevantDlg::OnMidiInData(uint32_t data) {
  // Note-ons of the first channel only; a note-on of velocity 0 ends a note.
  if ((data & 0xFF) != 0x90 || ((data >> 16) & 0x7F) == 0) return;
  KeyboardNote(static_cast<int>((data >> 8) & 0x7F));
}


// ------------------------------------------------------------------------------------ playing

void CBrevantDlg::TogglePlay() {
  if (g_isPlaying.load() == 1) {
    if (!g_playingSong) return;
    // The stopped play's own end notice, still on its way, is for a play that is over.
    ++playGeneration_;
    g_playingSong->StopPlay();
    g_isPlaying = 0;
    SetPlayCaption(1);
    delete g_playingSong;
    g_playingSong = nullptr;
    ClearPlayMarker();
    return;
  }
  // A song being arranged plays when it is ready: a second request is not started.
  if (arranging_) {
    Beep(100);
    return;
  }
  menuBarCell = -1;
  playFirstBar = 0;
  PlaySong(song.get());
}

void CBrevantDlg::PlaySong(CSongData* which) {
  if (!which || arranging_ || g_isPlaying.load() == 1) return;
  ReopenAuditionDevice();
  if (g_auditionDevice) g_auditionDevice->ProgramChange(kBusyProgram, 0);
  rangeFirst = rangeLast = -1;
  DrawRangeHighlight();
  SetPlayCaption(0);
  if (knob) {
    CKnobPicture::SetMode(1, 0);
    CKnobPicture::SetValue(0, 0);
  }
  knobValue = 0;
  outputPath = userDataFolder / kPlayFileName;
  // Only what this request writes is played: an earlier file goes first.
  std::error_code ec;
  std::filesystem::remove(outputPath, ec);
  arranging_ = true;
  playRequest_ = which;
  // The worker arranges the song into the play file and posts its completion, which starts the
  // player; a refused request leaves nothing arranging.
  if (!StartComposeThread(outputPath, which, kMsgPlayComposed)) StartPlayback({});
}

void CBrevantDlg::StartPlayback(const std::filesystem::path& path) {
  arranging_ = false;
  playRequest_ = nullptr;
  if (path.empty() || !std::filesystem::exists(path)) {
    // The arrangement wrote nothing: nothing plays.
    SetPlayCaption(1);
    if (knob) CKnobPicture::SetMode(1, 0);
    return;
  }
  g_isPlaying = 1;
  if (knob) CKnobPicture::SetMode(3, 0);
  playMarkerBar = -1;
  delete g_playingSong;
  g_playingSong = new Midi0Data(path, 0x60000);
  if (g_playingSong->track && config.sendExclusive == 1) {
    while (g_playingSong->track->DeleteSysEx(SysExKind::kGmSystemOn)) {
    }
    while (g_playingSong->track->DeleteSysEx(SysExKind::kMasterVolume)) {
    }
  }
  // The song's own messages set the device up when the settings ask for them; otherwise the
  // player sends GM System On first.
  PlayerSettings().send_gm_on_at_prepare = config.sendExclusive == 1 ? 0 : 1;
  PlayerSettings().reporting_device_id = config.midiOutDevice;
  PlayerSettings().lead_in_pause = config.commandInterval;
  // A play that reached its end may still be leaving its thread, which reads the skipped beats.
  WaitPlayThreadEnd(3000);
  BeginPlayPositions();
  if (g_auditionDevice) {
    if (progressNote != -1) {
      g_auditionDevice->NoteOff(progressNote, 0);
      progressNote = -1;
    }
    CloseAuditionDevice();
  }
  QObject* self = this;
  // The end of an earlier play, still on its way, does not end this one.
  const uintptr_t generation = static_cast<uintptr_t>(++playGeneration_);
  const int started = g_playingSong->PlayWithCallback(
      [self, generation]() { plat::PostAppMessage(self, kMsgPlayEnded, generation); },
      [self](int, int tick, MidiEvent*) { OnPlayPosition(self, tick); },
      config.leadInBars == 0 ? 1 : 0, 0);
  if (started != 1) {
    // Nothing plays: the window is not left waiting for an end that never comes.
    g_isPlaying = 0;
    SetPlayCaption(1);
    if (knob) CKnobPicture::SetMode(1, 0);
  }
  update();
}

void CBrevantDlg::OnPlayPosition(QObject* window, int tick) {
  SkippedBeats& s = Skipped();
  const int index = s.index.load();
  int offset = s.offset.load();
  if (index < static_cast<int>(s.beats.size()) &&
      tick + offset >= s.beats[static_cast<size_t>(index)] * 96) {
    offset += 96;
    s.offset = offset;
    s.index = index + 1;
  }
  plat::PostAppMessage(window, kMsgApp + 36, static_cast<uintptr_t>(tick + offset));
}

void CBrevantDlg::OnPlayEnd() {
  SetPlayCaption(1);
  g_isPlaying = 0;
  if (knob) CKnobPicture::SetMode(1, 0);
  ClearPlayMarker();
}

void CBrevantDlg::ClearPlayMarker() {
  if (!g_scorePicture) return;
  CCantrelCommon::ClearUsedStaffRows(g_scorePicture);
  g_scorePicture->BlitAll();
  playMarkerBar = -1;
}

void CBrevantDlg::MovePlayMarker(int tick) {
  if (!song || tick < 0) return;
  const int bar = playFirstBar + tick / (SongBeatsPerBar() * 96);
  const int first = topRow * g_barsPerRow;
  const int oldSlot = playMarkerBar < 0 ? -1 : playMarkerBar - first;
  const int newSlot = bar - first;
  if (playMarkerBar >= 0 && newSlot == oldSlot) return;
  if (g_scorePicture) {
    auto mark = [](int slot, plat::ColorRef colour) {
      if (slot < 0 || slot >= g_barsPerPage) return;
      g_scorePicture->AddHighlight(slot, 0, g_scorePicture->RowWidth(slot), colour);
      g_scorePicture->DrawRow(slot);
      g_scorePicture->Blit(slot);
    };
    mark(oldSlot, kWhite);
    mark(newSlot, kPlayMarkerColour);
  }
  playMarkerBar = bar;
  if (barCounter) CCounterPicture::SetValue(0, playMarkerBar + 1);
}
