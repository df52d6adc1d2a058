// Fuzz entry of the general library's text helpers: runs every tokeniser, path and name helper
// over arbitrary bytes. A plain function so that seeded mutation tests and AFL++ can both drive it.
#pragma once

#include <cstddef>
#include <cstdint>

void FuzzGneText(const uint8_t* data, size_t size);
