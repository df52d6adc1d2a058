// A part's phrase lists in the order the sections are played, its closing
// phrase, and the melody voicing that mirrors the melody below it.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/melody.h"
#include "engine/part_helpers.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

constexpr int kMaxEndingSteps = 12;
constexpr int kMaxVoicingMoves = 24;
constexpr int kOrnamentClassic = 1;

int Weight(const char* weights, int pitch) { return ToneDigit(weights, PitchClassOf(pitch)); }

void WeightsOfMarker(const ComposeEvent& e, char* weights) {
  char code[5] = {};
  std::memcpy(code, e.chord_code, 4);
  BuildToneWeights(code, weights);
}

// Appends a note of the closing phrase, fitted into the part's range.
void AppendFitted(EventList* out, int channel, int length, int pitch) {
  FitIntoPartRange(channel, &pitch);
  out->AppendNote(length, pitch);
}

std::string TemplateKey() {
  std::string key = ChordTemplateKey();
  if (key.size() < 4) key = "CMPS";
  return key.substr(0, 4);
}

void ScaleWeightsOfKey(char* weights) { BuildToneWeights(TemplateKey().c_str(), weights); }
void ChordWeightsOfKey(char* weights) { FindChordToneWeights(TemplateKey().c_str(), weights); }

int DefaultEndingPitch(int channel, int a) {
  if (a < 24 || a > 127) {
    const PartRecord& part = MelodyPart(channel);
    a = TonicPitchClass() + ((part.range_high + part.range_low) / 24 - 1) * 12;
  }
  return a;
}

// Walks the chord blocks of the compose information alongside an input list:
// advances to the block that holds `start`; false when none is left.
struct BlockWalker {
  int index = 0;
  int end = 0;
  bool started = false;
  bool first_event = true;
  bool Advance(int start) {
    ComposeInformation& info = ComposeInfo();
    if (!started) {
      if (info.chord_block_count() == 0) return false;
      end = info.chord_block(0)->length;
      started = true;
    }
    while (start >= end) {
      ++index;
      if (index >= info.chord_block_count()) return false;
      end += info.chord_block(index)->length;
      first_event = true;
    }
    return true;
  }
  const ChordBlock& Block() const { return *ComposeInfo().chord_block(index); }
};

}  // namespace

int TonicPitchClass() { return CurrentStyle().key_mode == 1 ? 12 : 9; }

int CollectPhraseNotes(int part, std::array<EventList, kSectionCapacity>& lists, EventList* out) {
  ComposeInformation& info = ComposeInfo();
  out->FreeEvents();
  bool rendering = ComposeMode() == kSongRenderingMode;
  if (part == 4 && ObbligatoInputList().count() == 0) rendering = false;
  if (part == 1 && MelodyFromInput() == 0) rendering = false;
  if (rendering) {
    switch (part) {
      case 1:
      case 5:
        out->CopyFrom(MelodyInputCopy());
        break;
      case 6:
        VoicingFromInput(out, MelodyInputCopy());
        break;
      case 4:
        ObbligatoFromInput(out, ObbligatoInputList());
        break;
      default:
        break;
    }
    return 0;
  }
  int last = 0;
  ModulationPoints& mod = Modulation();
  const int ids = std::clamp(info.section_id_count, 0, kSectionIdCapacity);
  for (int j = 0; j < ids; ++j) {
    const int id = info.section_ids[j] - 1;
    if (j == mod.section_position[0]) {
      mod.melody_event_index[0] = out->count();
    } else if (j == mod.section_position[1]) {
      mod.melody_event_index[1] = out->count();
    }
    if (id < 0 || id >= kSectionCapacity) {
      ShowErrorByCode(melody_error::kSectionId);
      continue;
    }
    const EventList& list = lists[static_cast<size_t>(id)];
    for (int e = 0; e < list.count(); ++e) {
      const ComposeEvent& ev = list[e];
      if (ev.kind == kEventChordMarker) {
        out->AppendChordMarker(ChordBlockOfMarker(ev));
      } else if (ev.kind == kEventControl) {
        out->AppendControl(ev.length, ev.pitch);
      } else if (ev.kind == kEventNote) {
        out->AppendNote(ev.length, ev.pitch);
        last = ev.pitch;
      }
    }
  }
  ClearEventListArray(lists);
  return last;
}

