#include "song/chord_codes.h"

#include <cstring>

#include "util/gne.h"
#include "util/music_names.h"

namespace {

// The flat letter of the note a semitone above a natural (A# is b flat).
char SharpAsFlatLetter(char root) {
  switch (root) {
    case 'A': return 'b';
    case 'B': return 'C';
    case 'C': return 'd';
    case 'D': return 'e';
    case 'E': return 'F';
    case 'F': return 'g';
    case 'G': return 'a';
    default: return '\0';
  }
}

char FlatLetter(char root) {
  switch (root) {
    case 'A': return 'a';
    case 'B': return 'b';
    case 'C': return 'B';
    case 'D': return 'd';
    case 'E': return 'e';
    case 'F': return 'E';
    case 'G': return 'g';
    default: return '\0';
  }
}

int LetterPitchClass(char letter) {
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

}  // namespace

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
    const char letter = name[1] == '#' ? SharpAsFlatLetter(root) : FlatLetter(root);
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
  if (root_pitch_class != nullptr) *root_pitch_class = LetterPitchClass(code[0]);
  for (int row = 0; row < kChordSuffixCount; ++row) {
    if (std::memcmp(code + 1, ChordSuffixTable[row].engine_code, 3) == 0) {
      if (quality_row != nullptr) *quality_row = row;
      return;
    }
  }
}
