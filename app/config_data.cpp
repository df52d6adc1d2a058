#include "app/config_data.h"

#include "app/page_geometry.h"
#include "platform/core/midi_devices.h"
#include "util/gne_text.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

namespace {

int g_screenModeOverride = -1;

template <typename T>
void Put(uint8_t* out, size_t offset, T value) {
  using U = std::make_unsigned_t<T>;
  U v = static_cast<U>(value);
  for (size_t i = 0; i < sizeof(T); ++i) out[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

template <typename T>
T Get(const uint8_t* in, size_t offset) {
  using U = std::make_unsigned_t<T>;
  U v = 0;
  for (size_t i = 0; i < sizeof(T); ++i) v |= static_cast<U>(static_cast<U>(in[offset + i]) << (8 * i));
  return static_cast<T>(v);
}

void PutBytes(uint8_t* out, size_t offset, const void* src, size_t n) {
  std::memcpy(out + offset, src, n);
}
void GetBytes(const uint8_t* in, size_t offset, void* dst, size_t n) {
  std::memcpy(dst, in + offset, n);
}

template <typename T>
bool Clamp(T& v, int lo, int hi) {
  const int old = v;
  const int now = std::clamp(old, lo, hi);
  v = static_cast<T>(now);
  return now != old;
}

// A text field without its terminator ends within its size, never inside a double-byte
// character.
template <size_t N>
bool EndText(char (&text)[N]) {
  if (std::memchr(text, 0, N)) return false;
  const size_t keep = GneFitCp932(text, N, N - 1);
  std::memset(text + keep, 0, N - keep);
  return true;
}

}  // namespace

void ConfigToBytes(const ConfigData& c, uint8_t* out) {
  std::memset(out, 0, kConfigDataSize);
  PutBytes(out, 0, c.songPath, 260);
  PutBytes(out, 260, c.reserved260, 8);
  Put<int32_t>(out, 268, c.guideShown);
  Put<int32_t>(out, 272, c.midiInDevice);
  Put<int32_t>(out, 276, c.inputMode);
  Put<int16_t>(out, 280, c.midiOutDevice);
  PutBytes(out, 282, c.midiOutName, 32);
  PutBytes(out, 314, c.reserved314, 228);
  out[542] = c.keyboardLow;
  out[543] = c.keyboardHigh;
  out[544] = c.scoreLow;
  out[545] = c.scoreHigh;
  out[546] = c.leadInBars;
  out[547] = c.reserved547;
  Put<int16_t>(out, 548, c.commandInterval);
  Put<int16_t>(out, 550, c.sendExclusive);
  Put<int8_t>(out, 552, c.screenLayout);
  PutBytes(out, 553, c.padding553, 3);
  Put<int32_t>(out, 556, c.adviceShown);
  Put<int8_t>(out, 560, c.archiveFilter);
  out[561] = c.thickenForMobile;
  out[562] = c.inputVelocity;
  out[563] = c.scoreRowHeight;
  Put<int8_t>(out, 564, c.audioQuality);
  PutBytes(out, 565, c.encoderPath, 260);
  out[825] = c.hideWebLibrary;
  out[826] = c.lyricEventMode;
  PutBytes(out, 827, c.reserved827, 513);
}

void ConfigFromBytes(const uint8_t* in, ConfigData& c) {
  GetBytes(in, 0, c.songPath, 260);
  GetBytes(in, 260, c.reserved260, 8);
  c.guideShown = Get<int32_t>(in, 268);
  c.midiInDevice = Get<int32_t>(in, 272);
  c.inputMode = Get<int32_t>(in, 276);
  c.midiOutDevice = Get<int16_t>(in, 280);
  GetBytes(in, 282, c.midiOutName, 32);
  GetBytes(in, 314, c.reserved314, 228);
  c.keyboardLow = in[542];
  c.keyboardHigh = in[543];
  c.scoreLow = in[544];
  c.scoreHigh = in[545];
  c.leadInBars = in[546];
  c.reserved547 = in[547];
  c.commandInterval = Get<int16_t>(in, 548);
  c.sendExclusive = Get<int16_t>(in, 550);
  c.screenLayout = Get<int8_t>(in, 552);
  GetBytes(in, 553, c.padding553, 3);
  c.adviceShown = Get<int32_t>(in, 556);
  c.archiveFilter = Get<int8_t>(in, 560);
  c.thickenForMobile = in[561];
  c.inputVelocity = in[562];
  c.scoreRowHeight = in[563];
  c.audioQuality = Get<int8_t>(in, 564);
  GetBytes(in, 565, c.encoderPath, 260);
  c.hideWebLibrary = in[825];
  c.lyricEventMode = in[826];
  GetBytes(in, 827, c.reserved827, 513);
}

ConfigImage ConfigToImage(const ConfigData& config) {
  ConfigImage image{};
  ConfigToBytes(config, image.data());
  return image;
}

void SetDefaultScreenModeOverride(int mode) { g_screenModeOverride = mode; }

void SetDefaultConfig(ConfigData* c) {
  std::memset(c, 0, sizeof(ConfigData));
  c->keyboardLow = 48;
  c->keyboardHigh = 83;
  c->scoreLow = 40;
  c->scoreHigh = 83;
  c->commandInterval = 0;
  c->sendExclusive = 1;
  c->midiOutDevice = -1;
  int mode = g_screenModeOverride >= 0 ? g_screenModeOverride : GetDefaultScreenMode();
  if (mode == 1) mode = 5;
  c->screenLayout = static_cast<int8_t>(mode);
  c->adviceShown = 1;
  c->archiveFilter = 2;
  c->thickenForMobile = 1;
  c->inputVelocity = 64;
  c->scoreRowHeight = 96;
  c->audioQuality = 0;
  c->encoderPath[0] = 0;
  const std::string name = plat::CurrentMidiOutBackend().Name(-1);
  std::memcpy(c->midiOutName, name.data(),
              GneFitCp932(name.data(), name.size(), sizeof(c->midiOutName) - 1));
  c->inputMode = 1;
}

bool SanitizeConfig(ConfigData& c) {
  bool changed = false;
  changed |= EndText(c.songPath);
  changed |= EndText(c.midiOutName);
  changed |= EndText(c.encoderPath);
  changed |= Clamp(c.guideShown, 0, 1);
  changed |= Clamp(c.inputMode, 0, 1);
  if (c.midiOutDevice < -1) {
    c.midiOutDevice = -1;
    changed = true;
  }
  // The keyboard spans 48-95 with at least 24 notes between its ends.
  changed |= Clamp(c.keyboardLow, 48, 95 - 24);
  changed |= Clamp(c.keyboardHigh, c.keyboardLow + 24, 95);
  changed |= Clamp(c.scoreLow, 40, 46);
  changed |= Clamp(c.scoreHigh, 78, 95);
  changed |= Clamp(c.leadInBars, 0, 8);
  changed |= Clamp(c.commandInterval, 0, 99);
  changed |= Clamp(c.sendExclusive, 0, 1);
  changed |= Clamp(c.screenLayout, 0, 6);
  changed |= Clamp(c.adviceShown, 0, 1);
  changed |= Clamp(c.archiveFilter, 0, 3);
  changed |= Clamp(c.thickenForMobile, 0, 1);
  changed |= Clamp(c.inputVelocity, 0, 127);
  changed |= Clamp(c.scoreRowHeight, 96, 120);
  changed |= Clamp(c.audioQuality, 0, 1);
  changed |= Clamp(c.hideWebLibrary, 0, 1);
  changed |= Clamp(c.lyricEventMode, 0, 3);
  return changed;
}
