#include "music/midi_player.h"

#include <memory>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_out_device.h"
#include "music/midi_state.h"
#include "music/midi_track.h"
#include "music/sysex_kind.h"
#include "platform/core/clock.h"
#include "util/gne.h"
#include "util/module_error.h"

namespace {

MidiPlayerState g_state;
ReportingPlayerState g_reporting;
MidiPlayerSettings g_settings;

const ModuleErrorReporter& CoreReporter() {
  static const ModuleErrorReporter r("MDPL", "Midiの演奏機能でエラーが発生しました。",
                                     {
                                         {kMdplResolution, "分解能が大きすぎます。"},
                                         {kMdplNoTimer, "タイマーが使用できませんでした。"},
                                         {kMdplTempoTooSlow, "設定されているテンポが遅すぎます。"},
                                         {kMdplInternal, "Midiの演奏機能で内部エラーが起きました。"},
                                         {kMdplBadPosition, "再生位置に誤りがあります。"},
                                         {kMdplBadTempo, "テンポに誤りがあります。"},
                                         {kMdplBadDelta, "演奏情報に誤りがあります。"},
                                     });
  return r;
}

const ModuleErrorReporter& SongReporter() {
  static const ModuleErrorReporter r(
      "MDSP", "Midiの演奏機能でエラーが発生しました。",
      {{kMdspInternal, "Midiの演奏機能で内部エラーが発生しました。"}});
  return r;
}

// ---- the song as the player sees it ----

MidiTrack* TrackOf(Midi0Data* song) { return song ? song->track : nullptr; }
int EventCount(Midi0Data* song) {
  MidiTrack* t = TrackOf(song);
  return t ? t->event_count : 0;
}
MidiEvent* EventAt(Midi0Data* song, int index) {
  MidiTrack* t = TrackOf(song);
  return t ? t->Event(index) : nullptr;
}
bool InEventMode(Midi0Data* song) { return song && song->state == 1 && song->track; }

void SetPlaying(int value) {
  std::lock_guard<std::mutex> g(g_state.mutex);
  g_state.playing.store(value);
  g_state.cv.notify_all();
}

int64_t CurrentTicksPerMinute() {
  int division = g_state.song ? g_state.song->division : 0;
  return PlayerTicksPerMinute(division, g_state.tempo.load(), g_state.speed.load());
}

}  // namespace

// ---- module state ----

void MidiPlayerState::Reset() {
  device = nullptr;
  period = 0;
  end_callback = nullptr;
  loop.store(0);
  playing.store(0);
  stop_request.store(0);
  tempo.store(240);
  song = nullptr;
  current_index = 0;
  speed.store(100);
}

void ReportingPlayerState::Reset() {
  per_event = nullptr;
  end_callback = nullptr;
  tick_position = 0;
  end_tick = -1;
  end_tick_errors = 0;
  end_callback_called.store(false);
}

void MidiPlayerSettings::Reset() {
  send_gm_on_at_prepare.store(1);
  reporting_device_id.store(-1);
  lead_in_pause.store(0);
}

MidiPlayerState& PlayerState() { return g_state; }
ReportingPlayerState& ReportingState() { return g_reporting; }
MidiPlayerSettings& PlayerSettings() { return g_settings; }

void ResetMidiPlayerModule() {
  g_state.Reset();
  g_reporting.Reset();
  g_settings.Reset();
  SongPlayer().idle.store(1);
}

int64_t PlayerTicksPerMinute(int division, unsigned tempo, int speed) {
  double tpm = static_cast<double>(division) * tempo * speed / 100.0;
  if (!(tpm > 0)) return 0;
  return static_cast<int64_t>(tpm);
}

int64_t PlayerDelayMs(int64_t delta, int64_t ticks_per_minute) {
  if (ticks_per_minute <= 0) return 0;
  return delta * 60000 / ticks_per_minute;
}

// ---- MidiPlayer ----

void MidiPlayer::ErrorMsg(uint32_t code) { CoreReporter().ErrorMsg(code); }

MidiPlayer::MidiPlayer(Midi0Data* song, int device_id) {
  g_state.end_callback = nullptr;
  g_state.loop.store(0);
  borrowed_ = 0;
  int skipped = 0;
  if (Prepare(song, device_id, 0, &skipped, nullptr) == 0) return;
  ArmFirstTimer([this] { return OnTimer(); });
}

