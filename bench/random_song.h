// A song of random eighth notes (about two in three slots sounding, G3 to F#5) drawn from a
// seed, for the benchmarks that compare or search melodies.
#pragma once

#include <memory>

#include "song/song_data.h"
#include "util/gne.h"

namespace bench_songs {

inline std::unique_ptr<CSongData> RandomSong(int bars, uint32_t seed) {
  GneSeedRandomWith(seed);
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, 4, 0, 1);
  for (int bar = 0; bar < bars; ++bar)
    for (int e = 0; e < 8; ++e) {
      if (GneRandomRange(0, 3) == 0) continue;
      song->SetNote(bar, e, 55 + GneRandomRange(0, 24), 1, false);
    }
  return song;
}

}  // namespace bench_songs
