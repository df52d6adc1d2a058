#include "tests/accomp/patterns/figure_fixture.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/test_support.h"

namespace pattern_test {

void FigureTest::CBlocks(const std::vector<int>& lengths, int seventh) {
  std::vector<BlockSpec> specs;
  for (int l : lengths) specs.push_back({seventh != 0 ? "CMPs" : "CMPo", l});
  SetBlocks(specs);
  for (size_t i = 0; i < lengths.size(); ++i) SetTones(static_cast<int>(i), 60, 64, 67, seventh, 48);
}

void ExpectLoadsInMidoAndMidicsv(MidiTrack& track, int channel) {
  const MidiEvent* last = track.LastEvent();
  if (last == nullptr || last->status != kStatusMeta || last->number != 0x2F) CloseTrack(track);
  size_t notes = 0;
  for (const auto& n : Sounding(track)) notes += std::get<1>(n) == channel;
  const auto path = parts_test::WriteJoined({&track}, "figures.mid");
  int division = 0;
  std::vector<std::string> lines;
  ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
  const std::string mido_prefix = "note " + std::to_string(channel) + " ";
  size_t mido_notes = 0;
  for (const std::string& l : lines) mido_notes += l.rfind(mido_prefix, 0) == 0;
  EXPECT_EQ(mido_notes, notes);
  int status = 0;
  const std::string csv = parts_test::RunMidicsv(path, &status);
  EXPECT_EQ(status, 0);
  const std::string csv_on = "Note_on_c, " + std::to_string(channel) + ",";
  size_t on = 0;
  std::istringstream in(csv);
  for (std::string line; std::getline(in, line);) {
    if (line.find(csv_on) != std::string::npos && line.rfind(", 0") != line.size() - 3) ++on;
  }
  EXPECT_EQ(on, notes);
}

}  // namespace pattern_test