int VoicingPitch(int channel, int* pivot, int n, const char* weights) {
  MelodyState& m = Melody();
  if (n == 0) {
    if (m.voicing_pitch == 0 || MelodyPart(channel).voicing != 2) {
      m.voicing_pitch = 0;
      return 0;
    }
    int result;
    if (GneRandomRange(1, 7) == 1) {
      result = m.voicing_pitch + 12;
    } else if (GneRandomRange(1, 4) == 1) {
      result = 0;
    } else {
      result = m.voicing_pitch;
    }
    ++m.held_rests;
    if (m.held_rests > 4 && GneRandomRange(1, 2) == 1) m.voicing_pitch = 0;
    return result;
  }
  int& s = *pivot;
  if (s == 0) s = n - 2;
  int b = n - s;
  if (b <= 0) {
    s = n - 2;
    b = 3;
  }
  // The first strong tone below the mirror of n around s; none above 0: n.
  int c = s - b - 1;
  while (c > 0 && Weight(weights, c) < ToneLevel8) --c;
  if (c <= 0) c = n;
  if (n - c > 12) {
    c += ((n - c - 12 + 11) / 12) * 12;
    s += 2;
  }
  m.voicing_pitch = c;
  return c;
}

void DeriveVoicingPhrases(int channel) {
  ComposeInformation& info = ComposeInfo();
  int pivot = 0;
  char weights[kToneWeightTextSize];
  BuildToneWeights("NoCd", weights);
  const int count = std::clamp(info.section_count, 0, kSectionCapacity);
  for (int i = 0; i < count; ++i) {
    const EventList& melody = info.melody_phrases[static_cast<size_t>(i)];
    EventList& voicing = info.voicing_phrases[static_cast<size_t>(i)];
    for (int e = 0; e < melody.count(); ++e) {
      const ComposeEvent& ev = melody[e];
      if (ev.kind == kEventChordMarker) {
        voicing.AppendChordMarker(ChordBlockOfMarker(ev));
        WeightsOfMarker(ev, weights);
      } else if (ev.kind == kEventNote) {
        voicing.AppendNote(ev.length, VoicingPitch(channel, &pivot, ev.pitch, weights));
      }
    }
  }
}

void StandardEnding(int channel, EventList* out, int v) {
  char chord[kToneWeightTextSize];
  ChordWeightsOfKey(chord);
  const int d = GneRandomRange(1, 2) == 1 ? -1 : +1;
  const bool classic = MelodyPart(channel).ornament == kOrnamentClassic;
  for (int step = 0; step < 8; ++step) {
    const int w = Weight(chord, v);
    const int length = (w >= 5 || classic) ? ticks::kQuarter : ticks::kEighth;
    if (w > 1) AppendFitted(out, channel, length, v);
    if (w == 9) break;
    v += d;
  }
  if (CurrentStyle().scale == 13) {
    out->AppendNote(ticks::kQuarter, v);
  } else if (GneRandomRange(1, 2) == 1) {
    v += 5;
    for (int i = 0; i < 8 && Weight(chord, v) != 9; ++i) ++v;
    AppendFitted(out, channel, ticks::kHalf, v);
  } else {
    out->AppendNote(ticks::kQuarter, v);
  }
}

void SimpleEnding(int channel, EventList* out, int v) {
  v = TonicPitchClass() + (v / 12) * 12;
  AppendFitted(out, channel, ticks::kHalf, v);
}

