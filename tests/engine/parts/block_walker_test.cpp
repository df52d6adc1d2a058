// The block walker: every block of a pattern starts at its own start, whatever the blocks
// before it left unwritten, and figures that reach into the next block keep their overlap.
#include <gtest/gtest.h>

#include <cstring>
#include <utility>
#include <vector>

#include "engine/block_walker.h"
#include "engine/compose_info.h"
#include "engine/part_tracks.h"
#include "tests/engine/parts/parts_fixture.h"

using parts_test::Notes;

namespace {

class BlockWalkerTest : public EngineTest {
 protected:
  // Starts of the sounding notes, relative to the first one's time 0 (the lead-in rest).
  static std::vector<int64_t> Onsets(const MidiTrack& track, int64_t origin) {
    std::vector<int64_t> out;
    for (const auto& n : Notes(track))
      if (std::get<3>(n) > 0) out.push_back(std::get<0>(n) - origin);
    return out;
  }
  // A part as the frames leave it for a pattern: header, then the lead-in rest.
  static void Frame(PartTrack& track, int lead_in) {
    WritePartHeader(track, 3, 0, MixerRecord(), 0);
    AddNote(track, 3, lead_in, 0, 0, 0);
  }
};

// A generator that writes only a block's whole steps: without the walker every block after one
// with a remainder would start early.
TEST_F(BlockWalkerTest, WholeStepPatternsStartEveryBlockAtItsOwnStart) {
  struct Case {
    std::vector<int> lengths;
    int step;
    std::vector<int64_t> onsets;
  };
  const std::vector<Case> cases = {
      {{100, 100}, 48, {0, 48, 100, 148}},
      {{400, 96}, 96, {0, 96, 192, 288, 400}},
      {{30, 96}, 48, {30, 78}},  // a block shorter than a step plays nothing and keeps its time
      {{96, 0, 96}, 48, {0, 48, 96, 144}},
      {{72, 72, 72}, 32, {0, 32, 72, 104, 144, 176}},
  };
  for (const Case& c : cases) {
    parts_test::SetChordLengths(c.lengths);
    PartTrack track;
    Frame(track, 384);
    int pending = 0;
    WalkChordBlocks(track, pending, [&](const ChordBlock& block, int, int) {
      for (int i = 0; i < block.length / c.step; ++i) {
        AddNote(track, 3, pending, block.root, 64, c.step - 1);
        pending = c.step;
      }
    });
    EXPECT_EQ(Onsets(track, 384), c.onsets) << "step " << c.step << ", first block "
                                            << c.lengths[0];
  }
}

TEST_F(BlockWalkerTest, ItHandsEachBlockItsIndexAndStart) {
  parts_test::SetChordLengths({384, 192, 96});
  PartTrack track;
  int pending = 0;
  std::vector<std::pair<int, int>> seen;
  WalkChordBlocks(track, pending, [&](const ChordBlock&, int index, int start) {
    seen.emplace_back(index, start);
  });
  EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{0, 0}, {1, 384}, {2, 576}}));
  // Nothing was written: the pending delta carries the whole song up to the last block.
  EXPECT_EQ(pending, 576);
}

TEST_F(BlockWalkerTest, AFigureReachingIntoTheNextBlockKeepsItsOverlap) {
  parts_test::SetChordLengths({96, 96, 96});
  PartTrack track;
  Frame(track, 0);
  int pending = 0;
  WalkChordBlocks(track, pending, [&](const ChordBlock&, int index, int) {
    AddNote(track, 3, pending, 60, 64, 47);
    // The first block's figure holds on 24 ticks into the second.
    pending = index == 0 ? 120 : 96;
  });
  EXPECT_EQ(Onsets(track, 0), (std::vector<int64_t>{0, 120, 216}));
}

// Grace notes and bends after a note take their ticks off the next delta; the walker counts
// every event the pattern wrote.
TEST_F(BlockWalkerTest, BendAndPedalEventsCountTowardTheBlockTime) {
  parts_test::SetChordLengths({100, 100, 100});
  PartTrack track;
  Frame(track, 0);
  int pending = 0;
  WalkChordBlocks(track, pending, [&](const ChordBlock&, int, int) {
    const int used = AddNoteBentFromBelow(track, 3, pending, 60, 64, 40, 12);
    AddSustainPedal(track, 3, 2, 127);
    pending = 48 - used - 2;
  });
  std::vector<int64_t> firsts;
  int64_t last = -1000;
  for (int64_t t : Onsets(track, 0)) {
    if (t - last >= 50) firsts.push_back(t);
    last = t;
  }
  EXPECT_EQ(firsts, (std::vector<int64_t>{0, 100, 200}));
}

TEST_F(BlockWalkerTest, TheBlockCountIsReadAgainAfterEachBlock) {
  parts_test::SetChordLengths({96});
  PartTrack track;
  int pending = 0;
  int calls = 0;
  WalkChordBlocks(track, pending, [&](const ChordBlock&, int index, int) {
    ++calls;
    if (index == 0) {
      ChordEntry entry;
      entry.length = 96;
      std::memcpy(entry.code, "GMPo", 4);
      ComposeInfo().AddChordBlock(entry, "00");
    }
  });
  EXPECT_EQ(calls, 2);
}

TEST_F(BlockWalkerTest, TimelineBlocksStartAfterTheLengthsBeforeThem) {
  EventList timeline;
  for (int length : {384, -5, 288, 336}) timeline.AppendSectionTag(length, "AXXX");
  PartTrack track;
  Frame(track, 0);
  int pending = 0;
  std::vector<int> starts;
  WalkTimelineBlocks(timeline, track, pending, [&](const ComposeEvent& block, int, int start) {
    starts.push_back(start);
    if (block.length <= 0) return;
    AddNote(track, 9, pending, 36, 90, 10);
    pending = 10;  // much less than the block: the rest becomes a rest before the next one
  });
  EXPECT_EQ(starts, (std::vector<int>{0, 384, 384, 672}));
  EXPECT_EQ(Onsets(track, 0), (std::vector<int64_t>{0, 384, 672}));
}

}  // namespace
