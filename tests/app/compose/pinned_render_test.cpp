// Seeded songs arranged through the worker in a few styles of different kinds, pinned by the
// hash of the file's bytes, so that a change meant to keep the music keeps every byte of it.
// When a change is meant to alter the music, the failure prints the table to paste below.

#include "tests/app/compose/compose_fixture.h"

#include <cstdio>
#include <sstream>

namespace {

using compose_test::ComposeTest;
using compose_test::Folder;

uint64_t Fnv1a(const std::vector<uint8_t>& bytes) {
  uint64_t h = 1469598103934665603ull;
  for (uint8_t b : bytes) {
    h ^= b;
    h *= 1099511628211ull;
  }
  return h;
}

struct Pin {
  int category;
  int slot;
  const char* key;  // the song's chords: major or minor
  uint64_t hash;
};

// 16 bars of the sung song's tune over a four-chord loop, seed 11.
render_test::SongSpec PinnedSong(const char* key) {
  render_test::SongSpec spec = compose_test::SungSong();
  spec.bars = 16;
  if (std::string(key) == "Am")
    spec.chords = {"Am", "Dm", "G7", "C"};
  else
    spec.chords = {"C", "Am", "F", "G7"};
  return spec;
}

const Pin kPins[] = {
    {0, 1, "C", 0xe7c9d7e0afab887aull},
    {0, 19, "C", 0xe8a9b24d38e0f8c3ull},
    {1, 3, "Am", 0xe6567b470c24f181ull},
    {2, 5, "C", 0x6fe7b8571167496dull},
    {3, 7, "Am", 0x690492ffe17c56eeull},
    {5, 14, "C", 0xf091c6d05eb213ecull},
    {6, 2, "C", 0xbe57f3100d401028ull},
    {8, 4, "Am", 0x3a5b95f3981f05c5ull},
};

TEST_F(ComposeTest, PinnedStylesRenderTheSameBytes) {
  std::ostringstream table;
  bool all_same = true;
  for (const Pin& p : kPins) {
    const render_test::SongSpec spec = PinnedSong(p.key);
    ComposeRequest r = Request(spec, Folder() / "pinned.mid", kMsgExportComposed);
    r.style = StyleTableSlot(p.category, p.slot);
    r.category = p.category;
    r.styleSlot = p.slot;
    r.seed = 11;
    ASSERT_TRUE(Run(r)) << p.category << "/" << p.slot;
    const uint64_t h = Fnv1a(compose_test::ReadBytes(Folder() / "pinned.mid"));
    char line[96];
    std::snprintf(line, sizeof line, "    {%d, %d, \"%s\", 0x%016llxull},\n", p.category, p.slot,
                  p.key, static_cast<unsigned long long>(h));
    table << line;
    all_same = all_same && h == p.hash;
  }
  EXPECT_TRUE(all_same) << "the arranged bytes changed; the new pins are:\n" << table.str();
}

}  // namespace
