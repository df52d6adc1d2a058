// The style-text reader's fuzz entry as a seeded mutation test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "style/engine_services.h"
#include "style/style_table.h"
#include "style/style_text.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

TEST(StyleTextFuzz, MutatedStyleTextsNeverReadPastTheirLength) {
  ResetStyleModule();
  ResetEngineServices();
  BuildStyleTable();
  std::vector<std::string> seeds;
  for (int c = 0; c < kStyleCategoryCount; c += 2)
    seeds.push_back(WriteStyleText(StyleTableSlot(c, 1 + c)));
  seeds.push_back("[[メロディ]][Melody Structure:休符]多め[[/サブメロディ]][リフ]-01-");
  static const char kSymbols[] = "[]/-<>0123456789\r\n\x81\x82\x5B\x5D";
  cantrel_test::QuietBoxes quiet;
  GneSeedRandomWith(20261210);
  // CANTREL_FUZZ_LONG runs a million inputs (by hand; CI runs the short mode).
  const int64_t inputs = cantrel_test::FuzzInputs(600);
  for (int64_t i = 0; i < inputs; ++i) {
    const std::string data = cantrel_test::MutateText(seeds, kSymbols);
    // A heap copy of exactly the text's length: the sanitizer sees any overread.
    std::vector<uint8_t> bytes(data.begin(), data.end());
    EXPECT_GT(FuzzStyleText(bytes.data(), bytes.size()), 0u);
  }
  ResetStyleModule();
}

}  // namespace
