#include "draw/qr_encoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace qr_tables {
extern const int32_t kQrVersionTable[41][37];
}

namespace {

using qr_tables::kQrVersionTable;

// Columns of a version row.
constexpr int kColTotal = 1;
constexpr int kColData = 2;        // + level
constexpr int kColAlignCount = 6;
constexpr int kColAlign = 7;       // up to six positions
constexpr int kColBlocks = 13;     // + group * 12 + level * 3: blocks, codewords, data codewords

// Cell values while the symbol is built: function modules, and data modules holding their bit in
// bit 1 and their masked colour in bit 0. A cell is dark when (cell & 0x11) is not 0.
constexpr uint8_t kDarkFunction = 0x30;
constexpr uint8_t kLightFunction = 0x20;
constexpr uint8_t kFunctionBit = 0x20;
constexpr uint8_t kDataBit = 0x02;

constexpr int kCountWidths[4][3] = {
    {10, 12, 14},  // numeric
    {9, 11, 13},   // alphanumeric
    {8, 16, 16},   // 8-bit byte
    {8, 10, 12},   // kanji
};

// The standard's format bits of L, M, Q, H.
constexpr int kLevelFormatBits[4] = {1, 0, 3, 2};

// Exponents and logarithms of GF(256) with the field polynomial 0x11D.
struct GaloisField {
  uint8_t exp[512] = {};
  uint8_t log[256] = {};
  constexpr GaloisField() {
    int x = 1;
    for (int i = 0; i < 255; ++i) {
      exp[i] = static_cast<uint8_t>(x);
      log[x] = static_cast<uint8_t>(i);
      x <<= 1;
      if (x & 0x100) x ^= 0x11D;
    }
    for (int i = 255; i < 512; ++i) exp[i] = exp[i - 255];
  }
};
constexpr GaloisField kField;

// Generator polynomials by error-correction codeword count (7 to 30), as exponents of alpha,
// highest term first (its leading coefficient 1 left out).
struct Generators {
  uint8_t exponents[31][30] = {};
  constexpr Generators() {
    for (int n = 1; n <= 30; ++n) {
      // Coefficients, highest term first, of prod (x - alpha^i), i = 0 .. n-1.
      uint8_t poly[31] = {};
      poly[0] = 1;
      int degree = 0;
      for (int i = 0; i < n; ++i) {
        uint8_t next[31] = {};
        for (int k = 0; k <= degree; ++k) {
          next[k] ^= poly[k];
          if (poly[k] != 0)
            next[k + 1] ^= kField.exp[kField.log[poly[k]] + i];
        }
        ++degree;
        for (int k = 0; k <= degree; ++k) poly[k] = next[k];
      }
      for (int k = 0; k < n; ++k) exponents[n][k] = kField.log[poly[k + 1]];
    }
  }
};
constexpr Generators kGenerators;

int AlphanumericValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  switch (c) {
    case ' ': return 36;
    case '$': return 37;
    case '%': return 38;
    case '*': return 39;
    case '+': return 40;
    case '-': return 41;
    case '.': return 42;
    case '/': return 43;
    case ':': return 44;
    default: return -1;
  }
}

bool IsKanjiPair(uint8_t first, uint8_t second) {
  if (second < 0x40) return false;
  if (first >= 0x81 && first <= 0x9F) return first != 0x9F || second <= 0xFC;
  if (first >= 0xE0 && first <= 0xEB) return first != 0xEB || second <= 0xBF;
  return false;
}

int GroupOfVersion(int version) {
  if (version >= 27) return 2;
  if (version >= 10) return 1;
  return 0;
}

bool MaskCondition(int mask, int x, int y) {
  switch (mask) {
    case 0: return (x + y) % 2 == 0;
    case 1: return y % 2 == 0;
    case 2: return x % 3 == 0;
    case 3: return (x + y) % 3 == 0;
    case 4: return (x / 3 + y / 2) % 2 == 0;
    case 5: return x * y % 2 + x * y % 3 == 0;
    case 6: return (x * y % 2 + x * y % 3) % 2 == 0;
    default: return ((x + y) % 2 + x * y % 3) % 2 == 0;
  }
}

