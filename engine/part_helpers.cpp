#include "engine/part_helpers.h"

#include <algorithm>

#include "engine/engine_store.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/gne_error.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "platform/core/encoding.h"
#include "platform/core/process.h"

namespace {

// Instrument groups 136..144; a program standing twice has twice the chance.
const InstrumentGroup kInstrumentGroups[kInstrumentGroupCount] = {
    {"ﾋﾟｱﾉ ｸﾞﾙｰﾌﾟ", 8, {0, 1, 2, 3, 4, 5, 6, 7}},
    {"ｷﾞﾀｰ ｸﾞﾙｰﾌﾟ", 5, {24, 25, 26, 27, 46}},
    {"ﾋﾟｱﾉ ｷﾞﾀｰ ｸﾞﾙｰﾌﾟ", 14, {0, 1, 2, 11, 4, 5, 6, 7, 24, 25, 26, 27, 30, 29}},
    {"管楽器 ｸﾞﾙｰﾌﾟ", 10, {65, 22, 53, 21, 61, 62, 63, 71, 79, 56}},
    {"主旋律 ｸﾞﾙｰﾌﾟ", 18, {65, 22, 53, 21, 61, 62, 63, 71, 79, 56, 53, 68, 80, 81, 100, 75, 90, 82}},
    {"硬い音 ｸﾞﾙｰﾌﾟ", 10, {8, 10, 11, 12, 15, 46, 98, 107, 108, 114}},
    {"柔かい音 ｸﾞﾙｰﾌﾟ", 8, {49, 52, 54, 89, 91, 94, 97, 102}},
    {"電子音 ｸﾞﾙｰﾌﾟ", 6, {80, 21, 85, 87, 90, 100}},
    {"生音 ｸﾞﾙｰﾌﾟ", 9, {0, 24, 48, 56, 65, 75, 71, 22, 53}},
};

constexpr int kHighestGridDegree = 7 * 11 + 6;

// The chord tone of a grid degree (0 `first_tone`, 1 root + 2, 2 third,
// 3 fifth - 2, 4 fifth, 5 fifth + 2, 6 seventh) plus its octave. Degrees beyond
// the eleventh octave (no MIDI note lies there) are held at it.
int GridVoicePitch(const ChordBlock& block, int degree, int first_tone) {
  degree = std::clamp(degree, 0, kHighestGridDegree);
  int pitch = 0;
  switch (degree % 7) {
    case 0: pitch = first_tone; break;
    case 1: pitch = block.root + 2; break;
    case 2: pitch = block.third; break;
    case 3: pitch = block.fifth - 2; break;
    case 4: pitch = block.fifth; break;
    case 5: pitch = block.fifth + 2; break;
    default: pitch = block.seventh; break;
  }
  return pitch + (degree / 7) * 12 - 12;
}

}  // namespace

const InstrumentGroup* FindInstrumentGroup(int value) {
  if (value < kFirstGroupValue || value > kLastGroupValue) return nullptr;
  return &kInstrumentGroups[value - kFirstGroupValue];
}

int ResolveInstrumentProgram(int value, int channel) {
  if (value < kFirstGroupValue) {
    if (channel < 0 || channel >= kStyleChannelCount) return value;
    return CurrentStyle().instrument[channel];
  }
  const InstrumentGroup* group = FindInstrumentGroup(value);
  if (group == nullptr) return 0;  // no group: the first General MIDI program
  return group->programs[GneRandomRange(0, group->count - 1)];
}

