// What the SMAF writers make of grid songs of every form, and what the loader makes of those
// files and of damaged copies of them, folded into digests: the sequence encoders and decoders
// may be rearranged, their bytes and songs stay the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "smaf_fixture.h"
#include "tests/support/digest.h"
#include "util/gne.h"

namespace {

using Bytes = std::vector<uint8_t>;
using cantrel_test::Digest;

void FoldSong(const MobileData& song, Digest& d) {
  for (int64_t v : {int64_t{song.voice_count}, int64_t{song.tempo}, int64_t{song.division}})
    d.Int(v);
  for (int32_t i = 0; i < song.voice_count; ++i) {
    const MobileChannel& v = *song.voices[i];
    d.Int(v.index);
    d.Int(v.kind);
    for (const auto& e : v.events)
      for (int64_t x : {int64_t{e->status}, int64_t{e->delta}, int64_t{e->note},
                        int64_t{e->duration}, int64_t{e->velocity}, int64_t{e->number},
                        int64_t{e->value}})
        d.Int(x);
  }
}

// The loader's reading of the bytes, as the program converts it, and the boxes it raised.
void FoldLoaded(const Bytes& bytes, Digest& d) {
  cantrel_test::Sink().Clear();
  SmafLoader loader(bytes.data(), static_cast<int32_t>(bytes.size()));
  d.Int(loader.smaf ? 1 : 0);
  d.Int(loader.ma3 ? 1 : 0);
  if (loader.smaf) {
    MobileData song;
    loader.smaf->ToMobileData(song);
    FoldSong(song, d);
  }
  if (loader.ma3) {
    std::unique_ptr<SmafFileChunk> chunk;
    int32_t code = 0;
    loader.ma3->ToSmafChunk(chunk, &code);
    d.Int(code);
    if (chunk) {
      MobileData song;
      loader.ma3->ToMobileData(*chunk, song);
      FoldSong(song, d);
    }
  }
  for (const auto& t : cantrel_test::Sink().Texts()) d.Bytes(t.data(), t.size());
}

// Files of every contents code and both generations of the later form, of one to sixteen
// voices, three tempi, and with start and stop positions; their bytes and boxes go into `d`.
std::vector<Bytes> Written(Digest& d) {
  std::vector<Bytes> files;
  auto keep = [&](bool packed, Bytes bytes) {
    d.Int(packed ? 1 : 0);
    d.Bytes(bytes.data(), bytes.size());
    for (const auto& t : cantrel_test::Sink().Texts()) d.Bytes(t.data(), t.size());
    files.push_back(std::move(bytes));
  };
  for (int code : {16, 4, 0}) {
    for (int voices : {1, 4, 16}) {
      for (int tempo : {300000, 500000, 1000000}) {
        auto song = smaf_test::GridSong(code == 4 ? std::min(voices, 4) : voices, tempo, nullptr,
                                        3 + voices % 5);
        cantrel_test::Sink().Clear();
        SmafData data(*song, code);
        const bool packed = data.Pack();
        keep(packed, data.Bytes());
      }
    }
  }
  for (int code : {16, 0}) {
    auto song = smaf_test::GridSong(6, 500000, nullptr, 10);
    cantrel_test::Sink().Clear();
    SmafData data(*song, code);
    const bool packed = data.Pack(192, 960);
    keep(packed, data.Bytes());
  }
  for (int voices : {2, 10, 16}) {
    auto song = smaf_test::GridSong(voices, 600000, nullptr, 5);
    for (int generation : {3, 5}) {
      for (int code : {32, 33}) {
        cantrel_test::Sink().Clear();
        SmafMa3Data data(*song, code, generation);
        const bool packed = data.Pack(code);
        keep(packed, data.Bytes());
      }
    }
  }
  return files;
}

}  // namespace

TEST(SmafPin, WrittenFilesAndTheirReadingArePinned) {
  Digest written, read;
  const std::vector<Bytes> files = Written(written);
  for (const Bytes& f : files) FoldLoaded(f, read);
  EXPECT_EQ(written.value, 0xc80d3194306150ecull);
  EXPECT_EQ(read.value, 0x6a2f78303925a9feull);
}

TEST(SmafPin, DamagedSequencesAreReadTheSame) {
  Digest ignored, d;
  const std::vector<Bytes> files = Written(ignored);
  GneSeedRandomWith(20261211);
  for (const Bytes& f : files) {
    for (int n = 0; n < 6; ++n) {
      Bytes data = f;
      // Past the headers, into the sequence data mostly.
      for (int k = GneRandomRange(1, 6); k > 0; --k) {
        const size_t at = data.size() / 3 + cantrel_test::DrawIndex(data.size() - data.size() / 3);
        data[at] = static_cast<uint8_t>(GneRandomRange(0, 255));
      }
      FoldLoaded(data, d);
    }
  }
  EXPECT_EQ(d.value, 0x81e2addeaded994eull);
}
