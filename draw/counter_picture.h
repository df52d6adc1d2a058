// Decimal counters drawn with ten digit bitmaps (light digits on black, combined by XOR).
#pragma once

#include "draw/offscreen_picture.h"

#include <array>

class CCounterPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 8;
  static constexpr int kMaxDigits = 10;

  // digitIds: the resource ids of the digits 0..9.
  CCounterPicture(COffScreenControl* control, const Rect& rect, int digits,
                  const std::array<int, 10>& digitIds);
  ~CCounterPicture() override;

  // Adds a counter of `digits` digits (1..10; other counts are clamped). A full set is
  // reported through the picture base's error and nothing is added (false).
  bool AddCounter(COffScreenControl* control, const Rect& rect, int digits,
                  const std::array<int, 10>& digitIds);
  static void DrawCounter(int index);
  static void DrawAll();
  // Stores (negative values count as 0), draws and blits.
  static void SetValue(int index, int value);
  static int GetValue(int index);
  static void BlitAll();
  static int Count();
  static plat::Dc* Surface(int index);
  static void ResetState();
};
