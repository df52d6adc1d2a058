// The MIDI player: plays one format-0 song in event mode on a MIDI-out device.
//
// MidiPlayer is the core (prepare, send, step, lead-in) and the plain player; CallBackPlayer
// reports every event it plays, with its index and a running tick position, to a per-event
// callback before sending it, and can stop at an end tick; MidiSongPlayer is the one
// process-wide front the play thread drives. Each player sends from its own timer thread, which
// waits on absolute due times; every delay is delta x 60000 / trunc(division x tempo x speed /
// 100) milliseconds, in 64-bit integers, computed afresh for each event.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>

#include "music/midi_event.h"
#include "platform/core/timer_thread.h"

class Midi0Data;
class MidiOutDevice;

// Error codes of the player core (tag "MDPL") and of the song player (tag "MDSP").
constexpr uint32_t kMdplResolution = 0x08000001;
constexpr uint32_t kMdplNoTimer = 0x08000002;
constexpr uint32_t kMdplTempoTooSlow = 0x08000003;
constexpr uint32_t kMdplInternal = 0x08000004;
constexpr uint32_t kMdplBadPosition = 0x08000005;
constexpr uint32_t kMdplBadTempo = 0x08000006;
constexpr uint32_t kMdplBadDelta = 0x08000007;
constexpr uint32_t kMdspInternal = 0x09000001;

// Per-event callback: index of the event in the song's track, the tick position, and a copy of
// the event that lives for the call (what the callback leaves in it is what the device gets;
// nullptr for the first report of a play). Runs on the player's thread.
using PlayEventCallback = std::function<void(int index, int tick, MidiEvent* event)>;
// End and completion callbacks: no arguments.
using PlayEndCallback = std::function<void()>;

// The run-time values of the one player that plays.
struct MidiPlayerState {
  MidiOutDevice* device = nullptr;  // owned by the player unless borrowed
  unsigned period = 0;              // ms; the first timer's delay
  PlayEndCallback end_callback;     // the plain player's, at the end of the song
  std::atomic<int> loop{0};
  std::atomic<int> playing{0};
  std::atomic<int> stop_request{0};
  std::atomic<unsigned> tempo{240};  // beats per minute
  Midi0Data* song = nullptr;
  int current_index = 0;
  std::atomic<int> speed{100};  // percent

  // Guards playing-flag changes for the waiters, and every send to the device.
  std::mutex mutex;
  std::condition_variable cv;
  std::mutex send_mutex;

  void Reset();
};

// The reporting player's values.
struct ReportingPlayerState {
  PlayEventCallback per_event;
  PlayEndCallback end_callback;
  int64_t tick_position = 0;
  int end_tick = -1;
  int end_tick_errors = 0;              // "CallBackPlayer Error!" is shown for the first only
  std::atomic<bool> end_callback_called{false};

  void Reset();
};

// Settings read at prepare and play; they keep their values until the main window changes them.
struct MidiPlayerSettings {
  std::atomic<int> send_gm_on_at_prepare{1};
  std::atomic<int> reporting_device_id{-1};  // the default device
  std::atomic<int> lead_in_pause{0};         // ms slept after each lead-in event

  void Reset();
};

MidiPlayerState& PlayerState();
ReportingPlayerState& ReportingState();
MidiPlayerSettings& PlayerSettings();
// Resets the module (for tests; nothing may play).
void ResetMidiPlayerModule();

// Ticks per minute at the state's tempo and speed for a division: trunc(division x tempo x
// speed / 100), and the delay in ms of a delta at that rate (0 when ticks per minute is 0).
int64_t PlayerTicksPerMinute(int division, unsigned tempo, int speed);
int64_t PlayerDelayMs(int64_t delta, int64_t ticks_per_minute);

