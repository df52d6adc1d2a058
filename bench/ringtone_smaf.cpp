// SMAF reading: the tempo found from the note distances of a track. A damaged file can hold
// deltas of many distinct values, every one of them a pass of the search.
#include <benchmark/benchmark.h>

#include <memory>

#include "export/ringtone/smaf.h"

namespace {

// Puts the source's times back into the track (outside the timing).
void Restore(MobileTrack& track, const MobileTrack& source) {
  for (size_t i = 0; i < source.events.size(); ++i) {
    track.events[i]->delta = source.events[i]->delta;
    track.events[i]->duration = source.events[i]->duration;
  }
}

// 100,000 deltas of 16,000 distinct values, none of which makes a tempo the search accepts.
std::unique_ptr<MobileTrack> DistinctDeltas() {
  auto track = std::make_unique<MobileTrack>(kMobileCapacity);
  for (int i = 0; i < 100000; ++i) track->AddNote(200 + (i * 7919) % 16000, 0, 60, 10, 100);
  return track;
}

void BM_DetectTempoManyDistinctDeltas(benchmark::State& state) {
  const auto source = DistinctDeltas();
  MobileTrack track(*source, kMobileCapacity);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(track, *source);
    state.ResumeTiming();
    benchmark::DoNotOptimize(SmafData::DetectTempo(track, 96));
  }
}
BENCHMARK(BM_DetectTempoManyDistinctDeltas)->Unit(benchmark::kMillisecond);

// The same for a grid of eighth notes, found in the first pass.
void BM_DetectTempoGrid(benchmark::State& state) {
  auto source = std::make_unique<MobileTrack>(kMobileCapacity);
  for (int i = 0; i < 100000; ++i) source->AddNote(i % 4 ? 0 : 48, i % 4, 60, 10, 100);
  MobileTrack track(*source, kMobileCapacity);
  for (auto _ : state) {
    state.PauseTiming();
    Restore(track, *source);
    state.ResumeTiming();
    benchmark::DoNotOptimize(SmafData::DetectTempo(track, 96));
  }
}
BENCHMARK(BM_DetectTempoGrid)->Unit(benchmark::kMillisecond);

}  // namespace
