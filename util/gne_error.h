// The general library's own error reporter (tag GENE, module 0x01).
#pragma once

#include <cstdint>
#include <string>

constexpr uint32_t kGneOutOfMemory = 0x01000002u;      // ends the program
constexpr uint32_t kGneSlowdown = 0x01000004u;
constexpr uint32_t kGneFileNotFound = 0x01000005u;
constexpr uint32_t kGneBadHexData = 0x01000006u;
constexpr uint32_t kGneFileOpenFailed = 0x01000007u;   // ends the program
constexpr uint32_t kGneDataTooLarge = 0x0100000Au;
constexpr uint32_t kGneBadParameter = 0x0100000Bu;
constexpr uint32_t kGneNoCurrentFolder = 0x0100000Cu;
constexpr uint32_t kGneFileSizeError = 0x0100000Du;
constexpr uint32_t kGneMetreError = 0x0100000Eu;
constexpr uint32_t kGneArrangeError1 = 0x0100000Fu;
constexpr uint32_t kGneAnalysisError = 0x01000010u;
constexpr uint32_t kGneArrangeError2 = 0x01000011u;
constexpr uint32_t kGneBpmConversionError = 0x01000012u;
constexpr uint32_t kGneTempoConversionError = 0x01000013u;

// The text of a GENE code; unknown codes give the general text.
const char* GneErrorText(uint32_t code);

// "GENE%08X %s", or "GENE%08X %s [%s]" with a detail text (as a rule a path).
std::string GneFormatError(uint32_t code, const char* detail = nullptr);

// Shows the GENE box. Codes 0x01000002 (memory) and 0x01000007 (a required
// file of the system's own cannot be opened) end the program after the box,
// with the code as exit status; every other code returns.
void GneErrorMsg(uint32_t code, const char* detail = nullptr);

// Shows the GENE box and always returns (for failures the caller survives,
// such as a file the user chose).
void GneReportError(uint32_t code, const char* detail = nullptr);

// A box text with why a file operation failed on a line of its own (nothing is added when `why`
// is empty), cut to the boxes' 2047 bytes between characters.
std::string GneWithReason(std::string text, const std::string& why);
// GneReportError and GneErrorMsg with the reason on a line of its own.
void GneReportError(uint32_t code, const char* detail, const std::string& why);
void GneErrorMsg(uint32_t code, const char* detail, const std::string& why);
