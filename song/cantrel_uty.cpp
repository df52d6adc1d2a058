#include "song/cantrel_uty.h"

#include <cstring>
#include <string>

#include "util/gne.h"
#include "util/music_names.h"

CCantrelUty::~CCantrelUty() = default;
CKvShortCut::~CKvShortCut() = default;

namespace {

void CopyCut(char* out, const std::string& text) {
  const size_t n = GneFitCp932(text.data(), text.size(), CCantrelUty::kSpellingSize - 1);
  std::memcpy(out, text.data(), n);
  out[n] = '\0';
}

}  // namespace

void CCantrelUty::SpellRootForKey(int key_index, char* out, const char* root_text) {
  if (out == nullptr) return;
  std::memset(out, 0, kSpellingSize);
  const std::string text = root_text != nullptr ? root_text : "";
  const bool flat_key = key_index >= 0 && key_index < kKeySignatureCount &&
                        KeySignatureTable[key_index].accidentals < 0;
  if (!flat_key) {
    CopyCut(out, text);
    return;
  }
  std::string root = text.substr(0, 1);
  if (text.size() > 1 && (text[1] == 'b' || text[1] == '#')) root += text[1];
  int pitch_class = -1;
  GnePitchClassFromName(&pitch_class, root.c_str(), 1);
  const int tonic = KeySignatureTable[key_index].tonic;
  const bool leading_tone = pitch_class >= 0 && ((pitch_class - tonic) % 12 + 12) % 12 == 11;
  CopyCut(out, leading_tone ? text : GneSharpToFlat(text));
}

void CCantrelUty::MapExtendedProgram(int* program) {
  if (program == nullptr) return;
  const int p = *program;
  if ((p >= 0 && p <= 127) || p == 256) return;
  switch (p) {
    case 128: case 129: case 133: case 140: case 142: *program = 22; break;
    case 130: case 131: *program = 9; break;
    case 132: *program = 40; break;
    case 137: *program = 24; break;
    case 139: *program = 61; break;
    case 141: *program = 11; break;
    case 143: *program = 4; break;
    default: *program = 0; break;
  }
}

void CCantrelUty::BlanksToUnderscores(char* text) {
  if (text == nullptr) return;
  for (char* p = text; *p != '\0'; ++p) {
    if (GneIsLeadByte(static_cast<uint8_t>(*p))) {
      if (p[1] == '\0') return;  // a lead byte without its trail byte
      ++p;
      continue;
    }
    if (*p == ' ') *p = '_';
  }
}
