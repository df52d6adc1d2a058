// Seeded mutation run of the track fuzz entry over the MIDI fixtures: truncations,
// byte flips, special bytes, splices and lying lengths.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "music/midi_track_fuzz.h"
#include "platform/core/files.h"
#include "platform/core/message_sink.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::vector<Bytes> Corpus() {
  std::vector<Bytes> corpus;
  for (const char* name : {"abc_tune.mid", "features.mid", "running_status.mid", "unknown_chunk.mid"}) {
    Bytes b;
    EXPECT_TRUE(plat::ReadWholeFile(cantrel_test::DataPath(std::string("midi/") + name), b));
    corpus.push_back(b);
  }
  // Bare chunk bodies: running status, sysex without F7, metas with long lengths.
  corpus.push_back({0x00, 0x90, 0x3C, 0x40, 0x60, 0x3C, 0x00, 0x00, 0xFF, 0x2F, 0x00});
  corpus.push_back({0x00, 0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0x00, 0xFF, 0x2F, 0x00});
  corpus.push_back({0x00, 0xFF, 0x05, 0x81, 0x00, 'a', 'b', 0x00, 0xF7, 0x83, 0x01, 0x02});
  return corpus;
}

const uint8_t kSpecial[] = {0x00, 0x7F, 0x80, 0x81, 0x90, 0xB0, 0xC0, 0xF0, 0xF7, 0xFF, 0x2F, 0x51, 0x58};

Bytes Mutate(const std::vector<Bytes>& corpus) {
  Bytes b = corpus[static_cast<size_t>(GneRandomRange(0, static_cast<int>(corpus.size()) - 1))];
  int steps = GneRandomRange(1, 4);
  for (int s = 0; s < steps; ++s) {
    int n = static_cast<int>(b.size());
    switch (GneRandomRange(0, 5)) {
      case 0:  // truncation
        if (n > 0) b.resize(static_cast<size_t>(GneRandomRange(0, n - 1)));
        break;
      case 1:  // byte flip
        if (n > 0) b[static_cast<size_t>(GneRandomRange(0, n - 1))] ^= static_cast<uint8_t>(1 << GneRandomRange(0, 7));
        break;
      case 2:  // a special byte
        if (n > 0) b[static_cast<size_t>(GneRandomRange(0, n - 1))] = kSpecial[GneRandomRange(0, sizeof kSpecial - 1)];
        break;
      case 3: {  // splice with a piece of another input
        const Bytes& other = corpus[static_cast<size_t>(GneRandomRange(0, static_cast<int>(corpus.size()) - 1))];
        if (other.empty()) break;
        int from = GneRandomRange(0, static_cast<int>(other.size()) - 1);
        int len = GneRandomRange(1, std::min<int>(64, static_cast<int>(other.size()) - from));
        int at = n > 0 ? GneRandomRange(0, n) : 0;
        b.insert(b.begin() + at, other.begin() + from, other.begin() + from + len);
        break;
      }
      case 4:  // a lying chunk length
        if (n >= 22) {
          int at = GneRandomRange(0, 1) ? 18 : GneRandomRange(0, n - 4);
          for (int k = 0; k < 4; ++k) b[static_cast<size_t>(at + k)] = static_cast<uint8_t>(GneRandomRange(0, 255));
        }
        break;
      default:  // a byte removed
        if (n > 0) b.erase(b.begin() + GneRandomRange(0, n - 1));
        break;
    }
  }
  return b;
}

}  // namespace

TEST(TrackFuzz, CorpusInputsPass) {
  cantrel_test::QuietBoxes quiet;
  for (const Bytes& b : Corpus()) EXPECT_EQ(FuzzMidiTrackInput(b.data(), b.size()), 0);
}

// 100,000 mutated inputs in four shards of their own seeds (CTest runs them side by side).
class TrackFuzzShard : public ::testing::TestWithParam<int> {};

TEST_P(TrackFuzzShard, SeededMutationsKeepEveryInvariant) {
  std::vector<Bytes> corpus = Corpus();
  cantrel_test::QuietBoxes quiet;
  GneSeedRandomWith(20261210u + static_cast<uint32_t>(GetParam()));
  const long inputs = cantrel_test::FuzzInputs(25000, 4);
  int failures = 0;
  for (long i = 0; i < inputs && failures < 5; ++i) {
    Bytes input = Mutate(corpus);
    int r = FuzzMidiTrackInput(input.data(), input.size());
    if (r != 0) {
      ++failures;
      ADD_FAILURE() << "input " << i << " broke invariant " << r << " (" << input.size() << " bytes)";
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Seeds, TrackFuzzShard, ::testing::Values(0, 1, 2, 3));
