#include "style/style_table.h"

#include <algorithm>
#include <cstring>

#include "style/engine_services.h"
#include "style/style_catalogue.h"

namespace {

struct StyleModuleState {
  StyleRecord table[kStyleCategoryCount][kStyleSlotCount];
  StyleRecord current;
  int32_t part_flags[2][kStyleCategoryCount][kStyleSlotCount] = {};
};

StyleModuleState g_style;

int ClampIndex(int v, int count) { return v < 0 ? 0 : (v >= count ? count - 1 : v); }

// Default description of a slot without a style.
const char kNoStyleDescription[] = "このボタンに音楽スタイルは定義されていません。";

// int32 number `index` of the grid block: the four grid sets, then use_x,
// continue_major and stroke.
int32_t* GridBlockInt(StyleRecord& r, size_t index) {
  constexpr size_t kGridInts = kCustomGridSize / 4;  // 254
  constexpr size_t kSetInts = kCustomGridSetSize / 4; // 1016
  if (index < kSetInts * kGridSetCount) {
    CustomGrid& g = r.custom_grids[index / kSetInts].grid[(index % kSetInts) / kGridInts];
    size_t within = index % kGridInts;
    if (within < kGridRows * kGridSteps) return &g.NoteTable[within / kGridSteps][within % kGridSteps];
    within -= kGridRows * kGridSteps;
    if (within < kGridRows) return &g.pn_interval[within];
    return &g.pn_continuem[within - kGridRows];
  }
  index -= kSetInts * kGridSetCount;
  if (index < 4) return &r.use_x[index];
  if (index < 8) return &r.continue_major[index - 4];
  return &r.stroke[index - 8];
}

const uint8_t kFixedRiff[39] = {2, 4, 1,   2, 8,   5, 2, 255, 255, 2, 8, 255, 2,
                                6, 255, 2, 4, 1, 8,   255, 255, 2, 4, 1, 2, 4,
                                255, 2, 8, 255, 2, 255, 255, 2, 8, 5, 2, 6, 255};

}  // namespace

StyleRecord& CurrentStyle() { return g_style.current; }

bool IsValidStyleSlot(int category, int slot) {
  return category >= 0 && category < kStyleCategoryCount && slot >= 0 && slot < kStyleSlotCount;
}

StyleRecord& StyleTableSlot(int category, int slot) {
  return g_style.table[ClampIndex(category, kStyleCategoryCount)][ClampIndex(slot, kStyleSlotCount)];
}

const StyleRecord* FindStyleSlot(int category, int slot) {
  if (!IsValidStyleSlot(category, slot)) return nullptr;
  return &g_style.table[category][slot];
}

void ClearCustomGrids(StyleRecord& r, uint8_t fill, size_t size) {
  size = std::min(size, kGridBlockSize);
  const int32_t word = static_cast<int32_t>(0x01010101u * fill);
  // Walk the grid block in stored order, filling whole int32 runs.
  size_t left = size / 4;
  auto fill_run = [&left, word](int32_t* p, size_t n) {
    const size_t k = std::min(left, n);
    std::fill_n(p, k, word);
    left -= k;
  };
  for (CustomGridSet& set : r.custom_grids) {
    for (CustomGrid& g : set.grid) {
      fill_run(&g.NoteTable[0][0], kGridRows * kGridSteps);
      fill_run(g.pn_interval, kGridRows);
      fill_run(g.pn_continuem, kGridSteps);
    }
  }
  fill_run(r.use_x, kGridPartCount);
  fill_run(r.continue_major, kGridPartCount);
  fill_run(r.stroke, kGridPartCount);
  if (size % 4 != 0) {
    // A partial int32 at the end: only its low (first stored) bytes change.
    int32_t* v = GridBlockInt(r, size / 4);
    uint32_t u = static_cast<uint32_t>(*v);
    for (size_t b = 0; b < size % 4; ++b) {
      u &= ~(0xFFu << (8 * b));
      u |= static_cast<uint32_t>(fill) << (8 * b);
    }
    *v = static_cast<int32_t>(u);
  }
  static const int32_t kDrumNotes[kGridRows] = {0, 1, 3, 4, 5, 7, 9, 10, 11, 14, 15, 16, 19, 24};
  CustomGridSet& set0 = r.custom_grids[0];
  for (int row = 0; row < kGridRows; ++row) {
    set0.grid[kGridHarmony].pn_interval[row] = row + 5;
    set0.grid[kGridSubHarmony].pn_interval[row] = row + 5;
    set0.grid[kGridBass].pn_interval[row] = row + 5;
    set0.grid[kGridDrum].pn_interval[row] = kDrumNotes[row];
  }
}

void SetFixedRiffRhythm(uint8_t* riff) {
  std::memset(riff, 0, 96);
  std::memcpy(riff, kFixedRiff, sizeof kFixedRiff);
}

