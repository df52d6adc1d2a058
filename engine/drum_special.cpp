// Drum styles built on fills at section changes and on the song's position,
// on drum grids, on notes written directly and on tables outside the drums:
// march, Japanese, Mersey beat, progressive, rockabilly, automatic, custom,
// cha-cha-cha and flamenco.
#include <algorithm>

#include "engine/drum_auto_patterns.h"
#include "engine/drum_hits.h"
#include "engine/drum_part.h"
#include "engine/drum_styles.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "music/ticks.h"
#include "style/style_record.h"
#include "util/gne.h"

namespace {

using ticks::kSixteenth;
using ticks::kEighth;
using ticks::kTripletEighth;
using ticks::kBeat;

int StepTicks(const DrumRun& run) { return run.triplet ? kTripletEighth : kSixteenth; }

}  // namespace

// ---- March ----

namespace {

// A ten-stroke snare roll over one beat, starting at the pending delta.
void WriteRollBeat(int& pending, int channel, MidiTrack& track, int mode) {
  for (int j = 0; j < 10; ++j) {
    const bool snare = mode == 0 ? (j % 2 == 1) : (j == 0 || j % 2 == 1);
    AddNote(track, channel, pending, snare ? 38 : 40, j == 0 ? 100 : 45 + j, 3);
    pending = j <= 5 ? 10 : 9;
  }
}

// Rolls and accents over a block of whole beats. Mode 0 rolls on the even
// beats and answers with cymbal or cowbell-like hits; mode 1 accents the even
// beats and rolls on the odd ones. Other blocks stay silent.
void WriteSnareRoll(int& pending, int length, int channel, MidiTrack& track, int mode,
                    int density) {
  if (length % kBeat != 0) {
    pending += length;
    return;
  }
  const bool dense = density > 100;
  for (int beat = 0; beat < length / kBeat; ++beat) {
    if (mode == 1) {
      if (beat % 2 == 0) {
        AddNote(track, channel, pending, 38, 110, 3);
        AddNote(track, channel, 64, 38, 60, 3);
        pending = 32;
      } else {
        WriteRollBeat(pending, channel, track, mode);
      }
      continue;
    }
    if (beat % 2 == 0) {
      WriteRollBeat(pending, channel, track, mode);
    } else if (DrumChance(1, 3)) {
      AddNote(track, channel, pending, 57, 100, 3);
      pending = kBeat;
    } else if (DrumChance(1, 2)) {
      if (DrumChance(1, 2)) {
        const int note = dense ? 57 : 71;
        AddNote(track, channel, pending, note, 100, 3);
        AddNote(track, channel, kEighth, note, 100, 3);
        pending = kEighth;
      } else {
        AddNote(track, channel, pending, dense ? 57 : 72, 100, 93);
        pending = kBeat;
      }
    } else {
      pending += kBeat;
    }
  }
}

int MarchVariantByLength(int length, int block) {
  if (length == ticks::kHalf) {
    const int r = GneRandomRange(0, 10);
    return r == 0 ? 1 : (r <= 2 ? 2 : (r == 3 ? 3 : 0));
  }
  if (length == ticks::kBar && block < 4) {
    const int r = GneRandomRange(0, 4);
    return r == 0 ? 1 : (r == 1 ? 2 : 3);
  }
  if (length == ticks::kBar) {
    const int r = GneRandomRange(0, 10);
    return r <= 2 ? r + 1 : 0;
  }
  return 0;
}

void PlayMarchStraight(DrumRun& run) {
  const DrumSteps m1 = MakeDrumSteps({{{53, 53, 53, 53, 53, 6, 53, 53}}, {{53, 53, 53, 53, 53, 6, 53, 6}, 3}});
  const DrumSteps m2 = MakeDrumSteps({{{53, 6, 6, 6, 6, 6, 6, 6}, 2}, {{53, 6, 6, 6, 53, 6, 6, 6}, 2}});
  const DrumSteps v2 = MakeDrumSteps({{{65, 80, 80, 80, 80, 80, 80, 80}, 2}, {{65, 80, 80, 80}, 4}});
  const DrumSteps m3 = MakeDrumSteps({{{53, 6, 6, 6}, 8}});
  const DrumSteps v3 = MakeDrumSteps({{{65, 80, 80, 80}, 8}});
  DrumSteps master_velocities = MakeDrumSteps({{{75, 65, 70, 75, 80, 80, 80, 80}, 4}});
  const int n = run.block_count();
  for (const DrumBlock& b : run.blocks) {
    DrumSteps velocities = master_velocities;
    // The first third of the song marches a little softer.
    if (b.index < n / 3)
      for (int32_t& v : velocities) v -= 7;
    int variant = MarchVariantByLength(b.length, b.index);
    if (run.density < 100) {
      if (DrumChance(1, 4)) variant = 1;
    } else if (run.density == 100) {
      if (b.index >= 8 && b.index <= 15 && DrumChance(1, 3)) variant = 3;
    } else if (DrumChance(1, 2)) {
      variant = 0;
    }
    if (b.index == n - 1) variant = 1;
    run.BeginBlock(b);
    switch (variant) {
      case 0:
        master_velocities[2] = DrumChance(1, 3) ? 60 : EitherDrum(40, 20);
        WriteDrumStepsWithVelocity(run.pending, b.length, run.channel, run.track, m1.data(),
                                   kSixteenth, velocities.data());
        break;
      case 1:
        if (DrumChance(1, 2))
          WriteDrumStepsWithVelocity(run.pending, b.length, run.channel, run.track, m2.data(),
                                     kSixteenth, v2.data());
        else
          WriteDrumStepsWithVelocity(run.pending, b.length, run.channel, run.track, m3.data(),
                                     kSixteenth, v3.data());
        break;
      default:
        WriteSnareRoll(run.pending, b.length, run.channel, run.track, variant == 2 ? 0 : 1,
                       run.density);
        break;
    }
  }
}

}  // namespace

