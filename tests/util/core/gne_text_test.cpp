// Base64, patterns, tokens, numbers, path parts and letter case.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

TEST(GneBase64, SmallCases) {
  EXPECT_EQ(GneEncodeBase64("abc", 3), "YWJj");
  EXPECT_EQ(GneEncodeBase64("ab", 2), "YWI=");
  EXPECT_EQ(GneEncodeBase64("a", 1), "YQ==");
  EXPECT_EQ(GneEncodeBase64("", 0), "");
  char out[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
  int length = -1;
  GneEncodeBase64(reinterpret_cast<const uint8_t*>("ab"), 2, out, &length);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(out[4], 'x') << "no terminator is written";
  EXPECT_EQ(GneBase64Digit(62), '+');
  EXPECT_EQ(GneBase64Digit(63), '/');
  EXPECT_EQ(GneBase64Digit(64), 0);
}

TEST(GneBase64, AgreesWithTheBase64Tool) {
  CANTREL_NEED_TOOL("base64");
  GneSeedRandomWith(5);
  for (size_t n : {1u, 2u, 3u, 4u, 5u, 57u, 58u, 59u, 1000u}) {
    std::string data(n, '\0');
    for (char& c : data) c = static_cast<char>(GneRandomRange(0, 255));
    std::string out;
    ASSERT_EQ(cantrel_test::RunTool({"base64", "-w", "0"}, &out, data), 0);
    EXPECT_EQ(GneEncodeBase64(data.data(), data.size()), out) << n;
  }
}

TEST(GneCompare, NoCaseAndWildcards) {
  EXPECT_EQ(GneCompareNoCase("abcX", "ABCx", 4), 1);
  EXPECT_EQ(GneCompareNoCase("abd", "ABC", 3), 0);
  EXPECT_EQ(GneCompareNoCase("ab", "AB", 0), 1);
  struct Case {
    const char* pattern;
    const char* text;
    int match;
  } cases[] = {{"a?c*", "abcdef", 1}, {"a?c", "abcd", 0}, {"abc", "ab", 0}, {"*", "", 1},
               {"", "", 1},           {"", "a", 0},        {"A", "a", 0},     {"a*x", "abc", 1}};
  for (const Case& c : cases) EXPECT_EQ(GneMatchWildcard(c.pattern, c.text), c.match) << c.pattern << " " << c.text;
}

TEST(GneCompare, ContainsPatternLeavesThePatternAlone) {
  char pattern[] = "mid*";
  EXPECT_EQ(GneContainsPattern("song.mid", pattern), 1);
  EXPECT_STREQ(pattern, "mid*");
  EXPECT_EQ(GneContainsPattern("song.mid", "*x"), 1);
  EXPECT_EQ(GneContainsPattern("", ""), 0);
  EXPECT_EQ(GneContainsPattern("song", "mid"), 0);
}

TEST(GneTokens, CommandLine) {
  char slots[kCommandLineSlots][kCommandLineSlotSize];
  EXPECT_EQ(GneSplitCommandLine("a  \"b c\" d", slots), 3);
  EXPECT_STREQ(slots[0], "a");
  EXPECT_STREQ(slots[1], "");
  EXPECT_STREQ(slots[2], "b c");
  EXPECT_STREQ(slots[3], "d");
  EXPECT_STREQ(slots[4], "");
  // More than sixteen tokens and overlong tokens stay inside the slots.
  std::string many;
  for (int i = 0; i < 40; ++i) many += "t ";
  EXPECT_EQ(GneSplitCommandLine(many.c_str(), slots), 15);
  const std::string longer(1000, 'z');
  EXPECT_EQ(GneSplitCommandLine(("\"" + longer).c_str(), slots), 0);
  EXPECT_EQ(std::strlen(slots[0]), 259u);
  // A double-byte character that does not fit is dropped whole, and nothing after it is kept.
  EXPECT_EQ(GneSplitCommandLine((std::string(258, 'z') + "あb c").c_str(), slots), 1);
  EXPECT_EQ(std::string(slots[0]), std::string(258, 'z'));
  EXPECT_STREQ(slots[1], "c");
  EXPECT_EQ(GneSplitCommandLine((std::string(257, 'z') + "あ").c_str(), slots), 0);
  EXPECT_EQ(std::string(slots[0]), std::string(257, 'z') + "あ");
}

TEST(GneTokens, AssignmentsAndComparisons) {
  char name[32], value[32], right[32], op[3];
  GneSplitAssignment("title<='it''s'", name, value);
  EXPECT_STREQ(name, "title");
  EXPECT_STREQ(value, "its");
  GneSplitAssignment("plain", name, value);
  EXPECT_STREQ(name, "plain");
  EXPECT_STREQ(value, "");
  struct Case {
    const char* text;
    const char* left;
    const char* op;
    const char* right;
  } cases[] = {{"a<b", "a", "<", "b"},   {"a<=b", "a", "<=", "b"}, {"a=b", "a", "=", "b"},
               {"a==b", "a", "==", "b"}, {"a>=1", "a", ">=", "1"}, {"abc", "abc", "", ""}};
  for (const Case& c : cases) {
    GneSplitComparison(c.text, name, right, op);
    EXPECT_STREQ(name, c.left) << c.text;
    EXPECT_STREQ(op, c.op) << c.text;
    EXPECT_STREQ(right, c.right) << c.text;
  }
}

TEST(GneTokens, RatioAndSemicolons) {
  int a = 0, b = 0;
  GneParseRatio("3:4", &a, &b);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 4);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  GneParseRatio("7", &a, &b);
  EXPECT_EQ(a, 7);
  EXPECT_EQ(b, 0);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"GENE0100000B パラメータに誤りがあります。"});

  char parts[4][256];
  EXPECT_EQ(GneSplitBySemicolon("a;;b", parts, 4), 3);
  EXPECT_STREQ(parts[0], "a");
  EXPECT_STREQ(parts[1], "");
  EXPECT_STREQ(parts[2], "b");
  EXPECT_EQ(GneSplitBySemicolon("a;b;", parts, 4), 2);
  EXPECT_EQ(GneSplitBySemicolon("", parts, 4), 0);
  EXPECT_EQ(GneSplitBySemicolon("1;2;3;4;5;6", parts, 4), 4);
  EXPECT_STREQ(parts[3], "4");
  // Long parts are cut without splitting a double-byte character.
  EXPECT_EQ(GneSplitBySemicolon((std::string(254, 'x') + "あ;y").c_str(), parts, 4), 2);
  EXPECT_EQ(std::string(parts[0]), std::string(254, 'x'));
  EXPECT_STREQ(parts[1], "y");
}

