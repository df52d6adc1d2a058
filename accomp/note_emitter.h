// The one way the accompaniment generators write their notes.
//
// A generator sees the song as chord blocks and writes, block after block,
// notes, chords and strums into its part track. Two things make that error
// prone when done by hand with deltas, and both live here instead:
//
//  * Missing tones. A chord block stores a tone it lacks (no seventh, the
//    root of an "N" block ...) as 0. Whatever a pattern does to such a tone
//    (folding it into a range, an octave up, + 14) the result must not
//    sound. A `Tone` remembers where its pitch came from: a tone made from a
//    missing chord tone stays missing through every offset, and the emitter
//    writes it as a rest whose time passes like a note's.
//
//  * Time. The emitter keeps the pending delta, the ticks from the last event
//    written to "now", so that a generator can say where a note goes either
//    as deltas (Wait, as the figures are described) or as ticks of the
//    current block (At). Bend and grace events that a note brings along take
//    their ticks off the next delta by themselves.
//
// Velocities above 127 are held to 127. Pitches outside what a track accepts
// become rests in AddNote (engine/part_tracks.h).
//
// Typical use, one block of a generator:
//
//   emitter.BeginBlock(block.length);
//   const BlockTones t = BlockTones::Of(block);
//   emitter.Chord({t.third, t.fifth, t.seventh}, 64, 94);   // at the block start
//   emitter.At(96);
//   emitter.Strum({t.root + 12, t.third, t.fifth}, 70, 16, 4);
//
// The block walker that carries a generator from block to block raises the
// pending delta (pending()) so that each block starts on time; nothing else
// of a generator's time needs bookkeeping outside the emitter.
#pragma once

#include <cstdint>
#include <initializer_list>

class MidiTrack;
struct ChordBlock;

// A pitch as a pattern computes it, with the knowledge whether it stands for a
// tone the chord block lacks. Offsets keep that knowledge.
class Tone {
 public:
  // Pitch 0: a rest.
  constexpr Tone() = default;
  // A pitch that sounds (when AddNote accepts it).
  constexpr explicit Tone(int pitch) : pitch_(pitch) {}
  // A tone the block lacks; `pitch` is the value the pattern would compute
  // with (kept for the pattern's comparisons), never sounded.
  static constexpr Tone Missing(int pitch = 0) { return Tone(pitch, true); }

  constexpr int pitch() const { return pitch_; }
  constexpr bool missing() const { return missing_; }
  // Whether the emitter will write a note for it (a present tone of pitch
  // 13..127; AddNote rests any other).
  constexpr bool sounds() const { return !missing_ && pitch_ >= 13 && pitch_ <= 127; }

  constexpr Tone operator+(int semitones) const { return Tone(pitch_ + semitones, missing_); }
  constexpr Tone operator-(int semitones) const { return Tone(pitch_ - semitones, missing_); }
  Tone& operator+=(int semitones) {
    pitch_ += semitones;
    return *this;
  }
  Tone& operator-=(int semitones) {
    pitch_ -= semitones;
    return *this;
  }
  // Equal pitch and equal presence.
  constexpr bool operator==(const Tone& o) const {
    return pitch_ == o.pitch_ && missing_ == o.missing_;
  }
  constexpr bool operator!=(const Tone& o) const { return !(*this == o); }

 private:
  constexpr Tone(int pitch, bool missing) : pitch_(pitch), missing_(missing) {}
  int pitch_ = 0;
  bool missing_ = false;
};

// The five tones of a chord block as Tones.
struct BlockTones {
  Tone root, third, fifth, seventh, bass;

  // The block's own pitches; a stored 0 is a missing tone.
  static BlockTones Of(const ChordBlock& block);
  // A working copy of the block folded into low..high by octaves
  // (FoldFiveVoicesIntoRange). A missing tone keeps the folded value the
  // copy would hold and stays missing.
  static BlockTones Folded(const ChordBlock& block, int low, int high);
};