void PlayMarch(DrumRun& run) {
  if (run.triplet)
    run.PlainSteps(MakeDrumSteps({{{4, 4, 4, 4, 4, 6}, 4}}), kTripletEighth);
  else
    PlayMarchStraight(run);
}

// ---- Japanese ----

namespace {

void PlayJapaneseGrid(DrumRun& run) {
  DrumGrid grid;
  for (int row : {0, 4, 8, 12}) {
    grid.rows[row][0] = {45, 60};
    grid.rows[row][1] = {80, 80};
    grid.rows[row][2] = {67, 80};
  }
  for (int row : {3, 7, 11, 15}) {
    grid.rows[row][0] = {80, 90};
    grid.rows[row][1] = {45, 40};
    grid.rows[row][2] = {54, 40};
  }
  for (const DrumBlock& b : run.blocks) {
    run.BeginBlock(b);
    run.pending = WriteDrumGrid(b.length, run.pending, grid, run.track, run.channel);
  }
  DropEmptyNotes(run.track);
}

void PlayJapaneseVaried(DrumRun& run) {
  const DrumSteps base = JapaneseBaseSteps();
  const DrumSteps patterns[4] = {
      MakeDrumSteps({{{16, 6, 16, 6, 16, 6, 16, 6, 16, 16, 6, 20, 16, 6, 16, 6, 16, 6, 16, 6, 16,
                       6, 16, 6, 16, 16, 6, 18, 16, 6, 16, 6}}}),
      MakeDrumSteps({{{6, 6, 17, 17, 17, 6, 17, 6}, 4}}),
      MakeDrumSteps({{{16, 16, 6, 16, 16, 16, 6, 16, 16, 16, 6, 16, 30, 6, 30, 6}, 2}}),
      base};
  auto any_pattern = [&patterns]() -> const DrumSteps& { return patterns[GneRandomRange(0, 3)]; };
  const bool sparse_start = EitherDrum(0, 1) == 1;
  DrumSteps steps = base;
  for (const DrumBlock& b : run.blocks) {
    const int k = b.index;
    if (k % 2 == 0) steps = any_pattern();
    if (k == 0 && DrumChance(1, 2)) {
      // A quiet opening: rests, then two strokes.
      const int rests = EitherDrum(8, 16);
      for (int i = 0; i < rests; ++i) steps[static_cast<size_t>(i)] = kDrumHitRest;
      const int32_t stroke = DrumChance(2, 3) ? 16 : 20;
      steps[0] = stroke;
      steps[2] = stroke;
    } else if (sparse_start && k < 8) {
      steps = base;
      for (size_t i = 0; i < steps.size(); i += 4) steps[i] = kDrumHitRest;
    } else if (k > 11) {
      if (DrumChance(1, 2)) {
        const DrumSteps& a = any_pattern();
        steps = MixDrumSteps(a, any_pattern());
      } else {
        steps = base;
      }
    }
    run.Steps(b, steps, kSixteenth);
  }
}

}  // namespace

