#include "engine/conductor.h"

#include <cstdio>
#include <cstring>
#include <algorithm>
#include <climits>

#include "engine/compose_info.h"
#include "engine/engine_state.h"
#include "engine/part_tracks.h"
#include "music/ticks.h"
#include "style/style_table.h"

namespace {

// Error when two markers stand at one tick; `from` limits the check to markers at or
// after that event index.
void CheckMarkerClash(const MidiTrack& track, int32_t from) {
  int64_t t = 0;
  int64_t last_marker = -1;
  for (int32_t i = 0; i < track.event_count; ++i) {
    const MidiEvent* e = track.events[i];
    t += e->delta;
    if (e->status != kStatusMeta || e->number != 0x06) continue;
    if (last_marker == t && i >= from) ShowErrorByCode(kMarkerClash);
    last_marker = t;
  }
}

void AddDisplayText(MidiTrack& track, int32_t delta, const char* text) {
  if (SoundModuleMode() == 0) track.AddXgDisplayText(delta, text);
  else if (SoundModuleMode() == 1) track.AddGsDisplayText(delta, text);
}

}  // namespace

void ChordCodeToName(char* text) {
  const char code[4] = {text[0], text[1], text[2], text[3]};
  char name[16] = {};
  size_t n = 0;
  if (code[0] == 'N') {
    std::strcpy(text, "N/C");
    return;
  }
  const bool natural = code[0] >= 'A' && code[0] <= 'G';
  if (natural) {
    name[n++] = code[0];
  } else {
    name[n++] = static_cast<char>(code[0] >= 'a' && code[0] <= 'z' ? code[0] - 'a' + 'A' : code[0]);
    name[n++] = 'b';
  }
  if (code[1] == 'm') name[n++] = 'm';
  if (code[2] == 'd') {
    if (natural && code[1] != 'm') ShowErrorByCode(kDiminishedCode);
    --n;
    std::memcpy(name + n, "dim ", 4);
    n += 4;
  } else if (code[2] == 'A') {
    std::memcpy(name + n, "aug ", 4);
    n += 4;
  } else {
    name[n++] = ' ';
  }
  if (code[3] == 's') name[n++] = '7';
  if (code[3] == 'S') {
    name[n++] = 'M';
    name[n++] = '7';
  }
  name[n] = 0;
  std::memcpy(text, name, n + 1);
}

void AppendSlashBass(char* text, int semitone) {
  static const char* kNames[12] = {"onC",  "onC#", "onD",  "onD#", "onE",  "onF",
                                   "onF#", "onG",  "onG#", "onA",  "onA#", "onB"};
  const int s = semitone % 12;
  if (s < 0) return;
  std::strcat(text, kNames[s]);
}

void WriteConductorTrack(MidiTrack& track) {
  const StyleRecord& style = CurrentStyle();
  char seed_text[32];
  std::snprintf(seed_text, sizeof seed_text, "random_seed %d", static_cast<int>(CompositionSeed()));
  track.AddMetaEvent(0, 0x01, seed_text, static_cast<int32_t>(std::strlen(seed_text) + 1));
  switch (SoundModuleMode()) {
    case 0: track.AddXgSystemOn(); break;
    case 1: track.AddGsReset(); break;
    default: track.AddGmSystemOn(); break;
  }
  track.InsertMasterVolume(127, 0);
  if (style.metre == 1) track.AddTimeSignature(3, 2);
  else if (style.metre == 2) track.AddTimeSignature(7, 3);
  else track.AddTimeSignature(4, 2);
  track.AddKeySignature(0, style.key_offset, style.key_mode == 2 ? 1 : 0);
  track.AddTempoOrDefault(style.tempo);
  if (ConductorMarkerSetting() == 1 && LeadInSetting() == 1) {
    const bool display = DisplayTextSetting() == 1;
    if (display) AddDisplayText(track, 0, "N/C");
    track.AddMarker(0, "N/C");
    const ComposeInformation& info = ComposeInfo();
    int32_t delta = GetLeadInTicks();
    for (int k = 0; k < info.chord_block_count(); ++k) {
      const ChordBlock& block = *info.chord_block(k);
      char name[32] = {};
      std::memcpy(name, block.chord_code, 4);
      ChordCodeToName(name);
      if (block.bass_text[0] != 0) {
        const int b = (block.bass_text[0] - '0') * 10 + (block.bass_text[1] - '0');
        if (b != 0) AppendSlashBass(name, block.root % 12 + b);
      }
      const int32_t from = track.event_count;
      if (display) {
        AddDisplayText(track, delta, name);
        track.AddMarker(0, name);
      } else {
        track.AddMarker(delta, name);
      }
      CheckMarkerClash(track, from);
      delta = block.length;
    }
  }
  CheckMarkerClash(track, 0);
}