namespace {

void SetSongAndChordDefaults(StyleRecord& r) {
  // Names and texts.
  r.name[0] = '\0';
  SetStyleText(r.description, kNoStyleDescription);

  // Song.
  r.song_bars = 40;
  r.metre = 0;
  r.triple_metre_kind = 1;
  r.tempo = 750000;
  r.key_mode = 1;
  r.scale = 1;
  SetStyleText(r.scale_tones, "xxxx909099090909");
  r.basic_beat = 0;

  // Chords.
  r.chord_method = 0;
  r.modulation = 0;
  r.fit_chord_tones = 0;
  r.slash_chords = 0;
  r.fixed_bass = 0;
  r.progression = 7;
  r.chords_per_block = 0;
  r.chord_beats = 0;
  r.phrase_imitation = 0;
}

void SetPatternAndMelodyDefaults(StyleRecord& r) {
  // Patterns.
  r.accompaniment = 17;
  r.subharmony_accompaniment = 15;
  r.drum_pattern = 14;
  r.bass_pattern = 10;
  r.subdrum_pattern = 0;
  r.submelody_mode = 6;
  r.random_category = 0;
  r.reserved_17624 = 0;

  // Databases.
  SetStyleText(r.pattern_db, "PATTERN.DB");
  SetStyleText(r.chorus_db, "RESOLUT.DB");

  // Melody table.
  r.MTAdjustF = 1;
  r.MTAdjustL = 1;
  r.MTAdjustE = 1;
  r.MTNoCnt = 1;
  r.melody_table_mode = 0;
  static const int32_t kIntervals[8] = {40, 10, 70, 90, 90, 92, 94, 96};
  static const int32_t kDirections[8] = {-25, -25, 0, 10, 20, 30, 40, 50};
  std::copy(kIntervals, kIntervals + 8, r.melody_intervals);
  std::copy(kDirections, kDirections + 8, r.melody_directions);
}

// Reserved fields the defaults give values, and the song-wide limits.
void SetReservedDefaults(StyleRecord& r) {
  r.reserved_372 = 0;
  static const int32_t kReserved17544[11] = {0, 0, 90, 0, 0, 90, 0, 0, 0, 0, 0};
  std::copy(kReserved17544, kReserved17544 + 11, r.reserved_17544);
  r.reserved_720 = 1;
  r.reserved_736[0] = 0;
  r.reserved_736[1] = 100;
  r.reserved_736[2] = 100;
  r.reserved_736[3] = 100;

  r.unison_velocity = 38;
  r.part15_octave = 0;
  r.key_offset = 0;
  r.limit_low = 5;
  r.limit_high = 200;
}

// The parts' channels.
constexpr int kPartChannels[8] = {1, 2, 3, 4, 5, 7, 8, 9};

// Instruments: a piano melody, everything else off, channel 15 a pad; the mixer of every part.
void SetInstrumentDefaults(StyleRecord& r) {
  r.instrument[kMelodyChannel] = 0;
  for (int ch : {2, 3, 4, 5, 7, 8, 9}) r.instrument[ch] = kInstrumentOff;
  r.instrument[kPart15Channel] = 90;

  for (int ch : {1, 2, 3, 4, 5, 7}) r.octave[ch] = 0;

  for (int ch : kPartChannels) {
    MixerRecord& m = r.mixer[ch];
    m.volume = 100;
    if (ch == 3 || ch == 7) m.volume = 115;
    if (ch == 5) m.volume = 60;
    m.chorus = m.reverb = m.brightness = m.attack = m.decay = m.release = m.resonance = m.pan = 64;
    m.double_delay = 0;
  }
}

// The melody part's record, shared by the sub-melody and sub-drum parts; every part's density.
void SetPartDefaults(StyleRecord& r) {
  PartRecord& p = r.parts[kMelodyChannel];
  p.dissonance = 0;
  p.note_length = 2;
  p.syncopation = 0;
  p.ornament = 0;
  p.effect = 0;
  p.voicing = 0;
  p.range_high = 80;
  p.range_low = 50;
  p.algorithm = 1;
  p.tension = 0;
  p.rhythm_repeat = 0;
  p.melody_repeat = 0;
  p.algorithm_param = 0;
  r.parts[kSubMelodyChannel] = p;
  r.parts[kSubDrumChannel] = p;

  for (int ch : kPartChannels) r.density[ch] = 100;
}

}  // namespace

void SetStyleDefaults(StyleRecord& r) {
  SetSongAndChordDefaults(r);
  SetPatternAndMelodyDefaults(r);
  SetReservedDefaults(r);
  SetInstrumentDefaults(r);
  SetPartDefaults(r);

  ClearCustomGrids(r, 0, kGridBlockSize);

  int32_t cells[256] = {};
  MakeRandomRiffRhythm(cells, r);
  for (int i = 0; i < 96; ++i) r.riff[i] = static_cast<uint8_t>(cells[i] & 0xFF);
}