// Per-mask row and column patterns: whether the mask flips the module, by the line's index
// modulo 12 (every mask repeats within 12 modules both ways).
struct MaskPatterns {
  QrLine rows[8][12] = {};     // [mask][y % 12], bit x
  QrLine columns[8][12] = {};  // [mask][x % 12], bit y
  constexpr MaskPatterns() {
    for (int m = 0; m < 8; ++m) {
      for (int k = 0; k < 12; ++k) {
        for (int i = 0; i < CQrEncoder::kMaxSize; ++i) {
          if (MaskCondition(m, i, k)) rows[m][k].w[i >> 6] |= uint64_t{1} << (i & 63);
          if (MaskCondition(m, k, i)) columns[m][k].w[i >> 6] |= uint64_t{1} << (i & 63);
        }
      }
    }
  }
};
const MaskPatterns kMaskPatterns;

// Penalty of one line (bit i = module i dark, nothing at or past n): runs of five or more
// modules of one colour add their length - 2; a finder-like stretch dark, light, dark x3, light,
// dark between light modules, with four light modules before or after it, adds 40. Modules
// outside the symbol count as light for the finder rule.
int ScoreLine(const QrLine& dark, const QrLine& inside) {
  int penalty = 0;
  const QrLine light = inside & ~dark;
  for (const QrLine* colour : {&dark, &light}) {
    const QrLine& c = *colour;
    const QrLine five = c & (c >> 1) & (c >> 2) & (c >> 3) & (c >> 4);
    // A run of length r >= 5 holds r - 4 starts of five; each run adds 2 more.
    penalty += five.Count() + 2 * (five & ~(five << 1)).Count();
  }
  const QrLine open = ~dark;  // light, outside included
  const QrLine pattern = dark & (open >> 1) & (dark >> 2) & (dark >> 3) & (dark >> 4) &
                         (open >> 5) & (dark >> 6);
  const QrLine before = open.ShiftUpFilled(1) & open.ShiftUpFilled(2) & open.ShiftUpFilled(3) &
                        open.ShiftUpFilled(4);
  const QrLine after = (open >> 7) & (open >> 8) & (open >> 9) & (open >> 10);
  const QrLine finders = pattern & open.ShiftUpFilled(1) & (open >> 7) & (before | after);
  penalty += 40 * finders.Count();
  return penalty;
}

}  // namespace

int CQrEncoder::SegmentBits(int mode, int length, int group) {
  const int c = kCountWidths[mode][group];
  switch (mode) {
    case kNumeric:
      return 4 + c + 10 * (length / 3) + (length % 3 == 1 ? 4 : length % 3 == 2 ? 7 : 0);
    case kAlphanumeric:
      return 4 + c + 11 * (length / 2) + 6 * (length % 2);
    case kByte:
      return 4 + c + 8 * length;
    default:
      return 4 + c + 13 * (length / 2);
  }
}

int CQrEncoder::DataCapacity(int version, int level) {
  return kQrVersionTable[version][kColData + level];
}

int CQrEncoder::SegmentBitsAt(int i, int group) const {
  return SegmentBits(segmentModes_[i], segmentLengths_[i], group);
}

int CQrEncoder::EncodeText(int level, int version, int allowLarger, int mask, const char* text,
                           int length) {
  if (level < 0 || level > 3 || mask < -1 || mask > 7 || version < 0 || version > 40 || !text)
    return 0;
  level_ = level;
  mask_ = mask;
  if (length <= 0) length = static_cast<int>(strnlen(text, kMaxSegments + 1));
  // No symbol holds more than kMaxSegments bytes; longer texts are refused before any work.
  if (length == 0 || length > kMaxSegments) return 0;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(text);

  const int found = FindVersion(bytes, length, version);
  if (found == 0) return 0;
  if (version == 0 || version < found) {
    if (version != 0 && !allowLarger) return 0;
    version_ = found;
  } else {
    version_ = version;
  }

  const int capacity = DataCapacity(version_, level_);
  const int freeBits = capacity * 8 - bitCount_;
  if (freeBits > 0) AppendBits(0, std::min(4, freeBits));
  for (int i = (bitCount_ + 7) / 8, k = 0; i < capacity; ++i, ++k)
    data_[i] = (k % 2 == 0) ? 236 : 17;

  InterleaveBlocks();
  size_ = version_ * 4 + 17;
  BuildMatrix();
  return 1;
}

int CQrEncoder::FindVersion(const uint8_t* text, int length, int requested) {
  static constexpr int kFirst[3] = {1, 10, 27};
  static constexpr int kLast[3] = {9, 26, 40};
  for (int group = GroupOfVersion(requested); group <= 2; ++group) {
    if (!BuildBitStream(text, length, group)) continue;
    const int bytes = (bitCount_ + 7) / 8;
    for (int v = kFirst[group]; v <= kLast[group]; ++v)
      if (DataCapacity(v, level_) >= bytes) return v;
  }
  return 0;
}

