// Preparing finished songs for mobile-phone ringtones: a song normalised for
// the ringtone converters, and an MFi ringtone re-encoded for the 16-voice
// device type.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

class Midi1Data;

// Ticks per quarter of the prepared song: 48 for the phone model kinds 2, 13
// and 21-24, else 96.
int RingtoneDivision(unsigned phone_kind);
// The note-length percentage an output type uses: 95 for types 6 and 7, 100
// for 32, else the given one.
int RingtoneLengthPercent(int output_type, int percent);
// The tempo put before the first note when no tempo comes first.
constexpr int32_t kRingtoneTempo = 600000;

// Replaces the note-mode format-1 song by a normalised copy: repeated drum
// notes shortened, one track name, every track merged in one, sustain turned
// into lengths, the early tempos gone, the ringtone division, the song cut to
// its start and stop markers (or its empty lead-in bars), a tempo at the first
// note, split by channel again, note lengths scaled, drum notes checked (and,
// for output type 9, at most 16 voices). A song that cannot be prepared is
// reported and left as it was.
void PrepareSongForRingtone(std::unique_ptr<Midi1Data>* song, int output_type, int percent,
                            unsigned phone_kind);

// Parses MFi ringtone bytes and writes them re-encoded for device type 254 to
// the ringtone output path of the engine state (the rendering path in compose
// mode 3, else the other). A ringtone without a tempo gets 120 beats per
// minute at its start, so that the file written states its 96 ticks per
// quarter. Bytes that are no MFi file, or no path set, are reported and
// nothing is written.
void ReencodeMFiRingtone(const uint8_t* data, size_t size);
