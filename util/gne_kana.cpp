#include "util/gne_kana.h"

#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>

#include "util/gne_kana_lookup.h"
#include "util/gne_text.h"

const GneWidthPair LetterWidthTable[52] = {
    {"ａ", "a"}, {"ｂ", "b"}, {"ｃ", "c"}, {"ｄ", "d"}, {"ｅ", "e"}, {"ｆ", "f"}, {"ｇ", "g"},
    {"ｈ", "h"}, {"ｉ", "i"}, {"ｊ", "j"}, {"ｋ", "k"}, {"ｌ", "l"}, {"ｍ", "m"}, {"ｎ", "n"},
    {"ｏ", "o"}, {"ｐ", "p"}, {"ｑ", "q"}, {"ｒ", "r"}, {"ｓ", "s"}, {"ｔ", "t"}, {"ｕ", "u"},
    {"ｖ", "v"}, {"ｗ", "w"}, {"ｘ", "x"}, {"ｙ", "y"}, {"ｚ", "z"},
    {"Ａ", "A"}, {"Ｂ", "B"}, {"Ｃ", "C"}, {"Ｄ", "D"}, {"Ｅ", "E"}, {"Ｆ", "F"}, {"Ｇ", "G"},
    {"Ｈ", "H"}, {"Ｉ", "I"}, {"Ｊ", "J"}, {"Ｋ", "K"}, {"Ｌ", "L"}, {"Ｍ", "M"}, {"Ｎ", "N"},
    {"Ｏ", "O"}, {"Ｐ", "P"}, {"Ｑ", "Q"}, {"Ｒ", "R"}, {"Ｓ", "S"}, {"Ｔ", "T"}, {"Ｕ", "U"},
    {"Ｖ", "V"}, {"Ｗ", "W"}, {"Ｘ", "X"}, {"Ｙ", "Y"}, {"Ｚ", "Z"},
};

const GneWidthPair DigitWidthTable[10] = {
    {"０", "0"}, {"１", "1"}, {"２", "2"}, {"３", "3"}, {"４", "4"},
    {"５", "5"}, {"６", "6"}, {"７", "7"}, {"８", "8"}, {"９", "9"},
};

const GneWidthPair KanaWidthTable[81] = {
    {"ガ", "ｶﾞ"}, {"ギ", "ｷﾞ"}, {"グ", "ｸﾞ"}, {"ゲ", "ｹﾞ"}, {"ゴ", "ｺﾞ"}, {"ザ", "ｻﾞ"}, {"ジ", "ｼﾞ"}, {"ズ", "ｽﾞ"},
    {"ゼ", "ｾﾞ"}, {"ゾ", "ｿﾞ"}, {"ダ", "ﾀﾞ"}, {"ヂ", "ﾁﾞ"}, {"ヅ", "ﾂﾞ"}, {"デ", "ﾃﾞ"}, {"ド", "ﾄﾞ"}, {"バ", "ﾊﾞ"},
    {"ビ", "ﾋﾞ"}, {"ブ", "ﾌﾞ"}, {"ベ", "ﾍﾞ"}, {"ボ", "ﾎﾞ"}, {"パ", "ﾊﾟ"}, {"ピ", "ﾋﾟ"}, {"プ", "ﾌﾟ"}, {"ペ", "ﾍﾟ"},
    {"ポ", "ﾎﾟ"}, {"ア", "ｱ"}, {"イ", "ｲ"}, {"ウ", "ｳ"}, {"エ", "ｴ"}, {"オ", "ｵ"}, {"ァ", "ｧ"}, {"ィ", "ｨ"},
    {"ゥ", "ｩ"}, {"ェ", "ｪ"}, {"ォ", "ｫ"}, {"カ", "ｶ"}, {"キ", "ｷ"}, {"ク", "ｸ"}, {"ケ", "ｹ"}, {"コ", "ｺ"},
    {"サ", "ｻ"}, {"シ", "ｼ"}, {"ス", "ｽ"}, {"セ", "ｾ"}, {"ソ", "ｿ"}, {"タ", "ﾀ"}, {"チ", "ﾁ"}, {"ツ", "ﾂ"},
    {"ッ", "ｯ"}, {"テ", "ﾃ"}, {"ト", "ﾄ"}, {"ナ", "ﾅ"}, {"ニ", "ﾆ"}, {"ヌ", "ﾇ"}, {"ネ", "ﾈ"}, {"ノ", "ﾉ"},
    {"ハ", "ﾊ"}, {"ヒ", "ﾋ"}, {"フ", "ﾌ"}, {"ヘ", "ﾍ"}, {"ホ", "ﾎ"}, {"マ", "ﾏ"}, {"ミ", "ﾐ"}, {"ム", "ﾑ"},
    {"メ", "ﾒ"}, {"モ", "ﾓ"}, {"ヤ", "ﾔ"}, {"ユ", "ﾕ"}, {"ヨ", "ﾖ"}, {"ャ", "ｬ"}, {"ュ", "ｭ"}, {"ョ", "ｮ"},
    {"ラ", "ﾗ"}, {"リ", "ﾘ"}, {"ル", "ﾙ"}, {"レ", "ﾚ"}, {"ロ", "ﾛ"}, {"ワ", "ﾜ"}, {"ヲ", "ｦ"}, {"ン", "ﾝ"},
    {"ヮ", "ﾜ"},
};

