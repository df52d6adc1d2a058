#include "accomp/harmony.h"

#include <memory>

#include "accomp/harmony_patterns.h"
#include "engine/engine_errors.h"
#include "engine/part_helpers.h"
#include "engine/render_messages.h"
#include "music/controllers.h"
#include "music/event_pool.h"
#include "style/style_table.h"

namespace {

// The part of a channel, or nullptr when the channel is off.
std::unique_ptr<PartTrack> BuildPart(int channel, int code, const EventList& melody) {
  const StyleRecord& style = CurrentStyle();
  if (style.instrument[channel] == kInstrumentOff) return nullptr;
  auto track = std::make_unique<PartTrack>();
  WritePatternPart(channel, *track, style.instrument[channel], code, style.density[channel],
                   melody);
  return track;
}

}  // namespace

void GenerateHarmonyPart(PartTrackList& tracks, const EventList& melody) {
  RenderMessageScope messages;
  std::unique_ptr<PartTrack> track =
      BuildPart(kHarmonyChannel, CurrentStyle().accompaniment, melody);
  if (!track) return;
  const MixerRecord& mixer = CurrentStyle().mixer[kHarmonyChannel];
  if (mixer.double_delay != 0) {
    tracks.push_back(MakeDetunedDouble(*track, kHarmonyChannel, kHarmonyDoubleChannel, mixer));
    SetPanControllers(*track, (mixer.pan + 40) & 127);
  }
  tracks.push_back(std::move(track));
}

void GenerateSubHarmonyPart(PartTrackList& tracks, const EventList& melody) {
  RenderMessageScope messages;
  std::unique_ptr<PartTrack> track =
      BuildPart(kSubHarmonyChannel, CurrentStyle().subharmony_accompaniment, melody);
  if (track) tracks.push_back(std::move(track));
}

void WritePatternPart(int channel, MidiTrack& track, int instrument, int code, int density,
                      const EventList& melody) {
  const MixerRecord& mixer = CurrentStyle().mixer[channel];
  WritePartHeader(track, channel, ResolveInstrumentProgram(instrument, channel), mixer, 0);
  track.AddControlChange(channel, cc::kPan, mixer.pan);
  WriteHarmonyPattern(channel, track, code, GetLeadInTicks(), density, melody);
  if (channel < kStyleOctaveCount) ShiftPartOctaves(track, channel, CurrentStyle().octave[channel]);
  CloseTrack(track);
}

void WriteHarmonyPattern(int channel, MidiTrack& track, int code, int lead_in, int density,
                         const EventList& melody) {
  AddNote(track, channel, lead_in, 0, 0, 0);
  if (!IsHarmonyPatternCode(code)) {
    ShowErrorByCode(engine_error::kAccompanimentPattern);
    return;
  }
  // Without chord blocks there is nothing to accompany.
  if (ComposeInfo().chord_block_count() == 0) return;
  // A pattern writes thousands of events: they come from a pool of the part's own rather than
  // one heap call each (they outlive the pool as events may).
  EventPool pool;
  EventPool::Scope from_pool(pool);
  FindHarmonyPattern(code)(HarmonyPatternCall{channel, track, code, density, melody});
}
