// A grid of text cells filled line by line, one character to a cell, that scrolls up by a line
// when a line is put one past the last. One instance; its state is kept by the class.
#pragma once

#include "draw/offscreen_picture.h"

#include <string>
#include <vector>

class CTextGridPicture : public COffScreenPicture {
 public:
  // The largest grid, in rows and in columns.
  static constexpr int kMaxSize = 1000;
  static constexpr plat::ColorRef kTextColour = 0x006400;
  static constexpr int kFontHeight = 20;

  // A grid of rows x columns empty cells on the control, drawn. A size below 1 or above
  // kMaxSize gives an empty grid that takes no text.
  CTextGridPicture(COffScreenControl* control, const Rect& rect, int rows, int columns);
  ~CTextGridPicture() override;

  // The cell's text (one character, CP932); a cell outside the grid is refused (false).
  static bool SetCell(const std::string& text, int row, int column);
  // Puts the text on the next line and moves the next line on.
  void AppendLine(const std::string& text);
  // Empties the line and fills it with the text's characters from the first column, as many
  // as fit. Line `rows` (one past the last) first scrolls every line up by one and takes the
  // last line. Other lines outside the grid are refused (false).
  bool PutLine(const std::string& text, int line);

  static void Draw();
  static void Blit();

  // Readers.
  int NextLine() const { return nextLine_; }
  static int Rows();
  static int Columns();
  static std::string Cell(int row, int column);
  static plat::ColorRef LineColour();
  static plat::Dc* Surface();
  static void ResetState();

 private:
  static void OnPress(int x, int y, int id);
  static void OnRelease(int x, int y, int id);
  int nextLine_ = 0;
};
