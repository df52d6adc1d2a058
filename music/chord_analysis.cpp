#include "music/chord_analysis.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "music/midi0_data.h"
#include "music/midi_track.h"
#include "music/tune_structure.h"
#include "util/module_error.h"
#include "util/music_names.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "CDST", "コードの構造を決める処理で未定義のエラーが発生しました。",
      {{kCdstNegativeCarry, "コードの構造を決める処理に異常が発生ました。"}});
  return reporter;
}

const char* const kLetters[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

// Tensions available on each root (rows: absolute pitch class; columns b9, 9, #9, 11,
// #11, b13, 13).
constexpr uint8_t kMajorTensions[12][7] = {
    {0, 1, 0, 0, 1, 0, 1}, {0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0},
    {0, 1, 0, 1, 0, 0, 0}, {0, 1, 0, 0, 1, 0, 1}, {0, 0, 0, 0, 0, 0, 0}, {1, 1, 1, 0, 1, 1, 1},
    {0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 1, 0, 1, 0},
};
constexpr uint8_t kOtherTensions[12][7] = {
    {0, 1, 0, 0, 1, 0, 1}, {0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0},
    {1, 1, 1, 1, 1, 1, 0}, {0, 1, 0, 0, 1, 0, 1}, {0, 1, 0, 1, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0},
    {0, 1, 0, 0, 1, 0, 1}, {0, 1, 0, 1, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 0}, {0, 1, 0, 1, 0, 1, 0},
};

int32_t Pc(int64_t v) { return static_cast<int32_t>(((v % 12) + 12) % 12); }

bool IsSoundingNote(const MidiEvent& e) { return e.status == kStatusNote && e.velocity != 0; }

// The part type a note of the channel weighs as (0: it does not weigh).
int32_t WeighingType(const TuneStructure& structure, int32_t channel) {
  if (channel < 0 || channel >= kTuneChannels) return 0;
  const int32_t type = structure.part_type[channel];
  return (type == kPartBass || type == kPartAccompaniment || type == kPartMelody) ? type : 0;
}

PreviousChord g_previous;

}  // namespace

PreviousChord& PreviousChordState() { return g_previous; }
void ResetChordAnalysisModule() { g_previous = PreviousChord{}; }

// ---- counting and key ----

ChordAnalysis::ChordAnalysis(const MidiTrack& track, int32_t slot_length, uint8_t* key_out,
                             char* tone_weight_text)
    : slot_length_(slot_length) {
  if (slot_length_ > 0) {
    int64_t position = 0;
    int64_t slot = 0;
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent& e = *track.events[i];
      position += std::max<int32_t>(e.delta, 0);
      if (position >= slot_length_) {
        slot += position / slot_length_;
        position %= slot_length_;
      }
      if (slot >= kChordCountSlots) break;
      if (IsSoundingNote(e) && e.channel != kRhythmChannel) ++counts_[slot][Pc(e.note)];
    }
  }
  int64_t totals[12] = {};
  for (const auto& row : counts_)
    for (int pc = 0; pc < 12; ++pc) totals[pc] += row[pc];
  int32_t rank[12];
  for (int i = 0; i < 12; ++i) {
    int best = i;
    for (int pc = 0; pc < 12; ++pc)
      if (totals[pc] > totals[best]) best = pc;
    rank[i] = best;
    totals[best] = -1;
  }
  const uint8_t key[2] = {static_cast<uint8_t>(rank[0]), 0};
  if (key_out != nullptr) std::memcpy(key_out, key, 2);
  for (auto& pair : keys_) std::memcpy(pair, key, 2);
  if (tone_weight_text != nullptr) {
    std::memcpy(tone_weight_text, "xxxx000000000000", kToneWeightTextBytes);
    for (int i = 0; i < 7; ++i) tone_weight_text[4 + rank[i]] = '9';
  }
}

// ---- one slot ----

ChordStructure::ChordStructure(int found, int is_major, int32_t length, const char* tone_weights)
    : key_found(found), major(is_major), slot_length(length), tone_weight_text_(tone_weights) {}

