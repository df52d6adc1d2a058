#include "engine/ornaments.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/part_tracks.h"
#include "engine/tone_weights.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

bool OneIn(int n) { return GneRandomRange(1, n) == 1; }

bool RenderingSong() { return ComposeMode() == kSongRenderingMode; }

bool Triplet() { return CurrentStyle().basic_beat == 3; }

void Note(MidiTrack& track, const OrnamentNote& n, int delta, int pitch, int velocity, int length) {
  AddNote(track, n.channel, delta, pitch, velocity, length);
}

// Tone weights of the current chord (the scale alone before the first chord).
void ChordWeights(const OrnamentNote& n, char* weights) {
  char code[5] = "NoCd";
  if (n.chord_entry != nullptr && n.chord_entry[2] != 0) std::memcpy(code, n.chord_entry + 2, 4);
  BuildToneWeights(code, weights);
}

// The eight-note turn of the classical ornaments around p with the lower
// neighbour `low`; forces the next pitch to p.
int Turn(MidiTrack& track, const OrnamentNote& n, int low, int length) {
  const int p = n.pitch;
  const int pitches[8] = {low, p, low, p, low, p, p - 3, low};
  for (int k = 0; k < 8; ++k) Note(track, n, k == 0 ? n.delta : 12, pitches[k], n.velocity, length);
  if (n.next_pitch != nullptr) *n.next_pitch = p;
  return 12;
}

bool TurnPlace(const OrnamentNote& n, int class_a, int class_b) {
  const int pc = PitchClassOf(n.pitch);
  return n.length == ticks::kQuarter && n.section_time > ticks::kHalf &&
         (pc == class_a || pc == class_b) && IsTriadTone(n.pitch, n.chord_entry);
}

}  // namespace

bool IsTriadTone(int pitch, const uint8_t* chord_entry) {
  return IsTriadToneOfEntry(pitch, chord_entry);
}

int StepDownToTone(int pitch, const char* weights) {
  StepDownToStrongTone(&pitch, weights);
  return pitch;
}

int JitterPitch(int pitch) {
  int32_t& last = PartMemory().jitter_last;
  int q = pitch;
  if (OneIn(40)) {
    q += OneIn(2) ? 1 : -1;
  } else if (OneIn(45)) {
    q += 5;
  }
  int result;
  if (OneIn(30)) {
    result = 0;
  } else {
    result = last == 0 ? q - 1 : q;
  }
  last = result;
  return result;
}

int PlainOrnamentNote(MidiTrack& track, const OrnamentNote& n) {
  Note(track, n, n.delta, n.pitch, n.velocity, n.length - 3);
  return n.length;
}

int OrnamentClassical(MidiTrack& track, const OrnamentNote& n) {
  if (n.channel == 4) {
    OrnamentNote soft = n;
    if (n.event_index < 3) soft.velocity = 2 * n.velocity / 3;
    return PlainOrnamentNote(track, soft);
  }
  if (n.channel == 1 && (CurrentStyle().density[1] < 80 || OneIn(2))) {
    if (TurnPlace(n, 0, 5)) return Turn(track, n, n.pitch - 1, 9);
    if (OneIn(2) && TurnPlace(n, 2, 7)) return Turn(track, n, n.pitch - 2, 10);
  }
  return PlainOrnamentNote(track, n);
}

int OrnamentWildTrill(MidiTrack& track, const OrnamentNote& n) {
  if (n.length != ticks::kEighth) return PlainOrnamentNote(track, n);
  const int p = n.pitch;
  const int pitches[4] = {p - 1, p, p - 1, p};
  for (int k = 0; k < 4; ++k) Note(track, n, k == 0 ? n.delta : 12, pitches[k], n.velocity, 9);
  return 12;
}

int OrnamentBlues(MidiTrack& track, const OrnamentNote& n) {
  if (!(Triplet() && n.length > 191 && OneIn(6))) return PlainOrnamentNote(track, n);
  const int p = n.pitch;
  const int v = n.velocity - 16;
  Note(track, n, n.delta, p, v, 30);
  Note(track, n, 32, p - 1, v, 14);
  Note(track, n, 16, p, v, 14);
  Note(track, n, 16, p - 1, v, 14);
  Note(track, n, 16, p, n.velocity, n.length - 66);
  return n.length - 80;
}

