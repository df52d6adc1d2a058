// The settings block: the one record of user settings, kept raw (1340 bytes, little-endian, no
// header) in "setup_kv.ini" in the user data folder. The main window owns it; the settings
// dialogs and other windows get a pointer and read and write its fields directly. Its file
// form, defaults and checks are the main window's (app/config_data.h).
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
