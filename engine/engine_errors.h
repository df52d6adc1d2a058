// Program error codes the composition engine raises (shown by ShowErrorByCode).
#pragma once

#include "util/program_errors.h"

namespace engine_error {
constexpr ProgramErrorCode kEditInit = 0xFF010010u;            // chord input without end mark
constexpr ProgramErrorCode kRootNote = 0xFF010022u;            // root letter outside the table
constexpr ProgramErrorCode kThirdNote = 0xFF010023u;
constexpr ProgramErrorCode kFifthNote = 0xFF010024u;
constexpr ProgramErrorCode kSeventhNote = 0xFF010025u;
constexpr ProgramErrorCode kAccompanimentPattern = 0xFF010027u;  // pattern code without a pattern
constexpr ProgramErrorCode kTimeChartMemory = 0xFF010031u;
constexpr ProgramErrorCode kPatternFile = 0xFF010035u;
constexpr ProgramErrorCode kCadenceFile = 0xFF010036u;
constexpr ProgramErrorCode kCadenceTimeChartFile = 0xFF010037u;
constexpr ProgramErrorCode kTimeChartFile = 0xFF010038u;
constexpr ProgramErrorCode kDatabaseRead = 0xFF01003Eu;
constexpr ProgramErrorCode kProgressionSetting = 0xFF01003Fu;  // unknown progression code
constexpr ProgramErrorCode kNoteMemory = 0xFF010134u;          // event list full
constexpr ProgramErrorCode kPatternResult = 0xFF01014Au;       // picked chord is empty
constexpr ProgramErrorCode kSectionId = 0xFF0101C6u;           // bad section id
}  // namespace engine_error
