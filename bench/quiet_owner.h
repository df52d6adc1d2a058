// The owner the dialog benchmarks hand their dialogs: what a dialog posts to the main window
// goes nowhere; the input mode is 1 and the display scale 100.
#pragma once

#include <cstdint>

#include "dialogs/dialog_owner.h"

namespace bench_dialogs {

class QuietOwner : public CDialogOwner {
 public:
  void PostToMain(uint32_t, uintptr_t, intptr_t) override {}
  int InputMode() const override { return 1; }
  int DisplayScale() const override { return 100; }
};

}  // namespace bench_dialogs
