#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "song/phrase_compare.h"
#include "song/song_data.h"
#include "util/gne.h"

namespace {

std::unique_ptr<CSongData> MakeSong(int bars, int bpb) {
  auto song = std::make_unique<CSongData>();
  song->Reset(bars, bpb, 0, bpb == 3 ? 1 : 1);
  return song;
}

// A melody of eighths (and some quarters and sixteenths) drawn from the seed.
void FillMelody(CSongData& song, int first_bar, int bars, int transpose) {
  for (int bar = first_bar; bar < first_bar + bars; ++bar) {
    for (int e = 0; e < 2 * song.beats_per_bar; ++e) {
      const int pitch = 60 + GneRandomRange(0, 12) + transpose;
      song.SetNote(bar, e, pitch, 1, false);
    }
  }
}

TEST(PhraseCompare, IntervalSequenceMarksEmptySlotsAndStepsFromThePreviousPitch) {
  auto song = MakeSong(2, 4);
  song->SetNote(0, 0, 60, 1, false);   // eighth C
  song->SetNote(0, 1, 64, 0, false);   // sixteenth E
  song->SetNote(0, 1, 59, 0, true);    // sixteenth B at the second sixteenth
  song->SetNote(0, 2, 71, 3, false);   // quarter B (holds into eighth 3)
  std::vector<int> seq(24 * 2);
  ASSERT_EQ(CKvPhraseCompare::IntervalSequence(*song, 0, 0, seq.data()), 24);
  const int E = CKvPhraseCompare::kEmpty;
  const std::vector<int> want = {0, E, E, 4, -5, E, 12, E, E, E, E, E};
  EXPECT_EQ(std::vector<int>(seq.begin(), seq.begin() + 12), want);
  for (int i = 12; i < 24; ++i) EXPECT_EQ(seq[i], E) << i;
  EXPECT_EQ(CKvPhraseCompare::IntervalSequence(*song, 1, 0, seq.data()), 0);
  EXPECT_EQ(CKvPhraseCompare::IntervalSequence(*song, -1, 0, seq.data()), 0);
}

TEST(PhraseCompare, StretchingPlacesSecondSixteenthsAndTripletPartsAtHalfSpeed) {
  const int E = CKvPhraseCompare::kEmpty;
  struct Case { std::vector<int> in, want; };
  const Case cases[] = {
      {{0, E, E}, {0, E, E, E, E, E}},
      {{0, 2, E}, {0, E, E, 2, E, E}},    // second sixteenth: halfway through the eighth
      {{0, 2, 3}, {0, E, 2, E, 3, E}},    // triplet parts: a third and two thirds through
      {{E, E, E, 5, E, E}, {E, E, E, E, E, E, 5, E, E, E, E, E}},
  };
  for (const Case& c : cases) {
    std::vector<int> out(2 * c.in.size(), -99);
    CKvPhraseCompare::StretchIntervals(c.in.data(), out.data(), static_cast<int>(c.in.size()));
    EXPECT_EQ(out, c.want);
  }
}

TEST(PhraseCompare, MatchRatioCountsPositionsWhereEitherSideHasAnInterval) {
  const int E = CKvPhraseCompare::kEmpty;
  struct Case { std::vector<int> a, b; double want; };
  const Case cases[] = {
      {{0, E, 2, E}, {0, E, 2, E}, 1.0},
      {{0, E, 2, E}, {0, E, 14, E}, 1.0},     // an octave apart: equal modulo 12
      {{0, E, -1, E}, {0, E, 11, E}, 0.5},    // the sign is kept
      {{0, E, 2, E}, {0, 3, 2, E}, 2.0 / 3},  // only one side: a mismatch
      {{E, E}, {E, E}, 0.0},
      {{-1, E}, {E, E}, 0.0},                 // a semitone down is no empty mark
  };
  for (const Case& c : cases)
    EXPECT_DOUBLE_EQ(CKvPhraseCompare::MatchRatio(c.a.data(), c.b.data(),
                                                  static_cast<int>(c.a.size())),
                     c.want);
}

TEST(PhraseCompare, SameAndTransposedMelodiesMatchOverManySeeds) {
  for (uint32_t seed = 1; seed <= 20; ++seed) {
    GneSeedRandomWith(seed);
    auto a = MakeSong(8, 4);
    FillMelody(*a, 0, 8, 0);
    EXPECT_DOUBLE_EQ(CKvPhraseCompare::CompareBars(*a, 2, 4, *a), 1.0) << seed;
    // The same bars transposed and placed elsewhere in a longer song.
    auto b = MakeSong(12, 4);
    const int shift = GneRandomRange(-7, 7);
    for (int bar = 2; bar <= 4; ++bar)
      for (int e = 0; e < 8; ++e)
        b->SetNote(bar + 5, e, a->GetSlotValue(bar, e, false) + shift, 1, false);
    EXPECT_DOUBLE_EQ(CKvPhraseCompare::CompareBars(*a, 2, 4, *b), 1.0) << seed;
  }
}

TEST(PhraseCompare, HalfSpeedPhraseMatchesThroughTheStretchedComparison) {
  auto a = MakeSong(2, 4);
  const int pitches[] = {60, 62, 64, 65, 67, 65, 64, 62};
  for (int e = 0; e < 8; ++e) a->SetNote(0, e, pitches[e], 1, false);
  auto b = MakeSong(4, 4);
  for (int i = 0; i < 8; ++i) b->SetNote(1 + i / 4, 2 * (i % 4), pitches[i] + 3, 3, false);
  // B's passage is two bars long; the range of A is two bars (the second empty).
  EXPECT_DOUBLE_EQ(CKvPhraseCompare::CompareBars(*a, 0, 1, *b), 1.0);
  // And the other way round: B's slow phrase against A at its own speed.
  auto slow = MakeSong(2, 4);
  for (int i = 0; i < 8; ++i) slow->SetNote(i / 4, 2 * (i % 4), pitches[i], 3, false);
  EXPECT_DOUBLE_EQ(CKvPhraseCompare::CompareBars(*slow, 0, 1, *a), 1.0);
}

TEST(PhraseCompare, ZeroForRestsOtherMetresShortSongsAndRangesOutsideSongA) {
  auto rests = MakeSong(4, 4);
  auto rests2 = MakeSong(4, 4);
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*rests, 0, 1, *rests2), 0.0);
  auto a = MakeSong(4, 4);
  FillMelody(*a, 0, 4, 0);
  auto three = MakeSong(4, 3);
  FillMelody(*three, 0, 4, 0);
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*a, 0, 0, *three), 0.0);
  auto short_b = MakeSong(1, 4);
  FillMelody(*short_b, 0, 1, 0);
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*a, 0, 1, *short_b), 0.0);
  // Ranges that leave song A: nothing is read past it.
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*a, 3, 5, *a), 0.0);
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*a, -1, 1, *a), 0.0);
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*a, 2, 1, *a), 0.0);
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*a, 0, 0x7FFFFFFF, *a), 0.0);
  // A song whose bar count claims more than the cell store: still bounded.
  auto big = MakeSong(4, 4);
  FillMelody(*big, 0, 4, 0);
  big->bar_count = 100000;
  EXPECT_GE(CKvPhraseCompare::CompareBars(*a, 0, 1, *big), 0.0);
  EXPECT_EQ(CKvPhraseCompare::CompareBars(*big, 250, 260, *a), 0.0);
}

}  // namespace

