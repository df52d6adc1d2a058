#include "accomp/riff_patterns.h"

#include <algorithm>

#include "accomp/pattern_common.h"
#include "accomp/pattern_walk.h"
#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/part_helpers.h"
#include "engine/tone_weights.h"
#include "style/engine_services.h"

using namespace accomp;

namespace {

constexpr int kHeldScanLimit = kRiffEntryCount;

// Raises a pitch by semitones until `fits`; at most an octave, else kept.
template <typename Fits>
int RaiseUntil(int pitch, Fits fits) {
  if (pitch <= 0) return pitch;
  for (int up = 0; up <= 12 && pitch + up <= 127; ++up) {
    if (fits(pitch + up)) return pitch + up;
  }
  return pitch;
}

int Sounding(const Tone& x) { return x.missing() ? 0 : x.pitch(); }

// Tone codes to tones; `importing` is the rendering of an imported song.
Tone RiffTone(int code, const BlockTones& t, bool second, bool importing) {
  switch (code) {
    case 0:
    case 1: return t.fifth - 12;
    case 2: return importing && second ? t.fifth - 12 : t.fifth - 10;
    case 3: return importing ? (second ? t.root : t.fifth - 10) : t.seventh - 12;
    case 4: return t.root;
    case 5: return importing ? t.third : t.root + 2;
    case 6: return t.third;
    case 7: return importing ? t.fifth : t.fifth - 2;
    case 8: return t.fifth;
    case 9: return importing && second ? t.fifth : t.fifth + 2;
    case 10: return importing ? t.root + 12 : t.seventh;
    case 11: return t.root + 12;
    default: return Tone();
  }
}

bool Importing() { return ComposeMode() == kSongRenderingMode; }

}  // namespace

int RiffToneA(int code, const ChordBlock& block) {
  return Sounding(RiffTone(code, BlockTones::Of(block), false, Importing()));
}

int RiffToneB(int code, const ChordBlock& block) {
  return Sounding(RiffTone(code, BlockTones::Of(block), true, Importing()));
}

bool RiffEntrySharesPitch(int code_a, int code_b, int pitch_a, int pitch_b,
                          const ChordBlock& block) {
  for (int code : {code_a, code_b}) {
    const int p = RiffToneA(code, block);
    if (p != 0 && (p == pitch_a || p == pitch_b)) return true;
  }
  return false;
}

int RiffDegreeTone(int degree, const ChordBlock& block) {
  const BlockTones t = BlockTones::Of(block);
  switch (degree) {
    case 1: return Sounding(t.root);
    case 2: return Sounding(t.root + 2);
    case 3: return Sounding(t.third);
    case 4: return Sounding(t.fifth - 2);
    case 5: return Sounding(t.fifth);
    case 6: return Sounding(t.fifth + 2);
    case 7: return Sounding(t.seventh);
    case 11: return Sounding(t.root + 12);
    case 12: return Sounding(t.root + 14);
    case 13: return Sounding(t.third + 12);
    case 14: return Sounding(t.fifth + 10);
    case 15: return Sounding(t.fifth + 12);
    case 16: return Sounding(t.fifth + 14);
    case 17: return Sounding(t.seventh + 12);
    case 18: return Sounding(t.root + 12);
    default: return 0;
  }
}

void GenerateRiffPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  const StyleRecord& style = CurrentStyle();
  const int harmony_density = style.density[kHarmonyChannel];
  int step = 48;
  if (TripletGrid()) {
    step = 32;
  } else if (style.drum_pattern == 2 || style.drum_pattern == 8 || style.drum_pattern == 12 ||
             style.drum_pattern == 13) {
    step = 24;
  }
  if (harmony_density >= 120) step = 24;
  int degrees[kRiffDegreeCount];
  MakeRandomRiffNotes(degrees);
  if (harmony_density == 120) {
    for (int& d : degrees) {
      const bool thinned = d == 2 || d == 4 || d == 6 || d == 7 || d == 12 || d == 14 ||
                           d == 16 || d == 17;
      if (thinned && GneRandomRange(1, 3) != 1) d = 0;
    }
  }
  const int cycle = GneRandomRange(1, 2) * 384;
  int sum = 0;
  int position = 0;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int count) {
    sum += block.length;
    if (sum >= cycle) {
      sum = block.length;
      position = 0;
    }
    const int n = block.length / step;
    for (int k = 0; k < n; ++k) {
      // A block longer than the riff starts it again.
      int pitch = RiffDegreeTone(degrees[(position + k) % kRiffDegreeCount], block);
      // The song's last block opens on its root where the riff rests.
      if (pitch == 0 && k == 0 && i == count - 1) pitch = RiffDegreeTone(1, block);
      if (pitch > 0) e.Note(pitch, 64, 15);
      e.Wait(step);
    }
    position = (position + n) % kRiffDegreeCount;
  });
}

namespace {

// Riff cells as stored: 32 entries of (length, tone A, tone B).
struct RiffCells {
  int32_t cells[kRiffRhythmCells] = {};

