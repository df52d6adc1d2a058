// The search normal form and matching.
#include <gtest/gtest.h>

#include <string>

#include "util/search_text.h"

namespace {

TEST(SearchText, NormalFormPassByPass) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"ひらがな", "ヒラガナ"},                 // hiragana to katakana
      {"ｶﾞｷﾞﾊﾟｶ", "ガギパカ"},                 // half-width, marks first
      {"ｳﾞｧ", "ウﾞア"},                        // no row for "ｳﾞ": the mark stays
      {"ティー", "チ"},                         // foreign sound, long mark dropped
      {"ヴァヴィヴゥヴェヴォ", "バビブベボ"},
      {"ァィゥェォッャュョ", "アイウエオツヤユヨ"},
      {"ぁぃぅぇぉっゃゅょ", "アイウエオツヤユヨ"},  // through katakana
      {"ABCxyzＡＢＣ", "ａｂｃｘｙｚａｂｃ"},
      {"0９", "０９"},
      {" .,/()-_'x", "ｘ"},
      {"　．，、（）「」ー―＿’＆～", ""},
      {"ｹｰｷ", "ケｰキ"},                       // the half-width long mark is kept
      {"けーき", "ケキ"},
      {"！？", "！？"},
      {"\x83", "\x83"},                          // a lone lead byte at the end stays one byte
  };
  for (const auto& c : cases) {
    EXPECT_EQ(CSearchText::Normalize(c.in), c.out) << c.in;
  }
}

TEST(SearchText, MatchCases) {
  const struct {
    const char* key;
    const char* candidate;
    int match;
  } cases[] = {
      {"ｹｰｷ", "ケーキ", 0},
      {"けーき", "ケーキ", 1},
      {"ABC 1", "ａｂｃ１", 1},
      {"ABC 1", "abc-1", 1},
      {"ヴァイオリン", "バイオリン", 1},
      {"ばいおりん", "ﾊﾞｲｵﾘﾝ協奏曲", 1},
      {"", "anything", 1},
      {"", "", 1},
      {"x", "", 0},
      {"love", "I LOVE YOU", 1},
      {"ラブ", "ラヴ", 0},
      {"さくら", "桜", 0},
      // "ａ" is 82 81; 「モ！」 is 83 82 81 49: the bytes match across two characters only.
      {"a", "モ！", 0},
      {"a", "モａ", 1},
      {"ソ", "ｃ\\", 0},  // "ソ" is 83 5C; "ｃ" is 82 83 and the backslash 5C follows it
      {"ソ", "ｃソ", 1},
  };
  for (const auto& c : cases) {
    CSearchText search(c.key);
    EXPECT_EQ(search.Match(c.candidate), c.match) << c.key << " / " << c.candidate;
  }
}

TEST(SearchText, KeyEndingInALoneLeadByteMatchesOnlyAtTheEnd) {
  CSearchText search("ア\x83");
  EXPECT_EQ(search.Match("xア\x83"), 1);
  EXPECT_EQ(search.Match("xアア"), 0);  // 83 there starts "ア"
}

TEST(SearchText, CandidateIsLeftUnchanged) {
  CSearchText search("ねこ");
  char candidate[] = "ﾈｺﾁｬﾝ";
  EXPECT_EQ(search.Match(candidate), 1);
  EXPECT_STREQ(candidate, "ﾈｺﾁｬﾝ");
}

TEST(SearchText, LongTextsHaveNoFixedLimit) {
  // 3000 half-width kana widen to 6000 bytes; the key sits at the very end.
  std::string candidate(3000, "ｱ"[0]);
  candidate += "ｹﾞｰﾑ";
  CSearchText search("アげーむ");  // normalised "アゲーム" without the long mark -> "アゲム"
  EXPECT_EQ(search.Match(candidate.c_str()), 0);  // the candidate keeps its "ｰ"
  CSearchText search2("アｹﾞｰﾑ");
  EXPECT_EQ(search2.Match(candidate.c_str()), 1);
  const std::string long_key(2000, 'a');
  CSearchText search3(long_key.c_str());
  EXPECT_EQ(search3.Key().size(), 4000u);
  EXPECT_EQ(search3.Match((std::string(5000, 'A')).c_str()), 1);
}

}  // namespace
