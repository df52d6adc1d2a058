// The settings block: the one record of user settings, kept raw (1340 bytes, little-endian, no
// header) in "setup_kv.ini" in the user data folder. The main window owns it; other windows get
// a pointer and read and write its fields directly.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

constexpr size_t kConfigDataSize = 1340;

struct ConfigData {
  char songPath[260];          //    0 current song file; empty = none yet
  uint8_t reserved260[8];      //  260
  int32_t guideShown;          //  268 melody keyboard marks the scale
  int32_t midiInDevice;        //  272 negative = no MIDI input
  int32_t inputMode;           //  276 0 = PC keyboard note entry, 1 = normal
  int16_t midiOutDevice;       //  280 -1 = the default device
  char midiOutName[32];        //  282 name of that device
  uint8_t reserved314[228];    //  314
  uint8_t keyboardLow;         //  542
  uint8_t keyboardHigh;        //  543
  uint8_t scoreLow;            //  544
  uint8_t scoreHigh;           //  545
  uint8_t leadInBars;          //  546
  uint8_t reserved547;         //  547
  int16_t commandInterval;     //  548
  int16_t sendExclusive;       //  550
  int8_t screenLayout;         //  552 layout mode 0-6
  uint8_t padding553[3];       //  553
  int32_t adviceShown;         //  556
  int8_t archiveFilter;        //  560 0-3
  uint8_t thickenForMobile;    //  561
  uint8_t inputVelocity;       //  562
  uint8_t scoreRowHeight;      //  563
  int8_t audioQuality;         //  564 0 quality first, 1 size first
  char encoderPath[260];       //  565 external MP3 encoder
  uint8_t hideWebLibrary;      //  825
  uint8_t lyricEventMode;      //  826 0-3
  uint8_t reserved827[513];    //  827
};

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