class MidiPlayer {
 public:
  // The plain player on a device: prepares the whole song and arms the first timer.
  MidiPlayer(Midi0Data* song, int device_id);
  // The borrowing player: plays on the caller's device, which it never closes.
  MidiPlayer(Midi0Data* song, MidiOutDevice* device, PlayEndCallback end_callback, int loop);
  virtual ~MidiPlayer();
  MidiPlayer(const MidiPlayer&) = delete;
  MidiPlayer& operator=(const MidiPlayer&) = delete;

  // Returns the timer resolution in ms (1), or 0 on failure.
  unsigned Prepare(Midi0Data* song, int device_id, int start_tick, int* skipped_ticks,
                   const PlayEventCallback& per_event);
  unsigned PrepareWithDevice(Midi0Data* song, MidiOutDevice* device, int start_tick,
                             int* skipped_ticks);
  // Ends the timer thread, then closes and destroys the device unless it was borrowed.
  void Release();
  int SendEvent(const MidiEvent& event);
  int Step(const MidiEvent& event, int send, int advance);
  void LeadIn(const PlayEventCallback& per_event);
  void AllNotesOff();
  void SendGmSystemOn();
  void SkipToFirstNote();
  // Cancels the pending timer and ends the playing state.
  void KillTimer();
  // Runs the pending timer callback at once (so that a stop request is seen without delay).
  void WakeTimer() { timer_.RunNow(); }
  bool Prepared() const { return prepared_; }

  static void ErrorMsg(uint32_t code);

 protected:
  MidiPlayer() = default;
  // The timer callback of both players; returns the next delay or -1.
  int64_t OnTimer();
  bool ArmFirstTimer(std::function<int64_t()> callback);
  void StopTimerThread();

  plat::TimerThread timer_;
  int borrowed_ = 0;
  bool prepared_ = false;
  bool reports_ = false;  // the reporting player: reports each event, stops at its end tick

 private:
  unsigned StartPosition(int start_tick, int* skipped_ticks);
  unsigned ComputePeriod();
};

class CallBackPlayer : public MidiPlayer {
 public:
  CallBackPlayer(Midi0Data* song, int device_id, PlayEndCallback end_callback,
                 const PlayEventCallback& per_event, int tick_offset, int start_tick,
                 int end_tick);
  CallBackPlayer(Midi0Data* song, int device_id, const PlayEventCallback& per_event,
                 int tick_offset, int start_tick, int end_tick);
  ~CallBackPlayer() override;

  static void ShowError();

 private:
  void Build(Midi0Data* song, int device_id, PlayEndCallback end_callback,
             const PlayEventCallback& per_event, int tick_offset, int start_tick, int end_tick);
};

class MidiSongPlayer {
 public:
  // Builds the player: with a per-event callback a reporting player on the reporting device,
  // else a plain player on the default device. 1 when it plays, 0 on failure.
  int Play(Midi0Data* song, PlayEventCallback per_event, int tick_offset, int start_tick,
           int end_tick, PlayEndCallback end_callback);
  // Waits (without polling) until the player stops playing; then, unless a stop was requested
  // (or the player already called it), calls the completion callback. Returns 0.
  int WaitEnd(const PlayEndCallback& completion);
  void RequestStop();
  void KillTimer();
  void Release();
  bool HasPlayer();
  bool IsPlaying();
  void AllNotesOff();
  void AllNotesOffWhilePlaying();
  void SetSpeed(int percent);
  // While a reporting player plays: sends the short message on its device; else nothing.
  void SendShortMessageWhilePlaying(int status, int first, int second);

  // 1 while no play thread runs (the play thread clears and sets it).
  std::atomic<int> idle{1};

  static void ErrorMsg(uint32_t code);

 private:
  // The player held (the reporting one, else the plain one); call with mutex_ held.
  MidiPlayer* Held();

  std::mutex mutex_;
  PlayEventCallback per_event_;
  MidiPlayer* plain_ = nullptr;
  CallBackPlayer* reporting_ = nullptr;
};

// The one song player of the process.
MidiSongPlayer& SongPlayer();
