#include <cstring>
#include <set>
#include <string>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/engine_errors.h"
#include "tests/engine/engine_fixture.h"
#include "util/gne.h"

namespace {

class ChordBlockTest : public EngineTest {};

ChordBlock Block(const char* code, int length = 384, const char* bass = nullptr) {
  const uint8_t bytes[6] = {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length & 0xFF),
                            static_cast<uint8_t>(code[0]), static_cast<uint8_t>(code[1]),
                            static_cast<uint8_t>(code[2]), static_cast<uint8_t>(code[3])};
  return ChordBlock(bytes, bass);
}

TEST_F(ChordBlockTest, CMajorFromStoredEntry) {
  std::set<int> thirds;
  std::set<int> sevenths;
  for (uint32_t seed = 1; seed < 200; ++seed) {
    GneSeedRandomWith(seed);
    const ChordBlock b = Block("CMPo", 0x0180);
    EXPECT_EQ(b.length, 384);
    EXPECT_EQ(b.root, 60);
    EXPECT_EQ(b.bass, 36);
    EXPECT_EQ(b.fifth, 67);
    thirds.insert(b.third);
    sevenths.insert(b.seventh);
  }
  EXPECT_EQ(thirds, (std::set<int>{64, 76}));
  EXPECT_EQ(sevenths, (std::set<int>{60, 72}));
  EXPECT_EQ(BoxCount(), 0u);
}

TEST_F(ChordBlockTest, TonesStayInWindowForEveryRootAndQuality) {
  const char roots[] = "CdDeEFgGaAbB";
  const char* qualities[] = {"MPo", "mPs", "MPS", "4Ps", "MA9", "md6", "mds", "MP9", "mP6"};
  for (uint32_t seed = 1; seed < 20; ++seed) {
    GneSeedRandomWith(seed);
    for (int r = 0; r < 12; ++r) {
      for (const char* q : qualities) {
        const char code[4] = {roots[r], q[0], q[1], q[2]};
        const ChordBlock b = Block(code);
        EXPECT_EQ(b.root, 60 + r);
        EXPECT_GE(b.third, 60);
        EXPECT_LE(b.third, 83);
        EXPECT_GE(b.seventh, 60);
        EXPECT_LE(b.seventh, 83);
        if (q[2] == '9' && (roots[r] == 'b' || roots[r] == 'B')) {
          EXPECT_EQ(b.seventh, b.root + 2);
        }
      }
    }
  }
}

TEST_F(ChordBlockTest, BassTextAndFixedBass) {
  EXPECT_EQ(Block("DMPo", 384, "12").bass, 50);  // 38 + 12
  CurrentStyle().fixed_bass = kFixedBassSetting;
  FixedBassPitch() = 43;
  EXPECT_EQ(Block("DMPo", 384, "").bass, 43);
  EXPECT_EQ(Block("DMPo", 384, "05").bass, 48);
}

TEST_F(ChordBlockTest, UnknownRootMeansNoChordAndEnds) {
  // "N.C." and "UnKnown" must not draw octaves forever.
  const char* codes[] = {"N.C.", "UnKn", "NMPs", "xmPS"};
  for (const char* code : codes) {
    const ChordBlock b = Block(code);
    EXPECT_EQ(b.root, 0) << code;
    EXPECT_EQ(b.bass, 0) << code;
    EXPECT_EQ(b.third, 0) << code;
    EXPECT_EQ(b.seventh, 0) << code;
  }
  EXPECT_EQ(ErrorCount(engine_error::kRootNote), 2);  // N is a known letter
}

TEST_F(ChordBlockTest, BadQualityLettersReportAndGoOn) {
  const ChordBlock b = Block("CxPo");
  EXPECT_EQ(ErrorCount(engine_error::kThirdNote), 1);
  EXPECT_EQ(b.third, 0);
  const ChordBlock c = Block("CMxo");
  EXPECT_EQ(ErrorCount(engine_error::kFifthNote), 1);
  EXPECT_EQ(c.fifth, 60);
  const ChordBlock d = Block("CMPx");
  EXPECT_EQ(ErrorCount(engine_error::kSeventhNote), 1);
  EXPECT_EQ(d.seventh, 60);  // interval 0
  EXPECT_EQ(Block("CoCd").third, 0);
  EXPECT_EQ(Block("CoCd").fifth, 0);
}

TEST_F(ChordBlockTest, CustomGridAccompanimentKeepsThirdLow) {
  CurrentStyle().accompaniment = kCustomGridAccompaniment;
  for (uint32_t seed = 1; seed < 30; ++seed) {
    GneSeedRandomWith(seed);
    EXPECT_EQ(Block("AmPo").third, 72);
  }
}

TEST_F(ChordBlockTest, FitTonesToScaleMovesOntoChordTones) {
  CurrentStyle().fit_chord_tones = 1;
  const ChordBlock b = Block("CMPd");
  for (int tone : {int(b.root), int(b.bass), int(b.third), int(b.fifth)}) {
    const int pc = tone % 12;
    EXPECT_TRUE(pc == 0 || pc == 4 || pc == 7) << tone;
  }
  EXPECT_EQ(b.seventh, 0);  // 0 is C, a chord tone: stays
}

TEST_F(ChordBlockTest, NearestChordToneNeedsNoSleep) {
  GneSeedRandomWith(3);
  ChordBlock b = Block("CMPo");
  b.third = 64;
  b.seventh = 72;
  const auto before = cantrel_test::Clock().Now();
  EXPECT_EQ(b.NearestChordTone(61), 60);
  EXPECT_EQ(b.NearestChordTone(66), 67);
  EXPECT_EQ(b.NearestChordTone(70), 72);
  EXPECT_EQ(cantrel_test::Clock().Now(), before);
}

