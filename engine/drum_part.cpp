#include "engine/drum_part.h"

#include <algorithm>
#include <memory>

#include "engine/drum_patterns.h"
#include "engine/engine_state.h"
#include "engine/render_messages.h"
#include "style/style_table.h"

namespace {

constexpr int kEightBeat = 1;
constexpr int kIndianBeat = 18;
constexpr int kTripletRhythm = 3;
constexpr int kModuleGs = 1;
constexpr int kBrushKitProgram = 40;
constexpr int kOrchestraKitProgram = 49;

bool XgOrGs() { return SoundModuleMode() == 0 || SoundModuleMode() == kModuleGs; }

}  // namespace

void BuildDrumTrack(PartTrackList& tracks) {
  RenderMessageScope messages;
  const StyleRecord& style = CurrentStyle();
  if (style.instrument[kDrumChannel] == kInstrumentOff) return;
  auto track = std::make_unique<PartTrack>();
  WritePartHeader(*track, kDrumChannel, DrumKitProgram(), style.mixer[kDrumChannel], 0);
  AddNote(*track, kDrumChannel, GetLeadInTicks(), 0, 0, 0);
  // Without chord blocks there is nothing to keep time with.
  if (ComposeInfo().chord_block_count() > 0) {
    GenerateDrumTrack(kDrumChannel, ComposeInfo().chord_timeline, *track,
                      style.density[kDrumChannel]);
  }
  CloseTrack(*track);
  tracks.push_back(std::move(track));
}

int DrumKitProgram() {
  const StyleRecord& style = CurrentStyle();
  if (style.drum_pattern == kEightBeat && style.basic_beat == kTripletRhythm) {
    if (style.metre != 1 && style.instrument[kDrumChannel] == kDrumKitElectric) return 0;
    return XgOrGs() ? kBrushKitProgram : 0;
  }
  if (style.drum_pattern == kIndianBeat && SoundModuleMode() == kModuleGs)
    return kOrchestraKitProgram;
  return 0;
}

void GenerateDrumTrack(int channel, const EventList& timeline, MidiTrack& track, int density) {
  const int code = CurrentStyle().drum_pattern;
  // Every code of 1..40 has its generator; any other is a bad style.
  const DrumPatternGenerator generate = FindDrumPattern(code);
  if (generate == nullptr) {
    ShowErrorByCode(kBadDrumPattern);
    return;
  }
  if (timeline.count() == 0) return;
  generate(DrumPatternCall{channel, timeline, track, density});
}

int WriteDrumGrid(int block_length, int pending, const DrumGrid& grid, MidiTrack& track,
                  int channel) {
  for (int start = 0, j = 0; start < block_length; start += kDrumGridStep, ++j) {
    for (const DrumGridSlot& slot : grid.rows[j % kDrumGridRows]) {
      if (slot.note == -1) continue;
      AddNote(track, channel, pending, slot.note, slot.velocity, 2);
      pending = 0;
    }
    // The last row of a block that is not a whole number of rows is only as long as what is
    // left, so the next block starts at this one's end.
    pending += std::min(kDrumGridStep, block_length - start);
  }
  return pending;
}

void MergeDrumGrid(DrumGrid& destination, const DrumGrid& source, const DrumGrid& layer) {
  destination = source;
  for (int r = 0; r < kDrumGridRows; ++r) {
    DrumGridSlot* row = destination.rows[r];
    for (const DrumGridSlot& slot : layer.rows[r]) {
      if (slot.note == -1) continue;
      for (int k = 0; k < kDrumGridSlots; ++k) {
        if (row[k].note != -1) continue;
        row[k] = slot;
        break;
      }
    }
  }
}
