#include "util/list_search_fuzz.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "util/gne_kana.h"
#include "util/list_file.h"
#include "util/search_text.h"

namespace {


void Check(bool ok) {
  if (!ok) std::abort();
}

void RunRewriters(const std::string& text) {
  using Rewriter = void (*)(char*);
  const Rewriter rewriters[] = {GneNarrowLetters,   GneNarrowAlphanumerics,
                                GneNarrowKana,      GneNarrowSymbols,
                                GneNarrowSpaces,    GneToHalfWidthPlainKatakana,
                                GneToHalfWidthKatakana};
  for (Rewriter rewrite : rewriters) {
    std::vector<char> buffer(text.c_str(), text.c_str() + text.size() + 1);
    rewrite(buffer.data());
    Check(std::strlen(buffer.data()) <= text.size());  // narrowing never lengthens
  }
  const size_t capacities[] = {1, text.size() + 1, 2 * text.size() + 1};
  for (size_t capacity : capacities) {
    std::vector<char> buffer(capacity);
    std::memcpy(buffer.data(), text.c_str(), std::min(capacity - 1, text.size()));
    buffer[std::min(capacity - 1, text.size())] = 0;
    const size_t length = GneToFullWidthKatakana(buffer.data(), capacity);
    Check(length < capacity && std::strlen(buffer.data()) == length);
  }
  for (size_t i = 0; i < text.size(); ++i) {
    std::vector<char> two(text.c_str() + i, text.c_str() + text.size() + 1);
    GneKatakanaToHiragana(two.data());
  }
  GneIsSingleByteText(text.c_str());
  GneIsKanaText(text.c_str());
}

}  // namespace

void FuzzSearchText(const uint8_t* data, size_t size) {
  const std::string all(reinterpret_cast<const char*>(data), size);
  const size_t nul = all.find('\0');
  const std::string key = all.substr(0, nul);
  const std::string candidate = nul == std::string::npos ? key : all.substr(nul + 1);
  const std::string cand = candidate.c_str();  // up to its own first NUL
  RunRewriters(key);
  RunRewriters(cand);
  CSearchText search(key.c_str());
  std::vector<char> exact(cand.c_str(), cand.c_str() + cand.size() + 1);
  search.Match(exact.data());
  Check(std::memcmp(exact.data(), cand.c_str(), cand.size() + 1) == 0);  // left unchanged
  Check(search.Match(key.c_str()) == 1);  // every text holds itself
  Check(search.Match("") == (search.Key().empty() ? 1 : 0));
}

void FuzzListFile(const uint8_t* data, size_t size) {
  if (size == 0) return;
  const int columns = 1 + (data[0] & 7);
  const char separators[] = {',', '\t', ';', '\\'};
  const int separator = separators[(data[0] >> 3) & 3];
  const std::unique_ptr<CListFile> list = CListFile::FromBytes(data + 1, size - 1, columns, separator);
  Check(list->rows() <= kListMaxRows);
  for (int r = 0; r < list->rows(); ++r) {
    for (int c = 0; c < columns; ++c) {
      Check(std::strlen(list->Cell(r, c)) <= static_cast<size_t>(kListMaxCellLength));
    }
  }
  // Editing around the edges of what was read.
  const int added = list->AddRow();
  list->SetCell(added, columns - 1, list->Cell(0, 0));
  list->CopyRow(0, list->rows() - 1);
  list->InsertRow(list->rows());
  list->DeleteRow(0);
  list->HasDuplicate(0);
  int kind = 0;
  const std::string token(list->Cell(0, 0));
  CListFile::ParseCondition(token.c_str(), &kind);
}
