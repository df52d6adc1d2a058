#include "engine/melody_parts.h"

#include <algorithm>
#include <cstring>

#include "engine/engine_state.h"
#include "engine/melody.h"
#include "engine/ornaments.h"
#include "engine/part_effects.h"
#include "engine/part_helpers.h"
#include "music/controllers.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

bool WriteHeaderOfChannel(Midi1Track& track, int channel) {
  const StyleRecord& style = CurrentStyle();
  switch (channel) {
    case 1:
      WritePartHeader(track, 1, ResolveInstrumentProgram(style.instrument[1], 1), style.mixer[1], 0);
      track.InsertEvent(track.event_count - 1, 1, NewController(1, 0, cc::kPan, style.mixer[1].pan));
      return true;
    case 4:
      WritePartHeader(track, 4, ResolveInstrumentProgram(style.instrument[4], 4), style.mixer[4], 0);
      return true;
    case 5:
      WritePartHeader(track, 5, style.instrument[5], style.mixer[5], 0);
      return true;
    case 6:
      WritePartHeader(track, 6, ResolveInstrumentProgram(style.instrument[1], 1), style.mixer[1], 0);
      return true;
    case 15:
      WritePartHeader(track, 15, style.instrument[15], style.mixer[15], 0);
      return true;
    default:
      ShowErrorByCode(kTrackInfoError);
      return false;
  }
}

// Runs the body with the melody's ornament code 4 suspended (0), then restores it.
template <typename Body>
void WithoutUnstableOrnament(Body body) {
  int32_t& ornament = CurrentStyle().parts[1].ornament;
  const int32_t saved = ornament;
  if (ornament == kOrnamentUnstable) ornament = 0;
  body();
  ornament = saved;
}

// The voicing plays 25 softer (velocities kept within 0..127).
void SoftenVoicing(MidiTrack& track) { track.OffsetVelocity(-25); }

}  // namespace

void WriteMelodyTypePart(EventList& list, Midi1Track& track, int channel, int note_limit) {
  WriteHeaderOfChannel(track, channel);
  const int ornament = CurrentStyle().parts[1].ornament;
  int pending = GetLeadInTicks();
  int section_time = 0;
  int override_pitch = 0;
  uint8_t entry[kChordEntrySize] = {};
  bool have_entry = false;
  bool reported = false;
  int previous_pitch = 0;
  const int count = list.count();
  for (int i = 0; i < count; ++i) {
    const ComposeEvent& e = list[i];
    if (e.kind == kEventChordMarker) {
      ChordEntry ce;
      ce.length = static_cast<uint16_t>(std::clamp(e.length, 0, 0xFFFF));
      std::memcpy(ce.code, e.chord_code, 4);
      WriteChordEntry(entry, ce);
      have_entry = true;
      section_time = 0;
      continue;
    }
    if (e.kind == kEventControl) {
      AddSustainPedal(track, channel, pending, e.pitch);
      pending = e.length;
      continue;
    }
    int pitch = e.pitch;
    if (override_pitch != 0) {
      pitch = override_pitch;
      override_pitch = 0;
    }
    int length = e.length;
    int rest_after = 0;
    if (note_limit > 0 && length > note_limit) {
      if (!reported) ShowErrorByCode(kMelodyNoteLength);
      reported = true;
      rest_after = length - note_limit;
      length = note_limit;
    }
    section_time += length;
    const int velocity = i == count - 1 ? 48 : 64;
    if (pitch < 12) {
      AddNote(track, channel, pending, 0, 0, length - 3);
      pending = length;
    } else {
      OrnamentNote n;
      n.channel = channel;
      n.delta = pending;
      n.pitch = pitch;
      n.velocity = velocity;
      n.length = length;
      n.section_time = section_time;
      n.chord_entry = have_entry ? entry : nullptr;
      n.next_pitch = &override_pitch;
      n.event_index = i;
      n.previous_pitch = previous_pitch;
      pending = PlayOrnament(ornament, track, n);
    }
    // What lies beyond the limit becomes rests of at most the limit.
    while (rest_after > 0) {
      const int piece = std::min(rest_after, note_limit);
      AddNote(track, channel, pending, 0, 0, piece);
      pending = piece;
      section_time += piece;
      rest_after -= piece;
    }
    previous_pitch = e.pitch;
  }
  CloseTrack(track);
  if (ornament == kOrnamentTopNotes) track.KeepTopNotes(255, 0);
  else if (ornament == kOrnamentPassingNotes) AddPassingNotes(track);
  ApplyPartEffects(track, channel);
  list.FreeEvents();
  if (channel == 1) {
    StyleRecord& style = CurrentStyle();
    if (style.octave[1] == 1) {
      if (style.unison_velocity == 0) style.unison_velocity = 38;
      AddUnison(track, 1, style.unison_velocity);
    }
    if (style.mixer[1].double_delay != 0) SetPanControllers(track, (style.mixer[1].pan + 40) & 127);
  }
}

void AddUnison(MidiTrack& track, int channel, int velocity) {
  if (track.mode != kTrackNotes) {
    MidiTrack::ErrorMsg(kMdtkInternal);
    return;
  }
  (void)channel;
  std::vector<MidiEvent*> rebuilt;
  rebuilt.reserve(static_cast<size_t>(track.event_count) * 2);
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    rebuilt.push_back(e);
    if (e->status == kStatusNote && e->note >= 1 && e->note <= 115 && e->velocity > 0) {
      auto* copy = new MidiEvent(*e);
      copy->delta = 0;
      copy->note = e->note + 12;
      copy->velocity = velocity;
      rebuilt.push_back(copy);
    }
  }
  track.ReserveEvents(static_cast<int32_t>(rebuilt.size()));
  std::copy(rebuilt.begin(), rebuilt.end(), track.events);
  track.event_count = static_cast<int32_t>(rebuilt.size());
}

