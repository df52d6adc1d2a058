// Process-wide values the main window sets and the song code reads: the
// program folder (base of the working song and the archive) and the score
// page geometry (lines per page, bars per line, bars per page).
#pragma once

#include <filesystem>

namespace song {

struct ProgramGlobals {
  std::filesystem::path program_folder;  // empty = platform default
  int lines_per_page = 3;
  int bars_per_line = 3;
  int bars_per_page = 9;
};

// The one instance; tests reset it.
ProgramGlobals& Globals();
void ResetProgramGlobals();

// The folder the main window names as the program's own (the working song
// and the personal archive live below it); when none was set, the user data
// folder, where this system keeps its writable files.
std::filesystem::path ProgramFolderPath();
void SetProgramFolderPath(const std::filesystem::path& folder);

// Page layouts 0..4 give (lines, bars per line) of (3,3), (6,8), (3,4),
// (4,4), (6,4). Returns false (and changes nothing) for another layout.
bool SetPageLayout(int layout);
void SetPageGeometry(int lines_per_page, int bars_per_line);

}  // namespace song
