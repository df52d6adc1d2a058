// The running line of one bass pattern: the track it writes to, the pending
// delta from its last note's start to its next note, and the chord block it is
// in. Every bass pattern writes through it.
#pragma once

#include "engine/block_walker.h"
#include "engine/compose_info.h"
#include "engine/part_tracks.h"
#include "engine/tone_weights.h"

constexpr int kBassVelocity = 64;

// The chord block a pattern is playing, with what the patterns ask of it.
struct BassBlock {
  const ChordBlock& chord;
  const ChordBlock* next;  // nullptr for the song's last block
  int index;
  int count;
  int start;   // sum of the lengths of the blocks before it
  int length;  // L

  bool last() const { return next == nullptr; }
  int B() const { return chord.bass; }
  int R() const { return chord.root; }
  int T() const { return chord.third; }
  int F() const { return chord.fifth; }
  int S() const { return chord.seventh; }
};

class BassLine {
 public:
  BassLine(MidiTrack& track, int channel) : track_(track), channel_(channel) {}

  // A note at the pending delta; the next note follows `step` ticks after its
  // start. A pitch of 0 (or a velocity of 0) writes a rest.
  void Note(int pitch, int length, int step, int velocity = kBassVelocity);
  // A note starting together with the last one.
  void With(int pitch, int length, int velocity = kBassVelocity);
  // A note bent into its pitch from below / above; the next note follows
  // `step` ticks after its start, less the ticks of a grace note.
  void BentFromBelow(int pitch, int velocity, int length, int bend_ticks, int step);
  void BentFromAbove(int pitch, int velocity, int length, int bend_ticks, int step);
  // Silence added to the pending delta.
  void Skip(int ticks) { pending_ += ticks; }
  // Time that a note still to be written (at the pending delta) will cover.
  void Cover(int ticks) { covered_ += ticks; }

  MidiTrack& track() { return track_; }
  // Where the line has got to, counted from the pattern's first note: the
  // start of the next note, or the end of the covered time.
  int position() const { return written_ + pending_ + covered_; }
  // The delta from the last event to where the line has got to, and the same
  // after the walker raised it to a block's start.
  int reach() const { return pending_ + covered_; }
  void SetReach(int reach) { pending_ = reach - covered_; }

  // Notes from `end` on are left out and those before it end by it.
  void CutAt(int end) { cut_ = end; }

 private:
  using BendWriter = int (*)(MidiTrack&, int, int, int, int, int, int);
  void Bent(BendWriter write, int pitch, int velocity, int length, int bend_ticks, int step);
  bool Place(int* length);  // false when the note is left out
  void Advance(int step);

  MidiTrack& track_;
  int channel_;
  int pending_ = 0;
  int written_ = 0;     // start of the last note written
  int covered_ = 0;
  int cut_ = -1;        // -1 = no cut
  bool last_kept_ = true;
  int last_start_ = 0;
};

// Weight of a pitch's class in a tone-weight text.
inline int WeightOf(const char* weights, int pitch) {
  return ToneDigit(weights, PitchClassOf(pitch));
}
inline bool IsScalePitch(const char* weights, int pitch) {
  return WeightOf(weights, pitch) >= ScaleToneLevel;
}
// x + dir when that is a scale tone, else x + 2 dir.
inline int ScaleStep(const char* weights, int x, int dir) {
  return IsScalePitch(weights, x + dir) ? x + dir : x + 2 * dir;
}

// Tone weights of the song's first chord, which the moving lines use for
// every block.
struct FirstChordWeights {
  char text[kToneWeightTextSize] = {};
  FirstChordWeights();
};

// True for the 6/8 feel: 3/4 with metre kind 2.
bool IsSixEightFeel();
// True with basic beat 3: triplet eighths of 32 ticks.
bool IsTripletRhythm();
// Calls `body` with each chord block in order through the block walker, which
// keeps the line on time: each block's first step starts at the block's start.
template <typename Body>
void WalkBassBlocks(BassLine& line, Body&& body) {
  int reach = line.reach();
  WalkChordBlocks(line.track(), reach, [&](const ChordBlock& chord, int index, int start) {
    line.SetReach(reach);
    ComposeInformation& info = ComposeInfo();
    const int count = info.chord_block_count();
    const ChordBlock* next = index + 1 < count ? info.chord_block(index + 1) : nullptr;
    // The song ends with its last chord.
    if (next == nullptr) line.CutAt(start + chord.length);
    body(BassBlock{chord, next, index, count, start, chord.length});
    reach = line.reach();
  });
}
