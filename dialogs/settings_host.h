// What the settings dialog needs of the main window besides the settings block; the main window
// implements it and tests fake it.
#pragma once

#include "dialogs/config_block.h"

class CSettingsHost {
 public:
  virtual ~CSettingsHost() = default;
  // Closes MIDI input and the audition device.
  virtual void CloseMidiDevices() = 0;
  // Opens the audition device on the stored output (found again by its stored name).
  virtual void OpenMidiOut() = 0;
  // Fills the block with the program's defaults.
  virtual void FillDefaultSettings(ConfigData* config) = 0;
  // The layout mode the screen is made for (0-6).
  virtual int ScreenDefaultMode() const = 0;
};
