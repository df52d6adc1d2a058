// Skinned push buttons: each button shows its released or pressed bitmap with a caption over it
// and reports press and release to its owner by button number (= slot = control id).
//
// Four sets with the same drawing and input and separate storage, so that dialogs open at the
// same time never share buttons: CButtonPicture (the main window and its panels),
// CButtonPicture2 (first-level dialogs), CButtonPicture3 (second-level dialogs),
// CButtonPicture4 (the preview page and the web search, with a highlight colour).
#pragma once

#include "draw/offscreen_picture.h"

#include <array>
#include <functional>
#include <string>

using ButtonCallback = std::function<void(int number)>;

namespace button_detail {

constexpr int kCapacity = 64;
constexpr plat::ColorRef kEnabledColour = 0x006400;
constexpr plat::ColorRef kDisabledColour = 0x326464;
constexpr plat::ColorRef kHighlightColour = 0x7F7FFF;

struct Slot {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  plat::Bitmap released;
  plat::Bitmap pressedFace;
  int releasedId = 0;
  int pressedId = 0;
  std::string caption;
  int fontHeight = 0;
  int highlight = 0;
  int pressed = 0;
};

struct SetState {
  std::array<Slot, kCapacity> buttons;
  int count = 0;
  const void* owner = nullptr;  // the set object that owns the buttons now
  ButtonCallback press;
  ButtonCallback release;
  plat::ColorRef enabledColour = kEnabledColour;
  plat::ColorRef disabledColour = kDisabledColour;
};

}  // namespace button_detail

// The behaviour shared by the four sets; Kind 1..4 selects the set (and its storage).
template <int Kind>
class CButtonPictureSet : public COffScreenPicture {
 public:
  static constexpr int kCapacity = button_detail::kCapacity;

  CButtonPictureSet(ButtonCallback press, ButtonCallback release, COffScreenControl* control,
                    const Rect& rect, const std::string& caption, int releasedId, int pressedId,
                    int controlId);
  ~CButtonPictureSet() override;

  // Adds a button; the control id should equal the slot it gets. A set that is full is
  // reported and the button is not added (false).
  bool AddButton(COffScreenControl* control, const Rect& rect, const std::string& caption,
                 int releasedId, int pressedId, int controlId);
  static void DrawButton(int number);
  static void DrawAll();
  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
  static void BlitRange(int first, int last);
  static void BlitAll();
  // Sets the caption of the button on that control and shows the button anew.
  static void SetCaption(int controlId, const std::string& caption);
  static void EnableButton(int controlId, bool enable);
  static int IsButtonEnabled(int controlId);
  static void SetBitmaps(int controlId, int releasedId, int pressedId);
  static void SetTextColor(plat::ColorRef colour);

  static int Count() { return State().count; }
  // The surface of a button (tests and the image composer).
  static plat::Dc* Surface(int number);
  static int Pressed(int number);
  static std::string Caption(int number);
  // The caption's font height (0 = the surface's font).
  static int FontHeight(int number);
  // Clears the set's storage (tests).
  static void ResetState();

 protected:
  static button_detail::SetState& State();
  static int FindByControlId(int controlId);
  static bool ValidNumber(int number) { return number >= 0 && number < State().count; }
  static void LoadFaces(button_detail::Slot& s, int releasedId, int pressedId);
  static void ReportFull();
  // Draws the button up or down, copies it to the screen and reports it to the owner.
  static void SetPressed(int number, int pressed);
};

class CButtonPicture : public CButtonPictureSet<1> {
 public:
  using Base = CButtonPictureSet<1>;
  using Base::Base;
  ~CButtonPicture() override;

  // Moves and resizes a button, reloads its bitmaps and replaces its caption; draws nothing.
  static void MoveButton(int number, const Rect& rect, const std::string& caption,
                         int releasedId, int pressedId);
  // Removes the last button; any other number is reported and changes nothing.
  static void RemoveButton(int number);
  // The two buttons exchange buttons; each slot's control keeps the slot's number as its id.
  static void SwapButtons(int a, int b);
  // The set's message: "CButtonPicture::ErrorMsg" in an ordinary box.
  static void ErrorMsg(int code);
  // The caption font height of a button (0 = the surface's font).
  static void SetFontHeight(int number, int height);
};

class CButtonPicture2 : public CButtonPictureSet<2> {
 public:
  using Base = CButtonPictureSet<2>;
  using Base::Base;
  // Copies the caption of the first button with that control id into the buffer, cut to fit
  // `size` bytes with its terminating zero; the buffer is untouched when no button matches.
  static void GetCaption(int controlId, char* buffer, size_t size);
  static void SetFontHeight(int number, int height);
};

class CButtonPicture3 : public CButtonPictureSet<3> {
 public:
  using Base = CButtonPictureSet<3>;
  using Base::Base;
};

class CButtonPicture4 : public CButtonPictureSet<4> {
 public:
  using Base = CButtonPictureSet<4>;
  using Base::Base;
  static void SetHighlight(int number, int flag);
};

extern template class CButtonPictureSet<1>;
extern template class CButtonPictureSet<2>;
extern template class CButtonPictureSet<3>;
extern template class CButtonPictureSet<4>;
