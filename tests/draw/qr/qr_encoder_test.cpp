// The QR Code encoder against the standard's worked example, its own segment rules, an
// independent encoder (python3-qrcode) module by module, and a decoder (zbarimg).
#include "draw/qr_encoder.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/test_support.h"
#include "tests/support/zbar.h"
#include "util/gne.h"

namespace {

using cantrel_test::RunTool;
using cantrel_test::TempDir;

std::unique_ptr<CQrEncoder> Encode(int level, int version, int allowLarger, int mask,
                                   const std::string& text, int* result) {
  auto qr = std::make_unique<CQrEncoder>();
  *result = qr->EncodeText(level, version, allowLarger, mask, text.data(),
                           static_cast<int>(text.size()));
  return qr;
}

std::string Hex(const uint8_t* bytes, int n) {
  std::string out;
  char buf[4];
  for (int i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, i ? " %02X" : "%02X", bytes[i]);
    out += buf;
  }
  return out;
}

// The longest (or a short) single-mode text that fits the version and level.
std::string FillText(int version, int level, int mode, bool full) {
  static const char* alphabets[] = {"0123456789", "ABCDEFGHIJKLMNOPQRSTUVWXYZ",
                                    "abcdefghijklmnopqrstuvwxyz"};
  const int group = version >= 27 ? 2 : version >= 10 ? 1 : 0;
  const int bits = CQrEncoder::DataCapacity(version, level) * 8;
  int n = 1;
  while (CQrEncoder::SegmentBits(mode, n + 1, group) <= bits) ++n;
  if (!full) n = std::max(1, n / 3);
  std::string text;
  const int k = static_cast<int>(std::string(alphabets[mode]).size());
  for (int i = 0; i < n; ++i) text += alphabets[mode][GneRandomRange(0, k - 1)];
  return text;
}

