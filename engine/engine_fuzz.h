// Fuzz entry of the database readers and chord blocks: a plain function
// taking bytes, run as a seeded mutation test and by hand under AFL++.
#pragma once

#include <cstddef>
#include <cstdint>

// Takes the bytes as a pattern text (cut to what a database buffer holds),
// reads its counts and records, picks successors of the codes it names, looks
// up their tone weights, and builds chord blocks from the bytes as stored
// chord entries. Answers the number of successor candidates found.
int FuzzPatternDatabaseBytes(const uint8_t* data, size_t size);
