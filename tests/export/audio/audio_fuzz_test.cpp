#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "export/audio_fuzz.h"
#include "export/wav_data.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"
#include "util/gne.h"

namespace {

using cantrel_test::DrawIndex;

std::vector<std::vector<uint8_t>> Seeds() {
  std::vector<std::vector<uint8_t>> seeds;
  std::vector<uint8_t> samples(64);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<uint8_t>(i * 37);
  for (int bits : {8, 16}) {
    WavData w(WavFormat::Pcm(2, 44100, bits), samples.data(),
              static_cast<uint32_t>(samples.size() * 8 / (2 * bits)));
    seeds.push_back(w.BuildFileImage());
  }
  const uint8_t aiff[] = {'F', 'O', 'R', 'M', 0, 0, 0, 64, 'A', 'I', 'F', 'F',
                          'C', 'O', 'M', 'M', 0, 0, 0, 18, 0, 2, 0, 0, 0, 2, 0, 16,
                          0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0,
                          'M', 'A', 'R', 'K', 0, 0, 0, 2, 0, 0,
                          'S', 'S', 'N', 'D', 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 0,
                          1, 2, 3, 4, 5, 6, 7, 8};
  seeds.emplace_back(aiff, aiff + sizeof aiff);
  return seeds;
}

std::vector<uint8_t> Mutate(const std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<uint8_t> data = seeds[DrawIndex(seeds.size())];
  const int steps = GneRandomRange(1, 5);
  for (int i = 0; i < steps && !data.empty(); ++i) {
    switch (GneRandomRange(0, 3)) {
      case 0:
        data.resize(DrawIndex(data.size() + 1));
        break;
      case 1:
        for (int k = GneRandomRange(1, 8); k > 0 && !data.empty(); --k)
          data[DrawIndex(data.size())] = static_cast<uint8_t>(GneRandomRange(0, 255));
        break;
      case 2: {  // a size or count field with an extreme value
        static const uint32_t kValues[] = {0, 1, 2, 7, 8, 17, 18, 0x7FFFFFFF, 0xFFFFFFFF, 0x10000};
        const size_t at = DrawIndex(data.size() / 4) * 4;
        if (at + 4 <= data.size()) ByteWriter(data.data() + at, 4).U32Be(kValues[DrawIndex(10)]);
        break;
      }
      default: {  // repeat a piece (chunks in chunks)
        const size_t from = DrawIndex(data.size());
        const size_t n = std::min<size_t>(DrawIndex(32) + 1, data.size() - from);
        data.insert(data.begin() + DrawIndex(data.size() + 1), data.begin() + from,
                    data.begin() + from + n);
        break;
      }
    }
  }
  return data;
}

// CANTREL_FUZZ_LONG=1 runs a million inputs (by hand); CI runs the short mode.
TEST(AudioFuzz, MutatedFilesNeverBreakTheReaders) {
  const int64_t count = cantrel_test::FuzzInputs(20000);
  const auto seeds = Seeds();
  cantrel_test::QuietBoxes quiet;
  for (const auto& s : seeds) ASSERT_EQ(FuzzAudioFileInput(s.data(), s.size()), 0);
  GneSeedRandomWith(2026);
  for (int64_t i = 0; i < count; ++i) {
    const auto data = Mutate(seeds);
    ASSERT_EQ(FuzzAudioFileInput(data.data(), data.size()), 0) << "input " << i;
  }
}

}  // namespace