void ClassicEnding(int channel, EventList* out, int v) {
  const int d = GneRandomRange(1, 2) == 1 ? +1 : -1;
  int sum = 0;
  char scale[kToneWeightTextSize];
  for (int pass = 0; pass < 16; ++pass) {
    ScaleWeightsOfKey(scale);
    if (GneRandomRange(1, 3) == 1 && v != 0 && sum < 288) {
      FitIntoPartRange(channel, &v);
      out->AppendNote(ticks::kEighth, 0);
      sum += ticks::kEighth;
      continue;
    }
    const int w = Weight(scale, v);
    const int length =
        w < 5 ? ticks::kSixteenth : (GneRandomRange(1, 3) == 1 ? ticks::kQuarter : ticks::kEighth);
    if ((w >= 3 && sum < ticks::kBar) || w == 9) {
      const int x = (length == ticks::kEighth && GneRandomRange(1, 4) == 1) ? 0 : v;
      AppendFitted(out, channel, length, x);
      sum += length;
    }
    if (w == 9 && sum >= ticks::kBar) break;
    if (GneRandomRange(1, 4) == 1) {
      v -= GneRandomRange(3, 7) * d;
    } else {
      v += d;
    }
  }
  v = TonicPitchClass() + (v / 12 - 1) * 12;
  // The last note holds to the end of the phrase; a phrase already full gets a quarter.
  AppendFitted(out, channel, 576 - sum > 0 ? 576 - sum : ticks::kQuarter, v);
}

void ClassicTrillEnding(int channel, EventList* out, int v) {
  const int tonic = TonicPitchClass();
  const int d = GneRandomRange(1, 2) == 1 ? +1 : -1;
  char chord[kToneWeightTextSize];
  char scale[kToneWeightTextSize];
  ChordWeightsOfKey(chord);
  ScaleWeightsOfKey(scale);
  const bool minor_key = CurrentStyle().key_mode == 1;
  int c;
  if (v != 0 && Weight(chord, v) != 9) {
    int w = Weight(chord, v);
    if (w < 5) {
      for (int i = 0; i < kMaxEndingSteps && Weight(scale, v) < 5; ++i) v += d;
      w = Weight(scale, v);
    }
    AppendFitted(out, channel, 24, v);
    if (w < 9) {
      for (int i = 0; i < kMaxEndingSteps && Weight(chord, v) != 9; ++i) v += d;
    }
    AppendFitted(out, channel, 48, v);
    c = 504;
  } else {
    out->AppendNote(48, 0);
    c = 528;
  }
  out->AppendNote(24, 0);
  v = (v / 12) * 12;
  AppendFitted(out, channel, 48, v);
  int e;
  if (minor_key) {
    for (int i = 0; i < 3; ++i) {
      AppendFitted(out, channel, 24, v - 1);
      AppendFitted(out, channel, 24, v);
    }
    e = c - 216;
  } else {
    out->AppendNote(48, 0);
    AppendFitted(out, channel, 48, v + 4);
    e = c - 168;
  }
  int f = tonic + v - 12;
  if (minor_key || GneRandomRange(1, 2) != 1) {
    f -= 1;
  } else {
    f += 2;
  }
  AppendFitted(out, channel, 48, f);
  v = tonic + v - 12;
  AppendFitted(out, channel, 48, v);
  AppendFitted(out, channel, e - 96, v);
}

void BuildMelodyEnding(int channel, EventList* out, int a) {
  ChordEntry entry;
  entry.length = 2 * ticks::kBar;
  std::memcpy(entry.code, "CMPS", 4);
  out->AppendChordMarker(ChordBlock(entry, nullptr));
  a = DefaultEndingPitch(channel, a);
  if (CurrentStyle().chord_method == 8) return;
  if (MelodyPart(channel).ornament == kOrnamentClassic) {
    if (channel != kMelodyChannel) return;
    if (GneRandomRange(1, 4) == 1) {
      ClassicTrillEnding(channel, out, a);
    } else {
      ClassicEnding(channel, out, a);
    }
  } else if (channel == kMelodyChannel) {
    StandardEnding(channel, out, a);
  } else {
    SimpleEnding(channel, out, a);
  }
}

