// The QR Code decoder the QR tests compare with.
#pragma once

#include <filesystem>
#include <string>

namespace cantrel_test {

// zbarimg's reading of the one QR Code in an image file: its bytes as they are (Shift-JIS kept),
// or "(not read)" when zbarimg finds none. Needs the program zbarimg (zbar-tools).
std::string ZbarRead(const std::filesystem::path& image);

}  // namespace cantrel_test
