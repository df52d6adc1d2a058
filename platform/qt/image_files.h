// Image files through the toolkit's readers and writers. Writes are encoded in memory and put
// in place whole (temporary name, then rename), so a failed save leaves no half-written file.
#pragma once

#include <QImage>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace plat {

// Encodes the image in the format its extension names (".bmp", ".png", ".jpg", ...) at the
// quality (0-100, -1 = the writer's default) and writes it. False when the format is unknown,
// the encoding fails or the file cannot be written.
bool WriteImageFile(const QImage& image, const std::filesystem::path& path, int quality = -1);

// Decodes an image held in memory; a null image when the bytes are no image the readers know.
// `format` names it ("bmp", ...), empty = guessed from the bytes.
QImage DecodeImage(const std::vector<uint8_t>& bytes, const char* format = nullptr);

}  // namespace plat
