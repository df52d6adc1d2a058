// Delimited list file: a text file of rows (one per line), a fixed number of cells per row, a
// separator character and double-quoted cells, read into a table of short texts, with simple row
// editing. The web song library keeps its downloaded song list in such a file. A cell stores a
// comma as two backslashes. Errors use the tag GNLL (module 0x1E).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

constexpr int kListMaxRows = 40000;
constexpr int kListMaxColumns = 130;
constexpr int kListCellSize = 256;          // a cell holds at most 254 bytes and its terminator
constexpr int kListMaxCellLength = 254;
constexpr size_t kListMaxBytes = 1400000;   // the most a list file may hold

constexpr uint32_t kGnllOpenFailed = 0x1E000001u;
constexpr uint32_t kGnllBadData = 0x1E000002u;
constexpr uint32_t kGnllTooMany = 0x1E000003u;    // too many rows, or a file too long
constexpr uint32_t kGnllBlank = 0x1E000004u;
constexpr uint32_t kGnllNoFolder = 0x1E000005u;
constexpr uint32_t kGnllTooLong = 0x1E000006u;
constexpr uint32_t kGnllBadRequest = 0x1E000007u;  // a row or column that the table lacks

// A row filter: gets the row's 130 cells of 256 bytes each (unused cells empty) and returns 1 to
// keep the row.
using ListRowFilter = int (*)(char cells[kListMaxColumns][kListCellSize]);

class CListFile {
 public:
  // Reads and splits the file at once. A bare file name is looked for in the current folder.
  // Columns must lie in 1..130.
  CListFile(const std::filesystem::path& path, int columns, int separator,
            ListRowFilter filter = nullptr);
  // An empty table of `rows` rows of empty cells (at most 40,000); reads no file.
  CListFile(int rows, int columns, int separator, ListRowFilter filter = nullptr);
  ~CListFile();
  CListFile(const CListFile&) = delete;
  CListFile& operator=(const CListFile&) = delete;

  // The table from bytes as a file would hold them (the fuzz entry and tests).
  static std::unique_ptr<CListFile> FromBytes(const void* bytes, size_t n, int columns,
                                              int separator, ListRowFilter filter = nullptr);

  // The GNLL box of `code`; returns the button pressed.
  static int ErrorMsg(uint32_t code);

  // ---- The table ----
  int rows() const { return static_cast<int>(cells_.size()); }
  int columns() const { return columns_; }
  int separator() const { return separator_; }
  // Bytes read from the file (0 before reading or when it did not open).
  int size() const { return static_cast<int>(data_.size()); }
  // The file-name part and the full path that was read.
  const std::filesystem::path& name() const { return name_; }
  const std::filesystem::path& path() const { return path_; }
  // The length of the longest cell of the column met while parsing.
  int widest(int column) const;
  // The cell's text; "" for a row or column the table lacks.
  const char* Cell(int row, int column) const;

  // ---- Row editing (refused with a GNLL box when the row or column is not in the table) ----
  // Appends a row of empty cells; its index, or -1 when the table already holds 40,000 rows.
  int AddRow();
  // Rows from index on move one down and index becomes a row of empty cells; index may be rows().
  bool InsertRow(int index);
  bool DeleteRow(int index);
  // Row `to` receives copies of row `from`'s texts.
  bool CopyRow(int to, int from);
  // A text of more than 254 bytes is refused (GNLL 0x1E000006).
  bool SetCell(int row, int column, const char* text);

  // ---- Checks over rows 1 on (row 0 is a heading) ----
  // 1 when two rows hold the same text in the column.
  int HasDuplicate(int column) const;
  // 1 when the file named in the column of every row exists; else the missing name is shown and
  // the result is 0.
  int FilesExist(int column) const;
  // Mode 1 is FilesExist; any other mode stores each row's name in *out_name and stops with 0 at
  // the first missing file, silently.
  int CheckFiles(int column, int mode, std::string* out_name) const;

  // A condition token: "Del" gives kind 6; else its digits make the number and its operator the
  // kind ('#' or '+' 1, '-' 2 or 4 when last, '%' 3, "<=" 5). Any other character gives kind 7
  // and GNLL 0x1E000002, a blank GNLL 0x1E000004, a second operator GNLL 0x1E000002 (each stops
  // the scan); the empty token GNLL 0x1E000002 and -1.
  static int ParseCondition(const char* token, int* kind);

 private:
  CListFile(int columns, int separator, ListRowFilter filter);
  bool ValidColumns(int columns);
  void Load();
  // Splits data_; false after a failure (its box has been shown).
  bool Parse();
  bool RowOk(int row) const;
  bool ColumnOk(int column) const;
  void UpdateWidest(int column, const std::string& cell);

  std::filesystem::path name_;
  std::filesystem::path path_;
  int separator_ = ',';
  int columns_ = 0;
  std::vector<uint8_t> data_;
  std::vector<std::vector<std::string>> cells_;
  std::vector<int> widest_;
  ListRowFilter filter_ = nullptr;
};
