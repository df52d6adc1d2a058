#include "music/tune_structure.h"

#include <algorithm>
#include <vector>

#include "music/midi0_data.h"
#include "music/midi_track.h"
#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "TNST", "楽曲構造の処理で未定義のエラーが発生しました。",
      {{kTnstDrumChannel, "ドラムのチャネルは移動できません。"},
       {kTnstChannel, "チャネルの操作で異常が発生しました。"}});
  return reporter;
}

// Ranges of General MIDI programs, both ends included.
struct ProgramRange {
  int32_t first, last;
};

constexpr ProgramRange kBassPrograms[] = {{0, 8},   {10, 13}, {15, 27},  {29, 30},  {32, 44},
                                          {46, 46}, {48, 89}, {93, 98},  {100, 100}, {104, 111}};
constexpr ProgramRange kAccompanimentPrograms[] = {{0, 13},  {15, 30}, {40, 46},   {48, 89},
                                                   {93, 98}, {100, 100}, {104, 111}};
constexpr ProgramRange kMelodyPrograms[] = {{0, 8},   {10, 13}, {15, 27}, {29, 30},  {40, 44},
                                            {46, 46}, {48, 89}, {93, 98}, {100, 100}, {104, 111}};

template <size_t N>
bool InRanges(const ProgramRange (&ranges)[N], int32_t program) {
  for (const ProgramRange& r : ranges)
    if (program >= r.first && program <= r.last) return true;
  return false;
}

bool IsSoundingNote(const MidiEvent& e) { return e.status == kStatusNote && e.velocity != 0; }

// The GS rhythm-part assignment F0 len 41 10 42 12 40 1x 15 with x from 1 to F: the
// channel index it makes rhythm, or -1.
int32_t GsRhythmPartChannel(const MidiEvent& e) {
  if (e.status != kStatusSysEx || e.data_length < 9) return -1;
  static const uint8_t kHead[] = {0x41, 0x10, 0x42, 0x12, 0x40};
  if (e.GetDataByte(0) != 0xF0) return -1;
  for (int i = 0; i < 5; ++i)
    if (e.GetDataByte(2 + i) != kHead[i]) return -1;
  const int block = e.GetDataByte(7);
  if (block < 0x11 || block > 0x1F || e.GetDataByte(8) != 0x15) return -1;
  const int part = block & 0x0F;           // 1..9 parts 1..9, A..F parts 11..16
  return part <= 9 ? part - 1 : part;      // channel index
}

// Counts, for each note of one channel (starts in time order), the later notes that
// begin before it ends: one search per note over the channel's starts.
void CountOverlaps(const std::vector<int64_t>& starts, const std::vector<int32_t>& durations,
                   int32_t* overlapped, int32_t* single) {
  for (size_t i = 0; i < starts.size(); ++i) {
    const int64_t end = starts[i] + std::max<int32_t>(durations[i], 0);
    const auto after = starts.begin() + static_cast<std::ptrdiff_t>(i) + 1;
    const int64_t count = std::lower_bound(after, starts.end(), end) - after;
    if (count > 0) {
      *overlapped += static_cast<int32_t>(std::min<int64_t>(count, INT32_MAX - *overlapped));
    } else {
      ++*single;
    }
  }
}

// The sounding notes of each channel: starts and durations in time order.
struct ChannelNotes {
  std::vector<int64_t> starts[kTuneChannels];
  std::vector<int32_t> durations[kTuneChannels];
  void Add(int32_t channel, int64_t start, int32_t duration) {
    starts[channel].push_back(start);
    durations[channel].push_back(duration);
  }
};

}  // namespace

bool IsBassProgram(int32_t program) { return InRanges(kBassPrograms, program); }
bool IsAccompanimentProgram(int32_t program) { return InRanges(kAccompanimentPrograms, program); }
bool IsMelodyProgram(int32_t program) { return InRanges(kMelodyPrograms, program); }

TuneStructure::TuneStructure() { part_type[kRhythmChannel] = kPartRhythm; }

