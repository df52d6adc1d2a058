#include "music/chord_name.h"

#include <cstring>

#include "util/module_error.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "CNCL", "コード名定義でエラーが発生しました。",
      {{kCnclUnexpectedText, "予期しないテキストがマーカーに入っていました。"},
       {kCnclBadThird, "三度の音に異常があります。"}});
  return reporter;
}

}  // namespace

void ChordName::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

ChordName::ChordName(const char* name) {
  if (name == nullptr || name[0] == 0 || name[0] == 'N' || name[0] == 'U') return;
  const size_t length = std::strlen(name);
  // Every read stays inside the text: past its end reads as the terminator.
  auto at = [&](size_t i) { return i < length ? name[i] : '\0'; };
  switch (name[0]) {
    case 'C': root = 60; break;
    case 'D': root = 62; break;
    case 'E': root = 64; break;
    case 'F': root = 65; break;
    case 'G': root = 67; break;
    case 'A': root = 69; break;
    case 'B': root = 71; break;
    default: ErrorMsg(kCnclUnexpectedText); break;
  }
  size_t pos = 1;
  if (at(pos) == 'b') {
    --root;
    ++pos;
  } else if (at(pos) == '#') {
    ++root;
    ++pos;
  }
  switch (at(pos)) {
    case 'm':
      third = root + 3;
      ++pos;
      break;
    case 'd':
      third = root + 3;
      break;
    case 's':
      third = root + 5;
      pos += 4;
      break;
    default:  // end, "(", "6", "7", "M", "o" and anything unknown: major
      third = root + 4;
      break;
  }
  if (root < 40 || root > 120 || third < 40 || third > 120) ErrorMsg(kCnclBadThird);
  if (at(pos) == 'd') {
    fifth = root + 6;
    pos += 3;
  } else {
    fifth = root + 7;
  }
  const char c = at(pos);
  if (c == '(' && at(pos + 1) == '9') {
    seventh = root + 14;
  } else if (c == '6') {
    seventh = root + 9;
  } else if (c == '7') {
    seventh = root + 10;
  } else if (c == 'M') {
    seventh = root + 11;
  } else {
    seventh = 0;  // the end, and anything else (the "o" of "on"): none
  }
  bass = root - 12;
}
