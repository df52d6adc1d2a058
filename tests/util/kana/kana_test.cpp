// Width and kana rewriters, the text tests, and the walkers' handling of a lone lead byte.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "util/gne_kana.h"

namespace {

using Rewriter = void (*)(char*);

std::string Apply(Rewriter rewrite, const std::string& text) {
  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back(0);
  rewrite(buffer.data());
  return std::string(buffer.data());
}

struct RewriteCase {
  const char* name;
  Rewriter rewrite;
  const char* in;
  const char* out;
};

TEST(GneKana, RewritersGiveTheExpectedText) {
  const RewriteCase cases[] = {
      {"letters", GneNarrowLetters, "ＡｂＣ１２", "AbC１２"},
      {"alnum", GneNarrowAlphanumerics, "ＡｂＣ１２　ｚ", "AbC12　z"},
      {"kana voiced two bytes", GneNarrowKana, "ガッツ", "ｶﾞｯﾂ"},
      {"kana semi-voiced", GneNarrowKana, "パピプペポ", "ﾊﾟﾋﾟﾌﾟﾍﾟﾎﾟ"},
      {"kana small and wa", GneNarrowKana, "ァヮヲン", "ｧﾜｦﾝ"},
      {"kana keeps vu and hiragana", GneNarrowKana, "ヴあー", "ヴあー"},
      {"symbols", GneNarrowSymbols, "＠：（）＜＞．！’”", "@:()<>.!'\""},
      {"symbols leave others", GneNarrowSymbols, "？＆", "？＆"},
      {"spaces", GneNarrowSpaces, "あ　い　", "あ い "},
      {"plain katakana", GneToHalfWidthPlainKatakana, "アイウワヲンャュョッ", "ｱｲｳﾜｦﾝｬｭｮｯ"},
      {"plain keeps voiced and small vowels", GneToHalfWidthPlainKatakana, "ガァヮー", "ガァヮー"},
      {"half-width katakana", GneToHalfWidthKatakana, "パン", "パﾝ"},
      {"voiced with mark", GneToHalfWidthKatakana, "ガギグゲゴヴ", "ｶﾞｷﾞｸﾞｹﾞｺﾞｳﾞ"},
      {"semi-voiced, small and long stay", GneToHalfWidthKatakana, "ポァィゥェォヮー", "ポァィゥェォヮー"},
      {"mixed", GneToHalfWidthKatakana, "abcバンド1", "abcﾊﾞﾝﾄﾞ1"},
      {"kanji untouched", GneToHalfWidthKatakana, "表ソ予", "表ｿ予"},
  };
  for (const RewriteCase& c : cases) {
    EXPECT_EQ(Apply(c.rewrite, c.in), c.out) << c.name;
  }
}

TEST(GneKana, NarrowKanaOfGattsuIsFourBytes) {
  EXPECT_EQ(Apply(GneNarrowKana, "ガッツ").size(), 4u);
}

TEST(GneKana, ReplacePairsTakesTheFirstMatchingPair) {
  const GneWidthPair pairs[] = {{"ア", "1"}, {"ア", "2"}, {"イ", "xy"}};
  char text[] = "アイウア";
  GneReplacePairs(text, pairs, 3);
  EXPECT_STREQ(text, "1xyウ1");
  char other[] = "アイ";
  GneReplacePairs(other, pairs, 0);  // no pairs: unchanged
  EXPECT_STREQ(other, "アイ");
}

// A lead byte right before the terminator is one byte: no walker pairs it with the terminator
// and reads on (the buffers are exact, so the sanitizer sees any read past them).
TEST(GneKana, LoneLeadByteAtTheEndIsOneByte) {
  const Rewriter rewriters[] = {GneNarrowLetters, GneNarrowAlphanumerics, GneNarrowKana,
                                GneNarrowSymbols, GneNarrowSpaces, GneToHalfWidthPlainKatakana,
                                GneToHalfWidthKatakana};
  const char* texts[] = {"\x83", "ア\x83", "a\x82", "\x81"};
  for (Rewriter rewrite : rewriters) {
    for (const char* text : texts) {
      EXPECT_EQ(Apply(rewrite, text).back(), text[std::strlen(text) - 1]);
    }
  }
  std::vector<char> one = {'\x83', 0};
  EXPECT_EQ(GneToFullWidthKatakana(one.data(), one.size()), 1u);
  EXPECT_EQ(GneIsKanaText("あ\x82"), 0);
  EXPECT_EQ(GneIsSingleByteText("a\x82"), 0);
  std::vector<char> lone = {'\x83', 0};
  GneKatakanaToHiragana(lone.data());
  EXPECT_EQ(lone[0], '\x83');
}

TEST(GneKana, FullWidthKatakanaWidens) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"ｶﾞｷﾞｳﾞ", "ガギヴ"},   // voiced forms before plain ones
      {"ｱｲｳﾜｦﾝｬｭｮｯｰ", "アイウワヲンャュョッー"},
      {"ﾊﾟ", "ハﾟ"},          // the semi-voiced forms have no entry
      {"ｧﾞ", "ｧﾞ"},           // neither have the small vowels
      {"abc 漢ｶ", "abc 漢カ"},
      {"ﾞ", "ﾞ"},
  };
  for (const Case& c : cases) {
    char buffer[64];
    std::strcpy(buffer, c.in);
    const size_t n = GneToFullWidthKatakana(buffer, sizeof buffer);
    EXPECT_STREQ(buffer, c.out) << c.in;
    EXPECT_EQ(n, std::strlen(c.out));
  }
}

