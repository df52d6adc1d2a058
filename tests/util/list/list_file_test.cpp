// The delimited list file: parsing, its failures, row editing and the checks.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "util/list_file.h"

namespace {

using cantrel_test::Sink;
using cantrel_test::TempDir;

std::unique_ptr<CListFile> Parse(const std::string& bytes, int columns = 3, int separator = ',',
                                 ListRowFilter filter = nullptr) {
  // An exact heap copy, so that the sanitizer sees any read past the data.
  std::vector<char> exact(bytes.begin(), bytes.end());
  return CListFile::FromBytes(exact.data(), exact.size(), columns, separator, filter);
}

std::vector<std::vector<std::string>> Table(const CListFile& list) {
  std::vector<std::vector<std::string>> rows;
  for (int r = 0; r < list.rows(); ++r) {
    rows.emplace_back();
    for (int c = 0; c < list.columns(); ++c) rows.back().push_back(list.Cell(r, c));
  }
  return rows;
}

std::filesystem::path WriteFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path path = TempDir() / name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

using Rows = std::vector<std::vector<std::string>>;

TEST(ListFile, ParsesRows) {
  const struct {
    const char* name;
    std::string bytes;
    Rows rows;
  } cases[] = {
      {"crlf", "a,b,c\r\n", {{"a", "b", "c"}}},
      {"short row", "a,b\r\n", {{"a", "b", ""}}},
      {"quoted comma", "\"x,y\",z\r\n", {{"x,y", "z", ""}}},
      {"escaped comma", "a\\\\b,c,d\r\n", {{"a,b", "c", "d"}}},
      {"two rows", "1,2,3\r\n4,5,6\r\n", {{"1", "2", "3"}, {"4", "5", "6"}}},
      {"empty cells", ",,\r\n", {{"", "", ""}}},
      {"lf only", "a,b,c\nd,e,f\n", {{"a", "b", "c"}, {"d", "e", "f"}}},
      // With line feeds alone a short row runs on into the next line.
      {"lf short row continues", "a,b\nc,d\n", {{"a", "b", "c"}, {"d", "", ""}}},
      // A line with more cells than columns continues as the next row.
      {"long line", "a,b,c,d\r\n", {{"a", "b", "c"}, {"d", "", ""}}},
      // 「ソ」 is 83 5C: its second byte is no backslash, so the escape after it still works.
      {"so before escaped comma", "ソ\\\\x,b,c\r\n", {{"ソ,x", "b", "c"}}},
      {"so then one backslash", "ソ\\,b,c\r\n", {{"ソ\\", "b", "c"}}},
      // A closing quote at the very end of the data ends the row without reading on.
      {"quote at the end", "a,\"q\"", {{"a", "q", ""}}},
      {"empty file", "", {}},
  };
  for (const auto& c : cases) {
    Sink().Clear();
    const auto list = Parse(c.bytes);
    EXPECT_EQ(Table(*list), c.rows) << c.name;
    EXPECT_EQ(Sink().Count(), 0u) << c.name;
  }
}

TEST(ListFile, SecondByteOfADoubleByteCharacterIsNoSeparator) {
  // 「ポ」 is 83 7C and 「ソ」 83 5C: with '|' or '\\' as the separator they stay whole.
  EXPECT_EQ(Table(*Parse("ポ|b|c\r\n", 3, '|')), (Rows{{"ポ", "b", "c"}}));
  EXPECT_EQ(Table(*Parse("ソ\\b\\c\r\n", 3, '\\')), (Rows{{"ソ", "b", "c"}}));
  EXPECT_EQ(Table(*Parse("a\tソ\tc\r\n", 3, '\t')), (Rows{{"a", "ソ", "c"}}));
}

TEST(ListFile, ParseFailuresKeepEarlierRows) {
  const struct {
    const char* name;
    std::string bytes;
    size_t rows;
    std::vector<std::string> boxes;
  } cases[] = {
      {"no line end", "a,b,c\r\nd,e,f",
       1,
       {"GNLL1E000002 リストファイルのデータにエラーがあります。", "1行目にエラーがあります。", ""}},
      {"open quote", "\"abc,d\r\n",
       0,
       {"GNLL1E000002 リストファイルのデータにエラーがあります。", ""}},
      {"separator at the end", "a,",
       0,
       {"GNLL1E000002 リストファイルのデータにエラーがあります。", "0行目にエラーがあります。", ""}},
      {"255-byte cell", "x\r\n" + std::string(255, 'a') + ",b,c\r\n",
       1,
       {"GNLL1E000006 リスト内の文字列が長すぎます。", ""}},
      {"1000-byte cell", std::string(1000, 'a') + "\r\n",
       0,
       {"GNLL1E000006 リスト内の文字列が長すぎます。", ""}},
  };
  for (const auto& c : cases) {
    Sink().Clear();
    const auto list = Parse(c.bytes);
    EXPECT_EQ(static_cast<size_t>(list->rows()), c.rows) << c.name;
    EXPECT_EQ(Sink().Texts(), c.boxes) << c.name;  // the last box names the (empty) path
  }
}

TEST(ListFile, CellOf254BytesIsStored) {
  const auto list = Parse(std::string(254, 'a') + ",b,c\r\n");
  ASSERT_EQ(list->rows(), 1);
  EXPECT_EQ(std::string(list->Cell(0, 0)), std::string(254, 'a'));
  EXPECT_EQ(list->widest(0), 254);
  EXPECT_EQ(list->widest(1), 1);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(ListFile, FortyThousandRowsIsTooMany) {
  std::string bytes;
  for (int i = 0; i < 40005; ++i) bytes += std::to_string(i) + "\r\n";
  const auto list = Parse(bytes, 1);
  EXPECT_EQ(list->rows(), kListMaxRows);
  EXPECT_EQ(std::string(list->Cell(kListMaxRows - 1, 0)), "39999");
  ASSERT_GE(Sink().Count(), 1u);
  EXPECT_EQ(Sink().Texts()[0], "GNLL1E000003 リストの件数が多すぎます。");
}

TEST(ListFile, FilterDropsRows) {
  const ListRowFilter keep_b = [](char cells[kListMaxColumns][kListCellSize]) {
    return cells[1][0] == 'b' ? 1 : 0;
  };
  const auto list = Parse("1,b,x\r\n2,c,y\r\n3,b,z\r\n", 3, ',', keep_b);
  EXPECT_EQ(Table(*list), (Rows{{"1", "b", "x"}, {"3", "b", "z"}}));
}

TEST(ListFile, ReadsFilesAndReportsTheMissingOne) {
  const auto path = WriteFile("temp.dat", "曲名,作者,a,b,c\r\n歌,人,1,2,3\r\n");
  CListFile list(path, 5, ',');
  EXPECT_EQ(list.rows(), 2);
  EXPECT_STREQ(list.Cell(1, 0), "歌");
  EXPECT_EQ(list.size(), 30);
  EXPECT_EQ(list.name(), std::filesystem::path("temp.dat"));
  EXPECT_EQ(Sink().Count(), 0u);

  CListFile missing(TempDir() / "none.dat", 5, ',');
  EXPECT_EQ(missing.rows(), 0);
  EXPECT_EQ(missing.size(), 0);
  EXPECT_EQ(Sink().Texts(),
            std::vector<std::string>{"GNLL1E000001 リストファイルが開けません。ドラッグ＆ドロップの操作は"
                                     "コピーではなく、ショートカットに対して行ってください。"});
}

TEST(ListFile, BareNameIsReadFromTheCurrentFolder) {
  WriteFile("here.dat", "a\r\n");
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(TempDir());
  CListFile list("here.dat", 1, ',');
  std::filesystem::current_path(before);
  EXPECT_EQ(list.rows(), 1);
  EXPECT_EQ(list.path(), TempDir() / "here.dat");
}

TEST(ListFile, BareNameWithoutACurrentFolderIsReported) {
  const auto gone = TempDir() / "gone";
  std::filesystem::create_directory(gone);
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(gone);
  std::filesystem::remove(gone);  // the current folder no longer exists
  CListFile list("here.dat", 1, ',');
  std::filesystem::current_path(before);
  EXPECT_EQ(list.rows(), 0);
  EXPECT_EQ(Sink().Texts(),
            std::vector<std::string>{"GNLL1E000005 ディレクトリが取得できませんでした。"});
}

TEST(ListFile, FileOverTheLimitIsReportedNotCutSilently) {
  // 7001 lines of 200 bytes: the whole lines of the first 1,400,000 bytes are read.
  const std::string line = std::string(198, 'a') + "\r\n";
  std::string bytes;
  while (bytes.size() <= kListMaxBytes) bytes += line;
  const auto path = WriteFile("big.dat", bytes);
  CListFile list(path, 1, ',');
  EXPECT_EQ(list.rows(), 7000);
  ASSERT_EQ(Sink().Count(), 2u);
  EXPECT_EQ(Sink().Texts()[0], "GNLL1E000003 リストの件数が多すぎます。");
  // A file of exactly the limit is fine.
  Sink().Clear();
  bytes.resize(kListMaxBytes);
  CListFile exact(WriteFile("exact.dat", bytes), 1, ',');
  EXPECT_EQ(exact.rows(), 7000);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(ListFile, RowEditing) {
  CListFile list(2, 3, ',');
  EXPECT_EQ(list.rows(), 2);
  EXPECT_TRUE(list.SetCell(0, 0, "a"));
  EXPECT_TRUE(list.SetCell(1, 2, "c"));
  EXPECT_EQ(list.AddRow(), 2);
  EXPECT_TRUE(list.InsertRow(0));
  EXPECT_EQ(Table(list), (Rows{{"", "", ""}, {"a", "", ""}, {"", "", "c"}, {"", "", ""}}));
  EXPECT_TRUE(list.CopyRow(0, 2));
  EXPECT_TRUE(list.DeleteRow(2));
  // The copy holds its own texts: changing one row leaves the other.
  EXPECT_TRUE(list.SetCell(0, 2, "d"));
  EXPECT_EQ(Table(list), (Rows{{"", "", "d"}, {"a", "", ""}, {"", "", ""}}));
  EXPECT_TRUE(list.InsertRow(3));  // at the end
  EXPECT_EQ(list.rows(), 4);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(ListFile, EditingRefusesWhatTheTableLacks) {
  CListFile list(2, 3, ',');
  const std::string bad = "GNLL1E000007 リストの読み込みでエラーがおきました。";
  const struct {
    const char* name;
    bool ok;
    std::string box;
  } cases[] = {
      {"set row -1", list.SetCell(-1, 0, "x"), bad},
      {"set row 2", list.SetCell(2, 0, "x"), bad},
      {"set column 3", list.SetCell(0, 3, "x"), bad},
      {"set 255 bytes", list.SetCell(0, 0, std::string(255, 'x').c_str()),
       "GNLL1E000006 リスト内の文字列が長すぎます。"},
      {"insert 3", list.InsertRow(3), bad},
      {"delete 2", list.DeleteRow(2), bad},
      {"copy from 5", list.CopyRow(0, 5), bad},
      {"copy to -1", list.CopyRow(-1, 0), bad},
  };
  const auto texts = Sink().Texts();
  ASSERT_EQ(texts.size(), std::size(cases));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_FALSE(cases[i].ok) << cases[i].name;
    EXPECT_EQ(texts[i], cases[i].box) << cases[i].name;
  }
  EXPECT_TRUE(list.SetCell(0, 0, std::string(254, 'x').c_str()));
  EXPECT_STREQ(list.Cell(9, 9), "");
}

TEST(ListFile, RowsAndColumnsHaveLimits) {
  CListFile full(kListMaxRows, 1, ',');
  EXPECT_EQ(full.AddRow(), -1);
  EXPECT_FALSE(full.InsertRow(0));
  EXPECT_EQ(full.rows(), kListMaxRows);
  CListFile too_many(kListMaxRows + 1, 1, ',');
  EXPECT_EQ(too_many.rows(), kListMaxRows);
  CListFile wide(1, kListMaxColumns + 1, ',');
  EXPECT_EQ(wide.rows(), 0);
  EXPECT_EQ(wide.AddRow(), -1);
  const auto texts = Sink().Texts();
  ASSERT_EQ(texts.size(), 5u);
  EXPECT_EQ(texts[0], "GNLL1E000003 リストの件数が多すぎます。");
  EXPECT_EQ(texts[2], "GNLL1E000003 リストの件数が多すぎます。");
}

TEST(ListFile, DuplicatesAndFiles) {
  const auto a = WriteFile("a.mwd", "x");
  const auto b = WriteFile("b.mwd", "y");
  const std::string missing = (TempDir() / "c.mwd").string();
  auto list = Parse("name\r\n" + a.string() + "\r\n" + b.string() + "\r\n", 1);
  EXPECT_EQ(list->HasDuplicate(0), 0);
  EXPECT_EQ(list->FilesExist(0), 1);  // row 0 is a heading and is not checked
  std::string name;
  EXPECT_EQ(list->CheckFiles(0, 0, &name), 1);
  EXPECT_EQ(name, b.string());
  list->SetCell(2, 0, a.string().c_str());
  EXPECT_EQ(list->HasDuplicate(0), 1);
  list->SetCell(1, 0, missing.c_str());
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_EQ(list->CheckFiles(0, 0, &name), 0);
  EXPECT_EQ(name, missing);
  EXPECT_EQ(Sink().Count(), 0u);
  EXPECT_EQ(list->CheckFiles(0, 1, &name), 0);
  EXPECT_EQ(Sink().Texts(), std::vector<std::string>{missing});
}

TEST(ListFile, ParseCondition) {
  const struct {
    const char* token;
    int number;
    int kind;
    const char* box;
  } cases[] = {
      {"Del", 0, 6, nullptr},
      {"12#", 12, 1, nullptr},
      {"+3", 3, 1, nullptr},
      {"5-8", 58, 2, nullptr},
      {"7-", 7, 4, nullptr},
      {"50%", 50, 3, nullptr},
      {"<=4", 4, 5, nullptr},
      {"42", 42, 0, nullptr},
      {"4x", 4, 7, "GNLL1E000002 リストファイルのデータにエラーがあります。"},
      {"4 5", 4, 0, "GNLL1E000004 リストファイルに無駄なスペースが含まれています。"},
      {"1+2%", 12, 1, "GNLL1E000002 リストファイルのデータにエラーがあります。"},
      {"", -1, 0, "GNLL1E000002 リストファイルのデータにエラーがあります。"},
  };
  for (const auto& c : cases) {
    Sink().Clear();
    int kind = -5;
    const int number = CListFile::ParseCondition(c.token, &kind);
    EXPECT_EQ(number, c.number) << c.token;
    EXPECT_EQ(kind, c.kind) << c.token;
    EXPECT_EQ(Sink().Texts(), c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{})
        << c.token;
  }
  // A long run of digits stops growing instead of overflowing.
  int kind = 0;
  EXPECT_GT(CListFile::ParseCondition("99999999999999", &kind), 0);
}

}  // namespace
