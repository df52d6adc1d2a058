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

// The program folder: the value set by the main window, or the platform's
// program folder when none was set.
std::filesystem::path ProgramFolderPath();
void SetProgramFolderPath(const std::filesystem::path& folder);

// Page layouts 0..4 give (lines, bars per line) of (3,3), (6,8), (3,4),
// (4,4), (6,4). Returns false (and changes nothing) for another layout.
bool SetPageLayout(int layout);
void SetPageGeometry(int lines_per_page, int bars_per_line);

}  // namespace song
