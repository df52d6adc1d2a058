// Ringtone conversions: both forms of turning a Standard MIDI song into the mobile song (voice
// allocation, and one voice per track) on the 17-track song of 20,000 events the song
// benchmarks use. Target: 10 ms or less each. The copy of the song each conversion takes
// (it changes drum notes and takes the master volumes out) is not timed.
#include <benchmark/benchmark.h>

#include "export/ringtone/mobile.h"
#include "music/midi1_data.h"
#include "rich_song.h"

namespace {

void BM_MobileDataFromMidiSong(benchmark::State& state) {
  bench_songs::RunSongPass(
      state,
      [](Midi1Data& song) {
        MobileData mobile(song, nullptr, kMobileCapacity);
        benchmark::DoNotOptimize(mobile.voice_count);
      },
      false);
}
BENCHMARK(BM_MobileDataFromMidiSong)->Unit(benchmark::kMillisecond);

void BM_MidiMobileDataFromMidiSong(benchmark::State& state) {
  bench_songs::RunSongPass(
      state,
      [](Midi1Data& song) {
        MidiMobileData mobile(song);
        benchmark::DoNotOptimize(mobile.voice_count);
      },
      false);
}
BENCHMARK(BM_MidiMobileDataFromMidiSong)->Unit(benchmark::kMillisecond);

}  // namespace
