// Variable-length numbers, tempo and metre arithmetic, note, key and interval names.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/music_names.h"

namespace {

TEST(GneRandom, SeededWithOneDrawsTheClassicSequence) {
  GneSeedRandomWith(1);
  EXPECT_EQ(GneRandomRange(0, 32767), 41);
  EXPECT_EQ(GneRandomRange(0, 32767), 18467);
  EXPECT_EQ(GneRandomRange(0, 32767), 6334);
}

TEST(GneRandom, EqualBoundsDoNotAdvanceAndBoundsMayBeSwapped) {
  GneSeedRandomWith(7);
  const uint32_t before = GneGetRandomState();
  EXPECT_EQ(GneRandomRange(5, 5), 5);
  EXPECT_EQ(GneGetRandomState(), before);
  const int a = GneRandomRange(9, 3);
  GneSetRandomState(before);
  EXPECT_EQ(GneRandomRange(3, 9), a);
  for (int i = 0; i < 1000; ++i) {
    const int v = GneRandomRange(9, 3);
    ASSERT_GE(v, 3);
    ASSERT_LE(v, 9);
  }
}

struct VarLenCase {
  int64_t value;
  std::vector<uint8_t> bytes;
};

TEST(GneVarLen, WritesTheStandardForm) {
  const VarLenCase cases[] = {
      {0, {0x00}},
      {127, {0x7F}},
      {128, {0x81, 0x00}},
      {16383, {0xFF, 0x7F}},
      {16384, {0x81, 0x80, 0x00}},
      {0x1FFFFF, {0xFF, 0xFF, 0x7F}},
      // Beyond three bytes the standard four-byte form follows.
      {0x200000, {0x81, 0x80, 0x80, 0x00}},
      {0x0FFFFFFF, {0xFF, 0xFF, 0xFF, 0x7F}},
      // Out of range: clamped, never more than four bytes.
      {0x10000000, {0xFF, 0xFF, 0xFF, 0x7F}},
      {-5, {0x00}},
  };
  for (const VarLenCase& c : cases) {
    uint8_t out[8] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
    const int n = GneWriteVarLen(c.value, out);
    EXPECT_EQ(std::vector<uint8_t>(out, out + n), c.bytes) << c.value;
    EXPECT_EQ(out[n], 0xEE) << "wrote past its length for " << c.value;
    uint32_t back = 0;
    EXPECT_EQ(GneReadVarLen(out, static_cast<size_t>(n), &back), n);
    EXPECT_EQ(static_cast<int64_t>(back), c.value < 0 ? 0 : (c.value > 0x0FFFFFFF ? 0x0FFFFFFF : c.value));
  }
}

TEST(GneVarLen, ReaderStopsAtTheEndOfItsInput) {
  const uint8_t unterminated[] = {0x81, 0x80};
  uint32_t v = 99;
  EXPECT_EQ(GneReadVarLen(unterminated, 2, &v), 0);
  EXPECT_EQ(v, 99u);
}

TEST(GneBytes, ByteOrderHelpers) {
  uint8_t b[4];
  GneWriteBigEndian32(b, 0x12345678u);
  EXPECT_EQ(b[0], 0x12);
  EXPECT_EQ(b[3], 0x78);
  GneWriteLittleEndian32(b, 0x12345678u);
  EXPECT_EQ(b[0], 0x78);
  EXPECT_EQ(b[3], 0x12);
  const uint8_t t[] = {0x07, 0xA1, 0x20};
  EXPECT_EQ(GneReadBigEndian24(t), 500000);
  const int32_t v = -123456;
  EXPECT_EQ(GneReadInt32(reinterpret_cast<const uint8_t*>(&v)), -123456);
}

TEST(GneTempo, ConversionsTruncateLikeTheIntegerRules) {
  EXPECT_EQ(GneBpmToTempo(120), 500000);
  EXPECT_EQ(GneBpmToTempo(110), 545000);
  EXPECT_EQ(GneBpmToTempo(7), 8571000);
  EXPECT_EQ(GneTempoToBpm(500000), 120);
  EXPECT_EQ(GneTempoToBpm(545454), 110);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
}

TEST(GneTempo, ZeroArgumentsShowTheirBoxAndDoNotDivideByZero) {
  EXPECT_EQ(GneTempoToBpm(999), 120);
  EXPECT_EQ(GneBpmToTempo(0), 500000);
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "GENE01000012 BPM変換でエラーが発生しました。");
  EXPECT_EQ(texts[1], "GENE01000013 テンポ変換でエラーが発生しました。");
}