const GneWidthPair KatakanaHiraganaTable[81] = {
    {"ガ", "が"}, {"ギ", "ぎ"}, {"グ", "ぐ"}, {"ゲ", "げ"}, {"ゴ", "ご"}, {"ザ", "ざ"}, {"ジ", "じ"}, {"ズ", "ず"},
    {"ゼ", "ぜ"}, {"ゾ", "ぞ"}, {"ダ", "だ"}, {"ヂ", "ぢ"}, {"ヅ", "づ"}, {"デ", "で"}, {"ド", "ど"}, {"バ", "ば"},
    {"ビ", "び"}, {"ブ", "ぶ"}, {"ベ", "べ"}, {"ボ", "ぼ"}, {"パ", "ぱ"}, {"ピ", "ぴ"}, {"プ", "ぷ"}, {"ペ", "ぺ"},
    {"ポ", "ぽ"}, {"ア", "あ"}, {"イ", "い"}, {"ウ", "う"}, {"エ", "え"}, {"オ", "お"}, {"ァ", "ぁ"}, {"ィ", "ぃ"},
    {"ゥ", "ぅ"}, {"ェ", "ぇ"}, {"ォ", "ぉ"}, {"カ", "か"}, {"キ", "き"}, {"ク", "く"}, {"ケ", "け"}, {"コ", "こ"},
    {"サ", "さ"}, {"シ", "し"}, {"ス", "す"}, {"セ", "せ"}, {"ソ", "そ"}, {"タ", "た"}, {"チ", "ち"}, {"ツ", "つ"},
    {"ッ", "っ"}, {"テ", "て"}, {"ト", "と"}, {"ナ", "な"}, {"ニ", "に"}, {"ヌ", "ぬ"}, {"ネ", "ね"}, {"ノ", "の"},
    {"ハ", "は"}, {"ヒ", "ひ"}, {"フ", "ふ"}, {"ヘ", "へ"}, {"ホ", "ほ"}, {"マ", "ま"}, {"ミ", "み"}, {"ム", "む"},
    {"メ", "め"}, {"モ", "も"}, {"ヤ", "や"}, {"ユ", "ゆ"}, {"ヨ", "よ"}, {"ャ", "ゃ"}, {"ュ", "ゅ"}, {"ョ", "ょ"},
    {"ラ", "ら"}, {"リ", "り"}, {"ル", "る"}, {"レ", "れ"}, {"ロ", "ろ"}, {"ワ", "わ"}, {"ヲ", "を"}, {"ン", "ん"},
    {"ヮ", "ゎ"},
};

