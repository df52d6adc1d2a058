#include "engine/database_progression.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/chord_block.h"
#include "engine/engine_errors.h"
#include "engine/engine_store.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr char kRootLetters[] = "CdDeEFgGaAbB";
constexpr int kMotionMethod = 1;
// A chart record holds at most 255 three-digit lengths; a longer one is cut
// (and reported) by the record reader.
constexpr size_t kChartRecordSize = 3 * kChartSlots + 8;
constexpr size_t kCadenceRecordSize = 4 * kChartSlots + 8;

void KeyCode(char* code) {
  const std::string key = ChordTemplateKey();
  for (int i = 0; i < 4; ++i) code[i] = i < static_cast<int>(key.size()) ? key[i] : '\0';
}

bool ScaleIsDiatonic(int scale) { return scale == 1 || scale == 6 || scale == 7; }

int BarOfMetre(int metre) {
  switch (metre) {
    case 0: return ticks::kBar;
    case 1: return ticks::Bar(3, 4);
    default: return ticks::Bar(7, 8);
  }
}

// A chord marker of the given length and code (bass text "00" unless given).
void AppendMarker(EventList* list, int length, const char* code, const char* bass = "00") {
  ChordBlock block;
  std::memcpy(block.chord_code, code, 4);
  block.length = length;
  block.bass_text[0] = bass[0];
  block.bass_text[1] = bass[1];
  list->AppendChordMarker(block);
}

char RaiseRoot(char root, int semitones) {
  for (int i = 0; i < semitones; ++i) root = RootLetterUp(root);
  return root;
}

// The records of a database text after its first (the count), as offsets of
// their first character; only records ended by "|" count. Lets a drawn record
// number be checked against what the text really holds.
std::vector<size_t> RecordStarts(const char* text) {
  std::vector<size_t> starts;
  size_t pos = 0;
  while (text[pos] != '\0' && text[pos] != '|') ++pos;
  if (text[pos] == '\0') return starts;
  ++pos;
  size_t start = pos;
  for (; text[pos] != '\0'; ++pos) {
    if (text[pos] == '|') {
      starts.push_back(start);
      start = pos + 1;
    }
  }
  return starts;
}

// The count of the first record (0 when it has none).
int RecordCount(const char* text) {
  char record[32];
  int length = 0;
  size_t pos = 0;
  ReadDatabaseRecord(text, record, sizeof record, &length, &pos);
  return ParseDatabaseNumber(record, 0);
}

// Draws a record the way the databases are meant: N from the first record,
// then record GneRandomRange(1, N). The draw is bounded by the records the
// text holds; -1 when it holds none (or N is below 1).
int DrawRecord(const char* text, const std::vector<size_t>& starts) {
  int n = RecordCount(text);
  if (n > static_cast<int>(starts.size())) n = static_cast<int>(starts.size());
  if (n < 1) return -1;
  return GneRandomRange(1, n) - 1;
}

void ReadRecordAt(const char* text, size_t start, char* record, size_t size, int* length) {
  size_t pos = start;
  ReadDatabaseRecord(text, record, size, length, &pos);
}

struct Tones {
  int pc[4];  // root, third, fifth, seventh (a missing tone counts as 0)
};

Tones TonesOf(const char* code) {
  ChordEntry entry;
  entry.length = ticks::kBar;
  std::memcpy(entry.code, code, 4);
  const ChordBlock block(entry, nullptr);
  return Tones{{block.root % 12, block.third % 12, block.fifth % 12, block.seventh % 12}};
}

int ScoreOf(const Tones& t) {
  return ToneScore(t.pc[3]) + ToneScore(t.pc[2]) + ToneScore(t.pc[1]) + ToneScore(t.pc[0]);
}

void SetQuality(char* code, const char* quality) { std::memcpy(code + 1, quality, 3); }

