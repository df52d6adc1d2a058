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
constexpr ProgramErrorCode kMetreChart = 0xFF01001Fu;           // generated chart of an unknown metre
constexpr ProgramErrorCode kTimeChartMake = 0xFF01003Au;        // chart record missing or a length 0
constexpr ProgramErrorCode kTripleChart = 0xFF01003Bu;          // 3/4 chart length not 288 or 576
constexpr ProgramErrorCode kSevenEightChart = 0xFF01003Cu;      // 7/8 chart length not 336
constexpr ProgramErrorCode kTimeChartLength = 0xFF01003Du;      // more than 255 lengths
constexpr ProgramErrorCode kChordBlockLength = 0xFF0101C7u;     // chord beats neither 0 nor 4
constexpr ProgramErrorCode kSectionPlan = 0xFF0101C8u;          // section count outside 1 .. 200
constexpr ProgramErrorCode kSectionId = 0xFF0101C6u;           // bad section id
}  // namespace engine_error
