#include "draw/qr_picture.h"

#include "draw/bitmap_files.h"
#include "draw/qr_encoder.h"
#include "platform/core/files.h"
#include "platform/qt/image_files.h"

#include <QApplication>
#include <QImage>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kLevelM = 1;
constexpr int kLargestSide = 16384;
constexpr int kLargestMargin = 4096;

struct QrInstance {
  COffScreenControl* control = nullptr;
  plat::Dc* dc = nullptr;
  plat::Bitmap* bitmap = nullptr;
  int width = 0;
  int height = 0;
  char text[CQrPicture::kTextSize] = {};
  int margin = 0;
  plat::ColorRef background = 0xFFFFFF;
};

struct QrPictureState {
  std::array<QrInstance, CQrPicture::kCapacity> instances;
  int count = 0;
  int beeps = 0;
  const void* owner = nullptr;
};

QrPictureState& State() {
  static QrPictureState state;
  return state;
}

QrInstance* Find(int instance) {
  QrPictureState& st = State();
  return instance >= 0 && instance < st.count ? &st.instances[instance] : nullptr;
}

// Encodes the text at level M, smallest version, mask by penalty; null when it cannot be.
std::unique_ptr<CQrEncoder> EncodeForShow(const char* text) {
  auto qr = std::make_unique<CQrEncoder>();
  if (text == nullptr || !qr->EncodeText(kLevelM, 0, 1, -1, text, 0)) return nullptr;
  return qr;
}

// The symbol as a white bitmap of side size + 2 x margin, each dark module one black pixel.
int WriteSymbolBitmap(const CQrEncoder& qr, int margin, const std::filesystem::path& path) {
  const int n = qr.Size();
  plat::Bitmap bitmap(n + 2 * margin, n + 2 * margin, 0xFFFFFF);
  for (int x = 0; x < n; ++x)
    for (int y = 0; y < n; ++y)
      if (qr.Module(x, y)) bitmap.SetPixel(x + margin, y + margin, 0);
  return SaveBitmapFile(&bitmap, path, 0);
}

}  // namespace

void CQrPicture::ResetState() {
  for (QrInstance& q : State().instances) {
    if (q.dc || q.bitmap) DeleteSurface(q.bitmap, q.dc);
  }
  State() = QrPictureState();
}

CQrPicture::CQrPicture(COffScreenControl* control, const Rect& rect, int margin) {
  QrPictureState& st = State();
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.instances[i].bitmap, st.instances[i].dc);
  const int beeps = st.beeps;
  st = QrPictureState();
  st.beeps = beeps;
  st.owner = this;
  QrInstance& q = st.instances[0];
  SetUpSlot(control, rect, &CQrPicture::OnPress, &CQrPicture::OnRelease, q.width, q.height,
            q.bitmap, q.dc);
  SetPaint(&CQrPicture::DrawAll);
  st.count = 0;
  AddSymbol(control, rect, margin);
}

CQrPicture::~CQrPicture() {
  QrPictureState& st = State();
  if (st.owner != this) return;
  st.owner = nullptr;
  for (int i = 0; i < st.count; ++i) DeleteSurface(st.instances[i].bitmap, st.instances[i].dc);
  st.count = 0;
}

bool CQrPicture::AddSymbol(COffScreenControl* control, const Rect& rect, int margin) {
  QrPictureState& st = State();
  if (st.count >= kCapacity) return false;
  const int n = st.count;
  QrInstance& q = st.instances[n];
  if (n > 0) {
    SetUpSlot(control, rect, &CQrPicture::OnPress, &CQrPicture::OnRelease, q.width, q.height,
              q.bitmap, q.dc);
  }
  q.control = control;
  q.background = 0xFFFFFF;
  q.text[0] = 0;
  q.margin = margin;
  st.count = n + 1;
  DrawSymbol(n);
  return true;
}

void CQrPicture::SetText(const char* text, int instance) {
  QrInstance* q = Find(instance);
  if (!q) return;
  const size_t length = text ? strnlen(text, kTextSize - 1) : 0;
  std::memcpy(q->text, text ? text : "", length);
  q->text[length] = 0;
  DrawSymbol(instance);
}

void CQrPicture::SetBackground(plat::ColorRef colour, int instance) {
  if (QrInstance* q = Find(instance)) q->background = colour;
}

void CQrPicture::Resize(const Rect& rect, int instance) {
  QrInstance* q = Find(instance);
  if (!q) return;
  COffScreenPicture::Resize(q->control, q->bitmap, q->dc, rect, q->height, q->width);
  DrawSymbol(instance);
}

