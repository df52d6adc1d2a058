#include "style/random_style.h"

#include <initializer_list>

#include "style/grid_presets.h"
#include "style/style_table.h"
#include "util/gne.h"
#include "util/program_errors.h"

namespace {

constexpr ProgramErrorCode kWrongChannelError = 0xFF010177u;  // 誤ったチャネルが指定されました。
constexpr ProgramErrorCode kWrongGenreError = 0xFF010178u;    // 誤ったジャンルが指定されました。

// A run of programs, both ends included.
struct ProgramRun {
  int first, last;
};

struct ChoiceColumn {
  int column;
  std::initializer_list<ProgramRun> programs;
};

// clang-format off
const ChoiceColumn kChoiceColumns[] = {
  {0,  {{22, 22}, {29, 30}, {53, 53}, {61, 66}, {80, 81}}},                          // cat 0 melody
  {2,  {{0, 2}, {4, 5}, {16, 20}, {24, 27}, {29, 30}, {48, 54}, {88, 95}}},          // cat 0 harmony
  {3,  {{32, 35}, {38, 39}}},                                                        // cat 0 bass
  {4,  {{0, 13}, {15, 30}, {38, 41}, {45, 46}, {48, 54}, {56, 75}, {77, 86}, {88, 91},
        {93, 112}, {114, 114}}},                                                     // cat 0 obbligato
  {5,  {{0, 2}, {4, 7}, {10, 11}, {15, 30}, {41, 42}, {46, 46}, {48, 55}, {61, 63}, {68, 68},
        {71, 75}, {78, 85}, {88, 91}, {93, 100}, {103, 103}, {105, 108}}},           // cat 0 sub-harmony
  {6,  {{11, 11}, {16, 18}, {20, 23}, {29, 30}, {40, 41}, {53, 53}, {56, 57}, {59, 59},
        {61, 68}, {71, 75}, {78, 79}}},                                              // cat 2 melody
  {7,  {{0, 5}, {11, 11}, {16, 18}, {20, 21}, {23, 27}, {29, 30}, {46, 46}, {48, 51},
        {53, 53}, {61, 61}, {71, 75}, {78, 79}}},                                    // cat 2 harmony
  {8,  {{40, 42}, {48, 51}, {53, 53}, {56, 57}, {61, 61}, {65, 68}, {71, 75}}},      // cat 3 melody
  {9,  {{0, 1}, {6, 7}, {19, 19}, {24, 24}, {27, 27}, {41, 42}, {46, 46}, {48, 53},
        {61, 61}, {68, 68}, {71, 74}, {79, 79}}},                                    // cat 3 harmony
  {10, {{19, 19}, {32, 32}, {41, 43}, {48, 49}, {53, 53}, {57, 58}, {60, 61}, {69, 70}}},  // cat 3 bass
  {11, {{12, 13}, {15, 15}, {27, 27}, {53, 53}, {74, 75}, {77, 79}, {104, 108}, {111, 111},
        {115, 115}}},                                                                // cat 4 parts
  {12, {{15, 15}, {32, 32}, {42, 43}, {45, 46}, {53, 53}, {104, 104}, {106, 108}}},  // cat 4 bass
  {13, {{9, 9}, {15, 15}, {21, 21}, {23, 24}, {27, 27}, {42, 43}, {46, 46}, {53, 53},
        {68, 68}, {71, 75}, {78, 79}, {105, 105}, {109, 110}, {114, 114}}},          // cat 5 parts
  {14, {{15, 15}, {23, 24}, {32, 32}, {42, 43}, {45, 45}, {53, 53}, {58, 58}, {60, 60},
        {69, 70}}},                                                                  // cat 5 bass
  {15, {{0, 8}, {10, 11}, {46, 46}, {53, 53}, {78, 78}, {88, 88}, {98, 98}, {100, 100}}},  // cat 7 melody
  {16, {{0, 7}, {10, 11}, {32, 32}, {43, 43}, {45, 46}, {53, 53}, {60, 60}, {78, 78},
        {88, 88}}},                                                                  // cat 7 bass
  {17, {{29, 30}, {53, 53}, {61, 63}, {65, 65}, {80, 82}, {90, 91}, {100, 100}}},    // cat 8 melody
  {18, {{0, 2}, {4, 5}, {11, 11}, {16, 18}, {20, 20}, {26, 26}, {28, 30}, {46, 46},
        {48, 51}, {53, 53}, {61, 63}, {72, 72}, {80, 82}, {90, 91}, {100, 100}}},    // cat 8 harmony
  {19, {{32, 39}, {80, 81}, {90, 90}, {100, 100}}},                                  // cat 8 bass
};
// clang-format on

struct ChoiceTable {
  int32_t entry[128][kInstrumentChoiceColumns] = {};
  ChoiceTable() {
    for (const ChoiceColumn& c : kChoiceColumns)
      for (const ProgramRun& run : c.programs)
        for (int p = run.first; p <= run.last; ++p) entry[p][c.column] = 1;
    entry[22][1] = 10;  // category 0 melody volume bonus
    entry[53][1] = 10;
  }
};

const ChoiceTable& Choices() {
  static const ChoiceTable table;
  return table;
}

// Column of a category's part, -1 for a part the category has no column for,
// -2 for a category without columns.
int ChoiceColumnOf(int part, int category) {
  switch (category) {
    case 0:
      switch (part) {
        case kRandomPartMelody: return 0;
        case kRandomPartHarmony: return 2;
        case kRandomPartBass: return 3;
        case kRandomPartObbligato: return 4;
        case kRandomPartSubHarmony: return 5;
      }
      return -1;
    case 2:
      if (part == kRandomPartMelody || part == kRandomPartObbligato) return 6;
      if (part == kRandomPartHarmony || part == kRandomPartSubHarmony) return 7;
      return -1;
    case 3:
      if (part == kRandomPartMelody || part == kRandomPartObbligato) return 8;
      if (part == kRandomPartHarmony || part == kRandomPartSubHarmony) return 9;
      if (part == kRandomPartBass) return 10;
      return -1;
    case 4:
    case 5: {
      const int base = category == 4 ? 11 : 13;
      if (part == kRandomPartBass) return base + 1;
      if (part == kRandomPartMelody || part == kRandomPartHarmony || part == kRandomPartObbligato ||
          part == kRandomPartSubHarmony)
        return base;
      return -1;
    }
    case 7:
      if (part == kRandomPartMelody || part == kRandomPartHarmony) return 15;
      if (part == kRandomPartBass) return 16;
      return -1;
    case 8:
      if (part == kRandomPartMelody || part == kRandomPartObbligato) return 17;
      if (part == kRandomPartHarmony || part == kRandomPartSubHarmony) return 18;
      if (part == kRandomPartBass) return 19;
      return -1;
  }
  return -2;
}

// A mixer byte changed by `delta`, kept within 0..127.
uint8_t Shifted(uint8_t value, int delta) { return MidiDataByte(static_cast<int64_t>(value) + delta); }

void Mark(CustomGrid& g, int row, int step) { g.NoteTable[row][step] = 1; }

bool IsGuitar(int32_t program) { return program >= 24 && program <= 30; }

}  // namespace