  int length(int entry) const { return cells[3 * entry]; }
  int tone_a(int entry) const { return cells[3 * entry + 1]; }
  int tone_b(int entry) const { return cells[3 * entry + 2]; }
  // The entry after `entry`: the first after the 32nd or at an end mark.
  int next(int entry) const {
    const int n = entry + 1;
    return n >= kRiffEntryCount || length(n) == 0 ? 0 : n;
  }
  // Steps an entry lasts: at least one.
  int steps(int entry) const { return std::max(1, length(entry)); }
  bool empty() const { return length(0) == 0; }
};

// The stored riff of the current style, read as signed bytes.
RiffCells StoredRiff() {
  RiffCells r;
  const uint8_t* bytes = CurrentStyle().riff;
  for (int i = 0; i < 96; ++i) r.cells[i] = static_cast<int8_t>(bytes[i]);
  return r;
}

// A fresh riff, also left in the current style for the parts after this one.
RiffCells FreshRiff() {
  RiffCells r;
  MakeRandomRiffRhythm(r.cells, CurrentStyle());
  uint8_t* bytes = CurrentStyle().riff;
  for (int i = 0; i < 96; ++i) bytes[i] = static_cast<uint8_t>(r.cells[i] & 0xFF);
  return r;
}

// The entry's two pitches in the block, raised to scale tones.
struct EntryPitches {
  int a = 0, b = 0;
};
EntryPitches PitchesOf(const RiffCells& riff, int entry, const ChordBlock& block) {
  EntryPitches p;
  const int code_a = riff.tone_a(entry), code_b = riff.tone_b(entry);
  if (code_a == -1) return p;
  p.a = RiffToneA(code_a, block);
  if (code_b != -1) p.b = RiffToneB(code_b, block);
  char weights[kToneWeightTextSize];
  BuildToneWeights(block.chord_code, weights);
  const auto scale = [&](int pitch) {
    return ToneDigit(weights, PitchClassOf(pitch)) >= ScaleToneLevel;
  };
  p.a = RaiseUntil(p.a, scale);
  p.b = RaiseUntil(p.b, scale);
  return p;
}

// Steps a code-41 note holds: up to the next entry that repeats one of its
// pitches, or to the block's end (T - used). At most the riff's 32 entries
// are looked at.
int HeldSteps(const RiffCells& riff, int entry, const EntryPitches& p, int used, int T,
              const ChordBlock& block) {
  int total = 0;
  int k = entry;
  for (int scanned = 0; scanned < kHeldScanLimit; ++scanned) {
    if (total + used >= T) return T - used;
    k = riff.next(k);
    total += riff.steps(k);
    if (RiffEntrySharesPitch(riff.tone_a(k), riff.tone_b(k), p.a, p.b, block)) return total;
  }
  return T - used;
}

int RiffVelocity(int low, int high, int base, int pitch) {
  const int v = GneRandomRange(low, high) + base;
  return pitch == 0 ? 0 : v;
}

}  // namespace

void GenerateRhythmRiffPattern(int channel, MidiTrack& track, int code) {
  NoteEmitter e(track, channel);
  const int step = TripletGrid() ? 32 : 24;
  const bool held = code == 41;
  const RiffCells riff = held ? StoredRiff() : FreshRiff();
  int entry = 0;
  int overrun = 0;  // steps the last note reaches into the next block
  EntryPitches last;
  int64_t on_time = 0;  // where the song's blocks start, whatever rings over their edges
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const int64_t block_start = on_time;
    on_time += block.length;
    int T = block.length / step;
    // The song's last chord starts on time, over a riff note that may ring into it.
    const bool closing = n > 1 && i == n - 1;
    if (overrun > 0 && !closing) {
      const int cut = std::min(overrun, T);
      T -= cut;
      overrun -= cut;
      if (T <= 0) return;  // the held note covers the whole block
    }
    if (T <= 4 || T == 32) entry = 0;
    if (riff.empty()) return;  // a riff that was never stored rests
    if (closing) {
      e.Wait(static_cast<int>(block_start - e.Now()));
      // Raised to chord tones; a block without a chord has none and rests.
      const auto chord_tone = [&](int pitch) { return block.IsChordTone(pitch); };
      const bool no_chord = block.root == 0 && block.third == 0 && block.fifth == 0;
      // After a riff that rested (or played over no chord) the chord's root closes it.
      const int last_a = last.a == 0 && last.b == 0 ? RiffToneA(4, block) : last.a;
      const int b = no_chord ? 0 : RaiseUntil(last.b, chord_tone);
      const int a = no_chord ? 0 : RaiseUntil(last_a, chord_tone);
      const int vb = RiffVelocity(20, 30, 54, b);
      const int va = RiffVelocity(20, 30, 54, a);
      e.Note(b, vb, T * step - 2);
      e.Note(a, va, T * step - 2);
      e.Wait(T * step);
      return;
    }
    // Over the next chord a riff note may ring on; the song's last chord ends it.
    const bool song_end = i == n - 1;
    int used = 0;
    while (used < T) {
      const int steps = song_end ? std::min(riff.steps(entry), T - used) : riff.steps(entry);
      const int note_length = steps * step;
      used += steps;
      const EntryPitches p = PitchesOf(riff, entry, block);
      const int h = held ? HeldSteps(riff, entry, p, used, T, block) : 0;
      int length_a, length_b, va, vb;
      if (note_length == 2 * step && GneRandomRange(1, 2) == 1) {
        va = RiffVelocity(15, 25, 44, p.a);
        vb = RiffVelocity(10, 20, 44, p.b);
        length_a = length_b = held ? h * step : note_length - 20;
        if (length_a <= 0) length_a = length_b = 2 * step;
      } else {
        va = RiffVelocity(15, 25, 49, p.a);
        vb = RiffVelocity(10, 20, 49, p.b);
        length_a = held ? h * step - 2 : note_length - 2;
        length_b = held ? h * step - 20 : note_length - 20;
        if (length_a <= 0) length_a = step;
        if (length_b <= 0) length_b = 2 * step;
      }
      e.Note(p.a, va, length_a);
      e.Note(p.b, vb, length_b);
      e.Wait(note_length);
      last = p;
      entry = riff.next(entry);
    }
    overrun = used - T;
  });
}

