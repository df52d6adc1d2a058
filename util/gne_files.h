// General library: zeroed memory blocks, whole-file reading and writing with the library's
// failure policy, file and folder dialogs, and the folders the system keeps its files in.
//
// Failure policy. A file of the system's own that a required read or write cannot open ends the
// program through GENE 0x01000007 (its box names the path). A file the user chose, or an export
// path, must never end the program: pass GneFileUse::kUserChosen and the same box is shown, then
// the function returns 0. Files are written to a temporary name in the same folder and renamed,
// so a failed save never leaves a half-written file.
//
// Paths are native (UTF-8) paths; the boxes show them in CP932.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

enum class GneFileUse {
  kRequired,    // the system's own file: an open failure ends the program
  kUserChosen,  // chosen by the user or an export target: box, then failure
};

// ---- Memory ----

// A zero-filled block of at least one byte; failure shows GENE 0x01000002 and ends the program.
void* GneGlobalAllocZero(size_t bytes);
void GneGlobalFree(void* block);

// ---- Files (1 success, 0 failure unless said otherwise) ----

// 1 when a file or folder of that name exists.
int GneFileExists(const std::filesystem::path& path);
// 1 when the path is a file that opens for reading; no message.
int GneCanOpenFile(const std::filesystem::path& path);
// Like GneCanOpenFile; a file that does not open shows GENE 0x01000005 with the path.
int GneFileMustExist(const std::filesystem::path& path);
// The file's size; 0 for a folder and for a missing file. 4 GB or more shows GENE 0x0100000D and
// gives the low 32 bits.
uint32_t GneGetFileSize(const std::filesystem::path& path);

// Reads exactly n bytes. A shorter file shows GENE 0x0100000A and the delete hint and returns 0
// (the bytes read stay in the buffer).
int GneReadFile(const std::filesystem::path& path, void* buffer, size_t n,
                GneFileUse use = GneFileUse::kRequired);
// Reads up to n bytes and stores the count. A file longer than n (its end would be cut off) shows
// GENE 0x0100000A and the delete hint and returns 0 (count = n, the bytes read stay).
int GneReadWholeFile(const std::filesystem::path& path, void* buffer, int* count, size_t n,
                     GneFileUse use = GneFileUse::kRequired);
// Reads n bytes; when fewer arrive the whole buffer is zeroed and the result is 0. 0 without
// message when the file does not open.
int GneReadFileOrZero(const std::filesystem::path& path, void* buffer, size_t n);
// Creates or replaces the file with n bytes. A failure shows GENE 0x01000007 with the path and
// why the write failed (disk full, no permission, ...).
int GneWriteFile(const std::filesystem::path& path, const void* data, size_t n,
                 GneFileUse use = GneFileUse::kRequired);
// The same, returning 0 without message on failure; *error (when given) says why.
int GneWriteFileQuietly(const std::filesystem::path& path, const void* data, size_t n,
                        std::error_code* error = nullptr);
// 1 when both files read (up to n bytes each) give the same count and bytes; 0 when they differ
// or one of them does not open (no message).
int GneCompareFiles(const std::filesystem::path& a, const std::filesystem::path& b, size_t n);
// Deletes every file that the pattern (a folder and a name with '*' and '?') finds; returns the
// number deleted.
int GneDeleteFiles(const std::filesystem::path& pattern);
// The last-write time "%04d/%02d/%02d %02d:%02d:%02d" as the file system stores it (UTC);
// "0000/00/00 00:00:00" when the file is not found. out: 20 bytes.
void GneGetFileTimeText(const std::filesystem::path& path, char* out);

// ---- Dialogs (through plat::CurrentFileDialogs) ----

// filter: CP932 "name|pattern|" pairs. Optional arguments may be nullptr.
// 1 chosen, 0 cancelled. When the initial file is empty or does not open and an initial folder is
// given, the dialog starts in that folder.
int GneOpenFileDialog(const char* default_extension, const char* filter, std::filesystem::path* out,
                      const std::filesystem::path* initial_file = nullptr, int* filter_index = nullptr,
                      const std::filesystem::path* initial_folder = nullptr);
// 1 chosen, 0 cancelled; asks before overwriting. filter_index is in/out.
int GneSaveFileDialog(std::filesystem::path* out, const char* default_extension, const char* filter,
                      int* filter_index = nullptr, const std::filesystem::path* initial_file = nullptr);
// Open dialog, then the whole chosen file into buffer (capacity bytes). 1 when a file was chosen
// and read; a file larger than capacity shows GENE 0x0100000A with the path, reads nothing and
// gives 0; an unreadable file shows its box and gives 0 (never ends the program).
int GneOpenAndReadFile(std::filesystem::path* out, const char* default_extension, const char* filter,
                       void* buffer, size_t capacity, int* count);
// Save dialog (newer style, no initial file), then writes the data. 1 written, 0 cancelled or
// failed (a failure shows its box, never ends the program).
int GneSaveFileAs(std::filesystem::path* out, const char* default_extension, const char* filter,
                  const void* data, size_t n);
// 1 chosen, 2 cancelled.
int GneChooseFolder(const std::filesystem::path* initial_folder, std::filesystem::path* out,
                    const std::string& title);
// "GNWN%08X %s" for a common-dialog extended error, in the system-modal error box.
int GneDialogErrorMsg(uint32_t code);

// ---- Folders ----

// The program's folder (read-only data): plat::ProgramFolder().
void GneGetModuleFolder(std::filesystem::path* out);
// The folder of a program file path ('\' or '/' separated), cut where "\Release" or "/Release"
// begins, so that a program started from a build folder finds its files one level up.
std::string GneModuleFolderOf(const std::string& program_file);
// The user's application-data folder (plat::UserDataFolder()) joined with name ('\' in name
// separates folders); created with every missing level.
void GneGetAppDataFolder(std::filesystem::path* out, const std::string& name);
// The shared documents folder (a "Documents" folder inside the user data folder) joined with
// name; created when missing.
void GneGetCommonDocumentsFolder(std::filesystem::path* out, const std::string& name);
// 26 (application data) and 46 (common documents); any other number gives an empty path.
void GneGetSpecialFolder(std::filesystem::path* out, int folder_id);
// Creates every missing folder of the path; 1 when the folder exists afterwards.
int GneCreateFolders(const std::filesystem::path& path);
