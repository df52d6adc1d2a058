// Drum styles with fixed steps: one or two constant arrays (or a note table)
// chosen once per song by beat, metre, density, kit or section.
#include "engine/drum_hits.h"
#include "engine/drum_part.h"
#include "engine/drum_styles.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "music/ticks.h"
#include "style/style_record.h"
#include "util/gne.h"

namespace {

using ticks::kEighth;
using ticks::kSixteenth;
using ticks::kTripletEighth;
using ticks::kBeat;

enum class Writer { kSixteenthSynced, kEighthSynced };

// A style that is one array per beat kind: the straight array through its
// writer, the triplet array in 32-tick steps.
void PlayByBeat(DrumRun& run, Writer writer, const DrumSteps& straight, const DrumSteps& triplet) {
  if (run.triplet) {
    WriteTripletDrumSteps(run.channel, run.timeline, run.track, triplet.data());
  } else if (writer == Writer::kSixteenthSynced) {
    WriteSixteenthDrumSteps(run.channel, run.timeline, run.track, straight.data());
  } else {
    WriteEighthDrumSteps(run.channel, run.timeline, run.track, straight.data());
  }
}

bool ThreeFour(const DrumRun& run) { return run.metre == 1; }

}  // namespace

void PlaySixteenBeat(DrumRun& run) {
  PlayByBeat(run, Writer::kSixteenthSynced, MakeDrumSteps({{{5, 1, 1, 1, 4, 1, 1, 1}, 4}}),
             MakeDrumSteps({{{5, 1, 15, 4, 1, 15, 4, 1, 5, 5, 1, 15, 4, 1, 15, 4, 1, 15, 5, 1,
                              15, 4, 1, 15}}}));
}

void PlayFolkloreBeat(DrumRun& run) {
  PlayByBeat(run, Writer::kSixteenthSynced,
             MakeDrumSteps({{{7, 6, 11, 12, 7, 6, 13, 8}}, {{7, 6, 11, 11, 12, 6, 13, 8}, 3}}),
             MakeDrumSteps({{{7, 11, 12, 7, 13, 8}}, {{7, 11, 11, 12, 13, 8}, 3}}));
}

void PlayChineseBeat(DrumRun& run) {
  PlayByBeat(run, Writer::kEighthSynced,
             MakeDrumSteps({{{14, 1, 4, 1, 11, 1, 4, 1, 5, 1, 4, 1, 11, 1, 4, 1}, 2}}),
             MakeDrumSteps({{{14, 1, 1, 4, 1, 1, 11, 1, 1, 4, 1, 1, 5, 1, 1, 4, 1, 1, 11, 1, 1,
                              4, 1, 1}}}));
}

void PlayAfricanBeat(DrumRun& run) {
  PlayByBeat(run, Writer::kEighthSynced,
             MakeDrumSteps({{{12, 6, 11, 13, 11, 6, 10, 1, 11, 6, 4, 13, 4, 6, 4, 12}, 2}}),
             MakeDrumSteps({{{12, 6, 1, 11, 13, 1, 11, 6, 1, 10, 1, 13, 12, 11, 1, 11, 13, 1,
                              11, 6, 1, 10, 1, 13}}}));
}

void PlayHouseBeat(DrumRun& run) {
  // The ethnic kit plays the figure on bongos and congas.
  const DrumSteps ethnic = MakeDrumSteps({{{1, 6, 1, 1, 1, 6, 1, 1, 1, 6, 51, 1, 1, 51, 51, 51,
                                            1, 6, 51, 1, 1, 51, 1, 1, 1, 6, 51, 1, 1, 51, 1, 1}}});
  const DrumSteps kit = MakeDrumSteps({{{5, 6, 1, 1, 4, 6, 1, 5, 5, 15, 1, 15, 4, 1, 1, 1, 5, 15,
                                         1, 15, 4, 15, 1, 15, 5, 15, 1, 15, 4, 15, 1, 15}}});
  PlayByBeat(run, Writer::kSixteenthSynced,
             run.style.instrument[kDrumChannel] == kDrumKitEthnic ? ethnic : kit,
             MakeDrumSteps({{{5, 6, 1, 4, 6, 5, 5, 15, 15, 4, 1, 1, 5, 15, 15, 4, 15, 15, 5, 15,
                              15, 4, 15, 15}}}));
}

