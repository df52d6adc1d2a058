#include "util/gne_pitch.h"

#include <cmath>
#include <cstring>

namespace {

// Truncates toward zero; values beyond int (or NaN) are held at the int range (or 0).
int TruncToInt(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

}  // namespace

int GneCentsToPitchBend(double cents, int r) {
    if (r <= 1) return 0;
    return TruncToInt(std::log(std::pow(2.0, cents / 1200.0)) * 8191 * 6 / std::log(static_cast<double>(r)));
}

double GnePitchBendToCents(int bend, int r) {
    if (r <= 1) return 0.0;
    return std::log(std::exp(std::log(static_cast<double>(r)) * bend / 6 / 8191)) * 12 / std::log(2.0) * 100;
}

int GneCentsToPitchBendLinear(double cents, int range) {
    if (range == 0) return 0;
    return TruncToInt(8191.5 / range / 100 * cents);
}

double GnePitchBendToCentsLinear(int bend, int range) {
    if (range == 0) return 0.0;
    return bend / (8191.5 / range / 100);
}

int GneFineTuningToCents(int value) {
    const int msb = (value >> 8) & 0xFF;
    const int lsb = value & 0xFF;
    return static_cast<int>((msb - 64) * 1.5625 + lsb * 0.01220703125);
}

double GneCentsOfFrequencies(double a, double b) {
    if (b == 0.0 || a / b <= 0.0) return 0.0;
    return 1200.0 * std::log2(a / b);
}

double GneCentsOfRatio(int a, int b) {
    return GneCentsOfFrequencies(static_cast<double>(a), static_cast<double>(b));
}

double GneGeometricMean(double a, double b) {
    if (b == 0.0 || a / b <= 0.0) return 0.0;
    return std::pow(2.0, std::log2(a / b) / 2) * b;
}

double GneShiftFrequencyByCents(double cents, double base) {
    return base * std::pow(2.0, cents / 1200.0);
}

double GneShiftByCents(int cents, int base) {
    return GneShiftFrequencyByCents(static_cast<double>(cents), static_cast<double>(base));
}

void GneBuildNoteFrequencies(double out[128]) {
    for (int n = 0; n < 128; ++n) out[n] = 440.0 * std::pow(2.0, (n - 69) / 12.0);
}

double GneDecibelsToRatio(double decibels) { return std::pow(10.0, decibels / 10.0); }

double GneRatioToDecibels(double ratio) {
    if (ratio <= 0.0) return 0.0;
    return 10.0 * std::log10(ratio);
}

int GneCountOnes(const int* values, int count) {
    if (values == nullptr || count < 1) return 0;
    int ones = 0;
    for (int i = 0; i < count; ++i) {
        if (values[i] == 1) ++ones;
    }
    return ones;
}

void GneScaleToMaximum(double* values, int count, double target) {
    if (values == nullptr || count < 1) return;
    double m = 0.0;
    for (int i = 0; i < count; ++i) {
        if (values[i] > m) m = values[i];
    }
    if (m == 0.0) return;
    for (int i = 0; i < count; ++i) values[i] = values[i] / m * target;
}

int GneSameInstrumentFamily(int a, int b) {
    if (a == -1 && b == -1) return 1;
    if (a == -1 || b == -1) return 0;
    return a / 8 == b / 8 ? 1 : 0;
}

int GneIsSc88Device(const char* device_name) {
    if (device_name == nullptr) return 0;
    static const char* const kMarks[] = {"SC88B", "88B", "SC-88 B", "SC-88B"};
    for (const char* mark : kMarks) {
        if (std::strstr(device_name, mark) != nullptr) return 1;
    }
    return 0;
}

int GneIsNotSc88Device(const char* device_name) { return GneIsSc88Device(device_name) ? 0 : 1; }
