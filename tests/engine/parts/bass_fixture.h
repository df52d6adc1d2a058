// Shared fixture of the bass pattern tests: a song of chord blocks, one bass
// pattern played over it, and the notes and rests it wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/part_tracks.h"
#include "tests/engine/engine_fixture.h"

namespace bass_test {

constexpr int kBassProgram = 33;  // fingered bass: a channel that bends

// One chord block of a test song.
struct Block {
  int length;
  const char* code;
  const char* bass_digits = "00";
};

// A note or rest the pattern wrote, timed from the pattern's start.
struct Played {
  int64_t tick;
  int channel, pitch, velocity, length;
  bool sounding() const { return pitch > 0 && velocity > 0; }
};

// Bars of the style's metre and grid.
enum class Metre { k44, k34, k68, k78 };
const char* MetreName(Metre m);
void SetMetre(Metre m, bool triplet);

class BassTest : public EngineTest {
 protected:
  void SetUp() override;

  // Replaces the song's chord blocks.
  static void SetBlocks(const std::vector<Block>& blocks);
  // Start tick of every block and the song's end.
  static std::vector<int64_t> BlockStarts();

  // Plays the pattern over the song into a fresh track: what it wrote after
  // the lead-in rest (rests included, bend events left out).
  std::vector<Played> Play(int code, int density = 100);
  // The sounding notes of Play.
  std::vector<Played> PlaySounding(int code, int density = 100);

  PartTrack& track() { return *track_; }

 private:
  std::unique_ptr<PartTrack> track_;
};

// A random song of `blocks` chord blocks of 48..768 ticks (or of whole bars
// when `bars` is set), chords drawn from a small table.
std::vector<Block> RandomSong(int blocks, bool whole_bars, int bar_ticks, uint32_t seed);

}  // namespace bass_test
