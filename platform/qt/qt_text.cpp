#include "platform/qt/qt_text.h"

#include "platform/core/encoding.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace plat {

QString ToQString(std::string_view cp932) {
  if (cp932.empty()) return QString();
  const std::string utf8 = Cp932ToUtf8(cp932);
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string FromQString(const QString& text) {
  if (text.isEmpty()) return std::string();
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToCp932(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

bool InstallJapaneseQtTexts() {
  if (!QCoreApplication::instance()) return false;
  // One translator for the application's life; installing it again changes nothing.
  static QTranslator* translator = nullptr;
  if (translator) return true;
  auto* loaded = new QTranslator(QCoreApplication::instance());
  if (!loaded->load(QStringLiteral("qtbase_ja"),
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete loaded;
    return false;
  }
  QCoreApplication::installTranslator(loaded);
  translator = loaded;
  return true;
}

}  // namespace plat