TEST(GneTime, TicksSecondsAndBeats) {
  EXPECT_DOUBLE_EQ(GneTicksToSeconds(0, 480, 500000), 0.0);
  EXPECT_DOUBLE_EQ(GneTicksToSeconds(960, 480, 500000), 1.0);
  EXPECT_DOUBLE_EQ(GneTicksToSeconds(10, 0, 500000), 0.0);
  EXPECT_EQ(GneSecondsToTicks(1.0, 480, 500000), 960);
  EXPECT_EQ(GneSecondsToTicks(0.0, 480, 500000), 0);
  EXPECT_EQ(GneSecondsToTicks(1.0, 480, 0), 0);
  EXPECT_EQ(GneBeatsToSeconds(8, 120), 4);
  EXPECT_EQ(GneBeatsToSeconds(3, 120), 1);
  // Results beyond int are held at its range instead of overflowing.
  EXPECT_EQ(GneSecondsToTicks(1e12, 960, 1), 2147483647);
  EXPECT_EQ(GneSecondsToTicks(-1e12, 960, 1), -2147483647 - 1);
}

TEST(GneMetre, QuartersPerBar) {
  EXPECT_DOUBLE_EQ(GneQuartersPerBar(3 * 256 + 4), 3.0);
  EXPECT_DOUBLE_EQ(GneQuartersPerBar(6 * 256 + 8), 3.0);
  EXPECT_DOUBLE_EQ(GneQuartersPerBar(7 * 256 + 8), 3.5);
  EXPECT_EQ(cantrel_test::Sink().Count(), 0u);
  EXPECT_DOUBLE_EQ(GneQuartersPerBar(3 * 256 + 1), 12.0);
  EXPECT_DOUBLE_EQ(GneQuartersPerBar(3 * 256 + 0), 12.0);
  const auto texts = cantrel_test::Sink().Texts();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_EQ(texts[0], "GENE0100000E 拍子にエラーがあります。");
}

TEST(GneMetre, TimeSignatureRecords) {
  struct Case {
    int numerator, denominator;
    uint8_t power;
  } cases[] = {{6, 8, 3}, {4, 4, 2}, {3, 2, 1}, {5, 16, 4}, {3, 6, 2}, {4, 1, 0}, {4, 0, 0}};
  for (const Case& c : cases) {
    uint8_t rec[4] = {0};
    int len = 0;
    GneMakeTimeSignature(c.numerator * 256 + c.denominator, rec, &len);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(rec[0], c.numerator);
    EXPECT_EQ(rec[1], c.power) << c.numerator << "/" << c.denominator;
    EXPECT_EQ(rec[2], 0x12);
    EXPECT_EQ(rec[3], 0x08);
  }
}

// Writes a one-track SMF whose deltas and time signatures come from the library and has an
// outside reader list them.
TEST(GneSmf, OutsideReaderAgreesOnDeltasAndTimeSignatures) {
  const std::vector<uint32_t> deltas = {0, 127, 128, 16383, 16384, 0x1FFFFF, 0x200000, 0x0FFFFFFF};
  std::vector<uint8_t> track;
  auto put_delta = [&](uint32_t d) {
    uint8_t b[4];
    const int n = GneWriteVarLen(d, b);
    track.insert(track.end(), b, b + n);
  };
  const int metres[] = {6 * 256 + 8, 3 * 256 + 4, 7 * 256 + 8};
  for (int metre : metres) {
    put_delta(0);
    uint8_t rec[4];
    int len = 0;
    GneMakeTimeSignature(metre, rec, &len);
    track.insert(track.end(), {0xFF, 0x58, static_cast<uint8_t>(len)});
    track.insert(track.end(), rec, rec + len);
  }
  for (uint32_t d : deltas) {
    put_delta(d);
    track.insert(track.end(), {0x90, 60, 100});
  }
  put_delta(0);
  track.insert(track.end(), {0xFF, 0x2F, 0x00});
  std::vector<uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  uint8_t size[4];
  GneWriteBigEndian32(size, static_cast<uint32_t>(track.size()));
  file.insert(file.end(), size, size + 4);
  file.insert(file.end(), track.begin(), track.end());
  const auto path = cantrel_test::TempDir() / "vl.mid";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                              static_cast<std::streamsize>(file.size()));

  CANTREL_NEED_MIDO();
  const std::string py = cantrel_test::PythonWithMido();
  std::string out;
  const std::string script =
      "import mido,sys\n"
      "for m in mido.MidiFile(sys.argv[1]).tracks[0]:\n"
      "  if m.type=='time_signature': print('ts',m.numerator,m.denominator,m.clocks_per_click,m.notated_32nd_notes_per_beat)\n"
      "  elif m.type=='note_on': print('d',m.time)\n";
  ASSERT_EQ(cantrel_test::RunTool({py, "-c", script, path.string()}, &out), 0);
  std::string expected = "ts 6 8 18 8\nts 3 4 18 8\nts 7 8 18 8\n";
  for (uint32_t d : deltas) expected += "d " + std::to_string(d) + "\n";
  EXPECT_EQ(out, expected);
}