void BuildVoicingEnding(const EventList& melody_ending, EventList* out, int a, int channel) {
  a = DefaultEndingPitch(channel, a);
  if (CurrentStyle().chord_method == 8) return;
  if (MelodyPart(channel).ornament != kOrnamentClassic) {
    SimpleEnding(channel, out, a);
    return;
  }
  int pivot = 0;
  char weights[kToneWeightTextSize];
  BuildToneWeights("NoCd", weights);
  for (int e = 0; e < melody_ending.count(); ++e) {
    const ComposeEvent& ev = melody_ending[e];
    if (ev.kind == kEventChordMarker) {
      WeightsOfMarker(ev, weights);
    } else if (ev.kind == kEventNote) {
      out->AppendNote(ev.length, VoicingPitch(channel, &pivot, ev.pitch, weights));
    }
  }
}

void ObbligatoFromInput(EventList* out, const EventList& input) {
  out->FreeEvents();
  BlockWalker walker;
  const bool keep_first = MelodyFromInput() == 1 && ComposeMode() == kSongRenderingMode;
  int start = 0;
  for (int i = 0; i < input.count(); ++i) {
    const ComposeEvent& ev = input[i];
    if (ev.kind != kEventNote) continue;
    if (!walker.Advance(start)) return;
    start += ev.length;
    if (ev.length == 0) {
      ShowErrorByCode(melody_error::kObbligatoLength);
      continue;
    }
    int p = ev.pitch;
    if (walker.first_event && p > 0 && !keep_first) walker.Block().StepToTriadTone(&p, +1);
    walker.first_event = false;
    if (p > 0) {
      if (p > ev.pitch + 24) {
        p -= 12;
      } else if (p < ev.pitch - 24) {
        p += 12;
      }
    }
    out->AppendNote(ev.length, std::clamp(p, 0, 127));
  }
}

void VoicingFromInput(EventList* out, const EventList& input) {
  BlockWalker walker;
  int start = 0;
  int previous = 0;
  int v = 0;
  int j = 0;
  for (int i = 0; i < input.count(); ++i) {
    const ComposeEvent& ev = input[i];
    if (ev.kind != kEventNote) continue;
    if (!walker.Advance(start)) return;
    start += ev.length;
    const int melody = ev.pitch;
    const int e = previous >= melody ? +1 : -1;
    if (j < 3) v = melody - 6;
    const ChordBlock& block = walker.Block();
    if (melody > 12 && block.root != 0) {
      for (int moves = 0; moves < kMaxVoicingMoves; ++moves) {
        v += e;
        if (walker.first_event) {
          block.StepToTriadTone(&v, e);
        } else {
          block.StepToChordTone(&v, e);
        }
        if (v == 0 || std::abs(v - melody) % 12 >= 3) break;
      }
      for (int i2 = 0; i2 < 11 && v >= melody; ++i2) v -= 12;
      for (int i2 = 0; i2 < 11 && melody - v > 24; ++i2) v += 12;
      out->AppendNote(ev.length, std::clamp(v, 0, 127));
    } else {
      out->AppendNote(ev.length, 0);
    }
    walker.first_event = false;
    previous = melody;
    ++j;
  }
}

int UnsteadyPitch(int p) {
  MelodyState& m = Melody();
  if (GneRandomRange(1, 40) == 1) p += GneRandomRange(1, 2) == 1 ? 1 : -1;
  if (GneRandomRange(1, 45) == 1) p += 5;
  if (m.unsteady_last == 0) p -= 1;
  if (GneRandomRange(1, 30) == 1) p = 0;
  m.unsteady_last = static_cast<uint8_t>(p);
  return p;
}
