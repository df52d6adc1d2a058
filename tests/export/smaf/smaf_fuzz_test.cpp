// Seeded mutation tests of the SMAF readers over the round-trip files: the chunk parser, both
// sequence decoders and the loader with its conversions. A long run by hand:
//   CANTREL_FUZZ_LONG=1 build/test/tests/test_export_smaf --gtest_filter='SmafFuzz*'
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "smaf_fixture.h"
#include "util/gne.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> Files() {
  std::vector<Bytes> files;
  for (int code : {16, 4, 0}) {
    auto song = smaf_test::GridSong(code == 4 ? 4 : 16, code == 0 ? 1000000 : 500000, nullptr, 4);
    SmafData data(*song, code);
    data.Pack();
    files.push_back(data.Bytes());
  }
  auto song = smaf_test::GridSong(10, 500000, nullptr, 4);
  for (int generation : {3, 5}) {
    for (int code : {32, 33}) {
      SmafMa3Data data(*song, code, generation);
      data.Pack(code);
      files.push_back(data.Bytes());
    }
  }
  return files;
}

// The "Mtsq" data of the files of one flavour.
std::vector<Bytes> Sequences(const std::vector<Bytes>& files, bool ma3) {
  std::vector<Bytes> out;
  for (const Bytes& f : files) {
    if ((f.size() > 17 && f[17] >= 0x30) != ma3) continue;
    for (size_t i = 0; i + 8 <= f.size(); ++i)
      if (std::memcmp(f.data() + i, "Mtsq", 4) == 0) {
        ByteReader in(f.data() + i + 4, 4);
        const size_t n = std::min<size_t>(in.U32Be(), f.size() - i - 8);
        out.emplace_back(f.begin() + static_cast<long>(i + 8), f.begin() + static_cast<long>(i + 8 + n));
      }
  }
  return out;
}

Bytes Mutate(const std::vector<Bytes>& seeds) {
  Bytes data = seeds[cantrel_test::DrawIndex(seeds.size())];
  const int steps = GneRandomRange(1, 4);
  for (int s = 0; s < steps && !data.empty(); ++s) {
    switch (GneRandomRange(0, 5)) {
      case 0:  // cut
        data.resize(cantrel_test::DrawIndex(data.size() + 1));
        break;
      case 1:  // random bytes
        for (int k = GneRandomRange(1, 12); k > 0 && !data.empty(); --k)
          data[cantrel_test::DrawIndex(data.size())] = static_cast<uint8_t>(GneRandomRange(0, 255));
        break;
      case 2: {  // a size field (four bytes behind an id) given an extreme value
        static const uint32_t kSizes[] = {0, 1, 2, 4, 5, 15, 16, 0x7F, 0xFFFF, 0x10000, 0x10001,
                                          0x7FFFFFFF, 0xFFFFFFFF};
        std::vector<size_t> ids;
        for (size_t i = 0; i + 8 <= data.size(); ++i)
          if (std::isupper(data[i]) && std::isalpha(data[i + 1]) && std::isalpha(data[i + 2]))
            ids.push_back(i + 4);
        if (ids.empty()) break;
        const size_t at = ids[cantrel_test::DrawIndex(ids.size())];
        const uint32_t v = kSizes[cantrel_test::DrawIndex(std::size(kSizes))];
        for (int k = 0; k < 4; ++k) data[at + static_cast<size_t>(k)] = static_cast<uint8_t>(v >> (24 - 8 * k));
        break;
      }
      case 3: {  // a piece of another seed spliced in
        const Bytes& other = seeds[cantrel_test::DrawIndex(seeds.size())];
        if (other.empty()) break;
        const size_t from = cantrel_test::DrawIndex(other.size());
        const size_t to = cantrel_test::DrawIndex(data.size());
        const size_t n = std::min({cantrel_test::DrawIndex(200) + 1, other.size() - from, data.size() - to});
        std::memcpy(data.data() + to, other.data() + from, n);
        break;
      }
      case 4: {  // runs of the bytes that start messages
        static const uint8_t kBytes[] = {0x00, 0xFF, 0xF0, 0xF7, 0x80, 0xBF, 0x90, 0x2F};
        const size_t at = cantrel_test::DrawIndex(data.size());
        const size_t n = std::min(cantrel_test::DrawIndex(12) + 1, data.size() - at);
        const uint8_t b = kBytes[cantrel_test::DrawIndex(std::size(kBytes))];
        std::memset(data.data() + at, b, n);
        break;
      }
      default:  // a byte removed or inserted
        if (GneRandomRange(0, 1)) {
          data.erase(data.begin() + static_cast<long>(cantrel_test::DrawIndex(data.size())));
        } else {
          data.insert(data.begin() + static_cast<long>(cantrel_test::DrawIndex(data.size() + 1)),
                      static_cast<uint8_t>(GneRandomRange(0, 255)));
        }
        break;
    }
  }
  return data;
}

template <class Entry>
void RunMutations(const char* name, Entry entry, const std::vector<Bytes>& seeds, uint32_t seed,
         int64_t short_run) {
  ASSERT_FALSE(seeds.empty());
  cantrel_test::QuietBoxes quiet;
  for (const Bytes& s : seeds) EXPECT_EQ(entry(s.data(), s.size()), 0);
  GneSeedRandomWith(seed);
  const int64_t inputs = cantrel_test::FuzzInputs(short_run);
  cantrel_test::FuzzProgress progress(name, inputs);
  int failures = 0;
  for (int64_t i = 0; i < inputs && failures < 5; ++i) {
    const Bytes input = Mutate(seeds);
    const int r = entry(input.data(), input.size());
    if (r != 0) {
      ++failures;
      ADD_FAILURE() << name << ": input " << i << " broke invariant " << r << " (" << input.size()
                    << " bytes)";
    }
    progress.Step();
  }
}

}  // namespace

TEST(SmafFuzz, ChunkParser) { RunMutations("chunks", FuzzSmafChunks, Files(), 20261210u, 5000); }

TEST(SmafFuzz, SequenceDecoder) {
  RunMutations("sequence", FuzzSmafSequence, Sequences(Files(), false), 20261211u, 8000);
}

TEST(SmafFuzz, Ma3SequenceDecoder) {
  RunMutations("ma3 sequence", FuzzSmafMa3Sequence, Sequences(Files(), true), 20261212u, 8000);
}

TEST(SmafFuzz, Loader) { RunMutations("loader", FuzzSmafLoader, Files(), 20261213u, 1000); }
