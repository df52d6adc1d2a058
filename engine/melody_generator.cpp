// The melody generator: one part's notes over a chord list, and the filters
// that fit each raw pitch to the chord, the scale and the part's range.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/melody.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr int kMaxFitAttempts = 800;
constexpr int kMaxRestPiece = ticks::kBar;
constexpr int kMaxStepsDown = 10000;
constexpr int kFlamencoScale = 21;

int Weight(const char* weights, int pitch) { return ToneDigit(weights, PitchClassOf(pitch)); }

bool Near(int x, int p1) { return std::abs(x - p1) <= 3; }

// Fills the rest of a chord with rests of at most 384 ticks.
void FillWithRests(EventList* out, int remaining) {
  MelodyState& m = Melody();
  while (remaining > 0) {
    const int piece = std::min(remaining, kMaxRestPiece);
    out->AppendNote(piece, 0);
    m.last_length_code = piece / ticks::kSixteenth;
    remaining -= piece;
  }
}

// Growing per-chord memories of note lengths and intervals.
struct ChordMemory {
  std::vector<std::vector<int32_t>> rows;
  explicit ChordMemory(int chords) : rows(static_cast<size_t>(std::max(chords, 0))) {}
  void Put(int chord, int value) { rows[static_cast<size_t>(chord)].push_back(value); }
  // `missing` when the chord held fewer notes.
  int Get(int chord, int note, int missing) const {
    const auto& row = rows[static_cast<size_t>(chord)];
    return note < static_cast<int>(row.size()) ? row[static_cast<size_t>(note)] : missing;
  }
};

constexpr int kNoPrevious = 256;
constexpr int kRestInterval = 257;

}  // namespace

ChordBlock ChordBlockOfMarker(const ComposeEvent& e) {
  ChordEntry entry;
  entry.length = static_cast<uint16_t>(std::clamp(e.length, 0, 0xFFFF));
  std::memcpy(entry.code, e.chord_code, 4);
  const char bass[3] = {e.bass_text[0], e.bass_text[1], 0};
  ChordBlock block(entry, bass[0] != '\0' ? bass : nullptr);
  block.length = e.length;
  return block;
}

// ---- Filters ----------------------------------------------------------------

int OctaveLimit(int pitch, int p1) {
  if (pitch == 0 || p1 == 0) return pitch;
  if (pitch - p1 > 12) return pitch - 12;
  if (p1 - pitch > 12) return pitch + 12;
  return pitch;
}

int RequiredWeight(int length, int c, int channel) {
  const int d = MelodyPart(channel).dissonance;
  if (c == 1 && length == ticks::kSixteenth) return GneRandomRange(d, 9);
  if (d < 4) return GneRandomRange(4, 9);
  return GneRandomRange(std::min(d, 9), 9);
}

int AvoidRepeatedPitch(int n, int p1, int* need, int length, int bar_position) {
  if (n != p1) return n;
  if (length == ticks::kQuarter && bar_position != 0) return 0;
  *need = std::min(*need + 1, 9);
  return n;
}

int StepAwayFromPrevious(int n, int p1, int channel) {
  const PartRecord& part = MelodyPart(channel);
  int h;
  if (p1 == 0) {
    h = GneRandomRange(part.range_low, part.range_high);
  } else if (p1 < n) {
    h = n + 1 <= part.range_high ? n + 1 : n;
  } else {
    h = n - 1 >= part.range_low ? n - 1 : n;
  }
  return std::clamp(h, 0, 127);
}

bool LimitLeap(int* h, int p1, int channel) {
  if (p1 == 0) return false;
  if (p1 < 0) ShowErrorByCode(melody_error::kLeapHistory);
  if (std::abs(*h - p1) < 24) return false;
  bool stop;
  if (*h >= 70 && *h <= 110) {
    switch (RestLevelOf(channel)) {
      case 2:
        stop = GneRandomRange(1, 7) == 1;
        break;
      case 3:
        stop = GneRandomRange(1, 5) == 1;
        break;
      case 4:
        stop = GneRandomRange(1, 2) == 1;
        break;
      case 5:
      case 6:
        stop = true;
        break;
      default:
        stop = false;
        break;
    }
  } else {
    stop = true;
  }
  if (stop) *h = p1;
  return stop;
}

