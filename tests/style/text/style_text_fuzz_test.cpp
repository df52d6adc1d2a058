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

size_t Draw(size_t bound) {
  if (bound == 0) return 0;
  const size_t r = static_cast<size_t>(GneRandomRange(0, 32767)) * 32768 +
                   static_cast<size_t>(GneRandomRange(0, 32767));
  return r % bound;
}

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
  for (int i = 0; i < 600; ++i) {
    std::string data = seeds[Draw(seeds.size())];
    const int steps = GneRandomRange(1, 8);
    for (int k = 0; k < steps; ++k) {
      switch (GneRandomRange(0, 3)) {
        case 0:
          data.resize(Draw(data.size() + 1));
          break;
        case 1:
          for (int n = GneRandomRange(1, 32); n > 0 && !data.empty(); --n)
            data[Draw(data.size())] = kSymbols[Draw(sizeof kSymbols - 1)];
          break;
        case 2: {
          const std::string& other = seeds[Draw(seeds.size())];
          data.insert(Draw(data.size() + 1), other.substr(Draw(other.size()), Draw(2000)));
          break;
        }
        default:
          for (int n = GneRandomRange(1, 16); n > 0 && !data.empty(); --n)
            data[Draw(data.size())] = static_cast<char>(GneRandomRange(0, 255));
          break;
      }
    }
    // A heap copy of exactly the text's length: the sanitizer sees any overread.
    std::vector<uint8_t> bytes(data.begin(), data.end());
    EXPECT_GT(FuzzStyleText(bytes.data(), bytes.size()), 0u);
  }
  ResetStyleModule();
}

}  // namespace