MidiPlayer::MidiPlayer(Midi0Data* song, MidiOutDevice* device, PlayEndCallback end_callback,
                       int loop) {
  g_state.end_callback = std::move(end_callback);
  g_state.loop.store(loop);
  borrowed_ = 1;
  int skipped = 0;
  if (PrepareWithDevice(song, device, 0, &skipped) == 0) return;
  ArmFirstTimer([this] { return OnTimer(); });
}

MidiPlayer::~MidiPlayer() { StopTimerThread(); }

void MidiPlayer::StopTimerThread() {
  timer_.Cancel();
  timer_.Join();
}

bool MidiPlayer::ArmFirstTimer(std::function<int64_t()> callback) {
  if (timer_.Start(g_state.period, std::move(callback))) return true;
  ErrorMsg(kMdplNoTimer);
  // Nothing will end the playing state if it stays set: clear it so that the waiters return.
  SetPlaying(0);
  return false;
}

unsigned MidiPlayer::Prepare(Midi0Data* song, int device_id, int start_tick, int* skipped_ticks,
                             const PlayEventCallback& per_event) {
  prepared_ = false;
  if (skipped_ticks) *skipped_ticks = 0;
  if (!InEventMode(song) || song->division <= 0) {
    // A division of 0 (or less) has no tick length: such a song is refused like a song in the
    // wrong state.
    ErrorMsg(kMdplInternal);
    return 0;
  }
  g_state.song = song;
  auto* device = new MidiOutDevice(device_id);
  if (!device->IsOpen()) {
    device->Close();
    delete device;
    g_state.device = nullptr;
    SetPlaying(0);
    return 0;
  }
  g_state.device = device;

  if (g_settings.send_gm_on_at_prepare.load() == 1) {
    MidiTrack* track = TrackOf(song);
    for (int i = 0; i < track->event_count; ++i) {
      MidiEvent* e = track->events[i];
      if (e && e->status == kStatusSysEx && e->number == SysExKind::kGmSystemOn) {
        e->MarkDeleted();
        break;
      }
    }
    SendGmSystemOn();
    if (per_event) {
      static const uint8_t kStored[7] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
      MidiEvent report(0);
      report.status = kStatusSysEx;
      report.number = SysExKind::kGmSystemOn;
      report.channel = kNoChannel;
      report.SetData(kStored, 7);
      per_event(0, 0, &report);
    }
  }

  g_state.stop_request.store(0);
  SetPlaying(1);
  g_state.tempo.store(240);
  g_state.speed.store(100);
  StartPosition(start_tick, skipped_ticks);
  LeadIn(per_event);
  prepared_ = true;
  return ComputePeriod();
}

unsigned MidiPlayer::PrepareWithDevice(Midi0Data* song, MidiOutDevice* device, int start_tick,
                                       int* skipped_ticks) {
  prepared_ = false;
  if (skipped_ticks) *skipped_ticks = 0;
  if (!InEventMode(song) || song->division <= 0) {
    ErrorMsg(kMdplInternal);
    return 0;
  }
  if (!device || !device->IsOpen()) {
    g_state.device = nullptr;
    SetPlaying(0);
    return 0;
  }
  g_state.song = song;
  g_state.device = device;
  g_state.stop_request.store(0);
  SetPlaying(1);
  g_state.tempo.store(240);
  g_state.speed.store(100);
  StartPosition(start_tick, skipped_ticks);
  SendGmSystemOn();
  prepared_ = true;
  return ComputePeriod();
}

unsigned MidiPlayer::StartPosition(int start_tick, int* skipped_ticks) {
  if (start_tick == 0) {
    g_state.current_index = 0;
    if (skipped_ticks) *skipped_ticks = 0;
    return 0;
  }
  MidiState state;
  int elapsed = 0;
  g_state.current_index = state.RunTo(*TrackOf(g_state.song), start_tick, &elapsed);
  if (skipped_ticks) *skipped_ticks = elapsed;
  std::vector<MidiEvent*> made(kMidiStateMaxEvents, nullptr);
  int n = state.MakeEvents(made.data());
  for (int i = 0; i < n; ++i) {
    SendEvent(*made[i]);
    delete made[i];
  }
  return 0;
}

unsigned MidiPlayer::ComputePeriod() {
  int64_t tpm = CurrentTicksPerMinute();
  unsigned period = tpm > 0 ? static_cast<unsigned>(60000 / tpm) : 0;
  const unsigned kPeriodMin = 1;  // the timer's finest resolution, 1 ms
  if (period < kPeriodMin) period = kPeriodMin;
  g_state.period = period;
  return kPeriodMin;
}

void MidiPlayer::Release() {
  StopTimerThread();
  if (!borrowed_ && g_state.device) {
    g_state.device->Close();
    delete g_state.device;
    g_state.device = nullptr;
  }
}

