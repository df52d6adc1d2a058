// The score pictures. Each instance ("row") is one bar cell of the score page drawn as a grand
// staff (treble and bass staff with ledger-line positions) over a range of MIDI pitches.
//
// CStaffPicture    the rows' geometry (staff-line positions, spacing, the head rectangle of
//                  every pitch for sharp and flat spelling), staff, clef, edge and ledger lines,
//                  and stacked chord notes at the centre of a row.
// CLongStaffPicture  notes and rests placed by start tick (heads, stems, flags, beams, dots,
//                  ties, accidentals against the key signature, ledger lines), key and time
//                  signatures, triplet brackets, labels, highlight boxes, bar lines, "8va".
// CRhythmStaffPicture  a queue of pending events per row: eighth pairs become beamed pairs,
//                  five-eighth notes tied pairs; drum keys map to staff positions; free
//                  sixteenths fill with rests.
//
// One object serves the whole page; its rows are kept per class (one owner at a time). Changes
// mark a row for redrawing; the row is drawn when it is copied to the screen (Blit, BlitAll),
// when its surface is asked for, or at once by DrawRow / DrawAll.
#pragma once

#include "draw/offscreen_picture.h"

#include <functional>
#include <string>
#include <vector>

struct StaffPosition {
  int pitch = 0;
  int accidental = 3;  // 2 sharp, 1 flat, 3 none
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct ChordNote {
  int pitch = 0;
  plat::ColorRef colour = 0;
};

// Note types of a score row.
enum StaffNoteType : int {
  kNoteSixteenth = 0,
  kNoteSixteenthPairFirst = 1,
  kNoteSixteenthPairSecond = 2,
  kNoteEighth = 3,
  kNoteEighthPairFirst = 4,
  kNoteEighthPairSecond = 5,
  kNoteDottedEighth = 6,
  kNoteQuarter = 9,
  kNoteDottedQuarter = 10,
  kNoteHalf = 11,
  kNoteHalfAndEighth = 12,
  kNoteDottedHalf = 13,
  kNoteDoubleDottedHalf = 14,
  kNoteWhole = 15,
  kNoteContinuation = 16,
  kNoteDrumCross = 18,
  kNoteDrumFilled = 19,
  kNoteDottedEighthBeamed = 20,
  kNoteSixteenthAfterDotted = 21,
  kNoteSevenAndHalf = 22,
  kNoteFiveAndHalf = 23,
  kNoteSixAndHalf = 24,
  kNoteFourAndHalf = 25,
  kNoteThreeAndHalf = 26,
  kNoteTwoAndHalf = 27,
};

constexpr int kStaffRest = -1;
constexpr int kStaffCross = -4;

struct StaffNote {
  int pitch = 0;  // MIDI note; -1 rest; -4 a cross mark
  int start = 0;  // tick within the row
  plat::ColorRef colour = 0;  // 0 = darken
  int type = kNoteQuarter;
  int tie = 0;
};

struct TripletBracket {
  int start = 0;
  int end = 0;
  int third = 0;
};

using StaffClickCallback = std::function<void(int row, int x, int y)>;
// Installed on the controls unchanged: it receives the control's (x, y, id).
using StaffDoubleClickCallback = std::function<void(int x, int y, int row)>;

class CStaffPicture : public COffScreenPicture {
 public:
  static constexpr int kCapacity = 65;

  CStaffPicture(COffScreenControl* control, const Rect& rect, int low, int high,
                StaffClickCallback click, StaffDoubleClickCallback doubleClick);
  ~CStaffPicture() override;

  // Adds a row over the pitches low..high (clamped to 0..127; a range given upside down is
  // reported and made a single pitch). A full picture is reported and nothing is added (false).
  // The owner sets the control's id to the row index.
  bool AddRow(COffScreenControl* control, const Rect& rect, int low, int high);

  // Draws the row into its surface now.
  virtual void DrawRow(int row);
  void DrawAll();
  // Copies rows to their controls (rows waiting for a redraw are drawn first).
  void Blit(int row);
  void BlitAll();
  void BlitRange(int first, int last);

  void SetSpelling(int row, int value);
  void ToggleSpelling(int row);
  int Spelling(int row) const;
  void ShowBarLines(int row, int flag);
  void ShowClef(int row, int flag);
  void SetPercussionClef(int row, int flag);

