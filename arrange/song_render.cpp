#include "arrange/song_render.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "accomp/harmony.h"
#include "engine/ambient.h"
#include "engine/bass_part.h"
#include "engine/conductor.h"
#include "engine/drum_part.h"
#include "engine/engine_session.h"
#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/melody_parts.h"
#include "engine/part_tracks.h"
#include "engine/render_messages.h"
#include "music/midi0_data.h"
#include "music/midi1_data.h"
#include "style/style_table.h"

namespace {

constexpr int kCanonMode = 8;
constexpr int kCanonDelay = 384;
constexpr int kClashRemovalDissonance = 10;
constexpr int kClashRemovalSubHarmonyPattern = 13;
constexpr int kSoftenedDensityLimit = 80;
constexpr int32_t kMergedSongCapacity = 0x60000;

// Room for a song of the tracks: what their file chunks take with margin, never
// less than the room the song classes start with.
int32_t SongCapacityOf(const Midi1Data& song) {
  int64_t total = 14 + 1024;
  for (int32_t i = 0; i < song.track_count; ++i) total += PartTrackBytes(*song.tracks[i]);
  return static_cast<int32_t>(std::clamp<int64_t>(2 * total, kMergedSongCapacity, INT32_MAX / 4));
}

// The format-1 song of the builders' tracks, each copied with room for all it
// holds; tracks past the limit are left out.
std::unique_ptr<Midi1Data> SongOfTracks(const PartTrackList& tracks) {
  int64_t total = 14 + 1024;
  const size_t count = std::min<size_t>(tracks.size(), kRenderTrackLimit);
  for (size_t i = 0; i < count; ++i) total += PartTrackBytes(*tracks[i]);
  const int32_t capacity =
      static_cast<int32_t>(std::clamp<int64_t>(2 * total, TrackCapacity, INT32_MAX / 4));
  auto song = std::make_unique<Midi1Data>(96, capacity);
  for (size_t i = 0; i < count; ++i) song->AddTrack(CopyPartTrack(*tracks[i]));
  return song;
}

// Runs `clean` on the song merged into one track, then splits the merged song
// back into one track per channel.
template <typename Clean>
void CleanMerged(std::unique_ptr<Midi1Data>& song, const ComposeProgress& progress, Clean clean) {
  const int32_t capacity = SongCapacityOf(*song);
  Midi0Data merged(kSongNotes, song->division, capacity);
  song->MergeToFormat0(merged);
  song.reset();
  clean(merged);
  StepProgress(progress);
  song = std::make_unique<Midi1Data>(merged, capacity);
}

void RemoveClashes(std::unique_ptr<Midi1Data>& song, const ComposeProgress& progress) {
  const bool sub_harmony = CurrentStyle().subharmony_accompaniment == kClashRemovalSubHarmonyPattern;
  CleanMerged(song, progress, [&](Midi0Data& merged) {
    static const int kPairs[][2] = {{1, 6}, {1, 4}, {6, 4}, {1, 7}, {6, 7}, {4, 7}};
    const int pairs = sub_harmony ? 6 : 3;
    for (int p = 0; p < pairs; ++p) {
      StepProgress(progress);
      RemoveClashingNotes(merged, kPairs[p][0], kPairs[p][1]);
    }
  });
}

void SoftenAccompaniment(std::unique_ptr<Midi1Data>& song, int channel, int pattern,
                         const ComposeProgress& progress) {
  const StyleRecord& style = CurrentStyle();
  if (style.instrument[channel] == kInstrumentOff) return;
  if (DensityFactorOf(channel) > kSoftenedDensityLimit) return;
  if (pattern != 4 && pattern != 10 && pattern != 31) return;
  StepProgress(progress);
  CleanMerged(song, progress, [&](Midi0Data& merged) {
    SoftenAccompanimentClashes(merged, 1, channel);
    SoftenAccompanimentClashes(merged, 15, channel);
  });
}

void AddText(Midi1Data& song, int type, const char* text, const ComposeProgress& progress) {
  if (text == nullptr || song.track_count == 0) return;
  StepProgress(progress);
  song.DeleteMetaEvents(type, 0);
  song.tracks[0]->InsertMetaTextAtStart(type, text);
}

// A note of the song: its track, its place there and its start.
struct PlacedNote {
  int32_t tick;
  int32_t track;
  int32_t index;
};

// Start ticks of a note-mode track's events.
std::vector<int32_t> EventTicks(const MidiTrack& track) {
  std::vector<int32_t> ticks(static_cast<size_t>(track.event_count));
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    tick += track.events[i]->delta;
    ticks[static_cast<size_t>(i)] = static_cast<int32_t>(std::min<int64_t>(tick, INT32_MAX));
  }
  return ticks;
}

bool IsSoundingNote(const MidiEvent& e) { return e.status == kStatusNote && e.velocity > 0; }