// One candidate of MotionStep and whether it stands (its score reaches the
// drawn level).
bool MotionCandidate(const char* previous, int threshold, char* candidate, Tones* tones) {
  RandomChord(candidate);
  if (GneRandomRange(1, 4) == 1) {
    SetQuality(candidate, "mds");
  } else if (GneRandomRange(1, 3) == 1) {
    candidate[0] = FifthUp(previous[0]);
    if (GneRandomRange(1, 2) == 1) SetQuality(candidate, "MPs");
  } else if (GneRandomRange(1, 3) == 1) {
    candidate[0] = FourthUp(previous[0]);
    if (GneRandomRange(1, 2) == 1) SetQuality(candidate, "MPS");
  }
  *tones = TonesOf(candidate);
  if (ToneScore(tones->pc[2]) + ToneScore(tones->pc[1]) + ToneScore(tones->pc[0]) < 5)
    GneRandomRange(1, 2);
  return ScoreOf(*tones) >= GneRandomRange(threshold, 8);
}

bool MotionTaken(const char* previous, const Tones& prev, const char* candidate,
                 const Tones& cand) {
  int p[4], c[4];
  std::copy(prev.pc, prev.pc + 4, p);
  std::copy(cand.pc, cand.pc + 4, c);
  std::sort(p, p + 4);
  std::sort(c, c + 4);
  int s0 = 0, s1 = 0, s2 = 0;
  for (int tone : c) {
    int nearest = 12;
    for (int other : p) nearest = std::min(nearest, std::abs(tone - other));
    s0 += nearest == 0;
    s1 += nearest == 1;
    s2 += nearest == 2;
  }
  int m = (s1 == 1 || s1 == 3) ? 1 : 0;
  if (previous[1] == 'M' && previous[3] == 's') ++m;
  if (candidate[1] == 'M' && candidate[3] == 'S') ++m;
  if (candidate[1] == 'm' && candidate[3] == 's') ++m;
  if (s2 == 3) return true;
  if (s0 == 3 && GneRandomRange(1, 2) == 1) return true;
  if (s0 == 4) GneRandomRange(1, 4);
  return m + (s0 == 2 ? 1 : 0) >= 2;
}

int ThresholdOf(int progression, bool cadence) {
  switch (progression) {
    case 1: return 5;
    case 2: return 6;
    case 3: return 7;
    case 9: return cadence ? 7 : 8;
    default: return 8;
  }
}

// The lengths of a section's chart: from the chart text with chord beats 0,
// generated with 4; any other value has none.
void ChartOf(int32_t* lengths, const char* chart_text) {
  const StyleRecord& style = CurrentStyle();
  lengths[0] = 0;
  if (style.chord_beats == 0) {
    PickTimeChart(lengths, chart_text);
  } else if (style.chord_beats == 4) {
    MakeTimeChart(lengths);
  } else {
    ShowErrorByCode(engine_error::kChordBlockLength);
  }
}

// Index of the slot `step` slots after e, stopping at the chart's end mark.
int Advance(const int32_t* lengths, int e, int step) {
  for (int i = 0; i < step && e < kChartSlots && lengths[e] != 0; ++i) ++e;
  return e;
}

}  // namespace

DatabaseProgressionState& DatabaseProgression() { return TheEngineStore().database_progression; }
void ResetDatabaseProgression() { DatabaseProgression() = DatabaseProgressionState{}; }

char FifthUp(char root) {
  const char* at = root == '\0' ? nullptr : std::strchr(kRootLetters, root);
  return at == nullptr ? root : kRootLetters[(at - kRootLetters + 7) % 12];
}

char FourthUp(char root) {
  const char* at = root == '\0' ? nullptr : std::strchr(kRootLetters, root);
  return at == nullptr ? root : kRootLetters[(at - kRootLetters + 5) % 12];
}

int ToneScore(int pitch) {
  const int pc = ((pitch % 12) + 12) % 12;
  if (pc == 1 || pc == 3 || pc == 10) return 0;
  if (pc == 6 || pc == 8) return CurrentStyle().key_mode == 1 ? 1 : 2;
  return 2;
}

