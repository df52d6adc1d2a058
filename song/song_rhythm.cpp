// Rhythm edits of the song (triplets, halving and doubling, metre
// conversions, glissando and trill) and the passes that tidy rests.
#include <algorithm>
#include <cstring>
#include <vector>

#include "song/song_bytes.h"
#include "song/song_data.h"

using namespace song_bytes;

namespace {

bool IsPitch(int v) { return v >= 0 && v <= 127; }
int Clamp127(int v) { return v < 0 ? 0 : (v > 127 ? 127 : v); }

struct CellSpan {
  int begin, end;  // cell indexes, end excluded
};

}  // namespace

// ---------------------------------------------------------------------------
// Triplets

namespace {
// Cells of bars first..last (last -1 = the song's last bar), cut to the song.
CellSpan BarCells(const CSongData& song, int first, int last) {
  const int per_bar = 2 * std::max<int>(song.beats_per_bar, 1);
  if (last < 0) last = song.bar_count - 1;
  if (first < 0) first = 0;
  const int n = song.SongCells();
  const int b = BarCell(first, per_bar, n);
  const int e = BarCell(static_cast<long long>(last) + 1, per_bar, n);
  return {b, std::max(b, e)};
}
}  // namespace

void CSongData::SixteenthsToTriplet(int first, int last) {
  const CellSpan span = BarCells(*this, first, last);
  for (int c = span.begin; c < span.end; ++c) {
    NoteCell& cell = cells[c];
    if (cell.slot[2] != NoteSlotVacant) continue;
    cell.slot[2] = cell.slot[1];
    cell.slot[1] = NoteSlotHold;
    std::memcpy(cell.lyric[2], cell.lyric[1], 8);
    std::memset(cell.lyric[1], 0, 8);
  }
}

void CSongData::MakeTriplets(int first, int last) {
  const CellSpan span = BarCells(*this, first, last);
  for (int c = span.begin; c + 1 < span.end; c += 2) {
    int32_t* A = cells[c].slot;
    int32_t* B = cells[c + 1].slot;
    if (IsPitch(A[0]) && IsPitch(A[1]) && A[2] == NoteSlotVacant && B[0] == NoteSlotHold &&
        IsPitch(B[1]) && B[2] == NoteSlotVacant) {
      A[2] = A[1];
      A[1] = NoteSlotHold;
      B[2] = NoteSlotHold;
    } else {
      if (A[2] == NoteSlotVacant) {
        A[2] = A[1];
        A[1] = NoteSlotHold;
      }
      if (B[2] == NoteSlotVacant && B[1] == NoteSlotHold) {
        B[1] = B[0];
        B[0] = NoteSlotHold;
        B[2] = NoteSlotHold;
      }
    }
    if (IsPitch(B[0]) && IsPitch(B[1]) && B[2] == NoteSlotVacant) {
      B[2] = B[1];
      B[1] = B[0];
      B[0] = NoteSlotHold;
    }
  }
}

// ---------------------------------------------------------------------------
// Halving and doubling

void CSongData::HalveNoteValues(int first, int last) {
  const int bpb = beats_per_bar;
  if (bpb <= 0 || first < 0 || first >= bar_count) return;
  last = std::min(last, bar_count - 1);
  const int nbars = last - first + 1;
  if (nbars < 1 || (nbars * bpb) % 2 != 0) {
    ReportError(0);
    return;
  }
  const int n = SongCells();
  const int per_bar = 2 * bpb;
  std::vector<NoteCell> src(cells, cells + kSongMaxCells);
  std::vector<ChordCell> src_chords(chords, chords + kSongMaxBeats);
  std::vector<uint8_t> src_bf(bass_first, bass_first + kSongMaxBeats);
  std::vector<uint8_t> src_bs(bass_second, bass_second + kSongMaxBeats);

  const int r0 = BarCell(first, per_bar, n);
  const int r1 = BarCell(static_cast<long long>(last) + 1, per_bar, n);
  int w = r0;  // write cell
  int half = 0;
  for (int r = r0; r < r1; ++r) {
    if ((r - r0) % 4 == 0 && w / 2 < kSongMaxBeats) {
      const int sb = r / 2, tb = w / 2;
      chords[tb] = src_chords[sb];
      bass_first[tb] = src_bf[sb];
      bass_second[tb] = src_bs[sb];
    }
    NoteCell& t = cells[w];
    t.slot[half] = src[r].slot[0];
    std::memcpy(t.lyric[half], src[r].lyric[0], 8);
    if (half == 1) {
      t.slot[2] = NoteSlotVacant;
      std::memset(t.lyric[2], 0, 8);
      ++w;
      half = 0;
    } else {
      half = 1;
    }
  }
  // The bars after the range move forward with their chords.
  for (int r = r1; r < n; ++r, ++w) {
    cells[w] = src[r];
    if ((r & 1) == 0) {
      chords[w / 2] = src_chords[r / 2];
      bass_first[w / 2] = src_bf[r / 2];
      bass_second[w / 2] = src_bs[r / 2];
    }
  }
  const int new_bars = w / per_bar;
  const int old_beats = SongBeats();
  bar_count = new_bars;
  for (int b = new_bars * bpb; b < old_beats; ++b) {
    SetField(chords[b].first, 8, "----");
    std::memset(chords[b].second, 0, 8);
    bass_first[b] = 0;
    bass_second[b] = 0;
  }
  UpdatePitchRange(-1);
}

