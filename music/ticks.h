// Units of musical time in the engine's resolution: 96 ticks to a quarter note. Every part builder,
// pattern and drum writer counts in these; a bar of 4/4 is 384 ticks.
#pragma once

namespace ticks {

constexpr int kQuarter = 96;               // ticks per quarter note (the file's division)
constexpr int kBeat = kQuarter;            // the engine's beat is a quarter in every metre
constexpr int kHalf = 2 * kQuarter;        // 192
constexpr int kWhole = 4 * kQuarter;       // 384
constexpr int kEighth = kQuarter / 2;      // 48
constexpr int kSixteenth = kQuarter / 4;   // 24
constexpr int kTripletEighth = kQuarter / 3;  // 32: three to a quarter
constexpr int kBar = kWhole;               // a bar of 4/4

// The ticks of one bar of numerator/denominator (3/4: 288, 6/8: 288, 2/2: 384). A denominator
// finer than the resolution (or zero) counts as a quarter.
constexpr int Bar(int numerator, int denominator) {
  return denominator > 0 && kWhole % denominator == 0 ? numerator * (kWhole / denominator)
                                                       : numerator * kQuarter;
}

// The bar of a style's metre code: 0 4/4, 1 3/4, 2 7/8; any other code counts as 4/4.
constexpr int BarOfMetre(int metre) {
  return metre == 1 ? Bar(3, 4) : metre == 2 ? Bar(7, 8) : Bar(4, 4);
}

static_assert(Bar(4, 4) == kBar && Bar(3, 4) == 288 && Bar(6, 8) == 288, "bar lengths");
static_assert(BarOfMetre(0) == 384 && BarOfMetre(1) == 288 && BarOfMetre(2) == 336, "metres");

}  // namespace ticks
