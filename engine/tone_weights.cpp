#include "engine/tone_weights.h"

#include <algorithm>
#include <cstring>

#include "engine/chord_block.h"
#include "engine/pattern_db.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

struct ScaleTemplateRow {
  int code;
  const char* major;
  const char* minor;
};

// Written for C as tonic; the minor column is the relative minor (A) on the
// same pitch classes. Searched in this order.
constexpr ScaleTemplateRow kScaleTemplates[] = {
    {1, "xxxx919299192929", "xxxx919295555929"},   // diatonic
    {7, "xxxx929299292929", "xxxx929295555929"},   // just intonation
    {6, "xxxx919959199595", "xxxx919957777595"},   // blues
    {3, "xxxx900099090009", "xxxx900099090009"},   // Okinawa
    {2, "xxxx900099090009", "xxxx900099090009"},   // yonanuki
    {4, "xxxx909009090900", "xxxx909009090900"},   // CDFGA
    {9, "xxxx009090090909", "xxxx009090090909"},   // GABDE
    {10, "xxxx990099099009", "xxxx990099099009"},  // Arabian
    {5, "xxxx909909099009", "xxxx909909099009"},   // Indian
    {8, "xxxx959398696897", "xxxx959398696897"},   // Middle Eastern
    {12, "xxxx909090909090", "xxxx909090909090"},  // whole tone
    {13, "xxxx990009099000", "xxxx990009099000"},  // Japanese
    {14, "xxxx909099909099", "xxxx909099909099"},  // Islamic
    {15, "xxxx990099099009", "xxxx990099099009"},  // Gypsy
    {16, "xxxx900990990990", "xxxx900990990990"},  // Hungarian
    {20, "xxxx909900000099", "xxxx909900000099"},  // Macedonian
    {17, "xxxx909099090990", "xxxx909099090990"},  // Mixolydian
    {18, "xxxx909090990909", "xxxx909090990909"},  // Dorian
    {19, "xxxx990990990990", "xxxx990990990990"},  // Verto
    {21, "xxxx909099009909", "xxxx909099009909"},  // flamenco
    {22, "xxxx990909090909", "xxxx909099009990"},  // Neapolitan (major/minor)
    {24, "xxxx990090909099", "xxxx990090909099"},  // enigmatic
    {25, "xxxx909900999009", "xxxx909900999009"},  // maqam Nawa Athar
};

constexpr int kDiatonicCode = 1;
constexpr int kJustIntonationCode = 7;

void CopyText(char* out, const char* text) {
  std::memcpy(out, text, 16);
  out[16] = '\0';
}

// ---- Cache of built weights -------------------------------------------------

struct CacheKey {
  char code[4];
  int32_t scale;
  int32_t mode_major;  // 1 when the key mode is 1
  int32_t key_index;
  char custom[16];     // the custom text when the scale code is 11, else zeros
  uint32_t generation;
};

struct CacheEntry {
  bool used = false;
  CacheKey key{};
  char text[kToneWeightTextSize] = {};
};

constexpr int kCacheSize = 256;

struct ToneCache {
  CacheEntry entries[kCacheSize];
};

thread_local ToneCache t_cache;

CacheKey MakeKey(const char* code) {
  const StyleRecord& style = CurrentStyle();
  CacheKey k;
  std::memset(&k, 0, sizeof k);
  std::memcpy(k.code, code, 4);
  k.scale = style.scale;
  k.mode_major = style.key_mode == 1 ? 1 : 0;
  k.key_index = style.key_offset;
  if (style.scale == kCustomScaleCode) std::memcpy(k.custom, style.scale_tones, 16);
  k.generation = PatternDb().chord_tone_generation;
  return k;
}

unsigned HashKey(const CacheKey& k) {
  unsigned h = 2166136261u;
  const auto* p = reinterpret_cast<const unsigned char*>(&k);
  for (size_t i = 0; i < sizeof k; ++i) h = (h ^ p[i]) * 16777619u;
  return h;
}

}  // namespace

bool FindScaleTemplateRow(int scale_code, int mode, char* out) {
  for (const ScaleTemplateRow& row : kScaleTemplates) {
    if (row.code == scale_code) {
      CopyText(out, mode == 1 ? row.major : row.minor);
      return true;
    }
  }
  return false;
}

void GetScaleTemplate(int scale_code, char* out) {
  const StyleRecord& style = CurrentStyle();
  if (style.scale == kCustomScaleCode) {
    std::memcpy(out, style.scale_tones, 16);
    out[16] = '\0';
    return;
  }
  const int mode = style.key_mode == 1 ? 1 : 2;
  if (!FindScaleTemplateRow(scale_code, mode, out)) FindScaleTemplateRow(kDiatonicCode, mode, out);
  if (style.key_offset != 0) TransposeToKey(out, style.key_offset);
}