int FitPitchToWeights(int n, const char* weights, int length, int c, int p1, int bar_position,
                      int channel) {
  MelodyState& m = Melody();
  const PartRecord& part = MelodyPart(channel);
  for (int r = 1; r <= kMaxFitAttempts; ++r) {
    if (n < 0) ShowErrorByCode(melody_error::kNegativePitch);
    if (n <= 0) return 0;
    if (weights[4 + PitchClassOf(n)] < '0' && m.weight_error_shown == 0) {
      m.weight_error_shown = 1;
      ShowErrorByCode(melody_error::kWeightText);
    }
    int need = RequiredWeight(length, c, channel);
    if (r % 100 == 0) need -= r / 100;
    n = AvoidRepeatedPitch(n, p1, &need, length, bar_position);
    if (n == 0) return 0;
    if (Weight(weights, n) < need) {
      int h = StepAwayFromPrevious(n, p1, channel);
      if (LimitLeap(&h, p1, channel)) return h;
      n = h;
      if (n == 0) return 0;
      if (n >= part.range_high) {
        n -= 11;
      } else if (n <= part.range_low) {
        n += 11;
      }
    }
    if (Weight(weights, n) >= need) return n;
  }
  return 0;
}

int ApplyTension(int pitch, int bar_position, const ChordBlock& block, int p1, int length,
                 int channel) {
  const PartRecord& part = MelodyPart(channel);
  const int o = (pitch / 12) * 12;
  if (part.tension == 2) {
    if (bar_position == 0 || GneRandomRange(1, 5) == 1) {
      const int candidates[] = {o + (block.root + 14) % 12, o + block.seventh % 12,
                                o + (block.fifth + 2) % 12};
      for (int x : candidates)
        if (Near(x, p1)) return x;
    }
    return pitch;
  }
  if (part.tension == 1 && length <= ticks::kQuarter) {
    if ((PitchClassOf(p1) == 3 || PitchClassOf(p1) == 10) && p1 > 24 &&
        GneRandomRange(1, 2) == 1)
      return p1 - 1;
    if (GneRandomRange(1, part.dissonance) == 1) {
      const bool minor_seventh = block.seventh != 0 &&
                                 PitchClassOf(pitch) == block.seventh % 12 &&
                                 block.seventh % 12 == (block.root + 10) % 12;
      if (!minor_seventh) {
        for (int x : {o + 10, o + 8, o + 3})
          if (Near(x, p1)) return x;
      }
    }
  }
  return pitch;
}

int RestByDensity(int pitch, int channel) {
  const int level = RestLevelOf(channel);
  const int a = MelodyPart(channel).algorithm;
  if ((a == 3 || a == 4) && level != 1) {
    if (GneRandomRange(1, 10 - level) == 1) return 0;
    if (GneRandomRange(1, 10 - level) == 2) return 0;
  } else if (a == 1 && level != 1) {
    if (GneRandomRange(1, 2 * (10 - level)) == 1) return 0;
  }
  if (level == 6) {
    if (GneRandomRange(1, 7) == 1) return 0;
  } else if (level >= 7) {
    if (GneRandomRange(1, 3) == 1) return 0;
  }
  if (level == 8 && GneRandomRange(1, 2) == 1) return 0;
  return pitch;
}

