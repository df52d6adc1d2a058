// The rows of the score pictures, kept per class as the picture pattern wants (internal to the
// score picture files).
#pragma once

#include "draw/staff_picture.h"

#include <array>
#include <vector>

namespace staff_detail {

struct Label {
  char text[CLongStaffPicture::kLabelText] = {};
  int x = 0;
  int y = 0;
};

struct Highlight {
  Rect rect;
  plat::ColorRef colour = 0;
};

struct Row {
  // Base entries.
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  int low = 0;
  int high = 0;
  int lineCount = 0;
  std::vector<int> lineFlags;
  double s = 1.0;
  std::vector<StaffPosition> sharpTable;
  std::vector<StaffPosition> flatTable;
  int spelling = 2;
  int clef = 0;
  int edge = 0;
  int percussion = 0;
  std::vector<ChordNote> chordNotes;
  bool dirty = true;
  // Long staff.
  std::vector<StaffNote> notes;
  int ticksPerRow = 960;
  int noteStartX = 0;
  std::vector<TripletBracket> brackets;
  std::vector<Label> labels;
  std::vector<Highlight> highlights;
  int keyByte = 0;
  int keyShown = 0;
  int timeNumerator = 0;
  int rightBarLine = 1;
  // Rhythm staff.
  std::vector<StaffNote> queue;
};

struct State {
  std::array<Row, CStaffPicture::kCapacity> rows;
  int count = 0;
  StaffClickCallback click;
  StaffDoubleClickCallback doubleClick;
  CStaffPicture* owner = nullptr;
  int ticksPerQuarter = 240;
  // Beam memory: the stem end of the last note drawn.
  int beamX = 0;
  int beamTop = 0;
  // The boxes of the glyphs the row being drawn holds (triplet brackets keep clear of them).
  std::vector<Rect> glyphBoxes;
};

State& Get();

}  // namespace staff_detail
