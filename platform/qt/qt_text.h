// The one road between Qt's text and the system's CP932 bytes. Every widget caption, list item,
// box text and dropped text passes through these two functions.
#pragma once

#include <QString>

#include <string>
#include <string_view>

namespace plat {

// CP932 bytes to a QString; bytes that are not valid CP932 become U+FFFD.
QString ToQString(std::string_view cp932);
// A QString to CP932 bytes; characters CP932 cannot hold become '?'.
std::string FromQString(const QString& text);

// Qt's own texts (the file dialogs' labels and buttons, the standard buttons) in Japanese, as
// every other text of the program is, whatever the system's language. Needs the application
// object; false when Qt's Japanese translations are not installed (those texts stay English).
bool InstallJapaneseQtTexts();

}  // namespace plat
