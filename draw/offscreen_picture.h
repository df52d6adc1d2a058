// Off-screen pictures: every skinned widget and drawn view draws into a memory surface of its
// control's client size and copies it onto the control that hosts it.
//
// The pattern every picture class follows:
// - The class has a fixed capacity N and static arrays of N slots: the hosting control
//   (borrowed from the owning dialog), the surface DC and its bitmap (owned), the width and
//   height, and its own fields; plus a static count.
// - Its constructor runs the base set-up (COffScreenPicture::SetUpSlot) on slot 0 with the
//   class's paint operation and its own press and release handlers, sets the count to 0 and
//   adds the first instance. Every later add runs the base set-up on the new slot first.
// - Draw operations paint the memory surface only; Blit / BlitAll copy it to the control.
// - The control's id equals the slot, so a callback's id selects the slot directly.
// - Only the last instance can be removed; destructors free every slot's surface.
// - Storage is per class: one owner uses a class at a time.
#pragma once

#include "draw/offscreen_control.h"
#include "platform/qt/dc.h"

#include <cstdint>
#include <optional>

using plat::Rect;

class COffScreenPicture {
 public:
  using PaintFn = void (*)();
  using PointCallback = COffScreenControl::PointCallback;

  // Base set-up of slot 0, storing the paint operation.
  COffScreenPicture(COffScreenControl* control, const Rect& rect, PaintFn paint,
                    PointCallback press, PointCallback release, int& width, int& height,
                    plat::Bitmap*& bitmap, plat::Dc*& dc, PointCallback move = nullptr,
                    PointCallback doubleClick = nullptr);
  COffScreenPicture() = default;
  virtual ~COffScreenPicture();

  // Base set-up of one slot: resets the once-only drawing error, takes the size from the
  // rectangle, moves the control there and raises it, makes new DC and bitmap wrappers, sets
  // the control's callbacks and creates the surface.
  static void SetUpSlot(COffScreenControl* control, const Rect& rect, PointCallback press,
                        PointCallback release, int& width, int& height, plat::Bitmap*& bitmap,
                        plat::Dc*& dc, PointCallback move = nullptr,
                        PointCallback doubleClick = nullptr);

  // Moves the control to the rectangle and makes a new, blank surface of its size.
  static void Resize(COffScreenControl* control, plat::Bitmap*& bitmap, plat::Dc*& dc,
                     const Rect& rect, int& height, int& width);
  // A surface of the control's client size, selected into the DC (wrappers must exist).
  static void CreateSurface(plat::Bitmap*& bitmap, plat::Dc*& dc, COffScreenControl* control);
  // Copies the surface to the control: nothing when the control has no visible area; a zoom
  // of exactly 1.0 copies as it is, any other zoom stretches (sizes truncated).
  static void Blit(plat::Dc* dc, COffScreenControl* control, uint32_t rop = plat::SRCCOPY,
                   double zoom = 1.0);
  // Frees the pixels, keeping the wrappers for a later CreateSurface.
  static void ReleaseSurface(plat::Bitmap*& bitmap, plat::Dc*& dc);
  // ReleaseSurface, then deletes the wrappers and sets both entries to null.
  static void DeleteSurface(plat::Bitmap*& bitmap, plat::Dc*& dc);

  // Error reporter of the picture base ("OSPC"): 0 clears the once-only drawing error, 1 is the
  // drawing error (shown once until cleared), any other code is shown every time.
  static void ErrorMsg(uint32_t code);

  PaintFn Paint() const { return paint_; }
  void SetPaint(PaintFn paint) { paint_ = paint; }

 private:
  PaintFn paint_ = nullptr;
};

// Shift-JIS fonts on a picture's surface: selects a font of the given height (a cell height in
// pixels when positive) and the Shift-JIS character set, keeping the font that was selected
// before in `previous`; RestoreFont selects that back.
void SelectShiftJisFont(plat::Dc* dc, std::optional<plat::LogFont>& previous, int height);
void RestoreFont(plat::Dc* dc, std::optional<plat::LogFont>& previous);

// Clears the module state (the once-only drawing error) for tests.
void ResetOffScreenPictureState();