void PlayJapanese(DrumRun& run) {
  if (run.triplet) {
    WriteTripletDrumSteps(run.channel, run.timeline, run.track,
                          MakeDrumSteps({{{18, 6, 17, 17, 6, 17}, 2}, {{17, 6, 17, 17, 6, 17}, 2}}).data());
  } else if (run.density <= 60) {
    PlayJapaneseGrid(run);
  } else if (run.density > 80) {
    WriteSixteenthDrumSteps(run.channel, run.timeline, run.track, JapaneseBaseSteps().data());
  } else {
    PlayJapaneseVaried(run);
  }
}

// ---- Mersey beat and progressive ----

namespace {

const DrumSteps& MerseyTripletSteps() {
  static const DrumSteps steps = MakeDrumSteps(
      {{{33, 6, 1, 34, 6, 35, 33, 6, 36, 34, 6, 1, 33, 6, 1, 34, 6, 35, 33, 6, 36, 34, 6, 33}}});
  return steps;
}

const DrumSteps& MerseySteps() {
  static const DrumSteps steps =
      MakeDrumSteps({{{33, 6, 1, 6, 34, 6, 35, 6, 33, 6, 36, 6, 34, 6, 1, 6}, 2}});
  return steps;
}

// The fills both styles share: a crash after a middle fill, now and then a
// tom fill in the middle or at the start of the block, and a crash on step 0.
// Answers whether this block got the middle fill.
bool AddMerseyFills(DrumSteps& steps, bool middle_before) {
  if (middle_before) steps[0] = 37;
  const bool middle = DrumChance(1, 10);
  if (middle) PutTomFill(steps, 8);
  if (DrumChance(1, 20)) PutTomFill(steps, 0);
  if (DrumChance(1, 8)) steps[0] = 37;
  return middle;
}

// A block written in stretches, each from step 0 of the array. Every stretch
// starts on time, also after one shorter than its step.
class Stretches {
 public:
  Stretches(DrumRun& run, const DrumBlock& block, const DrumSteps& steps)
      : run_(run), start_(block.start), steps_(steps) {}
  void Write(int ticks, int step_ticks) {
    run_.clock.AlignTo(start_ + at_, run_.pending);
    WriteDrumSteps(run_.pending, ticks, run_.channel, run_.track, steps_.data(), step_ticks);
    at_ += ticks;
  }
  // The last beat in an odd grouping: sixes of 13 ticks or fours of 19.
  void WriteOddBeat() {
    if (DrumChance(1, 2)) {
      Write(78, 13);
      Write(18, 13);
    } else {
      Write(76, 19);
      Write(20, 19);
    }
  }

 private:
  DrumRun& run_;
  int start_;
  const DrumSteps& steps_;
  int at_ = 0;
};

void PlayProgressiveTriplet(DrumRun& run) {
  for (const DrumBlock& b : run.blocks) {
    Stretches block(run, b, MerseyTripletSteps());
    if (b.length <= kBeat || DrumChance(6, 7)) {
      block.Write(b.length, kTripletEighth);
    } else {
      block.Write(b.length - kBeat, kTripletEighth);
      block.Write(76, 19);
      block.Write(20, 19);
    }
  }
}

}  // namespace

