// Seeded mutation run of list replies through the road a fetched list takes: written to the
// file, read as the table, listed (with and without a keyword). Sanitizers watch every access;
// the shapes a broken server sends most (cut, flipped, long cells, no line end, binary, the
// table's row limit, a full receive buffer) are fed on purpose as well.
#include "dialogs/web_library.h"
#include "tests/support/test_support.h"
#include "util/gne.h"
#include "util/list_file.h"

#include <QListWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

void Feed(const std::string& reply, QListWidget* list, const fs::path& file) {
  const auto table = CWebLibrary::ReadListReply(reinterpret_cast<const uint8_t*>(reply.data()),
                                                reply.size(), file);
  ASSERT_NE(table, nullptr);
  for (const char* keyword : {"", "ア", "a"}) {
    const int shown = CWebLibrary::FillList(list, *table, keyword);
    ASSERT_EQ(shown, list->count());
    ASSERT_LE(shown, table->rows());
    for (int i = 0; i < list->count(); ++i) {
      const int row = list->item(i)->data(Qt::UserRole).toInt();
      ASSERT_GE(row, 0);
      ASSERT_LT(row, table->rows());
    }
  }
}

std::string Rows(int n, const std::string& row) {
  std::string out;
  out.reserve(row.size() * static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) out += row;
  return out;
}

// The reply cut to exactly fill the receive buffer.
std::string Full(std::string reply) {
  reply.resize(CWebLibrary::kReceiveCapacity, 'z');
  return reply;
}

TEST(WebListFuzz, ListRepliesOfEveryShapeAreReadAndListedSafely) {
  cantrel_test::QuietBoxes quiet;
  QListWidget list;
  const fs::path file = cantrel_test::TempDir() / "temp.dat";
  const std::string good = "アニメの歌,x,K1,\"http://a.invalid/1\",y\r\n"
                           "＊隠す,x,K2,http://a.invalid/2,y\r\n"
                           "夏\\\\冬,x,JRC3,\"http://a.invalid/3\",y\r\n"
                           "（楽譜）ソ,x,elicense4,http://a.invalid/4,y\r\n";
  std::string binary(4096, '\0');
  GneSeedRandomWith(3141);
  for (char& c : binary) c = static_cast<char>(GneRandomRange(0, 255));
  const std::vector<std::string> shapes = {
      good.substr(0, good.size() / 2),                              // cut
      std::string(good.rbegin(), good.rend()),                      // flipped
      Rows(3, std::string(5000, 'a') + ",b,c,d,e\r\n"),             // long cells
      "a,b,c,d,e",                                                  // no line end
      binary,
      Rows(40000, "t,x,k,p,y\r\n"),                                 // the table's row limit
      Rows(40001, "t,\r\n"),                                        // past it
      Full(Rows(CWebLibrary::kReceiveCapacity / 12 + 1, "ア,x,k,p,y\r\n")),  // a full buffer
      "\"" + Rows(100, "ア,"),                                     // an open quote
  };
  for (const std::string& shape : shapes) {
    SCOPED_TRACE(shape.size());
    Feed(shape, &list, file);
  }
  EXPECT_EQ(shapes[7].size(), static_cast<size_t>(CWebLibrary::kReceiveCapacity));

  GneSeedRandomWith(2718);
  const std::vector<std::string> seeds = {good, shapes[2].substr(0, 6000), "a,b\r\n\"c\r\n"};
  const int64_t rounds = cantrel_test::FuzzInputs(300);
  for (int64_t i = 0; i < rounds; ++i) {
    Feed(cantrel_test::MutateText(seeds, ",\"\\\r\n\x81\x83\x5c\xff"), &list, file);
    if (::testing::Test::HasFatalFailure()) return;
  }
}

}  // namespace
