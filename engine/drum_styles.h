// The drum styles: one function per drum pattern code, each writing the whole
// drum part of a song after its header and lead-in.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/block_walker.h"
#include "engine/drum_patterns.h"
#include "engine/drum_steps.h"

struct StyleRecord;

// One chord block of the song as the drums see it.
struct DrumBlock {
  int index = 0;
  int start = 0;   // ticks from the first block
  int length = 0;
  char section = 0;   // section letter of the block's tag
  char end_mark = 0;  // 'E' on the last chord of a section
  bool starts_section = false;  // its letter differs from the block before
  bool ends_section() const { return end_mark == 'E'; }
};

std::vector<DrumBlock> DrumBlocksOf(const EventList& timeline);

// What a style works with: where it writes, the blocks, the style and the
// pending delta it carries from hit to hit.
struct DrumRun {
  explicit DrumRun(const DrumPatternCall& call);
  int channel;
  MidiTrack& track;
  const EventList& timeline;
  int density;
  std::vector<DrumBlock> blocks;
  const StyleRecord& style;
  bool triplet;   // basic beat 3: triplet rhythm
  int metre;      // 0 4/4, 1 3/4, 2 7/8
  int metre_kind; // 2: 3/4 felt as 6/8
  int pending = 0;
  BlockClock clock;

  int block_count() const { return static_cast<int>(blocks.size()); }
  // Starts block b on time: the pending delta grows to reach its start.
  void BeginBlock(const DrumBlock& b) { clock.AlignTo(b.start, pending); }
  // One block of steps at `step_ticks`, from step 0.
  void Steps(const DrumBlock& b, const DrumSteps& steps, int step_ticks);
  // Every block with the same steps.
  void PlainSteps(const DrumSteps& steps, int step_ticks);
  // One note of the direct-note styles at the pending delta; the pending delta
  // becomes 0, so further notes of the step sound with it.
  void Note(int pitch, int velocity, int length);
};

// Fixed patterns.
void PlayEightBeat(DrumRun& run);        // 1
void PlaySixteenBeat(DrumRun& run);      // 2
void PlayFolkloreBeat(DrumRun& run);     // 5
void PlayChineseBeat(DrumRun& run);      // 6
void PlayAfricanBeat(DrumRun& run);      // 7
void PlayHouseBeat(DrumRun& run);        // 8
void PlayBluesBeat(DrumRun& run);        // 9
void PlayTechnoBeat(DrumRun& run);       // 13
void PlayEnkaBeat(DrumRun& run);         // 17
void PlayBolero(DrumRun& run);           // 29
void PlayGlamRock(DrumRun& run);         // 32
void PlayParade(DrumRun& run);           // 34
void PlayChildrensSong(DrumRun& run);    // 36
void PlayWaltz(DrumRun& run);            // 37
void PlayJazzWaltz(DrumRun& run);        // 38
void PlayPolyrhythm(DrumRun& run);       // 39
void PlayGionBayashi(DrumRun& run);      // 40

// Generated patterns.
void PlayRandomEightBeat(DrumRun& run);  // 4
void PlaySwing(DrumRun& run);            // 11
void PlayRandomSixteenBeat(DrumRun& run);  // 12
void PlayRap(DrumRun& run);              // 14
void PlayTemple(DrumRun& run);           // 15
void PlayHeavyEightBeat(DrumRun& run);   // 16
void PlayIndian(DrumRun& run);           // 18
void PlayRandomMix(DrumRun& run);        // 21
void PlayChristmas(DrumRun& run);        // 22
void PlayBossaNova(DrumRun& run);        // 24
void PlayLatin(DrumRun& run);            // 25
void PlayTrance(DrumRun& run);           // 26
void PlayPolka(DrumRun& run);            // 30
void PlayGagaku(DrumRun& run);           // 31

// Fills and special sources.
void PlayMarch(DrumRun& run);            // 3
void PlayJapanese(DrumRun& run);         // 10
void PlayMerseyBeat(DrumRun& run);       // 19
void PlayProgressive(DrumRun& run);      // 20
void PlayRockabilly(DrumRun& run);       // 23
void PlayAutoPattern(DrumRun& run);      // 27
void PlayCustomGrid(DrumRun& run);       // 28
void PlayChaChaCha(DrumRun& run);        // 33
void PlayFlamenco(DrumRun& run);         // 35

// Runs a style for the drum part's dispatcher.
void PlayDrumStyle(const DrumPatternCall& call, void (*style)(DrumRun&));
