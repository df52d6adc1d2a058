// Fuzz entry of the audio file readers: any bytes, read as an AIFF file and converted to WAV
// samples, and read as a WAV file (the scanning reader and the in-memory form) and written back.
// Returns 0, or a number naming the broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>

int FuzzAudioFileInput(const uint8_t* data, size_t size);
