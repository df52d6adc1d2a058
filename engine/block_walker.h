// The block walker: keeps a pattern in time with the blocks it plays.
//
// Accompaniment, bass and drum patterns play block after block (the chord blocks, or the
// drum part's chord timeline), writing each block's notes with a pending delta: the ticks from
// the last event written to the next note. A pattern that writes only a block's whole steps
// leaves the remainder unwritten; without help every later block would then start early, out
// of time with the chords and the other parts. So before each block the walker raises the
// pending delta until the block's first note starts at the block's own start (the sum of the
// lengths before it, counted from the pattern's first note); what an earlier block left
// unwritten becomes a rest. It never lowers the pending delta: a figure that reaches into the
// next block on purpose (a held riff note, a pickup) keeps its overlap.
//
// A pattern generator plugs in by walking its blocks through WalkChordBlocks or
// WalkTimelineBlocks (or, for a walk of its own, a BlockClock aligned at each block start),
// writing each block with the pending delta it is handed and leaving the pending delta of the
// block's last step for the next block.
#pragma once

#include <cstdint>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "music/midi_track.h"

class BlockClock {
 public:
  // The pattern's events are those appended to the track from now on. Its time 0 is the start
  // of the track's last event (the lead-in rest the part writer puts before the pattern), so a
  // first note written with delta 0 sounds at time 0.
  explicit BlockClock(const MidiTrack& track);

  // Raises the pending delta so that the next note starts no earlier than block_start ticks after
  // time 0.
  void AlignTo(int64_t block_start, int& pending);
  // The start of the last event appended, from time 0.
  int64_t LastEventTime();

 private:
  const MidiTrack& track_;
  int32_t scanned_;   // events up to here are summed into time_
  int64_t time_ = 0;  // start of event scanned_ - 1
};

// Calls write(block, index, start) for every chord block of the compose information in order,
// the block count read again after each block, with the pending delta raised before each block
// so that it starts at `start` (the sum of the lengths of the blocks before it).
template <typename Write>
void WalkChordBlocks(const MidiTrack& track, int& pending, Write&& write) {
  ComposeInformation& info = ComposeInfo();
  BlockClock clock(track);
  int64_t start = 0;
  for (int i = 0; i < info.chord_block_count(); ++i) {
    const ChordBlock& block = *info.chord_block(i);
    clock.AlignTo(start, pending);
    write(block, i, static_cast<int>(start));
    start += block.length;
  }
}

// The same over the blocks of a chord timeline (the drum part's blocks: each event's length,
// section letter and end mark); write(block, index, start).
template <typename Write>
void WalkTimelineBlocks(const EventList& timeline, const MidiTrack& track, int& pending,
                        Write&& write) {
  BlockClock clock(track);
  int64_t start = 0;
  for (int i = 0; i < timeline.count(); ++i) {
    const ComposeEvent& block = timeline[i];
    clock.AlignTo(start, pending);
    write(block, i, static_cast<int>(start));
    if (block.length > 0) start += block.length;
  }
}
