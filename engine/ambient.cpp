#include "engine/ambient.h"

#include "engine/compose_info.h"
#include "music/ticks.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

// The header's time (the lead-in) moves to the first note: the deltas of the
// events already written become 0 and their sum is returned.
int TakeHeaderTime(MidiTrack& track) {
  int sum = 0;
  for (int32_t i = 0; i < track.event_count; ++i) {
    sum += track.events[i]->delta;
    track.events[i]->delta = 0;
  }
  return sum;
}

}  // namespace

void WriteSeashorePattern(int channel, MidiTrack& track) {
  const ComposeInformation& info = ComposeInfo();
  const int lead_in = TakeHeaderTime(track);
  int counter = -lead_in;
  int pending = 0;
  for (int k = 0; k < info.chord_block_count(); ++k) {
    const ChordBlock& block = *info.chord_block(k);
    // A wave every 384 ticks, however long the block.
    while (counter < block.length) {
      const int velocity = GneRandomRange(1, 2) == 1 ? 0 : 64;
      AddNote(track, channel, pending, block.root + 12, velocity, 383);
      pending = ticks::kBar;
      counter += ticks::kBar;
    }
    counter -= block.length;
  }
  AddNote(track, channel, pending, 72, 64, 383);
  AddNote(track, channel, ticks::kBar, 72, 64, 383);
}

void WriteBirdPattern(int channel, MidiTrack& track) {
  const ComposeInformation& info = ComposeInfo();
  const int lead_in = TakeHeaderTime(track);
  int pending = 0;
  for (int k = 0; k < info.chord_block_count(); ++k) {
    const ChordBlock& block = *info.chord_block(k);
    if (k == 0) {
      AddNote(track, channel, 0, block.root - 12, 54, block.length - 8);
      pending = block.length + lead_in;
      continue;
    }
    int pitch = 0;
    if (GneRandomRange(1, 2) != 1) {
      if (block.length > ticks::kHalf || GneRandomRange(1, 2) == 1)
        pitch = block.root - 12 * GneRandomRange(1, 2);
    }
    if (pitch == 0) AddNote(track, channel, pending, 0, 0, block.length - 8);
    else AddNote(track, channel, pending, pitch, 64, block.length - 8);
    pending = block.length;
  }
  AddNote(track, channel, pending, 72, 64, 383);
}

void WriteApplausePattern(int channel, MidiTrack& track) {
  const ComposeInformation& info = ComposeInfo();
  const int lead_in = TakeHeaderTime(track);
  const int count = info.chord_block_count();
  int pending = 0;
  for (int k = 0; k < count; ++k) {
    const ChordBlock& block = *info.chord_block(k);
    const int r = block.root < 12 ? 60 : block.root;
    if (k == 0) {
      AddNote(track, channel, 0, r + 11, 34, ticks::kQuarter);
      AddNote(track, channel, ticks::kQuarter, r + 12, 74, 472);
      pending = block.length + lead_in;
    } else if (k == count - 1) {
      AddNote(track, channel, pending, r + 12, 74, block.length - 8);
    } else {
      pending += block.length;
    }
  }
}

void WriteAmbientPattern(MidiTrack& track) {
  switch (CurrentStyle().instrument[kAmbientChannel]) {
    case kAmbientSeashore: WriteSeashorePattern(kAmbientChannel, track); break;
    case kAmbientBirds: WriteBirdPattern(kAmbientChannel, track); break;
    case kAmbientApplause: WriteApplausePattern(kAmbientChannel, track); break;
    default: ShowErrorByCode(kBadAmbientProgram); break;
  }
}

void GenerateAmbientPart(PartTrackList& tracks) {
  const StyleRecord& style = CurrentStyle();
  const int instrument = style.instrument[kAmbientChannel];
  if (instrument == kInstrumentOff) return;
  auto track = std::make_unique<PartTrack>();
  WritePartHeader(*track, kAmbientChannel, instrument, style.mixer[kAmbientChannel], GetLeadInTicks());
  WriteAmbientPattern(*track);
  CloseTrack(*track);
  tracks.push_back(std::move(track));
}
