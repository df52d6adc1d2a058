#include "engine/part_effects.h"

#include <algorithm>
#include <cstdlib>

#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "engine/tone_weights.h"
#include "music/controllers.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

bool OneIn(int n) { return GneRandomRange(1, n) == 1; }

bool IsSounding(const MidiEvent* e) {
  return e != nullptr && e->status == kStatusNote && e->note > 0;
}
bool HasVelocity(const MidiEvent* e) {
  return e != nullptr && e->status == kStatusNote && e->velocity > 0;
}

// Velocity + rand(1, 20) - 10, kept inside 0..127.
void Jitter(MidiEvent* e) { e->velocity = std::clamp(e->velocity + GneRandomRange(1, 20) - 10, 0, 127); }

// Which channels of the track can bend, asked once per pass.
class Bendability {
 public:
  explicit Bendability(const MidiTrack& track) : track_(track) {}
  bool operator()(int channel) {
    if (channel < 0 || channel > 15) return false;
    if (known_[channel] < 0) known_[channel] = track_.IsBendableProgram(channel) ? 1 : 0;
    return known_[channel] == 1;
  }
 private:
  const MidiTrack& track_;
  int known_[16] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

int BendInNoteWith(TrackCursor& walk, int ticks, Bendability& bendable) {
  MidiEvent* note = walk.Current();
  if (note == nullptr || note->status != kStatusNote) {
    ShowErrorByCode(kMelodyTrackDataType);
    return 0;
  }
  const int64_t gap = walk.GapToNext();
  if (ticks <= 0 || gap < ticks) return 0;
  if (!bendable(note->channel)) {
    if (ticks <= 7) return 0;
    MidiEvent* grace = NewNote(note->channel, note->delta, note->note - 1, note->velocity, 3);
    walk.ShrinkNextGap(4);    // the event after the note keeps its time
    walk.PutInPlace(grace);   // the grace note takes the note's place
    note->delta = 4;
    walk.Next();              // back on the note
    return 1;
  }
  walk.PutAfter(NewBend(note->channel, 0, 58, 68));
  walk.PutAfter(NewBend(note->channel, ticks, 64, 0));
  walk.ShrinkNextGap(ticks);
  return 2;
}

int FlickNoteWith(TrackCursor& walk, Bendability& bendable) {
  MidiEvent* note = walk.Current();
  if (note == nullptr || note->status != kStatusNote) return 0;
  if (note->duration <= 23 || !bendable(note->channel)) return 0;
  note->velocity = std::min(127, note->velocity + 10);
  int c = 8, b = 8;
  if (note->duration >= 97) {
    c = GneRandomRange(8, 16);
    b = GneRandomRange(8, 16);
  }
  int msb = 64, lsb = 68;
  if (note->duration > ticks::kQuarter) {
    if (OneIn(3)) msb = 64 - GneRandomRange(0, 8);
    else msb = OneIn(2) ? 48 : 80;
  } else if (OneIn(3)) {
    msb = 64 - GneRandomRange(0, 8);
  } else if (OneIn(3)) {
    msb = 48;
  } else if (OneIn(2)) {
    msb = 80;
  } else {
    lsb = 0;  // the centre
  }
  // The bends must end before the next event.
  if (walk.GapToNext() < c + b) return 0;
  walk.PutAfter(NewBend(note->channel, c, msb, lsb));
  walk.PutAfter(NewBend(note->channel, b, 64, 0));
  walk.ShrinkNextGap(c + b);
  return 2;
}

}  // namespace

// ---- the walk -----------------------------------------------------------------

TrackCursor::TrackCursor(MidiTrack& track) : track_(track) {
  todo_.reserve(static_cast<size_t>(track.event_count) * 2 + 16);
  done_.reserve(static_cast<size_t>(track.event_count) * 2 + 16);
  // The track keeps its events until Finish, so that questions about it (the programs
  // of its channels) still find them during the walk.
  for (int32_t i = track.event_count - 1; i >= 0; --i) todo_.push_back(track.events[i]);
}

TrackCursor::~TrackCursor() { Finish(); }

MidiEvent* TrackCursor::Next() {
  if (todo_.empty()) return nullptr;
  done_.push_back(todo_.back());
  todo_.pop_back();
  return done_.back();
}

void TrackCursor::ShrinkNextGap(int64_t ticks) {
  if (todo_.empty()) return;
  MidiEvent* next = todo_.back();
  next->delta = static_cast<int32_t>(std::max<int64_t>(0, next->delta - ticks));
}

