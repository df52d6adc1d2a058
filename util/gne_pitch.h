// General library: pitch-bend, tuning, frequency and level arithmetic, and a
// few helpers on arrays and instrument numbers. Pure functions; double
// precision; conversions to int truncate toward zero.
#pragma once

// Bend offsets are signed distances from the centre 8192; r is the bend range
// in semitones. With r = 2, 100 cents give 4095. r of 0 or 1 gives 0.
int GneCentsToPitchBend(double cents, int r);
// The inverse (for r = 2, 4095 gives 99.99 cents); r of 0 or 1 gives 0.
double GnePitchBendToCents(int bend, int r);
// Linear rules for a range in semitones; a range of 0 gives 0.
int GneCentsToPitchBendLinear(double cents, int range);
double GnePitchBendToCentsLinear(int bend, int range);
// RPN fine tuning MSB * 256 + LSB to cents: 0x4000 gives 0, 0x7F7F 99,
// 0x0000 -100.
int GneFineTuningToCents(int value);

// 1200 * log2(a / b); b of 0 or a non-positive ratio gives 0.
double GneCentsOfRatio(int a, int b);
double GneCentsOfFrequencies(double a, double b);
// The frequency halfway in cents between b and a; 0 when the ratio is not
// positive.
double GneGeometricMean(double a, double b);
double GneShiftByCents(int cents, int base);
double GneShiftFrequencyByCents(double cents, double base);
// Equal-tempered frequency of every MIDI note (69 = 440 Hz).
void GneBuildNoteFrequencies(double out[128]);

double GneDecibelsToRatio(double decibels);
// 10 * log10(x); 0 for x of 0 or below.
double GneRatioToDecibels(double ratio);

// Number of entries equal to 1; 0 for a count below 1.
int GneCountOnes(const int* values, int count);
// Every entry becomes entry / max * target; nothing changes when the largest
// entry (from 0) is 0.
void GneScaleToMaximum(double* values, int count, double target);
// 1 when both programs are -1, or neither is and a / 8 == b / 8.
int GneSameInstrumentFamily(int a, int b);
// 1 when the device name contains "SC88B", "88B", "SC-88 B" or "SC-88B".
int GneIsSc88Device(const char* device_name);
int GneIsNotSc88Device(const char* device_name);