  void AddChordNote(int row, int pitch, plat::ColorRef colour);
  void ClearChordNotes(int row);
  void GetChordRange(int row, int* lowest, int* highest) const;

  static int AccidentalOf(int pitch, int spelling);
  void DrawLedgerLines(int low, int high, int x, int row);

  // Geometry readers.
  int RowCount() const;
  int LineCount(int row) const;
  double Spacing(int row) const;
  int RowWidth(int row) const;
  int RowHeight(int row) const;
  // The record of a pitch in the row's sharp (spelling 2) or flat table; false when absent.
  bool Position(int row, int pitch, int spelling, StaffPosition* out) const;
  // y of line position i (0 = highest).
  int LineY(int row, int index) const;
  bool IsDrawnLine(int row, int index) const;
  COffScreenControl* Control(int row) const;
  // The row's surface, drawn up to date.
  plat::Dc* Surface(int row);

  void OnPress(int x, int y, int id);
  void OnRelease(int x, int y, int id);

  // Clears the rows kept for the class (tests).
  static void ResetState();

 protected:
  CStaffPicture() = default;
  void Construct(COffScreenControl* control, const Rect& rect, int low, int high,
                 StaffClickCallback click, StaffDoubleClickCallback doubleClick);
  bool ValidRow(int row) const;
  void MarkDirty(int row);
  void EnsureDrawn(int row);
  void EraseRow(int row);
  void DrawStaffLines(int row);
  void DrawClefs(int row);
  void EraseClefArea(int row);
  void DrawChordNotes(int row);
  void DrawEdgeLines(int row);
  // The table in use for the row's spelling.
  const std::vector<StaffPosition>& Table(int row) const;
  const StaffPosition* Find(int row, int pitch) const;
  static void PaintAll();
};

int ChooseKeySpelling(int tonic, int mode);
int ChooseSpellingByKeyName(const std::string& name, const std::string& mode);

class CLongStaffPicture : public CStaffPicture {
 public:
  static constexpr int kMaxNotes = 64;
  static constexpr int kMaxBrackets = 16;
  // A chord name per beat and a lyric per eighth: the most the printed score puts on a bar.
  static constexpr int kMaxLabels = 12;
  static constexpr int kLabelText = 16;
  static constexpr int kMaxHighlights = 8;
  static constexpr plat::ColorRef kLabelColour = 0x286450;

  CLongStaffPicture(COffScreenControl* control, const Rect& rect, int low, int high,
                    StaffClickCallback click, int ticksPerRow,
                    StaffDoubleClickCallback doubleClick);
  ~CLongStaffPicture() override;

  bool AddRow(COffScreenControl* control, const Rect& rect, int low, int high, int ticksPerRow);
  // Appends a note (marking the row for redrawing). A row out of range or a full row shows
  // "CLongStaffPicture::error" and adds nothing (false).
  bool AddNote(int row, int pitch, int start, plat::ColorRef colour, int type, int tie);
  bool AddTripletBracket(int row, int start, int end, int third);
  void ClearRow(int row);
  void ClearAllRows();
  int HasNoteAt(int row, int start, int pitch);
  bool AddHighlight(int row, int left, int right, plat::ColorRef colour);
  bool AddHighlightByTicks(int row, int startTick, int endTick, plat::ColorRef colour);
  void ClearHighlights(int row);
  int HighlightCount(int row) const;
  // Copies the text cut to 15 bytes; a ninth label is reported and not added.
  bool AddLabel(int row, const std::string& text, int x, int y);
  void ClearLabels(int row);
  void SetKeySignature(int row, int keyByte);
  void ShowKeySignature(int row, int flag);
  void SetTimeSignature(int row, int numerator);
  void SetClefVisible(int row, int flag);
  void SetRightBarLine(int row, int flag);
  void SetMoveCallback(int row, COffScreenControl::PointCallback callback);
  void SetRightClickCallback(int row, COffScreenControl::PointCallback callback);

  void DrawRow(int row) override;
  void SmoothRow(int row, plat::ColorRef colour);
  void GetNoteRange(int row, int* lowest, int* highest) const;
  int PositionTop(int row, int pitch) const;

