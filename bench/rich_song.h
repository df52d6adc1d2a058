// The 17-track song of 20,000 events the song benchmarks share.
#pragma once

#include <benchmark/benchmark.h>

#include <functional>
#include <memory>
#include <string>

#include "music/midi1_data.h"
#include "platform/core/message_sink.h"

namespace bench_songs {

// 17 tracks in note mode with 20,000 events between them: a conductor track with
// tempo, metre and markers, and 16 channel tracks with a name, bank and program,
// volume, pan and expression changes, lyrics and notes (some in chords).
inline std::unique_ptr<Midi1Data> RichSeventeenTrackSong() {
  auto song = std::make_unique<Midi1Data>(480, kDefaultMusicCapacity);
  Midi1Track* conductor = song->AddEmptyTrack(kDefaultMusicCapacity);
  conductor->mode = kTrackNotes;
  conductor->AddTimeSignature(4, 2);
  conductor->AddTempo(500000);
  for (int bar = 0; bar < 100; ++bar) conductor->AddMarker(bar == 0 ? 0 : 1920, bar == 0 ? "START" : "A");
  conductor->AddEndOfTrackAt(1920);
  const int per_track = (20000 - conductor->event_count) / 16;
  for (int t = 1; t < 17; ++t) {
    Midi1Track* track = song->AddEmptyTrack(kDefaultMusicCapacity);
    track->mode = kTrackNotes;
    const int channel = t - 1;
    const std::string name = "Part " + std::to_string(t);
    track->AddMetaEvent(0, 3, name.data(), static_cast<int32_t>(name.size()));
    track->AddBankProgram(channel, 0, 0, t * 5 % 128);
    track->AddControlChange(channel, 7, 100);
    track->AddControlChange(channel, 10, 64);
    int made = track->event_count;
    for (int i = 0; made < per_track - 1; ++i) {
      switch (i % 8) {
        case 3:
          track->AddControlChange(channel, 11, 80 + i % 40);
          break;
        case 5:
          track->AddControlChange(channel, 10, 40 + i % 50);
          break;
        case 7:
          track->AddMetaEvent(0, 5, "la", 2);
          break;
        default:
          track->AddNote(channel, i % 8 == 0 ? 0 : 120, 40 + (i * 5 + t) % 48, 60 + i % 60, 100);
          break;
      }
      ++made;
    }
    track->AddEndOfTrackAt(120);
  }
  return song;
}

// Boxes answered OK without showing them.
inline void QuietBoxes() {
  class QuietSink : public plat::MessageSink {
   public:
    int Show(plat::BoxKind, const std::string&) override { return plat::kIdOk; }
  };
  static QuietSink sink;
  plat::InstallSink(&sink);
}

using SongPass = std::function<void(Midi1Data&)>;

// One pass over a fresh copy of the source in each iteration (the copy is not timed).
inline void RunPassOnCopies(benchmark::State& state, const Midi1Data& source, const SongPass& pass) {
  int64_t events = 0;
  for (int32_t t = 0; t < source.track_count; ++t) events += source.tracks[t]->event_count;
  for (auto _ : state) {
    state.PauseTiming();
    auto song = std::make_unique<Midi1Data>(source, kDefaultMusicCapacity);
    state.ResumeTiming();
    pass(*song);
    benchmark::DoNotOptimize(song->track_count);
    state.PauseTiming();
    song.reset();
    state.ResumeTiming();
  }
  state.counters["events"] = static_cast<double>(events);
}

// The same on the rich song.
inline void RunSongPass(benchmark::State& state, const SongPass& pass, bool event_mode) {
  QuietBoxes();
  std::unique_ptr<Midi1Data> source = RichSeventeenTrackSong();
  if (event_mode) source->ToEventMode();
  RunPassOnCopies(state, *source, pass);
}

}  // namespace bench_songs