void ChordStructure::Clear() {
  std::fill(std::begin(melody), std::end(melody), 0u);
  std::fill(std::begin(bass), std::end(bass), 0u);
  std::fill(std::begin(accompaniment), std::end(accompaniment), 0u);
  first_melody = last_melody = first_bass = -1;
  naming_bass = -1;
}

void ChordStructure::StartSlot(ChordStructure& carry) {
  first_melody = last_melody = first_bass = -1;
  std::copy(std::begin(carry.melody), std::end(carry.melody), melody);
  std::copy(std::begin(carry.bass), std::end(carry.bass), bass);
  std::copy(std::begin(carry.accompaniment), std::end(carry.accompaniment), accompaniment);
  carry.Clear();
}

void ChordStructure::AddNoteWeight(int32_t part_type, int32_t pitch, int32_t position,
                                   int32_t duration, ChordStructure& carry) {
  if (part_type != kPartBass && part_type != kPartAccompaniment && part_type != kPartMelody) return;
  const int32_t pc = Pc(pitch);
  const int64_t length = slot_length;
  int64_t here = duration;
  int64_t later = 0;
  if (int64_t{position} + duration > length) {
    here = length - position;
    later = std::min<int64_t>(int64_t{duration} - (length - position), length);
    if (later < 0) {
      ErrorMsg(kCdstNegativeCarry);
      later = 0;
    }
  }
  auto add = [pc, part_type](ChordStructure& s, int64_t ticks) {
    if (ticks < 1) return;
    uint32_t* table = part_type == kPartBass ? s.bass
                      : part_type == kPartAccompaniment ? s.accompaniment
                                                        : s.melody;
    const uint64_t sum = uint64_t{table[pc]} + static_cast<uint64_t>(ticks);
    table[pc] = static_cast<uint32_t>(std::min<uint64_t>(sum, UINT32_MAX));
  };
  add(*this, here);
  add(carry, later);
  if (part_type == kPartBass && first_bass == -1) first_bass = pc;
  if (part_type == kPartMelody) {
    if (first_melody == -1) first_melody = pc;
    last_melody = pc;
  }
}

bool ChordStructure::IsTensionAvailable(int32_t chord_root, int32_t pitch_class) const {
  int column;
  switch (Pc(int64_t{pitch_class} - chord_root)) {
    case 1: column = 0; break;
    case 2: column = 1; break;
    case 3: column = 2; break;
    case 5: column = 3; break;
    case 6: column = 4; break;
    case 8: column = 5; break;
    case 9: column = 6; break;
    default: return false;
  }
  const auto& table = major == 1 ? kMajorTensions : kOtherTensions;
  return table[Pc(chord_root)][column] != 0;
}

void ChordStructure::ChooseChord(int32_t slot) {
  PreviousChord& previous = PreviousChordState();
  if (slot == 0) previous.root = previous.third = previous.fifth = previous.seventh = -1;
  if (slot % 2 == 1 && naming_bass != -1) {
    for (int32_t tone : {previous.root, previous.third, previous.fifth, previous.seventh}) {
      if (tone != -1 && naming_bass == tone) {
        naming_bass = previous.bass;
        break;
      }
    }
  }
}

void ChordStructure::WeighChordTones(ChordCandidate& c) const {
  const uint32_t* A = sorted_weight_;
  if (A[0] == 0) return;
  // Chord tones by groups; within a group the heavier entry wins.
  auto group = [&](std::initializer_list<int32_t> intervals, int32_t* out) {
    uint32_t taken_weight = 0;
    for (int32_t x : intervals) {
      for (int i = 0; i < 12 && A[i] > 0; ++i) {
        if (order_[i] != Pc(int64_t{c.root} + x)) continue;
        if (*out == -1 || A[i] > taken_weight) {
          taken_weight = A[i];
          c.score += A[i];
          *out = x;
        }
      }
    }
  };
  group({3, 4, 5}, &c.third);
  if (A[1] == 0) c.third = 4;
  group({6, 7}, &c.fifth);
  if (A[2] == 0) c.fifth = 7;
  group({9, 10, 11}, &c.seventh);
}

