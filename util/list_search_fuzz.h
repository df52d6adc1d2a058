// Fuzz entries of the width and kana rewriters with the search text, and of the delimited list
// parser. Plain functions over bytes, so that seeded mutation tests and AFL++ can both drive them;
// a broken invariant aborts.
#pragma once

#include <cstddef>
#include <cstdint>

// The bytes up to the first NUL are the key, the bytes after it the candidate (the whole input
// is both when there is no NUL).
void FuzzSearchText(const uint8_t* data, size_t size);

// The first byte chooses the column count (1-8) and the separator (',', tab, ';', '\'); the rest
// is the list file.
void FuzzListFile(const uint8_t* data, size_t size);
