// Drum styles whose steps are drawn: whole arrays once per song, fresh arrays
// per block or per section, and fixed arrays with random hits, motifs and fills.
#include "engine/drum_hits.h"
#include "engine/drum_part.h"
#include "engine/drum_styles.h"
#include "music/ticks.h"
#include "util/gne.h"

namespace {

using ticks::kSixteenth;
using ticks::kEighth;
using ticks::kTripletEighth;

DrumSteps RandomDrumSteps(int last_type) {
  DrumSteps s;
  for (int32_t& t : s) t = GneRandomRange(1, last_type);
  return s;
}

// Per block a copy of the master with a motif put in.
void PlayWithMotif(DrumRun& run, const DrumSteps& master, int step_ticks, int32_t m1, int32_t m2,
                   int32_t m3) {
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps = master;
    InsertDrumMotif(steps, m1, m2, m3);
    run.Steps(b, steps, step_ticks);
  }
}

const DrumSteps& LatinTripletSteps() {
  static const DrumSteps steps = MakeDrumSteps(
      {{{44, 1, 1, 43, 1, 1, 43, 4, 1, 44, 44, 1, 43, 1, 1, 4, 43, 1, 1, 4, 1, 44, 44, 1}}});
  return steps;
}

}  // namespace

void PlayRandomEightBeat(DrumRun& run) {
  const DrumSteps steps = RandomDrumSteps(6);
  if (run.triplet)
    WriteTripletDrumSteps(run.channel, run.timeline, run.track, steps.data());
  else
    WriteEighthDrumSteps(run.channel, run.timeline, run.track, steps.data());
}

void PlaySwing(DrumRun& run) {
  for (const DrumBlock& b : run.blocks) {
    if (run.triplet)
      run.Steps(b, MakeSwingTripletSteps(), kTripletEighth);
    else
      run.Steps(b, MakeSwingSteps(), kSixteenth);
  }
}

void PlayRandomSixteenBeat(DrumRun& run) {
  const bool three_four = run.metre == 1;
  const int used = run.triplet ? kTripletDrumStepCount : kDrumStepCount;
  DrumSteps master{};
  for (const DrumBlock& b : run.blocks) {
    if (b.index == 0 || b.starts_section)
      master = run.triplet ? MakeRandom16BeatTripletSteps() : MakeRandom16BeatSteps(three_four);
    DrumSteps steps = master;
    if (b.ends_section() && b.length > 191) AddSectionEndFill(steps, used);
    run.Steps(b, steps, run.triplet ? kTripletEighth : kSixteenth);
  }
}

void PlayRap(DrumRun& run) {
  if (run.triplet) {
    WriteTripletDrumSteps(run.channel, run.timeline, run.track,
                          MakeDrumSteps({{{5, 1, 1, 5, 1, 1, 5, 1, 1, 4, 1, 1, 5, 1, 1, 5, 1, 1, 5,
                                           1, 15, 4, 1, 15}}})
                              .data());
    return;
  }
  PlayWithMotif(run,
                MakeDrumSteps({{{5, 1, 5, 1, 4, 1, 1, 1, 5, 1, 1, 15, 4, 1, 1, 1, 5, 1, 5, 1, 4,
                                 1, 1, 1, 5, 1, 1, 15, 4, 15, 1, 15}}}),
                kSixteenth, 26, 26, 26);
}

void PlayTemple(DrumRun& run) {
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps = FilledDrumSteps(kDrumHitRest);
    for (size_t i = 0; i < steps.size(); i += 2) {
      if (DrumChance(1, 10))
        steps[i] = 25;
      else if (!DrumChance(1, 10))
        steps[i] = 13;
    }
    run.Steps(b, steps, run.triplet ? kTripletEighth : kEighth);
  }
}

void PlayHeavyEightBeat(DrumRun& run) {
  if (run.triplet) {
    WriteTripletDrumSteps(run.channel, run.timeline, run.track,
                          MakeDrumSteps({{{5, 6, 6, 4, 6, 15, 6, 6, 5, 4, 6, 15, 22, 6, 6, 4, 6, 6,
                                           22, 6, 6, 4, 15, 15}}})
                              .data());
    return;
  }
  static constexpr int32_t kMaster[16] = {5, 6, 4, 15, 6, 5, 4, 6, 22, 6, 4, 6, 22, 6, 4, 6};
  for (const DrumBlock& b : run.blocks) {
    // Crashes and rides come twice as often once the song is under way.
    const int den = b.index < 8 ? 16 : 8;
    int32_t drawn[16];
    for (int s = 0; s < 16; ++s) {
      drawn[s] = kMaster[s];
      if (DrumChance(1, den)) drawn[s] = 37;
      if (DrumChance(1, den)) drawn[s] = 22;
    }
    DrumSteps steps;
    if (run.density < 120) {
      // Sixteen eighths, repeated for a longer block.
      for (size_t i = 0; i < steps.size(); ++i) steps[i] = drawn[i % 16];
      run.Steps(b, steps, kEighth);
    } else {
      for (size_t s = 0; s < 16; ++s) {
        steps[2 * s] = drawn[s] == kDrumHitRest ? 22 : drawn[s];
        steps[2 * s + 1] = 2;
      }
      run.Steps(b, steps, kSixteenth);
    }
  }
}