void ChordStructure::WeighTensions(ChordCandidate& c, uint32_t theta) const {
  const uint32_t* A = sorted_weight_;
  const int32_t r = c.root;
  // The last of two intervals above the root (in weight order) heavier than the
  // threshold goes to *out; true when there is one.
  auto last_strong_interval = [&](int32_t a, int32_t b, int32_t* out) {
    bool found = false;
    for (int j = 0; j < 12; ++j) {
      const int32_t x = Pc(int64_t{order_[j]} - r);
      if ((x == a || x == b) && A[j] > theta) {
        *out = x;
        found = true;
      }
    }
    return found;
  };
  for (int i = 0; i < 12; ++i) {
    const int32_t v = order_[i];
    const uint32_t w = A[i];
    const int32_t interval = Pc(int64_t{v} - r);
    if (interval >= 1 && interval <= 3) {
      if (interval != c.third && IsTensionAvailable(r, v) && w > theta) {
        c.tension9 = interval;
        c.score += w;
        if (interval == 3 && c.third == 5) {
          c.third = 3;
          c.tension9 = -1;
          c.tension11 = 5;
        }
      }
    } else if (interval == 5 || interval == 6) {
      if (last_strong_interval(3, 4, &c.third) && IsTensionAvailable(r, v) && w > theta) {
        c.tension11 = interval;
        c.score += w;
      }
    } else if (interval == 8 || interval == 9) {
      if (last_strong_interval(10, 11, &c.seventh) && IsTensionAvailable(r, v) && w > theta) {
        c.tension13 = interval;
        c.score += w;
      }
    }
  }
}

int32_t ChordStructure::AccompanimentThird() const {
  // The first of the heaviest accompaniment notes that is a minor or major third.
  for (int i = 0, seen = 0; i < 12 && seen < 4; ++i) {
    if (sorted_weight_[i] == 0) continue;
    ++seen;
    const int32_t x = Pc(int64_t{order_[i]} - root);
    if (x == 3 || x == 4) return x;
  }
  return 4;
}

void ChordStructure::ChooseFullChord() {
  const uint32_t* A = sorted_weight_;
  const uint32_t theta = static_cast<uint32_t>((static_cast<int64_t>(slot_length / 2) * 8) / 10);
  int64_t best_score = 0;
  static_cast<ChordTones&>(*this) = ChordTones{};
  // The candidates: the naming bass, then the four heaviest accompaniment notes.
  for (int k = 0; k <= 4; ++k) {
    if (naming_bass == -1) {
      uint64_t bass_sum = 0;
      for (uint32_t w : bass) bass_sum += w;
      naming_bass = bass_sum > 0 ? PreviousChordState().bass : order_[0];
    }
    ChordCandidate c;
    if (k == 0) {
      c.root = naming_bass;
      c.score = sorted_bass_[0];
    } else {
      if (A[k - 1] == 0) continue;
      c.root = order_[k - 1];
      c.score = A[k - 1];
    }
    WeighChordTones(c);
    WeighTensions(c, theta);
    const bool keeps_root = root == naming_bass && c.root != naming_bass;
    const bool keeps_third = (third == 3 || third == 4) && c.third == 5;
    const bool keeps_seventh = (seventh == 10 || seventh == 11) && c.seventh == 9;
    if ((c.score > best_score || best_score <= 0) && !keeps_root && !keeps_third && !keeps_seventh) {
      best_score = c.score;
      static_cast<ChordTones&>(*this) = c;
    }
  }
  if (fifth == -1) fifth = 7;
  if (third == -1) third = AccompanimentThird();
  if (seventh == -1) seventh = 0;
  if (third == 3 && fifth == 6 && seventh == 11) seventh = 0;
}