TEST(GneNames, SharpAndFlatSpelling) {
  EXPECT_EQ(GneSharpToFlat(std::string("A#m7")), "Bbm7");
  EXPECT_EQ(GneSharpToFlat(std::string("E#")), "E#");
  EXPECT_EQ(GneFlatToSharp(std::string("Cb")), "Cb");
  EXPECT_EQ(GneFlatToSharp(std::string("Dbsus4")), "C#sus4");
  char out[16];
  GneSharpToFlat("G#", out);
  EXPECT_STREQ(out, "Ab");
  GneFlatToSharp("Bb7", out);
  EXPECT_STREQ(out, "A#7");
}

TEST(GneNames, PitchClassFromName) {
  int pc = 0;
  GnePitchClassFromName(&pc, "Db", 0);
  EXPECT_EQ(pc, 1);
  GnePitchClassFromName(&pc, "C#", 1);
  EXPECT_EQ(pc, 1);
  GnePitchClassFromName(&pc, "B", 1);
  EXPECT_EQ(pc, 11);
  GnePitchClassFromName(&pc, "Cm", 0);
  EXPECT_EQ(pc, -1);
}

TEST(GneNames, NoteSolfegeAndNoteNumbers) {
  EXPECT_EQ(GneNoteName(61), "C#");
  EXPECT_EQ(GneNoteName(-1), "B");
  EXPECT_EQ(GneSolfegeName(63), "レ #");
  EXPECT_EQ(GneSolfegeName(65), "ファ");
  char out[8];
  GneSolfegeName(71, out);
  EXPECT_STREQ(out, "シ");
  EXPECT_EQ(GnePitchFromNoteName(0, "C4"), 72);
  EXPECT_EQ(GnePitchFromNoteName(1, "C4"), 60);
  EXPECT_EQ(GnePitchFromNoteName(1, "A#3"), 58);
  EXPECT_EQ(GnePitchFromNoteName(1, "Bb3"), 58);
  EXPECT_EQ(GnePitchFromNoteName(0, "X2"), 48);
  // Octaves beyond the MIDI range are held at its ends instead of overflowing.
  const struct {
    const char* name;
    int mode;
    int pitch;
  } kBounded[] = {
      {"C999999999", 1, 9 * 12 + 12},         {"C99999999999999999999", 0, 9 * 12 + 24},
      {"G#-999999999", 1, 8 - 2 * 12 + 12},   {"C-1", 1, 0},
      {"G9", 1, 127},                          {"Cb-2", 0, -1},
      {"A", 1, 9 + 12},                        {"D 3", 1, 2 + 3 * 12 + 12},
  };
  for (const auto& c : kBounded) EXPECT_EQ(GnePitchFromNoteName(c.mode, c.name), c.pitch) << c.name;
}

