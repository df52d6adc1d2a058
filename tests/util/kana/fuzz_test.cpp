// Seeded mutation run of the width rewriters and the search text (the sanitizers watch every
// access; the fuzz entry aborts on a broken invariant).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/list_search_fuzz.h"

namespace {

// A key and a candidate as the fuzz entry reads them.
std::string Pair(const char* key, const char* candidate) {
  return std::string(key) + std::string(1, '\0') + candidate;
}

TEST(KanaFuzz, SearchPassesSurviveMutatedInput) {
  const std::vector<std::string> seeds = {
      Pair("ｹｰｷ", "ケーキ"), "ABC 1", Pair("ヴァイオリン", "ﾊﾞｲｵﾘﾝ"),
      "ティーパーティー", "ｶﾞｷﾞｸﾞﾊﾟﾋﾟﾌﾟｰｰﾞﾟ", "ぁぃぅぇぉっゃゅょゎ", "モ！ａ",
      "　．，、（）「」ー―＿’＆～ .,/()-_'", "ＡＢＣ漢字ソ表\x83", std::string(600, "ｱ"[0])};
  GneSeedRandomWith(20240102);
  // CANTREL_FUZZ_LONG runs a million inputs between the seeds, each walk starting afresh from
  // its seed every 400 inputs (by hand; CI runs the short mode).
  const int64_t rounds = cantrel_test::FuzzInputs(400, static_cast<int>(seeds.size()));
  for (const std::string& seed : seeds) {
    std::string s = seed;
    for (int64_t round = 0; round < rounds; ++round) {
      if (round % 400 == 0) s = seed;
      const int op = GneRandomRange(0, 4);
      if (op == 0 && !s.empty()) {
        s[static_cast<size_t>(GneRandomRange(0, static_cast<int>(s.size()) - 1))] =
            static_cast<char>(GneRandomRange(0, 255));
      } else if (op == 1) {
        s.insert(s.begin() + GneRandomRange(0, static_cast<int>(s.size())),
                 static_cast<char>(GneRandomRange(0, 255)));
      } else if (op == 2 && !s.empty()) {
        s.erase(s.begin() + GneRandomRange(0, static_cast<int>(s.size()) - 1));
      } else if (op == 3) {
        // A lead byte, a half-width mark or a kana byte where the walkers are most fragile.
        const char picks[] = {'\x81', '\x82', '\x83', '\xDE', '\xDF', '\xB3', '\xB0', '\0'};
        s.insert(s.begin() + GneRandomRange(0, static_cast<int>(s.size())),
                 picks[GneRandomRange(0, 7)]);
      } else if (s.size() > 1) {
        s = s.substr(static_cast<size_t>(GneRandomRange(0, static_cast<int>(s.size()) - 1)));
      }
      FuzzSearchText(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    }
  }
}

}  // namespace
