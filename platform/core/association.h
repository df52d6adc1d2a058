// File-type association on a freedesktop system: a shared-mime-info package that names the
// extension, and a desktop entry that opens such files with the program, both in the user's
// data home ($XDG_DATA_HOME, default ~/.local/share). The desktop's caches are refreshed with
// update-mime-database and update-desktop-database when those tools are present and something
// changed.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace plat {

struct FileTypeAssociation {
  std::string extension;    // ".mwd"
  std::string typeName;     // "Pellmor.Cantrel": names the MIME type and the desktop entry
  std::string description;  // "Cantrel Document" (UTF-8)
  std::filesystem::path program;      // the program to open the files with
  std::vector<std::string> arguments; // arguments before the file (usually none)
  std::filesystem::path icon;         // optional
  std::string applicationName = "Cantrel";
  // Keeps the entry out of the menus (it still opens the files). RegisterFileAssociation sets it
  // when the program has an installed desktop entry that the desktop shows, so that the menu
  // holds one entry for the program, not two.
  bool noDisplay = false;
};

struct AssociationFiles {
  std::filesystem::path mimePackage;   // <data home>/mime/packages/<type>.xml
  std::filesystem::path desktopEntry;  // <data home>/applications/<type>.desktop
  std::string mimeType;                // application/x-<type>
  bool changed = false;                // whether either file was (re)written
};

// The MIME type that stands for a type name: "Pellmor.Cantrel" -> "application/x-pellmor-cantrel".
std::string MimeTypeFor(const std::string& typeName);

// The text of the two files (exposed for tests).
std::string MimePackageText(const FileTypeAssociation& a);
std::string DesktopEntryText(const FileTypeAssociation& a);

// The installed desktop entry of a program at <prefix>/bin/<name>: <prefix>/share/applications/
// <name>.desktop when it exists and <prefix>/share is one of the folders the desktop reads
// ($XDG_DATA_HOME, $XDG_DATA_DIRS, default /usr/local/share and /usr/share); else empty.
std::filesystem::path VisibleInstalledEntry(const std::filesystem::path& program);

// Removes what interrupted writes of the association files left behind (see files.h).
void RemoveInterruptedAssociationWrites(const std::string& typeName);

// Writes both files (each only when its text differs from what is there, atomically) and
// refreshes the caches when something changed. False when a file could not be written.
bool RegisterFileAssociation(const FileTypeAssociation& a, AssociationFiles* files = nullptr);

// The data home the association goes to; tests point it elsewhere (empty = the default).
std::filesystem::path AssociationDataHome();
void SetAssociationDataHome(const std::filesystem::path& folder);
// Whether the caches are refreshed (tests turn it off; default on).
void SetAssociationRefresh(bool refresh);
// How long a cache tool may run before it is killed and the start goes on (default 10 s).
void SetAssociationToolTimeout(int milliseconds);

}  // namespace plat
