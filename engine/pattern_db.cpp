#include "engine/pattern_db.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/engine_errors.h"
#include "engine/engine_store.h"
#include "platform/core/encoding.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

std::unique_ptr<PatternDatabases>& Store() { return TheEngineStore().patterns; }

bool& TableBuilt() { return TheEngineStore().chord_tone_table_built; }

enum class ReadResult { kOk, kMissing, kTooLarge };

// Reads a whole database file into a 16384-byte buffer with its terminator.
ReadResult ReadDatabaseFile(const std::filesystem::path& path, char* buffer) {
  const int64_t size = plat::FileSize(path);
  if (size < 0) return ReadResult::kMissing;
  if (size > static_cast<int64_t>(kMaxDatabaseFileSize)) return ReadResult::kTooLarge;
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(path, bytes)) return ReadResult::kMissing;
  if (bytes.size() > kMaxDatabaseFileSize) return ReadResult::kTooLarge;
  std::memset(buffer, 0, kDatabaseBufferSize);
  if (!bytes.empty()) std::memcpy(buffer, bytes.data(), bytes.size());
  buffer[bytes.size()] = '\0';
  return ReadResult::kOk;
}

std::filesystem::path ProgramFolderFile(const std::string& name) {
  return plat::ProgramFolder() / plat::Cp932ToUtf8(name);
}

// Reads one of the three further files; on failure its error is shown and
// its text left empty.
void LoadOptional(const std::filesystem::path& path, char* buffer, ProgramErrorCode error) {
  if (ReadDatabaseFile(path, buffer) != ReadResult::kOk) {
    std::memset(buffer, 0, kDatabaseBufferSize);
    ShowErrorByCode(error);
  }
}

const char kRoots[] = {'C', 'd', 'D', 'e', 'E', 'F', 'g', 'G', 'a', 'A', 'b', 'B'};
const char kThirds[] = {'M', 'm', '4'};
const char kFifths[] = {'P', 'A', 'd'};
const char kSevenths[] = {'S', 's', 'd', 'o', '6', '9'};

void WriteChordToneLines(char* table) {
  size_t at = 0;
  for (char r : kRoots)
    for (char t : kThirds)
      for (char f : kFifths)
        for (char s : kSevenths) {
          char text[17];
          MakeChordToneLine(text, r, t, f, s);
          std::memcpy(table + at, text, 16);
          table[at + 16] = '|';
          table[at + 17] = '\r';
          table[at + 18] = '\n';
          at += kChordToneLineSize;
        }
  table[at] = '\0';
}

}  // namespace

PatternDatabases& PatternDb() {
  PatternDatabases& db = *Store();
  if (!TableBuilt()) {
    // The table needs no file: it is there before the first load.
    TableBuilt() = true;
    BuildChordToneTable();
  }
  return db;
}

void ResetPatternDatabases() {
  const uint32_t generation = Store()->chord_tone_generation;
  Store() = std::make_unique<PatternDatabases>();
  Store()->chord_tone_generation = generation + 1;
  TableBuilt() = false;
  PatternDb();
}

int32_t PatternCountScale() { return PatternDb().pattern_count_scale; }

std::string DatabasePath(const std::string& name) {
  if (name.size() >= 2 && name[1] == ':') return name;
  const std::filesystem::path as_path(plat::Cp932ToUtf8(name));
  if (as_path.is_absolute()) return as_path.string();
  return ProgramFolderFile(name).string();
}

int LoadPatternDatabases() {
  PatternDatabases& db = PatternDb();
  const StyleRecord& style = CurrentStyle();

  const std::string pattern_path = DatabasePath(StyleText(style.pattern_db));
  std::vector<char> pattern(kDatabaseBufferSize, '\0');
  if (ReadDatabaseFile(pattern_path, pattern.data()) != ReadResult::kOk) {
    ShowErrorByCode(engine_error::kPatternFile);
    GneMessageBox(plat::Utf8ToCp932(pattern_path) +
                  "がプログラムフォルダ内に見つかりませんでした。\n"
                  "強制終了したあと、音楽スタイルを変更することで問題が修正されることがあります。");
    BuildChordToneTable();
    return 0;
  }
  std::memcpy(db.pattern_text, pattern.data(), kDatabaseBufferSize);
  ScanPatternCounts(db.pattern_text);

  LoadOptional(DatabasePath(StyleText(style.chorus_db)), db.cadence_text,
               engine_error::kCadenceFile);
  LoadOptional(ProgramFolderFile(TimeChartFileName()), db.time_chart_text,
               engine_error::kTimeChartFile);
  LoadOptional(ProgramFolderFile(CadenceTimeChartFileName()), db.cadence_time_chart_text,
               engine_error::kCadenceTimeChartFile);

  BuildChordToneTable();
  return 1;
}