// A key struck again on its channel while it still sounds: the held note is cut there.
void CutRestruckNotes(Midi1Data& song) {
  std::vector<PlacedNote> notes;
  for (int32_t t = 0; t < song.track_count; ++t) {
    const MidiTrack& track = *song.tracks[t];
    if (track.mode != kTrackNotes) continue;
    const std::vector<int32_t> ticks = EventTicks(track);
    for (int32_t i = 0; i < track.event_count; ++i)
      if (IsSoundingNote(*track.events[i])) notes.push_back({ticks[static_cast<size_t>(i)], t, i});
  }
  std::stable_sort(notes.begin(), notes.end(),
                   [](const PlacedNote& a, const PlacedNote& b) { return a.tick < b.tick; });
  std::vector<const PlacedNote*> sounding(16 * 128, nullptr);
  bool deleted = false;
  for (const PlacedNote& n : notes) {
    MidiEvent& e = *song.tracks[n.track]->events[n.index];
    if (e.channel < 0 || e.channel > 15 || e.note < 0 || e.note > 127) continue;
    const PlacedNote*& held = sounding[static_cast<size_t>(e.channel * 128 + e.note)];
    if (held != nullptr) {
      MidiEvent& h = *song.tracks[held->track]->events[held->index];
      if (held->tick == n.tick) {
        h.duration = std::max(h.duration, e.duration);
        e.MarkDeleted();
        deleted = true;
        continue;
      }
      if (int64_t{held->tick} + h.duration > n.tick) h.duration = n.tick - held->tick;
    }
    held = &n;
  }
  if (deleted)
    for (int32_t t = 0; t < song.track_count; ++t) song.tracks[t]->Compact();
}

// A part's track ends with the song (see CloseRenderedSong).
void EndTrackAt(MidiTrack& track, int32_t end) {
  if (track.mode != kTrackNotes) return;
  if (std::none_of(track.events, track.events + track.event_count,
                   [](const MidiEvent* e) { return e->status == kStatusNote; }))
    return;  // the conductor track: its settings stand at the start
  const std::vector<int32_t> ticks = EventTicks(track);
  int32_t previous = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent& e = *track.events[i];
    const int32_t tick = ticks[static_cast<size_t>(i)];
    if (IsEndOfTrack(&e) || (e.status == kStatusNote && tick >= end && e.velocity > 0)) {
      e.MarkDeleted();
      e.delta = 0;
      continue;
    }
    if (e.status == kStatusNote && int64_t{tick} + e.duration > end) e.duration = end - tick;
    const int32_t at = std::min(tick, end);
    e.delta = at - previous;
    previous = at;
  }
  track.Compact();
  track.AddEndOfTrackAt(end - previous);
}

// Ticks from the start of the song to the end of its last chord block, the lead-in included;
// a canon's answer, which follows the melody 384 ticks late, is heard out to its end.
int32_t SongEndTick() {
  int64_t end = int64_t{GetLeadInTicks()} + ComposeInfo().TotalChordLength();
  if (CurrentStyle().submelody_mode == kCanonMode && CurrentStyle().instrument[4] != kInstrumentOff)
    end += kCanonDelay;
  return static_cast<int32_t>(std::min<int64_t>(end, INT32_MAX));
}

// The builders of the melody-type, accompaniment and bass parts, which read the
// melody working list (a copy of the melody with the instrumental melody merged
// in) and, in canon mode, the canon list.
void BuildPartsInOrder(PartTrackList& tracks, int note_limit, const ComposeProgress& progress) {
  ComposeInformation& info = ComposeInfo();
  const StyleRecord& style = CurrentStyle();
  const bool canon = style.submelody_mode == kCanonMode;

  EventList canon_list;
  if (canon) {
    canon_list.AppendNote(kCanonDelay, 0);
    canon_list.AppendAll(info.melody_notes);
  }
  EventList working;
  working.CopyFrom(info.melody_notes);
  working.MergeFrom(InstrumentalMelodyList());

  NoteFirstMelodyOnset(info.melody_notes);
  NoteFirstMelodyOnset(InstrumentalMelodyList());
  const ChordBlock* first_block = info.chord_block(0);
  const int first_block_length = first_block != nullptr ? first_block->length : 0;
  if (first_block_length <= info.render_handover_tick) info.render_handover_tick = 0;

  BuildMelodyPart(tracks, note_limit);
  StepProgress(progress);
  BuildVoicingPart(tracks);
  StepProgress(progress);
  GenerateHarmonyPart(tracks, working);
  StepProgress(progress);
  GenerateSubHarmonyPart(tracks, working);
  StepProgress(progress);
  working.FreeEvents();
  BuildObbligatoPart(tracks, canon ? &canon_list : nullptr);
  StepProgress(progress);
  if (canon) canon_list.FreeEvents();
  BuildSubDrumPart(tracks);
  StepProgress(progress);
  GenerateBassPart(tracks, working);
  StepProgress(progress);
  BuildDrumTrack(tracks);
  StepProgress(progress);
  GenerateAmbientPart(tracks);
  StepProgress(progress);
  BuildInstrumentalMelodyPart(InstrumentalMelodyList(), tracks, note_limit);
}

}  // namespace

