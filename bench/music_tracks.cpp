// Event mode to note mode and back on a 100,000-event track (target: 3 ms each way),
// and parsing and writing its chunk.
#include <benchmark/benchmark.h>

#include <memory>

#include "music/midi_track.h"
#include "platform/core/message_sink.h"
#include "util/gne.h"

namespace {

class QuietSink : public plat::MessageSink {
 public:
  int Show(plat::BoxKind, const std::string&) override { return plat::kIdOk; }
};

// 50,000 notes on four channels, chords and overlaps included: 100,000 events in
// event mode (plus End of Track).
std::unique_ptr<MidiTrack> NoteTrack() {
  static QuietSink sink;
  plat::InstallSink(&sink);
  GneSeedRandomWith(1);
  auto t = std::make_unique<MidiTrack>(kTrackNotes, kDefaultMusicCapacity);
  for (int i = 0; i < 50000; ++i) {
    int32_t delta = GneRandomRange(0, 2) == 0 ? 0 : GneRandomRange(1, 120);
    MidiEvent* e = new MidiEvent(delta);
    e->SetNote(GneRandomRange(0, 3), GneRandomRange(36, 84), GneRandomRange(40, 127),
               GneRandomRange(1, 480));
    t->AddEvent(e);
  }
  t->AddEndOfTrackAt(0);
  return t;
}

// Times the conversion of fresh copies of a note-mode source into event mode.
void TimeToEventMode(benchmark::State& state, const MidiTrack& source) {
  for (auto _ : state) {
    state.PauseTiming();
    auto t = std::make_unique<MidiTrack>(source, 0);
    state.ResumeTiming();
    t->ToEventMode();
    benchmark::DoNotOptimize(t->event_count);
    state.PauseTiming();
    t.reset();  // freeing the events is not part of the conversion
    state.ResumeTiming();
  }
}

// Times the conversion of fresh copies of an event-mode source into note mode.
void TimeToNoteMode(benchmark::State& state, const MidiTrack& source) {
  for (auto _ : state) {
    state.PauseTiming();
    auto t = std::make_unique<MidiTrack>(kTrackEvents, 0);
    t->CopyEventModeEvents(source);
    state.ResumeTiming();
    t->ToNoteMode();
    benchmark::DoNotOptimize(t->event_count);
    state.PauseTiming();
    t.reset();
    state.ResumeTiming();
  }
}

void BM_ToEventMode(benchmark::State& state) { TimeToEventMode(state, *NoteTrack()); }
BENCHMARK(BM_ToEventMode)->Unit(benchmark::kMillisecond);

void BM_ToNoteMode(benchmark::State& state) {
  auto source = NoteTrack();
  source->ToEventMode();
  TimeToNoteMode(state, *source);
}
BENCHMARK(BM_ToNoteMode)->Unit(benchmark::kMillisecond);

// The same track read back from its chunk: the events remember where they stood in
// the file, and the conversions keep that order inside each tick.
std::unique_ptr<MidiTrack> ReadTrack() {
  auto source = NoteTrack();
  source->ToEventMode();
  source->ToChunk("MTrk");
  return std::make_unique<MidiTrack>(source->used_size, 0, source->buffer, 0,
                                     kDefaultMusicCapacity);
}

void BM_ToNoteModeRead(benchmark::State& state) { TimeToNoteMode(state, *ReadTrack()); }
BENCHMARK(BM_ToNoteModeRead)->Unit(benchmark::kMillisecond);

void BM_ToEventModeRead(benchmark::State& state) {
  auto source = ReadTrack();
  source->ToNoteMode();
  TimeToEventMode(state, *source);
}
BENCHMARK(BM_ToEventModeRead)->Unit(benchmark::kMillisecond);

void BM_ParseChunk(benchmark::State& state) {
  auto source = NoteTrack();
  source->ToEventMode();
  source->ToChunk("MTrk");
  for (auto _ : state) {
    MidiTrack t(source->used_size, 0, source->buffer, 0, kDefaultMusicCapacity);
    benchmark::DoNotOptimize(t.event_count);
  }
}
BENCHMARK(BM_ParseChunk)->Unit(benchmark::kMillisecond);

void BM_ToChunk(benchmark::State& state) {
  auto source = NoteTrack();
  source->ToEventMode();
  for (auto _ : state) {
    source->mode = kTrackEvents;
    source->ToChunk("MTrk");
    benchmark::DoNotOptimize(source->used_size);
  }
}
BENCHMARK(BM_ToChunk)->Unit(benchmark::kMillisecond);

}  // namespace
