// The chord-dictionary program's road: started by button 21, its answers read on a thread of their
// own and posted to the main window, ended before a new start and at the window's end.
#include "app/chord_dictionary.h"

#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "platform/core/encoding.h"
#include "platform/core/process.h"
#include "platform/qt/app_message.h"
#include "platform/qt/keyboard_hook.h"
#include "util/gne.h"
#include "util/music_names.h"
#include "util/registry.h"

#include <cstring>
#include <filesystem>

namespace {

constexpr char kRootLetters[] = "CdDeEFgGaAbB";

// Row of a root letter, -1 for any other character.
int RootRow(char letter) {
  const char* at = letter == '\0' ? nullptr : std::strchr(kRootLetters, letter);
  return at == nullptr ? -1 : static_cast<int>(at - kRootLetters);
}

// The one running instance; the main window starts and ends it from its own thread.
plat::LineReadingProgram& RunningDictionary() {
  static plat::LineReadingProgram program;
  return program;
}

// The configured path as a path of this system: the key-value file holds CP932 text, and a relative
// path lies in the program folder.
std::filesystem::path DictionaryPath(const std::string& configured) {
  std::string native;
  if (!plat::TryCp932ToUtf8(configured, native)) native = configured;
  const std::filesystem::path path(native);
  return path.is_absolute() ? path : g_programFolder / path;
}

}  // namespace

std::vector<std::string> ChordDictionaryArguments(unsigned long long windowId,
                                                  const ChordPanelFields& chord) {
  std::string code, bass;
  const bool hasRoot = chord.root >= 0 && chord.root < 12;
  if (hasRoot) code += kRootLetters[chord.root];
  if (chord.type >= 0 && chord.type < kChordSuffixCount) {
    code += ChordSuffixTable[chord.type].engine_code;
  }
  if (hasRoot && chord.bass >= 0) bass = kRootLetters[(chord.root + chord.bass) % 12];
  return {std::to_string(windowId), code, bass};
}

bool ChordDictionaryAnswer(const std::string& line, int* bassRow, uint32_t* code) {
  if (line.size() < 4) return false;
  uint32_t packed = 0;
  for (int i = 0; i < 4; ++i)
    packed |= static_cast<uint32_t>(static_cast<uint8_t>(line[i])) << (8 * i);
  const int bass = line.size() > 4 ? RootRow(line[4]) : -1;
  *bassRow = bass >= 0 ? bass : RootRow(line[0]);
  *code = packed;
  return true;
}

void CBrevantDlg::StartChordDictionary() {
  std::string configured;
  if (!GneRegistryGet(kChordDictionaryKey, kChordDictionaryName, configured) ||
      configured.find_first_not_of(' ') == std::string::npos) {
    const KeyboardHookPause pause(config.inputMode == 0);
    GneMessageBox("コード辞典のプログラムが設定されていません。");
    return;
  }
  // An instance still running is ended first.
  QuitChordDictionary();
  CBrevantDlg* window = this;
  auto answer = [window](const std::string& line) {
    int bassRow = -1;
    uint32_t code = 0;
    if (ChordDictionaryAnswer(line, &bassRow, &code)) {
      plat::PostAppMessage(window, kMsgApp + 25, static_cast<uintptr_t>(bassRow),
                           static_cast<intptr_t>(code));
    }
  };
  const std::vector<std::string> args =
      ChordDictionaryArguments(static_cast<unsigned long long>(winId()), chordFields);
  if (!RunningDictionary().Start(DictionaryPath(configured), args, answer)) {
    const KeyboardHookPause pause(config.inputMode == 0);
    GneMessageBox("コード辞典のプログラムを起動できません。");
  }
}

// The reader thread has ended when this returns, so nothing is posted to the window after it.
void CBrevantDlg::QuitChordDictionary() { RunningDictionary().Stop(); }