bool CQrEncoder::BuildBitStream(const uint8_t* text, int length, int group) {
  ClassifySegments(text, length);
  JoinNumericAlphanumeric(group);
  AbsorbIntoBytes(group);
  return WriteSegments(text, group);
}

void CQrEncoder::ClassifySegments(const uint8_t* text, int length) {
  segmentCount_ = 0;
  for (int i = 0; i < length;) {
    Mode mode;
    int width = 1;
    if (i + 1 < length && IsKanjiPair(text[i], text[i + 1])) {
      mode = kKanji;
      width = 2;
    } else if (text[i] >= '0' && text[i] <= '9') {
      mode = kNumeric;
    } else if (AlphanumericValue(text[i]) >= 0) {
      mode = kAlphanumeric;
    } else {
      mode = kByte;
    }
    if (segmentCount_ > 0 && segmentModes_[segmentCount_ - 1] == mode) {
      segmentLengths_[segmentCount_ - 1] += width;
    } else {
      segmentModes_[segmentCount_] = mode;
      segmentLengths_[segmentCount_] = width;
      ++segmentCount_;
    }
    i += width;
  }
}

void CQrEncoder::MergeSegments(int first, int last, Mode mode) {
  int total = 0;
  for (int k = first; k <= last; ++k) total += segmentLengths_[k];
  segmentModes_[first] = mode;
  segmentLengths_[first] = total;
  const int removed = last - first;
  const int tail = segmentCount_ - last - 1;
  std::memmove(segmentModes_ + first + 1, segmentModes_ + last + 1, tail);
  std::memmove(segmentLengths_ + first + 1, segmentLengths_ + last + 1, tail * sizeof(int32_t));
  segmentCount_ -= removed;
}

// A numeric and an alphanumeric segment side by side become one alphanumeric segment when that
// is shorter, unless a neighbouring 8-bit segment takes one of them in more cheaply.
void CQrEncoder::JoinNumericAlphanumeric(int group) {
  int i = 0;
  while (i < segmentCount_ - 1) {
    const int a = segmentModes_[i], b = segmentModes_[i + 1];
    const bool pair =
        (a == kNumeric && b == kAlphanumeric) || (a == kAlphanumeric && b == kNumeric);
    if (!pair) {
      ++i;
      continue;
    }
    const int joined = SegmentBits(kAlphanumeric, segmentLengths_[i] + segmentLengths_[i + 1], group);
    const int ci = SegmentBitsAt(i, group), cj = SegmentBitsAt(i + 1, group);
    if (!(joined < ci + cj)) {
      ++i;
      continue;
    }
    int p = 0, n = 0;
    if (i > 0 && segmentModes_[i - 1] == kByte) {
      const int p1 = cj + SegmentBits(kByte, segmentLengths_[i - 1] + segmentLengths_[i], group);
      const int p2 = SegmentBitsAt(i - 1, group) + joined;
      if (p1 <= p2) p = p1;
    }
    if (i + 2 < segmentCount_ && segmentModes_[i + 2] == kByte) {
      const int n1 = ci + SegmentBits(kByte, segmentLengths_[i + 1] + segmentLengths_[i + 2], group);
      const int n2 = SegmentBitsAt(i + 2, group) + joined;
      if (n1 <= n2) n = n1;
    }
    if (p == 0 && n == 0) {
      if (i + 2 < segmentCount_ && segmentModes_[i + 2] == kAlphanumeric)
        MergeSegments(i + 1, i + 2, kAlphanumeric);
      MergeSegments(i, i + 1, kAlphanumeric);
      if (i > 0 && segmentModes_[i - 1] == kAlphanumeric) MergeSegments(i - 1, i, kAlphanumeric);
    } else if ((n == 0 && p > 0) || (p > 0 && n > 0 && p < n)) {
      MergeSegments(i - 1, i, kByte);
    } else {
      MergeSegments(i + 1, i + 2, kByte);
    }
  }
}