int MidiPlayer::SendEvent(const MidiEvent& e) {
  MidiOutDevice* d = g_state.device;
  if (!d) return plat::kMidiNotOpen;
  // Channel events of the second port (16-31) go to the first port's channel of the same
  // number; events without a channel are not sent.
  bool channel_event = e.status >= 0x80 && e.status <= 0xE0;
  if (channel_event && (e.channel < 0 || e.channel > 31)) return plat::kMidiInvalParam;
  int ch = e.channel & 0x0F;
  std::lock_guard<std::mutex> g(g_state.send_mutex);
  switch (e.status) {
    case kStatusNoteOff: return d->NoteOff(e.note, ch);
    case kStatusNoteOn: return d->NoteOn(e.note, e.velocity, ch);
    case kStatusController: return d->ShortMessage(e.value, static_cast<int>(e.number), 0xB0 | ch);
    case kStatusProgram: return d->ProgramChange(e.value, ch);
    case kStatusPitchBend: return d->ShortMessage(e.value, e.note, 0xE0 | ch);
    // Pressure is played as the file has it.
    case kStatusPolyPressure: return d->ShortMessage(e.value, e.note, 0xA0 | ch);
    case kStatusChannelPressure: return d->ShortMessage(0, e.value, 0xD0 | ch);
    case kStatusSysEx:
    case kStatusSysExEscape:
      if (!e.data || e.data_length <= 0) return plat::kMidiInvalParam;
      return d->SendSysEx(e.data_length, e.data);
    case kStatusMeta:
      if (e.number == 0x51) {
        int t = e.value / 1000;
        if (t == 0) {
          ErrorMsg(kMdplBadTempo);
          g_state.tempo.store(60);
        } else {
          unsigned bpm = static_cast<unsigned>(60000 / t);
          if (bpm < 10) {
            ErrorMsg(kMdplTempoTooSlow);
            bpm = 10;
          }
          g_state.tempo.store(bpm);
        }
      }
      return plat::kMidiOk;
    default: return plat::kMidiOk;
  }
}

int MidiPlayer::Step(const MidiEvent& event, int send, int advance) {
  if (send == 1) SendEvent(event);
  if (advance != 1) return 0;
  ++g_state.current_index;
  MidiEvent* next = EventAt(g_state.song, g_state.current_index);
  if (!next) return -1;
  if (next->delta < 0) ErrorMsg(kMdplBadDelta);
  return next->delta;
}

void MidiPlayer::LeadIn(const PlayEventCallback& per_event) {
  for (;;) {
    int index = g_state.current_index;
    MidiEvent* e = EventAt(g_state.song, index);
    if (!e || e->status == kStatusNoteOn) break;
    Step(*e, 1, 1);
    if (per_event) {
      MidiEvent copy(*e);
      per_event(index, 0, &copy);
    }
    int pause = g_settings.lead_in_pause.load();
    if (pause != 0) plat::SleepMs(pause);
  }
}

void MidiPlayer::AllNotesOff() {
  if (!g_state.device) return;
  std::lock_guard<std::mutex> g(g_state.send_mutex);
  g_state.device->AllNotesOffAllChannels();
}

void MidiPlayer::SendGmSystemOn() {
  if (!g_state.device) return;
  std::lock_guard<std::mutex> g(g_state.send_mutex);
  g_state.device->SendGmSystemOn();
}

void MidiPlayer::SkipToFirstNote() {
  for (;;) {
    MidiEvent* e = EventAt(g_state.song, g_state.current_index);
    if (!e) {
      ErrorMsg(kMdplBadPosition);
      return;
    }
    if (e->status == kStatusNoteOn) break;
    Step(*e, 1, 1);
  }
  plat::SleepMs(5 * g_state.current_index);
}

void MidiPlayer::KillTimer() {
  timer_.Cancel();
  SetPlaying(0);
}

// The reporting player's events of one run: each reported with the tick, then sent as the
// callback left it.
static void ReportAndSend(MidiPlayer& player, const int* indices, int count) {
  int tick = static_cast<int>(g_reporting.tick_position);
  for (int i = 0; i < count; ++i) {
    MidiEvent* e = EventAt(g_state.song, indices[i]);
    if (!e) continue;
    MidiEvent copy(*e);
    if (g_reporting.per_event) g_reporting.per_event(indices[i], tick, &copy);
    // Tempo events took effect when they were stepped over.
    if (copy.status == kStatusMeta && copy.number == 0x51) continue;
    player.SendEvent(copy);
  }
}

