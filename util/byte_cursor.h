// Bounded byte cursors: every stored format (song file, style record, settings
// block, Standard MIDI File chunks, ...) is read and written through these.
//
// A cursor walks one span of bytes. Reads and writes move it forward; a read or
// write that would run past the end does not touch memory outside the span: it
// sets the cursor's failed flag, reads as 0 (a write writes nothing) and leaves
// the cursor at the end. The flag stays set, so a reader may read a whole record
// and look at ok() once.
//
//   ByteReader in(data, size);
//   const uint32_t length = in.U32Be();
//   const std::string name = in.Text(8);  // fixed 8-byte field, cut at its NUL
//   if (!in.ok()) ...                     // the data ended early
//
// Integers: U8/I8, 16- and 32-bit little-endian (Le) and big-endian (Be), 24-bit
// big-endian (tempo); VarLen is the Standard MIDI File variable-length number.
// For records that are read and written by one field list, Le(field) reads into
// or writes from an integer of any width, and Bytes(field, n) copies raw bytes,
// so one template walks the fields in both directions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <type_traits>

class ByteReader {
 public:
  ByteReader(const uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  ByteReader(const void* data, size_t size)
      : ByteReader(static_cast<const uint8_t*>(data), size) {}

  size_t size() const { return size_; }
  size_t pos() const { return pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool ok() const { return ok_; }
  bool AtEnd() const { return pos_ >= size_; }
  // The bytes at the cursor (null for an empty span).
  const uint8_t* Here() const { return data_ ? data_ + pos_ : nullptr; }

  // Moves to an absolute position or forward; past the end fails and stops at the end.
  ByteReader& Seek(size_t pos) {
    if (pos > size_) return Fail();
    pos_ = pos;
    return *this;
  }
  ByteReader& Skip(size_t n) {
    Take(n);
    return *this;
  }
  // The next byte without moving; 0 at the end (not a failure).
  uint8_t Peek(size_t ahead = 0) const {
    return ahead < remaining() ? data_[pos_ + ahead] : 0;
  }

  uint8_t U8() { const uint8_t* p = Take(1); return p ? p[0] : 0; }
  int8_t I8() { return static_cast<int8_t>(U8()); }
  uint16_t U16Le() { return static_cast<uint16_t>(Uint(2, false)); }
  uint16_t U16Be() { return static_cast<uint16_t>(Uint(2, true)); }
  int16_t I16Le() { return static_cast<int16_t>(U16Le()); }
  uint32_t U24Be() { return static_cast<uint32_t>(Uint(3, true)); }
  uint32_t U32Le() { return static_cast<uint32_t>(Uint(4, false)); }
  uint32_t U32Be() { return static_cast<uint32_t>(Uint(4, true)); }
  int32_t I32Le() { return static_cast<int32_t>(U32Le()); }

  // A variable-length number: 7 bits a byte, the high bit set on every byte but
  // the last, at most four bytes (the fourth ends it whatever its high bit). A
  // number cut short by the end fails and gives the bits read so far.
  uint32_t VarLen() {
    uint32_t v = 0;
    for (int k = 0; k < 4; ++k) {
      const uint8_t* p = Take(1);
      if (p == nullptr) return v;
      v = (v << 7) | (p[0] & 0x7Fu);
      if ((p[0] & 0x80u) == 0) break;
    }
    return v;
  }

  // Copies n bytes; on running short copies nothing, zero-fills `out` and fails.
  bool Bytes(void* out, size_t n) {
    const uint8_t* p = Take(n);
    if (p == nullptr) {
      if (n) std::memset(out, 0, n);
      return false;
    }
    if (n) std::memcpy(out, p, n);
    return true;
  }
  // A fixed field of n bytes holding a text that ends at its first NUL (or fills it).
  std::string Text(size_t n) {
    const uint8_t* p = Take(n);
    if (p == nullptr) return {};
    const void* nul = std::memchr(p, 0, n);
    const size_t len = nul ? static_cast<size_t>(static_cast<const uint8_t*>(nul) - p) : n;
    return std::string(reinterpret_cast<const char*>(p), len);
  }
  // A cursor over the next n bytes (cut to what is there, failing this one), moved past.
  ByteReader Sub(size_t n) {
    const size_t have = n <= remaining() ? n : remaining();
    ByteReader sub(Here(), have);
    if (!Take(n)) pos_ = size_;
    return sub;
  }

  // Field-list form: reads a little-endian integer of the field's width.
  template <class T>
  void Le(T& field) {
    static_assert(std::is_integral_v<T>, "integer fields only");
    field = static_cast<T>(Uint(sizeof(T), false));
  }

 private:
  ByteReader& Fail() {
    ok_ = false;
    pos_ = size_;
    return *this;
  }
  const uint8_t* Take(size_t n) {
    if (n > remaining()) {
      Fail();
      return nullptr;
    }
    const uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  uint64_t Uint(size_t n, bool big_endian) {
    const uint8_t* p = Take(n);
    if (p == nullptr) return 0;
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) {
      const size_t shift = 8 * (big_endian ? n - 1 - i : i);
      v |= static_cast<uint64_t>(p[i]) << shift;
    }
    return v;
  }

  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

class ByteWriter {
 public:
  ByteWriter(uint8_t* data, size_t size) : data_(data), size_(data ? size : 0) {}
  ByteWriter(void* data, size_t size) : ByteWriter(static_cast<uint8_t*>(data), size) {}

  size_t size() const { return size_; }
  size_t pos() const { return pos_; }
  size_t remaining() const { return size_ - pos_; }
  bool ok() const { return ok_; }
  uint8_t* Here() const { return data_ ? data_ + pos_ : nullptr; }

  ByteWriter& Seek(size_t pos) {
    if (pos > size_) return Fail();
    pos_ = pos;
    return *this;
  }
  // Moves forward over n bytes, leaving them as they are.
  ByteWriter& Skip(size_t n) {
    Take(n);
    return *this;
  }

  void U8(uint8_t v) { Uint(v, 1, false); }
  void I8(int8_t v) { Uint(static_cast<uint8_t>(v), 1, false); }
  void U16Le(uint32_t v) { Uint(v & 0xFFFFu, 2, false); }
  void U16Be(uint32_t v) { Uint(v & 0xFFFFu, 2, true); }
  void U24Be(uint32_t v) { Uint(v & 0xFFFFFFu, 3, true); }
  void U32Le(uint32_t v) { Uint(v, 4, false); }
  void U32Be(uint32_t v) { Uint(v, 4, true); }
  void I16Le(int32_t v) { U16Le(static_cast<uint32_t>(v)); }
  void I32Le(int32_t v) { U32Le(static_cast<uint32_t>(v)); }

  // A variable-length number of 1 to 4 bytes; negative values are written as 0 and
  // values above 0x0FFFFFFF as 0x0FFFFFFF. Returns the bytes it takes (written or not).
  static int VarLenSize(int64_t value) {
    const uint32_t v = Held(value);
    int count = 1;
    while (count < 4 && (v >> (7 * count)) != 0) ++count;
    return count;
  }
  int VarLen(int64_t value) {
    const uint32_t v = Held(value);
    const int count = VarLenSize(value);
    uint8_t* p = Take(static_cast<size_t>(count));
    if (p == nullptr) return count;
    for (int i = 0; i < count; ++i) {
      const uint8_t group = static_cast<uint8_t>((v >> (7 * (count - 1 - i))) & 0x7F);
      p[i] = i + 1 < count ? static_cast<uint8_t>(group | 0x80) : group;
    }
    return count;
  }

  bool Bytes(const void* v, size_t n) {
    uint8_t* p = Take(n);
    if (p == nullptr) return false;
    if (n) std::memcpy(p, v, n);
    return true;
  }
  void Zeros(size_t n) {
    uint8_t* p = Take(n);
    if (p && n) std::memset(p, 0, n);
  }
  // A fixed field of n bytes: the text cut to n - 1 bytes, NUL-padded.
  void Text(const std::string& text, size_t n) {
    uint8_t* p = Take(n);
    if (p == nullptr || n == 0) return;
    const size_t len = text.size() < n - 1 ? text.size() : n - 1;
    std::memset(p, 0, n);
    if (len) std::memcpy(p, text.data(), len);
  }

  // Field-list form: writes a little-endian integer of the field's width.
  template <class T>
  void Le(const T& field) {
    static_assert(std::is_integral_v<T>, "integer fields only");
    Uint(static_cast<uint64_t>(static_cast<std::make_unsigned_t<T>>(field)), sizeof(T), false);
  }

 private:
  static uint32_t Held(int64_t value) {
    if (value < 0) return 0;
    return value > 0x0FFFFFFF ? 0x0FFFFFFFu : static_cast<uint32_t>(value);
  }
  ByteWriter& Fail() {
    ok_ = false;
    pos_ = size_;
    return *this;
  }
  uint8_t* Take(size_t n) {
    if (n > remaining()) {
      Fail();
      return nullptr;
    }
    uint8_t* p = data_ + pos_;
    pos_ += n;
    return p;
  }
  void Uint(uint64_t v, size_t n, bool big_endian) {
    uint8_t* p = Take(n);
    if (p == nullptr) return;
    for (size_t i = 0; i < n; ++i) {
      const size_t shift = 8 * (big_endian ? n - 1 - i : i);
      p[i] = static_cast<uint8_t>(v >> shift);
    }
  }

  uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};
