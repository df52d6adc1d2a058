// The settings block's file form, defaults and checks (the block itself: dialogs/config_block.h).
#pragma once

#include "dialogs/config_block.h"

#include <array>
#include <cstddef>
#include <cstdint>

using ConfigImage = std::array<uint8_t, kConfigDataSize>;

// Field by field, at the stored offsets.
void ConfigToBytes(const ConfigData& config, uint8_t* out);  // kConfigDataSize bytes
void ConfigFromBytes(const uint8_t* in, ConfigData& config);
ConfigImage ConfigToImage(const ConfigData& config);

// The defaults: everything 0, then the documented values; the screen layout from the screen's
// default mode (1 is stored as 5), the device name from the default MIDI-out device.
void SetDefaultConfig(ConfigData* config);

// Makes a block read from a file safe to use: the texts end within their fields, and values
// lie in the ranges the settings dialogs offer (keyboard 48-95 with 24 notes at least between
// its ends, score 40-46 and 78-95, lead-in 0-8 bars, command interval 0-99, velocity 0-127,
// layout 0-6, filter 0-3, lyric mode 0-3, audio choice 0-1, flags 0 or 1). Returns true when
// something was changed.
bool SanitizeConfig(ConfigData& config);

// The screen layout used when the screen's default mode is not wanted (tests, headless runs):
// -1 = ask the screen.
void SetDefaultScreenModeOverride(int mode);
