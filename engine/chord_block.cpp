#include "engine/chord_block.h"

#include <cstdlib>
#include <cstring>

#include "engine/compose_info.h"
#include "engine/engine_errors.h"
#include "engine/engine_store.h"
#include "engine/tone_weights.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

// The third and seventh octaves are redrawn until they land in this window.
constexpr int kToneWindowLow = 60;
constexpr int kToneWindowHigh = 83;
// A bound on those redraws: with a sound root one draw in three always fits,
// so the bound is never reached in practice.
constexpr int kMaxOctaveDraws = 1000;

int ThirdInterval(char letter) {
  switch (letter) {
    case '4': return 5;
    case 'M': return 4;
    case 'm': return 3;
    default: return -1;
  }
}

int FifthInterval(char letter) {
  switch (letter) {
    case 'A': return 8;
    case 'P': return 7;
    case 'd': return 6;
    default: return -1;
  }
}

int SeventhInterval(char letter) {
  switch (letter) {
    case '6': return 9;
    case '9': return 14;
    case 'S': return 11;
    case 's': return 10;
    case 'o': return 12;
    default: return -1;
  }
}

bool InWindow(int pitch) { return pitch >= kToneWindowLow && pitch <= kToneWindowHigh; }

int DigitValue(char c) { return (c >= '0' && c <= '9') ? c - '0' : 0; }

}  // namespace

int32_t& FixedBassPitch() { return TheEngineStore().fixed_bass_pitch; }

int RootPitchOfLetter(char letter) {
  switch (letter) {
    case 'C': return 60;
    case 'd': return 61;
    case 'D': return 62;
    case 'e': return 63;
    case 'E': return 64;
    case 'F': return 65;
    case 'g': return 66;
    case 'G': return 67;
    case 'a': return 68;
    case 'A': return 69;
    case 'b': return 70;
    case 'B': return 71;
    case 'N': return 0;
    default: return -1;
  }
}

int RootInterval(char a, char b) {
  return (RootPitchClass(a) - RootPitchClass(b) + 12) % 12;
}

int StepRootInterval(char a, char b, int* counter) {
  const int c = RootPitchClass(a);
  const int d = c - *counter;
  if (d == -11 || d == -9 || d == -6 || d == -4 || d == -2) ++*counter;
  const int value = c - *counter - RootPitchClass(b) + 12;
  ++*counter;
  return ((value % 12) + 12) % 12;
}

bool SameChordCode(const char* a, const char* b) { return std::memcmp(a, b, 4) == 0; }

void FoldIntoRange(uint8_t* pitch, int low, int high) {
  int p = *pitch;
  while (p > high && p >= 12) p -= 12;
  while (p < low && p + 12 <= 255) p += 12;
  *pitch = static_cast<uint8_t>(p);
}

void FoldFiveVoicesIntoRange(uint8_t* a, uint8_t* b, uint8_t* c, uint8_t* d, uint8_t* e, int low,
                             int high) {
  FoldIntoRange(a, low, high);
  FoldIntoRange(b, low, high);
  FoldIntoRange(c, low, high);
  FoldIntoRange(d, low, high);
  FoldIntoRange(e, low, high);
}

// ---- ChordBlock ---------------------------------------------------------

ChordBlock::ChordBlock(const uint8_t* entry_bytes, const char* bass_offset_text) {
  std::memcpy(entry, entry_bytes, kChordEntrySize);
  Build(bass_offset_text);
}

ChordBlock::ChordBlock(const ChordEntry& e, const char* bass_offset_text) {
  WriteChordEntry(entry, e);
  Build(bass_offset_text);
}

void ChordBlock::Build(const char* bass_offset_text) {
  std::memcpy(chord_code, entry + 2, 4);
  const bool has_bass_text = bass_offset_text != nullptr && bass_offset_text[0] != '\0';
  if (has_bass_text) {
    bass_text[0] = bass_offset_text[0];
    bass_text[1] = bass_offset_text[1];
  }
  length = (entry[0] << 8) | entry[1];

  SetRoot();
  const StyleRecord& style = CurrentStyle();
  if (style.fixed_bass == kFixedBassSetting) {
    bass = static_cast<uint8_t>(FixedBassPitch() & 0xFF);
  } else {
    bass = root == 0 ? 0 : static_cast<uint8_t>(root - 24);
  }
  SetThird();
  SetFifth();
  SetSeventh();
  if (style.fit_chord_tones == 1) FitTonesToScale();
  if (has_bass_text) {
    const int offset = 10 * DigitValue(bass_text[0]) + DigitValue(bass_text[1]);
    bass = static_cast<uint8_t>(bass + offset);
  }
}

