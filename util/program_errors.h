// Program-wide error, question and information messages by code
// (ProgramErrorCode 0xFF01xxxx) and the boxes that show them.
#pragma once

#include <cstdint>
#include <string>

using ProgramErrorCode = uint32_t;

constexpr ProgramErrorCode kProgramCodeBase = 0xFF010000u;
constexpr ProgramErrorCode kFirstProgramError = 0xFF010001u;
constexpr ProgramErrorCode kLastProgramError = 0xFF0101EAu;
constexpr ProgramErrorCode kFirstProgramQuestion = 0xFF010147u;
constexpr ProgramErrorCode kLastProgramQuestion = 0xFF010155u;
constexpr ProgramErrorCode kFirstProgramInfo = 0xFF010200u;
constexpr ProgramErrorCode kLastProgramInfo = 0xFF010205u;
// The program's own "too many selected" code for the common-dialog box.
constexpr uint32_t kTooManySelectedDialogCode = 0xFF01012Bu;

// Texts (CP932). Every lookup returns a text; unknown codes return the
// matching "undefined" text.
const char* ProgramErrorText(ProgramErrorCode code);
// nullptr when the code is no question with a text of its own.
const char* ProgramQuestionText(ProgramErrorCode code);
const char* ProgramInfoText(ProgramErrorCode code);
// Common-dialog extended errors; with_program_code adds the 0xFF01012B row
// (the GNWN reporter of the file layer leaves it out).
const char* CommonDialogErrorText(uint32_t code, bool with_program_code = true);

// The box texts as shown: "OVXC%08X %s" and "QVGN%08X %s".
std::string FormatProgramError(ProgramErrorCode code);
std::string FormatDialogError(uint32_t code);

// Shows the system-modal error box "OVXC%08X %s", then pauses the calling
// thread for 500 ms. The caller goes on with its own failure path.
void ShowErrorByCode(ProgramErrorCode code);

// While one is open on a thread, ShowErrorByCode on that thread shows each code once: a code
// already shown returns at once, without box or pause. A long job opens one so that an error
// met at every step is reported once, not once per step. Scopes nest; the codes shown are
// forgotten when the outermost one closes.
class ErrorOncePerCodeScope {
 public:
  ErrorOncePerCodeScope();
  ~ErrorOncePerCodeScope();
  ErrorOncePerCodeScope(const ErrorOncePerCodeScope&) = delete;
  ErrorOncePerCodeScope& operator=(const ErrorOncePerCodeScope&) = delete;
};

// The system-modal OK/Cancel question box; returns IDOK (1) or IDCANCEL (2).
// A code without a question text of its own asks the undefined-error text.
int AskByCode(ProgramErrorCode code);
// Asks a question text given by the caller.
int AskByCode(const char* question);

// The ordinary information box; returns the button pressed.
int ShowInfoByCode(ProgramErrorCode code);

// The common-dialog failure box "QVGN%08X %s"; returns the button pressed.
int ShowDialogError(uint32_t code);

// A text in the system-modal error box, without tag or pause.
void ShowErrorText(const char* text);

// Keeps value between low and high: with wrap 0 clamps, with any other flag
// a value below low becomes high and one above high becomes low.
void ClampOrWrap(int* value, int low, int high, int wrap);
