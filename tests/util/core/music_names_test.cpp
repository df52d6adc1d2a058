// The music name tables and their lookups.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/core/encoding.h"
#include "util/music_names.h"

namespace {

TEST(MusicNames, KeyTableIsConsistent) {
  for (int i = 0; i < kKeySignatureCount; ++i) {
    const KeySignature& k = KeySignatureTable[i];
    EXPECT_EQ(k.mode, i < 15 ? 0 : 1) << i;
    // Each key's tonic follows from its accidentals along the circle of fifths.
    const int major_tonic = ((k.accidentals * 7) % 12 + 12) % 12;
    EXPECT_EQ(k.tonic, k.mode == 0 ? major_tonic : (major_tonic + 9) % 12) << k.name;
    EXPECT_EQ(IsFlatKey(i), k.accidentals < 0) << i;
  }
  EXPECT_STREQ(KeySignatureTable[14].name, "Cb");
  EXPECT_STREQ(KeySignatureTable[29].name, "Abm");
}

TEST(MusicNames, TextsAreCp932) {
  auto ok = [](const char* text) {
    std::string out;
    return plat::TryCp932ToUtf8(text, out);
  };
  for (const ChordSuffix& s : ChordSuffixTable) EXPECT_TRUE(ok(s.reading)) << s.suffix;
  for (const OctaveRange& o : OctaveRangeTable) EXPECT_TRUE(ok(o.label));
  for (const NoteValue& v : NoteValueTable) EXPECT_TRUE(ok(v.label));
  for (const PitchClassName& p : PitchClassNameTable) EXPECT_TRUE(ok(p.solfege_sharp) && ok(p.solfege_flat));
  EXPECT_STREQ(ChordSuffixTable[0].suffix, " ");
  EXPECT_STREQ(ChordSuffixTable[21].reading, "サスツ―");
  EXPECT_STREQ(ChordSuffixTable[17].engine_code, ChordSuffixTable[20].engine_code);
}

TEST(MusicNames, SplitPitch) {
  int octave_row = 99, pc_row = 99;
  SplitPitch(60, &octave_row, &pc_row);
  EXPECT_EQ(octave_row, 2);
  EXPECT_STREQ(OctaveRangeTable[octave_row].label, "中音域");
  EXPECT_EQ(pc_row, 0);
  SplitPitch(-4, &octave_row, &pc_row);
  EXPECT_EQ(octave_row, 5);
  EXPECT_EQ(pc_row, 0);
  SplitPitch(-2, &octave_row, &pc_row);
  EXPECT_EQ(octave_row, 0);
  octave_row = 77;
  SplitPitch(30, &octave_row, &pc_row);
  EXPECT_EQ(octave_row, 77);
  EXPECT_EQ(pc_row, 6);
}

TEST(MusicNames, PitchFromRowsAndNoteValues) {
  EXPECT_EQ(PitchFromRows(3, 9), 81);
  EXPECT_EQ(PitchFromRows(0, 5), -1);
  EXPECT_EQ(PitchFromRows(5, 5), -4);
  EXPECT_EQ(PitchFromRows(1, 0), 48);
  EXPECT_EQ(NoteValueIndex(2.5), 0);
  EXPECT_EQ(NoteValueIndex(3.5), 5);
  EXPECT_EQ(NoteValueIndex(8), 10);
}

TEST(MusicNames, KeysByNameAndDistance) {
  EXPECT_EQ(KeyIndexFromName("Ebm"), 28);
  EXPECT_EQ(KeyIndexFromName("H"), 0);
  EXPECT_EQ(KeyDistance(15, 0), -12);
  EXPECT_EQ(KeyDistance(0, 15), 12);
  EXPECT_EQ(KeyDistance(5, 0), -11);
}

TEST(MusicNames, ChordRoots) {
  struct Case {
    const char* chord;
    int pc;
  } cases[] = {{"Bbm7", 10}, {"A#", 10}, {"H", -1}, {"C 7", 0}, {"Db", 1}, {"Cb", -1},
               {"Fb", -1},   {"E#", -1}, {"B#", -1}, {"Gm", 7},  {"", -1}};
  for (const Case& c : cases) EXPECT_EQ(ChordRootIndex(c.chord), c.pc) << c.chord;
}

TEST(MusicNames, NoteTexts) {
  EXPECT_EQ(PitchFromNoteText("休"), -1);
  EXPECT_EQ(PitchFromNoteText("ﾚ#"), 63);
  EXPECT_EQ(PitchFromNoteText("↓ ﾐ"), 52);
  EXPECT_EQ(PitchFromNoteText("↑ ｿ"), 79);
  EXPECT_EQ(PitchFromNoteText("  ﾗ"), 69);
  EXPECT_EQ(PitchFromNoteText("xyz"), -1);
}

TEST(MusicNames, AppendedNames) {
  char text[32] = "";
  AppendSolfegeName(0, 61, text);
  AppendSolfegeName(9, 61, text);
  EXPECT_STREQ(text, "ど#れb");
  text[0] = 0;
  AppendDegreeDigit(0, 70, text);
  AppendDegreeDigit(12, 70, text);
  EXPECT_STREQ(text, "６#７b");
}

TEST(MusicNames, SlashBass) {
  struct Case {
    const char* chord;
    int interval, key;
    const char* out;
  } cases[] = {
      {"D ", 4, 0, "D /Gb"},     {"C#m", 4, 0, "C#m/F"},   {"C#m", 3, 0, "C#m/E"},
      {"C#", 1, 0, "C#/D"},      {"C#", 5, 0, "C#/F#"},    {"C#", 5, 8, "C#/Gb"},
      {"Bb7", 2, 0, "Bb7/C"},    {"X", 1, 0, "X/C#"},      {"X", 1, 9, "X/Db"},
      {"G ", 0, 0, "G "},
  };
  for (const Case& c : cases) {
    char text[32];
    std::strcpy(text, c.chord);
    AppendSlashBass(text, c.interval, c.key);
    EXPECT_STREQ(text, c.out) << c.chord << " " << c.interval;
  }
}

}  // namespace
