// The fields of the melody and chord panels that the main window writes and reads. The panels
// show them; the window keeps them, so that they hold the same values with a panel shown or not.
#pragma once

#include <string>

struct ChordPanelFields {
  int keyRow = 0;      // key list row the chord names are spelled for
  int root = 0;        // pitch class, -1 for a "Skip" beat
  int type = 0;        // chord-type row
  int key = 0;
  int bass = 0;        // bass-interval byte
  int previousKey = 0, previousRoot = -1, previousType = -1, previousBass = 0;
  int beats = 1;       // beats the entered chord covers
  int cursorBar = 0;   // song bar of the chord cursor
  int cursorBeat = 0;
  int entryMode = 0;   // 0 on the beat ("表"), 1 its second half ("裏"), 2 erase ("消")
  bool listsEnabled = true;
  bool visible = false;
  int refreshes = 0;   // how often the panel was asked to show its fields again
};

struct MelodyPanelFields {
  // What the user changed since the cursor's note was shown; only that is entered, the rest of
  // the cell (a length or pitch the lists cannot show) stays as it is.
  static constexpr int kPitchChanged = 1, kLengthChanged = 2, kLyricChanged = 4;
  int typeRow = 0;     // OctaveRangeTable row
  int nameRow = 0;     // PitchClassNameTable row
  int lengthRow = 1;   // NoteValueTable row
  std::string lyric;   // CP932, at most 7 bytes
  int cursorBar = 0;   // song bar of the note cursor
  int cursorEighth = 0;
  int pitch = -1;      // slot value of the current note (-1 rest, -4 rap)
  int secondSixteenth = 0;
  std::string position;  // "%03d-%02d" or "%03d-%02d.5"
  int changed = 0;       // kPitchChanged | kLengthChanged | kLyricChanged
  bool visible = false;
};