void FindChordToneWeights(const char* chord_code, char* out) {
  std::memset(out, 0, kToneWeightTextSize);
  const char* table = PatternDb().chord_tone_table;
  size_t pos = 0;
  char record[kToneWeightTextSize + 8];
  while (table[pos] != '\0') {
    // One record: the characters up to "|" with CR, LF and blanks skipped.
    int n = 0;
    while (table[pos] != '\0' && table[pos] != '|') {
      const char c = table[pos++];
      if (c == '\r' || c == '\n' || c == ' ') continue;
      if (n < static_cast<int>(sizeof record) - 1) record[n++] = c;
    }
    if (table[pos] == '|') ++pos;
    record[n] = '\0';
    if (n >= 4 && std::memcmp(record, chord_code, 4) == 0) {
      std::memcpy(out, record, n < 16 ? static_cast<size_t>(n) : 16);
      out[16] = '\0';
      return;
    }
  }
}

int ScaleCoversChordTones(const char* scale, const char* chord) {
  for (int pc = 0; pc < 12; ++pc) {
    if (ToneDigit(chord, pc) >= 9 && ToneDigit(scale, pc) <= 4) return 0;
  }
  return 1;
}

void MergeChordAndScaleWeights(char* out, const char* chord, char* scale) {
  const int code = CurrentStyle().scale;
  if ((code == kDiatonicCode || code == kJustIntonationCode) &&
      ScaleCoversChordTones(scale, chord) == 0) {
    char a[kToneWeightTextSize];
    char b[kToneWeightTextSize];
    std::memcpy(a, scale, kToneWeightTextSize);
    std::memcpy(b, scale, kToneWeightTextSize);
    TransposeToneDigits(a, scale, 7);
    TransposeToneDigits(b, scale, 5);
    if (ScaleCoversChordTones(b, chord) == 1) {
      std::memcpy(scale + 4, b + 4, 12);
    } else if (ScaleCoversChordTones(a, chord) == 1) {
      std::memcpy(scale + 4, a + 4, 12);
    }
  }
  std::memcpy(out, chord, 4);
  for (int pc = 0; pc < 12; ++pc) {
    const int s = ToneDigit(scale, pc);
    int w = 0;
    if (s != 0) {
      w = ToneDigit(chord, pc) + s - 4;
      if (w < 0) w = 0;
      if (w > 9) w = 9;
    }
    out[4 + pc] = static_cast<char>('0' + w);
  }
}

void BuildToneWeightsUncached(const char* chord_code, char* out) {
  const int scale_code = CurrentStyle().scale;
  if (std::memcmp(chord_code, "NoCd", 4) == 0) {
    GetScaleTemplate(scale_code, out);
    return;
  }
  char scale[kToneWeightTextSize];
  char chord[kToneWeightTextSize];
  GetScaleTemplate(scale_code, scale);
  FindChordToneWeights(chord_code, chord);
  MergeChordAndScaleWeights(out, chord, scale);
  out[16] = '\0';
}

void BuildToneWeights(const char* chord_code, char* out) {
  const CacheKey key = MakeKey(chord_code);
  CacheEntry& slot = t_cache.entries[HashKey(key) % kCacheSize];
  if (slot.used && std::memcmp(&slot.key, &key, sizeof key) == 0) {
    std::memcpy(out, slot.text, kToneWeightTextSize);
    return;
  }
  BuildToneWeightsUncached(chord_code, out);
  slot.used = true;
  slot.key = key;
  std::memcpy(slot.text, out, kToneWeightTextSize);
}

void ClearToneWeightCache() { t_cache = ToneCache{}; }

void RaiseToneWeightText(char* text) {
  char digits[12];
  for (int i = 0; i < 12; ++i) digits[(i + 1) % 12] = text[4 + i];
  std::memcpy(text + 4, digits, 12);
  char& key = text[0];
  switch (key) {
    case 'A': key = 'b'; break;
    case 'B': key = 'C'; break;
    case 'C': key = 'd'; break;
    case 'D': key = 'e'; break;
    case 'E': key = 'F'; break;
    case 'F': key = 'g'; break;
    case 'G': key = 'a'; break;
    case 'a': key = 'A'; break;
    case 'b': key = 'B'; break;
    case 'd': key = 'D'; break;
    case 'e': key = 'E'; break;
    case 'g': key = 'G'; break;
    default: break;  // "x" and anything else stay
  }
}

void ShiftToneDigitsUp(char* destination, const char* source) {
  char digits[12];
  for (int i = 0; i < 12; ++i) digits[(i + 1) % 12] = source[4 + i];
  std::memcpy(destination + 4, digits, 12);
}

void TransposeToneDigits(char* destination, const char* source, int count) {
  if (count <= 0) return;
  char digits[12];
  for (int i = 0; i < 12; ++i) digits[(i + count) % 12] = source[4 + i];
  std::memcpy(destination + 4, digits, 12);
}

void TransposeToKey(char* text, int key_index) {
  const int times = ((key_index % 12) + 12) % 12;
  for (int i = 0; i < times; ++i) RaiseToneWeightText(text);
}