namespace {

// The comparison as written out: every passage's sequence built anew.
double NaiveCompare(const CSongData& a, int first, int last, const CSongData& b) {
  if (a.beats_per_bar != b.beats_per_bar) return 0.0;
  const int n = 6 * a.beats_per_bar * (last - first + 1);
  std::vector<int> sa(n), wa(2 * n), sb(n), wb(2 * n);
  CKvPhraseCompare::IntervalSequence(a, first, last, sa.data());
  CKvPhraseCompare::StretchIntervals(sa.data(), wa.data(), n);
  double best = 0;
  for (int s = 0; s + (last - first) < b.bar_count; ++s) {
    CKvPhraseCompare::IntervalSequence(b, s, s + last - first, sb.data());
    CKvPhraseCompare::StretchIntervals(sb.data(), wb.data(), n);
    best = std::max({best, CKvPhraseCompare::MatchRatio(sa.data(), sb.data(), n),
                     CKvPhraseCompare::MatchRatio(wa.data(), sb.data(), n),
                     CKvPhraseCompare::MatchRatio(sa.data(), wb.data(), n)});
  }
  return best;
}

TEST(PhraseCompare, MatchesTheComparisonWrittenOutOverManySeeds) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    const int bpb = GneRandomRange(2, 4);
    auto a = std::make_unique<CSongData>();
    auto b = std::make_unique<CSongData>();
    a->Reset(6, bpb, 0, 1);
    b->Reset(GneRandomRange(1, 12), bpb, 0, 1);
    for (CSongData* song : {a.get(), b.get()})
      for (int bar = 0; bar < song->bar_count; ++bar)
        for (int e = 0; e < 2 * bpb; ++e) {
          const int kind = GneRandomRange(0, 5);
          if (kind == 0) continue;
          const int pitch = 60 + GneRandomRange(0, 5) * 2;
          if (kind == 1) song->SetNote(bar, e, pitch, 0, true);  // a second sixteenth
          else song->SetNote(bar, e, pitch, kind == 2 ? 0 : 1, false);
        }
    const int first = GneRandomRange(0, 4);
    const int last = first + GneRandomRange(0, 1);
    EXPECT_DOUBLE_EQ(CKvPhraseCompare::CompareBars(*a, first, last, *b),
                     NaiveCompare(*a, first, last, *b))
        << seed;
  }
}

}  // namespace
