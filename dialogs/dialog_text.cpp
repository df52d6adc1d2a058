#include "dialogs/dialog_text.h"

#include "platform/core/encoding.h"
#include "platform/qt/qt_text.h"
#include "util/gne_text.h"

#include <algorithm>
#include <cstring>

namespace dialog_text {

bool ToCp932(const QString& text, std::string* out) {
  const QByteArray utf8 = text.toUtf8();
  return plat::TryUtf8ToCp932(std::string_view(utf8.constData(), utf8.size()), *out);
}

QString FromField(const char* field, size_t size) {
  return plat::ToQString(std::string_view(field, strnlen(field, size)));
}

std::string CutAtCharacter(const std::string& cp932, size_t max) {
  return cp932.substr(0, GneFitCp932(cp932.data(), cp932.size(), max));
}

std::string ToCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 16);
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      out += "\r\n";
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      out += "\r\n";
    } else {
      out += c;
    }
  }
  return out;
}

QString FromCrLf(const QString& text) {
  QString out = text;
  out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return out;
}

void StoreField(char* field, size_t size, const std::string& cp932) {
  if (size == 0) return;
  std::memset(field, 0, size);
  std::memcpy(field, cp932.data(), std::min(cp932.size(), size - 1));
}

}  // namespace dialog_text
