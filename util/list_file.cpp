#include "util/list_file.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>

#include "platform/core/encoding.h"
#include "util/gne.h"

namespace {

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter reporter(
      "GNLL", "リストの読み込みでエラーがおきました。",
      {{kGnllOpenFailed,
        "リストファイルが開けません。ドラッグ＆ドロップの操作はコピーではなく、ショートカットに対"
        "して行ってください。"},
       {kGnllBadData, "リストファイルのデータにエラーがあります。"},
       {kGnllTooMany, "リストの件数が多すぎます。"},
       {kGnllBlank, "リストファイルに無駄なスペースが含まれています。"},
       {kGnllNoFolder, "ディレクトリが取得できませんでした。"},
       {kGnllTooLong, "リスト内の文字列が長すぎます。"}});
  return reporter;
}

size_t Width(const uint8_t* data, size_t pos, size_t size) {
  return (GneIsLeadByte(data[pos]) && pos + 1 < size) ? 2 : 1;
}

// Each pair of backslashes becomes ',', walking by characters so that the second byte of a
// double-byte character (「ソ」 is 83 5C) never pairs with a backslash.
std::string UnescapeCommas(const std::string& cell) {
  std::string out;
  out.reserve(cell.size());
  const uint8_t* c = reinterpret_cast<const uint8_t*>(cell.data());
  for (size_t i = 0; i < cell.size();) {
    const size_t w = Width(c, i, cell.size());
    if (w == 1 && c[i] == '\\' && i + 1 < cell.size() && c[i + 1] == '\\') {
      out.push_back(',');
      i += 2;
      continue;
    }
    out.append(cell, i, w);
    i += w;
  }
  return out;
}

std::string PathText(const std::filesystem::path& path) {
  return plat::Utf8ToCp932(path.string());
}

}  // namespace

CListFile::CListFile(int columns, int separator, ListRowFilter filter)
    : separator_(separator), filter_(filter) {
  ValidColumns(columns);
}

bool CListFile::ValidColumns(int columns) {
  if (columns < 1 || columns > kListMaxColumns) {
    ErrorMsg(kGnllBadRequest);
    columns_ = 0;
    return false;
  }
  columns_ = columns;
  widest_.assign(static_cast<size_t>(columns_), 0);
  return true;
}

CListFile::CListFile(const std::filesystem::path& path, int columns, int separator,
                     ListRowFilter filter)
    : CListFile(columns, separator, filter) {
  name_ = path.filename();
  path_ = path;
  if (columns_ == 0) return;
  if (!path.has_parent_path()) {
    std::error_code ec;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    if (ec) {
      ErrorMsg(kGnllNoFolder);
      return;
    }
    path_ = here / path;
  }
  Load();
}

CListFile::CListFile(int rows, int columns, int separator, ListRowFilter filter)
    : CListFile(columns, separator, filter) {
  if (columns_ == 0) return;
  if (rows > kListMaxRows) {
    ErrorMsg(kGnllTooMany);
    rows = kListMaxRows;
  }
  cells_.assign(static_cast<size_t>(std::max(rows, 0)),
                std::vector<std::string>(static_cast<size_t>(columns_)));
}

CListFile::~CListFile() = default;

std::unique_ptr<CListFile> CListFile::FromBytes(const void* bytes, size_t n, int columns,
                                                int separator, ListRowFilter filter) {
  std::unique_ptr<CListFile> list(new CListFile(columns, separator, filter));
  if (list->columns_ == 0) return list;
  const uint8_t* b = static_cast<const uint8_t*>(bytes);
  list->data_.assign(b, b + std::min(n, kListMaxBytes));
  if (n > kListMaxBytes) {
    ErrorMsg(kGnllTooMany);
  }
  if (!list->Parse() || n > kListMaxBytes) GneMessageBox(PathText(list->path_));
  return list;
}

int CListFile::ErrorMsg(uint32_t code) { return Reporter().ErrorMsg(code); }

void CListFile::Load() {
  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    ErrorMsg(kGnllOpenFailed);
    return;
  }
  // One byte more than the limit tells a file that is too long from one that just fits.
  data_.resize(kListMaxBytes + 1);
  in.read(reinterpret_cast<char*>(data_.data()), static_cast<std::streamsize>(data_.size()));
  data_.resize(static_cast<size_t>(in.gcount()));
  bool too_long = false;
  if (data_.size() > kListMaxBytes) {
    // Only whole lines of the first 1,400,000 bytes are read; the rest is reported, not dropped
    // silently.
    too_long = true;
    data_.resize(kListMaxBytes);
    ErrorMsg(kGnllTooMany);
    size_t end = data_.size();
    while (end > 0 && data_[end - 1] != '\n' && data_[end - 1] != '\r') --end;
    data_.resize(end);
  }
  if (!Parse() || too_long) GneMessageBox(PathText(path_));
}