void TuneStructure::Analyse(Midi0Data& song, int32_t division) {
  song_ = &song;
  if (song.track != nullptr) GatherStatistics(*song.track, division);
  CountUsedChannels();
  if (song.track != nullptr) {
    ComputeBarCount(*song.track, division);
  } else {
    bar_count = 0;
  }
  melody_count = 0;
  bass_count = 0;
  accompaniment_count = 0;
  Classify();
}

void TuneStructure::CountUsedChannels() {
  used_channel_count = 0;
  for (int32_t c = 0; c < kTuneChannels; ++c) used_channel_count += used[c] != 0 ? 1 : 0;
}

void TuneStructure::AddNote(int32_t c, int32_t pitch, int32_t duration, int32_t division,
                            int32_t* previous_pitch) {
  used[c] = 1;
  if (previous_pitch[c] != 0) {
    const int32_t d = pitch - previous_pitch[c];
    if (d > 4 || d < -4) {
      ++leaps[c];
    } else {
      ++steps[c];
    }
  }
  previous_pitch[c] = pitch;
  if (duration != 0) {
    if (duration < division / 5) {
      ++short_notes[c];
    } else if (duration < division / 2) {
      ++medium_notes[c];
    } else {
      ++long_notes[c];
    }
  }
  if (pitch < 48) {
    ++low[c];
  } else {
    ++high[c];
  }
}

void TuneStructure::GatherStatistics(const MidiTrack& track, int32_t division) {
  std::fill(std::begin(overlapped), std::end(overlapped), 0);
  std::fill(std::begin(single), std::end(single), 0);
  std::fill(std::begin(used), std::end(used), 0);
  int32_t previous_pitch[kTuneChannels] = {};
  ChannelNotes notes;
  {
    int32_t counts[kTuneChannels] = {};
    for (int32_t i = 0; i < track.event_count; ++i) {
      const MidiEvent& e = *track.events[i];
      if (IsSoundingNote(e) && e.channel >= 0 && e.channel < kTuneChannels) ++counts[e.channel];
    }
    for (int32_t c = 0; c < kTuneChannels; ++c) {
      notes.starts[c].reserve(static_cast<size_t>(counts[c]));
      notes.durations[c].reserve(static_cast<size_t>(counts[c]));
    }
  }
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    tick += e.delta;
    const int32_t c = e.channel;
    if (IsSoundingNote(e)) {
      if (c < 0 || c >= kTuneChannels) continue;  // second port and no channel: not ours
      AddNote(c, e.note, e.duration, division, previous_pitch);
      notes.Add(c, tick, e.duration);
    } else if (e.status == kStatusSysEx) {
      const int32_t rhythm = GsRhythmPartChannel(e);
      if (rhythm >= 0) part_type[rhythm] = kPartRhythm;
    } else if (e.status == kStatusProgram && c >= 0 && c < kTuneChannels) {
      program[c] = e.value;
    }
  }
  for (int32_t c = 0; c < kTuneChannels; ++c)
    CountOverlaps(notes.starts[c], notes.durations[c], &overlapped[c], &single[c]);
}

void TuneStructure::ComputeBarCount(const MidiTrack& track, int32_t division) {
  // The end of the last note or event.
  int64_t tick = 0, end = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent& e = *track.events[i];
    tick += e.delta;
    end = std::max(end, tick + (e.status == kStatusNote ? std::max<int32_t>(e.duration, 0) : 0));
  }
  const int64_t bar = 4 * int64_t{division};
  bar_count = bar > 0 ? static_cast<int32_t>(std::min<int64_t>((end + bar - 1) / bar, INT32_MAX)) : 0;
}

void TuneStructure::ListMelody(int32_t c) {
  part_type[c] = kPartMelody;
  if (melody_count < kMelodyListSize) melody_list[melody_count] = c;
  ++melody_count;
}

bool TuneStructure::BetterMelody(int32_t c, int32_t m) const {
  if (2 * int64_t{short_notes[c]} < int64_t{short_notes[m]} + medium_notes[m]) return false;
  if (steps[c] <= 0) return false;
  if (steps[m] == 0) return true;
  return leaps[c] / steps[c] < leaps[m] / steps[m] &&
         int64_t{leaps[c]} + steps[c] > int64_t{leaps[m]} + steps[m];
}

