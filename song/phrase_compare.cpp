#include "song/phrase_compare.h"

#include <algorithm>
#include <vector>

#include "song/song_data.h"

CKvPhraseCompare::~CKvPhraseCompare() = default;

int CKvPhraseCompare::IntervalSequence(const CSongData& song, int first_bar, int last_bar,
                                       int* out) {
  const int bpb = song.beats_per_bar;
  if (bpb <= 0 || first_bar < 0 || last_bar < first_bar || out == nullptr) return 0;
  const long long bars = static_cast<long long>(last_bar) - first_bar + 1;
  if (bars * bpb > kSongMaxBeats) return 0;
  const int eighths = static_cast<int>(bars) * 2 * bpb;
  const long long first_cell = static_cast<long long>(first_bar) * 2 * bpb;
  int previous = -1;
  int n = 0;
  for (int e = 0; e < eighths; ++e) {
    const long long c = first_cell + e;
    for (int s = 0; s < 3; ++s) {
      const int v = c < kSongMaxCells ? song.cells[c].slot[s] : NoteSlotRest;
      if (v < 0) {
        out[n++] = kEmpty;
      } else {
        out[n++] = previous < 0 ? 0 : v - previous;
        previous = v;
      }
    }
  }
  return n;
}

void CKvPhraseCompare::StretchIntervals(const int* sequence, int* out, int count) {
  if (sequence == nullptr || out == nullptr || count <= 0) return;
  for (int i = 0; i < 2 * count; ++i) out[i] = kEmpty;
  for (int i = 0; i < count; ++i) {
    if (sequence[i] == kEmpty) continue;
    const bool second_sixteenth = i % 3 == 1 && (i + 1 >= count || sequence[i + 1] == kEmpty);
    out[second_sixteenth ? 2 * i + 1 : 2 * i] = sequence[i];
  }
}

namespace {

// value % 12 (sign kept) for the intervals a sequence holds, -127..127.
struct Remainders {
  int8_t of[255];
  Remainders() {
    for (int v = -127; v <= 127; ++v) of[v + 127] = static_cast<int8_t>(v % 12);
  }
};

inline int Remainder12(int v) {
  static const Remainders table;
  return (v >= -127 && v <= 127) ? table.of[v + 127] : v % 12;
}

}  // namespace

double CKvPhraseCompare::MatchRatio(const int* a, const int* b, int count) {
  if (a == nullptr || b == nullptr) return 0.0;
  int counted = 0;
  int matched = 0;
  for (int i = 0; i < count; ++i) {
    const int x = a[i];
    const int y = b[i];
    if (x == kEmpty) {
      counted += y != kEmpty;
      continue;
    }
    ++counted;
    if (y != kEmpty && (x == y || Remainder12(x) == Remainder12(y))) ++matched;
  }
  return counted == 0 ? 0.0 : static_cast<double>(matched) / counted;
}

double CKvPhraseCompare::CompareBars(const CSongData& a, int first_bar, int last_bar,
                                     const CSongData& b) {
  const int bpb = a.beats_per_bar;
  if (b.beats_per_bar != bpb || bpb <= 0) return 0.0;
  if (first_bar < 0 || last_bar < first_bar || last_bar >= a.bar_count) return 0.0;
  const int span = last_bar - first_bar;
  const long long n64 = 6LL * bpb * (span + 1);
  if (n64 > 6LL * kSongMaxBeats) return 0.0;
  const int n = static_cast<int>(n64);

  std::vector<int> seq_a(n), wide_a(2 * n);
  if (IntervalSequence(a, first_bar, last_bar, seq_a.data()) != n) return 0.0;
  StretchIntervals(seq_a.data(), wide_a.data(), n);

  // Song B's passages are slices of its whole sequence (and of the whole
  // sequence stretched), but for the first pitch of a passage, which steps
  // from nothing: 0.
  const long long starts = static_cast<long long>(b.bar_count) - span;
  if (starts <= 0) return 0.0;
  const int b_bars = static_cast<int>(std::min<long long>(b.bar_count, kSongMaxBeats / bpb));
  const int per_bar = 6 * bpb;
  std::vector<int> all_b(static_cast<size_t>(b_bars) * per_bar + n);
  std::fill(all_b.begin(), all_b.end(), kEmpty);
  if (b_bars > 0) IntervalSequence(b, 0, b_bars - 1, all_b.data());
  std::vector<int> wide_all(2 * all_b.size());
  StretchIntervals(all_b.data(), wide_all.data(), static_cast<int>(all_b.size()));

  std::vector<int> seq_b(n), wide_b(n);
  double best = 0.0;
  for (long long s = 0; s < starts; ++s) {
    const size_t offset = static_cast<size_t>(s) * per_bar;
    if (offset + n > all_b.size()) break;
    std::copy(all_b.begin() + offset, all_b.begin() + offset + n, seq_b.begin());
    std::copy(wide_all.begin() + 2 * offset, wide_all.begin() + 2 * offset + n, wide_b.begin());
    for (int k = 0; k < n; ++k) {
      if (seq_b[k] == kEmpty) continue;
      seq_b[k] = 0;
      const bool second = k % 3 == 1 && (k + 1 >= n || seq_b[k + 1] == kEmpty);
      const int at = second ? 2 * k + 1 : 2 * k;
      if (at < n) wide_b[at] = 0;
      break;
    }
    for (double r : {MatchRatio(seq_a.data(), seq_b.data(), n),
                     MatchRatio(wide_a.data(), seq_b.data(), n),
                     MatchRatio(seq_a.data(), wide_b.data(), n)}) {
      if (r > best) best = r;
    }
    if (best >= 1.0) break;
  }
  return best;
}
