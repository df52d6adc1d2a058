// Bar-range edits of the song: clear, insert, copy, overwrite and delete
// bars, append a song file, change the bar count, delete beats and eighths,
// remove "Skip" beats, transposition, the mirror edit and the one-level undo.
#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

#include "song/chord_model.h"
#include "song/song_bytes.h"
#include "song/song_data.h"
#include "util/music_names.h"

using namespace song_bytes;

namespace {

bool IsPitch(int v) { return v >= 0 && v <= 127; }

// A pitch folded by octaves into 0..127.
int FoldPitch(long long p) {
  if (p > 127) p -= ((p - 127 + 11) / 12) * 12;
  if (p < 0) p += ((-p + 11) / 12) * 12;
  return static_cast<int>(p);
}

struct BeatCopy {
  ChordCell chord;
  uint8_t bass_first, bass_second;
  NoteCell cells[2];
};

// The beats of `n` bars from `first` on, as they stand before anything moves.
std::vector<BeatCopy> TakeBars(const CSongData& song, int first, int n) {
  const int bpb = song.beats_per_bar;
  std::vector<BeatCopy> beats(static_cast<size_t>(n) * bpb);
  for (int i = 0; i < n * bpb; ++i) {
    const int b = first * bpb + i;
    beats[i] = {song.chords[b], song.bass_first[b], song.bass_second[b],
                {song.cells[2 * b], song.cells[2 * b + 1]}};
  }
  return beats;
}

// A range of bars to edit: `first` must lie in the song (else nothing happens, silently);
// `last` is cut to the song's last bar, and a range that ends before it begins is reported.
bool BarRange(const CSongData& song, int first, int* last) {
  if (first < 0 || first >= song.bar_count) return false;
  *last = std::min(*last, song.bar_count - 1);
  if (*last < first) {
    CSongData::ReportError(0);
    return false;
  }
  return true;
}

// Writes taken beats over the bars from `target` on.
void PutBars(CSongData& song, const std::vector<BeatCopy>& beats, int target) {
  const int b0 = target * song.beats_per_bar;
  for (size_t i = 0; i < beats.size(); ++i) {
    const int b = b0 + static_cast<int>(i);
    song.chords[b] = beats[i].chord;
    song.bass_first[b] = beats[i].bass_first;
    song.bass_second[b] = beats[i].bass_second;
    song.cells[2 * b] = beats[i].cells[0];
    song.cells[2 * b + 1] = beats[i].cells[1];
  }
}

}  // namespace

void CSongData::CopyBeat(int to, int from) {
  if (to < 0 || from < 0 || to >= kSongMaxBeats || from >= kSongMaxBeats || to == from) return;
  chords[to] = chords[from];
  bass_first[to] = bass_first[from];
  bass_second[to] = bass_second[from];
  cells[2 * to] = cells[2 * from];
  cells[2 * to + 1] = cells[2 * from + 1];
}

// ---------------------------------------------------------------------------

void CSongData::ClearBar(int bar, bool with_chords) {
  if (bar < 0 || beats_per_bar <= 0) return;
  const long long b0 = static_cast<long long>(bar) * beats_per_bar;
  if (b0 >= kSongMaxBeats) return;
  int last_pitch = NoteSlotRest;
  for (int i = 0; i < beats_per_bar && b0 + i < kSongMaxBeats; ++i) {
    const int b = static_cast<int>(b0 + i);
    if (with_chords) {
      SetField(chords[b].first, 8, key_tonic);
      std::memset(chords[b].second, 0, 8);
    }
    for (int h = 0; h < 2; ++h) {
      for (int s = 0; s < 3; ++s)
        if (IsPitch(cells[2 * b + h].slot[s])) last_pitch = cells[2 * b + h].slot[s];
      ClearCell(2 * b + h);
    }
  }
  const long long next = (b0 + beats_per_bar) * 2;
  if (next < kSongMaxCells && cells[next].slot[0] == NoteSlotHold) cells[next].slot[0] = last_pitch;
  UpdatePitchRange(-1);
}

void CSongData::ClearNotes(int first, int last) {
  if (!BarRange(*this, first, &last)) return;
  for (int b = first; b <= last; ++b) ClearBar(b, false);
}

