// The melody box: under each bar cell of the score page one row of cells, one per eighth of the
// bar, showing the lyric of each eighth (or, in keyboard input mode, its note names), coloured
// by the note's register. Instances live in fixed per-class storage, indexed by instance number
// (the id its host control reports); each is a grid of at most 10 x 16 text cells with a cursor,
// kept as the chord cells under the score keep theirs.
#pragma once

#include "draw/grid_picture.h"

#include <functional>
#include <string>

class CSongData;

using MelodyBoxCallback = std::function<void(int instance, int row, int column)>;

class CMelodyBoxPicture
    : public CTextCellGridPicture<CMelodyBoxPicture, 10, 48, MelodyBoxCallback> {
 public:
  // Colour kinds of a cell.
  enum ColourKind { kRest = 0, kLow = 1, kMiddle = 2, kHigh = 3, kHighest = 4, kHeld = 5 };

  static constexpr plat::ColorRef kBackground = 0x96C896;
  static constexpr plat::ColorRef kHiddenCell = 0xC8C2C2;
  static constexpr plat::ColorRef kInactiveCell = 0xC8C8C8;
  static constexpr plat::ColorRef kCursorCell = 0x96FF96;
  static constexpr plat::ColorRef kMarkedCell = 0xD2F0D2;
  static constexpr plat::ColorRef kLyricCell = 0xC8E6FF;
  static constexpr plat::ColorRef kNoteCell = 0xC8FFC8;
  static constexpr plat::ColorRef kRestCell = 0x649664;

  // Instance 0 (the picture starts empty). Rows above 10 or columns above 16 show "error" and
  // become 10 x 16. block may be null (empty texts).
  CMelodyBoxPicture(COffScreenControl* control, const Rect& rect, int rows, int columns,
                    const char* block, MelodyBoxCallback press, MelodyBoxCallback release);

  // Adds an instance; a full picture shows "error" and adds nothing (false).
  static bool AddMelodyBox(COffScreenControl* control, const Rect& rect, int rows, int columns,
                           const char* block, MelodyBoxCallback press, MelodyBoxCallback release);
  static void DestroyMelodyBoxes();

  // Copies the text into the cell, breaking lines after four bytes (never inside a double-byte
  // character); no redraw.
  static void SetMelodyBoxText(int instance, int column, const std::string& text, int row);
  static void SetMelodyBoxCellShown(int instance, int row, int column, int value);
  static void SetMelodyBoxCellActive(int instance, int row, int column, int value);
  static void SetMelodyBoxCellMarked(int instance, int row, int column, int value);
  static void SetMelodyBoxCellColour(int instance, int row, int column, int value);
  static void SetMelodyBoxCellTint(int instance, int row, int column, int value);
  static void SetMelodyBoxCursor(int instance, int row, int column);
  static void ClearMelodyBoxCursor(int instance) { SetMelodyBoxCursor(instance, -1, -1); }
  static void GetMelodyBoxCursor(int instance, int* row, int* column) {
    State().GetCursor(instance, row, column);
  }
  static void SetMelodyBoxFont(int instance, int height) { SetFontHeight(instance, height); }
  static void SetMelodyBoxTexts(int instance, int rows, int columns, const char* block) {
    SetTexts(instance, rows, columns, block);
  }
  static void GetMelodyBoxTexts(int instance, char* block) { GetTexts(instance, block); }
  static void SetMelodyBoxAllTexts(int instance, const char* block) { SetAllTexts(instance, block); }
  static void ClearMelodyBoxTexts(int instance) { ClearTexts(instance); }
  static void MoveMelodyBox(int instance, const Rect& rect) { MoveGrid(instance, rect); }
  static void DeleteMelodyBoxRow(int instance, int row) { DeleteRow(instance, row); }
  static void DeleteMelodyBoxColumn(int instance, int column) { DeleteColumn(instance, column); }
  static void RemoveEmptyMelodyBoxRows(int instance) { RemoveEmptyRows(instance); }
  static void RemoveEmptyMelodyBoxColumns(int instance) { RemoveEmptyColumns(instance); }
  static void ShiftMelodyBoxTextsLeft(int instance) { ShiftTextsLeft(instance); }
  static int MelodyBoxContainsText(int instance, const std::string& text) {
    return ContainsText(instance, text);
  }
  static void HitTestMelodyBox(int instance, int x, int y, int* row, int* column) {
    HitTest(instance, x, y, row, column);
  }
  static void DrawGrid(int instance);
  static void DrawMelodyBox(int instance) { DrawGrid(instance); }
  static void DrawAllMelodyBoxes() { DrawAll(); }
  static void BlitMelodyBox(int instance) { Blit(instance); }
  static void BlitAllMelodyBoxes() { BlitAll(); }
  // A double click on a cell.
  static void SetMelodyBoxClickCallback(int instance, MelodyBoxCallback callback) {
    SetDoubleClickCallback(instance, std::move(callback));
  }
  static void SetMelodyBoxRightClickCallback(int instance, MelodyBoxCallback callback) {
    SetRightClickCallback(instance, std::move(callback));
  }

  // Readers (the page, tests).
  static int CellShown(int instance, int row, int column);
  static int CellActive(int instance, int row, int column);
  static int CellMarked(int instance, int row, int column);
  static int CellColour(int instance, int row, int column);
  static int CellTint(int instance, int row, int column);
  // The fill colour a cell is drawn with.
  static plat::ColorRef CellFill(int instance, int row, int column);

 private:
  static void LayoutMelodyBoxCells(int instance, const char* block) { LayoutCells(instance, block); }
};

// What the fill of one beat reads besides the song.
struct MelodyBoxSource {
  CSongData* song = nullptr;
  int firstBar = 0;     // song bar of bar cell 0 (topRow x bars per row)
  int inputMode = 1;    // 0: note names are shown, else lyrics
};

// Fills the two cells of beat `beat` of bar cell `barCell` from the song; `held` carries
// whether a hold follows a rest from beat to beat across the bar.
void SetMelodyBoxSub(const MelodyBoxSource& source, int barCell, int beat, int* held);