void CQrPicture::DrawSymbol(int instance) {
  QrInstance* q = Find(instance);
  if (!q || !q->dc || !q->dc->HasSurface()) return;
  plat::Dc* dc = q->dc;
  dc->FillSolidRect(Rect{0, 0, q->width, q->height}, q->background);
  const std::unique_ptr<CQrEncoder> qr = EncodeForShow(q->text);
  if (!qr) return;
  const int side = std::min(q->height - 2 * q->margin, q->width - 2 * q->margin);
  if (side < 0) {
    ++State().beeps;
    if (qApp != nullptr) QApplication::beep();
    return;
  }
  const int n = qr->Size();
  const double scale = static_cast<double>(side) / n;
  // The module under each pixel column and row, computed once for the square.
  std::vector<int> module(static_cast<size_t>(side));
  for (int i = 0; i < side; ++i) module[i] = std::min(n - 1, static_cast<int>(i / scale));
  for (int i = 0; i < side; ++i)
    for (int j = 0; j < side; ++j)
      if (qr->Module(module[i], module[j])) dc->SetPixel(q->margin + i, q->margin + j, 0);
}

void CQrPicture::DrawAll() {
  for (int i = 0; i < State().count; ++i) DrawSymbol(i);
}

void CQrPicture::BlitAll() {
  QrPictureState& st = State();
  for (int i = 0; i < st.count; ++i) Blit(st.instances[i].dc, st.instances[i].control);
}

int CQrPicture::SaveBitmap(const std::filesystem::path& path, int instance) {
  QrInstance* q = Find(instance);
  return SaveBitmapFile(q && q->dc ? q->dc->SelectedBitmap() : nullptr, path, 0);
}

int CQrPicture::SaveImage(const std::filesystem::path& path, int instance) {
  QrInstance* q = Find(instance);
  return SaveImageFile(q && q->dc ? q->dc->SelectedBitmap() : nullptr, path);
}

int CQrPicture::Count() { return State().count; }

std::string CQrPicture::Text(int instance) {
  const QrInstance* q = Find(instance);
  return q ? std::string(q->text) : std::string();
}

int CQrPicture::Margin(int instance) {
  const QrInstance* q = Find(instance);
  return q ? q->margin : 0;
}

plat::Dc* CQrPicture::Surface(int instance) {
  QrInstance* q = Find(instance);
  return q ? q->dc : nullptr;
}

COffScreenControl* CQrPicture::Control(int instance) {
  QrInstance* q = Find(instance);
  return q ? q->control : nullptr;
}

int CQrPicture::BeepCount() { return State().beeps; }

void CQrPicture::OnPress(int, int, int) {}

void CQrPicture::OnRelease(int, int, int) {}

// ------------------------------------------------------------------------------ image files

CQrImageFile::CQrImageFile(int pixelSize, const std::filesystem::path& target)
    : target_(target), pixelSize_(pixelSize) {}

std::filesystem::path CQrImageFile::BitmapPathFor(const std::filesystem::path& target) {
  std::filesystem::path path = target;
  return path.replace_extension(".bmp");
}

int CQrImageFile::WriteMarginBitmap(const std::filesystem::path& path, const char* text,
                                    int margin) {
  if (margin < 0 || margin > kLargestMargin) return 0;
  const std::unique_ptr<CQrEncoder> qr = EncodeForShow(text);
  return qr ? WriteSymbolBitmap(*qr, margin, path) : 0;
}

int CQrImageFile::WriteBitmap(const std::filesystem::path& path, const char* text, int level,
                              int version, int allowLarger, int mask) {
  auto qr = std::make_unique<CQrEncoder>();
  if (text == nullptr || !qr->EncodeText(level, version, allowLarger, mask, text, 0)) return 0;
  return WriteSymbolBitmap(*qr, 0, path) ? qr->Size() : 0;
}

int CQrImageFile::Save(const char* text, int margin) {
  if (pixelSize_ < 1 || pixelSize_ > kLargestSide) return 0;
  const std::filesystem::path bitmapPath = BitmapPathFor(target_);
  if (!WriteMarginBitmap(bitmapPath, text, margin)) return 0;
  std::vector<uint8_t> bytes;
  if (!plat::ReadWholeFile(bitmapPath, bytes)) return 0;
  const QImage symbol = plat::DecodeImage(bytes, "bmp");
  if (symbol.isNull()) return 0;
  const QImage scaled =
      symbol.scaled(pixelSize_, pixelSize_, Qt::IgnoreAspectRatio, Qt::FastTransformation);
  return plat::WriteImageFile(scaled, target_, 100) ? 1 : 0;
}
