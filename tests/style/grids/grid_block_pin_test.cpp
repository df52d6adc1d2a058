// The grid block (grid sets, use_x, continue_major, stroke) of every built-in style, pinned by
// a 64-bit FNV-1a digest of its serialised bytes. The presets are data; a change to them
// that alters any style's grids shows up here.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "style/style_catalogue.h"
#include "style/style_record.h"
#include "style/style_table.h"
#include "util/gne.h"

namespace {

uint64_t Fnv1a(const uint8_t* p, size_t n) {
  uint64_t h = 14695981039346656037ull;
  for (size_t i = 0; i < n; ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
  return h;
}

uint64_t GridBlockDigest(int category, int slot) {
  GneSeedRandomWith(1);
  StyleRecord r;
  RunStyleSlotDefinition(category, slot, r);
  const std::vector<uint8_t> bytes = SerialiseStyleRecord(r);
  return Fnv1a(bytes.data() + style_offset::kCustomGrids, kGridBlockSize);
}

// Digest of every slot, category by category, as the presets made them before they became
// a table.
const uint64_t kPinned[kStyleCategoryCount][kStyleSlotCount] = {
    {  // category 0
        0x12d15f665dc356c4ull, 0x4499150d6dc231e4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x7367785906d907d3ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0xb57cf97576281077ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0xfc2e5e0118f7a977ull, 0x16e20d76693178a4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x14c414f66e3d86e5ull, 0x12d15f665dc356c4ull,
    },
    {  // category 1
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x7ea24d9f3f34afb4ull,
        0x6546fac128c53385ull, 0x12d15f665dc356c4ull, 0xf0f8f2b4f37876a5ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0xa5c5edd9f1209544ull, 0x12d15f665dc356c4ull, 0xb57cf97576281077ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
    },
    {  // category 2
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x7f2e604889ba6d04ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
    },
    {  // category 3
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0xc179d50e8b1da855ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x0334fe4a85bb1444ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
    },
    {  // category 4
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0xa699d21981a53354ull, 0x12d15f665dc356c4ull,
        0x9dc67d61b78a0544ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x2035523d8446787dull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0xa699d21981a53354ull,
    },
    {  // category 5
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0xbfda9f2dba89e644ull, 0x12d15f665dc356c4ull,
        0x0334fe4a85bb1444ull, 0x01b808cbff43efe4ull, 0x961886d39aa3f7d8ull, 0x12d15f665dc356c4ull,
        0x0974e55958adad25ull, 0xe8a8e7a480b68c65ull, 0x12d15f665dc356c4ull, 0x24cb65b3ac15aec1ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
    },
    {  // category 6
        0x12d15f665dc356c4ull, 0xe7d36caec3077b04ull, 0xee8100771b778f05ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x6546fac128c53385ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
    },
    {  // category 7
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x8bbc2396e57f7d26ull, 0x1a5a7a9d41e38df5ull,
        0xec767a3fa4572265ull, 0xbd65472c81422f2aull, 0x12d15f665dc356c4ull, 0x8bbc2396e57f7d26ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x441dd9a7c327d744ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
    },
    {  // category 8
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x9cf55e754b2ca644ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0xb973d22bc3e58434ull, 0x87b152d265358d15ull,
        0x38a6a7f0f3952921ull, 0x12d15f665dc356c4ull, 0x0334fe4a85bb1444ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
        0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull, 0x12d15f665dc356c4ull,
    },
};

TEST(GridBlockPin, EveryStyleKeepsItsGridBytes) {
  ResetStyleModule();
  std::string table;
  for (int c = 0; c < kStyleCategoryCount; ++c) {
    table += "    {";
    for (int s = 0; s < kStyleSlotCount; ++s) {
      const uint64_t d = GridBlockDigest(c, s);
      char buf[32];
      std::snprintf(buf, sizeof buf, "%s0x%016llxull", s ? ", " : "", static_cast<unsigned long long>(d));
      table += buf;
      EXPECT_EQ(d, kPinned[c][s]) << "category " << c << " slot " << s;
    }
    table += "},\n";
  }
  if (HasFailure()) std::printf("%s", table.c_str());
}

}  // namespace
