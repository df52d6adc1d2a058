#include "platform/core/folders.h"

#include <cstdlib>
#include <mutex>
#include <system_error>

namespace plat {
namespace fs = std::filesystem;
namespace {

std::mutex g_mutex;
fs::path g_program_override;
fs::path g_user_override;

// The build tree a program runs from: the parent of the executable that holds CMakeCache.txt
// and resources/; empty when it runs from elsewhere (an installed program).
fs::path BuildTreeOf(const fs::path& exe) {
  std::error_code ec;
  for (fs::path dir = exe.parent_path(); !dir.empty(); dir = dir.parent_path()) {
    if (fs::exists(dir / "CMakeCache.txt", ec) && fs::is_directory(dir / "resources", ec))
      return dir;
    if (dir == dir.root_path()) break;
  }
  return fs::path();
}

fs::path DefaultProgramFolder() {
  if (const char* env = std::getenv("CANTREL_PROGRAM_FOLDER"); env && *env) return fs::path(env);
  const fs::path exe = ExecutablePath();
  const fs::path tree = BuildTreeOf(exe);
  if (!tree.empty()) return tree / "resources";
  return exe.parent_path().parent_path() / "share" / "cantrel";
}

fs::path DefaultUserDataFolder() {
  fs::path base;
  // A relative XDG_DATA_HOME is not valid (it would follow the current folder): it is ignored.
  if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && fs::path(xdg).is_absolute()) {
    base = xdg;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = fs::path(home) / ".local" / "share";
  } else {
    base = fs::temp_directory_path();
  }
  return base / "cantrel";
}

}  // namespace

fs::path ExecutablePath() {
  std::error_code ec;
  fs::path p = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::path() : p;
}

bool RunningFromBuildTree() { return !BuildTreeOf(ExecutablePath()).empty(); }

fs::path ProgramFolder() {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_program_override.empty()) return g_program_override;
  static const fs::path folder = DefaultProgramFolder();
  return folder;
}

fs::path UserDataFolder() {
  fs::path folder;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    folder = g_user_override.empty() ? DefaultUserDataFolder() : g_user_override;
  }
  std::error_code ec;
  fs::create_directories(folder, ec);
  return folder;
}

fs::path TempFolder() { return UserDataFolder() / "temp"; }

void SetProgramFolder(const fs::path& folder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_program_override = folder;
}

void SetUserDataFolder(const fs::path& folder) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_user_override = folder;
}

}  // namespace plat