// A tone stored as 0 is one the chord lacks: C is no chord tone of it, and the
// nearest-tone search looks only at the tones the chord has.
TEST_F(ChordBlockTest, MissingTonesAreNotC) {
  struct Case {
    const char* name;
    int root, bass, third, fifth, seventh;
    int pitch;
    bool chord_tone;
    int nearest;
  };
  const Case cases[] = {
      {"D minor triad without seventh", 62, 38, 65, 69, 0, 60, false, 62},
      {"D minor triad, its own root", 62, 38, 65, 69, 0, 74, true, 74},
      {"no-chord block", 0, 0, 0, 0, 0, 60, false, 60},
      {"no-chord block, other pitch", 0, 0, 0, 0, 0, 61, false, 61},
      {"C triad, C still a tone", 60, 36, 64, 67, 0, 72, true, 72},
      {"E triad without fifth", 64, 40, 68, 0, 0, 61, false, 64},
  };
  for (const Case& c : cases) {
    ChordBlock b;
    b.root = static_cast<uint8_t>(c.root);
    b.bass = static_cast<uint8_t>(c.bass);
    b.third = static_cast<uint8_t>(c.third);
    b.fifth = static_cast<uint8_t>(c.fifth);
    b.seventh = static_cast<uint8_t>(c.seventh);
    EXPECT_EQ(b.IsChordTone(c.pitch), c.chord_tone) << c.name;
    EXPECT_EQ(b.NearestChordTone(c.pitch), c.nearest) << c.name;
  }
}

TEST_F(ChordBlockTest, WeightedToneSearches) {
  const char weights[] = "CMPo905095090505";
  EXPECT_EQ(ChordBlock::NextStrongTone(weights, 61), 64);
  EXPECT_EQ(ChordBlock::NextStrongTone(weights, 124), 124);
  EXPECT_EQ(ChordBlock::NextStrongTone("xxxx900000000000", 121), 0);  // reaches 128
  EXPECT_EQ(ChordBlock::SnapUpToChordTone(weights, 60), 60);
  EXPECT_EQ(ChordBlock::SnapUpToChordTone(weights, 65), 67);
  EXPECT_EQ(ChordBlock::SnapUpToChordTone("xxxx000000000000", 65), 77);
  ChordBlock b = Block("CMPs");
  EXPECT_EQ(b.ToneWeight(64), 9);
  EXPECT_EQ(b.ToneWeight(70), 3);  // the seventh of C7 in C major: 5 + 2 - 4
  EXPECT_TRUE(b.IsChordTone(70));
  EXPECT_FALSE(b.IsTriadTone(70));
  EXPECT_TRUE(b.IsSeventh(46));
}

TEST_F(ChordBlockTest, TriadSteps) {
  ChordBlock b = Block("CMPd");
  b.third = 64;
  int p = 62;
  b.StepToTriadTone(&p, +1);
  EXPECT_EQ(p, 64);
  p = 62;
  b.StepToTriadTone(&p, -1);
  EXPECT_EQ(p, 60);
  p = 62;
  b.NearestTriadTone(&p, 1);
  EXPECT_EQ(p, 64);
  p = 62;
  b.NearestTriadTone(&p, 0);
  EXPECT_EQ(p, 60);
  p = 1;
  b.StepToTriadTone(&p, -1);
  EXPECT_EQ(p, 0);  // left the range
  ChordBlock none = Block("NMPo");
  p = 62;
  none.StepToChordTone(&p, 1);
  EXPECT_EQ(p, 0);
}

TEST_F(ChordBlockTest, TransposeKeepsEmptyTonesEmpty) {
  ChordBlock b = Block("BMPd");
  b.TransposeUp();
  EXPECT_EQ(b.chord_code[0], 'C');
  EXPECT_EQ(b.root, 72);
  EXPECT_EQ(b.seventh, 0);
  b.TransposeDown();
  b.TransposeDown();
  EXPECT_EQ(b.chord_code[0], 'b');
  EXPECT_EQ(b.root, 70);
  EXPECT_EQ(b.seventh, 0);
  EXPECT_TRUE(Block("GMPs").IsDominantSeventh());
  EXPECT_FALSE(Block("GMPS").IsDominantSeventh());
}

TEST_F(ChordBlockTest, RootLetters) {
  const std::string up = "CdDeEFgGaAbB";
  for (size_t i = 0; i < up.size(); ++i) {
    EXPECT_EQ(RootLetterUp(up[i]), up[(i + 1) % 12]);
    EXPECT_EQ(RootLetterDown(up[(i + 1) % 12]), up[i]);
    EXPECT_EQ(RootPitchClass(up[i]), static_cast<int>(i));
  }
  EXPECT_EQ(RootLetterUp('x'), 'x');
  EXPECT_EQ(RootPitchClass('N'), 0);
  EXPECT_EQ(RootInterval('C', 'G'), 5);
  EXPECT_EQ(RootInterval('G', 'C'), 7);
  int counter = 0;
  EXPECT_EQ(StepRootInterval('G', 'C', &counter), 7);
  EXPECT_EQ(counter, 1);
  counter = 3;  // c - n = 1 - 3 = -2: the counter grows first
  EXPECT_EQ(StepRootInterval('d', 'C', &counter), (1 - 4 + 12) % 12);
  EXPECT_EQ(counter, 5);
}

TEST_F(ChordBlockTest, FoldIntoRange) {
  uint8_t p = 90;
  FoldIntoRange(&p, 48, 72);
  EXPECT_EQ(p, 66);
  p = 20;
  FoldIntoRange(&p, 48, 72);
  EXPECT_EQ(p, 56);
  p = 100;
  FoldIntoRange(&p, -5, -1);  // impossible range: ends, stays a byte
  EXPECT_LT(p, 12);
}

}  // namespace