void PlayMerseyBeat(DrumRun& run) {
  if (run.triplet) {
    run.PlainSteps(MerseyTripletSteps(), kTripletEighth);
    return;
  }
  bool middle = false;
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps = MerseySteps();
    middle = AddMerseyFills(steps, middle);
    run.Steps(b, steps, kSixteenth);
  }
}

void PlayProgressive(DrumRun& run) {
  if (run.triplet) {
    PlayProgressiveTriplet(run);
    return;
  }
  bool middle = false;
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps = MerseySteps();
    if (b.index < 8 && DrumChance(1, 3)) {
      steps = FilledDrumSteps(kDrumHitRest);
      for (size_t i = 0; i < steps.size(); i += 8) {
        steps[i] = 5;
        steps[i + 4] = 1;
      }
    }
    if (b.index > 15 && DrumChance(1, 2))
      for (int32_t& s : steps)
        if (DrumChance(1, 2)) s = GneRandomRange(1, 24);
    middle = AddMerseyFills(steps, middle);
    Stretches block(run, b, steps);
    if (b.length <= kBeat) {
      block.Write(b.length, kSixteenth);
      continue;
    }
    block.Write(b.length - kBeat, kSixteenth);
    if ((middle && DrumChance(1, 2)) || DrumChance(1, 10))
      block.WriteOddBeat();
    else
      block.Write(kBeat, EitherDrum(kTripletEighth, kSixteenth));
  }
}

// ---- Rockabilly ----

namespace {

DrumSteps RockabillyMaster(bool triplet) {
  DrumSteps s = FilledDrumSteps(kDrumHitRest);
  for (int i = 0; i < kDrumStepCount; ++i) {
    int32_t t;
    if (!triplet)
      t = i % 8 == 0 ? 2 : (i % 8 == 4 ? 3 : (i % 2 == 0 ? 1 : kDrumHitRest));
    else if (i % 12 == 0)
      t = 2;
    else if (i % 6 == 3)
      t = 3;
    else if (i % 3 == 2)
      t = 1;
    else if (i % 6 == 0)
      t = 24;
    else
      t = kDrumHitRest;
    s[static_cast<size_t>(i)] = t;
  }
  return s;
}

// In triplet rhythm the B and F sections build up to a snare roll: two blocks
// of snare on the beat, then the roll with a crash.
void ApplyRockabillyRoll(DrumSteps& steps, const DrumBlock& b) {
  int32_t& counter = RockabillyRollCounter();
  const bool bar_block = b.length == ticks::kBar || b.length == ticks::kHalf;
  if ((b.section == 'B' || b.section == 'F') && bar_block && counter < 4) {
    for (size_t i = 0; i < steps.size(); ++i) steps[i] = i % 6 == 0 ? 3 : kDrumHitRest;
    counter += b.length / ticks::kHalf;
  } else if (counter == 4 && bar_block) {
    steps = FilledDrumSteps(kDrumHitRest);
    for (size_t i = 0; i < 6; ++i) steps[i] = 3;
    steps[6] = 37;
    steps[8] = 3;
    counter = b.length / kEighth + 4;
  } else {
    counter = 0;
  }
}

}  // namespace

