// The QR Code encoder: turns a Shift-JIS text into a QR Code model 2 symbol (versions 1-40,
// levels L, M, Q, H; numeric, alphanumeric, 8-bit byte and kanji segments). One call of
// EncodeText fills the object; the caller then reads the size and the module matrix. Everything
// lives in the object: nothing is allocated.
#pragma once

#include <cstdint>

// One row or column of a symbol as a bit set: bit i is module i.
struct QrLine {
  uint64_t w[4] = {};

  constexpr void Set(int i) { w[i >> 6] |= uint64_t{1} << (i & 63); }
  bool Any() const { return (w[0] | w[1] | w[2] | w[3]) != 0; }
  int Count() const {
    return Any() ? Bits(w[0]) + Bits(w[1]) + Bits(w[2]) + Bits(w[3]) : 0;
  }
  static int Bits(uint64_t v) {
    v = v - ((v >> 1) & 0x5555555555555555ULL);
    v = (v & 0x3333333333333333ULL) + ((v >> 2) & 0x3333333333333333ULL);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((v * 0x0101010101010101ULL) >> 56);
  }
  static constexpr QrLine FirstBits(int n) {
    QrLine line;
    for (int i = 0; i < 4; ++i) {
      const int bits = n - 64 * i;
      line.w[i] = bits >= 64 ? ~uint64_t{0} : bits <= 0 ? 0 : (uint64_t{1} << bits) - 1;
    }
    return line;
  }
  // Bit i of the result is bit i + k (0 < k < 64).
  QrLine operator>>(int k) const {
    return {{(w[0] >> k) | (w[1] << (64 - k)), (w[1] >> k) | (w[2] << (64 - k)),
             (w[2] >> k) | (w[3] << (64 - k)), w[3] >> k}};
  }
  // Bit i of the result is bit i - k (0 < k < 64); below bit 0 come zeros.
  QrLine operator<<(int k) const {
    return {{w[0] << k, (w[1] << k) | (w[0] >> (64 - k)), (w[2] << k) | (w[1] >> (64 - k)),
             (w[3] << k) | (w[2] >> (64 - k))}};
  }
  // As << but with ones below bit 0.
  QrLine ShiftUpFilled(int k) const {
    QrLine line = *this << k;
    line.w[0] |= (uint64_t{1} << k) - 1;
    return line;
  }
  QrLine operator&(const QrLine& o) const {
    return {{w[0] & o.w[0], w[1] & o.w[1], w[2] & o.w[2], w[3] & o.w[3]}};
  }
  QrLine operator|(const QrLine& o) const {
    return {{w[0] | o.w[0], w[1] | o.w[1], w[2] | o.w[2], w[3] | o.w[3]}};
  }
  QrLine operator^(const QrLine& o) const {
    return {{w[0] ^ o.w[0], w[1] ^ o.w[1], w[2] ^ o.w[2], w[3] ^ o.w[3]}};
  }
  QrLine operator~() const { return {{~w[0], ~w[1], ~w[2], ~w[3]}}; }
};

class CQrEncoder {
 public:
  static constexpr int kMaxSize = 177;              // version 40
  static constexpr int kMaxDataCodewords = 2956;    // version 40-L
  static constexpr int kMaxCodewords = 3706;        // version 40
  static constexpr int kMaxBits = kMaxDataCodewords * 8;
  // The longest text any symbol holds (7,089 digits at 40-L): one segment per byte at most.
  static constexpr int kMaxSegments = 7089;

  enum Mode : uint8_t { kNumeric = 0, kAlphanumeric = 1, kByte = 2, kKanji = 3 };

  // level 0 = L, 1 = M, 2 = Q, 3 = H; version 1-40 or 0 = the smallest that holds the text;
  // allowLarger: a too small requested version grows (1) or the call fails (0); mask 0-7 or -1 =
  // chosen by penalty; length in bytes, 0 or less = up to the terminating zero. Returns 1 when a
  // symbol was made, 0 for an empty or too long text and for arguments out of range.
  int EncodeText(int level, int version, int allowLarger, int mask, const char* text, int length);

  int Level() const { return level_; }
  int Version() const { return version_; }
  int Mask() const { return mask_; }
  int Size() const { return size_; }
  // 1 dark, 0 light; x the column from the left, y the row from the top.
  uint8_t Module(int x, int y) const { return modules_[x][y]; }

  // The encoding's inner results, for checking against the standard's worked examples.
  int BitCount() const { return bitCount_; }
  int SegmentCount() const { return segmentCount_; }
  Mode SegmentMode(int i) const { return static_cast<Mode>(segmentModes_[i]); }
  int SegmentLength(int i) const { return segmentLengths_[i]; }
  const uint8_t* DataCodewords() const { return data_; }
  int TotalCodewords() const { return totalCodewords_; }
  const uint8_t* Codewords() const { return codewords_; }

  // Bits of one segment of `mode` holding `length` bytes of text, with the count width of
  // version group `group` (0: versions 1-9, 1: 10-26, 2: 27-40).
  static int SegmentBits(int mode, int length, int group);
  // The data codewords of a version at a level.
  static int DataCapacity(int version, int level);

 private:
  int FindVersion(const uint8_t* text, int length, int requested);
  bool BuildBitStream(const uint8_t* text, int length, int group);
  void ClassifySegments(const uint8_t* text, int length);
  void JoinNumericAlphanumeric(int group);
  void AbsorbIntoBytes(int group);
  bool WriteSegments(const uint8_t* text, int group);
  void AppendBits(uint32_t value, int bits);
  void MergeSegments(int first, int last, Mode mode);
  int SegmentBitsAt(int i, int group) const;

  void ComputeEcc(const uint8_t* data, int dataCount, int eccCount, uint8_t* ecc);
  void InterleaveBlocks();
  void BuildMatrix();
  void PlaceFunctionPatterns();
  void PlaceCodewords();
  void ApplyMask(int mask);
  void WriteFormatInformation(int mask);
  void PrepareMaskLines();
  bool IsFormatCell(int x, int y) const;
  int ScorePenalty(int mask);
  void SetFunction(int x, int y, bool dark);

  int level_ = 0;
  int version_ = 0;
  int reserved_ = 0;
  int mask_ = -1;
  int size_ = 0;
  uint8_t modules_[kMaxSize][kMaxSize];
  int bitCount_ = 0;
  uint8_t data_[kMaxDataCodewords];
  int segmentCount_ = 0;
  uint8_t segmentModes_[kMaxSegments];
  int32_t segmentLengths_[kMaxSegments];
  int totalCodewords_ = 0;
  uint8_t codewords_[kMaxCodewords];
  uint8_t rsWork_[153];
  // The symbol's lines before masking, for scoring the masks on bit sets.
  QrLine rowFunction_[kMaxSize], columnFunction_[kMaxSize];
  QrLine rowData_[kMaxSize], columnData_[kMaxSize];
  QrLine rowMasked_[kMaxSize], columnMasked_[kMaxSize];
};