int ChordScore(const char* code) { return ScoreOf(TonesOf(code)); }

bool ScaleAllowsRoot(const char* code) {
  char scale[kToneWeightTextSize] = {};
  GetScaleTemplate(CurrentStyle().scale, scale);
  return ToneDigit(scale, RootPitchClass(code[0])) > ToneLevel1;
}

int PickSectionCount(int fallback, int bound) {
  const int r = GneRandomRange(1, bound + 2);
  return (r == bound + 1 || r == bound + 2) ? fallback : r;
}

void PlanSections() {
  ComposeInformation& info = ComposeInfo();
  const StyleRecord& style = CurrentStyle();
  const int target = style.song_bars;
  int count = 0;
  if (style.progression == 7) {
    count = kPlainSectionCount - kSectionRepeatCount;
  } else if (style.chords_per_block != 0) {
    if (style.chord_beats == 0) {
      count = (target - 2) / GneRandomRange(4, 6);
    } else if (style.chord_beats == 4) {
      count = (target - 2) / 4 / 2;
    } else {
      ShowErrorByCode(engine_error::kChordBlockLength);
    }
    // The section lists and work blocks hold 200 sections.
    if (count < 1 || count > kSectionCapacity) {
      ShowErrorByCode(engine_error::kSectionPlan);
      count = std::clamp(count, 1, kSectionCapacity);
    }
  } else {
    do {
      count = target > 30 ? PickSectionCount(5, 13) : PickSectionCount(4, 12);
    } while (count < 2);
  }
  info.section_count = count;
  info.section_id_count = 0;
  for (int j = 1; j <= count; ++j) {
    int n = 0;
    if (style.progression == 7 || style.chord_beats != 0) {
      n = kSectionRepeatCount;
    } else {
      n = target > 30 ? PickSectionCount(2, 4) : PickSectionCount(2, 3);
    }
    for (int k = 0; k < n; ++k) info.AddSectionId(j);
  }
}

void BuildDatabaseProgression() {
  PlanSections();
  BuildAllSections();
  ComposeInformation& info = ComposeInfo();
  const int count = std::clamp(info.section_count, 1, kSectionCapacity);
  char last[5] = {};
  if (count >= 2) {
    LastChordOf(info.section_chords[static_cast<size_t>(count - 2)], last);
  } else {
    KeyCode(last);
  }
  BuildCadenceSection(&info.section_chords[static_cast<size_t>(count - 1)], last,
                      info.work_blocks[static_cast<size_t>(count - 1)].data());
}

void BuildAllSections() {
  ComposeInformation& info = ComposeInfo();
  ClearEventListArray(info.section_chords);
  for (auto& block : info.work_blocks) block.fill(0);
  const int count = std::min(info.section_count, kSectionCapacity);
  for (int s = 0; s + 1 < count; ++s)
    BuildSectionChords(&info.section_chords[static_cast<size_t>(s)],
                       info.work_blocks[static_cast<size_t>(s)].data());
}

