// A pattern table: one row per pattern code with the generator that plays it. The harmony,
// bass and drum dispatchers each keep one.
#pragma once

#include <cstddef>

template <typename Generator>
struct PatternRow {
  int code;
  Generator generate;
};

// The generator of the code's row; nullptr when the code has no row or its row none.
template <typename Generator, size_t N>
Generator FindPatternRow(const PatternRow<Generator> (&rows)[N], int code) {
  for (const PatternRow<Generator>& row : rows)
    if (row.code == code) return row.generate;
  return nullptr;
}
