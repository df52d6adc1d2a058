// Text between the dialogs' edit boxes and the fixed CP932 fields they fill: strict conversion
// (a character CP932 cannot hold is refused, never stored as "?"), byte counts that never split a
// double-byte character, and line breaks as the stored texts keep them (CR LF).
#pragma once

#include <QString>

#include <cstddef>
#include <string>

class QWidget;

namespace dialog_text {

// The box's text in CP932; false when a character has no CP932 form.
bool ToCp932(const QString& text, std::string* out);
// The stored text (CP932, up to its first zero) as the box shows it.
QString FromField(const char* field, size_t size);
// At most `max` bytes of the CP932 text, ending on a character boundary.
std::string CutAtCharacter(const std::string& cp932, size_t max);
// Line breaks of a box (LF) as stored (CR LF), and back.
std::string ToCrLf(const std::string& text);
QString FromCrLf(const QString& text);
// Writes the text into a zero-filled field of `size` bytes (the text must fit with its zero).
void StoreField(char* field, size_t size, const std::string& cp932);

}  // namespace dialog_text