bool CSongData::DoubleNoteValues(int first, int last) {
  const int bpb = beats_per_bar;
  if (bpb <= 0 || first < 0 || first >= bar_count) return false;
  last = std::min(last, bar_count - 1);
  if (last < first) {
    ReportError(0);
    return false;
  }
  const int n = SongCells();
  const int per_bar = 2 * bpb;
  const int r0 = BarCell(first, per_bar, n);
  const int r1 = BarCell(static_cast<long long>(last) + 1, per_bar, n);
  const int new_cells = n + (r1 - r0);
  if (new_cells > kSongMaxCells) {
    // The cell arrays end at 2048 eighths: refuse rather than cut the song.
    ReportError(0);
    return false;
  }
  // Each eighth of the range becomes two, each beat two: the song is widened in place from
  // its end, every cell and beat written at or after the place it is read from.
  const auto split_cell = [](const NoteCell& s, NoteCell& a, NoteCell& b) {
    a = NoteCell{};
    b = NoteCell{};
    if (s.slot[2] == NoteSlotVacant) {
      a.slot[0] = s.slot[0];
      a.slot[1] = NoteSlotHold;
      a.slot[2] = NoteSlotVacant;
      std::memcpy(a.lyric[0], s.lyric[0], 8);
      b.slot[0] = s.slot[1];
      b.slot[1] = NoteSlotHold;
      b.slot[2] = NoteSlotVacant;
      std::memcpy(b.lyric[0], s.lyric[1], 8);
    } else {
      a.slot[0] = s.slot[0];
      a.slot[1] = NoteSlotHold;
      a.slot[2] = s.slot[1];
      std::memcpy(a.lyric[0], s.lyric[0], 8);
      std::memcpy(a.lyric[2], s.lyric[1], 8);
      b.slot[0] = NoteSlotHold;
      b.slot[1] = s.slot[2];
      b.slot[2] = NoteSlotHold;
      std::memcpy(b.lyric[1], s.lyric[2], 8);
    }
  };
  int w = new_cells;
  for (int c = n - 1; c >= 0; --c) {
    const NoteCell s = cells[c];
    if (c < r0 || c >= r1) {
      cells[--w] = s;
      continue;
    }
    w -= 2;
    split_cell(s, cells[w], cells[w + 1]);
  }

  const int beats = SongBeats();
  int new_beats = beats;
  for (int bt = 0; bt < beats; ++bt)
    if (2 * bt >= r0 && 2 * bt < r1) ++new_beats;
  const auto put_beat = [this](int at, const ChordCell& chord, uint8_t first, uint8_t second) {
    if (at >= kSongMaxBeats) return;
    chords[at] = chord;
    bass_first[at] = first;
    bass_second[at] = second;
  };
  int wb = new_beats;
  for (int bt = beats - 1; bt >= 0; --bt) {
    const ChordCell cc = chords[bt];
    const uint8_t bf = bass_first[bt], bs = bass_second[bt];
    if (!(2 * bt >= r0 && 2 * bt < r1)) {
      put_beat(--wb, cc, bf, bs);
      continue;
    }
    ChordCell one{}, two{};
    std::memcpy(one.first, cc.first, 8);
    std::memcpy(two.first, cc.second[0] ? cc.second : cc.first, 8);
    wb -= 2;
    put_beat(wb, one, bf, bf);
    put_beat(wb + 1, two, bs, bs);
  }
  bar_count = new_cells / per_bar;
  for (int bt = bar_count * bpb; bt < kSongMaxBeats; ++bt) {
    if (bt >= new_beats) {
      SetField(chords[bt].first, 8, "----");
      std::memset(chords[bt].second, 0, 8);
    }
  }
  UpdatePitchRange(-1);
  return true;
}

