// Roland GS part-parameter messages: the part address byte of a MIDI channel
// and the Roland checksum of a stored message.
//
// Stored form (as a system-exclusive event keeps it):
//   0 F0, 1 length, 2 41, 3 device, 4 42, 5 12, 6 addr hi, 7 addr mid,
//   8 addr lo, 9 data, 10 checksum, 11 F7.
#pragma once

#include <cstdint>

// Offsets of the stored GS part message.
constexpr int kGsAddressHigh = 6;
constexpr int kGsPartAddress = 7;
constexpr int kGsAddressLow = 8;
constexpr int kGsDataByte = 9;
constexpr int kGsChecksum = 10;
constexpr int kGsPartMessageLength = 12;

// Part block of a MIDI channel in the GS numbering: channel 9 (the rhythm
// part) is block 0, channels 0-8 are blocks 1-9, 10-15 are blocks 10-15.
// Channels outside 0-15 have no block: -1.
int GsPartBlock(int channel);

// Writes base + block(channel) into *target (8-bit arithmetic). Base is 0x10
// for the part blocks 40 1x and 0x40 for 40 4x. A null target shows
// MDSX 0x36000001 and writes nothing. A channel outside 0-15 has no part
// block: it is reported the same way and nothing is written.
void SetGsPartAddress(int channel, uint8_t* target, int base);

// Roland checksum of a run of address and data bytes:
// (128 - (sum mod 128)) mod 128.
uint8_t RolandChecksum(const uint8_t* bytes, int count);

// Writes the checksum of the four bytes at offsets 6 to 9 into offset 10.
// A null message shows MDSX 0x36000001.
void SetRolandChecksum(uint8_t* message);

// The module's error box: "MDSX%08X %s".
void SysExErrorMsg(uint32_t code);
// Its one error: a message that cannot be made or read.
constexpr uint32_t kSysExError = 0x36000001;

