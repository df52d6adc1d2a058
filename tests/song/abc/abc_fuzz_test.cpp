// The ABC fuzz entry as a seeded mutation test: fixture tunes, the example
// files and small tunes, cut, spliced and sprinkled with ABC's own symbols.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "song/abc_notation.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

std::vector<std::string> Seeds() {
  std::vector<std::string> seeds = {
      "X:1\nT:Song\nM:3/4\nL:1/4\nK:G\nGAB|c2d|]",
      "X:1\nM:2/4\nK:Bb\n\"Gm\"G>A B/c/d|[CEG]2 (3ABc|:d2 ^c2:|\n",
      "X:1\nK:C\n!trill!C \"^x\"D {ag}E-E|[K:D]F,,G''|\\\nV:1\nA2|\nV:2\nB|",
  };
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(cantrel_test::DataPath("abc")))
    files.push_back(e.path());
  const std::filesystem::path examples = "/usr/share/doc/abcmidi/examples";
  if (std::filesystem::is_directory(examples))
    for (const auto& e : std::filesystem::directory_iterator(examples)) files.push_back(e.path());
  std::sort(files.begin(), files.end());
  for (const auto& f : files) {
    std::ifstream in(f, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    seeds.push_back(s.str());
  }
  return seeds;
}

const char kAbcSymbols[] = "|:[]\"!^_=,'<>(){}%\\/0123456789zxXVKLMQT\n\r \x81\xE0";

TEST(AbcFuzz, MutatedTunesImportWithinTheSongsBounds) {
  cantrel_test::QuietBoxes quiet;
  const std::vector<std::string> seeds = Seeds();
  for (const std::string& s : seeds)
    EXPECT_GE(FuzzAbcText(reinterpret_cast<const unsigned char*>(s.data()), s.size()), -1);
  // CANTREL_FUZZ_LONG runs a million inputs between the three seeds (by hand; CI runs the
  // short mode).
  const int64_t inputs = cantrel_test::FuzzInputs(700, 3);
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    GneSeedRandomWith(seed);
    for (int64_t i = 0; i < inputs; ++i) {
      const std::string data = cantrel_test::MutateText(seeds, kAbcSymbols);
      const int bars =
          FuzzAbcText(reinterpret_cast<const unsigned char*>(data.data()), data.size());
      ASSERT_GE(bars, -1) << "seed " << seed << " case " << i;
    }
  }
  EXPECT_EQ(FuzzAbcText(nullptr, 0), -1);
}

}  // namespace
