#include "song/track_melody.h"

#include <algorithm>

#include "music/midi1_data.h"
#include "music/midi_track.h"

namespace {

constexpr int64_t kEngineDivision = 96;

// The walk over the track's events with the running pitch and the running length.
class MelodyWalk {
 public:
  MelodyWalk(int32_t division, const MelodyEventSink& sink) : division_(division), sink_(sink) {}

  bool stopped() const { return stopped_; }

  // One event `delta` ticks after the previous one. `is_note`: a note or a silent note
  // standing for a rest; `sounding`: a note with a non-zero velocity.
  void Step(int64_t delta, bool is_note, bool sounding, int32_t pitch) {
    if (stopped_) return;
    running_ += Scale(delta);
    if (current_ < 0 || current_ > 127) {
      ShowErrorByCode(kTrackMelodyPitchError);
      current_ = 0;  // never hand on a pitch no list can hold
    }
    if (running_ > 0) {
      SplitLong();
      if (is_note && !stopped_) {
        Emit(running_, current_);
        running_ = 0;
        current_ = pitch;
      }
    } else if (sounding) {
      current_ = pitch;
      if (pitch <= 11) ShowErrorByCode(kTrackMelodyOctaveError);
    }
  }

  // Time after the last event (a last note still sounding), then what remains.
  void Finish(int64_t tail) {
    if (stopped_) return;
    running_ += Scale(tail);
    if (running_ <= 0) return;
    SplitLong();
    if (!stopped_ && running_ > 0) Emit(running_, current_);
    running_ = 0;
  }

 private:
  int64_t Scale(int64_t ticks) const {
    return ticks <= 0 ? 0 : ticks * kEngineDivision / division_;
  }

  // A length above one bar: bar-long pieces, the first with the pitch, the rest silent,
  // until at most one bar remains.
  void SplitLong() {
    if (running_ <= kTrackMelodyBarTicks) return;
    const int64_t pieces = (running_ - 1) / kTrackMelodyBarTicks;
    for (int64_t i = 0; i < pieces && !stopped_; ++i) Emit(kTrackMelodyBarTicks, i == 0 ? current_ : 0);
    running_ = ((running_ - (kTrackMelodyBarTicks + 1)) % kTrackMelodyBarTicks) + 1;
    current_ = 0;
  }

  void Emit(int64_t length, int32_t pitch) {
    if (!sink_(static_cast<int32_t>(length), pitch)) stopped_ = true;
  }

  int32_t division_;
  const MelodyEventSink& sink_;
  int64_t running_ = 0;   // engine ticks since the last event handed on
  int32_t current_ = 0;   // pitch sounding since then, 0 = rest
  bool stopped_ = false;
};

bool IsNote(const MidiEvent& e) { return e.status == kStatusNote; }
bool IsSounding(const MidiEvent& e) { return IsNote(e) && e.velocity != 0; }

}  // namespace

void ConvertTrackToEventList(const MidiTrack& track, int32_t division, const MelodyEventSink& sink) {
  if (division <= 0 || !sink) return;
  MelodyWalk walk(division, sink);
  int64_t tick = 0;
  int64_t sound_end = 0;  // end of the last sounding note so far
  const MidiEvent* previous = nullptr;
  for (int32_t i = 0; i < track.event_count && !walk.stopped(); ++i) {
    const MidiEvent* e = track.Event(i);
    if (e == nullptr) continue;
    int64_t delta = std::max<int32_t>(e->delta, 0);
    tick += delta;
    // A gap after a sounding note: a silent note where it ends takes the gap.
    if (previous != nullptr && IsSounding(*previous)) {
      const int64_t held = std::max<int32_t>(previous->duration, 0);
      if (delta > held) {
        walk.Step(held, true, false, 0);
        delta -= held;
      }
    }
    walk.Step(delta, IsNote(*e), IsSounding(*e), e->note);
    if (IsSounding(*e)) sound_end = std::max<int64_t>(sound_end, tick + std::max<int32_t>(e->duration, 0));
    previous = e;
  }
  // A note still sounding after the last event (a track without End of Track, or one
  // that ends before its last note) keeps its length.
  walk.Finish(sound_end > tick ? sound_end - tick : 0);
}

bool MelodyEventList::AppendNote(int32_t length, int32_t pitch) {
  if (count() >= kTrackMelodyCapacity) return false;
  if (count() == kTrackMelodyCapacity - 1) ShowErrorByCode(kTrackMelodyListFull);
  events_.push_back(MelodyEvent{length, pitch});
  return true;
}

void ConvertTrackToEventList(const Midi1Data& song, int32_t track_index, int32_t division,
                             MelodyEventList& list) {
  const MidiTrack* track = song.Track(track_index);
  if (track == nullptr) return;
  ConvertTrackToEventList(*track, division,
                          [&list](int32_t length, int32_t pitch) { return list.AppendNote(length, pitch); });
}
