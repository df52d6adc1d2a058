// Melodic similarity of two passages: the intervals between successive notes
// of a range of bars compared position by position with every equally long
// passage of another song, also with either side at half speed.
#pragma once

class CSongData;

class CKvPhraseCompare {
 public:
  virtual ~CKvPhraseCompare();

  // The mark of a position that holds no pitch (rest, hold, unused slot).
  static constexpr int kEmpty = 255;

  // The best similarity, 0 (nothing alike) to 1 (every note step alike), of
  // bars first..last of song A against every passage of as many bars of song
  // B. 0 when the songs' beats per bar differ, when the range is not inside
  // song A, or when song B is shorter than the range.
  static double CompareBars(const CSongData& a, int first_bar, int last_bar,
                            const CSongData& b);

  // Three entries per eighth (the note cell's slots): kEmpty, or the distance
  // in semitones to the previous pitch of the range (0 for its first pitch).
  // `out` holds 6 x beats per bar x (last - first + 1) entries; returns that
  // count (0 for an empty or reversed range). Cells outside the song's cell
  // store count as empty.
  static int IntervalSequence(const CSongData& song, int first_bar, int last_bar, int* out);

  // The sequence at half speed: 2 x count entries.
  static void StretchIntervals(const int* sequence, int* out, int count);

  // Matches over the positions where either side holds an interval; 0 when
  // there is none. Intervals match when equal modulo 12 (sign kept, so -1 and
  // 11 differ).
  static double MatchRatio(const int* a, const int* b, int count);

 private:
  CKvPhraseCompare() = default;
};
