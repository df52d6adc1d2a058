// Import of a tune written in ABC notation (typed or pasted into the ABC
// dialog) into the song document: title, composer and origin, tempo, metre,
// key, the melody's notes and rests with their lengths, and the chord names
// written in double quotes.
//
// The first tune of the text is read: from its "X:" line (text before it is
// the file's own header and free text) or, without one, from the first line;
// it ends at an empty line, a second "X:" or a second voice. Repeats are read
// as bar lines; ties, slurs, grace notes, decorations and triplet marks enter
// nothing. Problems are shown in the KVDG error box, each kind once per import.
#pragma once

#include <cstddef>

class CSongData;

class CAbcNotation {
 public:
  virtual ~CAbcNotation();

  // Reads `length` bytes of ABC text (CP932) into the song. Returns 0 when the
  // tune's header is not valid (the song may already be partly changed: its
  // information fields), else 1.
  static int Import(CSongData* song, const char* text, size_t length);

  // 0 clears the once-flags; 6, 7 and 8 show their box the first time after a
  // clear. Other codes show nothing.
  static void ReportError(int code);
  // Nothing for A-G and a-g; any other character reports 6.
  static void CheckNoteLetter(char c);

  // Set by an import whose metre was 2/4 or 4/8: the tune is kept as 4/4 bars
  // whose last two beats are unused ("Skip"), and the main window offers to
  // take those beats out.
  static bool TwoFourFlag();
  // Clears the once-flags and the 2/4 flag (tests).
  static void ResetState();

  static constexpr int kErrorGeneral = 6;
  static constexpr int kErrorBrokenRhythm = 7;
  static constexpr int kErrorParenthesis = 8;

 private:
  CAbcNotation() = default;
};

// Fuzz entry: imports the bytes as ABC text into a fresh song and checks what
// it holds. Answers the bar count read (-1 when the import failed).
int FuzzAbcText(const unsigned char* data, size_t size);
