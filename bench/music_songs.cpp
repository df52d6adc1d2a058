// Songs: reading a large format-1 file into tracks, packing a many-track song
// into file bytes, and preparing an arranged song for playing (copy, division 96,
// event mode, lead-in cut; the target is 5 ms or less). The track passes, the
// format conversions and the loader run on a 17-track song of 20,000 events with
// programs, controllers and texts: a pass that walks the song once takes 2 ms or
// less, the round trip through event mode 5 ms or less (about 3 ms of it the
// conversion itself), merge, split and merging by channel 5 ms or less each, and
// the loader 20 ms or less on a real file.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <memory>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "music/midi_loader.h"
#include "platform/core/message_sink.h"
#include "rich_song.h"
#include "tests/support/smf_bytes.h"

namespace {

using bench_songs::RichSeventeenTrackSong;
using bench_songs::RunSongPass;
using bench_songs::SongPass;

using Bytes = std::vector<uint8_t>;

using cantrel_test::Put32;
using cantrel_test::PutVarLen;

// A format-1 file of exactly `size` bytes: a conductor track and note tracks on
// 15 channels, the last track padded with a text event.
Bytes LargeFormat1File(size_t size) {
  constexpr int kTracks = 16;
  std::vector<Bytes> bodies(kTracks);
  Bytes& conductor = bodies[0];
  const uint8_t head[] = {0x00, 0xFF, 0x58, 0x04, 0x04, 0x02, 0x18, 0x08,
                          0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};
  conductor.assign(std::begin(head), std::end(head));
  const size_t budget = size - 14 - kTracks * 8 - 4 * kTracks - 64;
  size_t used = conductor.size();
  for (int n = 0; used < budget; ++n) {
    const int t = 1 + n % (kTracks - 1);
    const uint8_t channel = static_cast<uint8_t>(t - 1 == 9 ? 15 : t - 1);
    Bytes& body = bodies[static_cast<size_t>(t)];
    const uint8_t pitch = static_cast<uint8_t>(40 + (n * 7) % 48);
    const Bytes note = {0x00, static_cast<uint8_t>(0x90 | channel), pitch, 100,
                        0x3C, static_cast<uint8_t>(0x80 | channel), pitch, 0x40};
    body.insert(body.end(), note.begin(), note.end());
    used += note.size();
  }
  Bytes file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, kTracks, 0x01, 0xE0};
  for (int t = 0; t < kTracks; ++t) {
    Bytes& body = bodies[static_cast<size_t>(t)];
    if (t == kTracks - 1) {
      // Pad with a text event so that the file has the size asked for.
      const size_t rest = size - file.size() - 8 - body.size() - 4;
      size_t text = rest - 3;
      Bytes len;
      PutVarLen(len, static_cast<uint32_t>(text));
      text = rest - 2 - len.size() - 1;
      len.clear();
      PutVarLen(len, static_cast<uint32_t>(text));
      body.push_back(0x00);
      body.push_back(0xFF);
      body.push_back(0x01);
      body.insert(body.end(), len.begin(), len.end());
      body.insert(body.end(), text, 'a');
    }
    const uint8_t end[] = {0x00, 0xFF, 0x2F, 0x00};
    body.insert(body.end(), std::begin(end), std::end(end));
    file.insert(file.end(), {'M', 'T', 'r', 'k'});
    Put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
  }
  return file;
}

void Quiet() { bench_songs::QuietBoxes(); }

void BM_LoadAndUnpackFormat1(benchmark::State& state) {
  Quiet();
  const Bytes file = LargeFormat1File(384 * 1024);
  const std::filesystem::path path =
      std::filesystem::temp_directory_path() / "cantrel_bench_songs_384k.mid";
  if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
  }
  for (auto _ : state) {
    Midi1Data song(0, kDefaultMusicCapacity);
    song.LoadFile(path);
    if (!song.ReadHeader()) state.SkipWithError("header refused");
    song.Unpack();
    benchmark::DoNotOptimize(song.track_count);
  }
  state.counters["bytes"] = static_cast<double>(file.size());
  std::filesystem::remove(path);
}
BENCHMARK(BM_LoadAndUnpackFormat1)->Unit(benchmark::kMillisecond);