// ---------------------------------------------------------------------------
// Metre conversions

bool CSongData::ConvertToSixEight() {
  if (beats_per_bar != 4) {
    ReportError(0);
    return false;
  }
  const int bars = bar_count;
  if (bars * 2 * 3 > kSongMaxBeats) {
    ReportError(0);
    return false;
  }
  std::unique_ptr<CSongData> src = CopyFromBars(*this, 0, bars);
  const int src_cells = bars * 8;
  // Every slot of the source becomes one sixteenth of the result.
  int w = 0;  // sixteenth index of the result (2 per cell)
  int holds = 0;
  for (int c = 0; c < src_cells; ++c) {
    for (int s = 0; s < 3; ++s) {
      int v = src->cells[c].slot[s];
      if (v == NoteSlotVacant) v = NoteSlotHold;
      if (v == NoteSlotHold) {
        if (++holds == 12) {
          v = NoteSlotRest;
          holds = 0;
        }
      } else {
        holds = 0;
      }
      const int tc = w / 2, ts = w % 2;
      if (tc >= kSongMaxCells) break;
      cells[tc].slot[ts] = v;
      std::memcpy(cells[tc].lyric[ts], src->cells[c].lyric[s], 8);
      if (ts == 1) {
        cells[tc].slot[2] = NoteSlotVacant;
        std::memset(cells[tc].lyric[2], 0, 8);
      }
      ++w;
    }
  }
  // Chords: two source beats become three.
  auto second_name = [](const ChordCell& cc) { return cc.second[0] ? cc.second : cc.first; };
  auto put = [this](int t, const char* a, const char* b, uint8_t ba, uint8_t bb) {
    if (t >= kSongMaxBeats) return;
    char first[8], second[8];
    std::memcpy(first, a, 8);
    std::memcpy(second, b, 8);
    std::memcpy(chords[t].first, first, 8);
    if (FieldsEqual(first, second, 8))
      std::memset(chords[t].second, 0, 8);
    else
      std::memcpy(chords[t].second, second, 8);
    bass_first[t] = ba;
    bass_second[t] = bb;
  };
  for (int pair = 0; pair < bars * 2; ++pair) {
    const int b = pair * 2;
    const ChordCell x = src->chords[b];
    const ChordCell y = src->chords[b + 1];
    const uint8_t xf = src->bass_first[b], xs = src->bass_second[b];
    const uint8_t yf = src->bass_first[b + 1], ys = src->bass_second[b + 1];
    const int t = pair * 3;
    put(t, x.first, second_name(x), xf, xs);
    put(t + 1, second_name(x), y.first, xs, yf);
    put(t + 2, second_name(y), second_name(y), ys, yf);
  }
  beats_per_bar = 3;
  bar_count = bars * 2;
  for (int b = bar_count * 3; b < kSongMaxBeats; ++b) {
    SetField(chords[b].first, 8, "----");
    std::memset(chords[b].second, 0, 8);
    ClearCell(2 * b);
    ClearCell(2 * b + 1);
  }
  SetDivisionMode(2);
  UpdatePitchRange(-1);
  return true;
}

