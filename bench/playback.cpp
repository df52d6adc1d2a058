// Timing of the MIDI player on the real clock: a dense 60-second song played on a device that
// records, for every message sent by the player's timer, how late it left against its due time.
// Reports the lateness's median, 99th percentile and maximum in microseconds (goal: p99 <= 1 ms,
// max <= 3 ms), split into the wake-up of each timer run (the first message of the run: the
// machine's scheduling) and the player's own work before each later message of the run. The
// timer thread alone, without the player, gives the machine's wake-up figures for comparison.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_player.h"
#include "music/play_thread.h"
#include "platform/core/clock.h"
#include "platform/core/midi_devices.h"
#include "platform/core/timer_thread.h"

namespace {

struct Lateness {
  std::mutex mutex;
  std::vector<int64_t> us;        // every message
  std::vector<int64_t> first_us;  // the first message of each timer run: the wake-up
  std::vector<int64_t> work_us;   // each message after the first of its run: the player's work
  plat::Clock::TimePoint run_due{};
  std::chrono::steady_clock::time_point run_first{};

  void Reserve(size_t n) {
    // Touched once, so that no page is first written inside the measurement.
    for (auto* v : {&us, &first_us, &work_us}) {
      v->assign(n, 0);
      v->clear();
    }
  }
};

int64_t Micros(std::chrono::steady_clock::duration d) {
  return std::chrono::duration_cast<std::chrono::microseconds>(d).count();
}

// Records the lateness of each message sent from a timer run (the lead-in is sent at once and
// has no due time), and splits it into the run's wake-up and the work before the message.
class LatenessPort : public plat::MidiOutPort {
 public:
  explicit LatenessPort(Lateness* out) : out_(out) {}
  int Send(const uint8_t* bytes, size_t length) override {
    auto now = std::chrono::steady_clock::now();
    auto due = plat::CurrentTimerDue();
    if (due == plat::Clock::TimePoint{}) return plat::CheckMidiMessage(bytes, length);
    std::lock_guard<std::mutex> g(out_->mutex);
    out_->us.push_back(Micros(now - due));
    if (due != out_->run_due) {
      out_->run_due = due;
      out_->run_first = now;
      out_->first_us.push_back(Micros(now - due));
    } else {
      out_->work_us.push_back(Micros(now - out_->run_first));
    }
    return plat::CheckMidiMessage(bytes, length);
  }
  int Reset() override { return plat::kMidiOk; }

 private:
  Lateness* out_;
};

MidiEvent Channel(uint32_t status, int ch, int a, int b) {
  MidiEvent e(0);
  e.status = status;
  e.channel = ch;
  if (status == kStatusController) {
    e.number = static_cast<uint32_t>(a);
    e.value = b;
  } else if (status == kStatusPitchBend) {
    e.note = a;
    e.value = b;
  } else {
    e.note = a;
    e.velocity = b;
  }
  return e;
}

// 60 s at 120 BPM and 480 ticks per quarter (a tick is about 1 ms): every 15 ticks eight
// channels change notes with an expression change, and a pitch bend moves every 2 ticks.
std::unique_ptr<Midi0Data> DenseSong() {
  auto song = std::make_unique<Midi0Data>(kSongEvents, 480, kDefaultMusicCapacity);
  MidiEvent tempo(0);
  tempo.SetTempo(500000);
  song->track->AddEventCopy(tempo);
  const int kEnd = 120 * 480;
  int last = 0;
  auto add = [&](int tick, MidiEvent e) {
    e.delta = tick - last;
    last = tick;
    song->track->AddEventCopy(e);
  };
  for (int tick = 0; tick < kEnd; ++tick) {
    if (tick % 15 == 0) {
      for (int ch = 0; ch < 8; ++ch) {
        int note = 48 + (tick / 15 + ch * 5) % 36;
        if (tick > 0) add(tick, Channel(kStatusNoteOff, ch, 48 + (tick / 15 - 1 + ch * 5) % 36, 0));
        add(tick, Channel(kStatusNoteOn, ch, note, 90));
      }
      add(tick, Channel(kStatusController, 0, 11, (tick / 15) % 128));
    }
    if (tick % 2 == 0) add(tick, Channel(kStatusPitchBend, 9, 0, 32 + (tick / 2) % 64));
  }
  MidiEvent eot(0);
  eot.status = kStatusMeta;
  eot.number = 0x2F;
  add(kEnd, eot);
  return song;
}

int64_t Percentile(std::vector<int64_t> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  size_t i = static_cast<size_t>(p * double(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

void BM_PlayerLateness(benchmark::State& state) {
  plat::InstallClock(nullptr);
  auto song = DenseSong();
  Lateness lateness;
  plat::TestMidiOutBackend backend;
  backend.AddDevice("lateness", [&](int) { return std::make_unique<LatenessPort>(&lateness); });
  plat::InstallMidiOutBackend(&backend);
  PlayerSettings().send_gm_on_at_prepare.store(0);
  PlayerSettings().reporting_device_id.store(0);
  int64_t reports = 0;
  lateness.Reserve(200000);  // no reallocation inside the measurement
  for (auto _ : state) {
    lateness.Reserve(200000);
    if (PlayWithEvents(*song, nullptr, [&](int, int, MidiEvent*) { ++reports; }, 0, 0) != 1) {
      state.SkipWithError("the player did not start");
      break;
    }
    WaitPlayThreadEnd(120000);
  }
  plat::InstallMidiOutBackend(nullptr);
  std::vector<int64_t> us, first, work;
  {
    std::lock_guard<std::mutex> g(lateness.mutex);
    us = lateness.us;
    first = lateness.first_us;
    work = lateness.work_us;
  }
  auto max = [](const std::vector<int64_t>& v) {
    return double(v.empty() ? 0 : *std::max_element(v.begin(), v.end()));
  };
  state.counters["messages"] = double(us.size());
  state.counters["late_p50_us"] = double(Percentile(us, 0.50));
  state.counters["late_p90_us"] = double(Percentile(us, 0.90));
  state.counters["late_p99_us"] = double(Percentile(us, 0.99));
  state.counters["late_p999_us"] = double(Percentile(us, 0.999));
  state.counters["late_max_us"] = max(us);
  // The wake-up of each run (the machine's share) and the player's own work within a run.
  state.counters["wake_p99_us"] = double(Percentile(first, 0.99));
  state.counters["wake_max_us"] = max(first);
  state.counters["work_p99_us"] = double(Percentile(work, 0.99));
  state.counters["work_max_us"] = max(work);
}
// The timer thread alone, waking every 1 or 2 ms for 20 s: the machine's own wake-up jitter,
// against which the player's figures can be read.
void BM_TimerThreadLateness(benchmark::State& state) {
  plat::InstallClock(nullptr);
  std::vector<int64_t> us;
  us.reserve(20000);
  for (auto _ : state) {
    plat::TimerThread timer;
    int runs = 0;
    timer.Start(1, [&]() -> int64_t {
      auto late = std::chrono::steady_clock::now() - plat::CurrentTimerDue();
      us.push_back(std::chrono::duration_cast<std::chrono::microseconds>(late).count());
      return ++runs < 13333 ? 1 + runs % 2 : -1;
    });
    timer.Join();
  }
  state.counters["wakes"] = double(us.size());
  state.counters["late_p50_us"] = double(Percentile(us, 0.50));
  state.counters["late_p99_us"] = double(Percentile(us, 0.99));
  state.counters["late_max_us"] = double(us.empty() ? 0 : *std::max_element(us.begin(), us.end()));
}
BENCHMARK(BM_TimerThreadLateness)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_PlayerLateness)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
