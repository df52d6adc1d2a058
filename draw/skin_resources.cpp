#include "draw/skin_resources.h"

#include "draw/offscreen_picture.h"
#include "platform/core/folders.h"

#include <QImage>

#include <array>
#include <map>
#include <string>

namespace {

struct GlyphInfo {
  const char* name;
  int width;
  int height;
};

constexpr std::array<GlyphInfo, static_cast<size_t>(Glyph::Count)> kGlyphs = {{
    {"treble_clef", 32, 32},     {"bass_clef", 32, 32},  {"percussion_clef", 32, 32},
    {"sharp", 28, 28},           {"flat", 28, 28},       {"natural", 28, 28},
    {"open_head", 16, 16},       {"filled_head", 16, 16}, {"cross_head", 16, 16},
    {"second_filled_head", 16, 16}, {"stem", 16, 32},    {"stem_one_flag", 16, 32},
    {"stem_two_flags", 16, 32},  {"eighth_rest", 24, 24}, {"sixteenth_rest", 24, 24},
    {"quarter_rest", 32, 32},    {"bar_rest", 24, 24},   {"dot", 4, 4},
    {"tie", 32, 8},              {"cross_mark", 9, 9},
}};

struct SkinState {
  std::map<int, plat::Bitmap> bitmaps;  // read so far (null = missing)
  std::array<GlyphMask, static_cast<size_t>(Glyph::Count)> glyphs;
  std::array<bool, static_cast<size_t>(Glyph::Count)> loaded{};
};

SkinState& State() {
  static SkinState state;
  return state;
}

}  // namespace

void ResetSkinResources() { State() = SkinState(); }

bool LoadSkinBitmap(int id, plat::Bitmap* out) {
  id &= 0xFFFF;
  SkinState& st = State();
  auto it = st.bitmaps.find(id);
  if (it == st.bitmaps.end()) {
    plat::Bitmap bmp;
    const auto folder = plat::ProgramFolder() / "skin";
    if (!bmp.Load(folder / (std::to_string(id) + ".png"))) {
      bmp.Load(folder / (std::to_string(id) + ".bmp"));
    }
    it = st.bitmaps.emplace(id, bmp).first;
  }
  if (out) *out = it->second;
  return !it->second.IsNull();
}

const GlyphMask& GetGlyph(Glyph glyph) {
  SkinState& st = State();
  const size_t i = static_cast<size_t>(glyph);
  if (i >= kGlyphs.size()) {
    static const GlyphMask kEmpty;
    return kEmpty;
  }
  if (!st.loaded[i]) {
    st.loaded[i] = true;
    GlyphMask& m = st.glyphs[i];
    m.width = kGlyphs[i].width;
    m.height = kGlyphs[i].height;
    m.cells.assign(static_cast<size_t>(m.width) * m.height, 0);
    QImage img;
    const auto path = plat::ProgramFolder() / "skin" / "glyphs" / (std::string(kGlyphs[i].name) + ".png");
    if (img.load(QString::fromStdString(path.string())) && img.width() == m.width &&
        img.height() == m.height) {
      for (int y = 0; y < m.height; ++y) {
        for (int x = 0; x < m.width; ++x) {
          m.cells[static_cast<size_t>(y) * m.width + x] = qGray(img.pixel(x, y)) < 128 ? 1 : 0;
        }
      }
    } else {
      COffScreenPicture::ErrorMsg(1);  // the drawing error, once
    }
  }
  return st.glyphs[i];
}
