// CP932 (Shift-JIS as Windows has it) is the system's text inside; UTF-8 is what Linux, Qt and
// file names speak. These are the only conversions between them outside platform/qt.
#pragma once

#include <string>
#include <string_view>

namespace plat {

// Converts, replacing bytes that are not valid CP932 with U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);
// Converts, replacing characters that CP932 cannot hold with '?'.
std::string Utf8ToCp932(std::string_view utf8);

// Strict forms: false when the input holds a byte sequence the other side cannot represent.
bool TryCp932ToUtf8(std::string_view cp932, std::string& out);
bool TryUtf8ToCp932(std::string_view utf8, std::string& out);

}  // namespace plat