// Two segments of any modes become one 8-bit segment (taking in 8-bit neighbours, whose headers
// are then saved) when that is shorter.
void CQrEncoder::AbsorbIntoBytes(int group) {
  const int header = 4 + kCountWidths[kByte][group];
  int i = 0;
  while (i < segmentCount_ - 1) {
    const int apart = SegmentBitsAt(i, group) + SegmentBitsAt(i + 1, group);
    int merged = SegmentBits(kByte, segmentLengths_[i] + segmentLengths_[i + 1], group);
    const bool before = i > 0 && segmentModes_[i - 1] == kByte;
    const bool after = i + 2 < segmentCount_ && segmentModes_[i + 2] == kByte;
    if (before) merged -= header;
    if (after) merged -= header;
    if (merged < apart) {
      const int first = before ? i - 1 : i;
      MergeSegments(first, after ? i + 2 : i + 1, kByte);
      i = std::max(first - 1, 0);
    } else {
      ++i;
    }
  }
}

void CQrEncoder::AppendBits(uint32_t value, int bits) {
  if (bitCount_ < 0) return;
  if (bitCount_ + bits > kMaxBits) {
    bitCount_ = -1;
    return;
  }
  for (int i = bits - 1; i >= 0; --i) {
    if ((value >> i) & 1) data_[bitCount_ >> 3] |= static_cast<uint8_t>(0x80 >> (bitCount_ & 7));
    ++bitCount_;
  }
}

bool CQrEncoder::WriteSegments(const uint8_t* text, int group) {
  std::memset(data_, 0, sizeof data_);
  bitCount_ = 0;
  int at = 0;
  for (int s = 0; s < segmentCount_ && bitCount_ >= 0; ++s) {
    const int mode = segmentModes_[s];
    const int n = segmentLengths_[s];
    const uint8_t* p = text + at;
    at += n;
    const int width = kCountWidths[mode][group];
    switch (mode) {
      case kNumeric: {
        AppendBits(1, 4);
        AppendBits(n, width);
        int k = 0;
        for (; k + 3 <= n; k += 3)
          AppendBits((p[k] - '0') * 100 + (p[k + 1] - '0') * 10 + (p[k + 2] - '0'), 10);
        if (n - k == 2) AppendBits((p[k] - '0') * 10 + (p[k + 1] - '0'), 7);
        if (n - k == 1) AppendBits(p[k] - '0', 4);
        break;
      }
      case kAlphanumeric: {
        AppendBits(2, 4);
        AppendBits(n, width);
        int k = 0;
        for (; k + 2 <= n; k += 2)
          AppendBits(AlphanumericValue(p[k]) * 45 + AlphanumericValue(p[k + 1]), 11);
        if (k < n) AppendBits(AlphanumericValue(p[k]), 6);
        break;
      }
      case kByte:
        AppendBits(4, 4);
        AppendBits(n, width);
        for (int k = 0; k < n; ++k) AppendBits(p[k], 8);
        break;
      default:
        AppendBits(8, 4);
        AppendBits(n / 2, width);
        for (int k = 0; k + 1 < n; k += 2) {
          const int base = p[k] <= 0x9F ? 0x81 : 0xC1;
          AppendBits((p[k] - base) * 0xC0 + (p[k + 1] - 0x40), 13);
        }
        break;
    }
  }
  return bitCount_ >= 0;
}

void CQrEncoder::ComputeEcc(const uint8_t* data, int dataCount, int eccCount, uint8_t* ecc) {
  std::memset(ecc, 0, eccCount);
  const uint8_t* generator = kGenerators.exponents[eccCount];
  for (int i = 0; i < dataCount; ++i) {
    const uint8_t factor = data[i] ^ ecc[0];
    std::memmove(ecc, ecc + 1, eccCount - 1);
    ecc[eccCount - 1] = 0;
    if (factor == 0) continue;
    const int logFactor = kField.log[factor];
    for (int k = 0; k < eccCount; ++k) ecc[k] ^= kField.exp[generator[k] + logFactor];
  }
}

// Splits the data codewords into the blocks of the version and level, appends each block's
// error-correction codewords and interleaves them into the final sequence.
void CQrEncoder::InterleaveBlocks() {
  const int32_t* row = kQrVersionTable[version_];
  const int* g1 = &row[kColBlocks + level_ * 3];
  const int* g2 = &row[kColBlocks + 12 + level_ * 3];
  const int blocks = g1[0] + g2[0];
  const int eccCount = g1[1] - g1[2];
  const int dataTotal = DataCapacity(version_, level_);
  totalCodewords_ = row[kColTotal];

  auto blockData = [&](int b, int* start) {
    *start = b < g1[0] ? b * g1[2] : g1[0] * g1[2] + (b - g1[0]) * g2[2];
    return b < g1[0] ? g1[2] : g2[2];
  };
  const int longest = std::max(g1[2], g2[2]);
  int at = 0;
  for (int i = 0; i < longest; ++i) {
    for (int b = 0; b < blocks; ++b) {
      int start;
      if (i < blockData(b, &start)) codewords_[at++] = data_[start + i];
    }
  }
  for (int b = 0; b < blocks; ++b) {
    int start;
    const int count = blockData(b, &start);
    ComputeEcc(data_ + start, count, eccCount, rsWork_);
    for (int i = 0; i < eccCount; ++i) codewords_[dataTotal + i * blocks + b] = rsWork_[i];
  }
}

