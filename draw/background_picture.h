// Controls that each show one bitmap of the program's skin, copied to the top left of the
// control's surface. Slots are added in order and only the last one can go.
#pragma once

#include "draw/offscreen_picture.h"

class CBackgroundPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 20;

  // The first slot, on the control, showing the bitmap of the resource id.
  CBackgroundPicture(COffScreenControl* control, const Rect& rect, int bitmapId);
  ~CBackgroundPicture() override;

  // Another slot; false when all 20 are in use (nothing is added).
  bool AddBackground(COffScreenControl* control, const Rect& rect, int bitmapId);
  // Removes the last slot. Any other index shows "error bg" and changes nothing.
  static void RemoveBackground(int index);

  // Copies the slot's bitmap onto its surface (a slot outside does nothing).
  static void DrawBackground(int index);
  static void DrawAll();
  static void Blit(int index);
  static void BlitAll();
  static void ErrorMsg();

  static int Count();
  static plat::Dc* Surface(int index);
  static void ResetState();

 private:
  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
};
