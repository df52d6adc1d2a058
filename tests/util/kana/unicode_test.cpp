// The correspondence tables against Unicode: through the CP932 converter, the letter, digit and
// kana width tables agree with NFKC (python3's unicodedata), "ヮ" to "ﾜ" excepted, and the
// katakana-hiragana table with the fixed offset between the two scripts.
#include <gtest/gtest.h>

#include <string>

#include "platform/core/encoding.h"
#include "tests/support/test_support.h"
#include "util/gne_kana.h"

namespace {

// The code point of a UTF-8 text holding exactly one character, or -1.
long OneCodePoint(const std::string& utf8) {
  const auto b = [&](size_t i) { return static_cast<unsigned char>(utf8[i]); };
  if (utf8.size() == 1 && b(0) < 0x80) return b(0);
  if (utf8.size() == 2 && (b(0) & 0xE0) == 0xC0) return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
  if (utf8.size() == 3 && (b(0) & 0xF0) == 0xE0) {
    return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
  }
  return -1;
}

TEST(KanaTablesUnicode, KatakanaAndHiraganaDifferByTheScriptOffset) {
  for (int i = 0; i < kKatakanaHiraganaCount; ++i) {
    const long kata = OneCodePoint(plat::Cp932ToUtf8(KatakanaHiraganaTable[i].full));
    const long hira = OneCodePoint(plat::Cp932ToUtf8(KatakanaHiraganaTable[i].other));
    ASSERT_GE(kata, 0x30A1) << i;
    EXPECT_EQ(kata - hira, 0x60) << "row " << i;
    // Same order as the width table.
    EXPECT_STREQ(KatakanaHiraganaTable[i].full, KanaWidthTable[i].full) << "row " << i;
  }
}

TEST(KanaTablesUnicode, WidthTablesAgreeWithNfkc) {
  // python3's unicodedata is the reference for NFKC.
  CANTREL_NEED_TOOL("python3");
  // One line per row: "<table>\t<full>\t<other>" in UTF-8; python answers every row whose
  // NFKC forms disagree.
  std::string input;
  const auto add = [&](const char* table, const GneWidthPair* rows, int count) {
    for (int i = 0; i < count; ++i) {
      input += std::string(table) + "\t" + plat::Cp932ToUtf8(rows[i].full) + "\t" +
               plat::Cp932ToUtf8(rows[i].other) + "\n";
    }
  };
  add("letter", LetterWidthTable, kLetterWidthCount);
  add("digit", DigitWidthTable, kDigitWidthCount);
  add("kana", KanaWidthTable, kKanaWidthCount);
  const std::string script =
      "import sys, unicodedata\n"
      "n = 0\n"
      "for line in sys.stdin.buffer.read().decode('utf-8').splitlines():\n"
      "    table, full, other = line.split('\\t')\n"
      "    n += 1\n"
      "    if table == 'kana':\n"
      "        ok = unicodedata.normalize('NFKC', other) == full\n"
      "    else:\n"
      "        ok = unicodedata.normalize('NFKC', full) == other\n"
      "    if not ok:\n"
      "        print(table, full.encode('unicode_escape').decode(), other.encode('unicode_escape').decode())\n"
      "print('rows', n)\n";
  std::string out;
  ASSERT_EQ(cantrel_test::RunTool({"python3", "-c", script}, &out, input), 0);
  // Only the small "ヮ", whose half-width form is "ﾜ", has no NFKC counterpart.
  EXPECT_EQ(out, "kana \\u30ee \\uff9c\nrows 143\n");
}

}  // namespace