TEST(GneNumbers, HexAndDigits) {
  EXPECT_EQ(GneParseHex("7f"), 0x7F);
  EXPECT_EQ(GneParseHex("FF01"), 0xFF01);
  EXPECT_EQ(GneParseHex(""), 0);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_EQ(GneParseHex("1g"), 0x10);
  EXPECT_EQ(cantrel_test::Sink().Texts(), std::vector<std::string>{"GENE01000006 16進数のデータの記述に誤りがあります。"});
  EXPECT_EQ(GneIsDigits("0123"), 1);
  EXPECT_EQ(GneIsDigits(""), 1);
  EXPECT_EQ(GneIsDigits("12a"), 0);
}

TEST(GnePaths, ExtensionsAndNames) {
  EXPECT_EQ(GneGetExtension(std::string("A.Song.MID")), "mid");
  EXPECT_EQ(GneGetExtension(std::string("name")), "");
  // "ア" is 0x83 0x41: its second byte is no capital A to fold.
  EXPECT_EQ(GneGetExtension(std::string("x.アMID")), "アmid");
  char name[] = "name";
  EXPECT_EQ(GneStripExtension(name), -1);
  EXPECT_STREQ(name, "name");
  char song[] = "dir/a.b.mwd";
  EXPECT_EQ(GneStripExtension(song), 7);
  EXPECT_STREQ(song, "dir/a.b");
  char out[260];
  GneGetFileName(out, "C:\\a\\b.mid");
  EXPECT_STREQ(out, "b.mid");
  GneGetFileName(out, "/home/u/x.mid");
  EXPECT_STREQ(out, "x.mid");
  GneGetFileName(out, "plain");
  EXPECT_STREQ(out, "plain");
  // "表" ends in the byte of '\': it stays part of the name.
  GneGetFileName(out, "C:\\dir\\表.mid");
  EXPECT_STREQ(out, "表.mid");
  GneGetFileName(out, "C:\\dir\\ソ表");
  EXPECT_STREQ(out, "ソ表");
}