// 17 tracks in event mode with 20,000 events between them.
std::unique_ptr<Midi1Data> SeventeenTrackSong() {
  auto song = std::make_unique<Midi1Data>(480, kDefaultMusicCapacity);
  const int per_track = 20000 / 17;
  for (int t = 0; t < 17; ++t) {
    Midi1Track* track = song->AddEmptyTrack(kDefaultMusicCapacity);
    track->mode = kTrackNotes;
    const int channel = t == 0 ? 0 : (t - 1) % 16;
    for (int i = 0; i < per_track / 2; ++i) {
      track->AddNote(channel, i == 0 ? 0 : 120, 40 + (i * 5 + t) % 48, 90, 100);
    }
    track->AddEndOfTrackAt(120);
  }
  song->ToEventMode();
  return song;
}

void BM_PackSeventeenTracks(benchmark::State& state) {
  Quiet();
  std::unique_ptr<Midi1Data> source = SeventeenTrackSong();
  for (auto _ : state) {
    state.PauseTiming();
    auto song = std::make_unique<Midi1Data>(*source, kDefaultMusicCapacity);
    state.ResumeTiming();
    song->Pack();
    benchmark::DoNotOptimize(song->used_size);
    state.PauseTiming();
    song.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_PackSeventeenTracks)->Unit(benchmark::kMillisecond);

// An arranged song as the engine writes it: 17 tracks at division 960, a
// one-bar lead-in, 96 bars of melody, bass, chords, drums and an ambient part,
// merged into one track as for playing.
std::unique_ptr<Midi0Data> ArrangedSong() {
  constexpr int kDivision = 960;
  constexpr int kBar = 4 * kDivision;
  constexpr int kBars = 96;
  Midi1Data song(kDivision, kDefaultMusicCapacity);
  for (int t = 0; t < 17; ++t) {
    Midi1Track* track = song.AddEmptyTrack(kDefaultMusicCapacity);
    track->mode = kTrackNotes;
  }
  song.tracks[0]->AddTimeSignature(4, 2);
  song.tracks[0]->AddTempo(500000);
  auto add_part = [&](int t, int channel, int step, int notes, int base, int length) {
    Midi1Track* track = song.tracks[t];
    track->AddProgramChange(channel, 0);
    track->AddControlChange(channel, 7, 100);
    int at = 0;
    int last = 0;
    for (int bar = 1; bar <= kBars; ++bar) {
      for (int k = 0; k < kBar / step; ++k) {
        const int tick = bar * kBar + k * step;
        for (int n = 0; n < notes; ++n) {
          track->AddNote(channel, tick - last, base + (bar * 3 + k + n * 4) % 12, 90, length);
          last = tick;
        }
        at = tick + length;
      }
    }
    track->AddEndOfTrackAt(at - last);
  };
  add_part(1, 1, kDivision / 2, 1, 67, kDivision / 2 - 10);  // melody in eighths
  add_part(2, 2, kDivision, 1, 36, kDivision - 10);          // bass in quarters
  add_part(3, 3, kDivision, 3, 55, kDivision - 20);          // harmony chords
  add_part(7, 7, 2 * kDivision, 2, 60, kDivision);           // sub-harmony
  add_part(8, 8, kBar, 1, 48, kBar);                         // ambient
  add_part(9, 9, kDivision / 4, 1, 42, 60);                  // hi-hat in sixteenths
  add_part(10, 9, kDivision, 1, 36, 60);                     // kick and snare
  for (int t = 0; t < 17; ++t) {
    if (!song.tracks[t]->LastIsEndOfTrack()) song.tracks[t]->AddEndOfTrackAt(0);
  }
  auto merged = std::make_unique<Midi0Data>(kDefaultMusicCapacity);
  song.MergeToFormat0(*merged);
  return merged;
}

void BM_PlayPreparation(benchmark::State& state) {
  Quiet();
  std::unique_ptr<Midi0Data> song = ArrangedSong();
  int32_t cut = 0;
  for (auto _ : state) {
    Midi0Data copy(*song);
    copy.ChangeDivision(96, 0);
    copy.ToEventMode();
    cut = copy.CutLeadIn();
    benchmark::DoNotOptimize(copy.track->event_count);
  }
  state.counters["events"] = static_cast<double>(song->track->event_count);
  state.counters["cut"] = cut;
}
BENCHMARK(BM_PlayPreparation)->Unit(benchmark::kMillisecond);

void ForEachTrack(Midi1Data& song, const std::function<void(Midi1Track&)>& pass) {
  for (int32_t t = 0; t < song.track_count; ++t) pass(*song.tracks[t]);
}

// Passes that walk the song once (target 2 ms or less).
const struct {
  const char* name;
  bool event_mode;
  std::function<void(Midi1Track&)> pass;
} kOneWalkPasses[] = {
    {"NormalizeStartStopMarkers", false, [](Midi1Track& t) { t.NormalizeStartStopMarkers(); }},
    {"RemoveDuplicateMixControllers", false,
     [](Midi1Track& t) {
       t.RemoveDuplicateMixControllers();
       t.Compact();
     }},
    {"RemoveRepeatedMixControllers", false, [](Midi1Track& t) { t.RemoveRepeatedMixControllers(); }},
    {"RemoveRedundantProgramChanges", false, [](Midi1Track& t) { t.RemoveRedundantProgramChanges(); }},
    {"FoldVolumeIntoVelocity", false, [](Midi1Track& t) { t.FoldVolumeIntoVelocity(); }},
    {"MergeExpressionIntoVolume", false, [](Midi1Track& t) { t.MergeExpressionIntoVolume(); }},
    {"MergeConsecutivePans", false, [](Midi1Track& t) { t.MergeConsecutivePans(); }},
    {"KeepTopNotes", false, [](Midi1Track& t) { t.KeepTopNotes(255, 1); }},
    {"ShortenRepeatedNotes", false, [](Midi1Track& t) { t.ShortenRepeatedNotes(); }},
    {"DeleteAllMetaExceptTempoAndEnd", false, [](Midi1Track& t) { t.DeleteAllMetaExceptTempoAndEnd(); }},
    {"ToMonophonicNoteMode", true, [](Midi1Track& t) { t.ToMonophonicNoteMode(); }},
};

void BM_EventModeRoundTrip(benchmark::State& state) {
  RunSongPass(state, [](Midi1Data& song) {
    song.ToEventMode();
    song.ToNoteMode();
  }, false);
}
BENCHMARK(BM_EventModeRoundTrip)->Unit(benchmark::kMillisecond);

void BM_MergeToFormat0(benchmark::State& state) {
  RunSongPass(state, [](Midi1Data& song) {
    Midi0Data merged(kSongNotes, song.division, kDefaultMusicCapacity);
    song.MergeToFormat0(merged);
    benchmark::DoNotOptimize(merged.track->event_count);
  }, false);
}
BENCHMARK(BM_MergeToFormat0)->Unit(benchmark::kMillisecond);

void BM_SplitFormat0(benchmark::State& state) {
  Quiet();
  std::unique_ptr<Midi1Data> source = RichSeventeenTrackSong();
  Midi0Data merged(kSongNotes, source->division, kDefaultMusicCapacity);
  source->MergeToFormat0(merged);
  for (auto _ : state) {
    Midi1Data split(merged, kDefaultMusicCapacity);
    benchmark::DoNotOptimize(split.track_count);
  }
  state.counters["events"] = static_cast<double>(merged.track->event_count);
}
BENCHMARK(BM_SplitFormat0)->Unit(benchmark::kMillisecond);

void BM_MergeTracksByChannel(benchmark::State& state) {
  RunSongPass(state, [](Midi1Data& song) { song.MergeTracksByChannel(); }, false);
}
BENCHMARK(BM_MergeTracksByChannel)->Unit(benchmark::kMillisecond);

void BM_MidiLoaderBlupi(benchmark::State& state) {
  Quiet();
  const std::filesystem::path path = "/usr/share/planetblupi/music/music004.mid";
  if (!std::filesystem::exists(path)) {
    state.SkipWithError("planetblupi-music-midi is missing");
    return;
  }
  for (auto _ : state) {
    MidiLoader loader(path);
    if (loader.song == nullptr) state.SkipWithError("not loaded");
    benchmark::DoNotOptimize(loader.file_size);
  }
}
BENCHMARK(BM_MidiLoaderBlupi)->Unit(benchmark::kMillisecond);

const bool kRegistered = [] {
  for (const auto& p : kOneWalkPasses) {
    auto pass = p.pass;
    const bool event_mode = p.event_mode;
    benchmark::RegisterBenchmark((std::string("BM_OneWalk/") + p.name).c_str(),
                                 [pass, event_mode](benchmark::State& state) {
                                   RunSongPass(state, [&](Midi1Data& song) { ForEachTrack(song, pass); },
                                               event_mode);
                                 })
        ->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
