// The engine's stand-alone file operations: a Standard MIDI File turned into
// engine input (the vocal melody list, its copy and the chord input), two
// inspection copies of a MIDI file written into the temporary folder, two
// channel limiters for mobile ringtone songs, the engine's run-settings
// defaults and the file-filter table.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class Midi0Data;
class Midi1Data;
class MobileData;
class TuneStructure;

// Files of this many bytes or more are not converted.
constexpr size_t kConversionBufferSize = 196608;

// The bars of a song to convert; a count of 0 (or less) means the whole song.
struct BarWindow {
  int32_t first_bar = 0;
  int32_t bar_count = 0;
};

// Converts one MIDI file (an empty path asks for one in the open-file dialog)
// into VocalMelodyList, MelodyInputCopy and the chord input of the compose
// information. 1 on success, 0 when it failed (reported) or was cancelled.
int ConvertMidiFileToEngineInput(std::filesystem::path path, BarWindow window = {});

// Reads the file into bytes (an empty path first asks for one; the chosen
// path comes back). False when cancelled, unreadable (0xFF010101), empty or of
// kConversionBufferSize bytes or more (0xFF010102).
bool LoadMidiFileForConversion(std::filesystem::path* path, std::vector<uint8_t>* bytes);
// A format-0 song from file bytes of format 0 or 1 (a format-1 file merged),
// its key read (major 1 or 0, found 1 when the song has a key signature);
// nullptr for any other bytes (0xFF01016C) and for a header whose division
// CheckMidiDivision refuses.
std::unique_ptr<Midi0Data> ParseMidiForConversion(std::vector<uint8_t>* bytes,
                                                  int* major = nullptr, int* found = nullptr);
// 1 when the song's division lies in 4 .. 32767 (a smaller one has no
// sixteenth grid), else 0xFF010103 and 0.
int CheckMidiDivision(const Midi0Data& song);
int CheckMidiDivision(int32_t division);
// The melody and chord conversion of a checked song, with the song's chord
// slots (two per 4/4 bar, kChordNameBytes each) and their count.
void ConvertSongForEngine(const Midi0Data& song, const BarWindow& window,
                          std::vector<char>* chord_names, int32_t slot_count);

// Track passes of the conversion (the track index of a format-1 song).
void KeepNotesOnly(int32_t track, Midi1Data& song);
void DropOutOfRangeNotes(int32_t track, Midi1Data& song);  // below 36 or above 108
void QuantizeToTriplets(int32_t track, Midi1Data& song);
// Every track whose channel plays a secondary melody (part type 5 in the
// structure) merged into the first of them; each merged track becomes an
// empty track with End of Track.
void MergeTracksOfKind5(Midi1Data& song, const TuneStructure& structure);

// The file as loaded, brought to at most 16 channels, written as "16ch.mid" in
// the temporary folder; *path becomes the new path. False (and nothing
// written) when the file cannot be loaded or written.
bool SaveSixteenChannelCopy(std::filesystem::path* path);
// The same with pitch bends turned into note pitches, as "pitch.mid".
bool SaveBendFreeCopy(std::filesystem::path* path);
// The names of the two copies.
constexpr const char* kSixteenChannelCopyName = "16ch.mid";
constexpr const char* kBendFreeCopyName = "pitch.mid";

// Channels a phone of the device type plays (0 for an unknown type).
int MobileChannelLimit(int device_type);
// Only the first n active channels stay active (n of the device type; an
// unknown type reports 0xFF0101E0 and changes nothing).
void LimitMobileChannels(MobileData& song, int device_type);
// Keeps channels active in order while their polyphony sums to at most n.
void LimitMobilePolyphony(MobileData& song, int device_type);

// The engine's run settings with their defaults. Nothing applies them: the
// renderer keeps its fixed settings.
struct RunSettings {
  int32_t melody_from_input = 0;
  int32_t conductor_options = 0;
  int32_t part_header_options = 0;
  int32_t lead_in = 0;
  std::filesystem::path temp_folder;
  std::filesystem::path program_folder;
  std::filesystem::path program_folder_copy;
  std::string user_name;
  int32_t numbers[3] = {};  // 2, 24 and 18000
};
// Fills the record; returns false, as the defaults always do.
bool RunSettingsDefaults(RunSettings* settings);

// The filter text of a file format id into *text; an unknown id leaves it.
// Returns whether the id is in the table.
bool LookupFileFilter(int format_id, std::string* text);