void ChordBlock::SetRoot() {
  const int pitch = RootPitchOfLetter(chord_code[0]);
  if (pitch < 0) {
    ShowErrorByCode(engine_error::kRootNote);
    root = 0;
    return;
  }
  root = static_cast<uint8_t>(pitch);
}

void ChordBlock::SetThird() {
  const char letter = chord_code[1];
  if (letter == 'o') {
    third = 0;
    return;
  }
  const int interval = ThirdInterval(letter);
  if (interval < 0) {
    ShowErrorByCode(engine_error::kThirdNote);
    third = 0;  // no third
    return;
  }
  if (root == 0) {  // no chord: no third (no octave draw could fit the window)
    third = 0;
    return;
  }
  if (CurrentStyle().accompaniment == kCustomGridAccompaniment) {
    third = static_cast<uint8_t>(root + interval);
    return;
  }
  int pitch = root + interval;
  for (int draws = 0; draws < kMaxOctaveDraws; ++draws) {
    const int r = GneRandomRange(1, 3);
    const int candidate = r == 2 ? root + interval + 12 : root + interval;
    if (InWindow(candidate)) {
      pitch = candidate;
      break;
    }
  }
  third = static_cast<uint8_t>(pitch);
}

void ChordBlock::SetFifth() {
  const char letter = chord_code[2];
  if (letter == 'C') {
    fifth = 0;
    return;
  }
  const int interval = FifthInterval(letter);
  if (interval < 0) {
    ShowErrorByCode(engine_error::kFifthNote);
    fifth = root;
    return;
  }
  fifth = root == 0 ? 0 : static_cast<uint8_t>(root + interval);
}

void ChordBlock::SetSeventh() {
  const char letter = chord_code[3];
  if (letter == 'd') {
    seventh = 0;
    return;
  }
  int interval = SeventhInterval(letter);
  if (interval < 0) {
    ShowErrorByCode(engine_error::kSeventhNote);
    interval = 0;
  }
  if (root == 0) {  // no chord
    seventh = 0;
    return;
  }
  int pitch = root + interval - 12;  // fallback, always in the window for roots 60..71
  for (int draws = 0; draws < kMaxOctaveDraws; ++draws) {
    const int r = GneRandomRange(1, 3);
    const int candidate = r == 2 ? root + interval - 12 : root + interval;
    if (InWindow(candidate)) {
      pitch = candidate;
      break;
    }
  }
  seventh = static_cast<uint8_t>(pitch);
}

void ChordBlock::FitTonesToScale() {
  char weights[kToneWeightTextSize];
  BuildToneWeights(chord_code, weights);
  uint8_t* tones[] = {&root, &bass, &third, &fifth, &seventh};
  for (uint8_t* tone : tones) *tone = static_cast<uint8_t>(SnapUpToChordTone(weights, *tone));
}

namespace {
// A stored 0 is a tone the chord lacks, not a C.
bool SameClass(int pc, uint8_t tone) { return tone != 0 && pc == tone % 12; }
}  // namespace

bool ChordBlock::IsChordTone(int pitch) const {
  const int pc = PitchClassOf(pitch);
  return SameClass(pc, root) || SameClass(pc, third) || SameClass(pc, fifth) ||
         SameClass(pc, seventh);
}

bool ChordBlock::IsTriadTone(int pitch) const {
  const int pc = PitchClassOf(pitch);
  return pc == root % 12 || pc == third % 12 || pc == fifth % 12;
}

bool ChordBlock::IsSeventh(int pitch) const { return PitchClassOf(pitch) == seventh % 12; }

bool ChordBlock::IsDominantSeventh() const {
  return chord_code[1] == 'M' && chord_code[2] == 'P' && chord_code[3] == 's';
}

