#include "draw/text_picture.h"

#include "draw/bitmap_files.h"
#include "util/gne_text.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <vector>

namespace {

struct TextItem {
  std::string text;  // CP932
  int x = 0;
  int y = 0;
  int spare = 0;
  uint32_t format = 0;
};

struct TextInstance {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  std::vector<TextItem> items;
  int fontHeight = 30;
  int value = 0;
};

struct TextPictureState {
  std::array<TextInstance, CTextPicture::kCapacity> instances;
  int count = 0;
  const void* owner = nullptr;
};

TextPictureState& State() {
  static TextPictureState state;
  return state;
}

TextInstance* Find(int instance) {
  TextPictureState& st = State();
  return instance >= 0 && instance < st.count ? &st.instances[instance] : nullptr;
}

}  // namespace

void CTextPicture::ResetState() {
  for (TextInstance& t : State().instances) {
    if (t.dc || t.bitmap) DeleteSurface(t.bitmap, t.dc);
  }
  State() = TextPictureState();
}

CTextPicture::CTextPicture(COffScreenControl* control, const Rect& rect, int value) {
  TextPictureState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.instances[i].bitmap, st.instances[i].dc);
  st = TextPictureState();
  st.owner = this;
  TextInstance& t = st.instances[0];
  SetUpSlot(control, rect, &CTextPicture::OnPress, &CTextPicture::OnRelease, t.width, t.height,
            t.bitmap, t.dc);
  SetPaint(&CTextPicture::DrawAll);
  st.count = 0;
  AddPicture(control, rect, value);
}

CTextPicture::~CTextPicture() {
  TextPictureState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (int i = 0; i < st.count; ++i) {
    DeleteSurface(st.instances[i].bitmap, st.instances[i].dc);
    st.instances[i].items.clear();
  }
  st.count = 0;
}

bool CTextPicture::AddPicture(COffScreenControl* control, const Rect& rect, int value) {
  TextPictureState& st = State();
  if (st.count >= kCapacity) {
    ErrorMsg(2);
    return false;
  }
  const int n = st.count;
  TextInstance& t = st.instances[n];
  if (n > 0) {
    SetUpSlot(control, rect, &CTextPicture::OnPress, &CTextPicture::OnRelease, t.width,
              t.height, t.bitmap, t.dc);
  }
  t.control = control;
  t.value = value;
  t.items.clear();
  t.fontHeight = 30;
  st.count = n + 1;
  DrawTexts(n);
  return true;
}

bool CTextPicture::AddText(int instance, int x, int y, const std::string& text, int spare,
                           uint32_t format) {
  TextInstance* t = Find(instance);
  if (!t || static_cast<int>(t->items.size()) >= kMaxItems) {
    ErrorMsg(2);
    return false;
  }
  t->items.push_back(TextItem{text, x, y, spare, format});
  return true;
}

bool CTextPicture::AddVerticalText(int instance, int x, int y, const std::string& text,
                                   int spare, uint32_t format) {
  TextInstance* t = Find(instance);
  if (!t) {
    ErrorMsg(2);
    return false;
  }
  const int step = t->fontHeight > 30 ? t->fontHeight - 6 : 16;
  if (text.empty()) return AddText(instance, x, y, std::string(), spare, format);
  for (size_t i = 0; i < text.size();) {
    const size_t n =
        GneIsLeadByte(static_cast<uint8_t>(text[i])) && i + 1 < text.size() ? 2 : 1;
    if (!AddText(instance, x, y, text.substr(i, n), spare, format)) return false;
    y += step;
    i += n;
  }
  return true;
}

void CTextPicture::ClearTexts(int instance) {
  if (TextInstance* t = Find(instance)) t->items.clear();
}

void CTextPicture::DrawTexts(int instance) {
  TextInstance* t = Find(instance);
  if (!t || !t->dc || !t->dc->HasSurface()) return;
  t->dc->FillSolidRect(Rect{0, 0, t->width, t->height}, 0xFFFFFF);
  const int fh = t->fontHeight;
  for (const TextItem& item : t->items) {
    const int length = static_cast<int>(item.text.size());
    Rect box{item.x, item.y, item.x + fh * length, item.y + fh};
    t->dc->DrawText(item.text, box, item.format);
  }
}

void CTextPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawTexts(i);
}

void CTextPicture::Blit(int instance) {
  if (TextInstance* t = Find(instance)) COffScreenPicture::Blit(t->dc, t->control);
}

void CTextPicture::BlitAll() {
  for (int i = 0; i < State().count; ++i) Blit(i);
}

void CTextPicture::SelectFont(int instance, std::optional<plat::LogFont>& previous, int height) {
  TextInstance* t = Find(instance);
  if (!t) return;
  t->fontHeight = height;
  SelectShiftJisFont(t->dc, previous, height);
}

void CTextPicture::RestoreFont(int instance, std::optional<plat::LogFont>& previous) {
  if (TextInstance* t = Find(instance)) ::RestoreFont(t->dc, previous);
}

int CTextPicture::SaveImage(int instance, const std::filesystem::path& path) {
  TextInstance* t = Find(instance);
  return SaveImageFile(t && t->dc ? t->dc->SelectedBitmap() : nullptr, path);
}

int CTextPicture::Count() { return State().count; }

int CTextPicture::ItemCount(int instance) {
  const TextInstance* t = Find(instance);
  return t ? static_cast<int>(t->items.size()) : 0;
}

int CTextPicture::FontHeight(int instance) {
  const TextInstance* t = Find(instance);
  return t ? t->fontHeight : 0;
}

plat::Dc* CTextPicture::Surface(int instance) {
  TextInstance* t = Find(instance);
  return t ? t->dc : nullptr;
}

COffScreenControl* CTextPicture::Control(int instance) {
  TextInstance* t = Find(instance);
  return t ? t->control : nullptr;
}

int CTextPicture::Width(int instance) {
  const TextInstance* t = Find(instance);
  return t ? t->width : 0;
}

int CTextPicture::Height(int instance) {
  const TextInstance* t = Find(instance);
  return t ? t->height : 0;
}

void CTextPicture::OnPress(int, int, int) {}

void CTextPicture::OnRelease(int, int, int) { DrawAll(); }
