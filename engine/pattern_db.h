// The pattern and timing databases: four text files in the program folder.
//
// Pattern file (the style's "PATTERN.DB" family): records
// "<current chord><following chord><count>|", e.g. "CMPoFMPo040|".
// Cadence file (the style's "RESOLUT.DB" family): a record with the number N
// of cadences, then N records of chord codes one after another.
// Time charts ("TIMECHT*.DB" and "RESTIME*.DB", chosen by key mode and metre):
// a record with the number N of charts, then N records of three-digit chord
// lengths in ticks. Blanks, CR and LF are ignored anywhere; "|" ends a record.
//
// Each file is read whole into a 16384-byte buffer with a terminating zero, so
// a file may hold at most 16383 bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr size_t kDatabaseBufferSize = 16384;
constexpr size_t kMaxDatabaseFileSize = kDatabaseBufferSize - 1;
constexpr int kChordToneLines = 648;
constexpr int kChordToneLineSize = 19;  // 16-character text, "|", CR, LF

// Record limits of the readers.
constexpr size_t kScanRecordSize = 255;       // pattern count scan: 254 characters
constexpr size_t kSuccessorRecordSize = 84;   // successor choice: 83 characters

struct PatternDatabases {
  char pattern_text[kDatabaseBufferSize] = {};
  char cadence_text[kDatabaseBufferSize] = {};
  char time_chart_text[kDatabaseBufferSize] = {};
  char cadence_time_chart_text[kDatabaseBufferSize] = {};
  // Largest count of the pattern file / 8 (may be 0; users divide by at
  // least 1).
  int32_t pattern_count_scale = 0;
  // 648 lines of tone weights of every chord code, then a zero byte.
  char chord_tone_table[kDatabaseBufferSize] = {};
  // Grows whenever the chord-tone table is rewritten (keys the tone cache).
  uint32_t chord_tone_generation = 0;
};

PatternDatabases& PatternDb();
// Empties the texts, the count scale and rebuilds the chord-tone table.
void ResetPatternDatabases();

int32_t PatternCountScale();

// Reads the four files; 1 on success, 0 when the pattern file is missing or
// too large (the other three texts are then left as they were). A missing
// cadence file or time chart shows its error and leaves that text empty.
// The chord-tone table is rebuilt in every case.
int LoadPatternDatabases();

// Path of a database named by a style: a name whose second character is ":"
// or that is absolute is used unchanged, anything else lies in the program
// folder.
std::string DatabasePath(const std::string& name);

// Reads one record from text at *position into record (at most record_size-1
// characters are kept; a longer record shows 0xFF01003E and is cut).
// Returns true when the text ended before a "|".
bool ReadDatabaseRecord(const char* text, char* record, size_t record_size, int* record_length,
                        size_t* position);
// Moves *position past `count` "|" separators (0xFF01003E when the text ends).
void SkipDatabaseRecords(const char* text, int count, size_t* position);
// Sets the count scale from the pattern text.
void ScanPatternCounts(const char* pattern_text);
// Parses the decimal digits starting at text (at most max_digits; 0 when none).
int ParseDatabaseNumber(const char* text, int max_digits);

void BuildChordToneTable();
void RebuildChordToneTable();
// Writes the 16-character tone-weight text of a chord and a terminator.
void MakeChordToneLine(char* out, char root, char third, char fifth, char seventh);
