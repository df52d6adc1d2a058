#include "song/song_globals.h"

#include "platform/core/folders.h"

namespace song {

ProgramGlobals& Globals() {
  static ProgramGlobals globals;
  return globals;
}

void ResetProgramGlobals() { Globals() = ProgramGlobals(); }

std::filesystem::path ProgramFolderPath() {
  const ProgramGlobals& g = Globals();
  if (!g.program_folder.empty()) return g.program_folder;
  return plat::UserDataFolder();
}

void SetProgramFolderPath(const std::filesystem::path& folder) {
  Globals().program_folder = folder;
}

bool SetPageLayout(int layout) {
  static const int kLayouts[5][2] = {{3, 3}, {6, 8}, {3, 4}, {4, 4}, {6, 4}};
  if (layout < 0 || layout >= 5) return false;
  SetPageGeometry(kLayouts[layout][0], kLayouts[layout][1]);
  return true;
}

void SetPageGeometry(int lines_per_page, int bars_per_line) {
  ProgramGlobals& g = Globals();
  g.lines_per_page = lines_per_page;
  g.bars_per_line = bars_per_line;
  g.bars_per_page = lines_per_page * bars_per_line;
}

}  // namespace song