void TrackCursor::PutAfter(MidiEvent* e) { done_.push_back(e); }

void TrackCursor::PutAhead(MidiEvent* e) { todo_.push_back(e); }

void TrackCursor::PutInPlace(MidiEvent* e) {
  if (!done_.empty()) {
    todo_.push_back(done_.back());
    done_.pop_back();
  }
  done_.push_back(e);
}

void TrackCursor::Finish() {
  if (finished_) return;
  finished_ = true;
  const size_t total = done_.size() + todo_.size();
  track_.ReserveEvents(static_cast<int32_t>(total));
  int32_t k = 0;
  for (MidiEvent* e : done_) track_.events[k++] = e;
  for (auto it = todo_.rbegin(); it != todo_.rend(); ++it) track_.events[k++] = *it;
  track_.event_count = k;
}

namespace {

// A walk standing on the event at the index.
void WalkTo(TrackCursor& walk, int32_t index) {
  for (int32_t i = 0; i <= index; ++i)
    if (walk.Next() == nullptr) break;
}

}  // namespace

int BendInNote(TrackCursor& walk, int ticks) {
  Bendability bendable(walk.track());
  return BendInNoteWith(walk, ticks, bendable);
}

int FlickNote(TrackCursor& walk) {
  Bendability bendable(walk.track());
  return FlickNoteWith(walk, bendable);
}

namespace {

int WobbleNoteWith(TrackCursor& walk, Bendability& bendable) {
  MidiEvent* note = walk.Current();
  if (note == nullptr || note->status != kStatusNote) return 0;
  if (note->duration < ticks::kEighth || walk.GapToNext() < ticks::kQuarter || !bendable(note->channel)) return 0;
  note->velocity = std::min(127, note->velocity + 10);
  if (!OneIn(3)) return 0;
  const int k = (note->duration - 1) / 8 + 1;
  std::vector<int> offsets(static_cast<size_t>(k));
  int offset = 0;
  for (int j = 0; j < k; ++j) {
    offset = std::clamp(offset + GneRandomRange(0, 4) - 2, -8, 8);
    offsets[j] = offset;
  }
  offsets[k - 1] = 0;
  int from, to;
  if (OneIn(2)) {
    from = k / 4;
    to = k;
  } else {
    from = OneIn(3) ? k / 4 : 0;
    to = k / 2;
  }
  for (int j = from; j < to; ++j) offsets[j] = 0;
  for (int j = 0; j < k; ++j) walk.PutAfter(NewBend(note->channel, j == 0 ? 0 : 8, 64 + offsets[j], 0));
  walk.ShrinkNextGap(8 * (k - 1));
  return k;
}

int VibratoNoteWith(TrackCursor& walk, Bendability& bendable) {
  MidiEvent* note = walk.Current();
  if (note == nullptr || note->status != kStatusNote) return 0;
  const int channel = note->channel;
  // Modulation and the vibrato controllers take the note's place; the note follows at once.
  static const int kControllers[4] = {cc::kModulation, 76, 77, 78};
  for (int number : kControllers) {
    walk.PutInPlace(NewController(channel, note->delta, number, GneRandomRange(65, 70)));
    note->delta = 0;
    walk.Next();
  }
  int inserted = BendInNoteWith(walk, note->duration / GneRandomRange(7, 10), bendable);
  // Elapsed ticks of the events put after the note.
  int64_t elapsed = 0;
  if (inserted == 2) elapsed = walk.Current()->delta;
  if (inserted == 1) elapsed = 0;  // grace note: the note is at hand again
  const int64_t gap = walk.GapToNext();
  int64_t at = note->duration;
  if (gap >= 0) at = std::min<int64_t>(at, elapsed + gap);
  const int64_t delta = std::max<int64_t>(0, at - elapsed);
  walk.PutAfter(NewController(channel, static_cast<int32_t>(delta), cc::kModulation, 64));
  walk.ShrinkNextGap(delta);
  return inserted == 1 ? 1 : inserted + 1;
}

int RepeatNoteAhead(TrackCursor& walk, int step) {
  MidiEvent* note = walk.Current();
  if (note == nullptr || note->status != kStatusNote || step <= 0) return 0;
  const int64_t gap = walk.GapToNext();
  if (gap < 0) return 0;
  // The repeats keep to the note's own steps: a rest after it stays silent.
  const int64_t span = std::min<int64_t>(gap, (int64_t{note->duration} + step - 1) / step * step);
  const int r = static_cast<int>(std::max<int64_t>(0, span / step - 1));
  const int length = std::max(1, 8 * step / 10);
  note->duration = length;
  walk.ShrinkNextGap(int64_t{r} * step);
  // Copies go ahead of the walk in reverse so that the first comes next.
  for (int j = 0; j < r; ++j) {
    auto* copy = new MidiEvent(*note);
    copy->delta = step;
    walk.PutAhead(copy);
  }
  return r;
}

}  // namespace

