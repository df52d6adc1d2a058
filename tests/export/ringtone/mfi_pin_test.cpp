// What the MFi writer makes of the fixture songs for every type and handset model, and what
// the reader makes of those files and of damaged copies of them, folded into digests: the
// reader and the writer may be rearranged, their bytes and events stay the same.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "export/ringtone/mfi.h"
#include "ringtone_fixture.h"
#include "tests/support/digest.h"
#include "tests/support/test_support.h"
#include "util/gne.h"

namespace {

using cantrel_test::Digest;
using cantrel_test::DrawIndex;

constexpr int kSingleTypes[] = {1, 252, 4, 5, 255, 254};
constexpr int kMultiTypes[] = {6, 7, 8, 9, 32, 250};

std::unique_ptr<MobileData> SongFor(int type) {
  ringtone_test::FixtureShape shape;
  if (type == 1 || type == 252) {
    shape.melodic = 4;
    shape.drums = false;
    shape.low = 45;
    shape.high = 107;
  }
  return ringtone_test::FixtureSong(shape);
}

std::vector<uint8_t> Written(const MobileData& song, int type, int model) {
  const bool multi = type >= 6 && type != 252 && type != 255 && type != 254;
  std::unique_ptr<MFiData> file;
  if (multi) {
    file = std::make_unique<MultiMFiData>(song, type, kMfiFileCapacity);
  } else {
    file = std::make_unique<MFiData>(song, type, kMfiFileCapacity);
  }
  file->ShapeForModel(model);
  file->WriteFile(model);
  return file->Bytes();
}

void FoldEvents(const MFiData& file, Digest& d) {
  d.Int(file.device_type);
  d.Int(file.track_count);
  for (int32_t j = 0; j < file.track_count; ++j) {
    if (!file.tracks[j]) {
      d.Int(-1);
      continue;
    }
    const MFiTrack& t = *file.tracks[j];
    d.Int(t.timebase);
    for (int v = 0; v < 16; ++v) d.Int(t.voice_kinds[v]);
    for (const auto& e : t.events->events) {
      for (int64_t v : {int64_t{e->status}, int64_t{e->delta}, int64_t{e->voice}, int64_t{e->note},
                        int64_t{e->duration}, int64_t{e->velocity}, int64_t{e->number},
                        int64_t{e->value}, int64_t{e->data_length}})
        d.Int(v);
      if (e->data && e->data_length > 0) d.Bytes(e->data, static_cast<size_t>(e->data_length));
    }
  }
}

void FoldRead(const std::vector<uint8_t>& bytes, bool multi, Digest& d) {
  cantrel_test::Sink().Clear();
  if (multi) {
    MultiMFiData read(bytes.data(), bytes.size(), kMfiFromBytes);
    FoldEvents(read, d);
  } else {
    MFiData read(bytes.data(), bytes.size());
    FoldEvents(read, d);
  }
  for (const auto& text : cantrel_test::Sink().Texts()) d.Bytes(text.data(), text.size());
}

}  // namespace

TEST(MFiPin, EveryTypeAndModelIsWrittenAndReadTheSame) {
  Digest written, read;
  for (const int* types : {kSingleTypes, kMultiTypes}) {
    const bool multi = types == kMultiTypes;
    for (int k = 0; k < 6; ++k) {
      const int type = types[k];
      auto song = SongFor(type);
      for (int model = 0; model <= 25; ++model) {
        cantrel_test::Sink().Clear();
        const std::vector<uint8_t> bytes = Written(*song, type, model);
        written.Bytes(bytes.data(), bytes.size());
        for (const auto& text : cantrel_test::Sink().Texts()) written.Bytes(text.data(), text.size());
        FoldRead(bytes, multi, read);
      }
    }
  }
  EXPECT_EQ(written.value, 0x3598213b6911cc3bull);
  EXPECT_EQ(read.value, 0xe78c96c36a9659b4ull);
}

TEST(MFiPin, DamagedFilesAreReadTheSame) {
  GneSeedRandomWith(20261211);
  Digest d;
  for (const int* types : {kSingleTypes, kMultiTypes}) {
    const bool multi = types == kMultiTypes;
    for (int k = 0; k < 6; ++k) {
      const std::vector<uint8_t> seed = Written(*SongFor(types[k]), types[k], 0);
      for (int n = 0; n < 150; ++n) {
        std::vector<uint8_t> data = seed;
        for (int flips = GneRandomRange(1, 8); flips > 0; --flips) {
          // Event bytes mostly: the header and information chunks take the first ~100.
          const size_t at = DrawIndex(data.size());
          data[at] = static_cast<uint8_t>(GneRandomRange(0, 3) == 0 ? 0xFF : GneRandomRange(0, 255));
        }
        if (GneRandomRange(0, 4) == 0) data.resize(DrawIndex(data.size() + 1));
        FoldRead(data, multi, d);
      }
    }
  }
  EXPECT_EQ(d.value, 0x8af530f33d9bdfc3ull);
}