// The one player loop, run by the timer thread at each due time: steps over the events that
// are due and returns the delay to the next one, or -1 when the play ends. The plain player
// sends each event as it steps; the reporting player collects them, reports each with its
// tick before sending it, sends tempo events as it steps over them (they set the delay that
// follows), sounds nothing after a stop, and ends at its end tick.
int64_t MidiPlayer::OnTimer() {
  const bool reports = reports_;
  if (g_state.stop_request.load() == 1) {
    if (reports) AllNotesOff();
    SetPlaying(0);
    return -1;
  }
  static thread_local std::vector<int> collected;
  collected.clear();
  auto send_collected = [&] {
    if (reports) ReportAndSend(*this, collected.data(), static_cast<int>(collected.size()));
  };
  auto reached_end_tick = [reports](int64_t delta) {
    return reports && g_reporting.end_tick != -1 &&
           g_reporting.tick_position + delta >= g_reporting.end_tick;
  };
  // Reports and sends what was collected, then ends at the end tick.
  auto end_at_end_tick = [&]() -> int64_t {
    send_collected();
    // The flag is set before the playing state ends, so the waiter does not call the end
    // callback a second time.
    if (g_reporting.end_callback) g_reporting.end_callback_called.store(true);
    SetPlaying(0);
    if (g_reporting.end_callback)
      g_reporting.end_callback();
    else
      CallBackPlayer::ShowError();
    return -1;
  };
  int64_t delay = 0;
  int wraps = 0;
  do {
    MidiEvent* e = EventAt(g_state.song, g_state.current_index);
    if (!e) {
      ErrorMsg(kMdplBadPosition);
      SetPlaying(0);
      return -1;
    }
    if (reports) {
      // Each later event was checked as the next one; this catches the first event of the
      // play (after the lead-in) when it already lies at or after the end tick.
      if (reached_end_tick(e->delta)) return end_at_end_tick();
      g_reporting.tick_position += e->delta;
      collected.push_back(g_state.current_index);
      if (e->status == kStatusMeta && e->number == 0x51) SendEvent(*e);
    }
    const int64_t next = Step(*e, reports ? 0 : 1, 1);
    if (next < 0) {
      if (g_state.loop.load() != 0 && ++wraps <= 1) {
        g_state.current_index = 0;
        delay = 0;
        continue;
      }
      // The end of the song (or a whole looped pass without any time in it).
      send_collected();
      SetPlaying(0);
      if (g_state.end_callback) g_state.end_callback();
      return -1;
    }
    if (reached_end_tick(next)) return end_at_end_tick();
    const int64_t tpm = CurrentTicksPerMinute();
    if (tpm == 0) {
      send_collected();
      SetPlaying(0);
      ErrorMsg(kMdplBadTempo);
      return -1;
    }
    delay = PlayerDelayMs(next, tpm);
  } while (delay < 1);
  // The next run is due `delay` after this run's due time, however long the reports take.
  send_collected();
  return delay;
}

// ---- CallBackPlayer ----

CallBackPlayer::CallBackPlayer(Midi0Data* song, int device_id, PlayEndCallback end_callback,
                               const PlayEventCallback& per_event, int tick_offset,
                               int start_tick, int end_tick) {
  Build(song, device_id, std::move(end_callback), per_event, tick_offset, start_tick, end_tick);
}

CallBackPlayer::CallBackPlayer(Midi0Data* song, int device_id, const PlayEventCallback& per_event,
                               int tick_offset, int start_tick, int end_tick) {
  Build(song, device_id, nullptr, per_event, tick_offset, start_tick, end_tick);
}

CallBackPlayer::~CallBackPlayer() {
  // The timer thread runs this object's callback: end it before the object goes.
  StopTimerThread();
}

void CallBackPlayer::Build(Midi0Data* song, int device_id, PlayEndCallback end_callback,
                           const PlayEventCallback& per_event, int tick_offset, int start_tick,
                           int end_tick) {
  g_state.end_callback = nullptr;
  g_state.loop.store(0);
  borrowed_ = 0;
  reports_ = true;
  g_reporting.end_callback = std::move(end_callback);
  g_reporting.tick_position = tick_offset;
  g_reporting.end_tick = end_tick;
  g_reporting.per_event = per_event;
  g_reporting.end_callback_called.store(false);
  int skipped = 0;
  if (Prepare(song, device_id, start_tick, &skipped, per_event) == 0) return;
  g_reporting.tick_position += skipped;
  if (g_state.current_index < EventCount(g_state.song)) {
    ArmFirstTimer([this] { return OnTimer(); });
  } else {
    // The lead-in consumed the whole song.
    SetPlaying(0);
  }
}