void WriteDefaultChordList(int bars, uint8_t* list, size_t list_size, int bar_ticks) {
  if (list == nullptr || list_size < 2) return;
  const int room = static_cast<int>((list_size - 2) / kChordEntrySize);
  const int count = std::min(std::max(bars, 0), std::min(room, kMaxCustomChordEntries));
  for (int b = 0; b < count; ++b) {
    ChordEntry e;
    e.length = static_cast<uint16_t>(bar_ticks);
    std::memcpy(e.code, (b & 4) ? "GMPs" : "CMPS", 4);
    WriteChordEntry(list + static_cast<size_t>(b) * kChordEntrySize, e);
  }
  list[static_cast<size_t>(count) * kChordEntrySize] = 0;
  list[static_cast<size_t>(count) * kChordEntrySize + 1] = 0;
}

void FinaliseStyle(StyleRecord& r) {
  WriteDefaultChordList(r.song_bars, r.custom_chords, sizeof r.custom_chords,
                        StyleBarTicks(r.metre));
  if (r.submelody_mode == 6) r.parts[kSubMelodyChannel] = r.parts[kMelodyChannel];
}

void FillEmptyStyleSlot(int category, int slot) {
  StyleRecord& r = StyleTableSlot(category, slot);
  SetStyleDefaults(r);
  FinaliseStyle(r);
}

void BuildStyleTable() {
  for (int c = 0; c < kStyleCategoryCount; ++c)
    for (int s = 0; s < kStyleSlotCount; ++s) RunStyleSlotDefinition(c, s, g_style.table[c][s]);
}

void ApplyStyle(const StyleRecord& record) {
  if (&record != &g_style.current) g_style.current = record;
  if (g_style.current.key_mode == 1) {
    SelectMajorTimingDatabases();
  } else {
    SelectMinorTimingDatabases();
  }
}

void ClearPartFlagTables() {
  ClearPartFlagTable(0);
  ClearPartFlagTable(1);
}

void ClearPartFlagTable(int table) {
  if (table < 0 || table > 1) return;
  for (auto& row : g_style.part_flags[table])
    for (int32_t& v : row) v = 0;
}

int32_t PartFlag(int table, int category, int slot) {
  if (table < 0 || table > 1 || !IsValidStyleSlot(category, slot)) return 0;
  return g_style.part_flags[table][category][slot];
}

void ShortenStyle(StyleRecord& r) {
  r.song_bars = 24;
  const uint32_t tempo = static_cast<uint32_t>(r.tempo);
  r.tempo = static_cast<int32_t>(tempo - tempo / 10);
  for (int ch : {1, 2, 3, 4, 5, 7, 8}) r.mixer[ch].double_delay = 0;
  const int old_melody = r.mixer[kMelodyChannel].volume;
  r.mixer[kMelodyChannel].volume = 127;
  // A silent melody gives no scale: the other volumes keep their values.
  if (old_melody == 0) return;
  for (int ch : {2, 3, 4, 5, 7, 8, 9}) {
    const double scaled = r.mixer[ch].volume * 127.0 / old_melody;
    r.mixer[ch].volume = MidiDataByte(static_cast<int64_t>(scaled));
  }
}

void BuildAlternativeStyleTable() {
  struct Position {
    int category, slot;
  };
  static const Position kCategory0[kStyleSlotCount] = {
      {0, 0}, {1, 5}, {0, 21}, {1, 2}, {1, 7},  {1, 1},  {0, 4},  {0, 6},
      {2, 1}, {2, 7}, {2, 3},  {2, 14}, {5, 7}, {5, 3},  {3, 13}, {3, 2},
      {3, 7}, {4, 10}, {4, 11}, {5, 4}, {4, 2}, {7, 1},  {7, 12}, {7, 15}};
  static const Position kCategory1[kStyleSlotCount] = {
      {1, 3}, {1, 4}, {1, 6}, {6, 3}, {0, 10}, {0, 13}, {0, 14}, {0, 7},
      {8, 1}, {0, 8}, {8, 5}, {2, 16}, {5, 5}, {5, 11}, {3, 11}, {3, 5},
      {3, 8}, {5, 2}, {5, 1}, {5, 8}, {4, 15}, {7, 6}, {6, 9},  {7, 3}};
  for (int s = 0; s < kStyleSlotCount; ++s) {
    RunStyleSlotDefinition(kCategory0[s].category, kCategory0[s].slot, g_style.table[0][s]);
    RunStyleSlotDefinition(kCategory1[s].category, kCategory1[s].slot, g_style.table[1][s]);
  }
}

void ResetStyleModule() {
  for (auto& row : g_style.table)
    for (StyleRecord& r : row) r = StyleRecord();
  g_style.current = StyleRecord();
  ClearPartFlagTables();
}
