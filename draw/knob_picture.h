// The knob: a small round activity indicator in three display modes -- a ring of jittering dots
// with a fading arc at the value's angle and a blinking centre disc (1), a dotted circle whose
// size follows the value (2), two dotted circles around the value as a number (3).
#pragma once

#include "draw/offscreen_picture.h"

class CKnobPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 4;

  CKnobPicture(COffScreenControl* control, const Rect& rect, int rangeLow, int rangeHigh);
  ~CKnobPicture() override;

  // Adds a knob (neither sets the control's id nor draws). A full set is reported through the
  // picture base's error and nothing is added (false).
  bool AddKnob(COffScreenControl* control, const Rect& rect, int rangeLow, int rangeHigh);
  static void RemoveLastKnob();
  // Note the order: the knob number comes last.
  static void SetBackgroundColor(plat::ColorRef colour, int knob);
  static void SetCenterColor(int red, int green, int blue, int knob);
  static void SetMode(int mode, int knob);
  static void SetValue(int value, int knob);
  static void DrawKnob(int knob);
  static void DrawAll();
  static void BlitAll();

  static int Count();
  static double Value(int knob);
  static plat::Dc* Surface(int knob);
  static void ResetState();
};
