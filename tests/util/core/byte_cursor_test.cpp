#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "util/byte_cursor.h"

namespace {

TEST(ByteCursor, IntegersInBothByteOrders) {
  const uint8_t b[] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0, 0x80, 0x01};
  struct Case {
    const char* name;
    uint64_t (*read)(ByteReader&);
    uint64_t want;
    size_t used;
  };
  const Case cases[] = {
      {"U8", [](ByteReader& r) -> uint64_t { return r.U8(); }, 0x12, 1},
      {"I8", [](ByteReader& r) -> uint64_t { return static_cast<uint64_t>(r.Seek(8).I8()); },
       static_cast<uint64_t>(int64_t{-128}), 9},
      {"U16Le", [](ByteReader& r) -> uint64_t { return r.U16Le(); }, 0x3412, 2},
      {"U16Be", [](ByteReader& r) -> uint64_t { return r.U16Be(); }, 0x1234, 2},
      {"I16Le", [](ByteReader& r) -> uint64_t { return static_cast<uint64_t>(r.Seek(8).I16Le()); },
       static_cast<uint64_t>(int64_t{0x0180}), 10},
      {"U24Be", [](ByteReader& r) -> uint64_t { return r.U24Be(); }, 0x123456, 3},
      {"U32Le", [](ByteReader& r) -> uint64_t { return r.U32Le(); }, 0x78563412, 4},
      {"U32Be", [](ByteReader& r) -> uint64_t { return r.U32Be(); }, 0x12345678, 4},
      {"I32Le", [](ByteReader& r) -> uint64_t { return static_cast<uint64_t>(r.Seek(4).I32Le()); },
       static_cast<uint64_t>(int64_t{static_cast<int32_t>(0xF0DEBC9Au)}), 8},
  };
  for (const Case& c : cases) {
    ByteReader r(b, sizeof b);
    EXPECT_EQ(c.read(r), c.want) << c.name;
    EXPECT_EQ(r.pos(), c.used) << c.name;
    EXPECT_TRUE(r.ok()) << c.name;
  }
}

TEST(ByteCursor, WriterAndReaderAgree) {
  std::vector<uint8_t> buf(32, 0xEE);
  ByteWriter w(buf.data(), buf.size());
  w.U8(0xAB);
  w.I16Le(-2);
  w.U16Be(0x1234);
  w.U24Be(0x07A120);
  w.I32Le(-123456789);
  w.U32Be(0xCAFEBABE);
  w.Text("abc", 5);
  EXPECT_EQ(w.VarLen(0x3FFF), 2);
  EXPECT_TRUE(w.ok());
  EXPECT_EQ(w.pos(), 1u + 2 + 2 + 3 + 4 + 4 + 5 + 2);
  EXPECT_EQ(buf[w.pos()], 0xEE) << "wrote past its fields";

  ByteReader r(buf.data(), w.pos());
  EXPECT_EQ(r.U8(), 0xAB);
  EXPECT_EQ(r.I16Le(), -2);
  EXPECT_EQ(r.U16Be(), 0x1234);
  EXPECT_EQ(r.U24Be(), 0x07A120u);
  EXPECT_EQ(r.I32Le(), -123456789);
  EXPECT_EQ(r.U32Be(), 0xCAFEBABEu);
  EXPECT_EQ(r.Text(5), "abc");
  EXPECT_EQ(r.VarLen(), 0x3FFFu);
  EXPECT_TRUE(r.ok());
  EXPECT_TRUE(r.AtEnd());
}

TEST(ByteCursor, FieldListFormReadsAndWritesEachWidth) {
  struct Rec {
    uint8_t a;
    int16_t b;
    int32_t c;
    int8_t d;
    char text[3];
  };
  auto transfer = [](auto& io, auto& rec) {
    io.Le(rec.a);
    io.Le(rec.b);
    io.Le(rec.c);
    io.Le(rec.d);
    io.Bytes(rec.text, sizeof rec.text);
  };
  const Rec in{0x81, -300, 0x01020304, -5, {'x', 'y', 'z'}};
  uint8_t bytes[11] = {};
  ByteWriter w(bytes, sizeof bytes);
  transfer(w, in);
  EXPECT_TRUE(w.ok());
  const uint8_t want[11] = {0x81, 0xD4, 0xFE, 0x04, 0x03, 0x02, 0x01, 0xFB, 'x', 'y', 'z'};
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 11), std::vector<uint8_t>(want, want + 11));
  Rec out{};
  ByteReader r(bytes, sizeof bytes);
  transfer(r, out);
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(out.a, in.a);
  EXPECT_EQ(out.b, in.b);
  EXPECT_EQ(out.c, in.c);
  EXPECT_EQ(out.d, in.d);
  EXPECT_EQ(std::string(out.text, 3), "xyz");
}