void BuildSectionChords(EventList* list, int32_t* work_block) {
  const StyleRecord& style = CurrentStyle();
  char* cur = DatabaseProgression().current;
  KeyCode(cur);
  ChartOf(work_block, PatternDb().time_chart_text);

  const bool diatonic = ScaleIsDiatonic(style.scale);
  const bool plain_scale = (style.scale == 1 || style.scale == 7) && style.metre == 0;
  int e = 0;
  while (e < kChartSlots && work_block[e] != 0) {
    int length = work_block[e];
    if (style.progression == 7) {
      KeyCode(cur);
      length = style.metre == 0 ? 2 * ticks::kBar
                                : (style.metre == 1 ? 2 * ticks::Bar(3, 4) : ticks::Bar(7, 8));
    } else if (style.chords_per_block == 1) {
      length = BarOfMetre(style.metre);
    }

    if (plain_scale && cur[1] == 'M' && cur[3] == 's' && GneRandomRange(1, 3) == 1 &&
        length >= ticks::kBar && style.progression != 6 && style.chord_beats != 4) {
      // A suspended fourth resolving to the major third.
      char sus[4];
      std::memcpy(sus, cur, 4);
      sus[1] = '4';
      AppendMarker(list, length / 2, sus);
      AppendMarker(list, length / 2, cur);
      e = Advance(work_block, e, 2);
    } else if (plain_scale && cur[1] == 'M' && length > 383 && style.progression == 9 &&
               ChordTemplateKey() == std::string(cur, 4) && GneRandomRange(1, 4) == 1) {
      // The tonic passing through its augmented fifth.
      AppendMarker(list, length / 2, cur);
      cur[2] = 'A';
      AppendMarker(list, length / 2, cur);
      e = Advance(work_block, e, 2);
    } else {
      char bass[2] = {'0', '0'};
      if (style.slash_chords == 1 && GneRandomRange(1, 4) == 1) {
        switch (GneRandomRange(1, 3)) {
          case 1: bass[1] = '7'; break;
          case 2: bass[1] = cur[1] == 'M' ? '4' : (cur[1] == 'm' ? '3' : '0'); break;
          default:
            if (cur[3] == 'S' || cur[3] == 's') {
              bass[0] = '1';
              bass[1] = cur[3] == 'S' ? '1' : '0';
            }
            break;
        }
      }
      AppendMarker(list, length, cur, bass);
      e = Advance(work_block, e, 1);
    }

    char previous[4];
    std::memcpy(previous, cur, 4);
    ChooseNextChord(cur);
    for (int draw = 1; !diatonic && draw < kChoiceRetries && !ScaleAllowsRoot(cur); ++draw) {
      std::memcpy(cur, previous, 4);
      ChooseNextChord(cur);
    }

    if (style.progression != 5 && style.progression != 9 && style.progression != 10 &&
        style.chord_method == kMotionMethod && style.progression != 6 && diatonic &&
        e < kChartSlots && (work_block[e] == ticks::kQuarter || work_block[e] == ticks::kHalf) &&
        e != 0 && e + 1 < kChartSlots && work_block[e + 1] != 0 && GneRandomRange(1, 4) == 1) {
      char passing[4];
      std::memcpy(passing, cur, 4);
      PassingChord(passing);
      AppendMarker(list, work_block[e], passing);
      ++e;
    }
  }
}

void BuildCadenceSection(EventList* list, char* last_chord, int32_t* work_block) {
  const StyleRecord& style = CurrentStyle();
  ChartOf(work_block, PatternDb().cadence_time_chart_text);
  int n = 0;
  while (n < kChartSlots && work_block[n] != 0) {
    if (style.chords_per_block == 1) work_block[n] = BarOfMetre(style.metre);
    ++n;
  }
  std::vector<char> codes(static_cast<size_t>(4 * n + 4), '\0');
  if (style.chord_method == kMotionMethod) {
    MotionCadence(last_chord, codes.data(), n);
  } else {
    PickCadence(last_chord, codes.data(), n, PatternDb().cadence_text);
  }
  for (int i = 0; i < n; ++i) AppendMarker(list, work_block[i], codes.data() + 4 * i);
}

void LastChordOf(const EventList& list, char* code) {
  for (int i = list.count() - 1; i >= 0; --i) {
    if (list[i].kind == kEventChordMarker) {
      std::memcpy(code, list[i].chord_code, 4);
      return;
    }
  }
  KeyCode(code);
}