void PlayBluesBeat(DrumRun& run) {
  PlayByBeat(run, Writer::kSixteenthSynced, MakeDrumSteps({{{5, 6, 1, 6, 4, 6, 1, 6}, 4}}),
             MakeDrumSteps({{{5, 1, 1, 4, 1, 1}, 4}}));
}

void PlayTechnoBeat(DrumRun& run) {
  PlayByBeat(run, Writer::kSixteenthSynced,
             MakeDrumSteps({{{5, 1, 1, 1, 5, 1, 1, 1, 5, 1, 1, 15, 5, 1, 1, 1, 5, 1, 1, 1, 5, 1,
                              1, 1, 5, 1, 1, 15, 4, 15, 1, 15}}}),
             MakeDrumSteps({{{5, 1, 1, 5, 1, 1, 5, 1, 15, 5, 1, 1, 5, 1, 1, 5, 1, 1, 5, 1, 15,
                              4, 1, 15}}}));
}

void PlayEnkaBeat(DrumRun& run) {
  PlayByBeat(run, Writer::kEighthSynced,
             MakeDrumSteps({{{5, 1, 1, 15, 5, 1, 1, 5, 5, 1, 1, 1, 5, 1, 1, 15}, 2}}),
             MakeDrumSteps({{{5, 1, 1, 24}}, {{1}, 28}}));
}

void PlayGionBayashi(DrumRun& run) {
  const DrumSteps first = MakeDrumSteps({{{18, 6, 6, 6, 18, 6, 6, 6, 17, 6, 17, 6, 17, 6, 6, 6,
                                           18, 6, 6, 6, 17, 6, 17, 6, 17, 6, 6, 6, 6, 6, 6, 6}}});
  const DrumSteps second = MakeDrumSteps({{{18, 6, 6, 6, 17, 6, 17, 6, 17, 6, 6, 6, 6, 6, 6, 6,
                                            18, 6, 6, 6, 18, 6, 6, 6, 17, 6, 17, 6, 17, 6, 6, 6}}});
  const DrumSteps straight = run.triplet ? first : (DrumChance(1, 2) ? first : second);
  PlayByBeat(run, Writer::kSixteenthSynced, straight,
             MakeDrumSteps({{{18, 6, 6, 18, 6, 6, 17, 6, 17, 17, 6, 6, 18, 6, 6, 17, 6, 17, 17,
                              6, 6, 6, 6, 6}}}));
}

// ---- 8-beat ----

namespace {

// Below density 100 the 8-beat plays its own notes: hats, kick and a side
// stick that becomes the snare in the second half of the song.
void PlayEightBeatNotes(DrumRun& run) {
  const int half = run.block_count() / 2;
  for (const DrumBlock& b : run.blocks) {
    run.BeginBlock(b);
    for (int j = 0; j < b.length / kEighth; ++j) {
      if (j % 4 == 0 || j % 8 == 7) {
        run.Note(42, 80, 1);
        run.Note(36, j % 2 == 0 ? 64 : 48, 1);
      } else if (j % 4 == 2) {
        run.Note(b.index <= half ? 37 : 38, 70, 1);
        run.Note(36, 64, 1);
      } else {
        run.Note(42, 48, 1);
      }
      run.pending = kEighth;
    }
  }
}

// The triplet 8-beat in 3/4 ends with one more bar-long block without its
// accents and a closing bell.
void PlayEightBeatTripletThreeFour(DrumRun& run) {
  DrumSteps steps = MakeDrumSteps({{{38, 6, 6, 39, 6, 3, 3, 6, 6, 38, 6, 6, 39, 6, 3, 3, 6, 6,
                                     5, 1, 1, 4, 1, 1}}});
  if (SoundModuleMode() != 0 && SoundModuleMode() != 1) {
    for (int32_t& s : steps) {
      if (s == 39 || s == 3) s = 21;
      else if (s == 38) s = 22;
    }
  }
  run.PlainSteps(steps, kTripletEighth);
  if (run.blocks.empty()) return;
  DrumBlock closing = run.blocks.back();
  closing.index += 1;
  closing.start += closing.length;
  steps[0] = kDrumHitRest;
  steps[3] = kDrumHitRest;
  run.Steps(closing, steps, kTripletEighth);
  run.BeginBlock(DrumBlock{closing.index + 1, closing.start + closing.length, 0});
  AddNote(run.track, run.channel, run.pending, 84, 90, 285);
  run.pending = ticks::Bar(3, 4);
}

void PlayEightBeatThreeFour(DrumRun& run) {
  DrumSteps velocities = MakeDrumSteps({{{42, 32, 30, 32, 36, 36}, 4}});
  const bool six_eight = run.metre_kind == 2;
  const DrumSteps steps =
      six_eight ? MakeDrumSteps({{{5, 6, 1, 6, 1, 6, 4, 6, 1, 1, 5, 6, 5, 6, 1, 6, 1, 6, 4, 6, 1,
                                   6, 5, 6}}})
                : MakeDrumSteps({{{5, 1, 5, 1, 4, 15, 5, 1, 5, 1, 4, 1}, 2}});
  const int step_ticks = six_eight ? kSixteenth : kEighth;
  for (const DrumBlock& b : run.blocks) {
    run.BeginBlock(b);
    WriteDrumStepsWithVelocity(run.pending, b.length, run.channel, run.track, steps.data(),
                               step_ticks, velocities.data());
  }
}

}  // namespace

