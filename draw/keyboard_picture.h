// Piano keyboards over ranges of MIDI notes, each in its own host control: pressed keys, key
// colours and labels, and mouse presses turned into notes. Keyboards are added and removed like
// a stack; a keyboard's number is the id its control reports.
#pragma once

#include "draw/offscreen_picture.h"

#include <functional>
#include <string>

using NoteCallback = std::function<void(int note)>;

struct KeyRecord {
  int type = 0;  // 0 white, 1 black
  int note = 0;
  Rect rect;
  plat::ColorRef colour = 0xFFFFFF;
  char label[8] = {};
};

class CKeyboardPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 20;
  static constexpr int kMaxKeys = 128;
  static constexpr int kMaxPressed = 128;

  static constexpr plat::ColorRef kBackground = 0xC8C8C8;
  static constexpr plat::ColorRef kWhite = 0xFFFFFF;
  static constexpr plat::ColorRef kBlack = 0x000000;
  static constexpr plat::ColorRef kPressedWhite = 0x00FF00;
  static constexpr plat::ColorRef kPressedBlack = 0x007F00;
  static constexpr plat::ColorRef kLabelColour = 0x20BF00;
  static constexpr plat::ColorRef kHighlight = 0x0000FF;
  static constexpr plat::ColorRef kDoubleClicked = 0x00FFFF;
  static constexpr plat::ColorRef kPreviousPress = 0xFF0000;

  // range: {lowest, highest}. A range of more than 128 keys, one whose ends lie outside 0-127
  // or whose highest note is below its lowest is reported and cut to what fits.
  CKeyboardPicture(COffScreenControl* control, const Rect& rect, const int range[2],
                   NoteCallback press, NoteCallback release = nullptr,
                   NoteCallback doubleClick = nullptr, NoteCallback rightClick = nullptr);
  ~CKeyboardPicture() override;

  // False (reported) when 20 keyboards exist already.
  bool AddKeyboard(COffScreenControl* control, const Rect& rect, const int range[2],
                   NoteCallback press, NoteCallback release = nullptr,
                   NoteCallback doubleClick = nullptr, NoteCallback rightClick = nullptr);
  // Only the last keyboard can go; any other is reported and stays.
  static void RemoveKeyboard(int keyboard);

  // A full list (128 notes) takes no more; the keyboard is drawn and copied in any case.
  static void AddPressedKey(int note, int keyboard);
  static void RemovePressedKey(int note, int keyboard);
  static void ClearPressedKeys(int keyboard);
  static int IsKeyPressed(int note, int keyboard);
  static int GetFirstPressedKey(int keyboard);

  static void SetKeyColor(int keyboard, int note, plat::ColorRef colour);
  static void ResetKeyColor(int keyboard, int note);
  static void SetKeyColorByNote(int keyboard, int note, plat::ColorRef colour);
  static void ResetKeyColorByNote(int keyboard, int note);
  // At most 7 bytes, cut on a character boundary.
  static void SetKeyLabel(int keyboard, int note, const std::string& text);
  static void ClearKeyLabels(int keyboard);

  static void DrawKeyboard(int keyboard);
  static void DrawAll();
  static void Blit(int keyboard);
  static void BlitAll();
  static void SwapKeyboards(int a, int b);
  static void ErrorMsg(int code);
  static bool IsBlackKey(int note);

  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
  static void OnDoubleClick(int x, int y, int id);
  static void OnRightClick(int x, int y, int id);

  // Readers (tests and owners).
  static int Count();
  static int KeyCount(int keyboard);
  static int Lowest(int keyboard);
  static KeyRecord Key(int keyboard, int index);
  // The index of the key under the point (black keys first), -1 when none.
  static int KeyAt(int keyboard, int x, int y);
  static int LastPressedKey(int keyboard);
  static double WhiteKeyWidth(int keyboard);
  static int PressedCount(int keyboard);
  static plat::Dc* Surface(int keyboard);
  static void ResetState();
};