void CQrEncoder::SetFunction(int x, int y, bool dark) {
  modules_[x][y] = dark ? kDarkFunction : kLightFunction;
}

void CQrEncoder::PlaceFunctionPatterns() {
  for (int i = 0; i < size_; ++i) {
    SetFunction(6, i, i % 2 == 0);
    SetFunction(i, 6, i % 2 == 0);
  }
  const int centres[3][2] = {{3, 3}, {size_ - 4, 3}, {3, size_ - 4}};
  for (const auto& c : centres) {
    for (int dy = -4; dy <= 4; ++dy) {
      for (int dx = -4; dx <= 4; ++dx) {
        const int x = c[0] + dx, y = c[1] + dy;
        if (x < 0 || y < 0 || x >= size_ || y >= size_) continue;
        const int dist = std::max(std::abs(dx), std::abs(dy));
        SetFunction(x, y, dist != 2 && dist != 4);
      }
    }
  }
  const int32_t* row = kQrVersionTable[version_];
  const int others = row[kColAlignCount];
  if (others > 0) {
    int positions[7] = {6};
    for (int k = 0; k < others; ++k) positions[k + 1] = row[kColAlign + k];
    const int n = others + 1;
    for (int i = 0; i < n; ++i) {
      for (int j = 0; j < n; ++j) {
        if ((i == 0 && j == 0) || (i == 0 && j == n - 1) || (i == n - 1 && j == 0)) continue;
        for (int dy = -2; dy <= 2; ++dy)
          for (int dx = -2; dx <= 2; ++dx)
            SetFunction(positions[i] + dx, positions[j] + dy,
                        std::max(std::abs(dx), std::abs(dy)) != 1);
      }
    }
  }
  WriteFormatInformation(0);  // reserves the areas and sets the dark module
  if (version_ >= 7) {
    int rem = version_;
    for (int i = 0; i < 12; ++i) rem = (rem << 1) ^ ((rem >> 11) * 0x1F25);
    const int bits = version_ << 12 | rem;
    for (int i = 0; i < 18; ++i) {
      const bool bit = (bits >> i) & 1;
      const int a = size_ - 11 + i % 3, b = i / 3;
      SetFunction(a, b, bit);
      SetFunction(b, a, bit);
    }
  }
}

void CQrEncoder::WriteFormatInformation(int mask) {
  const int data = kLevelFormatBits[level_] << 3 | mask;
  int rem = data;
  for (int i = 0; i < 10; ++i) rem = (rem << 1) ^ ((rem >> 9) * 0x537);
  const int bits = (data << 10 | rem) ^ 0x5412;
  auto bit = [bits](int i) { return ((bits >> i) & 1) != 0; };
  for (int i = 0; i <= 5; ++i) SetFunction(8, i, bit(i));
  SetFunction(8, 7, bit(6));
  SetFunction(8, 8, bit(7));
  SetFunction(7, 8, bit(8));
  for (int i = 9; i < 15; ++i) SetFunction(14 - i, 8, bit(i));
  for (int i = 0; i < 8; ++i) SetFunction(size_ - 1 - i, 8, bit(i));
  for (int i = 8; i < 15; ++i) SetFunction(8, size_ - 15 + i, bit(i));
  SetFunction(8, size_ - 8, true);
}

// The codeword bits go into the non-function modules two columns at a time, from the bottom
// right corner, upwards and downwards in turn, skipping the vertical timing column.
void CQrEncoder::PlaceCodewords() {
  const int bits = totalCodewords_ * 8;
  int i = 0;
  for (int right = size_ - 1; right >= 1; right -= 2) {
    if (right == 6) right = 5;
    const bool upward = ((right + 1) & 2) == 0;
    for (int vert = 0; vert < size_; ++vert) {
      const int y = upward ? size_ - 1 - vert : vert;
      for (int j = 0; j < 2; ++j) {
        const int x = right - j;
        if (modules_[x][y] & kFunctionBit) continue;
        if (i < bits && ((codewords_[i >> 3] >> (7 - (i & 7))) & 1)) modules_[x][y] = kDataBit;
        ++i;
      }
    }
  }
}