void PlayEightBeat(DrumRun& run) {
  if (run.triplet) {
    if (ThreeFour(run))
      PlayEightBeatTripletThreeFour(run);
    else
      run.PlainSteps(MakeDrumSteps({{{5, 1, 1, 4, 1, 1}, 4}}), kTripletEighth);
  } else if (ThreeFour(run)) {
    PlayEightBeatThreeFour(run);
  } else if (run.density < 100) {
    PlayEightBeatNotes(run);
  } else {
    WriteEighthDrumSteps(run.channel, run.timeline, run.track,
                         MakeDrumSteps({{{5, 1, 4, 1}, 8}}).data());
  }
}

void PlayBolero(DrumRun& run) {
  DrumSteps steps = FilledDrumSteps(kDrumHitRest);
  for (int i : {0, 3, 4, 5, 6, 9, 10, 11, 12, 15, 18, 21, 22, 23, 24, 25, 28, 29, 30})
    steps[static_cast<size_t>(i)] = 3;
  run.PlainSteps(steps, run.triplet ? 16 : kSixteenth);
}

void PlayGlamRock(DrumRun& run) {
  const DrumSteps chorus = run.triplet ? MakeDrumSteps({{{4, 1, 4}, 8}})
                                       : MakeDrumSteps({{{4, 1}, 16}});
  const DrumSteps verse = run.triplet ? MakeDrumSteps({{{5, 1, 4, 51, 1, 4}, 4}})
                                      : MakeDrumSteps({{{5, 1, 4, 1, 51, 1, 4, 1}, 4}});
  for (const DrumBlock& b : run.blocks)
    run.Steps(b, b.section == 'B' ? chorus : verse, run.triplet ? kTripletEighth : kEighth);
}

void PlayWaltz(DrumRun& run) {
  DrumSteps steps;
  if (!ThreeFour(run))
    steps = MakeDrumSteps({{{27, 6, 6, 6, 6, 6, 6, 6, 27, 6, 6, 6, 3, 6, 3, 6}, 2}});
  else if (run.density >= 120)
    steps = MakeDrumSteps({{{2, 6, 3, 6, 3, 6}, 5}, {{2, 6}}});
  else if (run.metre_kind == 2)
    steps = MakeDrumSteps({{{27, 6, 6, 41, 6, 6}, 4}, {{6}, 8}});
  else
    steps = MakeDrumSteps({{{41, 6, 6, 6, 6, 6, 27, 6, 3, 6, 3, 6, 27, 6, 6, 6, 6, 6, 27, 6, 3, 6,
                             3, 6, 27, 6, 3, 6, 3, 6, 6, 6}}});
  WriteEighthDrumSteps(run.channel, run.timeline, run.track, steps.data());
}

void PlayJazzWaltz(DrumRun& run) {
  const DrumSteps steps = ThreeFour(run) ? MakeDrumSteps({{{21, 6, 21, 6, 22, 6}, 5}, {{6, 6}}})
                                         : MakeDrumSteps({{{21, 6, 21, 6, 21, 6, 22, 6}, 4}});
  WriteEighthDrumSteps(run.channel, run.timeline, run.track, steps.data());
}

// ---- note tables: parade and children's song ----