int FlamencoAdjust(int n, const ChordBlock& block, int p1, int p2) {
  if (n <= 0) return n;
  const int o = (n / 12) * 12;
  const int root = block.root % 12;
  if (PitchClassOf(n) != 4 && GneRandomRange(1, 2) == 1) {
    int d;
    if (PitchClassOf(p1) == 5 && p1 < p2 && n < p1) {
      d = 3;
    } else if ((root == 4 && PitchClassOf(p1) != 4) || root == 9) {
      d = 3;
    } else {
      d = 4;
    }
    if (GneRandomRange(1, d) == 1) n = o + 4;
  }
  const int pc = PitchClassOf(n);
  if (pc == 7 || pc == 8) {
    const int tones[] = {block.root % 12, block.third % 12, block.fifth % 12, block.seventh % 12};
    const bool has7 = std::find(std::begin(tones), std::end(tones), 7) != std::end(tones);
    const bool has8 = std::find(std::begin(tones), std::end(tones), 8) != std::end(tones);
    if (has7) {
      n = o + 7;
    } else if (has8 || p1 == 0) {
      n = o + 8;
    } else if (n < p1) {
      n = o + 7;
    } else if (n > p1) {
      n = o + 8;
    }
  }
  return n;
}

bool SplitLength(int total, int count, int unit, int* parts) {
  if (count <= 0 || unit <= 0 || total / unit < count) return false;
  for (int tries = 0; tries < 101; ++tries) {
    int c = total / unit - count + 1;
    int sum = 0;
    for (int i = 0; i < count; ++i) {
      const int m = GneRandomRange(1, c);
      parts[i] = m * unit;
      sum += parts[i];
      c += 1 - m;
    }
    if (sum == total) return true;
  }
  // The drawn parts stand; the last takes what the others leave.
  int others = 0;
  for (int i = 0; i + 1 < count; ++i) others += parts[i];
  parts[count - 1] = total - others;
  return true;
}

bool SplitIntoFigure(int channel, const MelodyHistory& history, int n, int length,
                     MelodyFigure* figure) {
  const StyleRecord& style = CurrentStyle();
  const PartRecord& part = MelodyPart(channel);
  figure->count = 0;
  if (n < 12 || length < ticks::kQuarter) return false;
  const int x = style.melody_intervals[1];
  const int y = style.melody_intervals[2];
  const int p1 = history.p1;
  auto make = [figure](int count, const int* pitches, const int* lengths) {
    figure->count = count;
    for (int i = 0; i < count; ++i) {
      figure->pitches[i] = pitches[i];
      figure->lengths[i] = lengths[i];
    }
    return true;
  };
  int lengths[3];
  if (length >= ticks::kHalf) {
    if (p1 < 12) {
      if ((GneRandomRange(1, 3) == 1 || GneRandomRange(0, part.dissonance) == 1) &&
          !(style.key_mode == 1 && GneRandomRange(1, 2) == 1)) {
        if (!SplitLength(length, 3, ticks::kEighth, lengths)) return false;
        const int pitches[] = {n, n - 1, n};
        return make(3, pitches, lengths);
      }
    } else if (std::abs(p1 - n) == 4 && GneRandomRange(0, 200 - x - y) < 100 - x) {
      if (!SplitLength(length, 2, ticks::kEighth, lengths)) return false;
      const int pitches[] = {(p1 + n) / 2, n};
      return make(2, pitches, lengths);
    }
    return false;
  }
  const bool fine = length == ticks::kQuarter && style.basic_beat != 3 && DensityFactorOf(channel) >= 80;
  if (p1 >= 12 && std::abs(p1 - n) == 4) {
    const int h = (100 - x) / 2;
    if (GneRandomRange(0, h - y + 100) < h) {
      const int unit = fine ? ticks::kSixteenth : ticks::kEighth;
      if (length % unit == 0 && SplitLength(length, 2, unit, lengths)) {
        const int pitches[] = {(p1 + n) / 2, n};
        return make(2, pitches, lengths);
      }
    }
  }
  if (fine) {
    const int r = GneRandomRange(1, 9);
    if (r <= 2 && SplitLength(ticks::kQuarter, 2, ticks::kSixteenth, lengths)) {
      const int pitches[] = {n, n};
      return make(2, pitches, lengths);
    }
    if (r == 3 && SplitLength(ticks::kQuarter, 3, ticks::kSixteenth, lengths)) {
      const int pitches[] = {n, n, n};
      return make(3, pitches, lengths);
    }
  }
  return false;
}

