// Reads a Standard MIDI File, by path or through the open-file dialog, always into a
// format-1 song (a format-0 file is split into 17 tracks); keeps the file's bytes and
// converts the loaded song between the two formats.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class Midi0Data;
class Midi1Data;

// Codes of the loader (tag "MDLD").
constexpr uint32_t kMdldInternal = 0x17000001;
constexpr uint32_t kMdldNotMidi = 0x17000002;
constexpr uint32_t kMdldTooLarge = 0x17000003;
// Files of this many bytes or more are refused.
constexpr int64_t kMidiLoaderSizeLimit = 0xF0000;

class MidiLoader {
 public:
  // A text with a "*" is a file pattern for the open-file dialog; any other text is
  // the path of the file to load.
  explicit MidiLoader(const std::string& path_or_pattern);
  explicit MidiLoader(const std::filesystem::path& path);
  // The open-file dialog for SMF files; cancelled, the path is empty.
  MidiLoader();
  ~MidiLoader();
  MidiLoader(const MidiLoader&) = delete;
  MidiLoader& operator=(const MidiLoader&) = delete;

  // Loads the file into a format-1 song. Every failure leaves size 0 and no song.
  void Load(const std::filesystem::path& file);

  // The song (state 2) merged into a format-0 song, tracks from the last to the
  // first; the format-1 song is deleted. Join names 1 joins the track names.
  void MergeToFormat0(int join_names);
  void MergeToFormat0Named() { MergeToFormat0(1); }
  void MergeToFormat0Plain() { MergeToFormat0(0); }
  // The format-0 song (state 2) split into a new format-1 song.
  void SplitToFormat1();

  static void ErrorMsg(uint32_t code);
  static void ShowText(const std::string& text);

  // Fields (the callers read the song and the size directly).
  int32_t file_size = 0;
  std::vector<uint8_t> file_bytes;
  Midi1Data* song = nullptr;         // owned
  Midi0Data* format0_song = nullptr;  // owned
  int32_t current_format = 0;
  int32_t file_format = 0;
  std::filesystem::path path;

 private:
  void Clear();
  // Room of the songs the loader makes: the usual 0x60000, or more for a larger file.
  int32_t SongCapacity() const;
};