namespace {

void ShuffleTrack(DrumRun& run) {
  DropEmptyNotes(run.track);
  run.track.ConvertToShuffle(kBeat);
}

// Bass drum on the beat, tambourine and hand clap between.
void PlayParadeNotes(DrumRun& run) {
  for (const DrumBlock& b : run.blocks) {
    run.BeginBlock(b);
    for (int j = 0; j < b.length / kEighth; ++j) {
      if (j % 2 == 0) {
        run.Note(36, 80, kSixteenth);
      } else {
        run.Note(54, 80, kSixteenth);
        run.Note(39, 70, kSixteenth);
      }
      run.pending = kEighth;
    }
  }
}

struct TableNote {
  int pitch;
  int velocity;
};

// The children's song at normal density: a cowbell-like pulse (cabasa) with a
// little percussion set around it.
void ChildrenSoft(DrumRun& run, const DrumBlock& b, int j, std::vector<TableNote>& out) {
  out.push_back({69, j % 2 == 0 ? 80 : 50});
  switch (j % 16) {
    case 0:
      if (b.index % 4 == 2) out.push_back({46, 80});
      break;
    case 1: out.push_back({81, 80}); break;
    case 2:
    case 6: out.push_back({54, b.index > 7 ? 80 : 50}); break;
    case 3: out.push_back({83, 60}); break;
    case 10:
    case 14: out.push_back({39, 80}); break;
    case 12: out.push_back({77, 80}); break;
    case 15: out.push_back({84, 80}); break;
    default: break;
  }
}

// Above density 100: a light kit with triangle and tambourine.
void ChildrenBusy(DrumRun& run, const DrumBlock& b, int j, std::vector<TableNote>& out) {
  const int n = run.block_count();
  switch (j % 16) {
    case 0: out = {{36, 80}, {42, 60}}; break;
    case 1:
      out = {{42, 60}};
      if (b.index > n / 3) out.push_back({81, 60});
      break;
    case 2:
    case 6: out = {{54, 90}}; break;
    case 3:
    case 5: out = {{42, 60}}; break;
    case 4:
    case 15: out = {{44, 80}}; break;
    case 7:
      out = {{44, 60}};
      if (b.index > n / 2) out.push_back({36, 50});
      break;
    case 8: out = {{36, 80}, {42, 80}}; break;
    case 9: out = {{81, 60}, {42, 80}}; break;
    case 10: out = {{54, 60}, {42, 80}}; break;
    case 11:
    case 13: out = {{42, 80}}; break;
    case 12: out = {{44, 60}}; break;
    case 14: out = {{54, 60}}; break;
    default: break;
  }
}

}  // namespace

void PlayParade(DrumRun& run) {
  PlayParadeNotes(run);
  if (run.triplet) ShuffleTrack(run);
}

void PlayChildrensSong(DrumRun& run) {
  if (run.triplet) {
    PlayParade(run);
    return;
  }
  std::vector<TableNote> notes;
  for (const DrumBlock& b : run.blocks) {
    run.BeginBlock(b);
    for (int j = 0; j < b.length / kEighth; ++j) {
      notes.clear();
      if (run.density <= 100)
        ChildrenSoft(run, b, j, notes);
      else
        ChildrenBusy(run, b, j, notes);
      for (const TableNote& n : notes) run.Note(n.pitch, n.velocity, kSixteenth);
      run.pending = kEighth;
    }
  }
}

// Three against two on bongos: units of a beat (or of two beats when sparse).
void PlayPolyrhythm(DrumRun& run) {
  for (const DrumBlock& b : run.blocks) {
    run.BeginBlock(b);
    if (b.length % kBeat != 0) {
      run.Note(36, 64, 1);
      run.pending = b.length;
      continue;
    }
    const int unit = (run.density < 100 && b.length % (2 * kBeat) == 0) ? 2 * kBeat : kBeat;
    const int r = unit / 6;
    for (int u = 0; u < b.length / unit; ++u) {
      AddNote(run.track, run.channel, run.pending, 61, 64, 1);
      AddNote(run.track, run.channel, 0, 77, 64, 1);
      AddNote(run.track, run.channel, 2 * r, 77, 64, 1);
      AddNote(run.track, run.channel, r, 61, 64, 1);
      AddNote(run.track, run.channel, r, 77, 64, 1);
      run.pending = 2 * r;
    }
  }
}
