// Seeded mutation run of the text helpers' fuzz entry (the sanitizers watch every access).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/gne_fuzz.h"

namespace {

TEST(GneFuzz, TextHelpersSurviveMutatedInput) {
  const std::vector<std::string> seeds = {
      "a  \"b c\" d", "x;;y;", "title<='it''s'", "C:\\表\\ソ.mid", "Bbm7", "↓ ﾐ", "0012:03:095",
      "ＡＢＣabc", "3:4", "a?c*", std::string(300, 'z'), "\"unclosed quote and more words here"};
  GneSeedRandomWith(12345);
  // CANTREL_FUZZ_LONG runs a million inputs between the seeds, each walk starting afresh from
  // its seed every 300 inputs (by hand; CI runs the short mode).
  const int64_t rounds = cantrel_test::FuzzInputs(300, static_cast<int>(seeds.size()));
  for (const std::string& seed : seeds) {
    std::string s = seed;
    for (int64_t round = 0; round < rounds; ++round) {
      if (round % 300 == 0) s = seed;
      const int op = GneRandomRange(0, 3);
      if (op == 0 && !s.empty()) {
        s[static_cast<size_t>(GneRandomRange(0, static_cast<int>(s.size()) - 1))] =
            static_cast<char>(GneRandomRange(0, 255));
      } else if (op == 1) {
        s.insert(s.begin() + GneRandomRange(0, static_cast<int>(s.size())),
                 static_cast<char>(GneRandomRange(1, 255)));
      } else if (op == 2 && !s.empty()) {
        s.erase(s.begin() + GneRandomRange(0, static_cast<int>(s.size()) - 1));
      } else {
        s += "\\/.:;\"*?<=>#b"[GneRandomRange(0, 12)];
      }
      FuzzGneText(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
  }
}

}  // namespace
