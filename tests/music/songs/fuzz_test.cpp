// Seeded mutation run of the song fuzz entry over the song fixtures.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <vector>

#include "music/midi_data_fuzz.h"
#include "platform/core/message_sink.h"
#include "tests/music/songs/songs_test_util.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using songs_test::Bytes;

std::vector<Bytes> Corpus() {
  std::vector<Bytes> corpus;
  for (const char* name : {"midi/songs/setup_f0.mid", "midi/songs/band_f1.mid", "midi/songs/tune_f1.mid",
                           "midi/features.mid", "midi/running_status.mid"}) {
    const auto path = cantrel_test::DataPath(name);
    if (std::filesystem::exists(path)) corpus.push_back(cantrel_test::ReadFileBytes(path));
  }
  // Ticks that overflow 32 bits when the play copy changes division.
  corpus.push_back(songs_test::LongDelayFile());
  return corpus;
}

const uint8_t kSpecial[] = {0x00, 0x01, 0x02, 0x7F, 0x80, 0x90, 0xF0, 0xF7, 0xFF, 0x2F, 0x58, 0x40};

Bytes Mutate(const std::vector<Bytes>& corpus) {
  Bytes b = corpus[static_cast<size_t>(GneRandomRange(0, static_cast<int>(corpus.size()) - 1))];
  const int steps = GneRandomRange(1, 4);
  for (int s = 0; s < steps; ++s) {
    const int n = static_cast<int>(b.size());
    if (n == 0) break;
    switch (GneRandomRange(0, 6)) {
      case 0:
        b.resize(static_cast<size_t>(GneRandomRange(0, n - 1)));
        break;
      case 1:
        b[static_cast<size_t>(GneRandomRange(0, n - 1))] ^= static_cast<uint8_t>(1 << GneRandomRange(0, 7));
        break;
      case 2:
        b[static_cast<size_t>(GneRandomRange(0, n - 1))] = kSpecial[GneRandomRange(0, sizeof kSpecial - 1)];
        break;
      case 3:  // the header's fields: format, track count, division
        b[static_cast<size_t>(GneRandomRange(8, std::min(13, n - 1)))] =
            static_cast<uint8_t>(GneRandomRange(0, 255));
        break;
      case 4: {  // a lying chunk length
        const int at = n > 22 ? 18 : 0;
        for (int k = 0; k < 4 && at + k < n; ++k) b[static_cast<size_t>(at + k)] = static_cast<uint8_t>(GneRandomRange(0, 255));
        break;
      }
      case 5: {  // a piece of another input spliced in (events of one song inside another)
        const Bytes& other = corpus[static_cast<size_t>(GneRandomRange(0, static_cast<int>(corpus.size()) - 1))];
        const int from = GneRandomRange(0, static_cast<int>(other.size()) - 1);
        const int len = GneRandomRange(1, std::min<int>(200, static_cast<int>(other.size()) - from));
        const int at = GneRandomRange(0, n);
        b.insert(b.begin() + at, other.begin() + from, other.begin() + from + len);
        break;
      }
      default: {  // a MacBinary prefix
        Bytes prefixed(128, 0);
        prefixed.insert(prefixed.end(), b.begin(), b.end());
        b.swap(prefixed);
        break;
      }
    }
  }
  return b;
}

}  // namespace

TEST(SongFuzz, FixturesHoldTheInvariants) {
  cantrel_test::QuietBoxes quiet;
  for (const Bytes& b : Corpus()) EXPECT_EQ(FuzzSmfSongInput(b.data(), b.size()), 0);
}

// Three shards of their own seeds (CTest runs them side by side).
class SongFuzzShard : public ::testing::TestWithParam<int> {};

TEST_P(SongFuzzShard, SeededMutations) {
  const std::vector<Bytes> corpus = Corpus();
  ASSERT_FALSE(corpus.empty());
  cantrel_test::QuietBoxes quiet;
  GneSetRandomState(12345 + GetParam());
  const long inputs = cantrel_test::FuzzInputs(700, 3);
  for (long i = 0; i < inputs; ++i) {
    const Bytes input = Mutate(corpus);
    const int broken = FuzzSmfSongInput(input.data(), input.size());
    if (broken != 0) {
      cantrel_test::WriteFileBytes(cantrel_test::TempDir() / "broken.mid", input);
      FAIL() << "mutation " << i << " broke invariant " << broken << " (" << input.size() << " bytes)";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, SongFuzzShard, ::testing::Values(0, 1, 2));