void CSongData::ClearLyrics(int first, int last) {
  if (!BarRange(*this, first, &last)) return;
  const int c0 = first * 2 * beats_per_bar;
  const int c1 = std::min(kSongMaxCells, (last + 1) * 2 * beats_per_bar);
  for (int c = c0; c < c1; ++c) std::memset(cells[c].lyric, 0, sizeof cells[c].lyric);
}

bool CSongData::SetBarCount(int n) {
  if (n < 0 || beats_per_bar <= 0 || n > kSongMaxBeats / beats_per_bar) {
    ReportError(0);
    return false;
  }
  const int old_beats = SongBeats();
  const int new_beats = n * beats_per_bar;
  if (new_beats < old_beats) {
    for (int b = new_beats; b < old_beats; ++b) {
      SetField(chords[b].first, 8, "----");
      std::memset(chords[b].second, 0, 8);
    }
  } else if (new_beats > old_beats) {
    // The song goes on with the chord that followed its last chord the
    // previous time that chord was played.
    std::string fill = FieldText(key_tonic, sizeof key_tonic);
    if (old_beats > 0) {
      const int L = old_beats - 1;
      const ChordCell& last = chords[L];
      if (last.second[0] != 0 && !FieldsEqual(last.second, last.first, 8)) {
        fill = FieldText(last.second, 8);
      } else {
        const std::string candidate = FieldText(last.first, 8);
        bool found = false;
        for (int i = L - 1; i >= 0 && !found; --i) {
          if (chords[i].second[0] != 0 || FieldText(chords[i].first, 8) != candidate) continue;
          for (int j = i + 1; j < L && !found; ++j) {
            for (int h = 0; h < 2 && !found; ++h) {
              const char* field = h == 0 ? chords[j].first : chords[j].second;
              if (h == 1 && field[0] == 0) continue;
              const std::string name = FieldText(field, 8);
              if (name != candidate && name != "Skip") {
                fill = name;
                found = true;
              }
            }
          }
        }
      }
    }
    for (int b = old_beats; b < new_beats; ++b) {
      SetField(chords[b].first, 8, fill);
      std::memset(chords[b].second, 0, 8);
      ClearCell(2 * b);
      ClearCell(2 * b + 1);
    }
  }
  bar_count = n;
  return true;
}

bool CSongData::InsertBars(int first, int last) {
  const long long span = static_cast<long long>(last) - first + 1;
  if (span < 1 || span > kSongMaxBeats || first < 0 || first > bar_count) {
    ReportError(0);
    return false;
  }
  const int n = static_cast<int>(span);
  const int old_count = bar_count;
  if (!SetBarCount(old_count + n)) return false;
  const int bpb = beats_per_bar;
  for (int bar = old_count - 1; bar >= first; --bar)
    for (int i = 0; i < bpb; ++i) CopyBeat((bar + n) * bpb + i, bar * bpb + i);
  for (int bar = first; bar <= last; ++bar) {
    ClearBar(bar, true);
    const int c0 = bar * 2 * bpb;
    for (int c = c0; c < c0 + 2 * bpb; ++c) std::memset(cells[c].lyric, 0, sizeof cells[c].lyric);
  }
  return true;
}

bool CSongData::InsertBarCopies(int first, int last, int target) {
  const int n = (first >= 0 && last >= first && last < bar_count) ? last - first + 1 : 0;
  if (n < 1 || target < 0 || target > bar_count) {
    ReportError(0);
    return false;
  }
  const int bpb = beats_per_bar;
  // The source bars are taken before anything moves, so a target inside the
  // range copies the bars as they were.
  const std::vector<BeatCopy> source = TakeBars(*this, first, n);
  const int old_count = bar_count;
  if (!SetBarCount(old_count + n)) return false;
  for (int bar = old_count - 1; bar >= target; --bar)
    for (int i = 0; i < bpb; ++i) CopyBeat((bar + n) * bpb + i, bar * bpb + i);
  PutBars(*this, source, target);
  return true;
}

bool CSongData::OverwriteBars(int first, int last, int target) {
  const int n = (first >= 0 && last >= first && last < bar_count) ? last - first + 1 : 0;
  if (n < 1 || target < 0 || target > bar_count ||
      beats_per_bar <= 0 || target + n > kSongMaxBeats / beats_per_bar) {
    ReportError(0);
    return false;
  }
  const std::vector<BeatCopy> source = TakeBars(*this, first, n);
  // The copies replace the bars from the target on; the song grows only when
  // they reach past its end.
  if (target + n > bar_count && !SetBarCount(target + n)) return false;
  PutBars(*this, source, target);
  return true;
}

