#include "accomp/cutting.h"

#include "accomp/note_emitter.h"
#include "accomp/pattern_common.h"
#include "accomp/voicing.h"
#include "music/ticks.h"

using namespace accomp;

namespace {

constexpr int kVelocity = 64;

// What one step of a cutting figure strikes.
enum class Cut { kRest, kChord24, kChord5, kThird46, kPassing46, kRoot46 };

// The walk of one body: the voicing reference and the grid step.
class CuttingWalk {
 public:
  CuttingWalk(int channel, MidiTrack& track, int step) : e_(track, channel), step_(step) {}

  NoteEmitter& e() { return e_; }

  // Plays the cut at now and moves one step on. `octave_pairs` doubles the
  // single notes an octave below.
  void Play(const ChordBlock& block, Cut cut, bool octave_pairs) {
    const BlockTones t = BlockTones::Of(block);
    switch (cut) {
      case Cut::kRest: e_.Rest(0); break;
      case Cut::kChord24: Chord(block, 24); break;
      case Cut::kChord5: Chord(block, 5); break;
      case Cut::kThird46: Single(t.third, octave_pairs); break;
      case Cut::kPassing46: Single(PassingTone(block, t.root), octave_pairs); break;
      case Cut::kRoot46: Single(t.root, octave_pairs); break;
    }
    e_.Wait(step_);
  }

 private:
  void Chord(const ChordBlock& block, int length) {
    int32_t fifth = 0, third = 0, root = 0;
    VoiceTriadNearReference(block, &fifth, &third, &root, &reference_);
    const auto voice = [](uint8_t stored, int pitch) {
      return stored == 0 ? Tone::Missing(pitch) : Tone(pitch);
    };
    e_.Chord({voice(block.fifth, fifth), voice(block.third, third), voice(block.root, root)},
             kVelocity, length);
  }
  void Single(Tone tone, bool octave_pairs) {
    if (octave_pairs) {
      e_.Chord({tone - 12, tone}, kVelocity, 46);
    } else {
      e_.Note(tone, kVelocity, 46);
    }
  }
  // A whole step above the root, lowered to the nearest tone the chord weighs
  // 5 or more; at most an octave down, else the whole step itself.
  static Tone PassingTone(const ChordBlock& block, Tone root) {
    const Tone start = root + 2;
    for (int down = 0; down <= 12; ++down) {
      if (block.ToneWeight(start.pitch() - down) >= 5) return start - down;
    }
    return start;
  }

  NoteEmitter e_;
  int step_;
  int32_t reference_ = 0;
};

// The step counter of a block: it runs on over blocks shorter than a bar of
// 384 ticks and starts again at one that long or longer.
int CounterAtBlock(int counter, const ChordBlock& block) { return block.length >= ticks::kBar ? 0 : counter; }

constexpr Cut kTripletTable[12] = {Cut::kRest,   Cut::kRest,    Cut::kChord24, Cut::kRest,
                                   Cut::kRest,   Cut::kRest,    Cut::kChord24, Cut::kRest,
                                   Cut::kChord24, Cut::kThird46, Cut::kPassing46, Cut::kRoot46};
constexpr Cut kEighthTable[16] = {
    Cut::kRest,    Cut::kChord24, Cut::kChord5, Cut::kChord5,   Cut::kChord24, Cut::kChord5,
    Cut::kChord5,  Cut::kRest,    Cut::kChord24, Cut::kChord24, Cut::kRest,    Cut::kChord24,
    Cut::kRest,    Cut::kThird46, Cut::kPassing46, Cut::kRoot46};

}  // namespace

void GenerateCuttingPattern(int channel, MidiTrack& track, int density) {
  if (!TripletGrid()) return GenerateCuttingEighths(channel, track);
  if (density > 60) return GenerateCuttingTriplets(channel, track);
  GenerateCuttingSparseTriplets(channel, track);
}

void GenerateCuttingEighths(int channel, MidiTrack& track) {
  CuttingWalk walk(channel, track, 48);
  int counter = 0;
  WalkBlocks(walk.e(), [&](const ChordBlock& block, int i, int) {
    counter = CounterAtBlock(counter, block);
    const bool b_section = SectionLetter(i) == 'B';
    for (int k = 0; k < block.length / ticks::kEighth; ++k, ++counter) {
      const Cut cut = b_section ? (counter % 2 == 0 ? Cut::kRest : Cut::kChord24)
                                : kEighthTable[counter % 16];
      walk.Play(block, cut, true);
    }
  });
}

void GenerateCuttingTriplets(int channel, MidiTrack& track) {
  CuttingWalk walk(channel, track, 32);
  int counter = 0;
  WalkBlocks(walk.e(), [&](const ChordBlock& block, int i, int n) {
    counter = CounterAtBlock(counter, block);
    // The song's last block starts the figure again, which strikes within a beat.
    if (i == n - 1) counter = 0;
    for (int k = 0; k < block.length / 32; ++k, ++counter)
      walk.Play(block, kTripletTable[counter % 12], false);
  });
}

void GenerateCuttingSparseTriplets(int channel, MidiTrack& track) {
  CuttingWalk walk(channel, track, 32);
  WalkBlocks(walk.e(), [&](const ChordBlock& block, int, int) {
    for (int k = 0; k < block.length / 32; ++k)
      walk.Play(block, k % 3 == 2 ? Cut::kChord24 : Cut::kRest, false);
  });
}