int OrnamentUnstable(MidiTrack& track, const OrnamentNote& n) {
  const int p = n.pitch;
  const int L = n.length;
  if (!(L > 47 && OneIn(2))) return PlainOrnamentNote(track, n);
  if (OneIn(2)) {
    int pairs = 0;
    for (int remaining = L; remaining > 40; remaining -= 32, ++pairs) {
      Note(track, n, pairs == 0 ? n.delta : 16, p, n.velocity, 13);
      Note(track, n, 16, p - 1, n.velocity, 13);
    }
    const int g = 32 * pairs;
    Note(track, n, pairs == 0 ? n.delta : 16, p, n.velocity, L - g - 3);
    return L - g;
  }
  int x, s, last;
  if (OneIn(2)) {
    x = p;
    s = L / 3;
    last = L - 2 * s - 3;
  } else {
    x = p + 1;
    s = 8;
    last = L - 19;
  }
  Note(track, n, n.delta, x, n.velocity, s - 3);
  Note(track, n, s, p - 1, n.velocity, s - 3);
  Note(track, n, s, p, n.velocity, last);
  return last + 3;
}

int OrnamentPercussive(MidiTrack& track, const OrnamentNote& n) {
  const int p = n.pitch;
  const int L = n.length;
  const int i = n.event_index;
  if (i % 80 > 40 && OneIn(2) && (L == ticks::kEighth || L == 64 || L == ticks::kQuarter)) {
    const int strokes = L == ticks::kEighth ? 4 : (L == 64 ? 6 : 8);
    const int step = L / strokes;
    int velocity = n.velocity;
    int delta = n.delta;
    int last_start = -1;
    for (int k = 0; k < strokes; ++k) {
      int pitch;
      if (k % 2 == 0) {
        velocity = std::max(0, velocity - 25);
        pitch = p - 5;
      } else {
        velocity = std::max(0, velocity - (k % 4 == 1 ? 15 : 5));
        pitch = p;
      }
      if (pitch < 1) {
        delta += step;
        continue;
      }
      Note(track, n, delta, pitch, velocity, step - 2);
      last_start = k * step;
      delta = step;
    }
    // Nothing written: the whole step is still pending.
    return last_start < 0 ? n.delta + L : L - last_start;
  }
  if (L > 47 && i % 40 > 20 && OneIn(2)) {
    Note(track, n, n.delta, p - 1, n.velocity - 25, 23);
    Note(track, n, ticks::kSixteenth, p, n.velocity, L - 27);
    return L - ticks::kSixteenth;
  }
  return PlainOrnamentNote(track, n);
}

int OrnamentInterjection(MidiTrack& track, const OrnamentNote& n) {
  OrnamentNote j = n;
  j.pitch = JitterPitch(n.pitch);
  return PlainOrnamentNote(track, j);
}

int OrnamentPops(MidiTrack& track, const OrnamentNote& n) {
  if (RenderingSong()) return PlainOrnamentNote(track, n);
  const int L = n.length;
  const int p = n.pitch;
  int f = 4;
  if (L == ticks::kHalf) {
    f = OneIn(3) ? 1 : OneIn(3) ? 2 : OneIn(3) ? 3 : OneIn(3) ? 5 : 4;
  } else if (L == ticks::kQuarter) {
    f = OneIn(4) ? 1 : OneIn(2) ? 5 : OneIn(3) ? 3 : OneIn(3) ? 2 : 4;
  }
  if (f == 4) return PlainOrnamentNote(track, n);
  char w[kToneWeightTextSize];
  ChordWeights(n, w);
  const int a = f == 1 ? p - 1 : StepDownToTone(p, w);
  const int b = StepDownToTone(a, w);
  const int c = StepDownToTone(b, w);
  const int v = n.velocity;
  if (f == 1 || f == 2) {
    Note(track, n, n.delta, a, v, 7);
    Note(track, n, 10, p, v, L - 13);
    return L - 10;
  }
  if (f == 3) {
    Note(track, n, n.delta, b, v, 7);
    Note(track, n, 10, a, v, 7);
    Note(track, n, 10, p, v, L - 23);
    return L - 20;
  }
  const int q = L / 4;
  Note(track, n, n.delta, c, v, q - 3);
  Note(track, n, q, b, v, q - 3);
  Note(track, n, q, a, v, q - 3);
  Note(track, n, q, p, v, q - 3);
  return q;
}

int OrnamentRap(MidiTrack& track, const OrnamentNote& n) {
  if (!(n.length == ticks::kQuarter && OneIn(2))) return PlainOrnamentNote(track, n);
  const int p = n.pitch;
  const int first = OneIn(2) ? 0 : p;
  Note(track, n, n.delta, first, first == 0 ? 0 : n.velocity, 21);
  Note(track, n, ticks::kSixteenth, p, n.velocity, 21);
  Note(track, n, ticks::kSixteenth, p + 5, n.velocity, 21);
  Note(track, n, ticks::kSixteenth, p, n.velocity, 21);
  return ticks::kSixteenth;
}

