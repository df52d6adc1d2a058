#include "song/chord_model.h"

#include <algorithm>
#include <cstring>

#include "util/gne_music.h"
#include "util/music_names.h"

namespace {

struct ChordType {
  const char* suffix;
  int intervals[4];  // root, third (fourth for sus4), fifth, fourth tone (-1 none)
};

const ChordType kChordTypeTable[22] = {
    {"", {0, 4, 7, -1}},       {"m", {0, 3, 7, -1}},      {"dim", {0, 3, 6, -1}},
    {"M7", {0, 4, 7, 11}},     {"7", {0, 4, 7, 10}},      {"m7", {0, 3, 7, 10}},
    {"mM7", {0, 3, 7, 11}},    {"dim7", {0, 3, 6, 9}},    {"augM7", {0, 4, 8, 11}},
    {"aug", {0, 4, 8, -1}},    {"sus4", {0, 5, 7, -1}},   {"7sus4", {0, 5, 7, 10}},
    {"aug7", {0, 4, 8, 10}},   {"m7b5", {0, 3, 6, 10}},   {"6", {0, 4, 7, 9}},
    {"9", {0, 4, 7, 14}},      {"m6", {0, 3, 7, 9}},      {"7b5", {0, 4, 6, 10}},
    {"add9", {0, 4, 7, 2}},    {"madd9", {0, 3, 7, 2}},   {"<b5>", {0, 4, 6, -1}},
    {"7<b5>", {0, 4, 6, 10}},
};

struct Mirror {
  const char* suffix;
  int offset;
};
const Mirror kMirrorChordTable[22] = {
    {"m", 5},     {" ", 5},    {"dim", 6},  {"m", 5},     {"m6", 5},    {"6", 5},
    {" ", 5},     {"dim7", 3}, {"aug", 4},  {"aug", 4},   {"madd9", 5}, {"madd9", 5},
    {"aug7", 4},  {"m7b5", 6}, {"m7", 5},   {"sus4", 5},  {"7", 5},     {"7", 8},
    {"m", 5},     {"sus4", 5}, {"7", 6},    {"7<b5>", 6},
};

const char* const kSharpNames[12] = {"C", "C#", "D", "D#", "E", "F",
                                     "F#", "G", "G#", "A", "A#", "B"};

struct Pair {
  int degree, type;
};
struct ChordSet {
  int scale;
  int triad_count;
  Pair triads[12];
  int seventh_count;
  Pair sevenths[12];
};
const ChordSet kDiatonicChordSetTable[] = {
    {0, 7, {{0, 0}, {2, 1}, {4, 1}, {5, 0}, {7, 0}, {9, 1}, {11, 2}},
     7, {{0, 3}, {2, 5}, {4, 5}, {5, 3}, {7, 4}, {9, 5}, {11, 13}}},
    {1, 7, {{0, 1}, {2, 2}, {3, 0}, {5, 1}, {7, 1}, {8, 0}, {10, 0}},
     7, {{0, 5}, {2, 13}, {3, 3}, {5, 5}, {7, 5}, {8, 3}, {10, 4}}},
    {2, 7, {{0, 1}, {2, 2}, {3, 9}, {5, 1}, {7, 0}, {8, 0}, {11, 2}},
     7, {{0, 6}, {2, 13}, {3, 8}, {5, 5}, {7, 4}, {8, 3}, {11, 7}}},
    {3, 7, {{0, 1}, {2, 1}, {3, 9}, {5, 0}, {7, 0}, {9, 2}, {11, 2}},
     7, {{0, 6}, {2, 5}, {3, 8}, {5, 4}, {7, 4}, {9, 7}, {11, 7}}},
    {12, 10, {{0, 1}, {2, 2}, {3, 0}, {3, 9}, {5, 1}, {7, 1}, {7, 0}, {8, 0}, {10, 0}, {11, 2}},
     12, {{0, 5}, {0, 6}, {2, 13}, {3, 3}, {3, 8}, {5, 5}, {5, 3}, {7, 5}, {7, 4}, {8, 3},
          {10, 4}, {11, 7}}},
};

}  // namespace

// ---------------------------------------------------------------------------
// CKvCommon

void CKvCommon::SplitChordText(std::string& text, std::string* root, std::string* suffix) {
  const size_t paren = text.find('(');
  if (paren != std::string::npos) text.resize(paren);
  size_t root_len = text.empty() ? 0 : 1;
  if (text.size() > 1 && (text[1] == '#' || text[1] == 'b')) root_len = 2;
  const size_t brk = text.find_first_of("\r\n");
  if (brk != std::string::npos) text.resize(brk);
  if (root) *root = text.substr(0, std::min(root_len, text.size()));
  if (suffix) *suffix = root_len < text.size() ? text.substr(root_len) : std::string();
}