void ChordStructure::ChooseMelodyChord() {
  const uint32_t* M = melody;
  int32_t best_root = -1, best_third = -1, best_fifth = -1, best_seventh = -1;
  int best_score = 0;
  for (int32_t r = 0; r < 12; ++r) {
    if (M[r] == 0) continue;
    int32_t c3 = -1, c5 = -1, c7 = -1;
    int score = 4;
    if (M[(r + 3) % 12] > 0) {
      c3 = 3;
      score += 3;
    } else if (M[(r + 4) % 12] > 0) {
      c3 = 4;
      score += 3;
    }
    if (M[(r + 7) % 12] > 0) {
      c5 = 7;
      score += 2;
    }
    if (M[(r + 10) % 12] > 0) {
      c7 = 10;
      score += 1;
    } else if (M[(r + 11) % 12] > 0) {
      c7 = 11;
      score += 1;
    }
    if (score <= best_score) continue;
    if (c5 != -1 && c3 == -1 && best_root != -1 && best_third != -1) continue;
    best_score = score;
    best_root = r;
    best_third = c3;
    best_fifth = c5;
    best_seventh = c7;
  }
  root = best_root;
  third = best_third;
  fifth = best_fifth;
  seventh = best_seventh;
  tension9 = tension11 = tension13 = -1;
  if (root != -1) {
    if (fifth == -1) fifth = 7;
    if (third == -1) {
      const char digit = tone_weight_text_ != nullptr ? tone_weight_text_[4 + (root + 4) % 12] : '0';
      third = digit > '0' ? 4 : 3;
    }
    naming_bass = root;
  }
}

void ChordStructure::FormatName(char* name) const {
  std::string base;
  if (root == -1) {
    base = "UnKnown";
    std::snprintf(name, kChordNameBytes, "%s", base.c_str());
    return;
  }
  const int32_t g = naming_bass == -1 ? -1 : Pc(int64_t{root} - naming_bass);
  if (g == 7 && third == 4 && fifth == 7 && seventh == 9) {
    base = std::string(kLetters[Pc(naming_bass)]) + "M7";
  } else if (g == 3 && third == 4 && fifth == 7) {
    base = std::string(kLetters[Pc(naming_bass)]) + "m7";
  } else {
    base = kLetters[Pc(root)];
    if (third == 3) {
      base += fifth == 6 ? "dim" : "m";
    } else if (third == 5) {
      base += "sus4";
    }
    if (seventh == 9) base += "6";
    if (seventh == 10) base += "7";
    if (seventh == 11) base += "M7";
    if (naming_bass != -1 && naming_bass != root) {
      base += "on";
      base += kLetters[Pc(naming_bass)];
    }
  }
  // Tensions; a name that would not fit drops them from the right.
  auto with_tensions = [&](int keep) {
    std::string text = base;
    bool open = false;
    if (keep >= 1 && tension9 >= 1 && tension9 <= 3) {
      text += tension9 == 1 ? "(b9" : tension9 == 2 ? "(9" : "(#9";
      open = true;
    }
    if (keep >= 2 && (tension11 == 5 || tension11 == 6)) {
      text += open ? "," : "(";
      text += tension11 == 5 ? "11" : "#11";
      open = true;
    }
    if (keep >= 3 && (tension13 == 8 || tension13 == 9)) {
      text += open ? "," : "(";
      text += tension13 == 8 ? "b13" : "13";
      open = true;
    }
    if (open) text += ")";
    return text;
  };
  std::string text;
  for (int keep = 3; keep >= 0; --keep) {
    text = with_tensions(keep);
    if (text.size() < static_cast<size_t>(kChordNameBytes)) break;
  }
  std::snprintf(name, kChordNameBytes, "%s", text.c_str());
}

