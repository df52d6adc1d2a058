// The shared voicing helpers: the triad that follows a reference pitch and the
// folded, sorted chord-tone list.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "accomp/voicing.h"
#include "engine/chord_block.h"
#include "util/gne.h"

namespace {

ChordBlock Triad(int root, int third, int fifth) {
  ChordBlock b;
  b.root = static_cast<uint8_t>(root);
  b.third = static_cast<uint8_t>(third);
  b.fifth = static_cast<uint8_t>(fifth);
  return b;
}

struct VoicingCase {
  int root, third, fifth, reference;
  int want_fifth, want_third, want_root, want_reference;
};

TEST(VoiceTriadNearReference, PicksTheTopToneNearestTheReference) {
  const VoicingCase cases[] = {
      // No reference yet: the block's own pitches; the reference becomes the fifth.
      {60, 64, 67, 0, 67, 64, 60, 67},
      // Fifth nearest, at its own octave.
      {60, 64, 67, 66, 67, 64, 60, 67},
      // Root and third tie: the root goes on top.
      {60, 64, 67, 62, 55, 52, 60, 55},
      // Fifth nearest an octave down: the whole triad drops an octave.
      {60, 64, 67, 56, 55, 52, 48, 55},
      // Third nearest at its own octave: fifth below it.
      {60, 64, 67, 65, 55, 64, 60, 55},
      // Third nearest an octave down.
      {62, 66, 69, 53, 45, 54, 50, 51},
      // A low fifth voice is raised into the reference window, a high one lowered.
      {65, 69, 72, 0, 72, 69, 65, 66},
      {61, 65, 68, 0, 68, 65, 61, 68},
  };
  for (const VoicingCase& c : cases) {
    SCOPED_TRACE(testing::Message() << c.root << " " << c.third << " " << c.fifth << " ref "
                                    << c.reference);
    ChordBlock b = Triad(c.root, c.third, c.fifth);
    int32_t f = -1, t = -1, r = -1, ref = c.reference;
    VoiceTriadNearReference(b, &f, &t, &r, &ref);
    EXPECT_EQ(f, c.want_fifth);
    EXPECT_EQ(t, c.want_third);
    EXPECT_EQ(r, c.want_root);
    EXPECT_EQ(ref, c.want_reference);
  }
}

TEST(VoiceTriadNearReference, ReferenceWindowAndMissingTones) {
  // References of 44 and 79 come from fifth voices 44 and 79; 50 and 70 stay.
  const int fifths[][2] = {{44, 50}, {79, 73}, {50, 50}, {70, 70}};
  for (const auto& f : fifths) {
    ChordBlock b = Triad(60, 64, f[0]);
    int32_t fv, tv, rv, ref = 0;
    VoiceTriadNearReference(b, &fv, &tv, &rv, &ref);
    EXPECT_EQ(ref, f[1]) << f[0];
  }
  // A chord with no fifth still gives three voices; the missing one is at 0 or below.
  ChordBlock b = Triad(60, 64, 0);
  int32_t fv, tv, rv, ref = 62;
  VoiceTriadNearReference(b, &fv, &tv, &rv, &ref);
  EXPECT_LE(fv, 0);
  EXPECT_GT(tv, 0);
  EXPECT_GT(rv, 0);
}

TEST(VoiceTriadNearReference, SuccessiveChordsStayCloseVoiced) {
  // Over a walk of chords every voicing is a close triad: within an octave, each
  // voice a true octave of its chord tone, and the reference always set.
  GneSeedRandomWith(7);
  int32_t ref = 0;
  for (int i = 0; i < 500; ++i) {
    const int root = 60 + GneRandomRange(0, 11);
    ChordBlock b = Triad(root, root + 3 + GneRandomRange(0, 1), root + 7);
    int32_t f, t, r;
    VoiceTriadNearReference(b, &f, &t, &r, &ref);
    EXPECT_GT(ref, 0);
    EXPECT_LE(std::max({f, t, r}) - std::min({f, t, r}), 12) << i;
    EXPECT_EQ((f - b.fifth + 120) % 12, 0);
    EXPECT_EQ((t - b.third + 120) % 12, 0);
    EXPECT_EQ((r - b.root + 120) % 12, 0);
  }
}

TEST(SortFoldChordTones, FoldsSortsAndDropsRepeats) {
  struct Case {
    std::vector<int32_t> in;
    int ceiling;
    std::vector<int32_t> want;
  };
  const Case cases[] = {
      {{64, 67, 0, 76}, 68, {64, 67, 0, 0}},
      {{60, 52, 55, 58}, 68, {52, 55, 58, 60}},
      {{0, 0, 0, 0}, 68, {0, 0, 0, 0}},
      {{-5, 72, 0, 60}, 68, {60, 0, 0, 0}},
      {{79, 67, 91, 55}, 68, {55, 67, 0, 0}},
      {{70, 65, 60, 65}, 68, {58, 60, 65, 0}},
  };
  for (const Case& c : cases) {
    std::vector<int32_t> v = c.in;
    SortFoldChordTones(v.data(), c.ceiling, static_cast<int>(v.size()));
    EXPECT_EQ(v, c.want);
  }
}

TEST(SortFoldChordTones, AnyListComesBackSortedUniqueAndUnderTheCeiling) {
  GneSeedRandomWith(11);
  for (int round = 0; round < 2000; ++round) {
    const int ceiling = GneRandomRange(40, 90);
    std::vector<int32_t> v(4);
    for (int32_t& x : v) x = GneRandomRange(-3, 127);
    std::set<int32_t> want;
    for (int32_t x : v) {
      if (x <= 0) continue;
      while (x > ceiling) x -= 12;
      want.insert(x);
    }
    SortFoldChordTones(v.data(), ceiling, 4);
    std::vector<int32_t> expect(want.begin(), want.end());
    expect.resize(4, 0);
    EXPECT_EQ(v, expect) << "round " << round;
  }
}

TEST(SortFoldChordTones, ACeilingBelowAnOctaveEnds) {
  std::vector<int32_t> v = {127, 64, 3, 0};
  SortFoldChordTones(v.data(), 0, 4);
  for (int32_t x : v) {
    EXPECT_GE(x, 0);
    EXPECT_LE(x, 12);
  }
}

}  // namespace
