// Fretboards of stringed instruments: strings as vertical lines, frets as horizontal lines, one
// dot per string marking a fret, optional texts at the fret positions; a click on a string and
// fret becomes a MIDI note. Up to three boards; the owner sets each board's control id to the
// board's number itself.
#pragma once

#include "draw/offscreen_picture.h"

#include <functional>
#include <string>

using FretCallback = std::function<void(int note)>;

struct FretMark {
  int fret = -1;  // -1: no fret (a grey dot above the nut)
  plat::ColorRef colour = 0;
};

// The guitar tunings: name and the open notes of strings 0 (the lowest) to 5.
struct GuitarTuning {
  const char* name;
  int strings[6];
};
extern const GuitarTuning GuitarTuningTable[2];

class CStringsMultiPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 3;
  static constexpr int kMaxStrings = 6;
  static constexpr size_t kLabelBytes = 9;
  static constexpr plat::ColorRef kClickedColour = 0x000080;

  CStringsMultiPicture(COffScreenControl* control, const Rect& rect, int firstFret, int lastFret,
                       FretCallback click, int strings, int clickable);
  ~CStringsMultiPicture() override;

  // A further board (strings are kept to six). False when all three are in use.
  bool AddFretboard(COffScreenControl* control, const Rect& rect, int firstFret, int lastFret,
                    FretCallback click, int strings, int clickable);

  static void ClearMarks(int board);
  static void SetMarks(const FretMark marks[6], int board);
  // One text per fret position (index = string x fret count + fret), each cut to nine bytes.
  static void SetLabels(const std::string* labels, int board);
  // 0 no texts, 1 every text, 2 only the text at each string's marked fret; no redraw.
  static void SetLabelMode(int mode, int board);
  static void SetLabelColor(plat::ColorRef colour, int board);
  static void SetGuitarNoteNames(int board, int mode, int tuningRow);
  static void SetFourStringNoteNames(int board, int mode, int tuningRow);
  static int GuitarPitch(int string, int fret, int tuningRow);
  static int FourStringPitch(int string, int fret, int tuningRow);
  static void DrawFretboard(int board);
  static void DrawAll();
  static void BlitAll();
  static void DrawTitle(const std::string& text, int board);
  static void ShowAll(bool show);
  static void OnClick(int x, int y, int id);
  static void ErrorMsg(int code);

  static int Count();
  static plat::Dc* Surface(int board);
  static FretMark Mark(int board, int string);
  static std::string Label(int board, int string, int fret);
  static void ResetState();
};
