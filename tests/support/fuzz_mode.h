// How many inputs a seeded mutation test takes. CI runs the short count; by hand,
// with CANTREL_FUZZ_LONG set, each test takes a million inputs between its shards
// (or the number CANTREL_FUZZ_LONG gives), for example:
//
//   CANTREL_FUZZ_LONG=1 build/test/tests/test_music_songs --gtest_filter='*Fuzz*'
#pragma once

#include <cstdlib>

namespace cantrel_test {

inline bool FuzzLongMode() {
  const char* v = std::getenv("CANTREL_FUZZ_LONG");
  return v != nullptr && *v != '\0' && *v != '0';
}

// The inputs of one shard: `short_count` normally, else its share of the long run.
inline long FuzzInputs(long short_count, int shards = 1) {
  if (!FuzzLongMode()) return short_count;
  long total = std::strtol(std::getenv("CANTREL_FUZZ_LONG"), nullptr, 10);
  if (total <= 1) total = 1000000;
  return (total + shards - 1) / shards;
}

}  // namespace cantrel_test