void ChordStructure::NameSlot(int32_t slot, char* name) {
  naming_bass = first_bass;
  // Weights sorted downwards by exchanges (as the naming has always ordered them).
  std::copy(std::begin(bass), std::end(bass), sorted_bass_);
  std::copy(std::begin(accompaniment), std::end(accompaniment), sorted_weight_);
  for (int i = 0; i < 12; ++i) order_[i] = i;
  for (int i = 0; i <= 10; ++i) {
    for (int j = i + 1; j < 12; ++j) {
      if (sorted_bass_[j] > sorted_bass_[i]) std::swap(sorted_bass_[i], sorted_bass_[j]);
      if (sorted_weight_[j] > sorted_weight_[i]) {
        std::swap(sorted_weight_[i], sorted_weight_[j]);
        std::swap(order_[i], order_[j]);
      }
    }
  }
  ChooseChord(slot);
  if (sorted_weight_[0] == 0 && sorted_bass_[0] == 0) {
    ChooseMelodyChord();
    FormatName(name);
    return;
  }
  ChooseFullChord();
  FormatName(name);
  PreviousChord& previous = PreviousChordState();
  previous.bass = naming_bass;
  previous.root = root;
  previous.third = Pc(int64_t{root} + third);
  previous.fifth = Pc(int64_t{root} + fifth);
  previous.seventh = Pc(int64_t{root} + seventh);
}

void ChordStructure::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

// ---- the walk ----

int32_t NameChordSlots(const MidiTrack& track, char* names, int32_t slot_limit, int key_found,
                       int major, const char* tone_weight_text, int32_t slot_length,
                       const TuneStructure& structure, ChordAnalysisCallback progress) {
  if (slot_length <= 0 || names == nullptr || slot_limit <= 0) return 0;
  ChordStructure current(key_found, major, slot_length, tone_weight_text);
  ChordStructure carry(key_found, major, slot_length, tone_weight_text);
  carry.Clear();
  current.StartSlot(carry);
  int32_t slot = 0;
  int64_t position = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    position += std::max<int32_t>(e.delta, 0);
    while (position >= slot_length) {
      current.NameSlot(slot, names + int64_t{slot} * kChordNameBytes);
      ++slot;
      position -= slot_length;
      if (slot >= slot_limit) return slot;
      current.StartSlot(carry);
      if (slot % 100 == 0 && progress != nullptr) progress();
    }
    if (IsSoundingNote(e)) {
      current.AddNoteWeight(WeighingType(structure, e.channel), e.note,
                            static_cast<int32_t>(position), e.duration, carry);
    }
  }
  if (position > 0) {
    current.NameSlot(slot, names + int64_t{slot} * kChordNameBytes);
    ++slot;
  }
  return slot;
}

int32_t AnalyseChords(const Midi0Data& song, char* names, int32_t name_slots, uint8_t* key_out,
                      int key_found, int major, char* tone_weight_text, int32_t division,
                      const TuneStructure& structure, ChordAnalysisCallback progress,
                      ChordAnalysisCallback busy, int32_t* slot_length_out) {
  if (busy != nullptr) busy();
  const int64_t slot_length = 2 * int64_t{division};
  const int32_t length = slot_length > 0 && slot_length <= INT32_MAX
                             ? static_cast<int32_t>(slot_length)
                             : 0;
  char weights[kToneWeightTextBytes];
  uint8_t key[2] = {0, 0};
  int32_t named = 0;
  if (song.track != nullptr) {
    auto analysis = std::make_unique<ChordAnalysis>(*song.track, length, key, weights);
    if (busy != nullptr) busy();
    named = NameChordSlots(*song.track, names, std::min(kChordCountSlots, name_slots), key_found,
                           major, weights, length, structure, progress);
  } else {
    std::memcpy(weights, "xxxx999999900000", kToneWeightTextBytes);
    if (busy != nullptr) busy();
  }
  if (key_out != nullptr) std::memcpy(key_out, key, 2);
  if (tone_weight_text != nullptr) std::memcpy(tone_weight_text, weights, kToneWeightTextBytes);
  if (slot_length_out != nullptr) *slot_length_out = length;
  return named;
}

void GetKeyName(const uint8_t* key_pair, char* out) {
  const char* name = "C";
  for (const KeySignature& row : KeySignatureTable) {
    if (row.tonic != key_pair[0]) continue;
    if (row.mode == key_pair[1]) name = row.name;
    break;
  }
  std::snprintf(out, 8, "%s", name);
}