bool ReadDatabaseRecord(const char* text, char* record, size_t record_size, int* record_length,
                        size_t* position) {
  size_t pos = *position;
  size_t kept = 0;
  bool cut = false;
  bool ended = true;
  while (text[pos] != '\0') {
    const char c = text[pos++];
    if (c == '|') {
      ended = false;
      break;
    }
    if (c == '\r' || c == '\n' || c == ' ') continue;
    if (record_size > 0 && kept + 1 < record_size) {
      record[kept++] = c;
    } else {
      cut = true;
    }
  }
  if (record_size > 0) record[kept] = '\0';
  if (record_length != nullptr) *record_length = static_cast<int>(kept);
  *position = pos;
  if (cut) ShowErrorByCode(engine_error::kDatabaseRead);
  return ended;
}

void SkipDatabaseRecords(const char* text, int count, size_t* position) {
  size_t pos = *position;
  int passed = 0;
  while (passed < count) {
    const char c = text[pos];
    if (c == '\0') {
      ShowErrorByCode(engine_error::kDatabaseRead);
      break;
    }
    ++pos;
    if (c == '|') ++passed;
  }
  *position = pos;
}

int ParseDatabaseNumber(const char* text, int max_digits) {
  int value = 0;
  for (int i = 0; (max_digits <= 0 || i < max_digits) && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value > 100000000) break;  // far beyond any count; keeps the value in range
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

void ScanPatternCounts(const char* pattern_text) {
  int largest = 0;
  size_t pos = 0;
  char record[kScanRecordSize];
  for (;;) {
    int length = 0;
    const bool ended = ReadDatabaseRecord(pattern_text, record, sizeof record, &length, &pos);
    if (length > 8) {
      const int count = ParseDatabaseNumber(record + 8, 0);
      if (count > largest) largest = count;
    }
    if (ended) break;
  }
  PatternDb().pattern_count_scale = largest / 8;
}

void MakeChordToneLine(char* out, char root, char third, char fifth, char seventh) {
  out[0] = root;
  out[1] = third;
  out[2] = fifth;
  out[3] = seventh;
  int weights[12] = {};
  const int r = RootPitchClass(root);
  weights[r] = 9;
  switch (third) {
    case '4': weights[(r + 5) % 12] = 9; break;
    case 'M': weights[(r + 4) % 12] = 9; break;
    case 'm': weights[(r + 3) % 12] = 9; break;
    default: break;
  }
  switch (fifth) {
    case 'A': weights[(r + 8) % 12] = 9; break;
    case 'P': weights[(r + 7) % 12] = 9; break;
    case 'd': weights[(r + 6) % 12] = 9; break;
    default: break;
  }
  switch (seventh) {
    case '6': weights[(r + 9) % 12] = 5; break;
    case 's': weights[(r + 10) % 12] = 5; break;
    case '9': weights[(r + 2) % 12] = 4; break;
    case 'S': weights[(r + 11) % 12] = 4; break;
    default: break;
  }
  for (int pc = 0; pc < 12; ++pc) out[4 + pc] = static_cast<char>('0' + weights[pc]);
  out[16] = '\0';
}

void BuildChordToneTable() {
  PatternDatabases& db = *Store();
  TableBuilt() = true;
  std::memset(db.chord_tone_table, 0, sizeof db.chord_tone_table);
  WriteChordToneLines(db.chord_tone_table);
  ++db.chord_tone_generation;
}

void RebuildChordToneTable() {
  PatternDatabases& db = *Store();
  TableBuilt() = true;
  WriteChordToneLines(db.chord_tone_table);
  ++db.chord_tone_generation;
}
