// Shared fixture of the accompaniment pattern tests: chord blocks of given
// codes and lengths (with tones set by hand where a test needs exact pitches),
// the style settings the generators read, and the notes a generator wrote.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "tests/engine/parts/parts_fixture.h"
#include "util/gne.h"

namespace pattern_test {

constexpr int kChannel = 3;

struct BlockSpec {
  const char* code;
  int length;
};

// A generator call on the harmony channel.
using Generator = void (*)(MidiTrack& track);

class PatternTest : public EngineTest {
 protected:
  void SetUp() override;

  // Replaces the composition's chord blocks.
  static void SetBlocks(const std::vector<BlockSpec>& blocks);
  // The same block (code, length) n times.
  static void SetRepeated(const char* code, int length, int n);
  static ChordBlock& Block(int i);
  // Sets the pitches of block i by hand (0 = the chord lacks the tone).
  static void SetTones(int i, int root, int third, int fifth, int seventh, int bass);

  // Style: triplet grid, metre code and 6/8 feel, the song's bass part.
  static void SetGrid(bool triplet);
  static void SetMetre(int metre, bool six_eight = false);
  static void SetBassPart(bool present);
  // One chord-timeline entry per block with the section letter of each tag
  // ("AXXX" ...); an empty list leaves the song without sections.
  static void SetSections(const std::vector<const char*>& tags);
  // A melody whose first note comes after `ticks` of rest.
  static void SetLeadingRest(int ticks);

  // Block i's first tick.
  static int64_t BlockStart(int i);

  // The notes and rests a generator writes from the seed over the current
  // blocks.
  template <typename Fn>
  static std::vector<parts_test::NoteRow> Written(uint32_t seed, Fn generate) {
    GneSeedRandomWith(seed);
    PartTrack t;
    generate(t);
    return parts_test::Notes(t);
  }
};

// Every note and rest the track holds (tick, channel, pitch, velocity, length).
std::vector<parts_test::NoteRow> Rows(const MidiTrack& track);
// Only the notes that sound (pitch and velocity above 0).
std::vector<parts_test::NoteRow> Sounding(const MidiTrack& track);
// Sounding notes that start in [from, to).
std::vector<parts_test::NoteRow> SoundingIn(const MidiTrack& track, int64_t from, int64_t to);
// The one sounding note of the rows that starts in [from, to); a test
// failure, and a silent row, when there is not exactly one.
parts_test::NoteRow OnlyNoteIn(const std::vector<parts_test::NoteRow>& rows, int64_t from,
                               int64_t to);
// Onset ticks of the sounding notes, each once, ascending.
std::vector<int64_t> Onsets(const std::vector<parts_test::NoteRow>& rows);
// Pitches of the sounding notes at a tick, ascending.
std::vector<int> PitchesAt(const std::vector<parts_test::NoteRow>& rows, int64_t tick);

// The metres and grids the sweeps run a pattern in.
struct Setting {
  const char* name;
  int metre;
  bool six_eight;
  bool triplet;
};
inline const Setting kSettings[] = {
    {"4/4", 0, false, false}, {"4/4 triplet", 0, false, true}, {"3/4", 1, false, false},
    {"3/4 triplet", 1, false, true}, {"6/8 feel", 1, true, false}, {"7/8", 2, false, false},
    {"7/8 triplet", 2, false, true},
};

// Ends the test program with a message naming the call when a generator
// runs longer than a minute (an endless loop would otherwise hang CI
// silently).
class Watchdog {
 public:
  explicit Watchdog(std::string what);
  ~Watchdog();
  Watchdog(const Watchdog&) = delete;
  Watchdog& operator=(const Watchdog&) = delete;

 private:
  void Watch();

  std::string what_;
  std::mutex mutex_;
  std::condition_variable woken_;
  bool done_ = false;
  std::thread thread_;
};

}  // namespace pattern_test
