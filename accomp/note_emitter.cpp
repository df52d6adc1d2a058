#include "accomp/note_emitter.h"

#include "engine/chord_block.h"
#include "engine/part_tracks.h"

namespace {

Tone ToneOf(uint8_t stored, uint8_t value) {
  return stored == 0 ? Tone::Missing(value) : Tone(value);
}

}  // namespace

BlockTones BlockTones::Of(const ChordBlock& block) {
  return {ToneOf(block.root, block.root), ToneOf(block.third, block.third),
          ToneOf(block.fifth, block.fifth), ToneOf(block.seventh, block.seventh),
          ToneOf(block.bass, block.bass)};
}

BlockTones BlockTones::Folded(const ChordBlock& block, int low, int high) {
  ChordBlock work;
  work.CopyFrom(block);
  FoldFiveVoicesIntoRange(&work.root, &work.third, &work.fifth, &work.seventh, &work.bass, low,
                          high);
  return {ToneOf(block.root, work.root), ToneOf(block.third, work.third),
          ToneOf(block.fifth, work.fifth), ToneOf(block.seventh, work.seventh),
          ToneOf(block.bass, work.bass)};
}

NoteEmitter::NoteEmitter(MidiTrack& track, int channel) : track_(track), channel_(channel) {}

void NoteEmitter::BeginBlock(int length) {
  block_start_ = Now();
  block_length_ = length;
}

void NoteEmitter::Written(int used) {
  last_event_ = Now() + used;
  pending_ = -used;
}

void NoteEmitter::Note(Tone tone, int velocity, int length) {
  if (tone.missing()) {
    AddNote(track_, channel_, pending_, 0, 0, length);
  } else if (in_range_) {
    AddNoteInRange(track_, channel_, pending_, tone.pitch(), HeldVelocity(velocity), length, low_,
                   high_);
  } else {
    AddNote(track_, channel_, pending_, tone.pitch(), HeldVelocity(velocity), length);
  }
  Written(0);
}

void NoteEmitter::Pedal(int value) {
  AddSustainPedal(track_, channel_, pending_, value);
  Written(0);
}

void NoteEmitter::Rest(int length) {
  AddNote(track_, channel_, pending_, 0, 0, length);
  Written(0);
}

void NoteEmitter::Chord(std::initializer_list<Tone> tones, int velocity, int length) {
  for (const Tone& t : tones) Note(t, velocity, length);
}

void NoteEmitter::Strum(std::initializer_list<Tone> tones, int velocity, int length, int spread,
                        int shorten) {
  bool first = true;
  for (const Tone& t : tones) {
    if (!first) Wait(spread);
    Note(t, velocity, length);
    length -= shorten;
    first = false;
  }
}

void NoteEmitter::Bent(BendWriter write, Tone tone, int velocity, int length, int bend_ticks) {
  if (tone.missing()) {
    Rest(length);
    return;
  }
  Written(write(track_, channel_, pending_, tone.pitch(), HeldVelocity(velocity), length,
                bend_ticks));
}

void NoteEmitter::BentFromBelow(Tone tone, int velocity, int length, int bend_ticks) {
  Bent(AddNoteBentFromBelow, tone, velocity, length, bend_ticks);
}

void NoteEmitter::BentFromAbove(Tone tone, int velocity, int length, int bend_ticks) {
  Bent(AddNoteBentFromAbove, tone, velocity, length, bend_ticks);
}

void NoteEmitter::Glide(Tone tone, int velocity, int length, int step_ticks) {
  Bent(AddNoteWithBendGlide, tone, velocity, length, step_ticks);
}
