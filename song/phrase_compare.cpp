#include "song/phrase_compare.h"

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

double CKvPhraseCompare::MatchRatio(const int* a, const int* b, int count) {
  if (a == nullptr || b == nullptr) return 0.0;
  int counted = 0;
  int matched = 0;
  for (int i = 0; i < count; ++i) {
    const bool has_a = a[i] != kEmpty;
    const bool has_b = b[i] != kEmpty;
    if (!has_a && !has_b) continue;
    ++counted;
    if (has_a && has_b && a[i] % 12 == b[i] % 12) ++matched;
  }
  return counted == 0 ? 0.0 : static_cast<double>(matched) / counted;
}

double CKvPhraseCompare::CompareBars(const CSongData& a, int first_bar, int last_bar,
                                     const CSongData& b) {
  if (a.beats_per_bar != b.beats_per_bar || a.beats_per_bar <= 0) return 0.0;
  if (first_bar < 0 || last_bar < first_bar || last_bar >= a.bar_count) return 0.0;
  const int span = last_bar - first_bar;
  const long long n64 = 6LL * a.beats_per_bar * (span + 1);
  if (n64 > 6LL * kSongMaxBeats) return 0.0;
  const int n = static_cast<int>(n64);

  std::vector<int> seq_a(n), wide_a(2 * n), seq_b(n), wide_b(2 * n);
  if (IntervalSequence(a, first_bar, last_bar, seq_a.data()) != n) return 0.0;
  StretchIntervals(seq_a.data(), wide_a.data(), n);

  double best = 0.0;
  for (int s = 0; static_cast<long long>(s) + span < b.bar_count; ++s) {
    if (IntervalSequence(b, s, s + span, seq_b.data()) != n) break;
    StretchIntervals(seq_b.data(), wide_b.data(), n);
    for (double r : {MatchRatio(seq_a.data(), seq_b.data(), n),
                     MatchRatio(wide_a.data(), seq_b.data(), n),
                     MatchRatio(seq_a.data(), wide_b.data(), n)}) {
      if (r > best) best = r;
    }
    if (best >= 1.0) break;
  }
  return best;
}