int64_t TuneStructure::NoteCount(int32_t c) const { return int64_t{overlapped[c]} + single[c]; }

void TuneStructure::Classify() {
  FirstPass();
  ChooseBass();
  MelodyFallback();
  AccompanimentByPolyphony();
  ChooseMainMelody();
  // Accompaniment fallback: undecided channels of accompaniment programs that play.
  for (int32_t c = 0; c < kTuneChannels; ++c) {
    if (part_type[c] == kPartUndecided && NoteCount(c) > bar_count &&
        IsAccompanimentProgram(program[c]))
      part_type[c] = kPartAccompaniment;
  }
  EveryOtherChannelAccompanies();
  LastMelodyFallback();
}

// Bass, melody candidates and accompaniment, channel by channel.
void TuneStructure::FirstPass() {
  auto& O = overlapped;
  auto& S = single;
  auto& L = low;
  auto& H = high;
  auto& P = program;
  auto& Y = part_type;
  for (int32_t c = 0; c < kTuneChannels; ++c) {
    if (used[c] != 1 || Y[c] == kPartRhythm) continue;
    if (IsBassProgram(P[c]) && 10 * int64_t{H[c]} < L[c] && 10 * int64_t{O[c]} < S[c]) {
      Y[c] = kPartBass;
      ++bass_count;
    }
    if (6 * int64_t{O[c]} < S[c] && Y[c] != kPartBass && 3 * int64_t{L[c]} < H[c] &&
        IsMelodyProgram(P[c]) && Y[c] != kPartRhythm) {
      OfferMelody(c);
    }
    if (IsAccompanimentProgram(P[c]) && Y[c] != kPartMelody && Accompanies(c)) {
      Y[c] = kPartAccompaniment;
      ++accompaniment_count;
    }
  }
}

// A melody candidate is listed while the list has room; then it takes the place of the first
// listed channel it beats.
void TuneStructure::OfferMelody(int32_t c) {
  if (melody_count < kMelodyListSize) {
    ListMelody(c);
    return;
  }
  for (int32_t k = 0; k < kMelodyListSize; ++k) {
    const int32_t m = melody_list[k];
    if (BetterMelody(c, m)) {
      part_type[c] = kPartMelody;
      part_type[m] = kPartUndecided;
      melody_list[k] = c;
      return;
    }
  }
}

// Whether a channel of an accompaniment program accompanies, by its register and polyphony.
bool TuneStructure::Accompanies(int32_t c) const {
  if (2 * int64_t{low[c]} < high[c]) {
    for (int32_t d = 0; d < kTuneChannels; ++d)
      if (d != kRhythmChannel && d != c && NoteCount(d) >= NoteCount(c))
        return overlapped[c] > single[c];
    return true;
  }
  if (low[c] >= high[c]) return false;
  return NoteCount(c) > 4 * int64_t{bar_count} && 3 * int64_t{overlapped[c]} > single[c];
}

// Without a bass: the undecided channel whose low notes outweigh its high ones the most (by
// ratios 10 down to 1), else the first undecided channel with more single notes than overlaps.
void TuneStructure::ChooseBass() {
  if (bass_count != 0) return;
  auto& Y = part_type;
  for (int64_t n = 10; n >= 1; --n) {
    for (int32_t c = 0; c < kTuneChannels; ++c) {
      if (used[c] == 1 && Y[c] != kPartRhythm && c != kRhythmChannel && n * high[c] < low[c] &&
          n * overlapped[c] < single[c] && Y[c] == kPartUndecided) {
        Y[c] = kPartBass;
        bass_count = 1;
        return;
      }
    }
  }
  for (int32_t c = 0; c < kTuneChannels; ++c) {
    if (used[c] == 1 && Y[c] != kPartRhythm && overlapped[c] < single[c] &&
        Y[c] == kPartUndecided) {
      Y[c] = kPartBass;
      bass_count = 1;
      return;
    }
  }
}

