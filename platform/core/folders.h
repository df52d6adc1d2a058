// Where the program's own data and the user's data live.
//
// Program folder: read-only data (databases, skin). When the program runs from a build tree it is
// that tree's resources folder, else <prefix>/share/cantrel; CANTREL_PROGRAM_FOLDER overrides.
// User data folder: settings, working song, archive, temporary files:
// $XDG_DATA_HOME (default ~/.local/share) joined with "cantrel"; created on first use.
#pragma once

#include <filesystem>

namespace plat {

std::filesystem::path ProgramFolder();
std::filesystem::path UserDataFolder();

// Overrides for tests and for the command line; an empty path restores the default.
void SetProgramFolder(const std::filesystem::path& folder);
void SetUserDataFolder(const std::filesystem::path& folder);

// The running executable's own path.
std::filesystem::path ExecutablePath();

// Whether the program runs from a build tree (which may be deleted at any time) rather than
// from where it was installed.
bool RunningFromBuildTree();

// The folder of our own temporary files: "temp" inside the user data folder (not created here).
std::filesystem::path TempFolder();

}  // namespace plat
