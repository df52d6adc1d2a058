// A modal dialog whose Enter key is the dialog's OK (accept), as the platform's dialogs have it,
// unless a box of several lines has the focus and takes the line break itself.
#pragma once

#include "dialogs/dialog_skeleton.h"

class CModalDialog : public CDialogSkeleton {
 public:
  using CDialogSkeleton::CDialogSkeleton;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
};