namespace {

// The voices of a grid with degree 0 on `first_tone`, each lowered a semitone
// where the text weighs it below a scale tone. A degree that is negative or
// beyond MIDI's range, and a pitch outside 0..127, give no voice (0).
void FillGridVoicePitches(int* pitches, const CustomGrid& grid, const ChordBlock& block,
                          const char* weights, int first_tone) {
  for (int v = 0; v < kCustomVoiceCount; ++v) {
    const int degree = grid.pn_interval[v];
    int pitch = 0;
    if (degree >= 0 && degree <= kHighestGridDegree) {
      pitch = GridVoicePitch(block, degree, first_tone);
      if (ToneDigit(weights, PitchClassOf(pitch)) < ScaleToneLevel) --pitch;
      if (pitch < 0 || pitch > 127) pitch = 0;
    }
    pitches[v] = pitch;
  }
}

}  // namespace

void MakeCustomVoicePitches(int* pitches, const ChordBlock& block, const char* weights) {
  FillGridVoicePitches(pitches, CurrentStyle().custom_grids[0].grid[kGridHarmony], block,
                       weights, block.root);
}

void MakeCustomBassPitches(int* pitches, const ChordBlock& block, const char* weights) {
  FillGridVoicePitches(pitches, CurrentStyle().custom_grids[0].grid[kGridBass], block, weights,
                       block.bass + 24);
}

int MakeSubGridVoicePitches(int* pitches, const ChordBlock& block, const char* weights) {
  const CustomGrid& grid = CurrentStyle().custom_grids[0].grid[kGridSubHarmony];
  int last = 0;
  for (int v = 0; v < kCustomVoiceCount; ++v) {
    const int degree = grid.pn_interval[v];
    if (degree < 0) {
      pitches[v] = 0;
      last = 0;
      continue;
    }
    int pitch = GridVoicePitch(block, degree, block.root);
    const int weight = ToneDigit(weights, PitchClassOf(pitch));
    if (weight < ScaleToneLevel) {
      --pitch;
      last = pitch;
    } else {
      last = weight;
    }
    pitches[v] = pitch;
  }
  return last;
}

void SoftenRiffTone(int* degree) {
  const int d = *degree;
  if (d == 1 || d == 3 || d == 5 || d == 11 || d == 13 || d == 15 || d == 18) return;
  const int threshold = (d == 7 || d == 17) ? 9 : 4;
  if (CurrentStyle().parts[kMelodyChannel].dissonance < threshold) return;
  switch (GneRandomRange(1, 4)) {
    case 1: *degree = 11; break;
    case 2: *degree = 13; break;
    case 3: *degree = 15; break;
    default: break;
  }
}

void MakeRandomRiffNotes(int* degrees) {
  static const int kMap[24] = {0, 11, 7, 12, 6, 13, 5, 14, 4, 15, 3, 16,
                               2, 17, 1, 18, 0, 11, 13, 5, 15, 3, 1, 18};
  for (int i = 0; i < kRiffDegreeCount; ++i) degrees[i] = kMap[GneRandomRange(0, 23)];

  const int level = DensityToLevel(CurrentStyle().density[kMelodyChannel]);
  const int rests = GneRandomRange(0, level);
  for (int i = 0; i < rests; ++i) degrees[GneRandomRange(0, 63)] = 0;

  const int s = GneRandomRange(0, 63);
  for (int i = s; i < kRiffDegreeCount && i < s + GneRandomRange(0, 4); ++i) degrees[i] = 0;

  int first = -1;
  for (int i = 0; i < kRiffDegreeCount; ++i) {
    if (degrees[i] != 0) {
      first = i;
      break;
    }
  }
  if (first < 0) {
    degrees[0] = 1;
    degrees[kRiffDegreeCount - 1] = 1;
    first = 0;
  }
  SoftenRiffTone(&degrees[first]);

  for (int i = 0; i < kRiffDegreeCount - 1; ++i) {
    switch (degrees[i]) {
      case 2: degrees[i] = 3; break;
      case 4: degrees[i] = 5; break;
      case 7: degrees[i] = 11; break;
      case 12: degrees[i] = 13; break;
      case 14: degrees[i] = 15; break;
      case 17: degrees[i] = 18; break;
      default: break;
    }
  }

  for (int i = kRiffDegreeCount - 1; i >= 0; --i) {
    if (degrees[i] != 0) {
      SoftenRiffTone(&degrees[i]);
      break;
    }
  }
}

