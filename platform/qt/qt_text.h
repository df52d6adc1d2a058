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

}  // namespace plat