int32_t InstrumentChoice(int program, int column) {
  if (program < 0 || program > 127 || column < 0 || column >= kInstrumentChoiceColumns) return 0;
  return Choices().entry[program][column];
}

void RandomInstrument(int part, int category) {
  const int column = ChoiceColumnOf(part, category);
  if (column == -2) {
    ShowErrorByCode(kWrongGenreError);
    return;
  }
  if (column < 0) {
    ShowErrorByCode(kWrongChannelError);
    return;
  }
  StyleRecord& style = CurrentStyle();
  if (style.instrument[part] == kInstrumentOff) return;
  int p;
  do {
    p = GneRandomRange(0, 127);
  } while (InstrumentChoice(p, column) == 0);
  style.instrument[part] = p;
  if (column == 0) {
    MixerRecord& melody = style.mixer[kMelodyChannel];
    melody.volume = Shifted(melody.volume, InstrumentChoice(p, 1));
  }
  if (column == 3 && (p == 38 || p == 39)) {
    MixerRecord& bass = style.mixer[kBassChannel];
    bass.resonance = Shifted(bass.resonance, GneRandomRange(0, 30));
  }
}

void RandomHealingInstruments() {
  StyleRecord& style = CurrentStyle();
  RandomInstrument(kRandomPartMelody, 7);
  if (GneRandomRange(1, 2) == 1) {
    style.instrument[kHarmonyChannel] = style.instrument[kMelodyChannel];
    style.instrument[kBassChannel] = style.instrument[kMelodyChannel];
  } else {
    RandomInstrument(kRandomPartHarmony, 7);
    MixerRecord& harmony = style.mixer[kHarmonyChannel];
    switch (style.instrument[kHarmonyChannel]) {
      case 3:
      case 8: harmony.volume = Shifted(harmony.volume, -15); break;
      case 88:
      case 98: harmony.volume = Shifted(harmony.volume, -10); break;
      case 100: harmony.volume = Shifted(harmony.volume, -20); break;
      default: break;
    }
  }
  RandomInstrument(kRandomPartBass, 7);
  if (GneRandomRange(1, 3) == 1) {
    style.instrument[kDrumChannel] = kDrumKitAcoustic;
    style.drum_pattern = 22;
  } else {
    style.instrument[kDrumChannel] = kInstrumentOff;
  }
}