int FindFirstBlockOfLength(const EventList& list, int length) {
  for (int i = 0; i < list.count(); ++i)
    if (list[i].length == length) return i;
  return -1;
}

bool IsTriadToneOfEntry(int pitch, const uint8_t* entry) {
  if (ComposeMode() == kSongRenderingMode || entry == nullptr || entry[0] == 0) return false;
  const ChordBlock block(entry, nullptr);
  const int pc = PitchClassOf(pitch);
  return pc == block.root % 12 || pc == block.third % 12 || pc == block.fifth % 12;
}

void StepDownToStrongTone(int* pitch, const char* weights) {
  if (*pitch == 0) return;
  int p = *pitch;
  for (int steps = 0; steps < kMaxStepsDown; ++steps) {
    --p;
    if (p <= 0) {
      *pitch = 0;
      return;
    }
    if (Weight(weights, p) >= ToneLevel8) break;
  }
  *pitch = p;
}

// ---- The generator -----------------------------------------------------------

namespace {

// What one note of a chord is chosen against.
struct NoteContext {
  int channel;
  const ChordBlock& block;
  const char* weights;
  int chord_length;  // ticks of the chord
  int pos;           // ticks into the chord
  int q;             // ticks into the bar
  int c;             // the last length code
};

// The raw pitch of the part's algorithm, fitted to the chord and the part's range; the melody
// table may shorten the note.
int AlgorithmPitch(const PartRecord& part, const MelodyHistory& h, const NoteContext& n,
                   const int* xs, const int* ys, int points, int* len) {
  const int channel = n.channel;
  const ChordBlock& block = n.block;
  int pitch = 0;
  switch (part.algorithm) {
    case 1:
      pitch = points > 0 ? LagrangeValue(xs, ys, points, n.q) : 0;
      pitch = FitPitchToWeights(pitch, n.weights, *len, n.c, h.p1, n.q, channel);
      FitIntoPartRange(channel, &pitch);
      pitch = ApplyTension(pitch, n.q, block, h.p1, *len, channel);
      FitIntoPartRange(channel, &pitch);
      pitch = SnapToWeightedToneInRange(block, pitch, h.p1 > pitch ? +1 : -1, ScaleToneLevel,
                                        channel);
      break;
    case 2:
      pitch = DirectionMethodPitch(h.p1, h.p2, n.weights, n.pos, channel, part.algorithm_param,
                                   block);
      // The rule tree proposes strong tones; a candidate it could not make
      // strong (its draws gave up) is fitted like the random walk's.
      if (part.algorithm_param == 0 || Weight(n.weights, pitch) < DirectionAcceptWeight(n.pos))
        pitch = FitPitchToWeights(pitch, n.weights, *len, n.c, h.p1, n.q, channel);
      FitIntoPartRange(channel, &pitch);
      if (GneRandomRange(1, 8) == 1) pitch = 0;
      pitch = ApplyTension(pitch, n.q, block, h.p1, *len, channel);
      FitIntoPartRange(channel, &pitch);
      break;
    case 3:
    case 4:
      pitch = FluctuationPitch(h.p1, n.c, n.weights, *len, channel);
      pitch = FitPitchToWeights(pitch, n.weights, *len, n.c, h.p1, n.q, channel);
      FitIntoPartRange(channel, &pitch);
      pitch = ApplyTension(pitch, n.q, block, h.p1, *len, channel);
      FitIntoPartRange(channel, &pitch);
      break;
    case 5:
      pitch = LeapControlPitch(h.p1, n.weights, *len, n.pos, block, n.c, h.p2, n.chord_length,
                               channel);
      pitch = ApplyTension(pitch, n.q, block, h.p1, *len, channel);
      FitIntoPartRange(channel, &pitch);
      break;
    case 6:
      pitch = MelodyTablePitch(h, block, n.pos, len, n.chord_length, channel);
      pitch = ApplyTension(pitch, n.q, block, h.p1, *len, channel);
      FitIntoPartRange(channel, &pitch);
      break;
    case 7:
      pitch = (part.range_high + part.range_low) / 2;
      break;
    default:
      ShowErrorByCode(melody_error::kAlgorithm);
      break;
  }
  return pitch;
}

// The rhythm and the intervals of the first chord of this length, taken over when the part
// repeats them (always, or at random).
void RepeatFirstChordOfLength(const PartRecord& part, const MelodyHistory& h, const NoteContext& n,
                              const EventList& chords, int i, int k, const ChordMemory& rhythm,
                              const ChordMemory& melody, int* len, int* pitch) {
  const int length = chords[i].length;
  if (part.rhythm_repeat == 2 || (part.rhythm_repeat == 1 && GneRandomRange(1, 2) == 1)) {
    const int j = FindFirstBlockOfLength(chords, length);
    if (j >= 0 && j < i) {
      *len = rhythm.Get(j, k, 0);
      if (*len <= 0) *len = n.chord_length - n.pos;
    }
  }
  if (part.melody_repeat == 2 || (part.melody_repeat == 1 && GneRandomRange(1, 2) == 1)) {
    const int j = FindFirstBlockOfLength(chords, length);
    const int d = (j >= 0 && j < i) ? melody.Get(j, k, kNoPrevious) : kNoPrevious;
    if (d == kRestInterval) {
      *pitch = 0;
    } else if (d != kNoPrevious) {
      const int channel = n.channel;
      int r = h.p1 != 0 ? h.p1 + d : 0;
      r = FitPitchToWeights(r, n.weights, *len, n.c, h.p1, n.q, channel);
      FitIntoPartRange(channel, &r);
      r = ApplyTension(r, n.q, n.block, h.p1, *len, channel);
      if (h.p1 != 0 && !n.block.IsChordTone(h.p1) && r != 0 && !n.block.IsTriadTone(r))
        n.block.NearestTriadTone(&r, +1);
      if (IsInPartRange(*pitch, channel)) *pitch = r;
    }
  }
}

// The last touches of a chosen pitch: the octave limit, syncopating rests, the part's range,
// the density's rests and the flamenco turns.
int FinishPitch(const PartRecord& part, const StyleRecord& style, const MelodyHistory& h,
                const ChordBlock& block, int channel, int pitch, int* rest_run) {
  if (part.algorithm != 5) pitch = OctaveLimit(pitch, h.p1);
  if (part.syncopation == 1 && GneRandomRange(1, 2) == 1 && *rest_run < 4) {
    if (pitch == h.p1) {
      pitch = 0;
      ++*rest_run;
    } else if (GneRandomRange(1, 4) == 1) {
      pitch = 0;
      ++*rest_run;
    } else {
      *rest_run = 0;
    }
  }
  if (!CheckPitchInPartRange(&pitch, channel)) pitch = 0;
  if (!(h.p1 != 0 && h.p2 == 0 && GneRandomRange(1, 4) != 1)) pitch = RestByDensity(pitch, channel);
  if (style.scale == kFlamencoScale) pitch = FlamencoAdjust(pitch, block, h.p1, h.p2);
  return pitch;
}

}  // namespace