int WobbleNote(TrackCursor& walk) {
  Bendability bendable(walk.track());
  return WobbleNoteWith(walk, bendable);
}

int VibratoNote(TrackCursor& walk) {
  Bendability bendable(walk.track());
  return VibratoNoteWith(walk, bendable);
}

int RepeatNote(TrackCursor& walk, int step) {
  const int r = RepeatNoteAhead(walk, step);
  for (int j = 0; j < r; ++j) walk.Next();
  return r;
}

int BendInNoteAt(MidiTrack& track, int32_t index, int ticks) {
  TrackCursor walk(track);
  WalkTo(walk, index);
  return BendInNote(walk, ticks);
}
int FlickNoteAt(MidiTrack& track, int32_t index) {
  TrackCursor walk(track);
  WalkTo(walk, index);
  return FlickNote(walk);
}
int WobbleNoteAt(MidiTrack& track, int32_t index) {
  TrackCursor walk(track);
  WalkTo(walk, index);
  return WobbleNote(walk);
}
int VibratoNoteAt(MidiTrack& track, int32_t index) {
  TrackCursor walk(track);
  WalkTo(walk, index);
  return VibratoNote(walk);
}
int RepeatNoteAt(MidiTrack& track, int32_t index, int step) {
  TrackCursor walk(track);
  WalkTo(walk, index);
  return RepeatNote(walk, step);
}

// ---- effects --------------------------------------------------------------------

namespace {

// Walks every sounding note of the track with the handler (which may insert).
template <typename Handler>
void ForEachSoundingNote(MidiTrack& track, Handler handler) {
  TrackCursor walk(track);
  Bendability bendable(track);
  while (MidiEvent* e = walk.Next()) {
    if (IsSounding(e)) handler(walk, e, bendable);
  }
}

}  // namespace

void EffectChokeLight(MidiTrack& track) {
  ForEachSoundingNote(track, [](TrackCursor& walk, MidiEvent* e, Bendability& b) {
    Jitter(e);
    const bool first = OneIn(7);
    if ((first && e->duration >= 84) || (!(first && e->duration >= 84) && OneIn(8)))
      BendInNoteWith(walk, e->duration / GneRandomRange(7, 10), b);
  });
}

void EffectChokeMedium(MidiTrack& track) {
  ForEachSoundingNote(track, [](TrackCursor& walk, MidiEvent* e, Bendability& b) {
    if (OneIn(2)) BendInNoteWith(walk, e->duration / 10, b);
  });
}

void EffectScat(MidiTrack& track) {
  ForEachSoundingNote(track, [](TrackCursor& walk, MidiEvent* e, Bendability& b) {
    e->duration /= 2;
    BendInNoteWith(walk, e->duration / 2, b);
  });
}

void EffectShake(MidiTrack& track) {
  ForEachSoundingNote(track, [](TrackCursor& walk, MidiEvent* e, Bendability& b) {
    Jitter(e);
    FlickNoteWith(walk, b);
  });
}

void EffectVibrato(MidiTrack& track) {
  ForEachSoundingNote(track, [](TrackCursor& walk, MidiEvent* e, Bendability& b) {
    if (e->duration <= 83 || !OneIn(3)) return;
    if (e->duration > 179 && OneIn(2)) VibratoNoteWith(walk, b);
    else BendInNoteWith(walk, e->duration / GneRandomRange(7, 10), b);
  });
}

void EffectHeadShake(Midi1Track& track) {
  ForEachSoundingNote(track, [](TrackCursor& walk, MidiEvent* e, Bendability& b) {
    Jitter(e);
    WobbleNoteWith(walk, b);
  });
  // Redundant bends go and bends come first within their tick, once for the track.
  track.RemoveRedundantBends();
  track.MoveStatusFirst(kStatusPitchBend);
}

