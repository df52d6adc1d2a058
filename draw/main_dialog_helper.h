// Helpers the main window and its chord and style panels share (static operations only):
// the working-song path, chord texts for display, chord pitches for audition, the diatonic
// chord table, the style lists, the bar hit test and the metre list; and the drawing of the
// song on the score rows (the song's cells become staff glyphs).
#pragma once

#include "draw/staff_picture.h"

#include <QRect>

#include <string>
#include <vector>

class CChordTablePicture;
class CSongData;
class QComboBox;
class QLabel;
class QWidget;

// The nine style categories, in the order of the category list.
extern const char* const StyleCategoryNameTable[9];

class CCantrelCommon {
 public:
  virtual ~CCantrelCommon() = default;
  CCantrelCommon() = delete;

  // ---- paths and chord texts --------------------------------------------------------------
  // folder + "\" (not after a three-character drive root) + "data_kv.dat".
  static std::string MakeDataFilePath(const std::string& folder);
  static std::string MakeChordListPath(const std::string& folder);
  // The chord's name in the key's spelling; root -1 writes no root, type -1 no suffix; the
  // major suffix is not written.
  static std::string FormatChordName(int keyIndex, int root, int type);
  // Name, line break, "(", roman degree and suffix, ")".
  static std::string FormatChordWithDegree(int keyIndex, const std::string& chordText);
  static void ParseChordName(const std::string& text, int* root, int* type);
  static std::string PadChordRoot(const std::string& text);
  // The pitches of a chord for audition; answers the count (at most 5 are written).
  static int GetChordPitches(int* pitches, int root, int type, int bassInterval);
  static void GetChordPitches(int* pitches, int* count, int root, int type, int bassInterval) {
    const int n = GetChordPitches(pitches, root, type, bassInterval);
    if (count) *count = n;
  }
  // The key's diatonic triads (row 0) and seventh chords (row 1), or transposed into columns
  // 0 and 1; block: a text block of at least 24 rows (24 x 512 bytes), cleared first.
  static void BuildDiatonicChordTable(int scaleType, int keyIndex, char* block, bool transposed);
  // Files a chord text into grid 0 of the chord table by its root: into the first empty cell of
  // the row of that root (a full row gains a column), else into a new row placed where the roots
  // pass it, else at the end; then the grid is drawn and copied to its control. A grid of 24 rows
  // or 16 columns grows no further: that is reported and nothing is filed (false).
  static bool AddChordToTable(CChordTablePicture* picture, const std::string& text);
  // Every diatonic triad, then every seventh chord of the key, filed with AddChordToTable.
  static void FillChordTableWithDiatonics(CChordTablePicture* picture, int scaleType,
                                          int keyIndex);

  // ---- style lists --------------------------------------------------------------------------
  static void FillCategoryCombo(QComboBox* combo, int selection);
  static void FillStyleCombo(QComboBox* styleCombo, QComboBox* categoryCombo, QLabel* label);
  static void SelectStyleInCombo(int category, QComboBox* styleCombo, int slot);
  static void SetStyleOriginLabel(int itemData, QLabel* label);
  static int FindStyleSlotByName(int category, const std::string& name);

  // ---- page geometry --------------------------------------------------------------------------
  // The bar window (index into `windows`, rectangles in the parent's client coordinates) under
  // the point, -1 when none; *eighth gets the eighth of the bar (8 to a bar) from the width of
  // score row firstRow + i.
  static int HitTestBarWindows(int x, int y, int* eighth, const std::vector<QRect>& windows,
                               const CLongStaffPicture* picture, int firstRow);
  static int MetreIndex(int beatsPerBar, int metreKind);
  static int MetreFromIndex(int index, int* metreKind);
  static void ErrorMsg(int code);

  // ---- the song on the score rows ---------------------------------------------------------
  static constexpr int kTicksPerEighth = 120;
  static constexpr plat::ColorRef kCursorColour = 0x2020BF;        // (191, 32, 32)
  static constexpr plat::ColorRef kSecondCursorColour = 0x00005F;  // (95, 0, 0)
  // Colour argument meaning "by pitch class".
  static constexpr int kColourByPitch = -1;

  static void RedrawStaffRows(bool all, CLongStaffPicture* picture, CSongData* song,
                              int* lastCursorRow, int pagePosition, int cursorRow,
                              int cursorCell, int cursorMode);
  static void RedrawPage(bool all, CLongStaffPicture* picture, CSongData* song,
                         int* lastCursorRow, int page, int cursorRow, int cursorCell,
                         int cursorMode);
  static int ClearUsedStaffRows(CLongStaffPicture* picture);
  static void SetupStaffRows(CLongStaffPicture* picture, int keyIndex, int beatsPerBar,
                             bool extra);
  static void MarkTriplets(CLongStaffPicture* picture, int row, const CSongData& song,
                           int firstBar);
  static void DrawSongOnStaff(CLongStaffPicture* picture, int row, const CSongData& song,
                              int firstBar, int cursorMode, int cursorRow, int cursorCell,
                              bool coloured);
  static void PutNoteAcrossBarLine(const CSongData& song, int cell, double length,
                                   CLongStaffPicture* picture, int row, int pitch, int pageRows,
                                   bool fromSecond, int colour);
  static void PutNoteGlyphs(int beatsPerBar, int value, int type, int beat,
                            CLongStaffPicture* picture, int row, int cell, int colour);
  static void PutNote(CLongStaffPicture* picture, int row, int pitch, int tick, int colour,
                      int type, int tie);
  static int EighthNoteType(const CSongData& song, int bar, int cell);
  static int NoteTypeOfLength(double length);
  static void FitOctave(int* pitch, int top);
  static void AddTripletBracket(CLongStaffPicture* picture, int row, int start, int end);
  static plat::ColorRef PitchClassColour(int pitch);
  // The tones of each beat's chord (fifth, root, third, bass) as quarter-note chord members under
  // the beat's highest melody pitch (at most 58), on the rows of the bars of page `page`; each row
  // is drawn after its bar. Beats without a chord ("Skip", "----", no root) get no tones.
  static void DrawChordTonesOnRows(CLongStaffPicture* picture, const CSongData& song, int page);
};
