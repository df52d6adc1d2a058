// Whole-file reading and writing. Writes go to a temporary file in the same folder, are flushed
// to disk and then renamed over the target, so a failed or interrupted save never leaves a
// half-written file. These functions show no boxes: callers report failures their own way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace plat {

bool ReadWholeFile(const std::filesystem::path& path, std::vector<uint8_t>& out,
                   std::error_code* error = nullptr);
bool ReadWholeFile(const std::filesystem::path& path, std::string& out,
                   std::error_code* error = nullptr);

bool WriteFileAtomic(const std::filesystem::path& path, const void* data, size_t size,
                     std::error_code* error = nullptr);
inline bool WriteFileAtomic(const std::filesystem::path& path, const std::vector<uint8_t>& data,
                            std::error_code* error = nullptr) {
  return WriteFileAtomic(path, data.data(), data.size(), error);
}
inline bool WriteFileAtomic(const std::filesystem::path& path, const std::string& data,
                            std::error_code* error = nullptr) {
  return WriteFileAtomic(path, data.data(), data.size(), error);
}

// Size of a regular file, or -1 when it does not exist or is no regular file.
int64_t FileSize(const std::filesystem::path& path);

}  // namespace plat