void PlayRockabilly(DrumRun& run) {
  const DrumSteps master = RockabillyMaster(run.triplet);
  const int n = run.block_count();
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps = master;
    const int period = run.triplet ? 6 : 8;
    const size_t used = run.triplet ? kTripletDrumStepCount : kDrumStepCount;
    for (size_t i = 0; i < used; ++i)
      if (static_cast<int>(i) % period == period - 1 && DrumChance(1, 3)) steps[i] = 3;
    const int k = b.index;
    if (k > 0 && k < n - 1) {
      if (run.blocks[static_cast<size_t>(k + 1)].starts_section) {
        static constexpr int32_t kPickup[5] = {6, 3, 3, 3, 3};
        for (size_t i = 0; i < 5; ++i) steps[6 + i] = kPickup[i];
      }
      if (b.starts_section && DrumChance(1, 2)) steps[0] = 37;
    }
    if (DrumChance(1, 2)) {
      int32_t& s = steps[static_cast<size_t>(GneRandomRange(0, 31))];
      if (s == kDrumHitRest) s = 21;
    }
    if (run.triplet) ApplyRockabillyRoll(steps, b);
    run.Steps(b, steps, run.triplet ? kTripletEighth : kEighth);
  }
}

// ---- Automatic patterns ----

void PlayAutoPattern(DrumRun& run) {
  if (run.blocks.empty()) return;
  // Songs without section letters ('x') take one pattern for the whole song.
  const DrumBlock& first = run.blocks.front();
  const bool unsectioned = first.section == 'x';
  const int fixed_index =
      first.end_mark == 'x' ? 0 : std::clamp(static_cast<int>(first.end_mark), 0, 2);
  for (const DrumBlock& b : run.blocks) {
    int index = 2;
    if (unsectioned)
      index = fixed_index;
    else if (b.section == 'A')
      index = 0;
    else if (b.section == 'B')
      index = 1;
    const AutoDrumPattern& p = AutoDrumPatterns(index);
    run.Steps(b, run.triplet ? p.triplet : p.sixteenth, StepTicks(run));
  }
}

// ---- Custom grid ----

void PlayCustomGrid(DrumRun& run) {
  const CustomGrid& grid = run.style.custom_grids[0].grid[kGridDrum];
  const int step_ticks = StepTicks(run);
  const int columns = run.triplet ? 12 : kGridSteps;
  for (const DrumBlock& b : run.blocks) {
    run.BeginBlock(b);
    for (int s = 0; s < b.length / step_ticks; ++s) {
      const int column = s % columns;
      bool any = false;
      for (int row = 0; row < kGridRows; ++row) {
        if (grid.NoteTable[row][column] != 1) continue;
        const int note = ((grid.pn_interval[row] & 0xFF) + 35) % 256;
        run.Note(note, note == 42 || note == 46 ? 49 : 64, step_ticks - 1);
        any = true;
      }
      if (!any) AddNote(run.track, run.channel, run.pending, 0, 0, 0);
      run.pending = step_ticks;
    }
  }
}

// ---- Cha-cha-cha ----

namespace {

struct GridHit {
  int row;
  int note;
  int velocity;
};

// Layer 1 is the kit (hat, kick, side stick); the others add cowbells,
// congas, timbales, bongos and claves.
const std::vector<GridHit> kChaChaLayers[6] = {
    {{0, 42, 100}, {0, 35, 64}, {0, 37, 64}, {2, 42, 100}, {3, 42, 64}, {4, 42, 100},
     {4, 37, 64}, {6, 42, 100}, {6, 35, 64}, {8, 42, 100}, {8, 37, 64}, {8, 35, 64},
     {10, 42, 100}, {12, 42, 100}, {12, 37, 64}, {14, 42, 100}},
    {{0, 74, 64}, {4, 73, 64}, {6, 73, 64}, {8, 74, 64}, {12, 73, 64}, {14, 73, 64}},
    {{0, 62, 80}, {2, 62, 64}, {4, 63, 80}, {6, 62, 64}, {8, 62, 80}, {10, 62, 64},
     {12, 64, 80}, {14, 64, 64}},
    {{0, 66, 50}, {4, 66, 50}, {8, 65, 50}, {10, 65, 55}, {12, 65, 60}},
    {{0, 60, 64}, {2, 60, 64}, {4, 60, 64}, {6, 60, 64}, {8, 60, 64}, {10, 60, 32},
     {12, 61, 64}, {14, 61, 64}},
    {{0, 70, 64}, {2, 70, 70}, {3, 70, 64}, {4, 70, 64}, {6, 70, 70}, {8, 70, 64},
     {10, 70, 70}, {12, 70, 64}, {14, 70, 70}},
};

DrumGrid LayerGrid(const std::vector<GridHit>& hits) {
  DrumGrid g;
  for (const GridHit& h : hits) {
    for (auto& slot : g.rows[h.row]) {
      if (slot.note != -1) continue;
      slot = {h.note, h.velocity};
      break;
    }
  }
  return g;
}

}  // namespace

