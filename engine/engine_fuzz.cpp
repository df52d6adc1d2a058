#include "engine/engine_fuzz.h"

#include <array>
#include <cstring>

#include "engine/chord_block.h"
#include "engine/compose_info.h"
#include "engine/pattern_db.h"
#include "engine/progression.h"
#include "engine/tone_weights.h"

int FuzzPatternDatabaseBytes(const uint8_t* data, size_t size) {
  PatternDatabases& db = PatternDb();
  const size_t n = size < kMaxDatabaseFileSize ? size : kMaxDatabaseFileSize;
  std::memset(db.pattern_text, 0, kDatabaseBufferSize);
  if (n > 0) std::memcpy(db.pattern_text, data, n);
  ScanPatternCounts(db.pattern_text);

  // Records as the cadence and chart readers take them.
  size_t pos = 0;
  char record[kSuccessorRecordSize];
  int total = 0;
  for (int i = 0; i < 64; ++i) {
    int length = 0;
    if (ReadDatabaseRecord(db.pattern_text, record, sizeof record, &length, &pos)) break;
    if (length >= 4) {
      std::array<SuccessorCandidate, kSuccessorCapacity> candidates{};
      total += CollectSuccessors(record, db.pattern_text, &candidates);
      char code[4];
      std::memcpy(code, record, 4);
      PickNextChord(code);
      char weights[kToneWeightTextSize];
      BuildToneWeights(code, weights);
    }
  }
  pos = 0;
  SkipDatabaseRecords(db.pattern_text, ParseDatabaseNumber(db.pattern_text, 3) % 50, &pos);

  // The bytes as stored chord entries.
  for (size_t at = 0; at + kChordEntrySize <= n && at < 6 * 32; at += kChordEntrySize) {
    ChordBlock block(data + at, reinterpret_cast<const char*>(data + at + 2));
    int pitch = block.NearestChordTone(60);
    block.NearestTriadTone(&pitch, 1);
    block.StepToChordTone(&pitch, -1);
    total += block.ToneWeight(pitch) >= 0 ? 0 : 1;
  }
  return total;
}
