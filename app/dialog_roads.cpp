// The modal dialogs the main window opens from its buttons, and what it does before and after
// each of them.
#include "app/main_dialog.h"
#include "app/main_globals.h"
#include "dialogs/melody_panel.h"
#include "dialogs/settings_dialogs.h"
#include "platform/core/midi_input.h"

void CBrevantDlg::FillDefaultSettings(ConfigData* block) { SetDefaultConfig(block); }

int CBrevantDlg::ScreenDefaultMode() const { return GetDefaultScreenMode(); }

void CBrevantDlg::ShowSettings() {
  if (midiIn_) {
    midiIn_->Stop();
    midiIn_.reset();
  }
  int layoutChanged = 0;
  {
    CConfigDlg dlg(this);
    dlg.SetOwner(this);
    dlg.SetSettings(&config, this, g_melodyPanel);
    dlg.exec();
    layoutChanged = dlg.LayoutChanged();
  }
  ResizePanelsForAdvice();
  if (config.midiInDevice >= 0) OpenMidiIn();
  // The audition device opens again on the chosen output, found by its stored name.
  OpenMidiOut();
  if (g_melodyPanel) g_melodyPanel->RebuildKeyboard();
  if (layoutChanged == 1) {
    RebuildLayout();
    return;
  }
  RecreateScorePage();
  SetupScoreRows();
  RefreshScore(1);
}
