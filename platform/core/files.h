// Whole-file reading and writing. Writes go to a temporary file "<name>.tmpXXXXXXXX" (8 hex
// digits) in the same folder, are flushed to disk (but for scratch files, below) and then renamed
// over the target, and the folder is flushed after the rename, so a failed or interrupted save never leaves a
// half-written file. A replaced file keeps its permission bits; a path that is a symbolic link
// is written through to the file it points at (the link stays a link). These functions show no
// boxes: callers report failures their own way (WriteFailureText says why in words).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// The pieces of a file written in turn: each call points *data and *size at the next piece (it
// stays valid until the next call) and answers 1; 0 when the file is complete; -1 when the
// pieces cannot be made (nothing is written then).
using FilePieces = std::function<int(const void** data, size_t* size)>;
bool WriteFileAtomicFrom(const std::filesystem::path& path, const FilePieces& pieces,
                         std::error_code* error = nullptr);

// Files of ours that are made anew whenever they are needed (every file in TempFolder(), which
// WriteFileAtomic recognises, and the songs written for playing and sending) are written whole
// in the same way but not flushed to disk: a crash loses nothing that is not made again.
bool WriteScratchFile(const std::filesystem::path& path, const void* data, size_t size,
                      std::error_code* error = nullptr);

// Why a write failed, in words for a box (CP932): the disk is full, permission is missing, the
// folder does not exist, ... Unknown errors give the system's own text.
std::string WriteFailureText(const std::error_code& error);

// Removes what interrupted saves of ours left in `folder`: regular files named
// "<name>.tmpXXXXXXXX" (8 hex digits, as WriteFileAtomic makes them) whose <name> is one of
// `names`, or any name when `names` is empty. Answers how many were removed.
int RemoveInterruptedSaves(const std::filesystem::path& folder,
                           const std::vector<std::string>& names = {});
// Whether a file name is such a leftover (for any <name>); *base receives <name>.
bool IsInterruptedSaveName(const std::string& filename, std::string* base = nullptr);

// Size of a regular file, or -1 when it does not exist or is no regular file.
int64_t FileSize(const std::filesystem::path& path);

}  // namespace plat