void BuildMelodyPart(PartTrackList& tracks, int note_limit) {
  auto track = std::make_unique<PartTrack>();
  WriteMelodyTypePart(ComposeInfo().melody_notes, *track, 1, note_limit);
  const MixerRecord& mixer = CurrentStyle().mixer[1];
  if (mixer.double_delay != 0) {
    tracks.push_back(MakeDetunedDouble(*track, 1, 10, mixer));
  }
  tracks.push_back(std::move(track));
}

void SilenceEarlyObbligato(const EventList& instrumental, const EventList& vocal,
                           EventList& obbligato) {
  const int m = std::min(LeadingRestOf(instrumental), LeadingRestOf(vocal));
  const int bar = EighthsPerBar(CurrentStyle().metre) * ticks::kEighth;
  if (LeadingRestOf(obbligato) >= m || m >= bar) return;
  int sum = 0;
  for (int i = 0; i < obbligato.count() && sum < bar; ++i) {
    ComposeEvent& e = obbligato[i];
    if (e.kind != kEventNote) continue;
    e.pitch = 0;
    sum += e.length;
  }
}

void WriteSubDrumRhythm() {
  static const int kCommon[2][16] = {{1, 0, 1, 0, 1, 0, 0, 0, 1, 1, 0, 1, 1, 0, 0, 0},
                                     {1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1, 1, 1, 0, 1}};
  static const int kThreeFour[2][12] = {{1, 0, 1, 1, 0, 0, 1, 0, 1, 1, 1, 0},
                                        {1, 0, 0, 1, 0, 0, 1, 0, 1, 1, 0, 1}};
  const StyleRecord& style = CurrentStyle();
  const bool three_four = style.metre == 1 && style.triple_metre_kind == 2;
  const int width = three_four ? 12 : 16;
  const int step = style.basic_beat == 3 ? ticks::kTripletEighth : ticks::kEighth;
  ComposeInformation& info = ComposeInfo();
  int s = 0;
  int row = 0;
  for (int k = 0; k < info.chord_block_count(); ++k) {
    if (row == 1 && GneRandomRange(1, 3) == 1) row = 1;
    else if (k >= 5 && GneRandomRange(1, 4) == 1) row = 1;
    else row = 0;
    int remaining = info.chord_block(k)->length;
    while (remaining > 0) {
      const int length = std::min(step, remaining);
      const int on = three_four ? kThreeFour[row][s % width] : kCommon[row][s % width];
      info.melody_notes.AppendNote(length, on ? 60 : 0);
      remaining -= length;
      ++s;
    }
  }
}

void BuildVoicingPart(PartTrackList& tracks) {
  if (CurrentStyle().parts[1].voicing == 0) return;
  auto track = std::make_unique<PartTrack>();
  WriteMelodyTypePart(ComposeInfo().voicing_notes, *track, 6, ticks::kBar);
  SoftenVoicing(*track);
  tracks.push_back(std::move(track));
}

void BuildObbligatoPart(PartTrackList& tracks, const EventList* canon) {
  StyleRecord& style = CurrentStyle();
  if (style.instrument[4] == kInstrumentOff) return;
  if (style.submelody_mode == 6) style.parts[4] = style.parts[1];
  ComposeInformation& info = ComposeInfo();
  EventList saved;
  saved.CopyFrom(info.melody_notes);
  WithoutUnstableOrnament([&] {
    ComposeMelodyPhrases(4);
    CollectPhraseNotes(4, info.melody_phrases, &info.melody_notes);
    const bool harmony_silent = style.instrument[3] == kInstrumentOff || style.accompaniment == 9;
    const bool sub_harmony_silent =
        style.instrument[7] == kInstrumentOff || style.subharmony_accompaniment == 9;
    if (harmony_silent && sub_harmony_silent)
      SilenceEarlyObbligato(InstrumentalMelodyList(), VocalMelodyList(), info.melody_notes);
    if (style.submelody_mode == 8 && canon != nullptr) info.melody_notes.CopyFrom(*canon);
    auto track = std::make_unique<PartTrack>();
    WriteMelodyTypePart(info.melody_notes, *track, 4, ticks::kBar);
    ShiftPartOctaves(*track, 4, style.octave[4]);
    tracks.push_back(std::move(track));
  });
  info.melody_notes.CopyFrom(saved);
}

void BuildSubDrumPart(PartTrackList& tracks) {
  StyleRecord& style = CurrentStyle();
  if (style.instrument[5] == kInstrumentOff) return;
  ComposeInformation& info = ComposeInfo();
  WithoutUnstableOrnament([&] {
    if (style.subdrum_pattern != 0) {
      WriteSubDrumRhythm();
    } else {
      ComposeMelodyPhrases(5);
      CollectPhraseNotes(5, info.melody_phrases, &info.melody_notes);
    }
    auto track = std::make_unique<PartTrack>();
    WriteMelodyTypePart(info.melody_notes, *track, 5, ticks::kBar);
    ShiftPartOctaves(*track, 5, style.octave[5]);
    tracks.push_back(std::move(track));
  });
}

void BuildInstrumentalMelodyPart(EventList& list, PartTrackList& tracks, int note_limit) {
  auto track = std::make_unique<PartTrack>();
  WriteMelodyTypePart(list, *track, 15, note_limit);
  ShiftPartOctaves(*track, 15, CurrentStyle().part15_octave);
  tracks.push_back(std::move(track));
}
