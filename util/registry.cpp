#include "util/registry.h"

#include "platform/core/association.h"
#include "platform/core/files.h"
#include "platform/core/folders.h"
#include "util/gne.h"

#include <cstdio>
#include <mutex>
#include <sstream>

namespace {

constexpr const char* kMultimediaKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia";
constexpr const char* kMidiMapKey =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Multimedia\\MIDIMap";

std::mutex& RegistryMutex() {
  static std::mutex mutex;
  return mutex;
}

std::filesystem::path RegistryFile() { return plat::UserDataFolder() / "registry.txt"; }

struct Entry {
  std::string key, name, data;
};

std::vector<Entry> ReadEntries() {
  std::vector<Entry> entries;
  std::string text;
  if (!plat::ReadWholeFile(RegistryFile(), text)) return entries;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t a = line.find('\t');
    const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    if (b == std::string::npos) continue;
    entries.push_back(Entry{line.substr(0, a), line.substr(a + 1, b - a - 1), line.substr(b + 1)});
  }
  return entries;
}

std::string Clean(const std::string& s) {
  std::string out;
  for (char c : s) out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
  return out;
}

}  // namespace

std::vector<std::string> GneSplitCommandLine(const std::string& command) {
  std::vector<std::string> parts;
  std::string current;
  bool quoted = false, any = false;
  for (char c : command) {
    if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if ((c == ' ' || c == '\t') && !quoted) {
      if (any) parts.push_back(current);
      current.clear();
      any = false;
    } else {
      current += c;
      any = true;
    }
  }
  if (any) parts.push_back(current);
  return parts;
}

int GneRegisterFileType(const char* extension, const char* typeName, const char* description,
                        const std::string& command, int machineWide) {
  (void)machineWide;
  const std::vector<std::string> parts = GneSplitCommandLine(command);
  if (parts.empty()) return 1;
  plat::FileTypeAssociation a;
  a.extension = extension ? extension : "";
  a.typeName = typeName ? typeName : "";
  a.description = description ? description : "";
  a.program = parts[0];
  for (size_t i = 1; i < parts.size(); ++i) {
    if (parts[i] != "%1") a.arguments.push_back(parts[i]);
  }
  const std::filesystem::path icon = plat::ProgramFolder() / "cantrel.png";
  std::error_code ec;
  if (std::filesystem::exists(icon, ec)) a.icon = std::filesystem::absolute(icon, ec);
  // The start goes on without the association, but the failure is not hidden.
  if (!plat::RegisterFileAssociation(a)) {
    std::fprintf(stderr, "cantrel: the file type %s could not be registered in %s\n", a.typeName.c_str(),
                 plat::AssociationDataHome().c_str());
  }
  return 1;
}

bool GneRegistryGet(const std::string& key, const std::string& name, std::string& data) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  // Keys and names are kept as they are stored: tabs and line breaks as blanks.
  const std::string k = Clean(key), n = Clean(name);
  for (const Entry& e : ReadEntries()) {
    if (e.key == k && e.name == n) {
      data = e.data;
      return true;
    }
  }
  return false;
}

bool GneRegistrySet(const std::string& key, const std::string& name, const std::string& data) {
  std::lock_guard<std::mutex> lock(RegistryMutex());
  std::vector<Entry> entries = ReadEntries();
  const std::string k = Clean(key), n = Clean(name);
  bool found = false;
  for (Entry& e : entries) {
    if (e.key == k && e.name == n) {
      e.data = Clean(data);
      found = true;
    }
  }
  if (!found) entries.push_back(Entry{k, n, Clean(data)});
  std::string text;
  for (const Entry& e : entries) text += e.key + "\t" + e.name + "\t" + e.data + "\n";
  return plat::WriteFileAtomic(RegistryFile(), text);
}

int GneGetMidiMapperDeviceName(std::string& name) {
  return GneRegistryGet(kMidiMapKey, "szPname", name) ? 1 : 0;
}

void GneMakeMidiMapperDeviceName(const std::string& name) {
  if (!GneRegistrySet(kMultimediaKey, "", "")) GneMessageBox("GneMakeMidiMapperDeviceName registry error");
  if (!GneRegistrySet(kMidiMapKey, "szPname", name)) GneMessageBox("registry error");
}

int GneSetMidiMapperDeviceName(const std::string& name) {
  std::string old;
  if (!GneRegistryGet(kMidiMapKey, "szPname", old)) return 0;
  if (!GneRegistrySet(kMidiMapKey, "szPname", name)) {
    GneMessageBox("GneSetMidiMapperDeviceName registry error");
    return 0;
  }
  return 1;
}
