// Helpers of the track tests: chunk bytes, files split into chunks, and the event
// lists of our parser and of midicsv in one comparable text form.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "music/midi_track.h"

namespace track_test {

using Bytes = std::vector<uint8_t>;

// "MTrk", the length, the body.
Bytes Chunk(const Bytes& body, const char* id = "MTrk");
// A format-1 file of the chunks with the division.
Bytes SmfFile(const std::vector<Bytes>& chunks, int division = 96);
// A track parsed from a body wrapped as one MTrk chunk.
std::unique_ptr<MidiTrack> ParseBody(const Bytes& body, int32_t capacity = kDefaultMusicCapacity);
// The track's chunk bytes (used size) after ToChunk.
Bytes ChunkBytes(const MidiTrack& track);

struct FileChunks {
  Bytes header;                   // the MThd chunk, whole
  std::vector<size_t> track_offsets;  // offsets of the MTrk chunks
  Bytes bytes;                    // the whole file
};
// Splits a file into its header and track chunks, stepping over other chunks by
// their length. False when it is no Standard MIDI File.
bool SplitFile(const std::filesystem::path& path, FileChunks* out);

// One line per event: "tick kind fields...", texts and messages as hex bytes.
std::vector<std::string> Canonical(const MidiTrack& track);
// The same lines from midicsv's output, one list per track (tracks from 1).
bool MidicsvCanonical(const std::filesystem::path& path, std::vector<std::vector<std::string>>* out,
                      std::string* error);

// Runs mido over the file; empty when it loads, else the error text.
std::string MidoLoadError(const std::filesystem::path& path);

bool HaveMidicsv();

}  // namespace track_test