// Channel 1 when it plays enough; without any melody, the channels of melody programs that
// play mostly single notes (an accompaniment among several gives itself up).
void TuneStructure::MelodyFallback() {
  auto& Y = part_type;
  const int64_t bars = bar_count;
  if (Y[0] == kPartUndecided && melody_count < kMelodyListSize && NoteCount(0) > 2 * bars &&
      IsMelodyProgram(program[0])) {
    ListMelody(0);
  }
  if (melody_count != 0) return;
  for (int32_t c = 0; c < kTuneChannels; ++c) {
    if (!(overlapped[c] < 2 * int64_t{single[c]} && IsMelodyProgram(program[c]) &&
          NoteCount(c) > 2 * bars && melody_count < kMelodyListSize && Y[c] != kPartRhythm)) {
      continue;
    }
    if (Y[c] == kPartUndecided) {
      ListMelody(c);
    } else if (Y[c] == kPartAccompaniment && accompaniment_count >= 2 &&
               (NoteCount(c) < 8 * bars || used_channel_count == 2)) {
      ListMelody(c);
      --accompaniment_count;
    }
  }
}

// Without an accompaniment: the undecided channels of accompaniment programs that no other
// undecided channel beats in polyphony (channels without notes take part; a song without
// notes leaves them undecided).
void TuneStructure::AccompanimentByPolyphony() {
  if (accompaniment_count != 0 || used_channel_count <= 0) return;
  auto& Y = part_type;
  for (int32_t c = 0; c < kTuneChannels; ++c) {
    if (!IsAccompanimentProgram(program[c]) || Y[c] != kPartUndecided) continue;
    bool beaten = false;
    for (int32_t d = 0; d < kTuneChannels && !beaten; ++d) {
      if (d == kRhythmChannel || d == c || Y[d] != kPartUndecided || single[c] <= 0 ||
          single[d] <= 0)
        continue;
      beaten = overlapped[c] / single[c] < overlapped[d] / single[d];
    }
    if (!beaten) {
      Y[c] = kPartAccompaniment;
      ++accompaniment_count;
    }
  }
}

// The listed melody with the most short and medium notes is the melody; the other listed
// ones are secondary melodies.
void TuneStructure::ChooseMainMelody() {
  auto& Y = part_type;
  int32_t main = FindChannelOfType(kPartMelody);
  if (main == kNoChannelOfType) main = 0;
  for (int32_t c = 0; c < kTuneChannels; ++c) {
    if (Y[c] != kPartMelody) continue;
    const int64_t mine = int64_t{short_notes[c]} + medium_notes[c];
    const int64_t theirs = int64_t{short_notes[main]} + medium_notes[main];
    if (mine > theirs && 5 * int64_t{medium_notes[c]} > short_notes[c]) main = c;
  }
  for (int32_t k = 0; k < std::min(melody_count, kMelodyListSize); ++k) {
    if (Y[melody_list[k]] == kPartMelody) Y[melody_list[k]] = kPartSecondMelody;
  }
  if (melody_count > 0) Y[main] = kPartMelody;
}

// Without bass and accompaniment, every other used channel accompanies; rhythm channels stay
// rhythm (drums name no chords).
void TuneStructure::EveryOtherChannelAccompanies() {
  auto& Y = part_type;
  for (int32_t c = 0; c < kTuneChannels; ++c)
    if (used[c] == 1 && (Y[c] == kPartBass || Y[c] == kPartAccompaniment)) return;
  if (used_channel_count < 2) return;
  for (int32_t c = 0; c < kTuneChannels; ++c)
    if (used[c] == 1 && Y[c] != kPartMelody && Y[c] != kPartRhythm) Y[c] = kPartAccompaniment;
}

// Still without a melody: the bass, else the accompaniment with most single notes.
void TuneStructure::LastMelodyFallback() {
  if (melody_count != 0) return;
  int32_t chosen = FindChannelOfType(kPartBass);
  if (chosen == kNoChannelOfType) {
    double best = 0.0;
    for (int32_t c = 0; c < kTuneChannels; ++c) {
      if (part_type[c] != kPartAccompaniment || NoteCount(c) <= 0) continue;
      const double ratio = static_cast<double>(single[c]) / static_cast<double>(NoteCount(c));
      if (ratio > best) {
        best = ratio;
        chosen = c;
      }
    }
  }
  if (chosen != kNoChannelOfType) {
    part_type[chosen] = kPartMelody;
    melody_count = 1;
  }
}

