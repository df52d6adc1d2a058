// A style as text: a list of entries "[" key "]" value, with choice values
// spelled by their names, and three blocks "[[" name "]]" ... "[[/" name "]]"
// holding the melody-part settings. CP932 throughout; the caller reads and
// writes the file.
//
// Reading reports every malformed entry by its program error code (the box of
// ShowErrorByCode) and carries on with the next; fields without an entry keep
// their values, and nothing read before an error is rolled back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "style/style_record.h"

// The whole text of a record, in the key table's order, each line ending in
// CR LF.
std::string WriteStyleText(const StyleRecord& record);

// Parses `length` bytes of text into the record (nothing past them is read).
void ReadStyleText(const char* text, size_t length, StyleRecord* record);

// The pieces of the writer.
std::string WriteKeyLine(const std::string& key, const std::string& value);
std::string WriteNumberKeyLine(int number, const std::string& key);
std::string WriteBlockStart(const std::string& name);
std::string WriteBlockEnd(const std::string& name);
std::string WriteMelodyStructure(const PartRecord& part);
// "%03d" (a minus sign counts in the width: -1 gives "-01").
std::string FormatStyleNumber(int value, int width = 3);

// The pieces of the reader: a number as written ("  -12x" gives -12; no
// digits give 0; too large a number saturates).
int ParseStyleNumber(const std::string& text);
void ParseMelodyStructure(const std::string& body, PartRecord* part, int32_t* density);

// Fuzz entry: reads the bytes as style text over a built-in style, writes the
// result and reads that back. Answers the written text's length.
size_t FuzzStyleText(const uint8_t* data, size_t size);
