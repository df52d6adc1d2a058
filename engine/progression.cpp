#include "engine/progression.h"

#include <cstring>

#include "engine/engine_errors.h"
#include "engine/part_helpers.h"
#include "engine/pattern_db.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr int kCustomChordInput = 8;
constexpr int kFittingCounterLimit = 1000;

// The bass offset of a chord marker's two-character text (0 when empty).
int BassOffsetOf(const ComposeEvent& marker) {
  if (marker.bass_text[0] == '\0') return 0;
  int value = 0;
  for (int i = 0; i < 2; ++i) {
    const char c = marker.bass_text[i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value;
}

ChordEntry EntryOf(int length, const char* code) {
  ChordEntry entry;
  if (length < 0) length = 0;
  if (length > 0xFFFF) length = 0xFFFF;
  entry.length = static_cast<uint16_t>(length);
  std::memcpy(entry.code, code, 4);
  return entry;
}

int SectionLimit() {
  const int count = ComposeInfo().section_count;
  if (count < 0) return 0;
  return count > kSectionCapacity ? kSectionCapacity : count;
}

void TemplateKeyCode(char* code4) {
  const std::string key = ChordTemplateKey();
  for (int i = 0; i < 4; ++i) code4[i] = i < static_cast<int>(key.size()) ? key[i] : '\0';
}

// Rebuilds the progression and stores its bar count.
int RebuildBarCount() {
  const int bars = BuildChordProgression() / BeatsPerBar();
  ComposeInfo().bar_count = bars;
  return bars;
}

bool EarlyFitReturn() {
  const StyleRecord& style = CurrentStyle();
  return style.chords_per_block == 1 || style.chord_beats == 4 ||
         style.chord_method == kCustomChordInput;
}

// Gives the chord markers of sections 0 .. section count - 1, in order, to
// `visit` until it returns true; returns whether one did. The one-chord
// changes of the fitting walk the progression this way and change the first
// marker that passes its test and its draw.
template <typename Visit>
bool VisitMarkersUntil(Visit visit) {
  ComposeInformation& info = ComposeInfo();
  const int sections = SectionLimit();
  for (int s = 0; s < sections; ++s) {
    EventList& list = info.section_chords[static_cast<size_t>(s)];
    for (int i = 0; i < list.count(); ++i) {
      ComposeEvent& marker = list[i];
      if (marker.kind == kEventChordMarker && visit(marker.length)) return true;
    }
  }
  return false;
}

// Sets a chord length and reports the change.
bool ChangeTo(int32_t* length, int value) {
  *length = value;
  return true;
}

}  // namespace

int BeatsPerBar() { return CurrentStyle().metre == 0 ? 4 : 3; }

int BuildChordProgression() {
  ComposeInformation& info = ComposeInfo();
  info.FreeChordBlocks();
  ResetModulationPoints();
  const int ids = info.section_id_count < 0
                      ? 0
                      : (info.section_id_count > kSectionIdCapacity ? kSectionIdCapacity
                                                                     : info.section_id_count);
  for (int i = 0; i < ids; ++i) {
    const int id = info.section_ids[i];
    if (id < 1 || id > kSectionCapacity) ShowErrorByCode(engine_error::kSectionId);
    NoteModulationPoint(i);
    if (id >= 1 && id <= kSectionCapacity) AddChordsOfSection(id - 1);
  }
  AddFinalChord();
  return info.TotalChordLength() / ticks::kBeat;
}

void AddChordsOfSection(int section) {
  if (section < 0 || section >= kSectionCapacity) return;
  ComposeInformation& info = ComposeInfo();
  const EventList& list = info.section_chords[static_cast<size_t>(section)];
  for (int i = 0; i < list.count(); ++i) {
    const ComposeEvent& marker = list[i];
    if (marker.kind != kEventChordMarker) continue;
    if (info.chord_block_count() >= kChordBlockCapacity) return;
    info.AddChordBlockWithBass(EntryOf(marker.length, marker.chord_code), BassOffsetOf(marker));
  }
}

void AddFinalChord() {
  const StyleRecord& style = CurrentStyle();
  if (style.chord_method == kCustomChordInput) return;
  char code[4];
  TemplateKeyCode(code);
  // Two whole bars (768 ticks in 4/4, 576 in 3/4, 672 in 7/8). When the
  // fitting has left the last bar short (a chord cut to a quarter or half
  // bar), the chord before the closing chord takes what the bar lacks, so that
  // the final tonic starts on a downbeat and the song ends on a bar line.
  ComposeInformation& info = ComposeInfo();
  const int bar = StyleBarTicks(style.metre);
  const int lack = (bar - info.TotalChordLength() % bar) % bar;
  if (lack > 0 && info.chord_block_count() > 0) {
    ChordBlock* before = info.chord_block(info.chord_block_count() - 1);
    before->length += lack;
    WriteChordEntry(before->entry, EntryOf(before->length, before->chord_code));
  }
  info.AddChordBlockWithBass(EntryOf(2 * bar, code), 0);
}

int ProgressionMinimumThreshold(int progression_code) {
  switch (progression_code) {
    // Random (5) and flamenco-like (10) progressions are built-in settings that draw as freely
    // as the loosest one.
    case 1:
    case 5:
    case 10: return 1;
    case 2: return 3;
    case 3:
    case 6:
    case 9: return 4;
    case 4:
    case 7: return 5;
    default: return -1;
  }
}

int CollectSuccessors(const char* code, const char* pattern_text,
                      std::array<SuccessorCandidate, kSuccessorCapacity>* out) {
  const int scale = PatternCountScale() < 1 ? 1 : PatternCountScale();
  int n = 0;
  bool overflow = false;
  size_t pos = 0;
  char record[kSuccessorRecordSize];
  for (;;) {
    int length = 0;
    const bool ended = ReadDatabaseRecord(pattern_text, record, sizeof record, &length, &pos);
    if (ended) break;  // a last record without "|" is not used
    if (length < 8 || !SameChordCode(record, code)) continue;
    if (n >= kSuccessorCapacity) {
      overflow = true;
      continue;
    }
    SuccessorCandidate& c = (*out)[static_cast<size_t>(n++)];
    std::memcpy(c.code, record + 4, 4);
    c.weight = 1 + ParseDatabaseNumber(record + 8, 3) / scale;
  }
  if (overflow) ShowErrorByCode(engine_error::kPatternFile);
  return n;
}

void PickNextChord(char* code, const char* pattern_text) {
  std::array<SuccessorCandidate, kSuccessorCapacity> candidates{};
  int n = CollectSuccessors(code, pattern_text, &candidates);
  if (n == 0) {
    // The template key alone, with a weight no threshold passes.
    TemplateKeyCode(candidates[0].code);
    candidates[0].weight = -48;
    n = 1;
  }

  StyleRecord& style = CurrentStyle();
  int minimum = ProgressionMinimumThreshold(style.progression);
  if (minimum < 0) {
    ShowErrorByCode(engine_error::kProgressionSetting);
    style.progression = 3;
    minimum = 1;
  }

  const SuccessorCandidate* taken = nullptr;
  for (int draw = 0; draw < kSuccessorDrawLimit && taken == nullptr; ++draw) {
    int index = GneRandomRange(0, n - 1);
    if (index > kSuccessorCapacity - 1) index = kSuccessorCapacity - 1;
    const int threshold = GneRandomRange(minimum, ProgressionToneLevel);
    if (threshold <= candidates[static_cast<size_t>(index)].weight)
      taken = &candidates[static_cast<size_t>(index)];
  }
  if (taken != nullptr) {
    std::memcpy(code, taken->code, 4);
  } else {
    TemplateKeyCode(code);
  }
  if (code[0] == '\0') ShowErrorByCode(engine_error::kPatternResult);
}

void PickNextChord(char* code) { PickNextChord(code, PatternDb().pattern_text); }

// ---- Fitting the progression to the song length ----------------------------

void LengthenOneChord44(int counter) {
  VisitMarkersUntil([counter](int32_t& length) {
    if (length < ticks::kBar && GneRandomRange(1, 3) == 1) return ChangeTo(&length, ticks::kBar);
    if (length < 2 * ticks::kBar && GneRandomRange(1, 3) == 1)
      return ChangeTo(&length, 2 * ticks::kBar);
    if (counter > 3 && length < ticks::kHalf && GneRandomRange(1, 2) == 1) return ChangeTo(&length, ticks::kHalf);
    return false;
  });
}

void ShortenOneChord44(int counter) {
  VisitMarkersUntil([counter](int32_t& length) {
    if (length > 383 && GneRandomRange(1, 3) == 1) return ChangeTo(&length, ticks::kHalf);
    if (counter > 3 && length > 191 && GneRandomRange(1, 2) == 1) return ChangeTo(&length, ticks::kQuarter);
    return false;
  });
}

// A 3/4 progression holds chords of one bar (288) or two (576): any chord
// shorter than two bars may grow to two, so that a progression of one-bar
// chords can be lengthened at all (a test against one bar would leave every
// chord a 3/4 chart makes as it is).
void LengthenOneChord34() {
  VisitMarkersUntil([](int32_t& length) {
    return length < 2 * ticks::Bar(3, 4) && GneRandomRange(1, 3) == 1 &&
           ChangeTo(&length, 2 * ticks::Bar(3, 4));
  });
}

void ShortenOneChord34() {
  VisitMarkersUntil([](int32_t& length) {
    return length > 575 && GneRandomRange(1, 3) == 1 && ChangeTo(&length, ticks::Bar(3, 4));
  });
}

int FitSongLength44(int* counter) {
  if (EarlyFitReturn()) return 1;
  ComposeInformation& info = ComposeInfo();
  const int target = CurrentStyle().song_bars;
  const int bars = info.bar_count;
  if (target < bars) {
    ShortenOneChord44(*counter);
  } else if (bars == target) {
    ++*counter;
    return *counter > kFittingCounterLimit ? 1 : 0;
  } else {
    LengthenOneChord44(*counter);
  }
  // A step that leaves the bar count as it was ends the fitting once six have
  // been made: the compose loop then plans the sections afresh rather than
  // squeezing a plan into chords of a beat.
  if (RebuildBarCount() == bars && *counter >= 6) return 1;
  ++*counter;
  return *counter > kFittingCounterLimit ? 1 : 0;
}

int FitSongLength34(int* counter) {
  if (EarlyFitReturn()) return 1;
  ComposeInformation& info = ComposeInfo();
  const int target = CurrentStyle().song_bars;
  const int bars = info.bar_count;
  if (target < bars) {
    if (*counter > 500 && info.section_count > 2) --info.section_count;
    ShortenOneChord34();
    RebuildBarCount();
  } else if (bars < target) {
    LengthenOneChord34();
    RebuildBarCount();
  }
  ++*counter;
  return *counter > kFittingCounterLimit ? 1 : 0;
}