void PlayIndian(DrumRun& run) {
  DrumSteps master{};
  for (const DrumBlock& b : run.blocks) {
    if (b.index % 8 == 0) master = MakeIndianSteps(b.index);
    DrumSteps steps = master;
    if (b.index % 8 == 7 && DrumChance(1, 2)) {
      static constexpr int32_t kRoll[8] = {6, 32, 32, 32, 31, 32, 32, 32};
      for (size_t i = 0; i < 8; ++i) steps[i] = kRoll[i];
    }
    run.Steps(b, steps, run.triplet ? kTripletEighth : kSixteenth);
  }
}

void PlayRandomMix(DrumRun& run) {
  run.PlainSteps(RandomDrumSteps(31), run.triplet ? kTripletEighth : kEighth);
}

void PlayChristmas(DrumRun& run) {
  DrumSteps master = FilledDrumSteps(kDrumHitRest);
  const int pairs = GneRandomRange(0, 8);
  for (int n = 0; n < pairs; ++n) {
    master[static_cast<size_t>(GneRandomRange(0, 31))] = 41;
    master[static_cast<size_t>(GneRandomRange(0, 31))] = 25;
  }
  const int bells = GneRandomRange(0, 2);
  for (int n = 0; n < bells; ++n) master[static_cast<size_t>(GneRandomRange(0, 31))] = 42;
  for (const DrumBlock& b : run.blocks) {
    // Each new section rings more bells, and they stay.
    if (b.index > 0 && b.starts_section) {
      const int more = GneRandomRange(0, 4);
      for (int n = 0; n < more; ++n) master[static_cast<size_t>(GneRandomRange(0, 31))] = 42;
    }
    DrumSteps steps = master;
    if (DrumChance(1, 10)) steps[static_cast<size_t>(GneRandomRange(1, 15))] = 40;
    run.Steps(b, steps, run.triplet ? kTripletEighth : kEighth);
  }
}

void PlayBossaNova(DrumRun& run) {
  if (run.triplet) {
    run.PlainSteps(LatinTripletSteps(), kTripletEighth);
    return;
  }
  const DrumSteps master =
      run.metre == 1
          ? MakeDrumSteps({{{44, 1, 45, 1, 43, 4, 44, 44, 1, 4, 46, 44, 44, 1, 43, 1, 43, 1, 4, 43,
                             1, 4, 44, 44, 44, 1, 43, 1, 43, 1, 4, 43}}})
          : MakeDrumSteps({{{44, 1, 45, 1, 43, 4, 44, 44, 43, 1, 4, 43, 1, 4, 46, 44, 44, 1, 43, 1,
                             43, 4, 44, 44, 43, 1, 4, 43, 1, 4, 44, 44}}});
  PlayWithMotif(run, master, kSixteenth, 11, 12, 13);
}

void PlayLatin(DrumRun& run) {
  if (run.triplet) {
    run.PlainSteps(LatinTripletSteps(), kTripletEighth);
    return;
  }
  PlayWithMotif(run,
                MakeDrumSteps({{{47, 1, 45, 48, 48, 4, 44, 44, 49, 4, 50, 48, 47, 4, 48, 50, 47, 1,
                                 45, 48, 48, 4, 44, 44, 49, 1, 4, 48, 47, 4, 48, 44}}}),
                kSixteenth, 11, 12, 13);
}

void PlayTrance(DrumRun& run) {
  if (run.triplet) {
    PlayWithMotif(run, MakeDrumSteps({{{5, 15, 6, 38, 15, 4, 5, 15, 6, 38, 15, 6}, 2}}),
                  kTripletEighth, 38, 4, 4);
    return;
  }
  const DrumSteps master = MakeDrumSteps({{{5, 6, 15, 6, 38, 1, 15, 4, 5, 4, 15, 6, 38, 1, 15, 6}, 2}});
  const DrumSteps breakdown = MakeDrumSteps({{{1, 6, 15, 6}, 8}});
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps = breakdown;
    if (!DrumChance(1, 9)) {
      steps = master;
      InsertDrumMotif(steps, 38, 4, 4);
    }
    run.Steps(b, steps, kSixteenth);
  }
}

void PlayPolka(DrumRun& run) {
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps;
    for (int i = 0; i < kDrumStepCount; ++i) {
      int32_t t;
      if (run.triplet)
        t = i % 3 == 0 ? 51 : (i % 3 == 2 ? 3 : kDrumHitRest);
      else if (b.index % 3 == 2)
        t = i % 4 == 0 ? 51 : 3;
      else
        t = i % 4 == 0 ? 51 : (i % 4 == 2 || i == 27 ? 3 : kDrumHitRest);
      steps[static_cast<size_t>(i)] = t;
    }
    if (!run.triplet && b.index % 3 != 2) steps[11] = DrumChance(1, 4) ? 3 : kDrumHitRest;
    run.Steps(b, steps, run.triplet ? 16 : kSixteenth);
  }
}

void PlayGagaku(DrumRun& run) {
  for (const DrumBlock& b : run.blocks) {
    DrumSteps steps = FilledDrumSteps(kDrumHitRest);
    steps[0] = 16;
    if (run.triplet) {
      for (size_t i : {6, 9, 11}) steps[i] = 16;
    } else {
      for (size_t i : {8, 12, 14}) steps[i] = 16;
      if (DrumChance(1, 3)) steps[13] = 16;
      if (DrumChance(1, 3)) steps[static_cast<size_t>(2 * GneRandomRange(0, 7))] = 19;
    }
    run.Steps(b, steps, run.triplet ? kTripletEighth : kSixteenth);
  }
}