namespace {

const GneWidthPair kSymbolWidthTable[] = {
    {"＠", "@"}, {"：", ":"}, {"（", "("}, {"）", ")"}, {"＜", "<"},
    {"＞", ">"}, {"．", "."}, {"！", "!"}, {"’", "'"}, {"”", "\""},
};
const GneWidthPair kSpaceWidthTable[] = {{"　", " "}};

using gne_kana::CharCode;
using gne_kana::CharWidth;
using gne_kana::Lookup;

}  // namespace

namespace gne_kana {

unsigned CharCode(const char* p) {
  return (static_cast<unsigned>(static_cast<uint8_t>(p[0])) << 8) | static_cast<uint8_t>(p[1]);
}

size_t CharWidth(const char* p) {
  return (GneIsLeadByte(static_cast<uint8_t>(p[0])) && p[1] != 0) ? 2 : 1;
}

namespace {

// Stores value for the two-byte character unless an earlier row already did (first row wins).
template <typename T>
void Put(T* table, const char* full, unsigned value) {
  const int slot = TwoByteSlot(CharCode(full));
  if (slot >= 0 && table[slot] == 0) table[slot] = static_cast<T>(value);
}

uint16_t Code(const char* two_bytes) { return static_cast<uint16_t>(CharCode(two_bytes)); }

uint8_t Byte(const char* one) { return static_cast<uint8_t>(one[0]); }

// The row indexes of KanaWidthTable: 0-19 voiced, 20-24 semi-voiced, 30-34 small vowels, 80 "ヮ".
bool IsPlainRow(int row) { return row >= 25 && row != 80 && !(row >= 30 && row <= 34); }

Lookup Build() {
  Lookup t{};
  // Narrowing kana: the 50 plain and small kana to one byte, the voiced kana and "ヴ" to their
  // base letter with "ﾞ".
  for (int row = 0; row < kKanaWidthCount; ++row) {
    const GneWidthPair& p = KanaWidthTable[row];
    if (IsPlainRow(row)) Put(t.half_plain, p.full, Byte(p.other));
    if (row < 20) Put(t.half_voiced, p.full, Byte(p.other));
  }
  Put(t.half_voiced, "ヴ", Byte("ｳ"));
  // Widening: voiced forms (base letter + "ﾞ"), then plain forms and the long-vowel mark.
  for (int row = 0; row < 20; ++row) {
    t.full_voiced[Byte(KanaWidthTable[row].other)] = Code(KanaWidthTable[row].full);
  }
  t.full_voiced[Byte("ｳ")] = Code("ヴ");
  for (int row = 0; row < kKanaWidthCount; ++row) {
    const uint8_t b = Byte(KanaWidthTable[row].other);
    if (IsPlainRow(row) && t.full_plain[b] == 0) t.full_plain[b] = Code(KanaWidthTable[row].full);
  }
  t.full_plain[Byte("ｰ")] = Code("ー");
  // Katakana and hiragana.
  for (int row = 0; row < kKatakanaHiraganaCount; ++row) {
    const GneWidthPair& p = KatakanaHiraganaTable[row];
    Put(t.hiragana_of, p.full, Code(p.other));
    Put(t.katakana_of, p.other, Code(p.full));
    t.is_kana[TwoByteSlot(CharCode(p.full))] = 1;
    t.is_kana[TwoByteSlot(CharCode(p.other))] = 1;
  }
  t.is_kana[TwoByteSlot(CharCode("　"))] = 1;

  // Search pass 2: the rows of KanaWidthTable in table order; a row whose half-width form has a
  // mark is tried before the plain rows, so the first match in table order is what we store.
  for (int row = 0; row < kKanaWidthCount; ++row) {
    const GneWidthPair& p = KanaWidthTable[row];
    const uint8_t b = Byte(p.other);
    const uint16_t full = Code(p.full);
    if (p.other[1] == 0) {
      if (t.search_plain[b] == 0) t.search_plain[b] = full;
    } else if (static_cast<uint8_t>(p.other[1]) == Byte("ﾞ")) {
      if (t.search_voiced[b] == 0) t.search_voiced[b] = full;
    } else if (t.search_semi[b] == 0) {
      t.search_semi[b] = full;
    }
  }

  // Search passes 4-8 folded into one map per character: small kana to full size, capitals to
  // small letters, ASCII letters and digits to full width, blanks and punctuation dropped.
  static const char* const kSmall[][2] = {
      {"ァ", "ア"}, {"ィ", "イ"}, {"ゥ", "ウ"}, {"ェ", "エ"}, {"ォ", "オ"}, {"ッ", "ツ"},
      {"ャ", "ヤ"}, {"ュ", "ユ"}, {"ョ", "ヨ"}, {"ぁ", "あ"}, {"ぃ", "い"}, {"ぅ", "う"},
      {"ぇ", "え"}, {"ぉ", "お"}, {"っ", "つ"}, {"ゃ", "や"}, {"ゅ", "ゆ"}, {"ょ", "よ"}};
  static const char* const kDropped2[] = {"　", "．", "，", "、", "（", "）", "「",
                                          "」", "ー", "―", "＿", "’", "＆", "～"};
  static const char kDropped1[] = " .,/()-_'";
  for (const auto& s : kSmall) Put(t.search_fold2, s[0], Code(s[1]));
  for (int i = 0; i < 26; ++i) {
    // "Ａ"-"Ｚ" (rows 26-51) become "ａ"-"ｚ" (rows 0-25).
    Put(t.search_fold2, LetterWidthTable[26 + i].full, Code(LetterWidthTable[i].full));
    t.search_fold1[Byte(LetterWidthTable[i].other)] = Code(LetterWidthTable[i].full);
    t.search_fold1[Byte(LetterWidthTable[26 + i].other)] = Code(LetterWidthTable[i].full);
  }
  for (const GneWidthPair& d : DigitWidthTable) t.search_fold1[Byte(d.other)] = Code(d.full);
  for (const char* d : kDropped2) Put(t.search_fold2, d, kDrop);
  for (const char* d = kDropped1; *d != 0; ++d) t.search_fold1[static_cast<uint8_t>(*d)] = kDrop;
  return t;
}

}  // namespace

const Lookup& Tables() {
  static const Lookup tables = Build();
  return tables;
}

}  // namespace gne_kana

