#include "engine/compose_info.h"
#include "engine/drum_part.h"
#include "engine/drum_styles.h"
#include "engine/part_tracks.h"
#include "style/style_record.h"
#include "style/style_table.h"

std::vector<DrumBlock> DrumBlocksOf(const EventList& timeline) {
  std::vector<DrumBlock> blocks;
  blocks.reserve(static_cast<size_t>(timeline.count()));
  int start = 0;
  for (int i = 0; i < timeline.count(); ++i) {
    const ComposeEvent& e = timeline[i];
    DrumBlock b;
    b.index = i;
    b.start = start;
    b.length = e.length;
    b.section = e.tag[0];
    b.end_mark = e.tag[1];
    b.starts_section = i > 0 && e.tag[0] != timeline[i - 1].tag[0];
    blocks.push_back(b);
    start += e.length;
  }
  return blocks;
}

DrumRun::DrumRun(const DrumPatternCall& call)
    : channel(call.channel),
      track(call.track),
      timeline(call.timeline),
      density(call.density),
      blocks(DrumBlocksOf(call.timeline)),
      style(CurrentStyle()),
      triplet(style.basic_beat == 3),
      metre(style.metre),
      metre_kind(style.triple_metre_kind),
      clock(call.track) {}

void DrumRun::Steps(const DrumBlock& b, const DrumSteps& steps, int step_ticks) {
  BeginBlock(b);
  WriteDrumSteps(pending, b.length, channel, track, steps.data(), step_ticks);
}

void DrumRun::PlainSteps(const DrumSteps& steps, int step_ticks) {
  for (const DrumBlock& b : blocks) Steps(b, steps, step_ticks);
}

void DrumRun::Note(int pitch, int velocity, int length) {
  AddNote(track, channel, pending, pitch, velocity, length);
  pending = 0;
}

void PlayDrumStyle(const DrumPatternCall& call, void (*style)(DrumRun&)) {
  DrumRun run(call);
  style(run);
}