void CKvCommon::ParseChord(int key_index, const std::string& root, const std::string& suffix,
                           int* root_index, int* type_index) {
  if (type_index) *type_index = -1;
  const bool flat_key = IsFlatKey(key_index);
  int pc = -1;
  GnePitchClassFromName(&pc, root.c_str(), flat_key ? 1 : 0);
  if (root_index) *root_index = pc;
  for (int i = 0; i < kChordSuffixCount; ++i) {
    if (suffix == ChordSuffixTable[i].suffix || (i == 0 && suffix.empty())) {
      if (type_index) *type_index = i;
      break;
    }
  }
}

std::string CKvCommon::FoldTensionNine(const std::string& source) {
  std::string copy = source;
  const size_t at = copy.find("(9)");
  if (at != std::string::npos) {
    copy.resize(at);
    copy += "9";
  }
  return copy;
}

void CKvCommon::NormalizeSuffix(std::string& suffix) {
  for (int i = 0; i < kChordSuffixCount; ++i)
    if (suffix == ChordSuffixTable[i].suffix) return;
  if (suffix.find("sus4") != std::string::npos)
    suffix = "sus4";
  else if (suffix.empty())
    suffix = " ";
  else if (suffix == "m79")
    suffix = "m7";
  else if (suffix == "69" || suffix == "9")
    suffix = "add9";
  else if (suffix == "M79")
    suffix = "M7";
  else if (suffix == "79")
    suffix = "7";
  else if (suffix.find('m') != std::string::npos)
    suffix = "m";
  else
    suffix = " ";
}

// ---------------------------------------------------------------------------
// CChordControl

CChordControl::CChordControl(int key_index, int root_degree, int type_row)
    : type_(type_row), key_(key_index), root_(root_degree) {}

CChordControl::CChordControl(const std::string& name) : type_(-1), key_(kNamedKey), root_(-1) {
  if (name.empty()) return;
  const size_t root_len = (name.size() > 1 && name[1] == '#') ? 2 : 1;
  const std::string root = name.substr(0, root_len);
  for (int i = 0; i < 12; ++i)
    if (root == kSharpNames[i]) root_ = i;
  const std::string rest = name.substr(root_len, 15);
  for (int row = 0; row < 22; ++row)
    if (rest == kChordTypeTable[row].suffix) {
      type_ = row;
      break;
    }
}

int CChordControl::Tonic() const {
  const int row = (key_ >= 0 && key_ < kKeySignatureCount) ? key_ : 0;
  return KeySignatureTable[row].tonic;
}

int CChordControl::Tone(int column) const {
  if (type_ < 0 || type_ >= 22 || root_ < 0) return -1;
  const int interval = kChordTypeTable[type_].intervals[column];
  if (interval < 0) return -1;
  return (Tonic() + root_ + interval) % 12;
}

int CChordControl::GetRoot() const { return Tone(0); }
int CChordControl::GetThird() const { return Tone(1); }
int CChordControl::GetFifth() const { return Tone(2); }
int CChordControl::GetFourthTone() const { return Tone(3); }

int CChordControl::GetChordTones(int* values) const {
  values[0] = GetRoot();
  values[1] = GetThird();
  values[2] = GetFifth();
  const int fourth = GetFourthTone();
  if (fourth < 0) return 3;
  values[3] = fourth;
  return 4;
}

std::string CChordControl::GetName() const {
  std::string name;
  if (root_ >= 0) {
    if (key_ == kNoKey)
      name = DegreeNameTable[root_ % 12];
    else
      name = kSharpNames[(Tonic() + root_) % 12];
  }
  if (type_ >= 0 && type_ < 22) name += kChordTypeTable[type_].suffix;
  return name;
}

int CChordControl::GetTypeCount() { return 22; }

std::string CChordControl::GetTypeName(int row) {
  if (row < 0 || row >= 22) return std::string();
  return row == 0 ? std::string(" ") : std::string(kChordTypeTable[row].suffix);
}

void CChordControl::GetMirrorChord(int row, std::string* suffix, int* offset) {
  if (row < 0 || row >= 22) return;
  if (suffix) *suffix = kMirrorChordTable[row].suffix;
  if (offset) *offset = kMirrorChordTable[row].offset;
}

void CChordControl::GetTypeIntervals(int row, int* third, int* fifth, int* fourth) {
  if (row < 0 || row >= 22) return;
  if (third) *third = kChordTypeTable[row].intervals[1];
  if (fifth) *fifth = kChordTypeTable[row].intervals[2];
  if (fourth) *fourth = kChordTypeTable[row].intervals[3];
}

// ---------------------------------------------------------------------------
// CDiatonicChord

CDiatonicChord::CDiatonicChord(int scale_type, int chord_form, int key_index)
    : count_(0), form_(chord_form) {
  for (const ChordSet& set : kDiatonicChordSetTable) {
    if (set.scale != scale_type) continue;
    const bool triads = chord_form == 3;
    const int n = triads ? set.triad_count : set.seventh_count;
    const Pair* pairs = triads ? set.triads : set.sevenths;
    for (int i = 0; i < n && count_ < kSlots; ++i)
      slots_[count_++] = std::make_unique<CChordControl>(key_index, pairs[i].degree, pairs[i].type);
    break;
  }
}
