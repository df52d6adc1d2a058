// Small helpers of the main window: spelling a chord root for the song's key,
// mapping the styles' extended instrument numbers to General MIDI programs and
// making a text safe for a file name or a command line.
#pragma once

#include <cstddef>

class CCantrelUty {
 public:
  virtual ~CCantrelUty();

  static constexpr size_t kSpellingSize = 16;

  // Writes the root text spelled for the key into `out` (kSpellingSize bytes,
  // cleared first, always terminated). In a flat key a sharp root becomes its
  // flat ("A#m" in F gives "Bbm"), except the key's leading tone (C# in D
  // minor stays C#); elsewhere the text is copied. Texts longer than the
  // output are cut between characters.
  static void SpellRootForKey(int key_index, char* out, const char* root_text);

  // Extended instrument numbers (128..255) to General MIDI programs; 0..127
  // and 256 (no instrument) stay as they are; every other number becomes 0.
  static void MapExtendedProgram(int* program);

  // Every single-byte blank becomes "_"; double-byte characters are stepped
  // over whole (a lead byte without its trail byte ends the walk).
  static void BlanksToUnderscores(char* text);

 private:
  CCantrelUty() = default;
};

// The keyboard shortcut helper class: it has no operations of its own.
class CKvShortCut {
 public:
  virtual ~CKvShortCut();

 private:
  CKvShortCut() = default;
};