int OrnamentAndes(MidiTrack& track, const OrnamentNote& n) {
  const int p = n.pitch;
  const int L = n.length;
  const int v = n.velocity;
  if (OneIn(2)) {
    Note(track, n, n.delta, p - 1, v, 3);
    Note(track, n, 4, p, v, L / 2);
    return L - 4;
  }
  if (OneIn(3)) {
    Note(track, n, n.delta, p - 3, v, 2);
    Note(track, n, 3, p - 2, v, 2);
    Note(track, n, 3, p - 1, v, 2);
    Note(track, n, 3, p, v, L - 10);
    return L - 9;
  }
  Note(track, n, n.delta, p, v, L - 2);
  return L;
}

int OrnamentScottish(MidiTrack& track, const OrnamentNote& n) {
  const int p = n.pitch;
  const int L = n.length;
  switch (GneRandomRange(1, 3)) {
    case 1: {
      const int used =
          AddNoteBentFromBelow(track, n.channel, n.delta, p, 64, L - 3, (L - 3) / GneRandomRange(6, 8));
      return L - used;
    }
    case 2:
      Note(track, n, n.delta, p + 1, 64, 3);
      Note(track, n, 4, p, 64, L - 7);
      return L - 4;
    default:
      Note(track, n, n.delta, p, 64, 3);
      Note(track, n, 4, p, 64, L - 7);
      return L - 4;
  }
}

int OrnamentScaleRun(MidiTrack& track, const OrnamentNote& n) {
  if (n.channel != 1) return PlainOrnamentNote(track, n);
  const int p = n.pitch;
  if (n.length == ticks::kHalf && OneIn(6)) {
    const int count = OneIn(3) ? 8 : (OneIn(6) ? 12 : 6);
    const int s = ticks::kHalf / count;
    std::vector<int> pitches(static_cast<size_t>(count));
    std::vector<int> lengths(static_cast<size_t>(count), s - 1);
    if (OneIn(4)) {
      for (int j = 0; j < count; ++j) pitches[j] = (OneIn(6) ? p - 9 : p - 7) + j;
    } else if (OneIn(3)) {
      int q = p;
      for (int j = 0; j < count; ++j) {
        pitches[j] = q;
        q = StepToScaleTone(q + 1, +1);
      }
    } else if (OneIn(2)) {
      int q = p;
      for (int j = 0; j < count; ++j) {
        pitches[j] = q;
        q = StepToScaleTone(q - 1, -1);
      }
    } else {
      int q = p;
      bool snap_next = false;
      for (int j = 0; j < count; ++j) {
        if (j > 0) {
          if (count > 7 && OneIn(6)) {
            q = StepToScaleTone(q + 1, +1);
            snap_next = true;
          } else {
            q = q - 1;
            if (snap_next) q = StepToScaleTone(q, -1);
            snap_next = false;
          }
        }
        if (j == count - 1) q = StepToScaleTone(q, -1);
        pitches[j] = q;
      }
      lengths[0] = 2 * s - 2;
    }
    for (int j = 0; j < count; ++j)
      Note(track, n, j == 0 ? n.delta : s, pitches[j], 40 - 2 * j, lengths[j]);
    return s;
  }
  if (OneIn(3)) {
    if (TurnPlace(n, 0, 5)) return Turn(track, n, p - 1, 9);
    if (OneIn(3) && TurnPlace(n, 2, 7)) return Turn(track, n, StepToScaleTone(p - 2, -1), 10);
  }
  return PlainOrnamentNote(track, n);
}

int OrnamentLeadingLeap(MidiTrack& track, const OrnamentNote& n) {
  if (RenderingSong() || n.previous_pitch != 0 || n.length < 144 || n.pitch < 13)
    return PlainOrnamentNote(track, n);
  char w[kToneWeightTextSize];
  ChordWeights(n, w);
  const int u = StepDownToTone(n.pitch - 5, w);
  Note(track, n, n.delta, u, n.velocity, 45);
  Note(track, n, ticks::kEighth, n.pitch, n.velocity, n.length - 51);
  return n.length - ticks::kEighth;
}

