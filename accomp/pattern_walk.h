// Walking the chord blocks with a note emitter, and the song facts the
// pattern generators read per block.
#pragma once

#include "accomp/note_emitter.h"
#include "engine/block_walker.h"
#include "engine/compose_info.h"
#include "style/style_table.h"

namespace accomp {

// Where the last walk of the thread ended, from the pattern's first event: the start of its
// last event plus the pending delta it left. A part that keeps time ends with the song.
inline int64_t& LastWalkEnd() {
  thread_local int64_t end = 0;
  return end;
}

// Calls write(block, index, count) for every chord block in order, each block
// starting on time (the walker raises the pending delta) and set as the
// emitter's current block. After the last block the pending delta reaches at
// least the song's end, so what a last block left unwritten is a rest too.
template <typename Write>
void WalkBlocks(NoteEmitter& e, Write&& write) {
  int64_t song = 0;
  WalkChordBlocks(e.track(), e.pending(), [&](const ChordBlock& block, int index, int start) {
    song = start + block.length;
    e.BeginBlock(block.length);
    write(block, index, ComposeInfo().chord_block_count());
  });
  if (e.Now() < song) e.Wait(static_cast<int>(song - e.Now()));
  LastWalkEnd() = e.Now();
}

// The density factor the style gives a channel's part.
inline int ChannelDensity(int channel) {
  return channel >= 0 && channel < kStyleOctaveCount ? CurrentStyle().density[channel] : 100;
}

// The section letter of chord block i: the first character of the tag of the
// chord timeline's entry i, 0 when the timeline has no such entry.
inline char SectionLetter(int i) {
  const ComposeEvent* entry = ComposeInfo().chord_timeline.event(i);
  return entry != nullptr ? entry->tag[0] : 0;
}

}  // namespace accomp