  const std::vector<StaffNote>& Notes(int row) const;
  const std::vector<TripletBracket>& Brackets(int row) const;
  int TicksPerRow(int row) const;
  int NoteStartX(int row) const;
  // The x where tick 0 lies when the row is drawn: the note start x, or further right when
  // the key or time signature the row shows reaches it.
  int NoteOriginX(int row) const;

  static void error();

 protected:
  CLongStaffPicture() = default;
  void ConstructLong(COffScreenControl* control, const Rect& rect, int low, int high,
                     StaffClickCallback click, int ticksPerRow,
                     StaffDoubleClickCallback doubleClick);
  // Colour 0 darkens the pixel by `step` (64 by default: cells that fall on one pixel darken it
  // step by step); any other colour is set as it is.
  void ShadePixel(int row, int x, int y, plat::ColorRef colour, int step = 64);
  // Paints a mask scaled by k: cell (c, r) covers the pixels from trunc(c k + x0) + dx up to
  // the next cell's first pixel (at least one), likewise down from trunc(r k + y0) + dy; mirror
  // and flip turn the mask left to right and upside down. With shade, colour 0 darkens
  // (ShadePixel), so that cells sharing a pixel blend; a cell of a pixel or more is solid.
  void PaintMask(int row, int glyph, double x0, double y0, double k, plat::ColorRef colour,
                 bool shade, bool mirror = false, bool flip = false, int dx = 0, int dy = 0);
  void DrawAccidentalGlyph(int row, int glyph, int x0, int y0, plat::ColorRef colour);
  // Notes in order; each step below draws one part of a note.
  struct NoteRun;
  void DrawNotes(int row);
  NoteRun BeginNotes(int row);
  // Lowers or raises every pitch an octave when the notes leave the row's range ("8va").
  void ShiftOctaveIntoRange(int row, std::vector<StaffNote>& notes);
  static bool StemPointsDown(const std::vector<StaffNote>& notes, int i);
  int KeySignatureRight(int row) const;
  int TimeSignatureLeft(int row) const;
  int NoteOrigin(int row) const;
  // Keeps the box a glyph of the row's notes covers, for the brackets to keep clear of.
  void NoteGlyphBox(double left, double top, double right, double bottom);
  void DrawOneNote(NoteRun& run, int i);
  void DrawRest(int row, const StaffNote& n, int x);
  // The note's position record, respelt against a chord neighbour a semitone away; false when
  // the pitch has none.
  bool SpellNote(const NoteRun& run, int i, StaffPosition* p, int* code) const;
  int ChordDisplacement(const NoteRun& run, int i, const StaffPosition& p) const;
  void DrawNoteAccidental(NoteRun& run, const StaffNote& n, int code, int x, int top);
  void DrawHead(int row, const StaffNote& n, int x, int top);
  void DrawStem(int row, const StaffNote& n, int x, int top, bool down);
  void DrawBeams(int row, int type, int x, int top, bool down);
  void DrawDots(int row, const StaffNote& n, int x, int top);
  // The labels, each in its rectangle; the text sits where it keeps off the notes and the staff
  // lines (see PlaceLabelText).
  void DrawLabels(int row);
  std::vector<plat::Point> LabelInk(int row, const char* text, const Rect& box,
                                    const std::vector<plat::Point>& tall);
  void DrawBarLines(int row);
  void DrawKeySignatureGlyphs(int row);
  void DrawTimeSignature(int row);
  void DrawTripletBrackets(int row);
};

class CRhythmStaffPicture : public CLongStaffPicture {
 public:
  static constexpr int kMaxQueue = 64;

  CRhythmStaffPicture(COffScreenControl* control, const Rect& rect, int low, int high,
                      StaffClickCallback click, int ticksPerRow, int ticksPerQuarter,
                      StaffDoubleClickCallback doubleClick);
  ~CRhythmStaffPicture() override;

  // Queue operations; a full queue or a row out of range is reported and nothing is queued.
  bool QueueEvent(int row, int pitch, int start, plat::ColorRef colour, int type, int tie);
  bool QueueNote(int row, int pitch, int start, plat::ColorRef colour, int type, int tie);
  bool QueueDrumEvent(int row, int key, int start, plat::ColorRef colour);
  void FlushRow(int row);
  void FlushAll();
  void FillRests(int row, int beats);
  int QueueCount(int row) const;
  int TicksPerQuarter() const;
};
