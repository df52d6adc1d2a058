#include "tests/engine/parts/bass_fixture.h"

#include "engine/bass_part.h"
#include "engine/engine_state.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace bass_test {

const char* MetreName(Metre m) {
  switch (m) {
    case Metre::k44: return "4/4";
    case Metre::k34: return "3/4";
    case Metre::k68: return "6/8";
    default: return "7/8";
  }
}

void SetMetre(Metre m, bool triplet) {
  StyleRecord& s = CurrentStyle();
  s.metre = m == Metre::k44 ? 0 : (m == Metre::k78 ? 2 : 1);
  s.triple_metre_kind = m == Metre::k68 ? 2 : 1;
  s.basic_beat = triplet ? 3 : 2;
}

void BassTest::SetUp() {
  EngineTest::SetUp();
  StyleRecord& s = CurrentStyle();
  s.instrument[kBassChannel] = kBassProgram;
  s.accompaniment = 1;
  s.subharmony_accompaniment = 1;
  s.basic_beat = 2;
  s.triple_metre_kind = 1;
}

void BassTest::SetBlocks(const std::vector<Block>& blocks) {
  ComposeInformation& info = ComposeInfo();
  info.FreeChordBlocks();
  for (const Block& b : blocks) {
    ChordEntry e;
    e.length = static_cast<uint16_t>(b.length);
    for (int i = 0; i < 4; ++i) e.code[i] = b.code[i];
    info.AddChordBlock(e, b.bass_digits);
  }
}

std::vector<int64_t> BassTest::BlockStarts() {
  std::vector<int64_t> starts{0};
  const ComposeInformation& info = ComposeInfo();
  for (int i = 0; i < info.chord_block_count(); ++i)
    starts.push_back(starts.back() + info.chord_block(i)->length);
  return starts;
}

std::vector<Played> BassTest::Play(int code, int density) {
  track_ = std::make_unique<PartTrack>();
  track_->AddProgramChange(kBassChannel, kBassProgram);
  AddNote(*track_, kBassChannel, 0, 0, 0, 0);  // the lead-in rest
  const int32_t first = track_->event_count;
  static const EventList kNoMelody;
  WriteBassPattern(kBassChannel, *track_, code, density, kNoMelody);
  std::vector<Played> out;
  int64_t t = 0;
  for (int32_t i = 0; i < track_->event_count; ++i) {
    const MidiEvent* e = track_->events[i];
    t += e->delta;
    if (i < first || e->status != kStatusNote) continue;
    out.push_back(Played{t, static_cast<int>(e->channel), e->note, e->velocity, e->duration});
  }
  return out;
}

std::vector<Played> BassTest::PlaySounding(int code, int density) {
  std::vector<Played> out;
  for (const Played& p : Play(code, density))
    if (p.sounding()) out.push_back(p);
  return out;
}

std::vector<Block> RandomSong(int blocks, bool whole_bars, int bar_ticks, uint32_t seed) {
  static const char* const kCodes[] = {"CMPo", "FMPo", "GMPs", "AmPo", "DmPs", "EmPo",
                                       "GMPo", "CMPS", "bMPo", "AmPs", "D4Po", "BoPd"};
  const uint32_t saved = GneGetRandomState();
  GneSeedRandomWith(seed);
  std::vector<Block> out;
  for (int i = 0; i < blocks; ++i) {
    const int length = whole_bars ? bar_ticks * GneRandomRange(1, 2) : GneRandomRange(48, 768);
    out.push_back(Block{length, kCodes[GneRandomRange(0, 11)]});
  }
  GneSetRandomState(saved);
  return out;
}

}  // namespace bass_test