void AddConductorTrack(PartTrackList& tracks) {
  auto track = std::make_unique<PartTrack>();
  WriteConductorTrack(*track);
  CloseTrack(*track);
  tracks.push_back(std::move(track));
}

// ---- clean-up passes ---------------------------------------------------------------

void MoveChannelFirstInTicks(MidiTrack& track, int channel) {
  std::vector<MidiEvent*> others;
  int32_t i = 0;
  while (i < track.event_count) {
    // A tick's group: the event at i and those after it at delta 0.
    int32_t end = i + 1;
    while (end < track.event_count && track.events[end]->delta == 0) ++end;
    if (end - i > 1) {
      const int32_t group_delta = track.events[i]->delta;
      others.clear();
      int32_t k = i;
      for (int32_t j = i; j < end; ++j) {
        MidiEvent* e = track.events[j];
        if (e->channel == channel && e->status != kStatusMeta) track.events[k++] = e;
        else others.push_back(e);
      }
      for (MidiEvent* e : others) track.events[k++] = e;
      for (int32_t j = i; j < end; ++j) track.events[j]->delta = 0;
      track.events[i]->delta = group_delta;
    }
    i = end;
  }
}

namespace {

// The events of a note-mode track in the order the event-mode form would hold them:
// each note's start, and its end just before the first event at or after that tick.
// Notes without length or loudness vanish in that form and are passed over.
class EventOrderWalk {
 public:
  explicit EventOrderWalk(MidiTrack& track) : track_(track) {}

  // Calls on_start(event, delta) for every event and on_end(note, delta) for every
  // note end, in event-mode order; delta is the time since the previous one. A note
  // whose start handler returns false has no end.
  template <typename OnStart, typename OnEnd>
  void Run(OnStart on_start, OnEnd on_end) {
    int64_t t = 0;
    int64_t previous = 0;
    auto emit_ends_before = [&](int64_t limit, bool inclusive) {
      while (!ends_.empty()) {
        const End top = ends_.front();
        if (inclusive ? top.tick > limit : top.tick >= limit) break;
        std::pop_heap(ends_.begin(), ends_.end(), Later);
        ends_.pop_back();
        on_end(track_.events[top.index], top.tick - previous);
        previous = top.tick;
      }
    };
    for (int32_t i = 0; i < track_.event_count; ++i) {
      MidiEvent* e = track_.events[i];
      t += e->delta;
      emit_ends_before(t, true);
      const bool note = e->status == kStatusNote;
      if (note && (e->duration <= 0 || e->velocity <= 0)) continue;
      const bool keep = on_start(e, t - previous);
      previous = t;
      if (note && keep) {
        ends_.push_back(End{t + e->duration, i});
        std::push_heap(ends_.begin(), ends_.end(), Later);
      }
    }
    emit_ends_before(INT64_MAX, true);
  }

 private:
  struct End {
    int64_t tick;
    int32_t index;
  };
  // Earliest end first; at one tick the later note's end first.
  static bool Later(const End& a, const End& b) {
    return a.tick != b.tick ? a.tick > b.tick : a.index < b.index;
  }
  MidiTrack& track_;
  std::vector<End> ends_;
};

bool InNoteMode(const MidiTrack& track) {
  if (track.mode != kTrackNotes) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return false;
  }
  return true;
}

}  // namespace

