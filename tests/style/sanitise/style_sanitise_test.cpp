// Style records read from song files are brought into the ranges the program uses before the
// engine sees them: built-in styles pass untouched, damaged fields are mended and reported once.
#include "style/style_sanitise.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "style/style_catalogue.h"
#include "style/style_table.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

TEST(StyleSanitise, BuiltInStylesAndTheEmptyRecordPassUntouched) {
  ResetStyleModule();
  for (int c = 0; c < kStyleCategoryCount; ++c) {
    for (int s = 0; s < kStyleSlotCount; ++s) {
      StyleRecord r;
      RunStyleSlotDefinition(c, s, r);
      const std::vector<uint8_t> before = SerialiseStyleRecord(r);
      EXPECT_EQ(SanitiseStyleRecord(r), 0u) << c << " " << s;
      EXPECT_EQ(SerialiseStyleRecord(r), before) << c << " " << s;
    }
  }
  StyleRecord empty;
  EXPECT_EQ(SanitiseStyleRecord(empty), 0u);
}

StyleRecord Fine() {
  StyleRecord r;
  RunStyleSlotDefinition(0, 1, r);
  return r;
}

TEST(StyleSanitise, EachDamagedFieldIsMendedWithItsCode) {
  const struct {
    const char* what;
    std::function<void(StyleRecord&)> damage;
    uint32_t code;
    std::function<bool(const StyleRecord&)> mended;
  } kCases[] = {
      {"instrument", [](StyleRecord& r) { r.instrument[3] = 9999; }, 0xFF0101A4,
       [](const StyleRecord& r) { return r.instrument[3] == kInstrumentOff; }},
      {"mixer", [](StyleRecord& r) { r.mixer[1].volume = 200; }, 0xFF010186,
       [](const StyleRecord& r) { return r.mixer[1].volume == 127; }},
      {"octave", [](StyleRecord& r) { r.octave[3] = INT_MIN; }, 0xFF010179,
       [](const StyleRecord& r) { return r.octave[3] == -10; }},
      {"bass octave copies stay", [](StyleRecord& r) { r.octave[2] = 99; }, 0,
       [](const StyleRecord& r) { return r.octave[2] == 99; }},
      {"key offset", [](StyleRecord& r) { r.key_offset = INT_MAX - 23; }, 0xFF010187,
       [](const StyleRecord& r) { return r.key_offset == 11; }},
      {"metre", [](StyleRecord& r) { r.metre = 7; }, 0xFF010188,
       [](const StyleRecord& r) { return r.metre == 2; }},
      {"scale tones", [](StyleRecord& r) { std::memcpy(r.scale_tones, "CMPs90x9090909090Z", 17); },
       0xFF01018B,
       [](const StyleRecord& r) { return r.scale_tones[6] == '0' && r.scale_tones[16] == 0; }},
      {"pattern file outside the program folder",
       [](StyleRecord& r) { std::strcpy(r.pattern_db, "../../etc/passwd"); }, 0xFF010179,
       [](const StyleRecord& r) { return std::string(r.pattern_db) == "PATTERN.DB"; }},
      {"pattern file with a drive", [](StyleRecord& r) { std::strcpy(r.chorus_db, "C:RESOLUT.DB"); },
       0xFF010179, [](const StyleRecord& r) { return std::string(r.chorus_db) == "RESOLUT.DB"; }},
      {"unterminated pattern file",
       [](StyleRecord& r) { std::memset(r.pattern_db, 'A', sizeof r.pattern_db); }, 0xFF010179,
       [](const StyleRecord& r) { return std::string(r.pattern_db) == "PATTERN.DB"; }},
      {"grid cell",
       [](StyleRecord& r) { r.custom_grids[1].grid[kGridBass].NoteTable[3][4] = -7; }, 0xFF010180,
       [](const StyleRecord& r) { return r.custom_grids[1].grid[kGridBass].NoteTable[3][4] == 0; }},
      {"grid degree",
       [](StyleRecord& r) { r.custom_grids[0].grid[kGridHarmony].pn_interval[2] = INT_MAX; },
       0xFF010182,
       [](const StyleRecord& r) {
         return r.custom_grids[0].grid[kGridHarmony].pn_interval[2] == 7 * 11 + 6;
       }},
      {"drum row", [](StyleRecord& r) { r.custom_grids[0].grid[kGridDrum].pn_interval[0] = 500; },
       0xFF010182,
       [](const StyleRecord& r) { return r.custom_grids[0].grid[kGridDrum].pn_interval[0] == 92; }},
      {"continuation", [](StyleRecord& r) { r.custom_grids[2].grid[0].pn_continuem[5] = 3; },
       0xFF010184, [](const StyleRecord& r) { return r.custom_grids[2].grid[0].pn_continuem[5] == 1; }},
      {"chord list without end mark",
       [](StyleRecord& r) { std::memset(r.custom_chords, 'C', sizeof r.custom_chords); }, 0xFF01017C,
       [](const StyleRecord& r) { return r.custom_chords[4092] == 0 && r.custom_chords[4093] == 0; }},
      {"part range upside down",
       [](StyleRecord& r) {
         r.parts[1].range_low = 90;
         r.parts[1].range_high = 40;
       },
       0xFF0101A2,
       [](const StyleRecord& r) { return r.parts[1].range_low == 40 && r.parts[1].range_high == 90; }},
      {"part range far out",
       [](StyleRecord& r) {
         r.parts[4].range_low = INT_MIN;
         r.parts[4].range_high = INT_MAX;
       },
       0xFF0101A2,
       [](const StyleRecord& r) { return r.parts[4].range_low == 0 && r.parts[4].range_high == 127; }},
      {"submelody mode", [](StyleRecord& r) { r.submelody_mode = 30; }, 0xFF010190,
       [](const StyleRecord& r) { return r.submelody_mode == 8; }},
      {"density", [](StyleRecord& r) { r.density[5] = -4; }, 0xFF01019A,
       [](const StyleRecord& r) { return r.density[5] == 0; }},
  };
  for (const auto& c : kCases) {
    StyleRecord r = Fine();
    c.damage(r);
    EXPECT_EQ(SanitiseStyleRecord(r), c.code) << c.what;
    EXPECT_TRUE(c.mended(r)) << c.what;
    const std::vector<uint8_t> once = SerialiseStyleRecord(r);
    EXPECT_EQ(SanitiseStyleRecord(r), 0u) << c.what << ": not settled after one pass";
    EXPECT_EQ(SerialiseStyleRecord(r), once) << c.what;
  }
}

TEST(StyleSanitise, RandomBytesSettleInOnePassAndReportOnce) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    GneSeedRandomWith(seed);
    std::vector<uint8_t> bytes(kStyleRecordSize);
    for (uint8_t& b : bytes) b = static_cast<uint8_t>(GneRandomRange(0, 255));
    StyleRecord r;
    ASSERT_TRUE(DeserialiseStyleRecord(bytes.data(), bytes.size(), &r));
    cantrel_test::Sink().Clear();
    EXPECT_FALSE(SanitiseLoadedStyle(r));
    EXPECT_EQ(cantrel_test::Sink().Count(), 1u) << seed;
    const std::vector<uint8_t> once = SerialiseStyleRecord(r);
    EXPECT_EQ(SanitiseStyleRecord(r), 0u) << seed;
    EXPECT_EQ(SerialiseStyleRecord(r), once) << seed;
    for (const PartRecord& p : r.parts) {
      EXPECT_LE(p.range_low, p.range_high);
      EXPECT_GE(p.range_low, 0);
      EXPECT_LE(p.range_high, 127);
    }
    EXPECT_GE(r.key_offset, 0);
    EXPECT_LE(r.key_offset, 11);
  }
}

}  // namespace
