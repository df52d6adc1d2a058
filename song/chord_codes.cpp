#include "song/chord_codes.h"

#include <cstring>

#include "util/gne.h"
#include "util/music_names.h"

namespace {

// The root letter of a natural note (A .. G) raised or lowered a semitone by
// its accidental (A# is b flat, Cb is B); 0 for any other letter.
char AccidentalLetter(char natural, char accidental) {
  if (natural < 'A' || natural > 'G') return '\0';
  return accidental == '#' ? RootLetterUp(natural) : RootLetterDown(natural);
}

}  // namespace

char RootLetterDown(char letter) {
  switch (letter) {
    case 'C': return 'B';
    case 'd': return 'C';
    case 'D': return 'd';
    case 'e': return 'D';
    case 'E': return 'e';
    case 'F': return 'E';
    case 'g': return 'F';
    case 'G': return 'g';
    case 'a': return 'G';
    case 'A': return 'a';
    case 'b': return 'A';
    case 'B': return 'b';
    default: return letter;
  }
}

char RootLetterUp(char letter) {
  switch (letter) {
    case 'C': return 'd';
    case 'd': return 'D';
    case 'D': return 'e';
    case 'e': return 'E';
    case 'E': return 'F';
    case 'F': return 'g';
    case 'g': return 'G';
    case 'G': return 'a';
    case 'a': return 'A';
    case 'A': return 'b';
    case 'b': return 'B';
    case 'B': return 'C';
    default: return letter;
  }
}

int RootPitchClass(char letter) {
  switch (letter) {
    case 'A': return 9;
    case 'B': return 11;
    case 'D': return 2;
    case 'E': return 4;
    case 'F': return 5;
    case 'G': return 7;
    case 'a': return 8;
    case 'b': return 10;
    case 'd': return 1;
    case 'e': return 3;
    case 'g': return 6;
    default: return 0;
  }
}


void ChordNameToCode(char* name) {
  if (name == nullptr || name[0] == '\0') return;
  if (std::strcmp(name, "----") == 0) {
    std::memcpy(name, "CMPS", 5);
    return;
  }
  if (std::strcmp(name, "Skip") == 0) return;

  char root = name[0];
  const char* suffix = name + 1;
  if (name[1] == '#' || name[1] == 'b') {
    const char letter = AccidentalLetter(root, name[1]);
    if (letter == '\0') {
      GneMessageBox("CKVAlgo::ErrorMsg");
    } else {
      root = letter;
    }
    suffix = name + 2;
  }

  const char* quality = nullptr;
  if (suffix[0] == '\0') quality = ChordSuffixTable[0].engine_code;
  for (int row = 0; quality == nullptr && row < kChordSuffixCount; ++row) {
    if (std::strcmp(suffix, ChordSuffixTable[row].suffix) == 0)
      quality = ChordSuffixTable[row].engine_code;
  }
  if (quality == nullptr) quality = suffix[0] == '9' ? "MP9" : "MPo";

  // The suffix is read in full before the code overwrites it.
  name[0] = root;
  std::memcpy(name + 1, quality, 3);
}

void DecodeChordCode(const char* code, int* root_pitch_class, int* quality_row) {
  if (code == nullptr) return;
  if (root_pitch_class != nullptr) *root_pitch_class = RootPitchClass(code[0]);
  for (int row = 0; row < kChordSuffixCount; ++row) {
    if (std::memcmp(code + 1, ChordSuffixTable[row].engine_code, 3) == 0) {
      if (quality_row != nullptr) *quality_row = row;
      return;
    }
  }
}