void CallBackPlayer::ShowError() {
  if (g_reporting.end_tick_errors++ == 0) GneMessageBox("CallBackPlayer Error!");
}


// ---- MidiSongPlayer ----

MidiSongPlayer& SongPlayer() {
  static MidiSongPlayer* p = new MidiSongPlayer;  // lives as long as the process
  return *p;
}

void MidiSongPlayer::ErrorMsg(uint32_t code) { SongReporter().ErrorMsg(code); }

int MidiSongPlayer::Play(Midi0Data* song, PlayEventCallback per_event, int tick_offset,
                         int start_tick, int end_tick, PlayEndCallback end_callback) {
  {
    std::lock_guard<std::mutex> g(mutex_);
    per_event_ = nullptr;
  }
  if (!InEventMode(song)) ErrorMsg(kMdspInternal);
  // The player is built (prepare, lead-in) before it is held, so that the user-interface thread
  // is not kept waiting by the lead-in.
  MidiPlayer* p = nullptr;
  CallBackPlayer* reporting = nullptr;
  if (per_event) {
    int device_id = g_settings.reporting_device_id.load();
    reporting = end_callback ? new CallBackPlayer(song, device_id, std::move(end_callback),
                                                  per_event, tick_offset, start_tick, end_tick)
                             : new CallBackPlayer(song, device_id, per_event, tick_offset,
                                                  start_tick, end_tick);
    p = reporting;
  } else {
    p = new MidiPlayer(song, kMidiMapper);
  }
  if (!p->Prepared()) {
    p->Release();
    delete p;
    return 0;
  }
  std::lock_guard<std::mutex> g(mutex_);
  per_event_ = reporting ? std::move(per_event) : nullptr;
  reporting_ = reporting;
  plain_ = reporting ? nullptr : p;
  return 1;
}

MidiPlayer* MidiSongPlayer::Held() {
  return reporting_ ? static_cast<MidiPlayer*>(reporting_) : plain_;
}

int MidiSongPlayer::WaitEnd(const PlayEndCallback& completion) {
  {
    std::unique_lock<std::mutex> lk(g_state.mutex);
    g_state.cv.wait(lk, [] { return g_state.playing.load() == 0; });
  }
  if (g_state.stop_request.load() == 0 && !g_reporting.end_callback_called.load() && completion)
    completion();
  return 0;
}

void MidiSongPlayer::RequestStop() {
  std::lock_guard<std::mutex> g(mutex_);
  // The flag is set even before the player is held: a player's first events run on its timer
  // while Play is still building it, and a stop asked from their callbacks must not be lost.
  // Preparing the next play clears it.
  g_state.stop_request.store(1);
  // The timer thread sees the request at once, not at the next event's time.
  if (MidiPlayer* p = Held()) p->WakeTimer();
}

void MidiSongPlayer::KillTimer() {
  std::lock_guard<std::mutex> g(mutex_);
  if (MidiPlayer* p = Held()) p->KillTimer();
}

void MidiSongPlayer::Release() {
  MidiPlayer* player = nullptr;
  {
    std::lock_guard<std::mutex> g(mutex_);
    player = Held();
    reporting_ = nullptr;
    plain_ = nullptr;
    per_event_ = nullptr;
  }
  if (!player) return;
  player->Release();
  delete player;
}

bool MidiSongPlayer::HasPlayer() {
  std::lock_guard<std::mutex> g(mutex_);
  return Held() != nullptr;
}

bool MidiSongPlayer::IsPlaying() { return HasPlayer() && g_state.playing.load() == 1; }

void MidiSongPlayer::AllNotesOff() {
  std::lock_guard<std::mutex> g(mutex_);
  if (MidiPlayer* p = Held()) p->AllNotesOff();
}

void MidiSongPlayer::AllNotesOffWhilePlaying() {
  std::lock_guard<std::mutex> g(mutex_);
  MidiPlayer* p = Held();
  if (p && g_state.playing.load() == 1) p->AllNotesOff();
}

void MidiSongPlayer::SetSpeed(int percent) { g_state.speed.store(percent); }

void MidiSongPlayer::SendShortMessageWhilePlaying(int status, int first, int second) {
  std::lock_guard<std::mutex> g(mutex_);
  if (!reporting_ || !per_event_ || !g_state.device) return;
  std::lock_guard<std::mutex> s(g_state.send_mutex);
  g_state.device->ShortMessage(second, first, status);
}