void CQrEncoder::ApplyMask(int mask) {
  for (int x = 0; x < size_; ++x) {
    for (int y = 0; y < size_; ++y) {
      uint8_t& cell = modules_[x][y];
      if (cell & kFunctionBit) continue;
      const uint8_t bit = (cell >> 1) & 1;
      cell = static_cast<uint8_t>((cell & ~1u) | (bit ^ (MaskCondition(mask, x, y) ? 1 : 0)));
    }
  }
}

// The lines of the symbol before masking: dark function modules, data bits, and which modules
// the mask touches (the format areas count as light function modules here).
void CQrEncoder::PrepareMaskLines() {
  for (int k = 0; k < size_; ++k) {
    rowFunction_[k] = columnFunction_[k] = rowData_[k] = columnData_[k] = QrLine{};
    rowMasked_[k] = columnMasked_[k] = QrLine{};
  }
  for (int x = 0; x < size_; ++x) {
    for (int y = 0; y < size_; ++y) {
      const uint8_t cell = modules_[x][y];
      if (cell & kFunctionBit) {
        if (cell == kDarkFunction && !IsFormatCell(x, y)) {
          rowFunction_[y].Set(x);
          columnFunction_[x].Set(y);
        }
      } else {
        rowMasked_[y].Set(x);
        columnMasked_[x].Set(y);
        if (cell & kDataBit) {
          rowData_[y].Set(x);
          columnData_[x].Set(y);
        }
      }
    }
  }
}

bool CQrEncoder::IsFormatCell(int x, int y) const {
  if (x == 8 && (y <= 8 || y >= size_ - 8)) return true;
  if (y == 8 && (x <= 8 || x >= size_ - 8)) return true;
  return false;
}

// The penalty of the symbol under one mask with its format information, scored line by line on
// bit sets.
int CQrEncoder::ScorePenalty(int mask) {
  const int n = size_;
  QrLine rows[kMaxSize], columns[kMaxSize];
  for (int k = 0; k < n; ++k) {
    rows[k] = rowFunction_[k] | ((rowData_[k] ^ kMaskPatterns.rows[mask][k % 12]) & rowMasked_[k]);
    columns[k] = columnFunction_[k] |
                 ((columnData_[k] ^ kMaskPatterns.columns[mask][k % 12]) & columnMasked_[k]);
  }
  // The format cells as this mask writes them.
  WriteFormatInformation(mask);
  for (int k = 0; k < n; ++k) {
    if (IsFormatCell(k, 8) && modules_[k][8] == kDarkFunction) {
      rows[8].Set(k);
      columns[k].Set(8);
    }
    if (IsFormatCell(8, k) && modules_[8][k] == kDarkFunction) {
      rows[k].Set(8);
      columns[8].Set(k);
    }
  }
  const QrLine inside = QrLine::FirstBits(n);
  const QrLine pairs = QrLine::FirstBits(n - 1);
  int penalty = 0;
  int dark = 0;
  for (int k = 0; k < n; ++k) {
    penalty += ScoreLine(rows[k], inside) + ScoreLine(columns[k], inside);
    dark += rows[k].Count();
  }
  for (int y = 0; y + 1 < n; ++y) {
    const QrLine& a = rows[y];
    const QrLine& b = rows[y + 1];
    const QrLine same = ~(a ^ b) & ~(a ^ (a >> 1)) & ~(b ^ (b >> 1)) & pairs;
    penalty += 3 * same.Count();
  }
  const int light = n * n - dark;
  const int k = 50 - (light * 100 / (n * n));
  penalty += (std::abs(k) / 5) * 10;
  return penalty;
}

void CQrEncoder::BuildMatrix() {
  std::memset(modules_, 0, sizeof modules_);
  PlaceFunctionPatterns();
  PlaceCodewords();
  int chosen = mask_;
  if (chosen == -1) {
    PrepareMaskLines();
    int best = 0;
    for (int m = 0; m < 8; ++m) {
      const int penalty = ScorePenalty(m);
      if (m == 0 || penalty < best) {
        best = penalty;
        chosen = m;
      }
    }
  }
  ApplyMask(chosen);
  WriteFormatInformation(chosen);
  mask_ = chosen;
  for (int x = 0; x < size_; ++x)
    for (int y = 0; y < size_; ++y) modules_[x][y] = (modules_[x][y] & 0x11) ? 1 : 0;
}
