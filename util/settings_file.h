// A fixed-size block of settings kept raw in a file: filled from the file when the keeper is
// made, written back whole when it is destroyed (or on Save).
//
// - A file at least the block's size: its first `size` bytes are taken (a longer file is
//   accepted, the rest ignored).
// - A file that exists but is shorter: the message "iniファイルにエラーがあるため初期化しました。",
//   then the defaults.
// - No file: the defaults, silently.
// The block is written to a temporary file in the same folder and renamed into place, so a
// failed save never leaves a half-written settings file; a failure is reported (GENE 0x01000007
// with the path) and the program goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

class CConfigControl {
 public:
  // `block` and `defaults` are the caller's, `size` bytes each; `defaults` is only read here.
  CConfigControl(const std::filesystem::path& path, void* block, size_t size,
                 const void* defaults);
  virtual ~CConfigControl();
  CConfigControl(const CConfigControl&) = delete;
  CConfigControl& operator=(const CConfigControl&) = delete;

  // Reads the first `size` bytes of the file into the block; false (block unchanged) when the
  // file cannot be read or is shorter.
  bool Load();
  // Writes the block; false (reported) when it cannot be written.
  bool Save();
  bool LoadFrom(const std::filesystem::path& other);
  bool SaveTo(const std::filesystem::path& other);

  const std::filesystem::path& Path() const { return path_; }
  // True when the block came from the file at construction (false: defaults were used).
  bool LoadedFromFile() const { return loaded_; }
  // Whether the destructor writes the block (default true).
  void SetSaveOnDestroy(bool save) { saveOnDestroy_ = save; }

 private:
  std::filesystem::path path_;
  uint8_t* block_;
  size_t size_;
  bool loaded_ = false;
  bool saveOnDestroy_ = true;
};