void CloseRenderedSong(Midi1Data& song, int32_t end) {
  CutRestruckNotes(song);
  if (end <= 0) return;
  for (int32_t t = 0; t < song.track_count; ++t) EndTrackAt(*song.tracks[t], end);
}

void NoteFirstMelodyOnset(const EventList& list) {
  ComposeInformation& info = ComposeInfo();
  int64_t start = 0;
  for (int i = 0; i < list.count(); ++i) {
    const ComposeEvent& e = list[i];
    if (e.kind == kEventNote && e.pitch >= 1 && start < info.render_handover_tick) {
      info.render_handover_tick = static_cast<int32_t>(start);
      return;
    }
    start += e.length;
  }
}

void RenderComposition(uint8_t* image, int32_t* image_size, const std::filesystem::path& path,
                       const RenderedSongCallback& song_callback, const char* first_text,
                       const char* second_text, const ComposeProgress& progress,
                       int note_limit) {
  EngineSession session;
  // Each error code shows once in a rendering, and one message names the silent parts.
  RenderMessageScope messages;
  ComposeInfo().render_handover_tick = 65535;
  PartTrackList tracks;
  StepProgress(progress);
  AddConductorTrack(tracks);
  StepProgress(progress);
  BuildPartsInOrder(tracks, note_limit, progress);

  std::unique_ptr<Midi1Data> song = SongOfTracks(tracks);
  tracks.clear();
  StepProgress(progress);

  const StyleRecord& style = CurrentStyle();
  if (style.parts[1].dissonance == kClashRemovalDissonance) RemoveClashes(song, progress);
  SoftenAccompaniment(song, 3, style.accompaniment, progress);
  SoftenAccompaniment(song, 7, style.subharmony_accompaniment, progress);
  CloseRenderedSong(*song, SongEndTick());

  const int repaired = song->ClampNoteValues();
  StepProgress(progress);
  if (repaired == 1) ShowErrorByCode(kRenderCheckFailed);

  if (song_callback) {
    StepProgress(progress);
    song_callback(*song);
  }
  AddText(*song, 3, first_text, progress);
  AddText(*song, 2, second_text, progress);
  for (int32_t i = 0; i < song->track_count; ++i) {
    StepProgress(progress);
    song->tracks[i]->MoveSysExFirst();
  }
  StepProgress(progress);
  song->MoveGmSystemOnFirst();
  song->ToEventMode();
  StepProgress(progress);
  song->Pack();
  StepProgress(progress);
  song->SaveFile(path);

  if (image != nullptr && image_size != nullptr) {
    StepProgress(progress);
    const int32_t room = *image_size;
    const int32_t length = song->used_size;
    if (length <= 0 || length > room) {
      if (length > room) Midi1Data::ErrorMsg(kM1dtTooLarge);
      *image_size = 0;
    } else {
      std::memcpy(image, song->buffer, static_cast<size_t>(length));
      *image_size = length;
      ConvertSongImageToFormat0(image, room, image_size);
    }
  }
  song.reset();
  StepProgress(progress);
}

void ConvertSongImageToFormat0(uint8_t* buffer, int32_t room, int32_t* size) {
  if (buffer == nullptr || size == nullptr || *size <= 0) return;
  const int32_t capacity = std::max<int32_t>(TrackCapacity, 2 * std::max(*size, room));
  auto song = std::make_unique<Midi1Data>(buffer, *size, 1, capacity);
  Midi0Data merged(kSongNotes, song->division, capacity);
  song->MergeToFormat0(merged);
  song.reset();
  merged.ToEventMode();
  merged.Pack(1);
  const int32_t length = merged.state == kSongBytes ? merged.used_size : 0;
  if (length <= 0 || length > room) {
    if (length > room) Midi1Data::ErrorMsg(kM1dtTooLarge);
    *size = 0;
    return;
  }
  std::memcpy(buffer, merged.buffer, static_cast<size_t>(length));
  *size = length;
}

void BuildChordTimeline(const std::array<EventList, kSectionCapacity>& section_chords) {
  ComposeInformation& info = ComposeInfo();
  info.chord_timeline.FreeEvents();
  char tag[4] = {'A', 'X', 'X', 'X'};
  const int ids = std::clamp(info.section_id_count, 0, kSectionIdCapacity);
  const int sections = std::clamp(info.section_count, 0, kSectionCapacity);
  for (int j = 0; j < ids; ++j) {
    const int k = info.section_ids[j] - 1;
    if (k < 0 || k >= sections) {
      ShowErrorByCode(kRenderSectionId);
      continue;
    }
    const EventList& list = section_chords[static_cast<size_t>(k)];
    for (int e = 0; e < list.count(); ++e) {
      tag[0] = static_cast<char>('A' + k);
      tag[1] = e == list.count() - 1 ? 'E' : 'X';
      info.chord_timeline.AppendSectionTag(list[e].length, tag);
    }
  }
  if (ComposeMode() != kSongRenderingMode) {
    const int bar = StyleBarTicks(CurrentStyle().metre);
    info.chord_timeline.AppendSectionTag(bar, tag);
    info.chord_timeline.AppendSectionTag(bar, tag);
  }
}