void PickTimeChart(int32_t* lengths, const char* chart_text) {
  const int metre = CurrentStyle().metre;
  lengths[0] = 0;
  const std::vector<size_t> starts = RecordStarts(chart_text);
  const int index = DrawRecord(chart_text, starts);
  if (index < 0) {
    ShowErrorByCode(engine_error::kTimeChartMake);
    return;
  }
  char record[kChartRecordSize];
  int length = 0;
  ReadRecordAt(chart_text, starts[static_cast<size_t>(index)], record, sizeof record, &length);
  int n = 0;
  for (int k = 0; k + 3 <= length; k += 3) {
    const int value = ParseDatabaseNumber(record + k, 3);
    if (value == 0) {
      ShowErrorByCode(engine_error::kTimeChartMake);
      break;
    }
    if (metre == 1 && value != ticks::Bar(3, 4) && value != 2 * ticks::Bar(3, 4))
      ShowErrorByCode(engine_error::kTripleChart);
    if (metre == 2 && value != ticks::Bar(7, 8)) ShowErrorByCode(engine_error::kSevenEightChart);
    if (n >= kChartSlots) {
      ShowErrorByCode(engine_error::kTimeChartLength);
      break;
    }
    lengths[n++] = value;
  }
  if (n == 0 && length < 3) ShowErrorByCode(engine_error::kTimeChartMake);
  lengths[n] = 0;
}

void MakeTimeChart(int32_t* lengths) {
  const StyleRecord& style = CurrentStyle();
  int count = 0;
  if (style.chord_beats == 0) {
    count = GneRandomRange(3, 8);
  } else if (style.chord_beats == 4) {
    count = 4;
  } else {
    ShowErrorByCode(engine_error::kChordBlockLength);
  }
  int n = 0;
  for (int i = 0; i < count; ++i) {
    int value = 0;
    if (style.chords_per_block == 1) {
      value = BarOfMetre(style.metre);
    } else if (style.metre == 0) {
      value = ticks::kHalf * GneRandomRange(1, 4);
    } else if (style.metre == 1) {
      value = ticks::Bar(3, 4) * GneRandomRange(1, 2);
    } else if (style.metre == 2) {
      value = ticks::Bar(7, 8);
    } else {
      ShowErrorByCode(engine_error::kMetreChart);
      continue;
    }
    lengths[n++] = value;
  }
  for (int i = 0; i < 3; ++i) lengths[n + i] = 0;
}

void PickCadence(const char* last_chord, char* codes, int needed, const char* cadence_text) {
  const std::vector<size_t> starts = RecordStarts(cadence_text);
  char record[kCadenceRecordSize];
  for (int attempt = 0; attempt < kCadenceAttempts; ++attempt) {
    const int index = DrawRecord(cadence_text, starts);
    if (index < 0) break;
    int length = 0;
    ReadRecordAt(cadence_text, starts[static_cast<size_t>(index)], record, sizeof record, &length);
    if (length / 4 != needed) continue;
    if (needed > 0 && std::memcmp(record, last_chord, 4) == 0 &&
        attempt < kCadenceRepeatAllowance)
      continue;
    std::memcpy(codes, record, static_cast<size_t>(4 * needed));
    return;
  }
  for (int i = 0; i < needed; ++i) KeyCode(codes + 4 * i);
}

void MotionCadence(char* last_chord, char* codes, int needed) {
  for (int i = 0; i < needed; ++i) {
    MotionCadenceStep(last_chord, codes + 4 * i);
    std::memcpy(last_chord, codes + 4 * i, 4);
  }
}

void MotionCadenceStep(char* last_chord, char* result) {
  const int threshold = ThresholdOf(CurrentStyle().progression, true);
  const char* l = last_chord;
  for (int tries = 0; tries < kMotionCadenceTries; ++tries) {
    if (l[1] == 'M' && l[3] == 's') {
      result[0] = FourthUp(l[0]);
      SetQuality(result, GneRandomRange(1, 2) == 1 ? "MPS" : "mPs");
    } else if (l[1] == 'M' && l[3] == 'S') {
      switch (GneRandomRange(1, 3)) {
        case 1:
          result[0] = RaiseRoot(l[0], 2);
          SetQuality(result, "mPs");
          break;
        case 2:
          result[0] = FourthUp(l[0]);
          SetQuality(result, "MPS");
          break;
        default:
          result[0] = RaiseRoot(l[0], 2);
          SetQuality(result, "MPs");
          break;
      }
    } else if (l[1] == 'm' && l[3] == 's') {
      result[0] = FourthUp(l[0]);
      SetQuality(result, "MPs");
    } else {
      KeyCode(result);
    }
    if (ChordScore(result) >= threshold) break;
  }
  std::memcpy(last_chord, result, 4);
}

