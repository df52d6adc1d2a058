// The steps of the main window's start-up and release that belong to its other parts: the
// panels, MIDI input and output, the keyboard hook, playing. Each part fills in its step here;
// until then the step does nothing and the window runs without it.
#include "app/main_dialog.h"

void CBrevantDlg::OpenMidiOut() {}

void CBrevantDlg::CreatePanels() {}

void CBrevantDlg::OpenMidiIn() {}

void CBrevantDlg::ArmKeyboardHook() {}

void CBrevantDlg::TogglePlay() { NoteSeam("TogglePlay"); }

void CBrevantDlg::CloseMidiDevices() {}

void CBrevantDlg::QuitChordDictionary() {}

bool CBrevantDlg::ImportMidiFile(const std::filesystem::path& path) {
  (void)path;
  return false;
}
