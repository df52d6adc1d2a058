// The bass part of every pattern as a Standard MIDI File, read back by mido
// and midicsv.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/bass_part.h"
#include "engine/engine_state.h"
#include "style/style_table.h"
#include "tests/engine/parts/bass_fixture.h"
#include "tests/engine/parts/parts_fixture.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using namespace bass_test;

class BassFileTest : public BassTest {};

TEST_F(BassFileTest, EveryPatternsPartReadsBackNoteForNoteInMidoAndMidicsv) {
  CANTREL_NEED_MIDO();
  CANTREL_NEED_TOOL("midicsv");
  SetMetre(Metre::k44, false);
  CurrentStyle().density[kBassChannel] = 120;
  PartTrackList tracks;
  std::vector<std::string> expected;
  const EventList melody;
  for (int code = 1; code <= 23; ++code) {
    GneSeedRandomWith(static_cast<uint32_t>(code));
    SetBlocks(RandomSong(24, false, 0, static_cast<uint32_t>(code)));
    CurrentStyle().bass_pattern = code;
    GenerateBassPart(tracks, melody);
    ASSERT_EQ(tracks.size(), static_cast<size_t>(code));
    for (const auto& [tick, channel, pitch, velocity, length] : parts_test::Notes(*tracks.back())) {
      ASSERT_EQ(channel, kBassChannel) << "code " << code;
      expected.push_back("note 2 " + std::to_string(tick) + " " + std::to_string(pitch) + " " +
                         std::to_string(velocity) + " " + std::to_string(length));
    }
  }
  std::vector<const MidiTrack*> pointers;
  for (const auto& t : tracks) pointers.push_back(t.get());
  const auto path = parts_test::WriteJoined(pointers, "bass.mid");

  int division = 0;
  std::vector<std::string> lines;
  ASSERT_TRUE(cantrel_test::MidoEventLines(path, &division, &lines));
  EXPECT_EQ(division, 96);
  std::vector<std::string> notes;
  for (const std::string& line : lines) {
    if (line.rfind("note ", 0) == 0) notes.push_back(line);
    if (line.rfind("program ", 0) == 0) EXPECT_EQ(line, "program 2 0 33");
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(notes, expected);

  int status = 0;
  const std::string csv = parts_test::RunMidicsv(path, &status);
  EXPECT_EQ(status, 0);
  EXPECT_NE(csv.find("End_of_file"), std::string::npos);
}

}  // namespace