bool CSongData::ConvertToFourFourTriplets() {
  if (beats_per_bar != 3) {
    ReportError(0);
    return false;
  }
  const int bars = bar_count;
  const int src_cells = bars * 6;
  std::vector<NoteCell> src(cells, cells + kSongMaxCells);
  std::vector<ChordCell> src_chords(chords, chords + kSongMaxBeats);
  std::vector<uint8_t> src_bf(bass_first, bass_first + kSongMaxBeats);
  std::vector<uint8_t> src_bs(bass_second, bass_second + kSongMaxBeats);
  int w = 0;
  for (int c = 0; c < src_cells && c < kSongMaxCells; ++c) {
    for (int s = 0; s < 2; ++s, ++w) {
      const int tc = w / 3, ts = w % 3;
      cells[tc].slot[ts] = src[c].slot[s];
      std::memcpy(cells[tc].lyric[ts], src[c].lyric[s], 8);
    }
  }
  const int written_cells = (w + 2) / 3;
  for (int bar = 0; bar < bars; ++bar) {
    const int b = bar * 3, t = bar * 2;
    if (b + 2 >= kSongMaxBeats) break;
    chords[t] = src_chords[b];
    bass_first[t] = src_bf[b];
    bass_second[t] = src_bs[b];
    const ChordCell& m = src_chords[b + 1];
    std::memcpy(chords[t + 1].first, m.second[0] ? m.second : m.first, 8);
    if (FieldsEqual(src_chords[b + 2].first, chords[t + 1].first, 8))
      std::memset(chords[t + 1].second, 0, 8);
    else
      std::memcpy(chords[t + 1].second, src_chords[b + 2].first, 8);
    bass_first[t + 1] = src_bs[b + 1];
    bass_second[t + 1] = src_bf[b + 2];
  }
  beats_per_bar = 4;
  const int new_bars = (bars + 1) / 2;
  const int new_beats = new_bars * 4;
  bar_count = new_bars;
  // An odd last bar leaves half a 4/4 bar: it holds a rest and the last chord.
  for (int c = written_cells; c < new_beats * 2 && c < kSongMaxCells; ++c) ClearCell(c);
  if (written_cells < new_beats * 2 && written_cells < kSongMaxCells)
    cells[written_cells].slot[0] = NoteSlotRest;
  for (int b = bars * 2; b < new_beats && b > 0 && b < kSongMaxBeats; ++b) {
    chords[b] = chords[b - 1];
    std::memset(chords[b].second, 0, 8);
    bass_first[b] = bass_second[b] = bass_second[b - 1];
  }
  for (int b = new_beats; b < kSongMaxBeats; ++b) {
    SetField(chords[b].first, 8, "----");
    std::memset(chords[b].second, 0, 8);
    ClearCell(2 * b);
    ClearCell(2 * b + 1);
  }
  SetDivisionMode(1);
  UpdatePitchRange(-1);
  return true;
}

void CSongData::ChangeMetre(int n) {
  const int old = beats_per_bar;
  if (n == old) return;
  if (n < 1 || n > 8 || static_cast<long long>(bar_count) * n > kSongMaxBeats) {
    ReportError(0);
    return;
  }
  std::unique_ptr<CSongData> fresh = std::make_unique<CSongData>();
  std::memcpy(fresh->key_tonic, key_tonic, sizeof key_tonic);
  fresh->bar_count = bar_count;
  fresh->beats_per_bar = n;
  fresh->ResetChords();
  for (int bar = 0; bar < bar_count; ++bar) {
    if (!((old == 4 && n == 3) || (old == 3 && n == 4))) {
      ReportError(0);
      continue;
    }
    for (int i = 0; i < 3; ++i) {
      const int sb = bar * old + i, tb = bar * n + i;
      fresh->chords[tb] = chords[sb];
      fresh->bass_first[tb] = bass_first[sb];
      fresh->bass_second[tb] = bass_second[sb];
      fresh->cells[2 * tb] = cells[2 * sb];
      fresh->cells[2 * tb + 1] = cells[2 * sb + 1];
    }
    if (n == 4) {
      const int tb = bar * 4 + 3, sb = bar * 3 + 2;
      fresh->chords[tb] = chords[sb];
      fresh->bass_first[tb] = bass_first[sb];
      fresh->bass_second[tb] = bass_second[sb];
    }
  }
  std::memcpy(chords, fresh->chords, sizeof chords);
  std::memcpy(cells, fresh->cells, sizeof cells);
  std::memcpy(bass_first, fresh->bass_first, sizeof bass_first);
  std::memcpy(bass_second, fresh->bass_second, sizeof bass_second);
  beats_per_bar = n;
  UpdatePitchRange(-1);
}

// ---------------------------------------------------------------------------
// Glissando and trill

namespace {
// The pitch a run starts from: the cell's first slot, else the pitch that the
// previous cell's third part holds (moved one step by `step`).
int RunStart(const CSongData& song, int c, int step) {
  if (IsPitch(song.cells[c].slot[0])) return song.cells[c].slot[0];
  if (c > 0 && IsPitch(song.cells[c - 1].slot[2])) return Clamp127(song.cells[c - 1].slot[2] + step);
  return -1;
}
}  // namespace