// ---- Width conversion ----

void GneReplacePairs(char* text, const GneWidthPair* pairs, int count) {
  if (text == nullptr || pairs == nullptr) return;
  size_t r = 0, w = 0;
  while (text[r] != 0) {
    const size_t width = CharWidth(text + r);
    const GneWidthPair* hit = nullptr;
    if (width == 2) {
      for (int i = 0; i < count; ++i) {
        if (pairs[i].full[0] == text[r] && pairs[i].full[1] == text[r + 1]) {
          hit = &pairs[i];
          break;
        }
      }
    }
    if (hit != nullptr) {
      // The other form is one or two bytes: never longer than what it replaces.
      text[w++] = hit->other[0];
      if (hit->other[0] != 0 && hit->other[1] != 0) text[w++] = hit->other[1];
    } else {
      for (size_t k = 0; k < width; ++k) text[w++] = text[r + k];
    }
    r += width;
  }
  text[w] = 0;
}

void GneNarrowLetters(char* text) { GneReplacePairs(text, LetterWidthTable, kLetterWidthCount); }

void GneNarrowAlphanumerics(char* text) {
  GneNarrowLetters(text);
  GneReplacePairs(text, DigitWidthTable, kDigitWidthCount);
}

void GneNarrowKana(char* text) { GneReplacePairs(text, KanaWidthTable, kKanaWidthCount); }

void GneNarrowSymbols(char* text) {
  GneReplacePairs(text, kSymbolWidthTable, static_cast<int>(std::size(kSymbolWidthTable)));
}

void GneNarrowSpaces(char* text) { GneReplacePairs(text, kSpaceWidthTable, 1); }

