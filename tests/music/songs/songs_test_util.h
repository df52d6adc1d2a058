// Helpers of the song tests: event builders, ticks of a track, files, and the
// canonical view of a MIDI file that mido reads.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "music/midi_track.h"

namespace songs_test {

using Bytes = std::vector<uint8_t>;

MidiEvent* Note(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity,
                int32_t duration);
MidiEvent* NoteOn(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity);
MidiEvent* NoteOff(int32_t delta, int32_t channel, int32_t pitch);
MidiEvent* Controller(int32_t delta, int32_t channel, int32_t number, int32_t value);
MidiEvent* Bend(int32_t delta, int32_t channel, int32_t bend);
MidiEvent* Meta(int32_t delta, uint32_t type, const std::string& data);
MidiEvent* TimeSignature(int32_t delta, int32_t numerator, int32_t power);
MidiEvent* SysEx(int32_t delta, const Bytes& message, uint32_t kind = 0, int32_t channel = 255);
MidiEvent* EndOfTrack(int32_t delta);

// A track of the mode holding the events (taken over).
MidiTrack* MakeTrack(int32_t mode, const std::vector<MidiEvent*>& events,
                     int32_t capacity = kDefaultMusicCapacity);

// Absolute tick of every event.
std::vector<int64_t> Ticks(const MidiTrack& track);
// Ticks of the events of a status.
std::vector<int64_t> TicksOf(const MidiTrack& track, uint32_t status);

// "MThd" header of the format, track count and division.
Bytes Header(int format, int tracks, int division);
// "MTrk", the length, the body.
Bytes Chunk(const Bytes& body);
Bytes Join(const std::vector<Bytes>& parts);
// A valid 37-byte format-0 file whose ticks do not fit 32 bits once the division
// changes: division 1, a note after a delay of 22,369,622 ticks (2,147,483,712 at
// division 96).
Bytes LongDelayFile();

// True when mido is there. Tests say CANTREL_NEED_MIDO() (tests/support), which skips or fails,
// never `if (HaveMido()) EXPECT...`.
bool HaveMido();
// mido's canonical lines of a file, sorted: "N start end channel pitch velocity"
// for notes of positive length, "C tick hex" for other channel messages, "M tick
// type value" for meta messages but End of Track, "X tick hex" for system
// exclusive. Fails the calling test and returns nothing when mido refuses the file.
std::vector<std::string> MidoCanonical(const std::filesystem::path& path,
                                       std::string* error = nullptr);
// Header facts as mido reads them: "type tracks division".
std::string MidoHeader(const std::filesystem::path& path);
// midicsv's exit status on the file (0 when it reads it).
int MidicsvStatus(const std::filesystem::path& path, std::string* csv = nullptr);

// Lines of a that b lacks and lines of b that a lacks (multisets).
std::vector<std::string> Missing(const std::vector<std::string>& a,
                                 const std::vector<std::string>& b);

}  // namespace songs_test