void RandomBassPattern() {
  static const int32_t kPatterns[3] = {9, 5, 19};
  CurrentStyle().bass_pattern = kPatterns[GneRandomRange(1, 3) - 1];
}

void RandomMelodyRhythm() {
  PartRecord& melody = CurrentStyle().parts[kMelodyChannel];
  if (GneRandomRange(1, 3) == 1) {
    melody.note_length = 8;
    melody.syncopation = 0;
    return;
  }
  static const int32_t kPairs[8][2] = {{2, 0}, {1, 0}, {1, 1}, {4, 1}, {3, 0}, {5, 0}, {6, 1}, {7, 0}};
  const int i = GneRandomRange(1, 8) - 1;
  melody.note_length = kPairs[i][0];
  melody.syncopation = kPairs[i][1];
}

void RandomMetre() { CurrentStyle().metre = GneRandomRange(1, 2) == 1 ? 0 : 1; }

void RandomMelodyOrnament() {
  PartRecord& melody = CurrentStyle().parts[kMelodyChannel];
  switch (GneRandomRange(1, 3)) {
    case 1: melody.ornament = 11; break;
    case 2: melody.ornament = 0; break;
    default: melody.effect = 5; break;
  }
}

void RandomMelodyAlgorithm() {
  PartRecord& melody = CurrentStyle().parts[kMelodyChannel];
  if (GneRandomRange(1, 3) != 1) {
    melody.algorithm = 6;
  } else {
    melody.algorithm = GneRandomRange(1, 5);
  }
}

void RandomProgression() { CurrentStyle().progression = GneRandomRange(2, 4); }

void RandomDrumPattern() {
  switch (GneRandomRange(1, 3)) {
    case 1: CurrentStyle().drum_pattern = 9; break;
    case 2: CurrentStyle().drum_pattern = 11; break;
    default: break;
  }
}

void RandomKeyMode() { CurrentStyle().key_mode = GneRandomRange(1, 2) == 1 ? 1 : 2; }

void RandomTempo(int category) {
  StyleRecord& style = CurrentStyle();
  switch (category) {
    case 0:
    case 1:
    case 6: {
      static const int32_t kTempi[7] = {850000, 750000, 650000, 650000, 650000, 500000, 500000};
      style.tempo = kTempi[GneRandomRange(1, 7) - 1];
      break;
    }
    case 2: {
      static const int32_t kTempi[3] = {850000, 750000, 650000};
      style.tempo = kTempi[GneRandomRange(1, 3) - 1];
      break;
    }
    case 3:
    case 4:
    case 5:
    case 7: {
      static const int32_t kTempi[3] = {1000000, 750000, 850000};
      style.tempo = kTempi[GneRandomRange(1, 3) - 1];
      break;
    }
    case 8: {
      static const int32_t kTempi[3] = {500000, 400000, 300000};
      style.tempo = kTempi[GneRandomRange(1, 3) - 1];
      break;
    }
    default: break;
  }
}

void RandomMixer() {
  StyleRecord& style = CurrentStyle();
  for (int ch : {9, 3, 1, 2}) style.mixer[ch].reverb = static_cast<uint8_t>(GneRandomRange(64, 127));
  style.mixer[3].resonance = static_cast<uint8_t>(GneRandomRange(64, 80));
  MixerRecord& bass = style.mixer[kBassChannel];
  bass.resonance = Shifted(bass.resonance, GneRandomRange(0, 30) - 4);
  for (int ch : {1, 4, 5, 9}) style.mixer[ch].resonance = static_cast<uint8_t>(GneRandomRange(64, 80));
}

