// Fuzz entry of the song readers: any bytes, read as a format-0 song and as a
// format-1 song, taken through the song states, written back into file bytes and
// read again. Returns 0, or a number naming the broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzSmfSongInput(const uint8_t* data, size_t size);