int GenerateMelodyPart(int section, int channel, const EventList& chords, EventList* out,
                       int section_count, int no_ending) {
  MelodyState& m = Melody();
  const StyleRecord& style = CurrentStyle();
  const PartRecord& part = MelodyPart(channel);
  int xs[kContourPointCapacity] = {};
  int ys[kContourPointCapacity] = {};
  const int points = PrepareContour(channel, chords, xs, ys);
  const int pedal =
      (channel >= 0 && channel < kStyleChannelCount) ? style.mixer[channel].reserved[0] : 0;
  const int chord_count = chords.count();
  ChordMemory rhythm(chord_count);
  ChordMemory melody(chord_count);
  MelodyHistory h;
  int rest_run = 0;
  // Chords that do not fit the metre are reported once for the part, not once per chord.
  bool metre_reported = false;

  for (int i = 0; i < chord_count; ++i) {
    const ComposeEvent& event = chords[i];
    if (pedal != 0) {
      if (i > 0) out->AppendControl(0, 0);
      out->AppendControl(0, pedal);
    }
    const ChordBlock block = ChordBlockOfMarker(event);
    out->AppendChordMarker(block);
    int b_len = event.length;
    if (!metre_reported) metre_reported = CheckMelodyBlockLength(b_len);
    SwingBlockLength(&b_len, chords, i == chord_count - 1, channel);

    char code[5] = {};
    std::memcpy(code, event.chord_code, 4);
    char weights[kToneWeightTextSize];
    BuildToneWeights(code, weights);
    if (weights[0] == '\0') ShowErrorByCode(melody_error::kUndefined);

    const int bar = part.note_length == kRhythmBouncing ? b_len : BarLengthOfMetre();
    int pos = 0;  // in the chord
    int q = 0;    // in the bar
    int k = 0;
    while (pos < b_len) {
      int len = ChooseNoteLength(channel, q, bar, b_len, m.last_length_code);
      if (len <= 0) {
        // No length for the rest of the chord: it is silent, and the time is kept.
        FillWithRests(out, b_len - pos);
        break;
      }
      const NoteContext n{channel, block, weights, b_len, pos, q, m.last_length_code};
      int pitch = AlgorithmPitch(part, h, n, xs, ys, points, &len);
      RepeatFirstChordOfLength(part, h, n, chords, i, k, rhythm, melody, &len, &pitch);

      if (pos + len > b_len) len = b_len - pos;
      pos += len;
      q = q + len < bar ? q + len : 0;
      m.last_length_code = len / ticks::kSixteenth;
      pitch = FinishPitch(part, style, h, block, channel, pitch, &rest_run);

      MelodyFigure figure;
      if (part.algorithm == 6 && (style.scale == 1 || style.scale == 7) &&
          SplitIntoFigure(channel, h, pitch, len, &figure)) {
        for (int f = 0; f < figure.count; ++f) out->AppendNote(figure.lengths[f], figure.pitches[f]);
      } else {
        out->AppendNote(len, pitch);
      }

      rhythm.Put(i, len);
      melody.Put(i, h.p1 == 0 ? kNoPrevious : (pitch == 0 ? kRestInterval : pitch - h.p1));
      ++k;
      if (len == 0) ShowErrorByCode(melody_error::kZeroLength);
      h.p3 = h.p2;
      h.p2 = h.p1;
      h.p1 = pitch;

      if (no_ending == 0 && i == chord_count - 1 && pitch > 0 && block.IsChordTone(pitch)) {
        const bool last_section = section == section_count - 1 && pos > 0;
        if (last_section || b_len - pos > 288) {
          FillWithRests(out, b_len - pos);
          break;
        }
      }
    }
  }
  if (pedal != 0) out->AppendControl(0, 0);
  return 1;
}

void ComposeMelodyPhrases(int channel) {
  ComposeInformation& info = ComposeInfo();
  PartRecord& part = MutableMelodyPart(channel);
  const int saved = part.note_length;
  const int count = std::clamp(info.section_count, 0, kSectionCapacity);
  for (int i = 0; i < count; ++i) {
    if (i > count / 2 && part.note_length == 2) part.note_length = 1;
    const size_t s = static_cast<size_t>(i);
    GenerateMelodyPart(i, channel, info.section_chords[s], &info.melody_phrases[s], count, 0);
  }
  part.note_length = saved;
}