TEST(GneKana, FullWidthKatakanaStaysInsideItsCapacity) {
  // "ｱｲｳ" needs 7 bytes when widened; smaller buffers cut at a whole character.
  const struct {
    size_t capacity;
    const char* out;
  } cases[] = {{1, ""}, {2, ""}, {3, "ア"}, {4, "ア"}, {5, "アイ"}, {6, "アイ"}, {7, "アイウ"}};
  for (const auto& c : cases) {
    std::vector<char> buffer(c.capacity);
    const std::string in = "ｱｲｳ";
    const size_t copy = std::min(in.size(), c.capacity - 1);
    std::memcpy(buffer.data(), in.data(), copy);
    buffer[copy] = 0;
    GneToFullWidthKatakana(buffer.data(), buffer.size());
    EXPECT_STREQ(buffer.data(), c.out) << c.capacity;
  }
  // A text of 1000 half-width kana becomes 2000 bytes when the buffer holds them.
  std::vector<char> big(2001, 0);
  std::memset(big.data(), static_cast<unsigned char>("ｱ"[0]), 1000);
  EXPECT_EQ(GneToFullWidthKatakana(big.data(), big.size()), 2000u);
}

TEST(GneKana, KatakanaToHiraganaOneCharacter) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"ア", "あ"}, {"ガ", "が"}, {"ヮ", "ゎ"}, {"ン", "ん"}, {"ヴ", "ヴ"}, {"ー", "ー"},
               {"あ", "あ"}, {"漢", "漢"}, {"a", "a"}};
  for (const auto& c : cases) {
    char ch[3] = {0, 0, 0};
    std::memcpy(ch, c.in, std::strlen(c.in));
    GneKatakanaToHiragana(ch);
    EXPECT_STREQ(ch, c.out) << c.in;
  }
}

TEST(GneKana, TextTests) {
  EXPECT_EQ(GneIsKanaText("あいう　カ"), 1);
  EXPECT_EQ(GneIsKanaText("あa"), 0);
  EXPECT_EQ(GneIsKanaText(""), 1);
  EXPECT_EQ(GneIsKanaText("ア ゎヮ"), 1);
  EXPECT_EQ(GneIsKanaText("ヴ"), 0);  // no row of the kana table
  EXPECT_EQ(GneIsKanaText("ｱ"), 0);   // half-width kana are not in it either
  EXPECT_EQ(GneIsKanaText("ー"), 0);
  EXPECT_EQ(GneIsSingleByteText("abc ｱｲｳ"), 1);
  EXPECT_EQ(GneIsSingleByteText(""), 1);
  EXPECT_EQ(GneIsSingleByteText("abcア"), 0);
}

}  // namespace