class NoteEmitter {
 public:
  // Writes on `channel` of `track`, starting with a pending delta of 0 (the
  // first note lands on the part's lead-in event).
  NoteEmitter(MidiTrack& track, int channel);

  MidiTrack& track() { return track_; }
  int channel() const { return channel_; }

  // --- Time -------------------------------------------------------------
  // Ticks from the last event written to now (negative right after a note
  // whose bend or grace events reach past it). The walker raises it at a
  // block start so that the block begins on time.
  int& pending() { return pending_; }
  int pending() const { return pending_; }
  // Moves now forward by the ticks (a rest kept as time).
  void Wait(int ticks) { pending_ += ticks; }
  // Wait, but never past the block's end: a figure longer than what remains
  // of its block is cut to what remains, so that the next block is not late.
  void WaitWithinBlock(int ticks) {
    const int left = Remaining();
    Wait(ticks < left ? ticks : (left > 0 ? left : 0));
  }
  // Ticks of the part written so far up to now, from the first event.
  int64_t Now() const { return last_event_ + pending_; }

  // Marks now as the start of a block of `length` ticks.
  void BeginBlock(int length);
  int BlockLength() const { return block_length_; }
  // Now, counted from the block's start.
  int BlockTick() const { return static_cast<int>(Now() - block_start_); }
  // Ticks from now to the block's end (0 or below once past it).
  int Remaining() const { return block_length_ - BlockTick(); }
  // Moves now to the tick of the block (forwards or backwards; a tick before
  // the last event gives a negative delta only if asked for one, so callers
  // keep ticks in order).
  void At(int tick) { pending_ += tick - BlockTick(); }

  // --- Notes at now ------------------------------------------------------
  // One note; now stays where it is (the next note at delta 0 sounds with
  // it). A missing or out-of-range tone is a rest with the same time.
  void Note(Tone tone, int velocity, int length);
  void Note(int pitch, int velocity, int length) { Note(Tone(pitch), velocity, length); }
  // A rest event carrying the length argument (AddNote with pitch 0).
  void Rest(int length);
  // From now on notes are folded by octaves into low..high (AddNoteInRange).
  void KeepInRange(int low, int high) {
    in_range_ = true;
    low_ = low;
    high_ = high;
  }
  // A sustain pedal event (controller 64) with the value at now.
  void Pedal(int value);
  // Every tone at now, all with the velocity and length.
  void Chord(std::initializer_list<Tone> tones, int velocity, int length);
  // The tones one after another `spread` ticks apart, each `shorten` ticks
  // shorter than the one before, the first `length` long; now ends on the
  // last tone written.
  void Strum(std::initializer_list<Tone> tones, int velocity, int length, int spread,
             int shorten);
  // A note bent up into its pitch over `bend_ticks` (AddNoteBentFromBelow);
  // the ticks of its bend or grace events come off the next delta.
  void BentFromBelow(Tone tone, int velocity, int length, int bend_ticks);
  // The same bent down into its pitch (AddNoteBentFromAbove).
  void BentFromAbove(Tone tone, int velocity, int length, int bend_ticks);
  // A note with a bend glide of five steps of `step_ticks` (AddNoteWithBendGlide;
  // a step of 0 glides not at all).
  void Glide(Tone tone, int velocity, int length, int step_ticks);

 private:
  void Written(int used);
  using BendWriter = int (*)(MidiTrack&, int, int, int, int, int, int);
  void Bent(BendWriter write, Tone tone, int velocity, int length, int bend_ticks);

  MidiTrack& track_;
  int channel_;
  int pending_ = 0;
  int64_t last_event_ = 0;  // the last event's tick, counted from the first
  int64_t block_start_ = 0;
  int block_length_ = 0;
  bool in_range_ = false;
  int low_ = 0, high_ = 127;
};

// The velocity a generator asked for, held to 127.
inline int HeldVelocity(int velocity) { return velocity > 127 ? 127 : velocity; }