int PlayOrnament(int code, MidiTrack& track, const OrnamentNote& n) {
  switch (code) {
    case kOrnamentClassical: return OrnamentClassical(track, n);
    case kOrnamentWildTrill: return OrnamentWildTrill(track, n);
    case kOrnamentBlues: return OrnamentBlues(track, n);
    case kOrnamentUnstable: return OrnamentUnstable(track, n);
    case kOrnamentPercussive: return OrnamentPercussive(track, n);
    case kOrnamentInterjection: return OrnamentInterjection(track, n);
    case kOrnamentPops: return OrnamentPops(track, n);
    case kOrnamentRap: return OrnamentRap(track, n);
    case kOrnamentAndes: return OrnamentAndes(track, n);
    case kOrnamentScottish: return OrnamentScottish(track, n);
    case kOrnamentScaleRun: return OrnamentScaleRun(track, n);
    case kOrnamentLeadingLeap: return OrnamentLeadingLeap(track, n);
    default: return PlainOrnamentNote(track, n);
  }
}

// ---- passing notes ----------------------------------------------------------

namespace {

bool IsSoundingNote(const MidiEvent* e) { return e->status == kStatusNote && e->velocity > 0; }

// Ticks from the event at `from` - 1 to the next sounding note at or after `from`;
// -1 when none follows.
int64_t TimeToNextNote(const MidiTrack& track, int32_t from) {
  int64_t t = 0;
  for (int32_t k = from; k < track.event_count; ++k) {
    t += track.events[k]->delta;
    if (IsSoundingNote(track.events[k])) return t;
  }
  return -1;
}

}  // namespace

void AddPassingNotes(MidiTrack& track) {
  if (track.mode != kTrackNotes) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return;
  }
  // Insertions are collected and made in one rebuild: (index before which, event).
  std::vector<std::pair<int32_t, MidiEvent*>> inserts;
  const int32_t count = track.event_count;
  for (int32_t i = 0; i < count; ++i) {
    MidiEvent* e = track.events[i];
    if (e->status != kStatusNote || e->duration < 67) continue;
    if (!OneIn(4)) continue;
    if (e->duration <= ticks::kQuarter) {
      e->duration = 72;
      auto* copy = new MidiEvent(*e);
      copy->delta = 72;
      copy->duration = ticks::kSixteenth;
      int q = copy->note;
      int64_t owed = 72;
      for (int32_t k = i + 1; k < count && owed > 0; ++k) {
        MidiEvent* next = track.events[k];
        const int64_t take = std::min<int64_t>(owed, next->delta);
        next->delta -= static_cast<int32_t>(take);
        owed -= take;
        if (next->status == kStatusNote) q = next->note;
      }
      if (std::abs(q - copy->note) == 2) {
        copy->note = (q + copy->note) / 2;
      } else if (q == copy->note && q != 0 && OneIn(2)) {
        copy->note -= 1;
      }
      const int64_t to_next = TimeToNextNote(track, i + 1);
      if (to_next >= 0 && to_next >= ticks::kQuarter) copy->duration = ticks::kQuarter;
      inserts.emplace_back(i + 1, copy);
      continue;
    }
    int32_t j = i + 1;
    while (j < count && track.events[j]->status != kStatusNote) ++j;
    if (j >= count) continue;
    MidiEvent* next = track.events[j];
    if (std::abs(next->note - e->note) != 2) continue;
    int s;
    if (Triplet()) s = ticks::kTripletEighth;
    else if (e->duration >= 134) s = ticks::kEighth;
    else s = OneIn(4) ? ticks::kEighth : ticks::kSixteenth;
    auto* passing = new MidiEvent(*next);
    passing->note = (next->note + e->note) / 2;
    passing->duration = s;
    next->delta = s;
    // Take s back from the gaps before the passing note, walking back to this note.
    int64_t missing = s;
    if (passing->delta >= missing) {
      passing->delta -= static_cast<int32_t>(missing);
      missing = 0;
    } else {
      missing -= passing->delta;
      passing->delta = 0;
    }
    for (int32_t k = j - 1; k > i && missing > 0; --k) {
      MidiEvent* gap = track.events[k];
      if (gap->delta >= missing) {
        gap->delta -= static_cast<int32_t>(missing);
        missing = 0;
      } else {
        missing -= gap->delta;
        gap->delta = 0;
      }
    }
    inserts.emplace_back(j, passing);
  }
  if (inserts.empty()) return;
  std::stable_sort(inserts.begin(), inserts.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<MidiEvent*> rebuilt;
  rebuilt.reserve(static_cast<size_t>(count) + inserts.size());
  size_t next_insert = 0;
  for (int32_t k = 0; k <= count; ++k) {
    while (next_insert < inserts.size() && inserts[next_insert].first == k)
      rebuilt.push_back(inserts[next_insert++].second);
    if (k < count) rebuilt.push_back(track.events[k]);
  }
  track.ReserveEvents(static_cast<int32_t>(rebuilt.size()));
  std::copy(rebuilt.begin(), rebuilt.end(), track.events);
  track.event_count = static_cast<int32_t>(rebuilt.size());
}
