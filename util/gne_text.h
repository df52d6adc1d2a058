// General library: Base64, comparison and pattern matching, small
// tokenisers, number parsing, path parts, letter case and the MacBinary
// header of file data. Texts are CP932 byte strings; functions marked
// DBCS-aware walk a lead byte and its trail byte as one character.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The CP932 lead-byte test (0x81-0x9F, 0xE0-0xFC).
bool GneIsLeadByte(uint8_t byte);
// How many of the first `len` bytes of a CP932 text fit in `max` bytes without splitting a
// double-byte character (a lead byte at the very end counts as one byte).
size_t GneFitCp932(const char* text, size_t len, size_t max);

// ---- Base64 ----

// Standard alphabet with "=" padding and no line breaks; out receives
// 4 * ceil(n / 3) characters and no terminator; out_length that count.
void GneEncodeBase64(const uint8_t* in, size_t n, char* out, int* out_length);
std::string GneEncodeBase64(const void* in, size_t n);
// The alphabet character of a 6-bit value; 0 for a value above 63.
char GneBase64Digit(int value);

// ---- Comparison and patterns ----

// 1 when the first n bytes of a and b are equal with ASCII letters folded to
// upper case (n bytes are read from each).
int GneCompareNoCase(const char* a, const char* b, int n);
// '*' accepts everything that follows, '?' any one byte; case-sensitive.
int GneMatchWildcard(const char* pattern, const char* text);
// 1 when the pattern, cut at its first '*', occurs in the text. An empty
// pattern is found in any non-empty text; an empty text contains nothing.
// The caller's pattern is left unchanged.
int GneContainsPattern(const char* text, const char* pattern);

// ---- Tokenisers ----

constexpr int kCommandLineSlots = 16;
constexpr int kCommandLineSlotSize = 260;
// Splits at blanks into 16 slots (a double-quoted stretch may hold blanks and
// loses its quotes); returns the number of blanks met, at most 15. Tokens
// beyond the 16th are dropped, bytes beyond 259 of a token are dropped, an
// unclosed quote runs to the end.
int GneSplitCommandLine(const char* text, char out[kCommandLineSlots][kCommandLineSlotSize]);
// name = everything before the first '<', '=' or '>'; value = the rest after
// the operator and a following '=', without single quotes. name and value
// must hold strlen(text) + 1 bytes.
void GneSplitAssignment(const char* text, char* name, char* value);
// left, right (strlen(text) + 1 bytes each) and op (3 bytes).
void GneSplitComparison(const char* text, char* left, char* right, char* op);
// "a:b" to two integers (each part at most 255 bytes). A text without ':'
// shows GENE 0x0100000B and gives first = the number, second = 0.
void GneParseRatio(const char* text, int* first, int* second);
// Cuts the text at each ';' into at most max_slots slots of 256 bytes (longer
// parts are cut to 255); returns the number of parts stored. "a;;b" gives
// "a", "", "b"; a final ';' adds nothing; the empty text gives 0.
int GneSplitBySemicolon(const char* text, char (*out)[256], int max_slots);

// ---- Numbers ----

// Hexadecimal digits to an int; any other character shows GENE 0x01000006
// and adds 0.
int GneParseHex(const char* text);
// 1 when every character is 0-9 (also for the empty text).
int GneIsDigits(const char* text);

// ---- Paths ----
// Both '\' and '/' count as separators.

// Cuts the path at its last '.' (in place) and returns that index; -1 and no
// change when there is none.
int GneStripExtension(char* path);
// DBCS-aware: the part before the last separator at index 1 or later
// ("C:\a\b.mid" gives "C:\a", "C:\b.mid" gives "C:", "/a.mid" gives "/");
// without one, the current directory (GENE 0x0100000C when it cannot be
// read). out: 260 bytes; longer folders are cut.
void GneGetFolder(char* out, const char* path);
// DBCS-aware: the part after the last separator; the whole path when there
// is none. out: strlen(path) + 1 bytes.
void GneGetFileName(char* out, const char* path);
// The part after the last '.', lower-cased; empty when there is no '.'.
void GneGetExtension(const char* path, char* out);
std::string GneGetExtension(const std::string& path);

// ---- Letter case and code pages ----

// In place, DBCS-aware: full-width "Ａ"-"Ｚ" and ASCII 'A'-'Z' to small letters.
void GneToLowerCase(char* text);
// In place, CP932 to UTF-8 when the result fits in capacity bytes (with its
// terminator); returns 1, or 0 and leaves the text unchanged.
int GneToUtf8(char* text, size_t capacity);

// ---- Files in memory ----

// Removes a 128-byte MacBinary header: with a tag, only when the four bytes
// at offset 128 equal it (data of fewer than 132 bytes is left); without a
// tag whenever the data holds more than 128 bytes. Returns 1 when removed.
int GneSkipMacBinaryHeader(uint8_t* data, const char* tag, int* length);
