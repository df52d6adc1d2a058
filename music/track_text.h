// Text helpers of the track passes: bounded copies of CP932 texts and the full-width
// letters and digits made ASCII.
#pragma once

#include <cstddef>
#include <cstdint>

// Copies up to `length` bytes of text into out (room bytes, terminator included),
// cut so that no double-byte character is split.
void CopyTextCut(char* out, int32_t room, const char* text, size_t length);
// Rewrites a zero-terminated CP932 text in place: every full-width digit and Latin
// letter becomes its ASCII character; other characters stay whole (the general
// library's narrowing of letters and digits).
void FullWidthAlnumToAscii(char* text);
