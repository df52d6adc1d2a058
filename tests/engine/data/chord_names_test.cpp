#include <cstring>
#include <string>

#include "song/chord_codes.h"
#include "tests/engine/engine_fixture.h"

namespace {

class ChordNamesTest : public EngineTest {};

std::string Convert(const char* name) {
  char buffer[16] = {};
  std::strncpy(buffer, name, sizeof buffer - 1);
  ChordNameToCode(buffer);
  return std::string(buffer);
}

TEST_F(ChordNamesTest, NamesToCodes) {
  const std::pair<const char*, const char*> cases[] = {
      {"F#m7", "gmPs"},   {"Cb", "BMPo"},      {"Bbsus2", "b4Po"}, {"C9", "CMP9"},
      {"Cxyz", "CMPo"},  {"Ebm7", "emPs"},    {"A", "AMPo"},      {"C ", "CMPo"},
      {"G7sus4", "G4Ps"}, {"Dm7b5", "Dmds"},   {"E#", "FMPo"},     {"Abdim7", "amd6"},
      {"Caug7", "CMAs"},  {"C7<b5>", "CMds"},  {"----", "CMPS"},   {"Skip", "Skip"},
      {"B#m", "CmPo"},    {"Fb6", "EMP6"},     {"Gmadd9", "GmP9"}, {"D<b5>", "DMdo"},
  };
  for (const auto& [name, code] : cases) EXPECT_EQ(Convert(name).substr(0, 4), code) << name;
  // Only the first four characters change.
  EXPECT_EQ(Convert("G7sus4"), "G4Pss4");
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(ChordNamesTest, BadAccidentalShowsTheBoxAndGoesOn) {
  EXPECT_EQ(Convert("H#m"), "HmPo");
  ASSERT_EQ(BoxCount(), 1u);
  EXPECT_EQ(cantrel_test::Sink().Texts()[0], "CKVAlgo::ErrorMsg");
}

TEST_F(ChordNamesTest, DecodeCodes) {
  int root = -1;
  int row = -1;
  DecodeChordCode("b4Po", &root, &row);
  EXPECT_EQ(root, 10);
  EXPECT_EQ(row, 7);
  DecodeChordCode("CMds", &root, &row);
  EXPECT_EQ(root, 0);
  EXPECT_EQ(row, 17);
  row = 99;
  DecodeChordCode("gxyz", &root, &row);
  EXPECT_EQ(root, 6);
  EXPECT_EQ(row, 99);  // unchanged
}

}  // namespace