// Every read that would run past the end fails, gives 0, reads nothing outside
// the span and leaves the cursor at the end; the failure stays.
TEST(ByteCursor, ReadingPastTheEndFailsAndStaysFailed) {
  const uint8_t b[] = {1, 2, 3};
  struct Case {
    const char* name;
    void (*read)(ByteReader&);
  };
  const Case cases[] = {
      {"U32Le", [](ByteReader& r) { EXPECT_EQ(r.U32Le(), 0u); }},
      {"U32Be", [](ByteReader& r) { EXPECT_EQ(r.U32Be(), 0u); }},
      {"U24Be after a byte", [](ByteReader& r) { r.U8(); EXPECT_EQ(r.U24Be(), 0u); }},
      {"U16 after two", [](ByteReader& r) { r.Skip(2); EXPECT_EQ(r.U16Be(), 0u); }},
      {"Text", [](ByteReader& r) { EXPECT_EQ(r.Text(4), ""); }},
      {"Bytes", [](ByteReader& r) {
         uint8_t out[4] = {9, 9, 9, 9};
         EXPECT_FALSE(r.Bytes(out, 4));
         EXPECT_EQ(out[0], 0);  // zero-filled, not half-copied
       }},
      {"Seek", [](ByteReader& r) { r.Seek(4); }},
      {"Skip", [](ByteReader& r) { r.Skip(5); }},
      {"Sub", [](ByteReader& r) { EXPECT_EQ(r.Sub(9).size(), 3u); }},
      {"VarLen cut short", [](ByteReader& r) { r.Skip(2); r.VarLen(); }},
  };
  for (const Case& c : cases) {
    // The span is the first three bytes of a larger array whose fourth byte is a
    // terminated number: a cursor reading on would find it.
    const uint8_t backing[] = {0x81, 0x82, 0x83, 0x00};
    ByteReader r(c.name[0] == 'V' ? backing : b, 3);
    c.read(r);
    EXPECT_FALSE(r.ok()) << c.name;
    EXPECT_TRUE(r.AtEnd()) << c.name;
    EXPECT_EQ(r.U8(), 0) << c.name;
    EXPECT_FALSE(r.ok()) << c.name;
  }
}

TEST(ByteCursor, WritingPastTheEndWritesNothing) {
  uint8_t buf[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  ByteWriter w(buf, 3);
  w.U16Be(0x0102);
  w.U32Le(0x03040506);  // does not fit: nothing of it is written
  EXPECT_FALSE(w.ok());
  EXPECT_EQ(buf[2], 0xEE);
  ByteWriter v(buf + 3, 2);
  v.VarLen(0x0FFFFFFF);  // four bytes
  EXPECT_FALSE(v.ok());
  EXPECT_EQ(buf[3], 0xEE);
  EXPECT_EQ(buf[4], 0xEE);
  ByteWriter t(buf, 2);
  t.Text("long text", 3);
  EXPECT_FALSE(t.ok());
  EXPECT_EQ(buf[0], 0x01);
}

TEST(ByteCursor, VariableLengthNumbers) {
  struct Case {
    std::vector<uint8_t> bytes;
    uint32_t value;
    size_t used;
  };
  const Case cases[] = {
      {{0x00}, 0, 1},
      {{0x7F}, 0x7F, 1},
      {{0x81, 0x00}, 0x80, 2},
      {{0xFF, 0x7F}, 0x3FFF, 2},
      {{0x81, 0x80, 0x00}, 0x4000, 3},
      {{0xFF, 0xFF, 0xFF, 0x7F}, 0x0FFFFFFF, 4},
      // The fourth byte ends a number whatever its high bit.
      {{0xFF, 0xFF, 0xFF, 0xFF, 0x01}, 0x0FFFFFFF, 4},
  };
  for (const Case& c : cases) {
    ByteReader r(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(r.VarLen(), c.value);
    EXPECT_EQ(r.pos(), c.used);
    EXPECT_TRUE(r.ok());
  }
  // Writing holds the value to 0..0x0FFFFFFF.
  const struct {
    int64_t value;
    std::vector<uint8_t> bytes;
  } writes[] = {{-5, {0x00}},
                {0x80, {0x81, 0x00}},
                {0x200000, {0x81, 0x80, 0x80, 0x00}},
                {int64_t{1} << 40, {0xFF, 0xFF, 0xFF, 0x7F}}};
  for (const auto& c : writes) {
    uint8_t out[4] = {};
    ByteWriter w(out, sizeof out);
    EXPECT_EQ(w.VarLen(c.value), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(ByteWriter::VarLenSize(c.value), static_cast<int>(c.bytes.size()));
    EXPECT_EQ(std::vector<uint8_t>(out, out + w.pos()), c.bytes) << c.value;
  }
}

TEST(ByteCursor, FixedTextsEndAtTheirNulOrFillTheField) {
  const uint8_t b[] = {'a', 'b', 0, 'z', 'c', 'd', 'e', 'f'};
  ByteReader r(b, sizeof b);
  EXPECT_EQ(r.Text(4), "ab");
  EXPECT_EQ(r.Text(4), "cdef");
  uint8_t field[4];
  ByteWriter w(field, sizeof field);
  w.Text("toolong", 4);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(field), 4), std::string("too\0", 4));
}

TEST(ByteCursor, SubCursorIsBoundedToItsPart) {
  const uint8_t b[] = {0, 0, 0, 2, 0xAA, 0xBB, 0xCC};
  ByteReader r(b, sizeof b);
  ByteReader chunk = r.Sub(r.U32Be());
  EXPECT_EQ(chunk.U16Be(), 0xAABBu);
  EXPECT_EQ(chunk.U8(), 0);
  EXPECT_FALSE(chunk.ok());
  EXPECT_TRUE(r.ok());
  EXPECT_EQ(r.U8(), 0xCC);
}

TEST(ByteCursor, NullSpanIsEmpty) {
  ByteReader r(static_cast<const uint8_t*>(nullptr), 100);
  EXPECT_EQ(r.size(), 0u);
  EXPECT_EQ(r.U8(), 0);
  EXPECT_FALSE(r.ok());
  ByteWriter w(static_cast<uint8_t*>(nullptr), 100);
  w.U8(1);
  EXPECT_FALSE(w.ok());
}

}  // namespace