TEST(GnePaths, Folders) {
  char out[260];
  GneGetFolder(out, "C:\\a\\b.mid");
  EXPECT_STREQ(out, "C:\\a");
  GneGetFolder(out, "C:\\b.mid");
  EXPECT_STREQ(out, "C:");
  GneGetFolder(out, "/home/u/x.mid");
  EXPECT_STREQ(out, "/home/u");
  GneGetFolder(out, "/x.mid");
  EXPECT_STREQ(out, "/");
  GneGetFolder(out, "C:\\表\\x");
  EXPECT_STREQ(out, "C:\\表");
  GneGetFolder(out, "x.mid");
  EXPECT_EQ(out[0], '/') << "the current directory";
}

TEST(GneCp932, FitNeverSplitsADoubleByteCharacter) {
  const std::string text = "aあいb";  // a, two double-byte characters, b: 6 bytes
  ASSERT_EQ(text.size(), 6u);
  struct Case {
    size_t max, fit;
  } cases[] = {{0, 0}, {1, 1}, {2, 1}, {3, 3}, {4, 3}, {5, 5}, {6, 6}, {60, 6}};
  for (const Case& c : cases) {
    EXPECT_EQ(GneFitCp932(text.data(), text.size(), c.max), c.fit) << "max " << c.max;
  }
  // A lead byte at the very end stands alone.
  EXPECT_EQ(GneFitCp932("ab\x82", 3, 2), 2u);
}

TEST(GneCase, LowerCaseIsDbcsAware) {
  char text[] = "ＡＢＺ表ABCｱ";
  GneToLowerCase(text);
  EXPECT_STREQ(text, "ａｂｚ表abcｱ");
  char utf[32] = "ド";
  EXPECT_EQ(GneToUtf8(utf, sizeof utf), 1);
  EXPECT_EQ(std::string(utf), std::string("\xE3\x83\x89"));
  char tiny[3] = "ド";
  EXPECT_EQ(GneToUtf8(tiny, sizeof tiny), 0);
  EXPECT_STREQ(tiny, "ド");
}

TEST(GneMacBinary, HeaderIsRemovedOnlyBeforeTheTag) {
  std::vector<uint8_t> data(1000, 0xAA);
  std::memcpy(&data[128], "MThd", 4);
  int length = 1000;
  EXPECT_EQ(GneSkipMacBinaryHeader(data.data(), "MThd", &length), 1);
  EXPECT_EQ(length, 872);
  EXPECT_EQ(std::memcmp(data.data(), "MThd", 4), 0);
  length = 872;
  EXPECT_EQ(GneSkipMacBinaryHeader(data.data(), "MThd", &length), 0);
  EXPECT_EQ(length, 872);
  std::vector<uint8_t> short_data(100, 0);
  length = 100;
  EXPECT_EQ(GneSkipMacBinaryHeader(short_data.data(), "MThd", &length), 0);
  EXPECT_EQ(GneSkipMacBinaryHeader(short_data.data(), nullptr, &length), 0);
  EXPECT_EQ(length, 100);
}

}  // namespace