void EffectPastoral(MidiTrack& track, int upper_bound, const char* scale_text) {
  auto weight = [scale_text](int pitch) {
    return scale_text != nullptr && scale_text[0] != 0 ? ToneDigit(scale_text, PitchClassOf(pitch)) : 0;
  };
  auto search_from = [&](int start) {
    for (int q = std::max(start, 1); q <= upper_bound && q <= 127; ++q)
      if (weight(q) >= 6) return q;
    return 0;
  };
  ForEachSoundingNote(track, [&](TrackCursor& walk, MidiEvent* e, Bendability& b) {
    if (e->duration < 72 || !OneIn(2)) {
      Jitter(e);
      FlickNoteWith(walk, b);
      return;
    }
    const int p = e->note;
    const int n = RepeatNoteAhead(walk, ticks::kSixteenth);
    int pitch = search_from(p + 7);
    int parity = 1;  // 1st, 3rd, ... repeats
    if (pitch == 0) {
      pitch = search_from(p - 7);
      parity = 0;    // 2nd, 4th, ... repeats
    }
    for (int j = 1; j <= n; ++j)
      if (pitch != 0 && j % 2 == parity) walk.AheadAt(j - 1)->note = pitch;
    if (n == 3 && OneIn(2)) {
      MidiEvent* first = walk.AheadAt(0);
      MidiEvent* second = walk.AheadAt(1);
      e->duration += first->duration + second->duration;
      first->status = kStatusDeleted;
      second->status = kStatusDeleted;
      return;
    }
    for (int j = 1; j <= n; ++j) {
      walk.Next();
      BendInNoteWith(walk, 12, b);
    }
  });
  track.Compact();
}

void EffectGlide(Midi1Track& track) {
  track.DeleteControlChange(cc::kModulation);
  track.DeleteControlChange(cc::kSustain);
  track.DeleteControlChange(cc::kExpression);
  track.LimitNoteLengths(ticks::kBar);
  track.BendsToNotes(track.GetBendRange());
  track.DeletePitchBends();
  track.RemoveBendRangeData();
  track.InsertBendRange(12);
  track.AddGlides(ticks::kSixteenth, 8, 12);
  track.AddDelayedVibrato(ticks::kQuarter);
  track.AddExpressionSwell(ticks::kEighth, 4);
}

void EffectTremolo(MidiTrack& track) {
  const bool triplet = CurrentStyle().basic_beat == 3;
  const bool slow = CurrentStyle().tempo >= 750000;
  const int b = slow ? (triplet ? 16 : 12) : (triplet ? 32 : 24);
  TrackCursor walk(track);
  while (MidiEvent* e = walk.Next()) {
    if (!IsSounding(e) || e->velocity <= 16 || e->duration <= b || walk.GapToNext() <= 47) continue;
    MidiEvent* note = e;
    while (walk.GapToNext() > b && note->duration > b) {
      auto* rest = new MidiEvent(*note);
      rest->delta = b;
      rest->duration = note->duration - b;
      note->duration = b / 2;
      walk.ShrinkNextGap(b);
      walk.PutAfter(rest);
      note = rest;
    }
  }
}

void EffectSiren(MidiTrack& track) {
  TrackCursor walk(track);
  int base = -1;
  int run = 0;
  while (MidiEvent* e = walk.Next()) {
    if (!HasVelocity(e)) continue;
    e->duration = 2;
    const int64_t gap = walk.GapToNext();
    if (gap < 4) {
      base = -1;
      continue;
    }
    if (base < 0) {
      base = e->note;
      run = 0;
    }
    ++run;
    auto* copy = new MidiEvent(*e);
    copy->delta = 4;
    copy->note = base + run % 12;
    while (copy->note > 127) copy->note -= 12;
    walk.ShrinkNextGap(4);
    walk.PutAhead(copy);
  }
}

