// Setup messages for General MIDI, Roland GS and Yamaha XG sound modules, in the
// stored form a track keeps them (F0, the length number, the message, F7), and
// the byte-string helpers the track's system-exclusive operations use. The track
// operations themselves are members of MidiTrack (music/midi_track.h).
#pragma once

#include <cstdint>

// GM System On.
constexpr uint8_t kGmSystemOnMessage[] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
// GS reset (40 00 7F = 00).
constexpr uint8_t kGsResetMessage[] = {0xF0, 0x0A, 0x41, 0x10, 0x42, 0x12,
                                       0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
// XG System On.
constexpr uint8_t kXgSystemOnMessage[] = {0xF0, 0x08, 0x43, 0x10, 0x4C,
                                          0x00, 0x00, 0x7E, 0x00, 0xF7};
// Universal master volume at full.
constexpr uint8_t kMasterVolumeFullMessage[] = {0xF0, 0x07, 0x7F, 0x7F, 0x04,
                                                0x01, 0x00, 0x7F, 0xF7};

// Display texts longer than this are reported (and still written).
constexpr int kDisplayTextLimit = 32;

// 0 when a and b are equal up to and including the first F7 of a, else -1.
// a must hold an F7.
int CompareSysEx(const uint8_t* a, const uint8_t* b);
// The position of the first F7 + 1. The bytes must hold an F7.
int SysExLength(const uint8_t* bytes);
// Bounded forms: look at no more than `size` bytes; -1 when no F7 lies within.
int SysExLengthWithin(const uint8_t* bytes, int size);
// 0 when the first `size_b` bytes of b hold a up to and including a's first F7
// (looked for within size_a bytes), else -1.
int CompareSysExWithin(const uint8_t* a, int size_a, const uint8_t* b, int size_b);

// Stored GS display text: F0, n + 9, 41 10 45 12 10 00 00, the text, checksum, F7.
// The length number is written as a variable-length number so that long texts
// stay well formed. Returns the number of bytes written into out; out must have
// room for GsDisplayTextSize(n).
int BuildGsDisplayText(const char* text, int n, uint8_t* out);
int GsDisplayTextSize(int n);
// Stored XG display text: F0, n + 7, 43 10 4C 06 00 00, the text, F7.
int BuildXgDisplayText(const char* text, int n, uint8_t* out);
int XgDisplayTextSize(int n);
