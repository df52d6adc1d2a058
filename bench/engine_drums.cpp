// The drum part over a 64-bar 4/4 song of one-bar and half-bar chords in
// four sections: every drum pattern code, one after another, straight and in
// triplet rhythm.
#include <benchmark/benchmark.h>

#include "engine/compose_info.h"
#include "engine/drum_part.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

void PrepareSong(EventList& timeline) {
  ResetStyleModule();
  ResetEngineServices();
  ResetEngineState();
  StyleRecord& s = CurrentStyle();
  s.metre = 0;
  s.instrument[kDrumChannel] = kDrumKitElectric;
  s.density[kDrumChannel] = 100;
  CustomGrid& grid = s.custom_grids[0].grid[kGridDrum];
  grid.pn_interval[0] = 1;
  grid.pn_interval[1] = 7;
  for (int c = 0; c < kGridSteps; ++c) {
    grid.NoteTable[0][c] = c % 4 == 0;
    grid.NoteTable[1][c] = c % 2 == 0;
  }
  const char sections[4] = {'A', 'B', 'A', 'C'};
  for (int part = 0; part < 4; ++part) {
    for (int bar = 0; bar < 16; ++bar) {
      const char inside[4] = {sections[part], 'X', 0, 0};
      const char closing[4] = {sections[part], bar == 15 ? 'E' : 'X', 0, 0};
      if (bar % 4 == 3) {
        timeline.AppendSectionTag(192, inside);
        timeline.AppendSectionTag(192, closing);
      } else {
        timeline.AppendSectionTag(384, closing);
      }
    }
  }
}

// All 40 styles once per iteration.
void BM_EveryDrumStyle(benchmark::State& state) {
  EventList timeline;
  PrepareSong(timeline);
  CurrentStyle().basic_beat = static_cast<int>(state.range(0));
  GneSeedRandomWith(22);
  int64_t notes = 0;
  for (auto _ : state) {
    for (int code = 1; code <= 40; ++code) {
      CurrentStyle().drum_pattern = code;
      PartTrack track;
      AddNote(track, kDrumChannel, 0, 0, 0, 0);
      GenerateDrumTrack(kDrumChannel, timeline, track, 100);
      CloseTrack(track);
      notes += track.event_count;
    }
  }
  state.counters["notes/iteration"] =
      benchmark::Counter(static_cast<double>(notes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_EveryDrumStyle)->Arg(0)->Arg(3)->Unit(benchmark::kMillisecond);

}  // namespace