void RandomBassGrid() {
  StyleRecord& style = CurrentStyle();
  CustomGrid& g = style.custom_grids[0].grid[kGridBass];
  const int a = GneRandomRange(1, 2);
  int notes = 0;
  for (int s = 0; s <= 14; s += 2) {
    if (GneRandomRange(1, 3) > 1) {
      int row = 2;
      if (!(a == 1 || notes == 0)) {
        static const int kRows[3] = {2, 4, 6};
        row = kRows[GneRandomRange(1, 3) - 1];
      }
      Mark(g, row, s);
      ++notes;
    } else if (GneRandomRange(1, 3) > 1 && s > 0) {
      g.pn_continuem[s] = 1;
      g.pn_continuem[s - 1] = 1;
    }
  }
  FillContinuedSteps(style);
}

void RandomDrumGrid() {
  StyleRecord& style = CurrentStyle();
  CustomGrid& g = style.custom_grids[0].grid[kGridDrum];
  if (GneRandomRange(1, 2) == 1) {
    for (int s = 0; s < 16; s += 2) Mark(g, 5, s);
  } else {
    for (int s = 0; s < 16; ++s) {
      if (s % 2 == 1) {
        if (GneRandomRange(1, 2) == 1) Mark(g, 5, s);
      } else if (GneRandomRange(1, 4) > 1) {
        Mark(g, 5, s);
      }
    }
  }
  for (int s = 0; s < 16; s += 2)
    if (GneRandomRange(1, 3) > 1) Mark(g, GneRandomRange(1, 2) == 1 ? 0 : 2, s);
  if (GneRandomRange(1, 2) == 1) Mark(g, 0, 0);
  if (GneRandomRange(1, 4) == 1) {
    g.pn_interval[9] = 19;
    for (int s = 0; s < 16; ++s) {
      const int b = s % 4 == 0 ? 2 : (s % 2 == 0 ? 4 : 8);
      if (GneRandomRange(1, b) == 1) Mark(g, 9, s);
    }
  }
  FillContinuedSteps(style);
}

namespace {

// Marks rows 2 (or 9) and the chord rows 4 and 6 on even steps, or joins
// steps by continuation.
void RandomChordSteps(CustomGrid& g) {
  for (int s = 0; s <= 14; s += 2) {
    if (GneRandomRange(1, 3) > 1) {
      Mark(g, GneRandomRange(1, 3) == 1 ? 9 : 2, s);
      Mark(g, 4, s);
      Mark(g, 6, s);
    } else if (GneRandomRange(1, 2) == 1 && s > 0) {
      g.pn_continuem[s] = 1;
      g.pn_continuem[s - 1] = 1;
    }
  }
}

}  // namespace

void RandomHarmonyGrid() {
  StyleRecord& style = CurrentStyle();
  CustomGrid& g = style.custom_grids[0].grid[kGridHarmony];
  RandomChordSteps(g);
  if (IsGuitar(style.instrument[kHarmonyChannel])) {
    if (GneRandomRange(1, 3) == 1) {
      for (int s = 0; s < 16; ++s)
        if (g.NoteTable[4][s] == 0) g.pn_continuem[s] = 1;
    }
    style.stroke[kGridHarmony] = 1;
  }
  static const int kAscending[4] = {2, 3, 4, 4};
  static const int kDescending[4] = {4, 3, 2, 2};
  int k = 0;
  for (int window = 0; window < 2; ++window) {
    const int first = window * 8;
    int marked = 0;
    for (int i = 0; i < 4; ++i) marked += g.NoteTable[4][first + 2 * i] != 0;
    if (marked < 3) continue;
    const int* run = nullptr;
    if (GneRandomRange(1, 2) == 1) {
      run = kAscending;
    } else if (GneRandomRange(1, 2) == 1) {
      run = kDescending;
    }
    if (run == nullptr) continue;
    for (int i = 0; i < 4; ++i, ++k)
      if (k <= 3) Mark(g, run[k], first + 2 * i);
  }
  FillContinuedSteps(style);
}

void RandomSubHarmonyGrid() {
  StyleRecord& style = CurrentStyle();
  CustomGrid& g = style.custom_grids[0].grid[kGridSubHarmony];
  RandomChordSteps(g);
  if (IsGuitar(style.instrument[kHarmonyChannel])) {
    for (int s = 0; s < 16; ++s) {
      if (GneRandomRange(1, 2) == 1 && s % 2 == 0) {
        g.pn_continuem[s] = 1;
        g.pn_continuem[s + 1] = 1;
      }
    }
  }
  FillContinuedSteps(style);
}
