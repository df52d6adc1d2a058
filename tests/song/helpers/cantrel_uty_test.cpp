#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "song/cantrel_uty.h"
#include "util/music_names.h"

namespace {

int KeyRow(const char* name) {
  for (int i = 0; i < kKeySignatureCount; ++i)
    if (std::strcmp(KeySignatureTable[i].name, name) == 0) return i;
  ADD_FAILURE() << name;
  return 0;
}

std::string Spell(const char* key, const char* root) {
  char out[CCantrelUty::kSpellingSize + 8];
  std::memset(out, 'x', sizeof out);
  CCantrelUty::SpellRootForKey(KeyRow(key), out, root);
  EXPECT_EQ(out[std::strlen(out)], '\0');
  // Nothing is written past the 16 bytes.
  for (size_t i = CCantrelUty::kSpellingSize; i < sizeof out; ++i) EXPECT_EQ(out[i], 'x');
  return out;
}

TEST(SpellRootForKey, FlatKeysSpellSharpRootsFlatButKeepTheLeadingTone) {
  struct Case { const char* key; const char* root; const char* want; };
  const Case cases[] = {
      {"F", "A#m", "Bbm"}, {"F", "E", "E"},    {"Dm", "C#", "C#"},   {"G", "A#", "A#"},
      {"F", "C#7", "Db7"}, {"F", "Bb", "Bb"},  {"Bb", "F#m", "Gbm"}, {"Eb", "D", "D"},
      // Minor keys whose tonic is above the root: the distance wraps to 11.
      {"Dm", "C#m7", "C#m7"}, {"Gm", "F#dim", "F#dim"}, {"Cm", "B", "B"},
      {"Fm", "E", "E"},       {"Bbm", "A", "A"},        {"Gm", "G#", "Ab"},
      {"C", "D#", "D#"},      {"Cb", "A#", "A#"},       {"Gb", "F", "F"},
      {"F", "", ""},          {"F", "H#", "H#"},
  };
  for (const Case& c : cases) EXPECT_EQ(Spell(c.key, c.root), c.want) << c.key << " " << c.root;
}

TEST(SpellRootForKey, LongTextsAreCutBetweenCharactersAndBadKeysCopy) {
  EXPECT_EQ(Spell("F", "A#m7-5(9,11,13)add"), "Bbm7-5(9,11,13)");
  // 14 single bytes and a double-byte character: the character does not fit.
  EXPECT_EQ(Spell("C", "C#aaaaaaaaaaaaあ"), "C#aaaaaaaaaaaa");
  char out[CCantrelUty::kSpellingSize];
  CCantrelUty::SpellRootForKey(-1, out, "A#");
  EXPECT_STREQ(out, "A#");
  CCantrelUty::SpellRootForKey(30, out, "A#");
  EXPECT_STREQ(out, "A#");
  CCantrelUty::SpellRootForKey(8, out, nullptr);
  EXPECT_STREQ(out, "");
}

TEST(MapExtendedProgram, GeneralMidiAndNoInstrumentStayAndExtendedNumbersMap) {
  for (int p = 0; p <= 127; ++p) {
    int v = p;
    CCantrelUty::MapExtendedProgram(&v);
    EXPECT_EQ(v, p);
  }
  const int kMap[][2] = {{128, 22}, {129, 22}, {130, 9},  {131, 9},  {132, 40}, {133, 22},
                         {134, 0},  {135, 0},  {136, 0},  {137, 24}, {138, 0},  {139, 61},
                         {140, 22}, {141, 11}, {142, 22}, {143, 4},  {144, 0},  {255, 0},
                         {256, 256}, {257, 0}, {-1, 0},   {-300, 0}};
  for (const auto& m : kMap) {
    int v = m[0];
    CCantrelUty::MapExtendedProgram(&v);
    EXPECT_EQ(v, m[1]) << m[0];
  }
  CCantrelUty::MapExtendedProgram(nullptr);
}

TEST(BlanksToUnderscores, BlanksBecomeUnderscoresAndDoubleByteCharactersStayWhole) {
  struct Case { std::string in, want; };
  const Case cases[] = {
      {"a b  c", "a_b__c"},
      {"ｱ ｲ", "ｱ_ｲ"},                     // single-byte katakana
      {"曲 名", "曲_名"},                  // blank right after a double-byte character
      {"\x81\x40 x", "\x81\x40_x"},        // a trail byte of 0x40 is no blank
      {std::string("\x83\x20 ", 3), std::string("\x83\x20_", 3)},  // trail byte 0x20 kept
      {"", ""},
  };
  for (const Case& c : cases) {
    std::string buf = c.in;
    CCantrelUty::BlanksToUnderscores(&buf[0]);
    EXPECT_EQ(buf, c.want);
  }
  // A lone lead byte at the end: the walk stops at the terminator.
  char tail[] = {'a', ' ', '\x82', '\0', ' ', '\0'};
  CCantrelUty::BlanksToUnderscores(tail);
  EXPECT_EQ(tail[1], '_');
  EXPECT_EQ(tail[4], ' ');
  CCantrelUty::BlanksToUnderscores(nullptr);
}

}  // namespace