void MakeStrokeRiff(int* tones, int* lengths) {
  for (int k = 0; k < kStrokeRiffLength; ++k) tones[k] = lengths[k] = -k;
  const int m = GneRandomRange(0, 4);
  int c = 0;
  // A pair of one-step entries; at the last entry only the first fits.
  const auto pair = [&](int& k, int first_tone, int second_tone) {
    lengths[k] = 1;
    tones[k] = first_tone;
    if (k + 1 < kStrokeRiffLength) {
      ++k;
      lengths[k] = 1;
      if (second_tone != 0) tones[k] = second_tone;
    }
    c += 2;
  };
  for (int k = 0; k < kStrokeRiffLength; ++k) {
    int length;
    if (GneRandomRange(1, 4) == 1 && m == 0) {
      const int before = k;
      pair(k, 1, 0);
      if (k == before) continue;  // no room for the pair's second entry
      length = 1;
    } else {
      if (GneRandomRange(1, 3) == 1) c += 2;
      if (GneRandomRange(1, 8) == 1 && m < 3) {
        length = 6;
      } else {
        length = 2 * GneRandomRange(1, 2);
        c += length;
      }
      lengths[k] = length;
    }
    const int previous = k > 0 ? tones[k - 1] : 0;
    const bool after_passing = previous == 2 || previous == 5 || previous == 7;
    if (GneRandomRange(1, 4) == 1 && k > 0 && c < 12 && length <= 2) {
      tones[k] = after_passing ? 1 : 2;
    } else if (GneRandomRange(1, 3) == 1 && k > 0 && length <= 2) {
      if (after_passing) {
        tones[k] = 1;
      } else {
        tones[k] = GneRandomRange(1, 2) == 1 && c < 10 ? 5 : 7;
      }
    } else if (GneRandomRange(1, 3) == 1) {
      if (length == 4) {
        if (GneRandomRange(1, 3) == 1) {
          tones[k] = 1;
        } else {
          tones[k] = GneRandomRange(1, 3) == 1 ? 6 : 3;
        }
      } else {
        tones[k] = 3;
      }
    } else if (GneRandomRange(1, 6) == 1 && m < 2) {
      pair(k, 1, 3);
    } else {
      tones[k] = GneRandomRange(1, 3) == 1 ? 4 : 1;
    }
  }
}

void GenerateStrokeRiffPattern(int channel, MidiTrack& track) {
  NoteEmitter e(track, channel);
  int tones[kStrokeRiffLength], lengths[kStrokeRiffLength];
  MakeStrokeRiff(tones, lengths);
  const bool triplet = TripletGrid();
  Tone first, second;
  WalkBlocks(e, [&](const ChordBlock& block, int i, int n) {
    const BlockTones t = BlockTones::Of(block);
    const int step = triplet ? 32 : (Chance(3) ? 48 : 24);
    int entry = 0;
    for (int left = block.length; left > 0; entry = (entry + 1) % kStrokeRiffLength) {
      switch (tones[entry]) {
        case 1: first = t.third, second = t.root; break;
        case 2: first = t.fifth - 2, second = t.root; break;
        case 3: first = second = Tone(); break;
        case 4: first = t.root, second = t.third - 12; break;
        case 5: first = t.third, second = t.seventh; break;
        case 6: first = t.root, second = t.fifth; break;
        case 7: first = t.fifth - 12, second = t.root + 2; break;
        default: break;
      }
      const int length = std::min(std::max(1, lengths[entry]) * step, left);
      // The song's last block opens on its root and fifth where the riff rests.
      const bool opens_last = i == n - 1 && left == block.length && first.pitch() == 0 &&
                              second.pitch() == 0;
      const Tone a = opens_last ? t.root : first, b = opens_last ? t.fifth : second;
      e.Note(a, a.pitch() == 0 ? 0 : 64, length - 8);
      e.Note(b, b.pitch() == 0 ? 0 : 64, length - 8);
      e.Wait(length);
      left -= length;
    }
  });
}
