// Shared helpers of the part-track tests: the notes and events of a track with
// their ticks, and the outside readers (mido, midicsv) of joined tracks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "engine/part_tracks.h"
#include "tests/engine/engine_fixture.h"

namespace parts_test {

// The compose information's chord blocks become one block per (length, chord code), each also
// a block of the chord timeline tagged "AXXX".
void SetChords(const std::vector<std::pair<int, const char*>>& chords);
// The same with every chord C major.
void SetChordLengths(const std::vector<int>& lengths);

// (tick, channel, pitch, velocity, duration) of every note of a note-mode track.
using NoteRow = std::tuple<int64_t, int, int, int, int>;
std::vector<NoteRow> Notes(const MidiTrack& track);
// (tick, status, number or note, value) of every event.
using EventRow = std::tuple<int64_t, uint32_t, int, int>;
std::vector<EventRow> Events(const MidiTrack& track);
// Controller rows (tick, number, value).
std::vector<std::tuple<int64_t, int, int>> Controllers(const MidiTrack& track);
// Pitch bend rows (tick, 14-bit value).
std::vector<std::pair<int64_t, int>> Bends(const MidiTrack& track);

// Writes the joined file of the tracks into a fresh temporary folder.
std::filesystem::path WriteJoined(const std::vector<const MidiTrack*>& tracks,
                                  const std::string& name);
// Runs the Python text with mido; the file path is sys.argv[1]. Output, or the
// error text after "ERROR:".
std::string RunMido(const std::string& script, const std::filesystem::path& file);
// midicsv's text of the file; empty when it refuses (its status in *status).
std::string RunMidicsv(const std::filesystem::path& file, int* status);

}  // namespace parts_test