void CSongData::DeleteBars(int first, int last) {
  if (!BarRange(*this, first, &last)) return;
  const int n = last - first + 1;
  const int bpb = beats_per_bar;
  for (int bar = last + 1; bar < bar_count; ++bar)
    for (int i = 0; i < bpb; ++i) CopyBeat((bar - n) * bpb + i, bar * bpb + i);
  SetBarCount(bar_count - n);
}

void CSongData::LongHoldRule(int cell) {
  if (cell < 0 || cell >= kSongMaxCells || cells[cell].slot[0] != NoteSlotHold) return;
  auto both_holds = [this](int k) {
    return cells[k].slot[0] == NoteSlotHold && cells[k].slot[1] == NoteSlotHold;
  };
  int begin = cell - 1;
  while (begin > 0 && both_holds(begin)) --begin;
  if (begin < 0) begin = 0;
  int count = 1;
  for (int k = begin + 1; k < kSongMaxCells && both_holds(k); ++k) ++count;
  if (count > 8) cells[cell].slot[0] = NoteSlotRest;
}

void CSongData::CopyBar(int target, int source) {
  const int bpb = beats_per_bar;
  if (target < 0 || source < 0 || bpb <= 0 || target >= kSongMaxBeats / bpb ||
      source >= kSongMaxBeats / bpb)
    return;
  for (int i = 0; i < bpb; ++i) {
    const int tb = target * bpb + i, sb = source * bpb + i;
    for (int half = 0; half < 2; ++half) {
      int root, type, key, bass;
      GetChord(source, i, &root, &type, &key, &bass, half);
      SetChord(target, i, root, type, 1, bass < 0 ? 0 : bass, half == 1);
    }
    cells[2 * tb] = cells[2 * sb];
    cells[2 * tb + 1] = cells[2 * sb + 1];
  }
  LongHoldRule(target * 2 * bpb);
  const int next = (target + 1) * 2 * bpb;
  if (next < kSongMaxCells && cells[next].slot[0] == NoteSlotHold) cells[next].slot[0] = NoteSlotRest;
}

void CSongData::AppendFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  if (!in || !std::filesystem::is_regular_file(file, ec)) return;
  in.close();
  int bars = 0, bpb = 4, key = 0, metre = 0;
  bool read_ok = false;
  std::unique_ptr<CSongData> other = LoadFromFile(file, &bars, &bpb, &key, &metre, &read_ok);
  if (!read_ok) return;  // the reader has shown why
  if (other->beats_per_bar != beats_per_bar) {
    ReportError(5);
    return;
  }
  const int add = other->bar_count;
  if (add <= 0) return;
  if (bar_count + add > kSongMaxBeats / beats_per_bar) {
    ReportError(0);
    return;
  }
  const int per_bar = beats_per_bar;
  for (int bar = 0; bar < add; ++bar) {
    const int to_bar = bar_count;
    bar_count += 1;
    for (int i = 0; i < per_bar; ++i) {
      const int tb = to_bar * per_bar + i, sb = bar * per_bar + i;
      chords[tb] = other->chords[sb];
      bass_first[tb] = other->bass_first[sb];
      bass_second[tb] = other->bass_second[sb];
      cells[2 * tb] = other->cells[2 * sb];
      cells[2 * tb + 1] = other->cells[2 * sb + 1];
    }
  }
  UpdatePitchRange(-1);
}

namespace {
void SetLastCellRest(NoteCell& cell) {
  cell.slot[0] = NoteSlotRest;
  cell.slot[1] = NoteSlotHold;
  cell.slot[2] = NoteSlotHold;
  std::memset(cell.lyric, 0, sizeof cell.lyric);
}
}  // namespace