int IsScaleTone(int pitch, const char* chord_code) {
  char w[kToneWeightTextSize];
  BuildToneWeights(chord_code, w);
  return ToneDigit(w, PitchClassOf(pitch)) >= ScaleToneLevel ? 1 : 0;
}

int PickRandomStrongTone(const char* chord_code) {
  char w[kToneWeightTextSize];
  BuildToneWeights(chord_code, w);
  int r = GneRandomRange(1, 12);
  for (int n = 0; n < 1000 && ToneDigit(w, r % 12) < ChordToneLevel; ++n) r = GneRandomRange(1, 12);
  return r + 72;
}

int PickStrongestTone(const char* text) {
  int m = 0;
  for (int pc = 0; pc < 12; ++pc)
    if (ToneDigit(text, pc) > m) m = ToneDigit(text, pc);
  // One class or more has weight m (or every weight is below 0 and m is 0:
  // then no draw can match and the first class of the greatest weight is
  // taken after the bound).
  for (int n = 0; n < 100000; ++n) {
    const int pc = GneRandomRange(0, 11);
    if (ToneDigit(text, pc) == m) return pc;
  }
  int best = 0;
  for (int pc = 1; pc < 12; ++pc)
    if (ToneDigit(text, pc) > ToneDigit(text, best)) best = pc;
  return best;
}

int StepToScaleTone(int pitch, int step) {
  if (pitch <= 0) return 0;
  const char* custom = CurrentStyle().scale_tones;
  if (step == 0) return pitch;
  while (ToneDigit(custom, PitchClassOf(pitch)) < ScaleToneLevel) {
    pitch += step;
    if (pitch >= 127 || pitch <= 0) return pitch >= 127 ? 127 : 0;
  }
  return pitch;
}

int StepTowardRangeMiddle(int pitch, int upper, int lower) {
  if (pitch <= 0) return 0;
  const int step = pitch <= (upper + lower) / 2 ? +1 : -1;
  return StepToScaleTone(pitch, step);
}

int StepToWeightedTone(const ChordBlock& block, int pitch, int step, int level) {
  if (pitch <= 0) return 0;
  char w[kToneWeightTextSize];
  BuildToneWeights(block.chord_code, w);
  for (int n = 0; n < 12 && ToneDigit(w, PitchClassOf(pitch)) < level; ++n) pitch += step;
  return pitch;
}

int SnapToWeightedToneInRange(const ChordBlock& block, int pitch, int step, int level,
                              int channel) {
  if (pitch <= 0) return 0;
  const int a = StepToWeightedTone(block, pitch, step, level);
  if (IsInPartRange(a, channel)) return a;
  const int b = StepToWeightedTone(block, pitch, -step, level);
  if (IsInPartRange(b, channel)) return b;
  return pitch;
}

int NextStrongScaleTone(int pitch, int step) {
  char w[kToneWeightTextSize];
  BuildToneWeights("CMPs", w);
  if (step == 0) return pitch;
  int p = pitch;
  for (int n = 0; n < 24 && ToneDigit(w, PitchClassOf(p)) < ToneLevel6; ++n) p += step;
  return p + step;
}

namespace {
const PartRecord& PartOf(int channel) {
  const StyleRecord& style = CurrentStyle();
  if (channel < 0 || channel >= kStyleChannelCount) channel = kMelodyChannel;
  return style.parts[channel];
}
}  // namespace

int IsInPartRange(int pitch, int channel) {
  if (pitch <= 0) return 1;
  const PartRecord& part = PartOf(channel);
  return (pitch >= part.range_low && pitch <= part.range_high) ? 1 : 0;
}

int CheckPitchInPartRange(int* pitch, int channel) {
  if (*pitch < 12 || *pitch > 127) {
    *pitch = 0;
    return 1;
  }
  const PartRecord& part = PartOf(channel);
  return (*pitch >= part.range_low && *pitch <= part.range_high) ? 1 : 0;
}

void FitIntoPartRange(int channel, int* pitch) {
  if (*pitch <= 0) return;
  const PartRecord& part = PartOf(channel);
  // A damaged record may hold any bounds: they are taken as MIDI pitches, so that the steps
  // below stay few.
  const int upper = std::clamp(part.range_high, 0, 127);
  const int lower = std::clamp(part.range_low, 0, 127);
  int p = *pitch;
  // A pitch far outside comes to the MIDI range by whole octaves first.
  if (p > 127 + 12) p -= (p - 128) / 12 * 12;
  if (upper - lower >= 20) {
    while (p < lower) p += 12;
    while (p > upper) p -= 12;
  } else {
    // Random steps of 1 to 3: at most 128 of each way.
    while (p < lower) p += GneRandomRange(1, 3);
    while (p > upper) p -= GneRandomRange(1, 3);
  }
  *pitch = p;
}

int IsBlueNote(int pitch) {
  const int pc = PitchClassOf(pitch);
  if (pc == 3 || pc == 10) return 1;
  if (pc == 8) return GneRandomRange(1, 3) == 1 ? 1 : 0;
  return 0;
}