void RandomChord(char* code) {
  code[0] = kRootLetters[GneRandomRange(1, 12) - 1];
  code[1] = GneRandomRange(1, 2) == 1 ? 'M' : 'm';
  if (GneRandomRange(1, 3) == 2) {
    code[2] = 'd';
    code[1] = 'm';
  } else {
    code[2] = 'P';
  }
  code[3] = GneRandomRange(1, 2) == 1 ? 'S' : 's';
}

void SubdominantStep(char* code) {
  char root = code[0];
  if (root == 'D' && GneRandomRange(1, 2) != 1) {
    root = 'G';
  } else if (root == 'G' && GneRandomRange(1, 3) != 1) {
    root = 'C';
  } else if (root == 'C' && GneRandomRange(1, 3) == 1) {
    root = 'D';
  } else if (GneRandomRange(1, 2) == 1) {
    root = RaiseRoot(root, 5);
  } else if (GneRandomRange(1, 3) == 1) {
    root = RaiseRoot(root, 9);
  } else if (GneRandomRange(1, 2) == 1) {
    root = RaiseRoot(root, 7);
  } else {
    root = RaiseRoot(root, 3);
  }
  code[0] = root;
  code[1] = 'M';
  code[2] = 'P';
  switch (root) {
    case 'C': code[3] = GneRandomRange(1, 4) == 1 ? 's' : 'S'; break;
    case 'D': code[3] = GneRandomRange(1, 5) == 1 ? 'S' : 's'; break;
    case 'G': code[3] = GneRandomRange(1, 6) == 1 ? 'S' : 's'; break;
    default: code[3] = GneRandomRange(1, 2) == 1 ? 'S' : 's'; break;
  }
}

void FlamencoStep(char* code) {
  const char* fixed = nullptr;
  switch (code[0]) {
    case 'A': fixed = "GMPS"; break;
    case 'E': fixed = CurrentStyle().key_mode == 1 ? "CMPS" : "AmPs"; break;
    case 'F': fixed = "EMPs"; break;
    case 'G': fixed = "FMPS"; break;
    default: break;
  }
  if (fixed != nullptr) {
    std::memcpy(code, fixed, 4);
    if (GneRandomRange(1, 3) != 1) return;
  }
  static const char* const kDrawn[4] = {"GMPS", "FMPS", "EMPs", "AmPs"};
  std::memcpy(code, kDrawn[(GneRandomRange(1, 8) - 1) % 4], 4);
}

void MotionStep(char* code) {
  const int threshold = ThresholdOf(CurrentStyle().progression, false);
  char previous[4];
  std::memcpy(previous, code, 4);
  const Tones prev = TonesOf(previous);
  char candidate[4];
  std::memcpy(candidate, code, 4);
  Tones tones{};
  // Nearly every seed takes a candidate within a few hundred; the bound keeps
  // a style whose scores can never pass from drawing forever.
  for (int made = 0; made < kMotionCandidateLimit; ++made) {
    if (!MotionCandidate(previous, threshold, candidate, &tones)) continue;
    if (MotionTaken(previous, prev, candidate, tones)) break;
  }
  std::memcpy(code, candidate, 4);
}

void PassingChord(char* code) {
  code[0] = GneRandomRange(1, 2) == 1 ? RootLetterUp(code[0]) : RootLetterDown(code[0]);
}

void ChooseNextChord(char* code) {
  const StyleRecord& style = CurrentStyle();
  switch (style.progression) {
    case 5: RandomChord(code); return;
    case 9: SubdominantStep(code); return;
    case 10: FlamencoStep(code); return;
    default: break;
  }
  if (style.chord_method == kMotionMethod && style.progression != 6) {
    MotionStep(code);
  } else {
    PickNextChord(code);
  }
}