void CSongData::SetGlissando(int bar, int eighth, bool upward) {
  const int c = CellIndex(bar, eighth);
  if (c < 0) return;
  const int step = upward ? 1 : -1;
  const int start = RunStart(*this, c, step);
  if (start < 0) return;
  for (int i = 0; i < 6; ++i) {
    const int k = c + i / 3;
    if (k >= kSongMaxCells) break;
    cells[k].slot[i % 3] = Clamp127(start + step * i);
  }
  UpdatePitchRange(-1);
}

void CSongData::SetTrill(int bar, int eighth) {
  const int c = CellIndex(bar, eighth);
  if (c < 0) return;
  const int p = RunStart(*this, c, 0);
  if (p < 0) return;
  const int count = 2 * beats_per_bar;
  for (int i = 0; i < count * 3; ++i) {
    const int k = c + i / 3;
    if (k >= kSongMaxCells) break;
    cells[k].slot[i % 3] = (i % 2 == 0) ? p : std::max(0, p - 1);
  }
  UpdatePitchRange(-1);
}

// ---------------------------------------------------------------------------
// Rest repairs

void CSongData::RestartRestsAtBeats() {
  for (int c = 0; c < kSongMaxCells - 1; ++c) {
    const int32_t* s = cells[c].slot;
    const bool second_sixteenth = s[1] == NoteSlotRest && s[2] == NoteSlotVacant;
    const bool second_half = (c & 1) && s[0] == NoteSlotRest && s[1] == NoteSlotHold &&
                             (s[2] == NoteSlotHold || s[2] == NoteSlotVacant);
    if ((second_sixteenth || second_half) && cells[c + 1].slot[0] == NoteSlotHold)
      cells[c + 1].slot[0] = NoteSlotRest;
  }
}

void CSongData::NormalizeRests() {
  const int n = SongCells();
  int last = NoteSlotRest;
  for (int c = 0; c + 1 < n; ++c) {
    int32_t* s = cells[c].slot;
    const bool bar_first = IsBarStartCell(c);
    for (int k = 0; k < 3; ++k) {
      if (last == NoteSlotRest && s[k] == NoteSlotRest) {
        // A rest that follows a rest continues it.
        if (k > 0) {
          s[k] = NoteSlotHold;
        } else if (!bar_first) {
          const int32_t* p = c > 0 ? cells[c - 1].slot : nullptr;
          const bool prev_keeps =
              p && ((p[1] == NoteSlotRest && p[2] == NoteSlotVacant) || p[2] == NoteSlotRest);
          if (!prev_keeps) s[0] = NoteSlotHold;
        }
      }
      if (s[k] != NoteSlotHold && s[k] != NoteSlotVacant) last = s[k];
      if (k == 0 && bar_first && s[0] == NoteSlotHold && last == NoteSlotRest)
        s[0] = NoteSlotRest;
    }
    if (((s[1] == NoteSlotRest && s[2] == NoteSlotVacant) || s[2] == NoteSlotRest) &&
        cells[c + 1].slot[0] == NoteSlotHold)
      cells[c + 1].slot[0] = NoteSlotRest;
  }
}

void CSongData::ClearRestLyrics() {
  for (auto& cell : cells)
    for (int s = 0; s < 3; ++s)
      if (cell.slot[s] < 0 && cell.slot[s] != NoteSlotRap) std::memset(cell.lyric[s], 0, 8);
}

void CSongData::FillShortRests() {
  const int total = SongCells() * 3;
  auto at = [this](int i) -> int32_t& { return cells[i / 3].slot[i % 3]; };
  int last = -1;
  for (int i = 0; i + 2 < total; ++i) {
    int32_t& v = at(i);
    if (v == NoteSlotRest && IsPitch(last)) {
      int next = at(i + 1);
      if (next == NoteSlotVacant) next = at(i + 2);
      if (IsPitch(next)) v = NoteSlotHold;
    }
    if (v >= NoteSlotRest) last = v;
  }
}

bool CSongData::RepairSlotValues() {
  bool changed = false;
  const int n = SongCells();
  for (int c = 0; c < n; ++c) {
    int32_t* s = cells[c].slot;
    for (int k = 0; k < 3; ++k)
      if (s[k] < NoteSlotVacant) {
        s[k] = k == 2 ? NoteSlotVacant : NoteSlotRest;
        changed = true;
      }
  }
  return changed;
}

void CSongData::RepairLowSlots() {
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int k = 0; k < 2; ++k)
      if (cells[c].slot[k] < NoteSlotRap) {
        cells[c].slot[k] = NoteSlotRest;
        ReportError(0);
      }
}