bool CListFile::Parse() {
  const uint8_t* d = data_.data();
  const size_t size = data_.size();
  const auto is_end = [&](size_t p) { return p < size && (d[p] == '\r' || d[p] == '\n'); };
  size_t pos = 0;
  while (pos < size) {
    std::vector<std::string> row(static_cast<size_t>(columns_));
    for (int col = 0; col < columns_; ++col) {
      std::string& cell = row[static_cast<size_t>(col)];
      if (pos < size && d[pos] == '"') {
        size_t q = pos + 1;
        while (q < size && d[q] != '"') q += Width(d, q, size);
        if (q >= size) {
          ErrorMsg(kGnllBadData);
          return false;
        }
        cell.assign(reinterpret_cast<const char*>(d + pos + 1), q - pos - 1);
        // Past the closing quote and the byte after it (the separator or a line end). A quote
        // that closes the data ends the row.
        pos = std::min(q + 2, size);
        if (pos >= size) {
          UpdateWidest(col, cell);
          break;
        }
      } else {
        size_t e = pos;
        while (e < size) {
          if (GneIsLeadByte(d[e])) {
            e += Width(d, e, size);
            continue;
          }
          if (d[e] == separator_ || d[e] == '\r' || d[e] == '\n') break;
          ++e;
        }
        if (e >= size) {
          ErrorMsg(kGnllBadData);
          GneErrorBox(FormatBoxText("%d行目にエラーがあります。", rows()));
          return false;
        }
        cell.assign(reinterpret_cast<const char*>(d + pos), e - pos);
        pos = e + 1;
        // A line end that closes the data ends the row, whatever cells are left.
        if (pos >= size && d[e] != separator_) {
          UpdateWidest(col, cell);
          break;
        }
      }
      UpdateWidest(col, cell);
      if (is_end(pos)) break;
    }
    if (pos < size && d[pos] == '\r') ++pos;
    if (pos < size && d[pos] == '\n') ++pos;

    if (filter_ != nullptr) {
      // The filter sees the row as 130 cells of 256 bytes, each cut to fit with its terminator.
      std::vector<char> buffer(static_cast<size_t>(kListMaxColumns) * kListCellSize, 0);
      auto* cells = reinterpret_cast<char(*)[kListCellSize]>(buffer.data());
      for (int col = 0; col < columns_; ++col) {
        const std::string& cell = row[static_cast<size_t>(col)];
        std::memcpy(cells[col], cell.data(), std::min<size_t>(cell.size(), kListCellSize - 1));
      }
      if (filter_(cells) != 1) continue;
    }
    for (std::string& cell : row) {
      if (cell.size() > static_cast<size_t>(kListMaxCellLength)) {
        ErrorMsg(kGnllTooLong);
        return false;
      }
      cell = UnescapeCommas(cell);
    }
    cells_.push_back(std::move(row));
    if (rows() >= kListMaxRows) {
      ErrorMsg(kGnllTooMany);
      return false;
    }
  }
  return true;
}

void CListFile::UpdateWidest(int column, const std::string& cell) {
  int& widest = widest_[static_cast<size_t>(column)];
  widest = std::max(widest, static_cast<int>(std::min<size_t>(cell.size(), 0x7FFFFFFF)));
}

int CListFile::widest(int column) const {
  return ColumnOk(column) ? widest_[static_cast<size_t>(column)] : 0;
}

bool CListFile::RowOk(int row) const { return row >= 0 && row < rows(); }
bool CListFile::ColumnOk(int column) const { return column >= 0 && column < columns_; }

const char* CListFile::Cell(int row, int column) const {
  if (!RowOk(row) || !ColumnOk(column)) return "";
  return cells_[static_cast<size_t>(row)][static_cast<size_t>(column)].c_str();
}

int CListFile::AddRow() {
  if (columns_ == 0) {
    ErrorMsg(kGnllBadRequest);
    return -1;
  }
  if (rows() >= kListMaxRows) {
    ErrorMsg(kGnllTooMany);
    return -1;
  }
  cells_.emplace_back(static_cast<size_t>(columns_));
  return rows() - 1;
}

