// Helpers of the pass tests: event builders, tracks from lists, ticks and notes of a
// track, and the outside tools (mido, midicsv, fluidsynth, sox).
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "music/midi1_track.h"

namespace passes_test {

MidiEvent* Note(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity, int32_t duration);
MidiEvent* On(int32_t delta, int32_t channel, int32_t pitch, int32_t velocity);
MidiEvent* Off(int32_t delta, int32_t channel, int32_t pitch);
MidiEvent* Cc(int32_t delta, int32_t channel, int32_t number, int32_t value);
MidiEvent* Program(int32_t delta, int32_t channel, int32_t program);
MidiEvent* Meta(int32_t delta, uint32_t type, const std::string& text);
MidiEvent* Tempo(int32_t delta, int32_t microseconds);
MidiEvent* End(int32_t delta);

// A track of the mode holding the events (taken over).
std::unique_ptr<Midi1Track> Make(int32_t mode, const std::vector<MidiEvent*>& events);
// Absolute ticks of the events.
std::vector<int64_t> Ticks(const MidiTrack& track);
// (tick, channel, pitch, velocity, duration) of every note of a note-mode track.
using NoteRow = std::tuple<int64_t, int, int, int, int>;
std::vector<NoteRow> Notes(const MidiTrack& track);
// The text of a meta event.
std::string Text(const MidiEvent& e);

// (channel, pitch, velocity, on tick, off tick) of every note midicsv lists in a file,
// sorted; false when midicsv is missing or refuses the file.
using CsvNote = std::tuple<int, int, int, int64_t, int64_t>;
bool MidicsvNotes(const std::filesystem::path& path, std::vector<CsvNote>* out);
bool HaveMidicsv();
bool HaveMido();
// Empty when mido loads the file, else its complaint.
std::string MidoError(const std::filesystem::path& path);
// mido's replay of the file: one line per message "tick type fields" in play order.
std::vector<std::string> MidoMessages(const std::filesystem::path& path);

// mido's merge of the file into format 0, each tick's note-offs moved before the
// other events of the tick; false without mido.
bool MidoMergeEndsFirst(const std::filesystem::path& in, const std::filesystem::path& out);

// A General MIDI soundfont of the machine; empty when there is none.
std::filesystem::path SoundFont();
bool HaveFluidsynth();
bool HaveSox();
// Renders the MIDI file to a WAV file with fluidsynth; false on failure.
bool Render(const std::filesystem::path& midi, const std::filesystem::path& wav);
// RMS amplitude of a sound file, and of a - b (sox); negative on failure.
double Rms(const std::filesystem::path& wav);
double DifferenceRms(const std::filesystem::path& a, const std::filesystem::path& b);
// True when the two rendered files hold the same bytes (header and every sample).
bool SameSamples(const std::filesystem::path& a, const std::filesystem::path& b);

std::filesystem::path BlupiFile(int n);

}  // namespace passes_test