int EighthsPerBar(int metre) {
  if (metre == 1) return 6;
  if (metre == 2) return 7;
  return 8;
}

int LeadingRestOf(const EventList& list) {
  const int bar = EighthsPerBar(CurrentStyle().metre) * ticks::kEighth;
  int sum = 0;
  for (int i = 0; i < list.count() && sum < bar; ++i) {
    const ComposeEvent& e = list[i];
    if (e.kind != kEventNote) continue;
    if (e.pitch > 0) break;
    sum += e.length;
  }
  return sum;
}

int MelodyLeadingRest() {
  const int vocal = LeadingRestOf(VocalMelodyList());
  const int instrumental = LeadingRestOf(InstrumentalMelodyList());
  return vocal < instrumental ? vocal : instrumental;
}

ModulationPoints& Modulation() { return TheEngineStore().modulation; }

void ResetModulationPoints() {
  ModulationPoints& modulation = Modulation();
  modulation.section_position[0] = modulation.section_position[1] = -1;
  modulation.chord_block_index[0] = modulation.chord_block_index[1] = -1;
}

void PickModulationShift(int32_t* shift) {
  const ComposeInformation& info = ComposeInfo();
  const ChordBlock* last = info.chord_block(info.chord_block_count() - 1);
  if (last != nullptr && last->IsDominantSeventh()) {
    *shift = (RootPitchClass(last->chord_code[0]) + 5) % 12;
    if (*shift == 0) *shift = GneRandomRange(1, 11);
  } else {
    *shift = GneRandomRange(1, 11);
  }
}

void NoteModulationPoint(int section_position) {
  ModulationPoints& modulation = Modulation();
  for (int k = 0; k < 2; ++k) {
    if (section_position == modulation.section_position[k]) {
      PickModulationShift(&modulation.key_shift[k]);
      modulation.chord_block_index[k] = ComposeInfo().chord_block_count();
    }
  }
}

int PatternStepValue(int code) {
  switch (code) {
    case 3: case 4: case 5: case 6: case 13: case 24: return 16;
    case 7: case 9: case 11: return 4;
    case 14: case 15: case 16: return 32;
    case 17: case 19: return 40;
    case 18: return 64;
    default: return 0;
  }
}

bool IsCode10Or12(int code) { return code == 10 || code == 12; }
bool IsCode0To2(int code) { return code >= 0 && code <= 2; }
bool IsCode21Or22(int code) { return code == 21 || code == 22; }

bool IsCodeInMainSet(int code) {
  return (code >= 3 && code <= 9) || code == 11 || (code >= 13 && code <= 20) || code == 24;
}

void LoudenLeadParts(int preset_flag) {
  if (preset_flag != 0) return;
  StyleRecord& style = CurrentStyle();
  if (style.mixer[kDrumChannel].volume > 20) style.mixer[kDrumChannel].volume -= 20;
  for (int channel : {kHarmonyChannel, kSubHarmonyChannel})
    if (style.instrument[channel] == 30) style.instrument[channel] = 29;
  for (int channel : {kMelodyChannel, kHarmonyChannel})
    if (style.mixer[channel].volume < 118) style.mixer[channel].volume += 10;
}

void ClearFirstPartFlagTable() { ClearPartFlagTable(0); }

bool OpenHelpPage() {
  const std::filesystem::path page = plat::ProgramFolder() / "pellmorj.html";
  if (plat::FileSize(page) < 0) {
    GneReportError(kGneFileNotFound, plat::Utf8ToCp932(page.string()).c_str());
    return false;
  }
  const std::filesystem::path opener = plat::FindProgram("xdg-open");
  if (opener.empty() || !plat::StartProgram(opener, {page.string()})) {
    GneReportError(kGneFileNotFound, "xdg-open");
    return false;
  }
  return true;
}