bool CListFile::InsertRow(int index) {
  if (columns_ == 0 || index < 0 || index > rows()) {
    ErrorMsg(kGnllBadRequest);
    return false;
  }
  if (rows() >= kListMaxRows) {
    ErrorMsg(kGnllTooMany);
    return false;
  }
  cells_.insert(cells_.begin() + index, std::vector<std::string>(static_cast<size_t>(columns_)));
  return true;
}

bool CListFile::DeleteRow(int index) {
  if (!RowOk(index)) {
    ErrorMsg(kGnllBadRequest);
    return false;
  }
  cells_.erase(cells_.begin() + index);
  return true;
}

bool CListFile::CopyRow(int to, int from) {
  if (!RowOk(to) || !RowOk(from)) {
    ErrorMsg(kGnllBadRequest);
    return false;
  }
  if (to != from) cells_[static_cast<size_t>(to)] = cells_[static_cast<size_t>(from)];
  return true;
}

bool CListFile::SetCell(int row, int column, const char* text) {
  if (!RowOk(row) || !ColumnOk(column)) {
    ErrorMsg(kGnllBadRequest);
    return false;
  }
  const std::string value = text != nullptr ? text : "";
  if (value.size() > static_cast<size_t>(kListMaxCellLength)) {
    ErrorMsg(kGnllTooLong);
    return false;
  }
  cells_[static_cast<size_t>(row)][static_cast<size_t>(column)] = value;
  return true;
}

int CListFile::HasDuplicate(int column) const {
  if (!ColumnOk(column)) {
    ErrorMsg(kGnllBadRequest);
    return 0;
  }
  std::set<std::string> seen;
  for (int r = 1; r < rows(); ++r) {
    if (!seen.insert(cells_[static_cast<size_t>(r)][static_cast<size_t>(column)]).second) return 1;
  }
  return 0;
}

int CListFile::FilesExist(int column) const {
  if (!ColumnOk(column)) {
    ErrorMsg(kGnllBadRequest);
    return 0;
  }
  for (int r = 1; r < rows(); ++r) {
    const std::string& name = cells_[static_cast<size_t>(r)][static_cast<size_t>(column)];
    if (!GneCanOpenFile(plat::Cp932ToUtf8(name))) {
      GneMessageBox(name);
      return 0;
    }
  }
  return 1;
}

int CListFile::CheckFiles(int column, int mode, std::string* out_name) const {
  if (mode == 1) return FilesExist(column);
  if (!ColumnOk(column)) {
    ErrorMsg(kGnllBadRequest);
    return 0;
  }
  for (int r = 1; r < rows(); ++r) {
    const std::string& name = cells_[static_cast<size_t>(r)][static_cast<size_t>(column)];
    if (out_name != nullptr) *out_name = name;
    if (!GneCanOpenFile(plat::Cp932ToUtf8(name))) return 0;
  }
  return 1;
}

int CListFile::ParseCondition(const char* token, int* kind) {
  int local_kind = 0;
  int& k = kind != nullptr ? *kind : local_kind;
  k = 0;
  if (token == nullptr || token[0] == 0) {
    ErrorMsg(kGnllBadData);
    return -1;
  }
  if (std::strcmp(token, "Del") == 0) {
    k = 6;
    return 0;
  }
  int number = 0;
  bool have_operator = false;
  for (size_t i = 0; token[i] != 0; ++i) {
    const char c = token[i];
    if (c >= '0' && c <= '9') {
      if (number <= (0x7FFFFFFF - 9) / 10) number = number * 10 + (c - '0');
      continue;
    }
    if (c == ' ') {
      ErrorMsg(kGnllBlank);
      return number;
    }
    int op = 0;
    if (c == '#' || c == '+') {
      op = 1;
    } else if (c == '-') {
      op = token[i + 1] == 0 ? 4 : 2;
    } else if (c == '%') {
      op = 3;
    } else if (c == '<' && token[i + 1] == '=') {
      op = 5;
    } else {
      k = 7;
      ErrorMsg(kGnllBadData);
      return number;
    }
    if (have_operator) {
      ErrorMsg(kGnllBadData);
      return number;
    }
    have_operator = true;
    k = op;
    if (op == 5) ++i;
  }
  return number;
}