void EffectLongPipe(MidiTrack& track) {
  TrackCursor walk(track);
  int counter = 0;
  int b = 0;
  while (MidiEvent* e = walk.Next()) {
    const int c = GneRandomRange(3, 6);
    b = c > b + 1 ? c - 1 : c;
    if (!HasVelocity(e)) continue;
    e->duration = 2 * b;
    const int64_t g = walk.GapToNext();
    if (g < b) {
      counter = 0;
      continue;
    }
    MidiEvent* inserted;
    if (g < 2 * b) {
      inserted = NewController(e->channel, 0, cc::kBrightness, 84);
      if (e->note > 12) e->note -= 12;
    } else if (OneIn(2)) {
      const int k = counter % 12;
      inserted = NewBend(e->channel, 0, k > 8 ? 44 + 2 * k : 64 - 2 * k, 0);
      ++counter;
    } else {
      inserted = new MidiEvent(*e);
      inserted->velocity = std::max(0, e->velocity - counter);
      inserted->note = std::max(0, e->note - counter / 2 - 12);
      ++counter;
    }
    // The inserted event takes the note's place; the note comes b later and is met again.
    walk.ShrinkNextGap(b);
    inserted->delta = e->delta;
    e->delta = b;
    walk.PutInPlace(inserted);
  }
}

void EffectBrightnessSweep(MidiTrack& track) {
  {
    TrackCursor walk(track);
    while (MidiEvent* e = walk.Next()) {
      if (!HasVelocity(e)) continue;
      const int64_t gap = walk.GapToNext();
      if (gap < 0 || e->duration >= gap - 1) continue;
      e->duration = static_cast<int32_t>(gap - 1);
      if (e->duration > ticks::kBar) e->duration -= ticks::kHalf;
    }
  }
  TrackCursor walk(track);
  int value = 64;
  int direction = 1;
  while (MidiEvent* e = walk.Next()) {
    const bool brightness = e->status == kStatusController && e->number == cc::kBrightness;
    if (!HasVelocity(e) && !brightness) continue;
    const int x = GneRandomRange(9, 18);
    const int64_t gap = walk.GapToNext();
    if (gap < x) continue;
    const int channel = e->channel;
    walk.ShrinkNextGap(x);
    walk.PutAhead(NewController(channel, x, cc::kBrightness, value));
    value += direction * GneRandomRange(3, 5);
    if (value > 75) direction = -1;
    if (value < 48) direction = 1;
  }
}

void ApplyChannelOneEffects(int channel, Midi1Track& track) {
  PartRecord& part = CurrentStyle().parts[1];
  PartBuilderMemory& memory = PartMemory();
  if (!memory.long_pipe_question_done) {
    memory.long_pipe_question_done = true;
    const bool asks = part.ornament == 9 || part.ornament == 12 || part.effect == 9 || part.effect == 12;
    if (asks && AskByCode(kLongPipeQuestion) == IDCANCEL) {
      part.ornament = 0;
      part.effect = 0;
    }
  }
  (void)channel;
  const int o = part.ornament;
  const int e = part.effect;
  if (o == kEffectSiren || e == kEffectSiren) EffectSiren(track);
  else if (o == kEffectBrightness || e == kEffectBrightness) EffectBrightnessSweep(track);
  else if (o == kEffectLongPipe || e == kEffectLongPipe) EffectLongPipe(track);
}

void ApplyPartEffects(Midi1Track& track, int channel) {
  if (channel < 0 || channel >= kStyleChannelCount) return;
  const PartRecord part = CurrentStyle().parts[channel];
  switch (part.ornament) {
    case kEffectChokeLight: EffectChokeLight(track); break;
    case kEffectShake: EffectShake(track); break;
    case kEffectHeadShake: EffectHeadShake(track); break;
    case kEffectVibrato: EffectVibrato(track); break;
    default: break;
  }
  switch (part.effect) {
    case kEffectChokeLight: EffectChokeLight(track); break;
    case kEffectVibrato: EffectVibrato(track); break;
    case kEffectShake: EffectShake(track); break;
    case kEffectChokeMedium: EffectChokeMedium(track); break;
    case kEffectScat: EffectScat(track); break;
    case kEffectHeadShake: EffectHeadShake(track); break;
    case kEffectPastoral: EffectPastoral(track, part.range_high, CurrentStyle().scale_tones); break;
    case kEffectGlide: EffectGlide(track); break;
    case kEffectTremolo: EffectTremolo(track); break;
    default: break;
  }
  if (channel == 1) ApplyChannelOneEffects(channel, track);
}

void AddPanStep(MidiTrack& track, int channel, int* value) {
  track.InsertEvent(track.event_count - 1, 1, NewController(channel, 0, cc::kPan, std::clamp(*value, 0, 127)));
  int32_t& step = PartMemory().pan_step;
  *value += step;
  if (*value > 127) {
    *value = 254 - *value;
    step = -5;
  } else if (*value < 1) {
    *value = -*value;
    step = 5;
  }
}
