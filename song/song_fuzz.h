// Fuzz entry of the song-file reader: plain functions taking bytes, run as a
// seeded mutation test and by hand under AFL++.
#pragma once

#include <cstddef>
#include <cstdint>

// Reads the bytes as a song file of that length and as a downloaded image,
// then saves, reads and edits the result. Answers the bar count read.
int FuzzSongFileBytes(const uint8_t* data, size_t size);
