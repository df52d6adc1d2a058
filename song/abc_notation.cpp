#include "song/abc_notation.h"

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "song/chord_codes.h"
#include "song/song_bytes.h"
#include "song/song_data.h"
#include "util/gne.h"
#include "util/music_names.h"

namespace {

ModuleErrorReporter& AbcErrors() {
  static ModuleErrorReporter reporter(
      "KVDG", "ABCファイルの処理でエラーが発生しました。",
      {{6, "ABCファイルの処理でエラーが発生しました。"}, {7, "＞を検出"}, {8, "(を検出"}},
      {6, 7, 8});
  return reporter;
}

std::atomic<bool> g_two_four{false};

constexpr int kNoAccidental = 99;       // the letter follows the key
constexpr int kHeaderValueLimit = 255;  // bytes kept of a header text
constexpr int kChordNameLimit = 255;

bool IsNoteLetter(char c) { return (c >= 'A' && c <= 'G') || (c >= 'a' && c <= 'g'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Index 0..6 of C D E F G A B.
int LetterIndex(char c) {
  static const char kLetters[] = "CDEFGAB";
  const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  const char* p = std::strchr(kLetters, upper);
  return p != nullptr && upper != '\0' ? static_cast<int>(p - kLetters) : -1;
}

// Splits at LF, CR, CR LF and LF CR. A last line without a break is kept.
std::vector<std::string> SplitLines(const char* text, size_t length) {
  std::vector<std::string> lines;
  std::string line;
  for (size_t i = 0; i < length; ++i) {
    const char c = text[i];
    if (c == '\n' || c == '\r') {
      lines.push_back(line);
      line.clear();
      if (i + 1 < length && (text[i + 1] == '\n' || text[i + 1] == '\r') && text[i + 1] != c)
        ++i;
      continue;
    }
    line += c;
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// The line without its comment: a "%" not escaped by "\" ends it (double-byte
// characters are stepped over whole).
std::string WithoutComment(const std::string& line) {
  for (size_t i = 0; i < line.size(); ++i) {
    if (GneIsLeadByte(static_cast<uint8_t>(line[i]))) {
      ++i;
      continue;
    }
    if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == '%') {
      ++i;
      continue;
    }
    if (line[i] == '%') return line.substr(0, i);
  }
  return line;
}

std::string Trimmed(const std::string& s) {
  size_t a = 0, b = s.size();
  while (a < b && IsBlank(s[a])) ++a;
  while (b > a && IsBlank(s[b - 1])) --b;
  return s.substr(a, b - a);
}

std::string WithoutBlanks(const std::string& s) {
  std::string out;
  for (char c : s)
    if (!IsBlank(c)) out += c;
  return out;
}

// A text cut to `size` bytes between characters.
std::string CutText(const std::string& s, size_t size) {
  return s.substr(0, GneFitCp932(s.data(), s.size(), size));
}

// Decimal digits from `p` on, saturating; false when there are none.
bool ReadNumber(const std::string& s, size_t* p, long long* value) {
  long long v = 0;
  const size_t start = *p;
  while (*p < s.size() && IsDigit(s[*p])) {
    if (v < 1000000000LL) v = v * 10 + (s[*p] - '0');
    ++*p;
  }
  *value = v;
  return *p > start;
}

bool IsFieldLine(const std::string& line) {
  return line.size() >= 2 && IsLetter(line[0]) && line[1] == ':';
}

// The header: what it gives the song.
struct Header {
  std::string composer, origin, title;
  int unit = 0;  // sixteenths per unit length; 0 = none given
  double metre_ratio = 1.0;
  int metre_kind = 1;
  int beats = 4;
  bool two_four = false;
  int tempo = 60;
  int key_row = 0;
};

int KeyRowOf(const std::string& value, bool* found) {
  *found = false;
  std::string v = value;
  // "Gmaj", "Gmajor", "Gion" are G; "Amin", "Aminor", "Aaeo" are Am.
  for (const char* major : {"major", "maj", "ion"}) {
    const size_t n = std::strlen(major);
    if (v.size() > n && v.compare(v.size() - n, n, major) == 0) {
      v.resize(v.size() - n);
      break;
    }
  }
  for (const char* minor : {"minor", "min", "aeo"}) {
    const size_t n = std::strlen(minor);
    if (v.size() > n && v.compare(v.size() - n, n, minor) == 0) {
      v.resize(v.size() - n);
      v += "m";
      break;
    }
  }
  for (int row = 0; row < kKeySignatureCount; ++row) {
    if (v == KeySignatureTable[row].name) {
      *found = true;
      return row;
    }
  }
  return 0;
}

// One import: the song and the position in it.
class AbcReader {
 public:
  AbcReader(CSongData* song, const Header& header) : song_(song), header_(header) {
    unit_ = header.unit;
    if (unit_ == 0) unit_ = header.metre_ratio < 0.75 ? 1 : 2;
    const int row = header.key_row;
    const int count = KeySignatureTable[row].accidentals;
    // Sharps F C G D A E B, flats B E A D G C F, as many as the key has.
    static const int kSharpOrder[] = {3, 0, 4, 1, 5, 2, 6};
    static const int kFlatOrder[] = {6, 2, 5, 1, 4, 0, 3};
    for (int i = 0; i < 7; ++i) key_[i] = 0;
    for (int i = 0; i < count && i < 7; ++i) key_[kSharpOrder[i]] = 1;
    for (int i = 0; i < -count && i < 7; ++i) key_[kFlatOrder[i]] = -1;
    ClearAccidentals();
    bar_sixteenths_ = 4 * song_->beats_per_bar;
    max_bars_ = kSongMaxBeats / song_->beats_per_bar;
  }

  // Reads the body lines; answers the number of bars the tune fills.
  int ReadBody(const std::vector<std::string>& lines, size_t first) {
    lines_ = &lines;
    for (size_t n = first; n < lines.size() && !stop_; ++n) {
      line_no_ = n;
      const std::string line = WithoutComment(lines[n]);
      if (Trimmed(lines[n]).empty()) break;  // an empty line ends the tune
      if (IsFieldLine(line)) {
        if (!BodyField(line[0], Trimmed(line.substr(2)))) break;
        continue;
      }
      ReadLine(line);
    }
    return bar_ + (entered_ ? 1 : 0);
  }

 private:
  void ClearAccidentals() {
    for (int& a : accidental_) a = kNoAccidental;
  }

  // A field line in the body: a second tune or a second voice ends the tune
  // (false); every other field is skipped.
  bool BodyField(char field, const std::string& value) {
    if (field == 'X') return false;
    if (field == 'V') {
      std::string id = value.substr(0, value.find_first_of(" \t"));
      if (voice_.empty()) {
        voice_ = id;
        return true;
      }
      return id == voice_;
    }
    return true;
  }

  void ReadLine(const std::string& line) {
    size_t i = 0;
    while (i < line.size() && !stop_ && !end_of_tune_) {
      const char c = line[i];
      if (GneIsLeadByte(static_cast<uint8_t>(c))) {
        CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
        i += 2;
        continue;
      }
      if (IsBlank(c) || c == '\\') {
        ++i;
      } else if (c == '"') {
        i = QuotedText(line, i);
      } else if (c == '!') {
        const size_t close = line.find('!', i + 1);
        if (close == std::string::npos) {
          CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
          ++i;
        } else {
          i = close + 1;
        }
      } else if (c == '^' || c == '_' || c == '=' || IsNoteLetter(c) || c == 'z' || c == 'x') {
        Note note;
        i = ReadNote(line, i, &note);
        if (note.valid) i = FinishNote(line, i, note);
      } else if (c == '[') {
        i = Bracket(line, i);
      } else if (c == '|' || c == ':') {
        i = BarLine(line, i);
      } else if (c == '>' || c == '<') {
        CAbcNotation::ReportError(CAbcNotation::kErrorBrokenRhythm);
        ++i;
      } else if (c == '(') {
        CAbcNotation::ReportError(CAbcNotation::kErrorParenthesis);
        ++i;
        // A tuplet mark "(3" or "(3:2:3": the notes are read as plain notes.
        while (i < line.size() && (IsDigit(line[i]) || line[i] == ':')) ++i;
      } else if (c == '{') {
        // Grace notes take no time of their own here: skipped whole.
        CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
        const size_t close = line.find('}', i + 1);
        i = close == std::string::npos ? line.size() : close + 1;
      } else if (c == ']') {
        ++i;
      } else {
        // Ties, slurs, staccato dots, decorations, spacers and anything else.
        CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
        ++i;
      }
    }
  }

  // A quoted text at `i`: an annotation (first character ^ _ < > @) is
  // skipped, anything else is a chord name.
  size_t QuotedText(const std::string& line, size_t i) {
    size_t close = i + 1;
    while (close < line.size() && line[close] != '"') {
      close += GneIsLeadByte(static_cast<uint8_t>(line[close])) ? 2 : 1;
    }
    if (close >= line.size()) {
      CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
      return line.size();
    }
    // Blanks around the text inside the quotes are only spacing.
    const std::string text = Trimmed(line.substr(i + 1, close - i - 1));
    if (!text.empty() && std::strchr("^_<>@", text[0]) == nullptr) Chord(text, line, close + 1);
    return close + 1;
  }

  // The chord's length: the notes and numbers written after it up to the next
  // quote, a field line or an empty line, as the melody's unit lengths.
  int EstimateChordBeats(const std::string& line, size_t from) const {
    double estimate = 0;
    size_t n = line_no_;
    std::string text = line;
    size_t i = from;
    while (true) {
      text = WithoutComment(text);
      while (i < text.size()) {
        const char c = text[i];
        if (c == '"') goto done;
        if (IsDigit(c)) {
          long long v = 0;
          ReadNumber(text, &i, &v);
          estimate += static_cast<double>(v);
          continue;
        }
        if (c == '/') estimate += 0.5;
        if (IsNoteLetter(c)) estimate += 1;
        i += GneIsLeadByte(static_cast<uint8_t>(c)) ? 2 : 1;
      }
      if (++n >= lines_->size()) break;
      text = (*lines_)[n];
      i = 0;
      if (Trimmed(text).empty() || IsFieldLine(text)) break;
    }
  done:
    const double sixteenths = std::min(estimate, 65536.0) * unit_;
    const int beats = static_cast<int>(std::ceil(sixteenths / 4.0));
    return beats < 1 ? 1 : beats;
  }

  void Chord(const std::string& text, const std::string& line, size_t after) {
    std::string name = CutText(text, kChordNameLimit);
    const size_t slash = name.find('/');
    if (slash != std::string::npos && slash > 0) name = Trimmed(name.substr(0, slash));  // no bass
    if (name.empty()) return;
    char buffer[kChordNameLimit + 8] = {};
    std::memcpy(buffer, name.data(), name.size());
    ChordNameToCode(buffer);
    buffer[4] = '\0';
    int root = 0, type = 0;
    DecodeChordCode(buffer, &root, &type);
    if (!OpenBars()) return;
    const int eighth = static_cast<int>(pos_) / 2;
    song_->SetChord(bar_, eighth / 2, root, type, EstimateChordBeats(line, after), 0,
                    (eighth & 1) != 0);
  }

  struct Note {
    bool valid = false;
    bool rest = false;
    int pitch = 0;
    double units = 1;  // length in unit lengths
  };

  // A note or rest at `i`: accidentals, letter, octave marks and length.
  size_t ReadNote(const std::string& line, size_t i, Note* note) {
    int accidental = kNoAccidental;
    bool microtone = false;
    while (i < line.size() && (line[i] == '^' || line[i] == '_' || line[i] == '=')) {
      const char a = line[i++];
      if (a == '=') {
        accidental = 0;
      } else {
        const int step = a == '^' ? 1 : -1;
        accidental = (accidental == kNoAccidental || accidental == 0) ? step : accidental + step;
        if (accidental > 2) accidental = 2;
        if (accidental < -2) accidental = -2;
      }
      // A microtonal accidental ("^3/4", "_/"): the letter keeps its pitch.
      if (i < line.size() && (IsDigit(line[i]) || line[i] == '/')) {
        microtone = true;
        while (i < line.size() && (IsDigit(line[i]) || line[i] == '/')) ++i;
      }
    }
    if (i >= line.size()) {
      CAbcNotation::CheckNoteLetter('\0');
      return i;
    }
    const char c = line[i];
    if (c == 'z' || c == 'x') {
      note->rest = true;
    } else {
      if (accidental != kNoAccidental || microtone) CAbcNotation::CheckNoteLetter(c);
      if (!IsNoteLetter(c)) return i;
      const int letter = LetterIndex(c);
      if (accidental != kNoAccidental && !microtone) accidental_[letter] = accidental;
      static const int kBase[] = {60, 62, 64, 65, 67, 69, 71};
      int pitch = kBase[letter] + (c >= 'a' ? 12 : 0);
      if (!microtone)
        pitch += accidental_[letter] != kNoAccidental ? accidental_[letter] : key_[letter];
      note->pitch = pitch;
    }
    ++i;
    while (i < line.size() && (line[i] == ',' || line[i] == '\'')) {
      if (!note->rest) note->pitch += line[i] == ',' ? -12 : 12;
      ++i;
    }
    i = ReadLength(line, i, &note->units);
    note->valid = true;
    return i;
  }

  // "3", "/", "3/2", "//", "/4": a length in unit lengths (none gives 1).
  static size_t ReadLength(const std::string& line, size_t i, double* units) {
    long long num = 1;
    if (i < line.size() && IsDigit(line[i])) {
      ReadNumber(line, &i, &num);
      if (num == 0) num = 1;
    }
    double den = 1;
    while (i < line.size() && line[i] == '/') {
      ++i;
      long long d = 2;
      if (i < line.size() && IsDigit(line[i])) {
        ReadNumber(line, &i, &d);
        if (d == 0) d = 1;
      }
      den = std::min(den * static_cast<double>(d), 1e9);
    }
    *units = static_cast<double>(num) / den;
    return i;
  }

  // Broken rhythm after a note, then entering it.
  size_t FinishNote(const std::string& line, size_t i, Note note) {
    double factor = pending_factor_;
    pending_factor_ = 1;
    size_t marks = 0;
    const char mark = i < line.size() ? line[i] : '\0';
    if (mark == '>' || mark == '<') {
      while (i < line.size() && line[i] == mark && marks < 3) {
        ++marks;
        ++i;
      }
      const double shortened = std::pow(0.5, static_cast<double>(marks));
      const double longer = 2 - shortened;
      factor *= mark == '>' ? longer : shortened;
      pending_factor_ = mark == '>' ? shortened : longer;
    }
    Enter(note, note.units * factor * unit_);
    return i;
  }

  // "[" at `i`: an inline field, a bar line "[|", an ending "[1", or a chord
  // (its first note is entered, with the chord's length).
  size_t Bracket(const std::string& line, size_t i) {
    if (i + 2 < line.size() && IsLetter(line[i + 1]) && line[i + 2] == ':') {
      const size_t close = line.find(']', i);
      const std::string value =
          Trimmed(line.substr(i + 3, close == std::string::npos ? std::string::npos
                                                                : close - i - 3));
      if (!BodyField(line[i + 1], value)) end_of_tune_ = true;
      return close == std::string::npos ? line.size() : close + 1;
    }
    if (i + 1 < line.size() && line[i + 1] == '|') return BarLine(line, i + 1);
    if (i + 1 < line.size() && IsDigit(line[i + 1])) return SkipEnding(line, i + 1);
    // A chord of notes.
    size_t j = i + 1;
    Note first;
    while (j < line.size() && line[j] != ']') {
      const char c = line[j];
      if (c == '^' || c == '_' || c == '=' || IsNoteLetter(c) || c == 'z' || c == 'x') {
        Note note;
        j = ReadNote(line, j, &note);
        if (note.valid && !first.valid) first = note;
        if (!note.valid && j < line.size() && line[j] != ']') ++j;
      } else {
        if (GneIsLeadByte(static_cast<uint8_t>(c))) ++j;
        if (!IsBlank(c)) CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
        ++j;
      }
    }
    if (j < line.size()) ++j;  // the "]"
    double multiplier = 1;
    j = ReadLength(line, j, &multiplier);
    if (!first.valid) return j;
    first.units *= multiplier;
    return FinishNote(line, j, first);
  }

  static size_t SkipEnding(const std::string& line, size_t i) {
    while (i < line.size() && (IsDigit(line[i]) || line[i] == ',' || line[i] == '-')) ++i;
    return i;
  }

  // A run of "|", ":" and "]" (after a "|"): a bar line when it holds "|" or
  // "::"; a following ending number is skipped.
  size_t BarLine(const std::string& line, size_t i) {
    bool bar = false;
    int colons = 0;
    while (i < line.size()) {
      const char c = line[i];
      if (c == '|') {
        bar = true;
      } else if (c == ':') {
        ++colons;
      } else if (c == ']' && bar) {
      } else if (c == '[' && i + 1 < line.size() && line[i + 1] == '|') {
      } else {
        break;
      }
      ++i;
    }
    if (colons >= 2) bar = true;
    if (i < line.size() && IsDigit(line[i])) i = SkipEnding(line, i);
    if (bar) EndBar();
    return i;
  }

  void EndBar() {
    ClearAccidentals();
    pending_factor_ = 1;
    if (!entered_) return;  // "||", ":||:" and a line starting "|:" open no empty bar
    ++bar_;
    pos_ = 0;
    entered_ = false;
  }

  // Opens bars up to the current one and three more; false (and the import
  // stops with a report) past the song's 1024 beats.
  bool OpenBars() {
    if (bar_ >= max_bars_) {
      CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
      stop_ = true;
      return false;
    }
    const int want = std::min(bar_ + 4, max_bars_);
    if (song_->bar_count < want) song_->bar_count = want;
    return true;
  }

  // The table value of a length in sixteenths: the longest that fits (a
  // sixteenth at least, a whole note at most).
  static int NoteValueCode(int sixteenths, bool from_second) {
    int best = 0;
    for (int code = 0; code < kNoteValueCount; ++code) {
      const double s = NoteValueTable[code].eighths * 2;
      if (s > sixteenths) break;
      if (from_second && code == 7) continue;  // cannot start at a second sixteenth
      best = code;
    }
    return best;
  }

  void Enter(const Note& note, double sixteenths) {
    if (!OpenBars()) return;
    const int place = static_cast<int>(pos_);
    const int eighth = place / 2;
    const bool second = (place & 1) != 0;
    int value = NoteSlotRest;
    if (!note.rest) {
      if (note.pitch < 0 || note.pitch > 127) {
        CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
      } else {
        value = note.pitch;
      }
    }
    int code = NoteValueCode(static_cast<int>(sixteenths), second);
    // Keep the note within the song's cells (the last bars of a full song).
    const int cell = song_->CellIndex(bar_, eighth);
    while (code > 0 && (cell < 0 || cell + static_cast<int>(NoteValueTable[code].eighths) >
                                        song_->SongCells()))
      --code;
    if (cell >= 0 && cell < song_->SongCells()) song_->SetNote(bar_, eighth, value, code, second);
    entered_ = true;

    pos_ += sixteenths;
    while (pos_ > bar_sixteenths_ + 1e-9) {
      // Notes past the bar's end open the next bar.
      CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
      pos_ -= bar_sixteenths_;
      pending_factor_ = 1;
      if (bar_ + 1 >= max_bars_) {
        CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
        stop_ = true;
        return;
      }
      ++bar_;
    }
  }

  CSongData* song_;
  Header header_;
  const std::vector<std::string>* lines_ = nullptr;
  size_t line_no_ = 0;
  int unit_ = 2;
  int key_[7] = {};
  int accidental_[7] = {};
  int bar_ = 0;
  double pos_ = 0;  // sixteenths into the bar
  double pending_factor_ = 1;
  bool entered_ = false;
  bool stop_ = false;
  bool end_of_tune_ = false;
  int bar_sixteenths_ = 16;
  int max_bars_ = 256;
  std::string voice_;
};

// The lines of the text without comment lines (the last line's too); `start` is the tune's
// "X:" line (text before it is the file's header), or the first line.
std::vector<std::string> TuneLines(const char* text, size_t length, size_t* start) {
  std::vector<std::string> lines = SplitLines(text, length);
  std::vector<std::string> kept;
  for (std::string& line : lines)
    if (line.empty() || line[0] != '%') kept.push_back(std::move(line));
  *start = 0;
  for (size_t k = 0; k < kept.size(); ++k) {
    if (kept[k].size() >= 2 && kept[k][0] == 'X' && kept[k][1] == ':') {
      *start = k;
      break;
    }
  }
  return kept;
}

// "M:": the metre kind, beats and the 2/4 flag, and the ratio the default unit length follows.
void ReadMetre(const std::string& value, Header& h) {
  h.metre_kind = 1;
  h.beats = 4;
  h.two_four = false;
  h.metre_ratio = 1.0;
  if (!value.empty() && value[0] == 'C') {
  } else if (value == "6/8") {
    h.metre_kind = 2;
    h.beats = 3;
  } else if (value == "3/4") {
    h.beats = 3;
  } else if (value == "4/4" || value == "2/2" || value == "8/8") {
  } else if (value == "2/4" || value == "4/8") {
    h.two_four = true;
  } else {
    CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
  }
  const size_t slash = value.find('/');
  if (slash != std::string::npos) {
    size_t p = 0, q = slash + 1;
    long long num = 0, den = 0;
    if (ReadNumber(value, &p, &num) && p == slash && ReadNumber(value, &q, &den) && den > 0)
      h.metre_ratio = static_cast<double>(num) / static_cast<double>(den);
  }
}

// "Q:1/4=n", held within 40-240.
void ReadTempo(const std::string& value, Header& h) {
  if (value.compare(0, 4, "1/4=") != 0) {
    CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
    return;
  }
  size_t p = 4;
  long long bpm = 0;
  ReadNumber(value, &p, &bpm);
  if (bpm < 40 || bpm > 240) {
    CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
    bpm = bpm < 40 ? 40 : 240;
  }
  h.tempo = static_cast<int>(bpm);
}

// One header line into `h`; false when it is no header field (the tune is not read).
bool ReadHeaderLine(const std::string& raw, Header& h, bool* key_seen) {
  const char first = raw.empty() ? '\0' : raw[0];
  if (raw.size() < 2 || raw[1] != ':') {
    CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
    return false;
  }
  const bool text_field = first == 'C' || first == 'O' || first == 'T';
  const std::string value = text_field
                                ? CutText(Trimmed(WithoutComment(raw.substr(2))), kHeaderValueLimit)
                                : WithoutBlanks(WithoutComment(raw.substr(2)));
  switch (first) {
    case 'C': h.composer = value; break;
    case 'O': h.origin = value; break;
    case 'T':
      if (h.title.empty()) h.title = value;  // later titles are subtitles
      break;
    case 'L':
      if (value == "1/4") h.unit = 4;
      else if (value == "1/8") h.unit = 2;
      else if (value == "1/16") h.unit = 1;
      else CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
      break;
    case 'M': ReadMetre(value, h); break;
    case 'Q': ReadTempo(value, h); break;
    case 'K': {
      bool found = false;
      h.key_row = KeyRowOf(value, &found);
      if (!found) CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
      *key_seen = true;
      break;
    }
    case 'A': case 'B': case 'D': case 'F': case 'G': case 'H': case 'I': case 'N':
    case 'P': case 'R': case 'S': case 'U': case 'V': case 'W': case 'X': case 'Z':
    case 'm': case 'r': case 's': case 'w':
      break;
    default:
      CAbcNotation::ReportError(CAbcNotation::kErrorGeneral);
      return false;
  }
  return true;
}

// A one-bar song of the header's metre and key, with its texts and tempo, every bar the tune
// may open starting on the key's tonic chord.
void StartSong(CSongData* song, const Header& h) {
  song->Reset(1, h.beats, h.key_row, h.metre_kind);
  std::string composer = h.origin;
  if (!h.composer.empty()) composer += (composer.empty() ? "" : " ") + h.composer;
  SongInfoBlock& info = song->info;
  info.SetText(SongInfoBlock::kComposer, SongInfoBlock::kComposerSize,
               CutText(composer, SongInfoBlock::kComposerSize - 1));
  info.SetText(SongInfoBlock::kAltComposer, SongInfoBlock::kAltComposerSize,
               CutText(composer, SongInfoBlock::kAltComposerSize - 1));
  info.SetText(SongInfoBlock::kTitle, SongInfoBlock::kTitleSize,
               CutText(h.title, SongInfoBlock::kTitleSize - 1));
  info.SetText(SongInfoBlock::kAltTitle, SongInfoBlock::kAltTitleSize,
               CutText(h.title, SongInfoBlock::kAltTitleSize - 1));
  info.SetInt(SongInfoBlock::kTempo, h.tempo);
  song->ClearBar(0, true);
  for (int b = 0; b < kSongMaxBeats; ++b) {
    song_bytes::SetField(song->chords[b].first, 8, song->key_tonic);
    std::memset(song->chords[b].second, 0, 8);
  }
}

}  // namespace

CAbcNotation::~CAbcNotation() = default;

void CAbcNotation::ReportError(int code) {
  if (code == 0) {
    AbcErrors().ResetWarnings();
    return;
  }
  if (code == 6 || code == 7 || code == 8) AbcErrors().Warning(static_cast<uint32_t>(code));
}

void CAbcNotation::CheckNoteLetter(char c) {
  if (!IsNoteLetter(c)) ReportError(kErrorGeneral);
}

bool CAbcNotation::TwoFourFlag() { return g_two_four.load(); }

void CAbcNotation::ResetState() {
  AbcErrors().ResetWarnings();
  g_two_four = false;
}

int CAbcNotation::Import(CSongData* song, const char* text, size_t length) {
  ReportError(0);
  g_two_four = false;
  if (song == nullptr || (text == nullptr && length > 0)) return 0;

  size_t n = 0;
  const std::vector<std::string> lines = TuneLines(text, length, &n);
  Header h;
  bool key_seen = false;
  for (; n < lines.size() && !key_seen; ++n)
    if (!ReadHeaderLine(lines[n], h, &key_seen)) return 0;
  if (!key_seen) {  // no "K:" line: no tune
    ReportError(kErrorGeneral);
    return 0;
  }

  StartSong(song, h);
  AbcReader reader(song, h);
  const int bars = reader.ReadBody(lines, n);
  song->SetBarCount(bars);
  if (h.two_four) {
    for (int b = 0; b < bars && b * 4 + 3 < kSongMaxBeats; ++b) {
      song_bytes::SetField(song->chords[b * 4 + 2].first, 8, "Skip");
      song_bytes::SetField(song->chords[b * 4 + 3].first, 8, "Skip");
    }
    g_two_four = true;
  }
  return 1;
}

int FuzzAbcText(const unsigned char* data, size_t size) {
  auto song = std::make_unique<CSongData>();
  song->Reset(4, 4, 0, 1);
  const int ok = CAbcNotation::Import(song.get(), reinterpret_cast<const char*>(data), size);
  if (ok == 0) return -1;
  // What the dialog does next: look at the song and save it.
  if (song->bar_count < 0 || song->bar_count * song->beats_per_bar > kSongMaxBeats) return -2;
  for (int c = 0; c < song->SongCells(); ++c)
    for (int s = 0; s < 3; ++s)
      if (song->cells[c].slot[s] > 127) return -3;
  song->SerializeToVector();
  song->RemoveSkipBeats();
  return song->bar_count;
}