void CSongData::DeleteBeat(int bar, int beat) {
  if (bar < 0 || bar >= bar_count || beat < 0 || beat >= beats_per_bar) return;
  const int b = bar * beats_per_bar + beat;
  const int n = SongCells();
  const int beats = SongBeats();
  if (b >= beats) return;
  for (int times = 0; times < 2; ++times) {
    for (int c = 2 * b; c + 1 < n; ++c) cells[c] = cells[c + 1];
    SetLastCellRest(cells[n - 1]);
  }
  if (cells[2 * b].slot[0] == NoteSlotHold) cells[2 * b].slot[0] = NoteSlotRest;
  for (int j = b; j + 1 < beats; ++j) {
    chords[j] = chords[j + 1];
    bass_first[j] = bass_first[j + 1];
    bass_second[j] = bass_second[j + 1];
  }
}

void CSongData::DeleteEighth(int bar, int eighth) {
  if (bar < 0 || bar >= bar_count || eighth < 0 || eighth >= 2 * beats_per_bar) return;
  const int c = bar * 2 * beats_per_bar + eighth;
  const int n = SongCells();
  const int beats = SongBeats();
  if (c >= n) return;
  for (int k = c; k + 1 < n; ++k) cells[k] = cells[k + 1];
  SetLastCellRest(cells[n - 1]);
  const int d = c / 2;
  const bool first_half = (c & 1) == 0;
  for (int k = d + 1; k < beats; ++k) {
    ChordCell& p = chords[k - 1];
    ChordCell& q = chords[k];
    if (first_half) {
      if (p.second[0] != 0) std::memcpy(p.first, p.second, 8);
      if (FieldsEqual(q.first, p.first, 8))
        std::memset(p.second, 0, 8);
      else
        std::memcpy(p.second, q.first, 8);
      bass_first[k - 1] = bass_second[k - 1];
      bass_second[k - 1] = bass_first[k];
    } else {
      if (FieldsEqual(q.first, p.first, 8))
        std::memset(p.second, 0, 8);
      else
        std::memcpy(p.second, q.first, 8);
      if (q.second[0] != 0) std::memcpy(q.first, q.second, 8);
      bass_second[k - 1] = bass_first[k];
      bass_first[k] = bass_second[k];
    }
  }
}

void CSongData::RemoveSkipBeats() {
  int deleted = 0;
  for (int bar = bar_count - 1; bar >= 0; --bar)
    for (int beat = beats_per_bar - 1; beat >= 0; --beat) {
      const int b = bar * beats_per_bar + beat;
      if (b < kSongMaxBeats && FieldIs(chords[b].first, 8, "Skip")) {
        DeleteBeat(bar, beat);
        ++deleted;
      }
    }
  if (deleted >= beats_per_bar) SetBarCount(bar_count - deleted / beats_per_bar);
}

// ---------------------------------------------------------------------------
// Transposition

int CSongData::TransposePitch(int value, int s) {
  if (value < 0) return value;
  return FoldPitch(static_cast<long long>(value) + s);
}

void CSongData::TransposeChordName(char* name, int s) {
  const std::string text = FieldText(name, 8);
  if (text.empty() || text == "Skip") return;
  const size_t root_len = (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) ? 2 : 1;
  const std::string root = text.substr(0, root_len);
  const int pc = ChordRootIndex(root.c_str());
  if (pc < 0) ReportError(0);
  const int r = static_cast<int>(((static_cast<long long>(pc) + s) % 12 + 12) % 12);
  SetField(name, 8, std::string(ChordRootNameTable[r]) + text.substr(root_len));
}

void CSongData::TransposeBars(int first, int last, int s) {
  if (!BarRange(*this, first, &last)) return;
  const int b0 = first * beats_per_bar;
  const int b1 = std::min(kSongMaxBeats, (last + 1) * beats_per_bar);
  for (int c = 2 * b0; c < 2 * b1; ++c)
    for (int k = 0; k < 3; ++k) cells[c].slot[k] = TransposePitch(cells[c].slot[k], s);
  for (int b = b0; b < b1; ++b) {
    const uint8_t first_byte = static_cast<uint8_t>(chords[b].second[0]);
    if (first_byte == 0xCC || first_byte == 0xCD) std::memset(chords[b].second, 0, 8);
    TransposeChordName(chords[b].first, s);
    TransposeChordName(chords[b].second, s);
  }
  UpdatePitchRange(-1);
}

void CSongData::TransposeNotes(int s, bool lyric_only) {
  const int n = SongCells();
  for (int c = 0; c < n; ++c)
    for (int k = 0; k < 3; ++k)
      if (!lyric_only || cells[c].lyric[k][0] != 0)
        cells[c].slot[k] = TransposePitch(cells[c].slot[k], s);
  UpdatePitchRange(-1);
}

