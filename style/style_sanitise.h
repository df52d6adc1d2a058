// Brings every field of a style record read from a file into the range the program uses, so
// that the composition engine never meets a value a damaged or foreign song file may hold.
#pragma once

#include <cstdint>

#include "style/style_record.h"

// Clamps or replaces each out-of-range field (a code outside its choice list takes the
// list's default; a number its nearest bound; a database name that is not a plain file name
// the shipped one; the chord list gets its end mark). Returns the program error code of the
// first field found out of range (the style-parameter codes 0xFF010177..0xFF0101A4), or 0
// when the record was in range and is unchanged. Running it twice changes nothing more.
uint32_t SanitiseStyleRecord(StyleRecord& record);

// SanitiseStyleRecord, then one error box with the first code when anything was out of range.
// Returns true when the record was in range.
bool SanitiseLoadedStyle(StyleRecord& record);
