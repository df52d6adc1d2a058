#include "platform/qt/image_files.h"

#include "platform/core/files.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <cctype>

namespace plat {

bool WriteImageFile(const QImage& image, const std::filesystem::path& path, int quality) {
  if (image.isNull()) return false;
  std::string ext = path.extension().string();
  if (ext.size() < 2) return false;
  ext = ext.substr(1);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  QImageWriter writer(&buffer, QByteArray::fromStdString(ext));
  if (quality >= 0) writer.setQuality(quality);
  if (!writer.write(image)) return false;
  buffer.close();
  return WriteFileAtomic(path, bytes.constData(), static_cast<size_t>(bytes.size()));
}

QImage DecodeImage(const std::vector<uint8_t>& bytes, const char* format) {
  if (bytes.empty()) return QImage();
  QByteArray data = QByteArray::fromRawData(reinterpret_cast<const char*>(bytes.data()),
                                            static_cast<qsizetype>(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, format ? QByteArray(format) : QByteArray());
  return reader.read();
}

}  // namespace plat