void RemoveClashingNotes(Midi0Data& song, int held_channel, int other_channel) {
  if (song.track == nullptr || !InNoteMode(*song.track)) return;
  MidiTrack& track = *song.track;
  MoveChannelFirstInTicks(track, held_channel);
  bool held[128] = {};
  EventOrderWalk walk(track);
  walk.Run(
      [&](MidiEvent* e, int64_t) {
        if (e->status != kStatusNote) return true;
        if (e->channel == held_channel) {
          held[e->note & 0x7F] = true;
          return true;
        }
        if (e->channel != other_channel) return true;
        for (int d : {-13, -11, 11, 13}) {
          const int k = e->note + d;
          if (k >= 0 && k <= 127 && held[k]) {
            e->status = kStatusDeleted;  // the whole note goes, its end with it
            return false;
          }
        }
        return true;
      },
      [&](MidiEvent* e, int64_t) {
        if (e->channel == held_channel) held[e->note & 0x7F] = false;
      });
  track.Compact();
}

void SortSameTickNotes(Midi0Data& song, int channel, int direction) {
  if (song.track == nullptr) return;
  MidiTrack& track = *song.track;
  for (int32_t i = 0; i + 1 < track.event_count; ++i) {
    const MidiEvent* a = track.events[i];
    const MidiEvent* b = track.events[i + 1];
    if (a->status != kStatusNote || b->status != kStatusNote) continue;
    if (a->channel != channel || b->channel != channel || b->delta != 0) continue;
    const bool out_of_order = direction > 0 ? b->note > a->note : b->note < a->note;
    if (out_of_order) track.SwapEvents(i, i + 1);
  }
}

void AttenuateClashingNotes(Midi0Data& song, int held_channel, int accompaniment_channel) {
  if (song.track == nullptr || !InNoteMode(*song.track)) return;
  MidiTrack& track = *song.track;
  const StyleRecord& style = CurrentStyle();
  const bool same_instrument =
      held_channel >= 0 && held_channel < kStyleChannelCount && accompaniment_channel >= 0 &&
      accompaniment_channel < kStyleChannelCount &&
      style.instrument[held_channel] == style.instrument[accompaniment_channel];
  const int64_t fresh = (song.division > 0 ? song.division : ticks::kQuarter) / 8;
  int held = -1;
  EventOrderWalk walk(track);
  walk.Run(
      [&](MidiEvent* e, int64_t delta) {
        if (delta >= fresh) held = -1;
        if (e->status != kStatusNote) return true;
        if (e->channel == held_channel) {
          held = e->note;
          return true;
        }
        if (e->channel != accompaniment_channel || held < 0) return true;
        const int d = e->note - held;
        if (d >= -1 && d <= 1) {
          // A silent note-on would end another note of the key: the note goes whole.
          if (same_instrument) {
            e->status = kStatusDeleted;
            return false;
          }
          e->velocity = e->velocity * 4 / 5;
        } else if (d < 0) {
          e->velocity = e->velocity * 5 / 6;
        } else {
          e->velocity = e->velocity * 4 / 5;
        }
        return true;
      },
      [&](MidiEvent* e, int64_t delta) {
        if (delta >= fresh) held = -1;
        if (e->channel == held_channel) held = -1;
      });
  track.Compact();
}

void SoftenAccompanimentClashes(Midi0Data& song, int held_channel, int accompaniment_channel) {
  if (song.track == nullptr || !InNoteMode(*song.track)) return;
  MoveChannelFirstInTicks(*song.track, held_channel);
  SortSameTickNotes(song, held_channel, 1);
  AttenuateClashingNotes(song, held_channel, accompaniment_channel);
  SortSameTickNotes(song, held_channel, -1);
  AttenuateClashingNotes(song, held_channel, accompaniment_channel);
}