int ChordBlock::ToneWeight(int pitch) const {
  char weights[kToneWeightTextSize];
  BuildToneWeights(chord_code, weights);
  return ToneDigit(weights, PitchClassOf(pitch));
}

int ChordBlock::NextStrongTone(const char* weights, int pitch) {
  int p = pitch < 0 ? 0 : pitch;
  for (; p < 128; ++p) {
    if (ToneDigit(weights, PitchClassOf(p)) >= ToneLevel8) return p;
  }
  return 0;
}

int ChordBlock::SnapUpToChordTone(const char* weights, int pitch) {
  for (int k = 0; k <= 12; ++k) {
    if (ToneDigit(weights, PitchClassOf(pitch + k)) == ChordToneLevel) return pitch + k;
  }
  return pitch + 12;
}

namespace {

// Moves *pitch by `step` until `is_target` holds for it (the root's class is
// always a target, so 12 steps always suffice); a block without a root, or a
// walk that leaves 0 .. 127, gives 0.
template <typename IsTarget>
void StepToTone(const ChordBlock& block, int* pitch, int step, IsTarget is_target) {
  if (block.root == 0) {
    *pitch = 0;
    return;
  }
  if (step == 0) return;
  int p = *pitch;
  for (int n = 0; n <= 12 && !is_target(p); ++n) {
    p += step;
    if (p < 0 || p > 127) {
      *pitch = 0;
      return;
    }
  }
  *pitch = p;
}

}  // namespace

void ChordBlock::StepToTriadTone(int* pitch, int step) const {
  StepToTone(*this, pitch, step, [this](int p) { return IsTriadTone(p); });
}

void ChordBlock::StepToChordTone(int* pitch, int step) const {
  StepToTone(*this, pitch, step, [this](int p) { return IsChordTone(p); });
}

void ChordBlock::NearestTriadTone(int* pitch, int prefer_up) const {
  int up = *pitch;
  int down = *pitch;
  StepToTriadTone(&up, +1);
  StepToTriadTone(&down, -1);
  const int du = std::abs(up - *pitch);
  const int dd = std::abs(*pitch - down);
  if (du < dd) {
    *pitch = up;
  } else if (dd < du) {
    *pitch = down;
  } else {
    *pitch = prefer_up > 0 ? up : down;
  }
}

int ChordBlock::NearestChordTone(int pitch) const {
  const int tones[] = {root, bass, third, fifth, seventh};
  int best = 0;
  bool have = false;
  for (int tone : tones) {
    if (tone == 0) continue;  // a tone the chord lacks
    int d = (((tone - pitch + 120) % 12) + 12) % 12;
    if (d > 6) d -= 12;
    if (!have || std::abs(d) < std::abs(best)) {
      best = d;
      have = true;
    }
  }
  return pitch + best;
}

namespace {
void StepTone(uint8_t* tone, int delta) {
  if (*tone != 0) *tone = static_cast<uint8_t>(*tone + delta);
}
}  // namespace

void ChordBlock::TransposeDown() {
  StepTone(&root, -1);
  StepTone(&bass, -1);
  StepTone(&third, -1);
  StepTone(&fifth, -1);
  StepTone(&seventh, -1);
  chord_code[0] = RootLetterDown(chord_code[0]);
  entry[2] = static_cast<uint8_t>(chord_code[0]);
}

void ChordBlock::TransposeUp() {
  StepTone(&root, +1);
  StepTone(&bass, +1);
  StepTone(&third, +1);
  StepTone(&fifth, +1);
  StepTone(&seventh, +1);
  chord_code[0] = RootLetterUp(chord_code[0]);
  entry[2] = static_cast<uint8_t>(chord_code[0]);
}

void TransposeChordBlocksDown(int first) {
  ComposeInformation& info = ComposeInfo();
  for (int i = first < 0 ? 0 : first; i < info.chord_block_count(); ++i)
    info.chord_block(i)->TransposeDown();
}

void TransposeChordBlocksUp(int first) {
  ComposeInformation& info = ComposeInfo();
  for (int i = first < 0 ? 0 : first; i < info.chord_block_count(); ++i)
    info.chord_block(i)->TransposeUp();
}