void PlayChaChaCha(DrumRun& run) {
  static const DrumGrid layers[6] = {LayerGrid(kChaChaLayers[0]), LayerGrid(kChaChaLayers[1]),
                                     LayerGrid(kChaChaLayers[2]), LayerGrid(kChaChaLayers[3]),
                                     LayerGrid(kChaChaLayers[4]), LayerGrid(kChaChaLayers[5])};
  for (const DrumBlock& b : run.blocks) {
    DrumGrid grid;
    for (int layer = 0; layer < 6; ++layer) {
      if (!DrumChance(layer == 0 ? 3 : 1, layer == 0 ? 4 : 2)) continue;
      const DrumGrid source = grid;
      MergeDrumGrid(grid, source, layers[layer]);
    }
    run.BeginBlock(b);
    run.pending = WriteDrumGrid(b.length, run.pending, grid, run.track, run.channel);
  }
  DropEmptyNotes(run.track);
  if (run.triplet) {
    DropEmptyNotes(run.track);
    run.track.ConvertToShuffle(kBeat);
  }
}

// ---- Flamenco ----

void PlayFlamenco(DrumRun& run) {
  // Voices: A the low pulse, B the answering clap or tap.
  int base = 80, voice_a = 70, voice_b = 83;
  if (DrumChance(1, run.triplet ? 2 : 3)) {
    voice_b = 77;
    if (DrumChance(1, 2)) {
      voice_a = 83;
      base = 50;
    }
  } else if (!run.triplet && DrumChance(1, 3)) {
    voice_b = 54;
  }
  int accent = 80;
  for (const DrumBlock& b : run.blocks) {
    accent = accent >= 100 ? 80 : accent + 1;
    const int b_note = (b.index >= 11 && DrumChance(1, 8)) ? 0 : voice_b;
    run.BeginBlock(b);
    const int step_ticks = run.triplet ? 16 : kEighth;
    for (int i = 0; i < b.length / step_ticks; ++i) {
      const int v = i % 2 == 0 ? base : base + base / 4;
      if (run.triplet) {
        switch (i % 24) {
          case 0: case 6: case 12: case 18: case 21:
            run.Note(voice_a, v, 1);
            run.pending = step_ticks;
            break;
          case 3: case 4: case 5: case 9: case 15: case 22:
            run.Note(b_note, accent, 1);
            run.pending = step_ticks;
            break;
          default:
            run.pending += step_ticks;
            break;
        }
        continue;
      }
      switch (i % 8) {
        case 0: case 4: case 6:
          if (DrumChance(1, 2)) {
            run.pending += step_ticks;
            continue;
          }
          run.Note(voice_a, v, 1);
          break;
        case 1:
          run.Note(b_note, accent, 1);
          if (DrumChance(1, 2)) {
            run.Note(voice_a, v, 1);
            AddNote(run.track, run.channel, 16, b_note, accent - 15, 1);
            AddNote(run.track, run.channel, 16, b_note, accent - 10, 1);
            run.pending = 16;
            continue;
          }
          if (DrumChance(1, 2)) run.Note(voice_a, v, 1);
          break;
        case 2:
          run.Note(voice_a, v, 1);
          if (DrumChance(1, 2)) run.Note(b_note, accent, 1);
          break;
        default:
          run.Note(voice_a, v, 1);
          run.Note(b_note, accent, 1);
          break;
      }
      run.pending = step_ticks;
    }
  }
}
