// Fuzz entry of the stored riff: a plain function taking bytes, run as a
// seeded mutation test and by hand under AFL++.
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
