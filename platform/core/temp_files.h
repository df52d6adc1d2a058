// Names for files that are written whole before anyone sees them.
//
// A file the user chose is written beside itself under "<name>.tmpXXXXXXXX" (8 hex digits, as
// RemoveInterruptedSaves knows such names), by us or by an outside program, and renamed over the
// target once complete. Intermediate files of ours live in the "temp" folder of the user data
// folder under names of ours, never under a name the user chose.
#pragma once

#include <filesystem>
#include <string>
#include <system_error>

namespace plat {

// A fresh name "<name>.tmpXXXXXXXX" beside `path`.
std::filesystem::path TemporaryNameFor(const std::filesystem::path& path);
// Renames the finished temporary file over `path` and flushes the folder; on failure the
// temporary file is removed.
bool CommitTemporary(const std::filesystem::path& temporary, const std::filesystem::path& path,
                     std::error_code* error = nullptr);

// A fresh name of ours in TempFolder() (created when missing): "<stem>-<process>-<serial><ext>".
// Nothing is created under that name.
std::filesystem::path NewTempFileName(const std::string& stem, const std::string& extension);

}  // namespace plat