int32_t TuneStructure::FindChannelOfType(int32_t type) const {
  for (int32_t c = 0; c < kTuneChannels; ++c)
    if (part_type[c] == type) return c;
  return kNoChannelOfType;
}

int32_t TuneStructure::MelodyChannel() const {
  const int32_t c = FindChannelOfType(kPartMelody);
  return c == kNoChannelOfType ? 0 : c;
}

int TuneStructure::ClearChannel(int32_t channel) {
  if (channel < 0 || channel >= kTuneChannelRoom) return 0;
  int deleted = 0;
  if (song_ != nullptr && song_->track != nullptr && channel < kTuneChannels) {
    deleted = song_->track->DeleteChannel(channel) != 0 ? 1 : 0;
  }
  program[channel] = overlapped[channel] = single[channel] = low[channel] = high[channel] = 0;
  short_notes[channel] = medium_notes[channel] = long_notes[channel] = 0;
  leaps[channel] = steps[channel] = used[channel] = part_type[channel] = 0;
  return deleted;
}

void TuneStructure::SwapChannels(Midi0Data& song, int32_t a, int32_t b) {
  if (a == b) return;
  if (a == kRhythmChannel || b == kRhythmChannel) {
    ErrorMsg(kTnstDrumChannel);
    return;
  }
  if (a < 0 || b < 0 || a >= kTuneChannels || b >= kTuneChannels) {
    ErrorMsg(kTnstChannel);
    return;
  }
  if (song.track != nullptr) song.track->SwapChannels(a, b);
  for (int32_t* table : {program, overlapped, single, low, high, short_notes, medium_notes,
                         long_notes, leaps, steps, used, part_type}) {
    std::swap(table[a], table[b]);
  }
}

void TuneStructure::AnalyseMobile(const MobileChannelView* channels, int32_t channel_count,
                                  int32_t bars, int32_t division) {
  std::fill(std::begin(overlapped), std::end(overlapped), 0);
  std::fill(std::begin(single), std::end(single), 0);
  std::fill(std::begin(used), std::end(used), 0);
  int32_t previous_pitch[kTuneChannels] = {};
  std::vector<std::pair<int64_t, int32_t>> notes[kTuneChannels];  // (start, duration)
  for (int32_t k = 0; k < channel_count && channels != nullptr; ++k) {
    const MobileChannelView& ch = channels[k];
    const int32_t c = ch.midi_channel;
    if (c < 0 || c >= kTuneChannels) {
      ErrorMsg(kTnstChannel);
      continue;
    }
    if (ch.rhythm) part_type[c] = kPartRhythm;
    int64_t tick = 0;
    for (int32_t i = 0; i < ch.event_count; ++i) {
      const MobileChannelView::Event& e = ch.events[i];
      tick += e.delta;
      if (e.status == kStatusNote && e.velocity != 0) {
        AddNote(c, e.note, e.duration, division, previous_pitch);
        notes[c].emplace_back(tick, e.duration);
      } else if (e.status == kStatusMeta && e.kind == 0x21) {
        program[c] = e.value;
      }
    }
  }
  for (int32_t c = 0; c < kTuneChannels; ++c) {
    // Several ringtone channels may play on one MIDI channel: their notes by time.
    std::stable_sort(notes[c].begin(), notes[c].end(),
                     [](const auto& x, const auto& y) { return x.first < y.first; });
    ChannelNotes sorted;
    for (const auto& [start, duration] : notes[c]) sorted.Add(c, start, duration);
    CountOverlaps(sorted.starts[c], sorted.durations[c], &overlapped[c], &single[c]);
  }
  CountUsedChannels();
  bar_count = bars;
  melody_count = 0;
  bass_count = 0;
  accompaniment_count = 0;
  Classify();
}

void TuneStructure::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }
