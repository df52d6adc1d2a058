#include "platform/core/association.h"

#include "platform/core/files.h"
#include "platform/core/process.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>


namespace plat {
namespace {

struct AssociationState {
  std::mutex mutex;
  std::filesystem::path dataHome;
  bool refresh = true;
  int toolTimeoutMs = 10000;
};

AssociationState& State() {
  static AssociationState state;
  return state;
}

std::string XmlEscape(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// One argument of a desktop entry's Exec key: quoted when it holds anything special.
std::string ExecQuote(const std::string& arg) {
  bool plain = !arg.empty();
  for (char c : arg) {
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '/' || c == '.' || c == '-' ||
          c == '_' || c == '+' || c == ',' || static_cast<unsigned char>(c) >= 0x80)) {
      plain = false;
    }
  }
  std::string out;
  if (plain) {
    out = arg;
  } else {
    out = "\"";
    for (char c : arg) {
      if (c == '"' || c == '`' || c == '$' || c == '\\') out += '\\';
      out += c;
    }
    out += "\"";
  }
  // A literal percent sign is written twice.
  std::string escaped;
  for (char c : out) {
    escaped += c;
    if (c == '%') escaped += '%';
  }
  return escaped;
}

// Desktop-entry string values escape backslashes and line breaks.
std::string DesktopValue(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Writes the text when the file does not already hold it; sets *changed when it wrote.
bool WriteIfDifferent(const std::filesystem::path& path, const std::string& text, bool* changed) {
  std::string old;
  if (ReadWholeFile(path, old) && old == text) return true;
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  if (!WriteFileAtomic(path, text)) return false;
  *changed = true;
  return true;
}

// Runs a tool quietly and waits for it, at most the tool time limit (then it is killed); false
// when it is missing, fails or takes too long.
bool RunQuietly(const std::filesystem::path& program, const std::vector<std::string>& args) {
  int limitMs;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    limitMs = State().toolTimeoutMs;
  }
  return RunProgram(program, args, limitMs);
}

}  // namespace

std::string MimeTypeFor(const std::string& typeName) {
  std::string sub;
  for (char c : Lower(typeName)) {
    sub += (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '+') ? c : '-';
  }
  return "application/x-" + sub;
}

std::string MimePackageText(const FileTypeAssociation& a) {
  std::string ext = a.extension;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  std::string text;
  text += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
  text += "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n";
  text += "  <mime-type type=\"" + XmlEscape(MimeTypeFor(a.typeName)) + "\">\n";
  text += "    <comment>" + XmlEscape(a.description) + "</comment>\n";
  text += "    <glob pattern=\"*." + XmlEscape(Lower(ext)) + "\"/>\n";
  if (Lower(ext) != ext) text += "    <glob pattern=\"*." + XmlEscape(ext) + "\"/>\n";
  text += "  </mime-type>\n";
  text += "</mime-info>\n";
  return text;
}

std::string DesktopEntryText(const FileTypeAssociation& a) {
  std::string exec = ExecQuote(a.program.string());
  for (const std::string& arg : a.arguments) exec += " " + ExecQuote(arg);
  exec += " %f";
  std::string text;
  text += "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += "Name=" + DesktopValue(a.applicationName) + "\n";
  text += "Comment=" + DesktopValue(a.description) + "\n";
  text += "Exec=" + exec + "\n";
  if (!a.icon.empty()) text += "Icon=" + DesktopValue(a.icon.string()) + "\n";
  text += "MimeType=" + MimeTypeFor(a.typeName) + ";\n";
  text += "Terminal=false\n";
  text += "Categories=AudioVideo;Audio;Music;\n";
  if (a.noDisplay) text += "NoDisplay=true\n";
  return text;
}

std::filesystem::path AssociationDataHome() {
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    if (!State().dataHome.empty()) return State().dataHome;
  }
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && *xdg == '/') return std::filesystem::path(xdg);
  const char* home = std::getenv("HOME");
  return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "share";
}

void SetAssociationDataHome(const std::filesystem::path& folder) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().dataHome = folder;
}

void SetAssociationRefresh(bool refresh) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().refresh = refresh;
}

void SetAssociationToolTimeout(int milliseconds) {
  std::lock_guard<std::mutex> lock(State().mutex);
  State().toolTimeoutMs = milliseconds;
}

namespace {

// The folders the desktop reads entries and MIME packages from, each without a trailing slash.
std::vector<std::filesystem::path> DesktopDataFolders() {
  std::vector<std::filesystem::path> folders = {AssociationDataHome()};
  const char* dirs = std::getenv("XDG_DATA_DIRS");
  const std::string list = dirs && *dirs ? dirs : "/usr/local/share/:/usr/share/";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::filesystem::path dir(list.substr(start, end - start));
    if (dir.is_absolute()) folders.push_back(dir.lexically_normal());
    start = end + 1;
  }
  for (auto& f : folders) {
    std::string s = f.lexically_normal().string();
    while (s.size() > 1 && s.back() == '/') s.pop_back();
    f = s;
  }
  return folders;
}

}  // namespace

std::filesystem::path VisibleInstalledEntry(const std::filesystem::path& program) {
  if (program.empty() || program.parent_path().filename() != "bin") return {};
  const std::filesystem::path share = program.parent_path().parent_path() / "share";
  std::filesystem::path entry =
      share / "applications" / (program.filename().string() + ".desktop");
  std::error_code ec;
  if (!std::filesystem::is_regular_file(entry, ec)) return {};
  const std::filesystem::path wanted = std::filesystem::weakly_canonical(share, ec);
  for (const std::filesystem::path& folder : DesktopDataFolders()) {
    std::error_code ec2;
    if (folder == share || std::filesystem::weakly_canonical(folder, ec2) == wanted) return entry;
  }
  return {};
}

void RemoveInterruptedAssociationWrites(const std::string& typeName) {
  const std::filesystem::path home = AssociationDataHome();
  RemoveInterruptedSaves(home / "mime" / "packages", {Lower(typeName) + ".xml"});
  RemoveInterruptedSaves(home / "applications", {Lower(typeName) + ".desktop"});
}

bool RegisterFileAssociation(const FileTypeAssociation& given, AssociationFiles* files) {
  FileTypeAssociation a = given;
  if (!VisibleInstalledEntry(a.program).empty()) a.noDisplay = true;
  const std::filesystem::path home = AssociationDataHome();
  AssociationFiles out;
  out.mimeType = MimeTypeFor(a.typeName);
  out.mimePackage = home / "mime" / "packages" / (Lower(a.typeName) + ".xml");
  out.desktopEntry = home / "applications" / (Lower(a.typeName) + ".desktop");
  bool mimeChanged = false, desktopChanged = false;
  const bool ok = WriteIfDifferent(out.mimePackage, MimePackageText(a), &mimeChanged) &
                  WriteIfDifferent(out.desktopEntry, DesktopEntryText(a), &desktopChanged);
  out.changed = mimeChanged || desktopChanged;
  bool refresh;
  {
    std::lock_guard<std::mutex> lock(State().mutex);
    refresh = State().refresh;
  }
  if (refresh && mimeChanged) {
    const std::filesystem::path tool = FindProgram("update-mime-database");
    if (!tool.empty()) RunQuietly(tool, {(home / "mime").string()});
  }
  if (refresh && desktopChanged) {
    const std::filesystem::path tool = FindProgram("update-desktop-database");
    if (!tool.empty()) RunQuietly(tool, {(home / "applications").string()});
  }
  if (files) *files = out;
  return ok;
}

}  // namespace plat
