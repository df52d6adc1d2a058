#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "song/song_data.h"
#include "song/song_fuzz.h"
#include "tests/support/test_support.h"
#include "util/byte_cursor.h"
#include "util/gne.h"

namespace {

using cantrel_test::DrawIndex;

std::vector<std::vector<uint8_t>> Seeds() {
  std::vector<std::vector<uint8_t>> seeds;
  auto song = std::make_unique<CSongData>();
  song->Reset(16, 4, 20, 1);
  for (int bar = 0; bar < 16; ++bar) {
    song->SetNote(bar, 0, 60 + bar, 3, false);
    song->SetNote(bar, 3, 65, 0, true);
    song->SetLyric(bar, 0, "あい", false);
    song->SetChord(bar, 1, bar % 12, bar % 22, 2, bar % 5, false);
  }
  song->SixteenthsToTriplet(2, 3);
  song->SetExtraText(0, "text");
  song->SetExtraText(11, std::string(300, 'x'));
  song->PackExtraTexts();
  std::vector<uint8_t> full = song->SerializeToVector();
  seeds.push_back(full);
  for (size_t length : {size_t{90444}, size_t{92492}, size_t{94540}, size_t{99208}})
    seeds.emplace_back(full.begin(), full.begin() + length);
  std::vector<uint8_t> old(32780, 0);
  for (int c = 0; c < 2048; ++c) ByteWriter(old.data() + 8192 + 12 * c, 4).I32Le(-2);
  ByteWriter(old.data() + 32768, 6).I32Le(8);
  ByteWriter(old.data() + 32772, 2).I16Le(4);
  seeds.push_back(old);
  std::vector<uint8_t> old2(81932, 0);
  std::memcpy(old2.data() + 8192, full.data() + 16384, 73728);
  ByteWriter(old2.data() + 81920, 4).I32Le(8);
  ByteWriter(old2.data() + 81924, 2).I16Le(3);
  seeds.push_back(old2);
  return seeds;
}

// Mutates a seed into `data`, whose room is kept from input to input (no allocation per input).
void Mutate(const std::vector<std::vector<uint8_t>>& seeds, std::vector<uint8_t>& data) {
  const std::vector<uint8_t>& seed = seeds[DrawIndex(seeds.size())];
  // memcpy, not assign: under AddressSanitizer a vector copy goes through its byte-wise memmove.
  data.resize(seed.size());
  std::memcpy(data.data(), seed.data(), seed.size());
  const int steps = GneRandomRange(1, 6);
  for (int i = 0; i < steps && !data.empty(); ++i) {
    switch (GneRandomRange(0, 5)) {
      case 0:  // truncate
        data.resize(DrawIndex(data.size() + 1));
        break;
      case 1:  // flip bytes
        for (int k = GneRandomRange(1, 64); k > 0 && !data.empty(); --k)
          data[DrawIndex(data.size())] = static_cast<uint8_t>(GneRandomRange(0, 255));
        break;
      case 2: {  // splice a piece of another seed in
        const auto& other = seeds[DrawIndex(seeds.size())];
        const size_t from = DrawIndex(other.size()), to = DrawIndex(data.size());
        const size_t n = std::min({DrawIndex(4096) + 1, other.size() - from, data.size() - to});
        std::memcpy(data.data() + to, other.data() + from, n);
        break;
      }
      case 3: {  // the shape and information fields with extreme values
        static const size_t kOffsets[] = {90432, 90436, 90438, 90440, 90112, 90116, 90120,
                                          32768, 32772, 81920, 81924, 90312};
        static const int32_t kValues[] = {0, -1, 1, 8, 9, 256, 1024, 1025, 0x7FFFFFFF,
                                          static_cast<int32_t>(0x80000000), 29, 30};
        const size_t off = kOffsets[DrawIndex(12)];
        if (off + 4 <= data.size()) ByteWriter(data.data() + off, 4).I32Le(kValues[DrawIndex(12)]);
        break;
      }
      case 4: {  // fill a run with one byte (missing terminators, patterns)
        const size_t at = DrawIndex(data.size());
        const size_t n = std::min(DrawIndex(2048) + 1, data.size() - at);
        std::memset(data.data() + at, GneRandomRange(0, 1) ? 0xCD : GneRandomRange(0, 255), n);
        break;
      }
      default:  // grow
        data.resize(data.size() + DrawIndex(40000), static_cast<uint8_t>(GneRandomRange(0, 255)));
        break;
    }
  }
}

}  // namespace

TEST(SongFuzz, DamagedSongFilesNeverCrashTheReader) {
  GneSeedRandomWith(20261210);
  const auto seeds = Seeds();
  for (const auto& s : seeds) FuzzSongFileBytes(s.data(), s.size());
  cantrel_test::QuietBoxes quiet;  // boxes are answered, not kept
  const int64_t inputs = cantrel_test::FuzzInputs(20000);
  cantrel_test::FuzzProgress progress("song files", inputs);
  std::vector<uint8_t> data;
  data.reserve(400000);  // the longest seed grown six times
  for (int64_t i = 0; i < inputs; ++i) {
    Mutate(seeds, data);
    FuzzSongFileBytes(data.data(), data.size());
    progress.Step();
  }
  // Every length from nothing to past the full layout, in coarse steps.
  for (size_t length = 0; length < 130000; length += 997)
    FuzzSongFileBytes(seeds[0].data(), std::min(length, seeds[0].size()));
}