TEST(GneKeys, NamesTonicsAndAccidentals) {
  char name[8];
  GneKeySignatureName(name, 0, -2);
  EXPECT_STREQ(name, "Bb");
  GneKeySignatureName(name, 1, -6);
  EXPECT_STREQ(name, "Ebm");
  GneKeySignatureName(name, 1, 9);
  EXPECT_STREQ(name, "");
  EXPECT_EQ(GneKeyIndexOfTonic(7), 1);
  EXPECT_EQ(GneKeyIndexOfTonic(1), 7);
  EXPECT_EQ(GneKeyIndexOfTonic(12), 30);

  int letters[7] = {0, 0, 0, 0, 0, 0, 0};
  GneMarkKeyAccidentals(2, letters);  // D major: F# C#
  EXPECT_EQ(letters[3], 1);
  EXPECT_EQ(letters[0], 1);
  EXPECT_EQ(letters[4], 0);
  int flats[7] = {5, 5, 5, 5, 5, 5, 5};
  GneMarkKeyAccidentals(10, flats);  // Eb major: Bb Eb Ab
  EXPECT_EQ(flats[6], -1);
  EXPECT_EQ(flats[2], -1);
  EXPECT_EQ(flats[5], -1);
  EXPECT_EQ(flats[1], 5);
}

TEST(GneKeys, DiatonicScaleAndDegrees) {
  EXPECT_EQ(GneIsDiatonic(0, 64), 1);
  EXPECT_EQ(GneIsDiatonic(0, 61), 0);
  EXPECT_EQ(GneIsDiatonic(15, 67), 1);  // A minor uses C major
  EXPECT_EQ(GneIsDiatonic(15, 68), 0);
  EXPECT_EQ(GneIsScaleTone(9, 1, 68), 1);  // G# in A minor (harmonic)
  EXPECT_EQ(GneIsScaleTone(9, 1, 70), 0);
  EXPECT_EQ(GneIsScaleTone(0, 0, 66), 0);
  char out[16] = "untouched";
  GneDegreeChordName(out, "Dm7", 0);
  EXPECT_STREQ(out, "IIm7");
  GneDegreeChordName(out, "Bb", 8);
  EXPECT_STREQ(out, "IV");
  GneDegreeChordName(out, "C#m", 0);
  EXPECT_STREQ(out, "bIIm");
  strcpy(out, "untouched");
  GneDegreeChordName(out, "Hm", 0);
  EXPECT_STREQ(out, "untouched");
}

TEST(GneIntervals, DistancesAndNames) {
  EXPECT_EQ(GnePitchClassDistance(0, 7), 5);
  EXPECT_EQ(GnePitchClassDistance(60, 66), 6);
  EXPECT_EQ(GnePitchClassDistance(11, 0), 1);
  EXPECT_EQ(GneFormatIntervalName(-7), "完全５度");
  EXPECT_EQ(GneFormatIntervalName(24), "2オクターブと完全１度");
  EXPECT_EQ(GneFormatIntervalName(14), "1オクターブと長２度");
  char out[64];
  GneFormatIntervalName(6, out);
  EXPECT_STREQ(out, "増４度");
  EXPECT_EQ(GneFormatMotionName(0), "同音進行");
  EXPECT_EQ(GneFormatMotionName(-2), "順次進行");
  EXPECT_EQ(GneFormatMotionName(3), "跳躍進行");
}

TEST(GnePositions, BarBeatTickAndMinutes) {
  char out[48];
  GneFormatBarBeatTick(out, 0, 0, 0);
  EXPECT_STREQ(out, "0001:01:000");
  GneFormatBarBeatTick(out, 11, 2, 95);
  EXPECT_STREQ(out, "0012:03:095");
  int bar = -1, beat = -1, tick = -1;
  GneParseBarBeatTick("0012:03:095", &bar, &beat, &tick);
  EXPECT_EQ(bar, 12);
  EXPECT_EQ(beat, 3);
  EXPECT_EQ(tick, 95);
  GneParseBarBeatTick("07", &bar, &beat, &tick);
  EXPECT_EQ(bar, 7);
  EXPECT_EQ(beat, 0);
  EXPECT_EQ(tick, 0);
  GneFormatMinSecMs(out, 61.5);
  EXPECT_STREQ(out, "01:01:500");
  GneFormatMinSecMs(out, 0.005);
  EXPECT_STREQ(out, "00:00:05");
  GneFormatMinSecMs(out, 125.125);
  EXPECT_STREQ(out, "02:05:125");
}

}  // namespace
