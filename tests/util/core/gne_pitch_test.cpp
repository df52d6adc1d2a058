// Pitch bend, tuning, frequency and level arithmetic.
#include <gtest/gtest.h>

#include "util/gne.h"

namespace {

TEST(GnePitch, BendsAndCents) {
  EXPECT_EQ(GneCentsToPitchBend(100.0, 2), 4095);
  EXPECT_EQ(GneCentsToPitchBend(-100.0, 2), -4095);
  EXPECT_EQ(GneCentsToPitchBend(0.0, 2), 0);
  EXPECT_NEAR(GnePitchBendToCents(4095, 2), 99.99, 0.01);
  EXPECT_EQ(GneCentsToPitchBend(100.0, 1), 0);
  EXPECT_EQ(GnePitchBendToCents(100, 0), 0.0);
  EXPECT_EQ(GneCentsToPitchBendLinear(100.0, 2), 4095);
  EXPECT_NEAR(GnePitchBendToCentsLinear(4095, 2), 99.99, 0.01);
  EXPECT_EQ(GneCentsToPitchBendLinear(100.0, 0), 0);
}

TEST(GnePitch, FineTuning) {
  struct Case {
    int value, cents;
  } cases[] = {{0x4000, 0}, {0x4100, 1}, {0x3F00, -1}, {0x3F7F, 0}, {0x7F7F, 99}, {0x0000, -100}};
  for (const Case& c : cases) EXPECT_EQ(GneFineTuningToCents(c.value), c.cents) << std::hex << c.value;
}

TEST(GnePitch, FrequenciesAndLevels) {
  EXPECT_NEAR(GneCentsOfRatio(2, 1), 1200.0, 1e-9);
  EXPECT_NEAR(GneCentsOfFrequencies(440.0, 220.0), 1200.0, 1e-9);
  EXPECT_EQ(GneCentsOfRatio(1, 0), 0.0);
  EXPECT_NEAR(GneGeometricMean(880.0, 440.0), 622.25, 0.01);
  EXPECT_NEAR(GneShiftByCents(1200, 440), 880.0, 1e-9);
  EXPECT_NEAR(GneShiftFrequencyByCents(-1200.0, 440.0), 220.0, 1e-9);
  double f[128];
  GneBuildNoteFrequencies(f);
  EXPECT_DOUBLE_EQ(f[69], 440.0);
  EXPECT_NEAR(f[60], 261.63, 0.01);
  EXPECT_NEAR(GneDecibelsToRatio(10.0), 10.0, 1e-12);
  EXPECT_NEAR(GneRatioToDecibels(100.0), 20.0, 1e-12);
  EXPECT_EQ(GneRatioToDecibels(0.0), 0.0);
}

TEST(GnePitch, ArraysAndInstruments) {
  const int flags[] = {1, 2, 1, -1, 1};
  EXPECT_EQ(GneCountOnes(flags, 5), 3);
  EXPECT_EQ(GneCountOnes(flags, 0), 0);
  double v[] = {1.0, 4.0, 2.0};
  GneScaleToMaximum(v, 3, 100.0);
  EXPECT_DOUBLE_EQ(v[1], 100.0);
  EXPECT_DOUBLE_EQ(v[0], 25.0);
  double zeros[] = {0.0, -1.0};
  GneScaleToMaximum(zeros, 2, 100.0);
  EXPECT_DOUBLE_EQ(zeros[1], -1.0);
  EXPECT_EQ(GneSameInstrumentFamily(-1, -1), 1);
  EXPECT_EQ(GneSameInstrumentFamily(-1, 0), 0);
  EXPECT_EQ(GneSameInstrumentFamily(24, 31), 1);
  EXPECT_EQ(GneSameInstrumentFamily(31, 32), 0);
  EXPECT_EQ(GneIsSc88Device("Roland SC-88 B Part A"), 1);
  EXPECT_EQ(GneIsSc88Device("SC-88Pro"), 0);
  EXPECT_EQ(GneIsSc88Device("sc88b"), 0);
  EXPECT_EQ(GneIsNotSc88Device("SC-88Pro"), 1);
}

}  // namespace
