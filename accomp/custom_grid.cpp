#include "accomp/custom_grid.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "engine/part_helpers.h"
#include "engine/tone_weights.h"

using namespace accomp;

namespace {

enum GridMode { kOneBar = 0, kTwoBars = 1, kBySection = 2 };

// Steps per bar of the metre; 2 (with the message) for a metre we cannot
// grid.
int StepsPerBar(bool triplet, GridMode mode) {
  switch (CurrentStyle().metre) {
    case 0: return triplet ? 12 : 16;
    case 1: return triplet ? 9 : 12;
    case 2:
      if (triplet && mode == kBySection) ShowErrorByCode(kGridMetreError);
      return triplet ? 9 : 14;
    default: ShowErrorByCode(kGridMetreError); return 2;
  }
}

// The stored tone a voice of the degree is made from (0: the chord lacks it).
int DegreeSource(const ChordBlock& block, int degree) {
  switch (degree % 7) {
    case 0: case 1: return block.root;
    case 2: return block.third;
    case 3: case 4: case 5: return block.fifth;
    default: return block.seventh;
  }
}

// One bar's grid as the steps read it: the cell and the tie of a column.
class GridView {
 public:
  GridView(const CustomGrid& first, const CustomGrid* second, int columns)
      : first_(first), second_(second), columns_(columns) {}
  int columns() const { return columns_; }
  bool Strikes(int voice, int column) const { return At(column).NoteTable[voice][Local(column)] == 1; }
  bool Tied(int column) const { return At(column).pn_continuem[Local(column)] == 1; }

 private:
  // In the two-bar strip the second bar's columns follow the first's 16.
  const CustomGrid& At(int column) const {
    return second_ != nullptr && column >= kGridSteps ? *second_ : first_;
  }
  int Local(int column) const { return column % kGridSteps; }

  const CustomGrid& first_;
  const CustomGrid* second_;
  int columns_;
};

}  // namespace

void GenerateCustomGridPattern(int channel, MidiTrack& track) {
  const StyleRecord& style = CurrentStyle();
  const int part = channel == 3 ? kGridHarmony : kGridSubHarmony;
  const int stored_mode = part == kGridHarmony ? style.use_x[kGridHarmony] : kOneBar;
  if (stored_mode < kOneBar || stored_mode > kBySection) return;
  const GridMode mode = static_cast<GridMode>(stored_mode);
  const bool triplet = TripletGrid();
  const int steps_per_bar = StepsPerBar(triplet, mode);
  const int step = triplet ? 32 : 24;
  const int sounding = triplet ? 23 : 15;
  const int gap = step - sounding;
  const bool runs_on = style.continue_major[part] == 1;
  const int spread = style.stroke[part] == 1 ? 2 : 0;
  const EventList& timeline = ComposeInfo().chord_timeline;

  const GridView one_bar(style.custom_grids[0].grid[part], nullptr, steps_per_bar);
  const GridView strip(style.custom_grids[0].grid[part], &style.custom_grids[1].grid[part],
                       2 * steps_per_bar);
  const GridView second_bar(style.custom_grids[1].grid[part], nullptr, steps_per_bar);
  bool on_second_bar = false;

  NoteEmitter e(track, channel);
  int counter = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int) {
    const GridView& grid =
        mode == kTwoBars ? strip : (mode == kBySection && on_second_bar ? second_bar : one_bar);
    char weights[kToneWeightTextSize];
    BuildToneWeights(block.chord_code, weights);
    int pitches[kCustomVoiceCount];
    MakeCustomVoicePitches(pitches, block, weights);
    Tone voices[kCustomVoiceCount];
    for (int v = 0; v < kCustomVoiceCount; ++v) {
      const int degree = style.custom_grids[0].grid[kGridHarmony].pn_interval[v];
      const bool lacking = degree >= 0 && DegreeSource(block, degree) == 0;
      voices[v] = lacking ? Tone::Missing(pitches[v]) : Tone(pitches[v]);
    }

    const int n = block.length / step;
    int s = runs_on ? counter : 0;
    int run_length = 0, run_gap = 0;
    for (int k = 0; k < n; ++k, ++s) {
      const int column = s % grid.columns();
      run_length += sounding;
      run_gap += gap;
      if (k + 1 < n && grid.Tied((s + 1) % grid.columns())) continue;
      // The run strikes the voices of its last column.
      int struck = 0;
      for (int v = 0; v < kCustomVoiceCount; ++v) {
        if (!grid.Strikes(v, column)) continue;
        if (struck > 0) e.Wait(spread);
        e.Note(voices[v], 64, run_length - struck * spread);
        ++struck;
      }
      if (struck == 0) {
        e.Rest(run_length);
        e.Wait(run_length + run_gap);
      } else {
        e.Wait(run_length - (struck - 1) * spread + run_gap);
      }
      run_length = run_gap = 0;
    }
    counter = s;

    if (mode == kBySection) {
      if (i >= timeline.count()) {
        on_second_bar = false;
      } else if (i + 1 < timeline.count() && timeline[i + 1].tag[0] != timeline[i].tag[0]) {
        on_second_bar = !on_second_bar;
      }
    }
  });
}