void CSongData::TransposeChords(int s) {
  const int beats = SongBeats();
  for (int b = 0; b < beats; ++b) {
    TransposeChordName(chords[b].first, s);
    TransposeChordName(chords[b].second, s);
  }
}

void CSongData::TransposeSong(int s) {
  TransposeChords(s);
  TransposeNotes(s, false);
  if (key_index < 0 || key_index >= kKeySignatureCount) return;
  const KeySignature& old_key = KeySignatureTable[key_index];
  const int tonic = static_cast<int>(((static_cast<long long>(old_key.tonic) + s) % 12 + 12) % 12);
  for (int k = 0; k < kKeySignatureCount; ++k)
    if (KeySignatureTable[k].mode == old_key.mode && KeySignatureTable[k].tonic == tonic) {
      key_index = k;
      break;
    }
  // The tonic chord of new bars follows the new key.
  SetKeyName(key_index);
}

void CSongData::ChangeKey(int from, int to) {
  if (from < 0 || from >= kKeySignatureCount || to < 0 || to >= kKeySignatureCount) {
    ReportError(0);
    return;
  }
  const int s = KeyDistance(from, to);
  TransposeChords(s);
  TransposeNotes(s, false);
  key_index = to;
  SetKeyName(to);
}

// ---------------------------------------------------------------------------
// Mirror edit

void CSongData::MirrorChord(char* text) {
  const std::string name = FieldText(text, 8);
  if (name.empty()) return;
  const size_t root_len = (name.size() > 1 && name[1] == '#') ? 2 : 1;
  const std::string root = name.substr(0, root_len);
  int r = 0;
  for (int i = 0; i < 12; ++i)
    if (root == ChordRootNameTable[i]) {
      r = i;
      break;
    }
  const std::string rest = name.substr(root_len);
  for (int row = 0; row < CChordControl::GetTypeCount(); ++row) {
    if (rest != CChordControl::GetTypeName(row)) continue;
    std::string suffix;
    int offset = 0;
    CChordControl::GetMirrorChord(row, &suffix, &offset);
    const int nr = ((offset - r) % 12 + 12) % 12;
    SetField(text, 8, std::string(ChordRootNameTable[nr]) + suffix);
    return;
  }
}

void CSongData::InvertMelodyAndChords(int first, int end) {
  if (first < 0 || end <= first) {
    ReportError(0);
    return;
  }
  end = std::min(end, bar_count);
  if (first >= end) return;
  int lo, hi;
  GetPitchRange(&lo, &hi, first, end);
  const int middle = (lo + hi) / 2;
  const int axis = middle - middle % 12;
  const int b0 = first * beats_per_bar;
  const int b1 = std::min(kSongMaxBeats, end * beats_per_bar);
  for (int b = b0; b < b1; ++b) {
    for (int h = 0; h < 2; ++h) {
      char* field = h == 0 ? chords[b].first : chords[b].second;
      if (field[0] != 0 && !FieldIs(field, 8, "Skip")) MirrorChord(field);
    }
    for (int c = 2 * b; c < 2 * b + 2; ++c)
      for (int k = 0; k < 3; ++k)
        if (cells[c].slot[k] > 0) cells[c].slot[k] = FoldPitch(2 * axis - cells[c].slot[k]);
  }
  int lo2, hi2;
  GetPitchRange(&lo2, &hi2, first, end);
  int d = middle - (lo2 + hi2) / 2;
  while (d > 7) {
    TransposeBars(first, end - 1, 12);
    d -= 12;
  }
  UpdatePitchRange(-1);
}

// ---------------------------------------------------------------------------
// Undo

void CSongData::TakeUndoSnapshot() {
  undo_image_.resize(kSongImageSize);  // the room is kept from snapshot to snapshot
  Serialize(undo_image_.data(), beats_per_bar, key_index, metre_kind);
}

void CSongData::Undo() {
  if (undo_image_.size() < kSongImageSize) return;
  if (!ApplyImageBlocks(undo_image_.data(), undo_image_.size(), true)) {
    ReportError(0);
    return;
  }
  SetKeyName(key_index);
  UpdatePitchRange(-1);
}
