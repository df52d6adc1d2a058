#include "engine/block_walker.h"

#include <algorithm>
#include <climits>

// The events already there end at the pattern's time 0: only later deltas count.
BlockClock::BlockClock(const MidiTrack& track) : track_(track), scanned_(track.event_count) {}

int64_t BlockClock::LastEventTime() {
  for (; scanned_ < track_.event_count; ++scanned_) {
    const MidiEvent* e = track_.events[scanned_];
    if (e != nullptr && e->status != kStatusDeleted) time_ += e->delta;
  }
  return time_;
}

void BlockClock::AlignTo(int64_t block_start, int& pending) {
  const int64_t last = LastEventTime();
  if (last + pending < block_start)
    pending = static_cast<int>(std::min<int64_t>(block_start - last, INT_MAX));
}
