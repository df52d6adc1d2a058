// Seeded mutation run of the list parser over network-list-like input (the sanitizers watch every
// access; the fuzz entry aborts on a broken invariant).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/list_search_fuzz.h"

namespace {

TEST(ListFuzz, ParserSurvivesMutatedLists) {
  cantrel_test::QuietBoxes quiet;
  // The first byte picks the columns (low three bits + 1) and the separator.
  const std::vector<std::string> seeds = {
      std::string(1, '\x04') + "曲名,作者,001,ソ\\\\ロ,\"a,b\"\r\n夏の歌,人,002,x,y\r\n",
      std::string(1, '\x02') + "\"q\",\"r\r\n",
      std::string(1, '\x0A') + "a\tb\tc\nd\te\n",
      std::string(1, '\x1F') + "ソ\\ポ\\表\\\r\n",
      std::string(1, '\x00') + std::string(300, 'z') + "\r\n",
      std::string(1, '\x07') + ",,,,,,,,,,,,\r\n\r\n\r\n\"",
  };
  GneSeedRandomWith(777);
  // CANTREL_FUZZ_LONG runs a million inputs between the seeds, each walk starting afresh from
  // its seed every 400 inputs (by hand; CI runs the short mode).
  const int64_t rounds = cantrel_test::FuzzInputs(400, static_cast<int>(seeds.size()));
  for (const std::string& seed : seeds) {
    std::string s = seed;
    for (int64_t round = 0; round < rounds; ++round) {
      if (round % 400 == 0) s = seed;
      const int op = GneRandomRange(0, 4);
      const int at = GneRandomRange(1, static_cast<int>(s.size()));
      if (op == 0 && s.size() > 1) {
        s[static_cast<size_t>(GneRandomRange(0, static_cast<int>(s.size()) - 1))] =
            static_cast<char>(GneRandomRange(0, 255));
      } else if (op == 1) {
        const char picks[] = {',', '"', '\r', '\n', '\\', '\x83', '\t', '|'};
        s.insert(s.begin() + at, picks[GneRandomRange(0, 7)]);
      } else if (op == 2 && s.size() > 1) {
        s.erase(s.begin() + GneRandomRange(1, static_cast<int>(s.size()) - 1));
      } else if (op == 3 && s.size() < 4000) {
        // Duplicate a stretch, so rows and cells grow.
        const size_t from = static_cast<size_t>(GneRandomRange(1, static_cast<int>(s.size())));
        s.insert(static_cast<size_t>(at), s.substr(from, 64));
      } else if (s.size() > 2) {
        s.resize(static_cast<size_t>(GneRandomRange(1, static_cast<int>(s.size()))));
      }
      FuzzListFile(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
  }
}

}  // namespace
