// Growable-by-nobody byte buffer that every encoded music object is built on
// (Standard MIDI File songs, MIDI tracks, ringtone data), and its error box.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

// Capacity of every song and track buffer unless the owner asks for another.
constexpr int32_t kDefaultMusicCapacity = 0x60000;

// Error codes of the music-data module (tag "MUDT").
constexpr uint32_t kMudtFileOpen = 0x02000001;

// Zeroed block of `bytes` bytes; failure to allocate ends the program through the
// general library's out-of-memory message. Free with FreeMusicBlock.
uint8_t* AllocMusicBlock(size_t bytes);
void FreeMusicBlock(void* block);

class MusicData {
 public:
  explicit MusicData(int32_t capacity = kDefaultMusicCapacity);
  ~MusicData();
  MusicData(const MusicData&) = delete;
  MusicData& operator=(const MusicData&) = delete;

  // Reads the file into the buffer, at most `capacity` bytes. A file that does not
  // open or is longer than the buffer is reported and refused (returns 0, used size 0).
  // Returns 1 when the file was read.
  int Load(const std::filesystem::path& path);
  // Open-file dialog, then the chosen file as Load reads it; 0 when cancelled or refused.
  int LoadWithDialog(const char* default_extension, const char* filter);
  // Writes the used bytes (temporary file, then rename); a failure is reported. 1 on success.
  int Save(const std::filesystem::path& path) const;
  // The same without a box; *error (when given) says why a write failed.
  int SaveQuietly(const std::filesystem::path& path, std::error_code* error = nullptr) const;
  int SaveWithDialog(const char* default_extension, const char* filter) const;
  void SaveMidiWithDialog() const;

  // 1 when the position is at or past the used size; otherwise shows the message
  // in an error box and returns 0.
  int IsPastEnd(int32_t at, const char* message) const;

  static void ErrorMsg(uint32_t code);

  // The used size kept within the buffer.
  size_t UsedBytes() const;

  // Fields, in the order the format keeps them.
  int32_t used_size = 0;   // bytes in use
  int32_t position = 0;    // read/write position of the parsers
  uint8_t* buffer = nullptr;  // zeroed block of `capacity` bytes, owned; never moves
  int32_t capacity = 0;    // fixed at construction
};
