#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/engine_fuzz.h"
#include "engine/pattern_db.h"
#include "tests/engine/engine_fixture.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

class DatabaseFuzzTest : public EngineTest {};

std::vector<uint8_t> ReadResource(const char* name) {
  std::ifstream in(cantrel_test::SourceDir() / "resources" / name, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST_F(DatabaseFuzzTest, SeededMutations) {
  std::vector<std::vector<uint8_t>> seeds = {
      ReadResource("PATTERN.DB"), ReadResource("PATTERN.DBB"), ReadResource("RESOLUT.DB2"),
      ReadResource("TIMECHT.DB"), std::vector<uint8_t>(20000, '|'), std::vector<uint8_t>(300, 'A')};
  EXPECT_GT(FuzzPatternDatabaseBytes(seeds[0].data(), seeds[0].size()), 0);
  GneSeedRandomWith(20240601);
  // CANTREL_FUZZ_LONG runs a million inputs (by hand; CI runs the short mode).
  const int64_t rounds = cantrel_test::FuzzInputs(1500);
  for (int64_t round = 0; round < rounds; ++round) {
    std::vector<uint8_t> data = seeds[static_cast<size_t>(GneRandomRange(0, 5))];
    const int steps = GneRandomRange(1, 8);
    for (int i = 0; i < steps && !data.empty(); ++i) {
      const size_t at = static_cast<size_t>(GneRandomRange(0, 32767)) % data.size();
      switch (GneRandomRange(0, 3)) {
        case 0: data[at] = static_cast<uint8_t>(GneRandomRange(0, 255)); break;
        case 1: data.resize(at); break;
        case 2: data.insert(data.begin() + static_cast<long>(at), static_cast<uint8_t>('|')); break;
        default: data[at] = static_cast<uint8_t>("CMPsdo0|9 \r\n"[GneRandomRange(0, 11)]); break;
      }
    }
    FuzzPatternDatabaseBytes(data.data(), data.size());
    ASSERT_EQ(PatternDb().pattern_text[kDatabaseBufferSize - 1], '\0');
  }
}

}  // namespace
