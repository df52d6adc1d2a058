#include <gtest/gtest.h>

#include "song/chord_model.h"

TEST(KvCommon, ParseChord) {
  int root = 0, type = 0;
  CKvCommon::ParseChord(0, "C", "", &root, &type);
  EXPECT_EQ(type, 0);
  CKvCommon::ParseChord(0, "C", " ", &root, &type);
  EXPECT_EQ(type, 0);
  CKvCommon::ParseChord(0, "C", "Maj7", &root, &type);
  EXPECT_EQ(type, -1);
  CKvCommon::ParseChord(10, "Db", "m7", &root, &type);  // Eb major: a flat key
  EXPECT_EQ(root, 1);
  EXPECT_EQ(type, 4);
  CKvCommon::ParseChord(1, "C#", "7", &root, &type);
  EXPECT_EQ(root, 1);
  CKvCommon::ParseChord(1, "H", "7", &root, &type);
  EXPECT_EQ(root, -1);
}

TEST(KvCommon, SplitAndFold) {
  std::string text = "F#m7(b5)";
  std::string root, suffix;
  CKvCommon::SplitChordText(text, &root, &suffix);
  EXPECT_EQ(root, "F#");
  EXPECT_EQ(suffix, "m7");
  text = "Bb\r\nIV";
  CKvCommon::SplitChordText(text, &root, &suffix);
  EXPECT_EQ(root, "Bb");
  EXPECT_EQ(suffix, "");
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"m7", "m7"},  {"sus4(9)", "sus4"}, {"", " "},       {"Maj", " "},
               {"min", "m"},  {"dim9", "m"},       {"79", "7"},     {"9", "add9"},
               {"M79", "M7"}, {"m79", "m7"},       {"69", "add9"}, {"+5", " "}};
  for (const auto& c : cases) {
    std::string s = c.in;
    CKvCommon::NormalizeSuffix(s);
    EXPECT_EQ(s, c.out) << c.in;
  }
  std::string folded = CKvCommon::FoldTensionNine("7(9)");
  CKvCommon::NormalizeSuffix(folded);
  EXPECT_EQ(folded, "7");
  folded = CKvCommon::FoldTensionNine("(9)");
  CKvCommon::NormalizeSuffix(folded);
  EXPECT_EQ(folded, "add9");
  EXPECT_EQ(CKvCommon::FoldTensionNine("Cm7(9)"), "Cm79");
}

TEST(ChordControl, NamesAndTones) {
  CChordControl sus2("Csus2");
  EXPECT_EQ(sus2.type(), -1);
  CChordControl c("C");
  EXPECT_EQ(c.type(), 0);
  CChordControl degree(CChordControl::kNoKey, 7, 4);
  EXPECT_EQ(degree.GetName(), "V7");
  CChordControl named(CChordControl::kNamedKey, 7, 4);
  EXPECT_EQ(named.GetName(), "G7");
  int tones[4];
  ASSERT_EQ(named.GetChordTones(tones), 4);
  EXPECT_EQ(tones[0], 7);
  EXPECT_EQ(tones[1], 11);
  EXPECT_EQ(tones[2], 2);
  EXPECT_EQ(tones[3], 5);
  EXPECT_EQ(CChordControl(-1, 9, 5).GetName(), "VIm7");
  EXPECT_EQ(CChordControl(1, 9, 5).GetName(), "Em7");
  CChordControl nine("D9");
  EXPECT_EQ(nine.root(), 2);
  EXPECT_EQ(nine.GetFourthTone(), 4);
  CChordControl unknown("H7");
  EXPECT_EQ(unknown.GetRoot(), -1);
  EXPECT_EQ(unknown.GetName(), "7");
  EXPECT_EQ(CChordControl::GetTypeName(0), " ");
  EXPECT_EQ(CChordControl::GetTypeCount(), 22);
  std::string suffix;
  int offset = 0;
  CChordControl::GetMirrorChord(17, &suffix, &offset);
  EXPECT_EQ(suffix, "7");
  EXPECT_EQ(offset, 8);
}

TEST(DiatonicChord, Sets) {
  auto names = [](const CDiatonicChord& set) {
    std::vector<std::string> out;
    for (int i = 0; i < set.count(); ++i) out.push_back(set.chord(i)->GetName());
    return out;
  };
  EXPECT_EQ(names(CDiatonicChord(0, 3, 0)),
            (std::vector<std::string>{"C", "Dm", "Em", "F", "G", "Am", "Bdim"}));
  EXPECT_EQ(names(CDiatonicChord(1, 4, -1)),
            (std::vector<std::string>{"Im7", "IIm7b5", "bIIIM7", "IVm7", "Vm7", "bVIM7",
                                      "bVII7"}));
  EXPECT_EQ(CDiatonicChord(12, 3, 0).count(), 10);
  EXPECT_EQ(CDiatonicChord(12, 4, 0).count(), 12);
  EXPECT_EQ(CDiatonicChord(5, 3, 0).count(), 0);
  EXPECT_EQ(CDiatonicChord(5, 3, 0).chord(0), nullptr);
}
