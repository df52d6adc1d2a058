// Seeded mutation tests of the MFi readers over the fixture songs' files. A long run:
//   CANTREL_FUZZ_LONG=1 build/test/tests/test_export_ringtone --gtest_filter=RingtoneFuzz*
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "export/ringtone/mfi.h"
#include "ringtone_fixture.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using cantrel_test::DrawIndex;

std::vector<std::vector<uint8_t>> Seeds(bool multi) {
  std::vector<std::vector<uint8_t>> seeds;
  ringtone_test::FixtureShape shape;
  shape.notes_per_voice = 6;
  auto song = ringtone_test::FixtureSong(shape);
  ringtone_test::FixtureShape three;
  three.melodic = 4;
  three.drums = false;
  three.low = 45;
  three.high = 107;
  three.notes_per_voice = 6;
  auto small = ringtone_test::FixtureSong(three);
  if (multi) {
    for (int type : {6, 8, 32}) {
      MultiMFiData file(*song, type, kMfiFileCapacity);
      file.BuildFile();
      seeds.push_back(file.Bytes());
    }
  } else {
    for (int type : {4, 5, 255, 254}) {
      MFiData file(*song, type, kMfiFileCapacity);
      file.BuildFile();
      seeds.push_back(file.Bytes());
    }
    for (int type : {1, 252}) {
      MFiData file(*small, type, kMfiFileCapacity);
      file.BuildFile();
      seeds.push_back(file.Bytes());
    }
  }
  return seeds;
}

std::vector<uint8_t> Mutate(const std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<uint8_t> data = seeds[DrawIndex(seeds.size())];
  const int steps = GneRandomRange(1, 5);
  for (int i = 0; i < steps && !data.empty(); ++i) {
    switch (GneRandomRange(0, 4)) {
      case 0:  // truncate
        data.resize(DrawIndex(data.size() + 1));
        break;
      case 1:  // flip bytes
        for (int k = GneRandomRange(1, 16); k > 0 && !data.empty(); --k)
          data[DrawIndex(data.size())] = static_cast<uint8_t>(GneRandomRange(0, 255));
        break;
      case 2: {  // lengths and counts with extreme values
        static const size_t kOffsets[] = {4, 5, 8, 9, 12, 17, 18};
        static const uint8_t kValues[] = {0, 1, 2, 3, 0x7F, 0x80, 0xFF};
        const size_t off = kOffsets[DrawIndex(7)];
        if (off < data.size()) data[off] = kValues[DrawIndex(7)];
        break;
      }
      case 3: {  // splice a piece of another seed in
        const auto& other = seeds[DrawIndex(seeds.size())];
        const size_t from = DrawIndex(other.size()), to = DrawIndex(data.size());
        const size_t n = std::min({DrawIndex(256) + 1, other.size() - from, data.size() - to});
        std::memcpy(data.data() + to, other.data() + from, n);
        break;
      }
      default:  // statuses that end events early: FF runs
        if (!data.empty()) {
          const size_t at = DrawIndex(data.size());
          const size_t n = std::min(DrawIndex(16) + 1, data.size() - at);
          std::memset(data.data() + at, 0xFF, n);
        }
        break;
    }
  }
  return data;
}

template <class Entry>
void RunMutations(Entry entry, bool multi, int seed) {
  GneSeedRandomWith(seed);
  cantrel_test::QuietBoxes quiet;
  const auto seeds = Seeds(multi);
  for (const auto& s : seeds) entry(s.data(), s.size());
  const int64_t n = cantrel_test::FuzzInputs(3000);
  cantrel_test::FuzzProgress progress(multi ? "multi-track MFi" : "melo and cmid", n);
  for (int64_t i = 0; i < n; ++i) {
    const std::vector<uint8_t> data = Mutate(seeds);
    entry(data.data(), data.size());
    progress.Step();
  }
  for (size_t length = 0; length < seeds[0].size(); length += 7) entry(seeds[0].data(), length);
}

}  // namespace

TEST(RingtoneFuzz, DamagedMeloAndCmidFilesNeverCrashTheReader) { RunMutations(FuzzMFiBytes, false, 20261210); }

TEST(RingtoneFuzz, DamagedMultiTrackFilesNeverCrashTheReader) {
  RunMutations(FuzzMultiMFiBytes, true, 20261211);
}

namespace {

std::vector<uint8_t> MidiMutation(const std::vector<std::vector<uint8_t>>& seeds) {
  std::vector<uint8_t> data = seeds[DrawIndex(seeds.size())];
  for (int steps = GneRandomRange(1, 4); steps > 0 && !data.empty(); --steps) {
    const size_t at = DrawIndex(data.size());
    switch (GneRandomRange(0, 3)) {
      case 0:  // truncate
        data.resize(DrawIndex(data.size() + 1));
        break;
      case 1:  // a byte of any value
        data[at] = static_cast<uint8_t>(GneRandomRange(0, 255));
        break;
      case 2: {  // statuses, note numbers and values at their edges
        static const uint8_t kValues[] = {0x00, 0x7F, 0x80, 0x99, 0xC9, 0xB0, 0xE0, 0xF0, 0xFF, 0x2F};
        data[at] = kValues[DrawIndex(sizeof kValues)];
        break;
      }
      default: {  // a long delay
        const size_t n = std::min<size_t>(4, data.size() - at);
        std::memset(data.data() + at, 0x8F, n);
        break;
      }
    }
  }
  return data;
}

}  // namespace

TEST(RingtoneFuzz, DamagedMidiFilesNeverCrashTheMobileConversions) {
  GneSeedRandomWith(20261212);
  cantrel_test::QuietBoxes quiet;
  std::vector<std::vector<uint8_t>> seeds;
  for (const char* name : {"abc_tune.mid", "features.mid", "running_status.mid"}) {
    std::ifstream in(cantrel_test::DataPath(std::string("midi/") + name), std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    ASSERT_FALSE(seeds.back().empty()) << name;
  }
  for (const auto& s : seeds) FuzzMobileFromMidiBytes(s.data(), s.size());
  const int64_t n = cantrel_test::FuzzInputs(200);
  cantrel_test::FuzzProgress progress("MIDI to mobile", n);
  for (int64_t i = 0; i < n; ++i) {
    const std::vector<uint8_t> data = MidiMutation(seeds);
    FuzzMobileFromMidiBytes(data.data(), data.size());
    progress.Step();
  }
}
