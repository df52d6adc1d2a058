// Fuzz entries of the stored accompaniment data (the riff cells and the custom
// grids): plain functions taking bytes, run as seeded mutation tests and by
// hand under AFL++.
#pragma once

#include <cstddef>
#include <cstdint>

// Takes the first 96 bytes as the current style's riff cells (missing bytes
// are 0) and the bytes after them as chord blocks (a length and a chord per
// pair, at most 16 blocks; two bars of C when there are none), and renders
// the stored-riff pattern over them on the harmony channel. Answers the
// number of notes written, or -1 when a note starts after the song, or a
// pitch, velocity or length is no valid MIDI value.
int FuzzRiffBytes(const uint8_t* data, size_t size);

// Renders the custom grid pattern on the harmony and the sub-harmony channel
// over four blocks (a bar, 200 ticks, 144 ticks and two bars), after patching
// the current style's custom grids and grid flags: byte 0 picks the metre
// (0..2) and byte 1 the triplet grid (odd), then every 6 bytes are one patch,
// a 16-bit word index (over the grids' 32-bit words, then the use-x,
// continue-major and stroke flags) and the 32-bit value, both little-endian.
// Answers the number of notes written, or -1 when a note starts or ends after
// the song, or a pitch, velocity or length is no valid MIDI value.
int FuzzCustomGridBytes(const uint8_t* data, size_t size);