TEST(QrEncoder, StandardWorkedExample) {
  int ok = 0;
  auto qr = Encode(1, 0, 0, -1, "01234567", &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_EQ(qr->Version(), 1);
  EXPECT_EQ(qr->Size(), 21);
  ASSERT_EQ(qr->SegmentCount(), 1);
  EXPECT_EQ(qr->SegmentMode(0), CQrEncoder::kNumeric);
  EXPECT_EQ(CQrEncoder::SegmentBits(CQrEncoder::kNumeric, 8, 0), 41);
  EXPECT_EQ(Hex(qr->DataCodewords(), 16), "10 20 0C 56 61 80 EC 11 EC 11 EC 11 EC 11 EC 11");
  EXPECT_EQ(qr->TotalCodewords(), 26);
  EXPECT_EQ(Hex(qr->Codewords() + 16, 10), "A5 24 D4 C1 ED 36 C7 87 2C 55");
  EXPECT_EQ(qr->Mask(), 2);
}

struct SegmentCase {
  const char* text;
  std::vector<std::pair<CQrEncoder::Mode, int>> segments;
};

TEST(QrEncoder, SegmentsAreChosenByTheirBitCost) {
  const SegmentCase cases[] = {
      {"01234567", {{CQrEncoder::kNumeric, 8}}},
      // 24 bits joined against 19 + 18 apart.
      {"A1", {{CQrEncoder::kAlphanumeric, 2}}},
      // One 8-bit segment that swallows its neighbour costs 36 - 12 against 28 + 18.
      {"ab1cd", {{CQrEncoder::kByte, 5}}},
      {"\x8a\xbf\x8e\x9a", {{CQrEncoder::kKanji, 4}}},
      {"HTTP://EXAMPLE.COM/0123456789012345678901234567",
       {{CQrEncoder::kAlphanumeric, 19}, {CQrEncoder::kNumeric, 28}}},
      {"abcdefgh0123456789012345", {{CQrEncoder::kByte, 8}, {CQrEncoder::kNumeric, 16}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int ok = 0;
    auto qr = Encode(1, 0, 0, -1, c.text, &ok);
    ASSERT_EQ(ok, 1);
    ASSERT_EQ(qr->SegmentCount(), static_cast<int>(c.segments.size()));
    for (int i = 0; i < qr->SegmentCount(); ++i) {
      EXPECT_EQ(qr->SegmentMode(i), c.segments[i].first) << i;
      EXPECT_EQ(qr->SegmentLength(i), c.segments[i].second) << i;
    }
  }
}

TEST(QrEncoder, VersionsLimitsAndRefusals) {
  int ok = 0;
  // 2,000 lowercase letters at M need more than version 26: the 16-bit count of group 2.
  auto qr = Encode(1, 0, 0, -1, std::string(2000, 'a'), &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_EQ(qr->Version(), 38);
  EXPECT_EQ(qr->BitCount(), 4 + 16 + 2000 * 8 + 4);

  const std::string bytes110(110, 'x');
  Encode(1, 5, 0, -1, bytes110, &ok);
  EXPECT_EQ(ok, 0);
  qr = Encode(1, 5, 1, -1, bytes110, &ok);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(qr->Version(), 7);
  qr = Encode(1, 9, 0, -1, bytes110, &ok);  // a larger version asked is kept
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(qr->Version(), 9);

  // Length 0 measures the zero-terminated text; an empty text makes nothing.
  CQrEncoder measured, counted;
  EXPECT_EQ(measured.EncodeText(0, 0, 0, 3, "abc", 0), 1);
  EXPECT_EQ(counted.EncodeText(0, 0, 0, 3, "abcdef", 3), 1);
  for (int x = 0; x < measured.Size(); ++x)
    for (int y = 0; y < measured.Size(); ++y) ASSERT_EQ(measured.Module(x, y), counted.Module(x, y));
  EXPECT_EQ(measured.EncodeText(0, 0, 0, -1, "", 0), 0);

  // Arguments out of range make nothing (a version above 40 would overrun the matrix).
  for (auto args : {std::vector<int>{-1, 0, -1}, {4, 0, -1}, {0, 41, -1}, {0, -1, -1},
                    {0, 0, 8}, {0, 0, -2}}) {
    Encode(args[0], args[1], 1, args[2], "HELLO", &ok);
    EXPECT_EQ(ok, 0) << args[0] << " " << args[1] << " " << args[2];
  }
}

// The longest texts of version 40 at each level, and one character more.
TEST(QrEncoder, LongestTextsOfVersion40) {
  struct Limit {
    char fill;
    int length[4];
  };
  const Limit limits[] = {
      {'7', {7089, 5596, 3993, 3057}},
      {'Z', {4296, 3391, 2420, 1852}},
      {'z', {2953, 2331, 1663, 1273}},
  };
  for (const auto& l : limits) {
    for (int level = 0; level < 4; ++level) {
      SCOPED_TRACE(std::string(1, l.fill) + " level " + std::to_string(level));
      int ok = 0;
      auto qr = Encode(level, 0, 0, -1, std::string(l.length[level], l.fill), &ok);
      ASSERT_EQ(ok, 1);
      EXPECT_EQ(qr->Version(), 40);
      Encode(level, 0, 0, -1, std::string(l.length[level] + 1, l.fill), &ok);
      EXPECT_EQ(ok, 0);
    }
  }
  // Kanji: 1,817 characters at L.
  std::string kanji;
  for (int i = 0; i < 1817; ++i) kanji += "\x88\x9f";
  int ok = 0;
  auto qr = Encode(0, 0, 0, -1, kanji, &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_EQ(qr->Version(), 40);
  Encode(0, 0, 0, -1, kanji + "\x88\x9f", &ok);
  EXPECT_EQ(ok, 0);
  // Digits and capitals in turn start as one segment per byte and still fit once joined.
  std::string mixed;
  for (int i = 0; i < 4296; ++i) mixed += (i % 2) ? 'A' : '1';
  qr = Encode(0, 0, 0, -1, mixed, &ok);
  ASSERT_EQ(ok, 1);
  EXPECT_EQ(qr->Version(), 40);
  EXPECT_EQ(qr->SegmentCount(), 1);
}

// The mask penalty computed module by module, straight from the four rules, on a finished symbol.
int ReferencePenalty(const CQrEncoder& qr) {
  const int n = qr.Size();
  auto dark = [&](int x, int y) {
    return x >= 0 && y >= 0 && x < n && y < n && qr.Module(x, y) == 1;
  };
  int penalty = 0;
  for (int line = 0; line < n; ++line) {
    for (int vertical = 0; vertical < 2; ++vertical) {
      auto at = [&](int i) { return vertical ? dark(line, i) : dark(i, line); };
      for (int i = 0; i < n;) {
        int j = i;
        while (j < n && at(j) == at(i)) ++j;
        if (j - i >= 5) penalty += j - i - 2;
        i = j;
      }
      for (int p = 0; p + 7 <= n; ++p) {
        const bool shape = at(p) && !at(p + 1) && at(p + 2) && at(p + 3) && at(p + 4) &&
                           !at(p + 5) && at(p + 6) && !at(p - 1) && !at(p + 7);
        const bool before = !at(p - 1) && !at(p - 2) && !at(p - 3) && !at(p - 4);
        const bool after = !at(p + 7) && !at(p + 8) && !at(p + 9) && !at(p + 10);
        if (shape && (before || after)) penalty += 40;
      }
    }
  }
  int light = 0;
  for (int x = 0; x < n; ++x) {
    for (int y = 0; y < n; ++y) {
      light += !dark(x, y);
      if (x + 1 < n && y + 1 < n && dark(x, y) == dark(x + 1, y) && dark(x, y) == dark(x, y + 1) &&
          dark(x, y) == dark(x + 1, y + 1))
        penalty += 3;
    }
  }
  const int k = 50 - light * 100 / (n * n);
  return penalty + std::abs(k) / 5 * 10;
}

TEST(QrEncoder, ChosenMaskHasTheLowestPenalty) {
  GneSeedRandomWith(3);
  std::vector<std::string> texts = {"01234567", "A1", "http://127.0.0.1/abc,def",
                                    std::string(300, 'q'), "\x8a\xbf\x8e\x9a"};
  for (int mode = 0; mode < 3; ++mode)
    for (int v : {3, 8, 12, 22, 33}) texts.push_back(FillText(v, 3, mode, mode != 1));
  auto chosen = std::make_unique<CQrEncoder>();
  auto forced = std::make_unique<CQrEncoder>();
  for (size_t t = 0; t < texts.size(); ++t) {
    for (int level : {0, 3}) {
      SCOPED_TRACE("text " + std::to_string(t) + " level " + std::to_string(level));
      const auto& text = texts[t];
      const int n = static_cast<int>(text.size());
      ASSERT_EQ(chosen->EncodeText(level, 0, 0, -1, text.data(), n), 1);
      int best = -1, bestPenalty = 0;
      for (int m = 0; m < 8; ++m) {
        ASSERT_EQ(forced->EncodeText(level, chosen->Version(), 0, m, text.data(), n), 1);
        const int penalty = ReferencePenalty(*forced);
        if (best < 0 || penalty < bestPenalty) {
          best = m;
          bestPenalty = penalty;
        }
        if (m == chosen->Mask()) {
          for (int x = 0; x < forced->Size(); ++x)
            for (int y = 0; y < forced->Size(); ++y)
              ASSERT_EQ(forced->Module(x, y), chosen->Module(x, y));
        }
      }
      EXPECT_EQ(chosen->Mask(), best);
    }
  }
}

// An independent encoder, forced to our version, level and mask, for single-mode texts: one line
// of '0'/'1' per symbol, row by row.
const char kPythonMatrices[] = R"(
import sys, binascii, qrcode
from qrcode import constants as C, util
levels = [C.ERROR_CORRECT_L, C.ERROR_CORRECT_M, C.ERROR_CORRECT_Q, C.ERROR_CORRECT_H]
modes = [util.MODE_NUMBER, util.MODE_ALPHA_NUM, util.MODE_8BIT_BYTE]
for line in sys.stdin:
    v, l, m, mode, text = line.split()
    q = qrcode.QRCode(version=int(v), error_correction=levels[int(l)], mask_pattern=int(m), border=0)
    q.add_data(util.QRData(binascii.unhexlify(text), mode=modes[int(mode)]))
    q.make(fit=False)
    print(''.join('1' if c else '0' for row in q.get_matrix() for c in row))
)";

struct ForcedCase {
  int version, level, mask, mode;
  std::string text;
};

std::string ToHex(const std::string& s) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : s) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}

TEST(QrEncoder, ModulesEqualAnIndependentEncoder) {
  CANTREL_NEED(cantrel_test::RunTool({"/usr/bin/python3", "-c", "import qrcode"}) == 0,
               "python3 with qrcode (python3-qrcode)");
  std::vector<ForcedCase> cases;
  // Every version at every level, full symbols, the mask turning with them.
  for (int v = 1; v <= 40; ++v)
    for (int level = 0; level < 4; ++level)
      cases.push_back({v, level, (v + level) % 8, (v + level) % 3, FillText(v, level, (v + level) % 3, true)});
  // All eight masks at versions of each count width, with and without the version area.
  for (int v : {1, 2, 7, 10, 27, 40})
    for (int mask = 0; mask < 8; ++mask)
      cases.push_back({v, mask % 4, mask, mask % 3, FillText(v, mask % 4, mask % 3, false)});

  std::string input;
  for (const auto& c : cases)
    input += std::to_string(c.version) + " " + std::to_string(c.level) + " " +
             std::to_string(c.mask) + " " + std::to_string(c.mode) + " " + ToHex(c.text) + "\n";
  std::string out;
  ASSERT_EQ(RunTool({"/usr/bin/python3", "-c", kPythonMatrices}, &out, input), 0);
  std::istringstream lines(out);
  auto qr = std::make_unique<CQrEncoder>();
  for (const auto& c : cases) {
    SCOPED_TRACE("version " + std::to_string(c.version) + " level " + std::to_string(c.level) +
                 " mask " + std::to_string(c.mask) + " mode " + std::to_string(c.mode));
    std::string expected;
    ASSERT_TRUE(std::getline(lines, expected));
    ASSERT_EQ(qr->EncodeText(c.level, c.version, 0, c.mask, c.text.data(),
                             static_cast<int>(c.text.size())), 1);
    ASSERT_EQ(qr->SegmentCount(), 1);
    const int n = qr->Size();
    ASSERT_EQ(static_cast<int>(expected.size()), n * n);
    int differing = 0;
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x) differing += (expected[y * n + x] == '1') != (qr->Module(x, y) == 1);
    EXPECT_EQ(differing, 0);
  }
}

// The symbol as a grey image: `scale` pixels a module and a four-module light margin.
void WriteImage(const CQrEncoder& qr, int scale, const std::filesystem::path& path) {
  const int side = (qr.Size() + 8) * scale;
  std::ofstream out(path, std::ios::binary);
  out << "P5 " << side << " " << side << " 255\n";
  std::string row(side, '\xff');
  for (int py = 0; py < side; ++py) {
    for (int px = 0; px < side; ++px) {
      const int x = px / scale - 4, y = py / scale - 4;
      const bool dark = x >= 0 && y >= 0 && x < qr.Size() && y < qr.Size() && qr.Module(x, y);
      row[px] = dark ? '\0' : '\xff';
    }
    out << row;
  }
}

TEST(QrEncoder, DecoderReadsEveryModeLevelAndSize) {
  CANTREL_NEED_TOOL("zbarimg");
  GneSeedRandomWith(7);
  std::vector<std::string> texts = {
      "01234567", "HELLO WORLD $%*+-./:", "http://127.0.0.1:8080/abc?x=1&y=2",
      "\x93\xfa\x96\x7b\x8c\xea\x82\xcc\x83\x65\x83\x4c\x83\x58\x83\x67",  // kanji and kana
      "Cantrel 2026 \x8b\xc8 ABC123 abc \x89\xb9\x8a\x79",                     // mixed
  };
  for (int mode = 0; mode < 3; ++mode)
    for (int v : {5, 15, 30, 40}) texts.push_back(FillText(v, v % 4, mode, true));
  std::string kanji;
  for (int i = 0; i < 1817; ++i) kanji += "\x88\x9f";
  texts.push_back(kanji);

  const auto dir = TempDir();
  auto qr = std::make_unique<CQrEncoder>();
  int index = 0;
  for (const auto& text : texts) {
    for (int level = 0; level < 4; ++level) {
      SCOPED_TRACE("text " + std::to_string(index) + " level " + std::to_string(level));
      if (!qr->EncodeText(level, 0, 0, -1, text.data(), static_cast<int>(text.size()))) {
        EXPECT_GT(text.size(), 1000u);  // only the long fills may outgrow the stronger levels
        continue;
      }
      const auto image = dir / ("qr" + std::to_string(index) + "_" + std::to_string(level) + ".pgm");
      WriteImage(*qr, qr->Size() > 100 ? 2 : 3, image);
      EXPECT_EQ(cantrel_test::ZbarRead(image), text);
    }
    ++index;
  }
}

// The longest texts of version 40 at the stronger levels (L's are read above): every mode read
// back whole.
TEST(QrEncoder, DecoderReadsTheLongestTextsOfTheStrongerLevels) {
  CANTREL_NEED_TOOL("zbarimg");
  GneSeedRandomWith(11);
  const int kanjiLimit[4] = {1817, 1435, 1024, 784};
  const auto dir = TempDir();
  auto qr = std::make_unique<CQrEncoder>();
  for (int level = 1; level < 4; ++level) {
    std::string kanji;
    for (int i = 0; i < kanjiLimit[level]; ++i) kanji += i % 2 ? "\x88\x9f" : "\x8a\xbf";
    const std::string texts[] = {FillText(40, level, 0, true), FillText(40, level, 1, true),
                                 FillText(40, level, 2, true), kanji};
    for (int mode = 0; mode < 4; ++mode) {
      SCOPED_TRACE("level " + std::to_string(level) + " mode " + std::to_string(mode));
      const std::string& text = texts[mode];
      ASSERT_EQ(qr->EncodeText(level, 0, 0, -1, text.data(), static_cast<int>(text.size())), 1);
      EXPECT_EQ(qr->Version(), 40);
      const auto image = dir / ("v40_" + std::to_string(level) + "_" + std::to_string(mode) + ".pgm");
      WriteImage(*qr, 2, image);
      EXPECT_EQ(cantrel_test::ZbarRead(image), text);
    }
  }
}

}  // namespace
