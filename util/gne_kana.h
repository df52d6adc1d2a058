// Japanese character width and kana script: the fixed correspondence tables between full-width and
// half-width forms and between katakana and hiragana, the in-place rewriters built on them, and two
// text tests. Texts are terminated CP932 byte strings walked by characters: a lead byte and the
// byte after it are one character, except a lead byte right before the terminator, which is one
// byte on its own (no walker ever reads past the terminator).
#pragma once

#include <cstddef>

// One row of a correspondence table: a full-width two-byte character and its other form (one or
// two bytes: a half-width or ASCII character, a half-width kana with its voiced mark, or a
// hiragana). Both are terminated CP932 texts.
struct GneWidthPair {
  const char* full;
  const char* other;
};

// "ａ"-"ｚ" with "a"-"z", then "Ａ"-"Ｚ" with "A"-"Z".
extern const GneWidthPair LetterWidthTable[52];
// "０"-"９" with "0"-"9".
extern const GneWidthPair DigitWidthTable[10];
// Full-width katakana with their half-width forms: the 25 voiced and semi-voiced kana first, then
// the plain and small kana in syllabary order, the small "ヮ" last (its half-width form is "ﾜ").
extern const GneWidthPair KanaWidthTable[81];
// Katakana with their hiragana, in the order of KanaWidthTable.
extern const GneWidthPair KatakanaHiraganaTable[81];

constexpr int kLetterWidthCount = 52;
constexpr int kDigitWidthCount = 10;
constexpr int kKanaWidthCount = 81;
constexpr int kKatakanaHiraganaCount = 81;

// ---- Width conversion (in place; texts only shrink) ----

// Each two-byte character equal to the full form of a pair becomes that pair's other form (the
// first pair wins); everything else is kept. A one-byte other form shortens the text by a byte.
void GneReplacePairs(char* text, const GneWidthPair* pairs, int count);
// Full-width Latin letters to ASCII.
void GneNarrowLetters(char* text);
// Full-width Latin letters and digits to ASCII.
void GneNarrowAlphanumerics(char* text);
// Full-width katakana to half-width; voiced and semi-voiced kana take two bytes.
void GneNarrowKana(char* text);
// "＠" "：" "（" "）" "＜" "＞" "．" "！" "’" "”" to their ASCII forms.
void GneNarrowSymbols(char* text);
// The full-width blank to the ASCII blank.
void GneNarrowSpaces(char* text);
// The plain kana "ア"-"ワ", "ヲ", "ン" and the small "ャ" "ュ" "ョ" "ッ" to one-byte half-width forms.
void GneToHalfWidthPlainKatakana(char* text);
// GneToHalfWidthPlainKatakana, then the voiced kana "ガ"-"ボ" and "ヴ" to the half-width kana with
// "ﾞ". Semi-voiced kana, the small "ァ"-"ォ" and "ヮ", and the long-vowel mark stay full-width.
void GneToHalfWidthKatakana(char* text);

// Half-width katakana (plain, small, voiced with "ﾞ", and "ｰ") to full-width, in place. The text
// grows (at most to twice its length); it is cut at a whole character so that the result and its
// terminator fit in `capacity` bytes. Returns the new length.
size_t GneToFullWidthKatakana(char* text, size_t capacity);

// Replaces the two-byte character at `ch` by its hiragana when it is a katakana of
// KatakanaHiraganaTable; anything else (also a lone lead byte) is left.
void GneKatakanaToHiragana(char* ch);

// ---- Tests ----

// 1 when the text holds no lead byte.
int GneIsSingleByteText(const char* text);
// 1 when every character is a kana of KatakanaHiraganaTable (either column), the full-width blank
// or the ASCII blank; the empty text gives 1.
int GneIsKanaText(const char* text);
