// Playing a format-0 song on the play thread.
//
// A play operation hands a song (usually a playback copy at 96 ticks per quarter in event mode)
// to one play thread, which builds the process-wide song player's player, waits for its end and
// releases it. Only one play thread exists at a time: a start waits for a previous one (asking it
// to stop after a while) and refuses to start a second; a stop wakes the player at once and
// waits for the thread's end. Waits are on condition variables, bounded by the limits below.
// A playback copy belongs to the play thread that plays it and is freed only after that thread
// has ended, so a song may be stopped, played again or destroyed while its copy still plays.
#pragma once

#include <cstdint>

#include "music/midi_player.h"

class Midi0Data;

// Time limits of the waits (ms of real time: they wait for real threads).
struct PlayThreadLimits {
  int start_stop_request_ms = 5000;  // a start asks a previous thread to stop after this
  int start_give_up_ms = 10100;      // ... and gives up (0x01000004) after this
  int stop_wait_player_ms = 3100;    // a stop waits this long for the player to be built
  int stop_wait_end_ms = 2100;       // ... and this long for the thread's end, then kills the timer
  int stop_pause_ms = 1000;          // a stop that stopped something pauses (clock in force)
};

PlayThreadLimits& PlayThreadTimeLimits();
// Stops any play thread and restores the limits (for tests).
void ResetPlayThreadModule();

// True while a play thread exists (between a start and the end of its thread).
bool PlayThreadRunning();
// Waits (real time, at most `timeout_ms`) until no play thread runs and joins it; true when none
// runs any more.
bool WaitPlayThreadEnd(int timeout_ms);

// Starts the play thread on `song` (state 1): see the play operations. Returns 1 when playing
// has started, 0 when not (no device, no player, another play thread that would not end).
// With `delete_when_done` 1 the song (a playback copy) belongs to the play thread, which frees
// it after its end.
int StartPlayThread(Midi0Data* song, PlayEndCallback end_callback, PlayEventCallback per_event,
                    int tick_offset, int delete_when_done, int start_tick, int end_tick, int loop);

// The play operations of a song. Those that play a copy make it at division 96 in event mode
// (the song must be in state 2); the others play the song itself (state 1).
int PlayWithCallback(Midi0Data& song, PlayEndCallback end_callback, PlayEventCallback per_event,
                     int cut_lead_in, int loop);
int PlayCopy(Midi0Data& song, PlayEndCallback end_callback);
// The excerpt from start_tick up to (not including) end_tick, as a copy.
int PlayExcerpt(Midi0Data& song, PlayEndCallback end_callback, int start_tick, int end_tick);
int PlayExcerptWithCallback(Midi0Data& song, PlayEndCallback end_callback,
                            PlayEventCallback per_event, int start_tick, int end_tick);
int PlayInThread(Midi0Data& song, PlayEndCallback end_callback);
int PlayWithEvents(Midi0Data& song, PlayEndCallback end_callback, PlayEventCallback per_event,
                   int tick_offset, int loop);
int PlayAndDelete(Midi0Data* song, PlayEndCallback end_callback, PlayEventCallback per_event,
                  int tick_offset, int delete_when_done);
// Stops whatever plays and returns 1. Returns at once when nothing plays.
int StopPlay(Midi0Data& song);

void SetPlaySpeed(int percent);
void SendShortMessageWhilePlaying(int status, int first, int second);

// A format-0 song made for playing: a copy at division 96 in event mode.
class PlayableSong {
 public:
  explicit PlayableSong(const Midi0Data& song);
  ~PlayableSong();
  PlayableSong(const PlayableSong&) = delete;
  PlayableSong& operator=(const PlayableSong&) = delete;

  // Reports (0, 0, none), then plays a copy of the prepared song.
  int Play(PlayEndCallback end_callback, PlayEventCallback per_event);
  int PlayRange(PlayEndCallback end_callback, PlayEventCallback per_event, int start_tick,
                int end_tick);
  int Stop();
  void SetSpeed(int percent) { SetPlaySpeed(percent); }
  Midi0Data& song() { return *song_; }

 private:
  Midi0Data* song_;
};
