#include "engine/bass_part.h"

#include <memory>

#include "engine/bass_patterns.h"
#include "engine/engine_errors.h"
#include "engine/part_helpers.h"
#include "engine/render_messages.h"
#include "music/ticks.h"
#include "style/style_table.h"

namespace {

// A melody that starts this late (or later) within the first bar begins with a pickup.
constexpr int kShortestPickup = ticks::kHalf;

bool OffOrIrregularArpeggio(int instrument, int pattern) {
  return instrument == kInstrumentOff || pattern == kIrregularArpeggioPattern;
}

// One bar of the style's metre; 4/4 for a code outside the three metres.
int PickupBarTicks(int metre) { return ticks::BarOfMetre(metre); }

}  // namespace

void GenerateBassPart(PartTrackList& tracks, const EventList& melody) {
  RenderMessageScope messages;
  const StyleRecord& style = CurrentStyle();
  if (style.instrument[kBassChannel] == kInstrumentOff) return;
  auto track = std::make_unique<PartTrack>();
  WriteBassPart(*track, melody);
  if (OffOrIrregularArpeggio(style.instrument[3], style.accompaniment) &&
      OffOrIrregularArpeggio(style.instrument[7], style.subharmony_accompaniment)) {
    MuteBassUnderPickup(*track);
  }
  tracks.push_back(std::move(track));
}

void WriteBassPart(MidiTrack& track, const EventList& melody) {
  const StyleRecord& style = CurrentStyle();
  const int channel = kBassChannel;
  WritePartHeader(track, channel, ResolveInstrumentProgram(style.instrument[channel], channel),
                  style.mixer[channel], 0);
  AddNote(track, channel, GetLeadInTicks(), 0, 0, 0);
  WriteBassPattern(channel, track, style.bass_pattern, style.density[channel], melody);
  const int32_t octave = CurrentStyle().octave[channel];
  if (octave == kBassOctaveDoubleBelow) track.AddTransposedNotes(channel, -12);
  else if (octave == kBassOctaveDoubleAbove) track.AddTransposedNotes(channel, 12);
  else ShiftPartOctaves(track, channel, octave);
  CloseTrack(track);
}

void WriteBassPattern(int channel, MidiTrack& track, int code, int density,
                      const EventList& melody) {
  // Every code of 1..23 has its generator; any other is a bad style.
  const BassPatternGenerator generate = FindBassPattern(code);
  if (generate == nullptr) {
    ShowErrorByCode(engine_error::kAccompanimentPattern);
    return;
  }
  // Without chord blocks there is nothing to play under.
  if (ComposeInfo().chord_block_count() == 0) return;
  generate(BassPatternCall{channel, track, density, melody});
}

void MuteBassUnderPickup(MidiTrack& track) {
  const int lead = MelodyLeadingRest();
  const int bar = PickupBarTicks(CurrentStyle().metre);
  if (lead < kShortestPickup || lead >= bar) return;
  int64_t tick = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    MidiEvent* e = track.events[i];
    tick += e->delta;
    if (tick >= bar) return;
    if (e->status == kStatusNote) e->velocity = 0;
  }
}
