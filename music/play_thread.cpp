#include "music/play_thread.h"

#include <algorithm>
#include <chrono>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "music/midi0_data.h"
#include "platform/core/clock.h"
#include "platform/core/timer_thread.h"
#include "util/gne.h"

namespace {

// One play of a song on the play thread.
struct PlaySession {
  Midi0Data* song = nullptr;
  bool free_song = false;           // playback copy or delete-when-done: freed after the end
  PlayEndCallback end_callback;
  PlayEventCallback per_event;
  int tick_offset = 0;
  int start_tick = 0;
  int end_tick = -1;
  int loop = 0;
};

struct PlayThreadModule {
  std::mutex mutex;
  std::condition_variable cv;
  std::thread thread;
  std::atomic<std::thread::id> thread_id{};
  Midi0Data* current_song = nullptr;  // the song the play thread plays (identity only)
  bool running = false;      // a play thread exists and has not ended
  bool play_decided = false;  // the play thread has built its player (or failed to)
  int play_result = 0;
  PlayThreadLimits limits;
};

PlayThreadModule& Module() {
  // Never destroyed: a play thread may still run while the process ends.
  static PlayThreadModule* m = new PlayThreadModule;
  return *m;
}

using Ms = std::chrono::milliseconds;

void PlayThreadProc(std::unique_ptr<PlaySession> session) {
  PlayThreadModule& m = Module();
  m.thread_id.store(std::this_thread::get_id());
  MidiSongPlayer& player = SongPlayer();
  int ok = player.Play(session->song, session->per_event, session->tick_offset,
                       session->start_tick, session->end_tick, session->end_callback);
  {
    std::lock_guard<std::mutex> g(m.mutex);
    m.play_decided = true;
    m.play_result = ok;
    m.cv.notify_all();
  }
  if (!ok) {
    if (session->end_callback) session->end_callback();
  } else {
    PlayerState().loop.store(session->loop);
    player.WaitEnd(session->end_callback);
    player.Release();
  }
  if (session->free_song) delete session->song;
  session.reset();
  player.idle.store(1);
  m.thread_id.store(std::thread::id{});
  std::lock_guard<std::mutex> g(m.mutex);
  m.current_song = nullptr;
  m.running = false;
  m.cv.notify_all();
}

// Joins an ended play thread (with the module's mutex held by `lock`).
void JoinEnded(std::unique_lock<std::mutex>& lock) {
  PlayThreadModule& m = Module();
  if (m.running || !m.thread.joinable()) return;
  std::thread t = std::move(m.thread);
  lock.unlock();
  t.join();
  lock.lock();
}

bool OnPlayThread() { return std::this_thread::get_id() == Module().thread_id.load(); }
bool OnPlayerTimerThread() { return plat::CurrentTimerDue() != plat::Clock::TimePoint{}; }

// Makes the playback copy of a song: division 96, event mode.
std::unique_ptr<Midi0Data> MakePlaybackCopy(const Midi0Data& song) {
  auto copy = std::make_unique<Midi0Data>(song);
  copy->SetDivision(96);
  copy->ToEventMode();
  return copy;
}

// The excerpt [from, to) of a song in a copy (the song's excerpt constructor); an end tick below
// 0 means the end of the song.
std::unique_ptr<Midi0Data> MakeExcerptCopy(const Midi0Data& song, int from, int to) {
  if (to < 0 && song.track) to = song.track->GetLength();
  return std::make_unique<Midi0Data>(song, from, to);
}

int StartCopy(std::unique_ptr<Midi0Data> copy, PlayEndCallback end_callback,
              PlayEventCallback per_event, int tick_offset, int loop) {
  // The copy belongs to the play thread from here on (delete when done).
  return StartPlayThread(copy.release(), std::move(end_callback), std::move(per_event),
                         tick_offset, 1, 0, -1, loop);
}

}  // namespace

PlayThreadLimits& PlayThreadTimeLimits() { return Module().limits; }

bool PlayThreadRunning() {
  PlayThreadModule& m = Module();
  std::lock_guard<std::mutex> g(m.mutex);
  return m.running;
}

bool WaitPlayThreadEnd(int timeout_ms) {
  PlayThreadModule& m = Module();
  std::unique_lock<std::mutex> lk(m.mutex);
  bool ended = m.cv.wait_for(lk, Ms(timeout_ms), [&] { return !m.running; });
  if (ended) JoinEnded(lk);
  return ended;
}

void ResetPlayThreadModule() {
  PlayThreadModule& m = Module();
  if (PlayThreadRunning()) {
    SongPlayer().RequestStop();
    if (!WaitPlayThreadEnd(m.limits.stop_wait_end_ms)) {
      SongPlayer().KillTimer();
      WaitPlayThreadEnd(60000);
    }
  }
  WaitPlayThreadEnd(0);
  std::lock_guard<std::mutex> g(m.mutex);
  m.limits = PlayThreadLimits{};
  m.play_decided = false;
  m.play_result = 0;
}

