#include "util/gne_fuzz.h"

#include <string>
#include <vector>

#include "util/gne.h"
#include "util/music_names.h"

void FuzzGneText(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* t = text.c_str();  // cut at the first NUL, as the helpers read it
  const size_t n = std::char_traits<char>::length(t);

  char slots[kCommandLineSlots][kCommandLineSlotSize];
  GneSplitCommandLine(t, slots);
  char parts[8][256];
  GneSplitBySemicolon(t, parts, 8);
  std::vector<char> a(n + 1), b(n + 1), folder(n + 260);
  char op[3];
  GneSplitAssignment(t, a.data(), b.data());
  GneSplitComparison(t, a.data(), b.data(), op);
  int x = 0, y = 0;
  if (text.find(':') != std::string::npos) GneParseRatio(t, &x, &y);
  GneGetFileName(a.data(), t);
  GneGetFolder(folder.data(), t);
  GneGetExtension(t, b.data());
  std::string lower(t);
  GneToLowerCase(&lower[0]);
  GneMatchWildcard(t, t + n / 2);
  GneContainsPattern(t + n / 2, t);
  GneIsDigits(t);
  GneEncodeBase64(data, size);
  std::vector<char> name(n + 8);
  GneSharpToFlat(t, name.data());
  GneFlatToSharp(t, name.data());
  GnePitchClassFromName(&x, t, 1);
  GnePitchFromNoteName(1, t);
  std::vector<char> degree(n + 8);
  GneDegreeChordName(degree.data(), t, static_cast<int>(size % 30));
  ChordRootIndex(t);
  PitchFromNoteText(t);
  KeyIndexFromName(t);
  GneParseBarBeatTick(t, &x, &y, &x);
  std::vector<uint8_t> bytes(data, data + size);
  int length = static_cast<int>(size);
  GneSkipMacBinaryHeader(bytes.data(), "MThd", &length);
  uint32_t value = 0;
  GneReadVarLen(data, size, &value);
}