void GneToHalfWidthPlainKatakana(char* text) {
  if (text == nullptr) return;
  const Lookup& t = gne_kana::Tables();
  size_t r = 0, w = 0;
  while (text[r] != 0) {
    const size_t width = CharWidth(text + r);
    if (width == 2) {
      const int slot = gne_kana::TwoByteSlot(CharCode(text + r));
      if (slot >= 0 && t.half_plain[slot] != 0) {
        text[w++] = static_cast<char>(t.half_plain[slot]);
        r += 2;
        continue;
      }
    }
    for (size_t k = 0; k < width; ++k) text[w++] = text[r + k];
    r += width;
  }
  text[w] = 0;
}

void GneToHalfWidthKatakana(char* text) {
  if (text == nullptr) return;
  GneToHalfWidthPlainKatakana(text);
  const Lookup& t = gne_kana::Tables();
  const char mark = "ﾞ"[0];
  for (size_t i = 0; text[i] != 0;) {
    const size_t width = CharWidth(text + i);
    if (width == 2) {
      const int slot = gne_kana::TwoByteSlot(CharCode(text + i));
      if (slot >= 0 && t.half_voiced[slot] != 0) {
        text[i] = static_cast<char>(t.half_voiced[slot]);
        text[i + 1] = mark;
      }
    }
    i += width;
  }
}

size_t GneToFullWidthKatakana(char* text, size_t capacity) {
  if (text == nullptr || capacity == 0) return 0;
  const Lookup& t = gne_kana::Tables();
  const std::string copy(text);
  const uint8_t mark = static_cast<uint8_t>("ﾞ"[0]);
  size_t w = 0;
  for (size_t r = 0; r < copy.size();) {
    const uint8_t b = static_cast<uint8_t>(copy[r]);
    const size_t width = CharWidth(copy.c_str() + r);
    char out[2];
    size_t out_len = 0, used = width;
    if (width == 1) {
      uint16_t full = 0;
      if (r + 1 < copy.size() && static_cast<uint8_t>(copy[r + 1]) == mark && t.full_voiced[b] != 0) {
        full = t.full_voiced[b];
        used = 2;
      } else {
        full = t.full_plain[b];
      }
      if (full != 0) {
        out[0] = static_cast<char>(full >> 8);
        out[1] = static_cast<char>(full & 0xFF);
        out_len = 2;
      }
    }
    if (out_len == 0) {
      out_len = width;
      std::memcpy(out, copy.data() + r, width);
    }
    if (w + out_len > capacity - 1) break;  // cut before a character that does not fit
    std::memcpy(text + w, out, out_len);
    w += out_len;
    r += used;
  }
  text[w] = 0;
  return w;
}

void GneKatakanaToHiragana(char* ch) {
  if (ch == nullptr || CharWidth(ch) != 2) return;
  const int slot = gne_kana::TwoByteSlot(CharCode(ch));
  if (slot < 0) return;
  const uint16_t hira = gne_kana::Tables().hiragana_of[slot];
  if (hira == 0) return;
  ch[0] = static_cast<char>(hira >> 8);
  ch[1] = static_cast<char>(hira & 0xFF);
}

// ---- Tests ----

int GneIsSingleByteText(const char* text) {
  if (text == nullptr) return 1;
  for (const char* c = text; *c != 0; ++c) {
    if (GneIsLeadByte(static_cast<uint8_t>(*c))) return 0;
  }
  return 1;
}

int GneIsKanaText(const char* text) {
  if (text == nullptr) return 1;
  const Lookup& t = gne_kana::Tables();
  for (size_t i = 0; text[i] != 0;) {
    const size_t width = CharWidth(text + i);
    if (width == 2) {
      const int slot = gne_kana::TwoByteSlot(CharCode(text + i));
      if (slot < 0 || !t.is_kana[slot]) return 0;
    } else if (text[i] != ' ') {
      return 0;
    }
    i += width;
  }
  return 1;
}