int StartPlayThread(Midi0Data* song, PlayEndCallback end_callback, PlayEventCallback per_event,
                    int tick_offset, int delete_when_done, int start_tick, int end_tick, int loop) {
  PlayThreadModule& m = Module();
  auto session = std::make_unique<PlaySession>();
  session->song = song;
  session->free_song = delete_when_done == 1;
  session->end_callback = std::move(end_callback);
  session->per_event = std::move(per_event);
  session->tick_offset = tick_offset;
  session->start_tick = start_tick;
  session->end_tick = end_tick;
  session->loop = loop;

  auto refuse = [&]() {
    if (session->end_callback) session->end_callback();
    if (session->free_song) delete session->song;
    return 0;
  };
  if (OnPlayThread() || OnPlayerTimerThread()) {
    // A start from the player's own threads (an end or per-event callback) would wait for
    // itself: refused, without calling the end callback again (it could start again, and so on).
    if (session->free_song) delete session->song;
    return 0;
  }

  std::unique_lock<std::mutex> lk(m.mutex);
  if (m.running) {
    // A previous play thread still runs: wait for it, ask it to stop after a while, and give up
    // rather than run two players at once.
    PlayThreadLimits limits = m.limits;
    bool ended = m.cv.wait_for(lk, Ms(limits.start_stop_request_ms), [&] { return !m.running; });
    if (!ended) {
      lk.unlock();
      SongPlayer().RequestStop();
      lk.lock();
      ended = m.cv.wait_for(lk, Ms(limits.start_give_up_ms - limits.start_stop_request_ms),
                            [&] { return !m.running; });
    }
    if (!ended) {
      lk.unlock();
      GneErrorMsg(0x01000004);
      return refuse();
    }
  }
  JoinEnded(lk);
  // The state is set before the thread exists, so nobody can see a stale idle flag.
  m.running = true;
  m.play_decided = false;
  m.play_result = 0;
  SongPlayer().idle.store(0);
  m.current_song = song;
  if (song) song->play_thread = &m.thread;
  try {
    m.thread = std::thread(PlayThreadProc, std::move(session));
  } catch (const std::system_error&) {
    m.running = false;
    m.current_song = nullptr;
    SongPlayer().idle.store(1);
    lk.unlock();
    GneErrorMsg(0x01000004);
    return 0;
  }
  m.cv.wait(lk, [&] { return m.play_decided || !m.running; });
  return m.play_decided ? m.play_result : 0;
}

int PlayWithCallback(Midi0Data& song, PlayEndCallback end_callback, PlayEventCallback per_event,
                     int cut_lead_in, int loop) {
  auto copy = MakePlaybackCopy(song);
  int cut = cut_lead_in == 1 ? copy->CutLeadIn() : 0;
  // The caller learns where playing starts.
  if (per_event) per_event(0, cut, nullptr);
  return StartCopy(std::move(copy), std::move(end_callback), std::move(per_event), cut,
                   loop);
}

int PlayCopy(Midi0Data& song, PlayEndCallback end_callback) {
  auto copy = MakePlaybackCopy(song);
  copy->CutLeadIn();
  return StartCopy(std::move(copy), std::move(end_callback), nullptr, 0, 0);
}

int PlayExcerpt(Midi0Data& song, PlayEndCallback end_callback, int start_tick, int end_tick) {
  auto copy = MakeExcerptCopy(song, start_tick, end_tick);
  copy->SetDivision(96);
  copy->ToEventMode();
  copy->CutLeadIn();
  return StartCopy(std::move(copy), std::move(end_callback), nullptr, 0, 0);
}

int PlayExcerptWithCallback(Midi0Data& song, PlayEndCallback end_callback,
                            PlayEventCallback per_event, int start_tick, int end_tick) {
  auto copy = MakeExcerptCopy(song, start_tick, end_tick);
  copy->SetDivision(96);
  copy->ToEventMode();
  int cut = copy->CutLeadIn();
  return StartCopy(std::move(copy), std::move(end_callback), std::move(per_event), cut, 0);
}

int PlayInThread(Midi0Data& song, PlayEndCallback end_callback) {
  return StartPlayThread(&song, std::move(end_callback), nullptr, 0, 0, 0, -1, 0);
}

int PlayWithEvents(Midi0Data& song, PlayEndCallback end_callback, PlayEventCallback per_event,
                   int tick_offset, int loop) {
  return StartPlayThread(&song, std::move(end_callback), std::move(per_event), tick_offset, 0, 0,
                         -1, loop);
}

int PlayAndDelete(Midi0Data* song, PlayEndCallback end_callback, PlayEventCallback per_event,
                  int tick_offset, int delete_when_done) {
  return StartPlayThread(song, std::move(end_callback), std::move(per_event), tick_offset,
                         delete_when_done, 0, -1, 0);
}

