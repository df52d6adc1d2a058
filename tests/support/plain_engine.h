// A fresh engine with a plain C-major style: the start of the engine tests and of the
// engine and part benchmarks.
#pragma once

#include "engine/engine_state.h"
#include "style/engine_services.h"
#include "style/style_table.h"

namespace cantrel_test {

// Every engine module reset, the style in C major on the major scale's tones.
inline StyleRecord& ResetToPlainCMajor() {
  ResetStyleModule();
  ResetEngineServices();
  ResetEngineState();
  StyleRecord& s = CurrentStyle();
  s.key_mode = 1;
  s.scale = 1;
  SetStyleText(s.scale_tones, "xxxx909099090909");
  return s;
}

// The same, progressing by the chord databases it names (not yet loaded).
inline StyleRecord& ResetToPlainCMajorWithDatabases(const char* pattern_db = "PATTERN.DB") {
  StyleRecord& s = ResetToPlainCMajor();
  s.progression = 2;
  SetStyleText(s.pattern_db, pattern_db);
  SetStyleText(s.chorus_db, "RESOLUT.DB");
  return s;
}

}  // namespace cantrel_test
