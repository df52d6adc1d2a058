#include "app/config_data.h"

#include "app/page_geometry.h"
#include "platform/core/midi_devices.h"
#include "util/byte_cursor.h"
#include "util/gne_text.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

int g_screenModeOverride = -1;

// The fields in stored order, little-endian: one list walked by a ByteWriter over a const
// block and by a ByteReader over a mutable one, so both directions agree.
template <class Io, class Config>
void TransferConfig(Io& io, Config& c) {
  io.Bytes(c.songPath, 260);
  io.Bytes(c.reserved260, 8);
  io.Le(c.guideShown);
  io.Le(c.midiInDevice);
  io.Le(c.inputMode);
  io.Le(c.midiOutDevice);
  io.Bytes(c.midiOutName, 32);
  io.Bytes(c.reserved314, 228);
  io.Le(c.keyboardLow);
  io.Le(c.keyboardHigh);
  io.Le(c.scoreLow);
  io.Le(c.scoreHigh);
  io.Le(c.leadInBars);
  io.Le(c.reserved547);
  io.Le(c.commandInterval);
  io.Le(c.sendExclusive);
  io.Le(c.screenLayout);
  io.Bytes(c.padding553, 3);
  io.Le(c.adviceShown);
  io.Le(c.archiveFilter);
  io.Le(c.thickenForMobile);
  io.Le(c.inputVelocity);
  io.Le(c.scoreRowHeight);
  io.Le(c.audioQuality);
  io.Bytes(c.encoderPath, 260);
  io.Le(c.hideWebLibrary);
  io.Le(c.lyricEventMode);
  io.Bytes(c.reserved827, 513);
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
  ByteWriter w(out, kConfigDataSize);
  TransferConfig(w, c);
}

void ConfigFromBytes(const uint8_t* in, ConfigData& c) {
  ByteReader r(in, kConfigDataSize);
  TransferConfig(r, c);
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