int StopPlay(Midi0Data& /*song*/) {
  PlayThreadModule& m = Module();
  MidiSongPlayer& player = SongPlayer();
  if (OnPlayThread() || OnPlayerTimerThread()) {
    // Called from the player's own threads: ask, the thread ends by itself.
    player.RequestStop();
    return 1;
  }
  std::unique_lock<std::mutex> lk(m.mutex);
  if (!m.running) {
    JoinEnded(lk);
    return 1;  // nothing plays: nothing to wait for
  }
  PlayThreadLimits limits = m.limits;
  // The stop request must reach a built player (its preparation clears the flag).
  if (!m.cv.wait_for(lk, Ms(limits.stop_wait_player_ms),
                     [&] { return m.play_decided || !m.running; })) {
    lk.unlock();
    Midi0Data::ErrorMsg(kM0dtStop);
    lk.lock();
  }
  lk.unlock();
  player.RequestStop();
  lk.lock();
  if (!m.cv.wait_for(lk, Ms(limits.stop_wait_end_ms), [&] { return !m.running; })) {
    lk.unlock();
    player.KillTimer();
    lk.lock();
    // With the timer killed the thread's wait ends; its resources are freed only after it.
    m.cv.wait(lk, [&] { return !m.running; });
  }
  JoinEnded(lk);
  lk.unlock();
  plat::SleepMs(limits.stop_pause_ms);
  return 1;
}

void SetPlaySpeed(int percent) { SongPlayer().SetSpeed(percent); }

void SendShortMessageWhilePlaying(int status, int first, int second) {
  SongPlayer().SendShortMessageWhilePlaying(status, first, second);
}

// ---- PlayableSong ----

PlayableSong::PlayableSong(const Midi0Data& song) : song_(new Midi0Data(song)) {
  song_->SetDivision(96);
  song_->ToEventMode();
}

PlayableSong::~PlayableSong() {
  // The song may still be playing: stop the play thread before the song goes.
  bool playing_this = false;
  {
    PlayThreadModule& m = Module();
    std::lock_guard<std::mutex> g(m.mutex);
    playing_this = m.running && m.current_song == song_;
  }
  if (playing_this) StopPlay(*song_);
  delete song_;
}

int PlayableSong::Play(PlayEndCallback end_callback, PlayEventCallback per_event) {
  if (per_event) per_event(0, 0, nullptr);
  return PlayAndDelete(song_, std::move(end_callback), std::move(per_event), 0, 0);
}

int PlayableSong::PlayRange(PlayEndCallback end_callback, PlayEventCallback per_event,
                            int start_tick, int end_tick) {
  if (per_event) per_event(0, 0, nullptr);
  return StartPlayThread(song_, std::move(end_callback), std::move(per_event), 0, 0, start_tick,
                         end_tick, 0);
}

int PlayableSong::Stop() { return StopPlay(*song_); }

// ---- the play operations as members of the song ----

int Midi0Data::PlayWithCallback(PlayEndCallback end_callback, PlayEventCallback per_event,
                                int cut_lead_in, int loop) {
  return ::PlayWithCallback(*this, std::move(end_callback), std::move(per_event), cut_lead_in,
                            loop);
}
int Midi0Data::PlayCopy(PlayEndCallback end_callback) {
  return ::PlayCopy(*this, std::move(end_callback));
}
int Midi0Data::PlayExcerpt(PlayEndCallback end_callback, int start_tick, int end_tick) {
  return ::PlayExcerpt(*this, std::move(end_callback), start_tick, end_tick);
}
int Midi0Data::PlayExcerptWithCallback(PlayEndCallback end_callback, PlayEventCallback per_event,
                                       int start_tick, int end_tick) {
  return ::PlayExcerptWithCallback(*this, std::move(end_callback), std::move(per_event),
                                   start_tick, end_tick);
}
int Midi0Data::PlayInThread(PlayEndCallback end_callback) {
  return ::PlayInThread(*this, std::move(end_callback));
}
int Midi0Data::PlayWithEvents(PlayEndCallback end_callback, PlayEventCallback per_event,
                              int tick_offset, int loop) {
  return ::PlayWithEvents(*this, std::move(end_callback), std::move(per_event), tick_offset, loop);
}
int Midi0Data::PlayAndDelete(PlayEndCallback end_callback, PlayEventCallback per_event,
                             int tick_offset, int delete_when_done) {
  return ::PlayAndDelete(this, std::move(end_callback), std::move(per_event), tick_offset,
                         delete_when_done);
}
int Midi0Data::StartPlayThread(PlayEndCallback end_callback, PlayEventCallback per_event,
                               int tick_offset, int delete_when_done, int start_tick,
                               int end_tick, int loop) {
  return ::StartPlayThread(this, std::move(end_callback), std::move(per_event), tick_offset,
                           delete_when_done, start_tick, end_tick, loop);
}
int Midi0Data::StopPlay() { return ::StopPlay(*this); }
