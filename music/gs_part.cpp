#include "music/gs_part.h"

#include "util/module_error.h"

void SysExErrorMsg(uint32_t code) {
  static const ModuleErrorReporter reporter(
      "MDSX", "システムエクスクルーシブで未定義のエラーが発生しました。",
      {{kSysExError, "システムエクスクルーシブでエラーが発生しました。"}});
  reporter.ErrorMsg(code);
}

int GsPartBlock(int channel) {
  if (channel < 0 || channel > 15) return -1;
  if (channel == 9) return 0;
  if (channel < 9) return channel + 1;
  return channel;
}

void SetGsPartAddress(int channel, uint8_t* target, int base) {
  const int block = GsPartBlock(channel);
  if (target == nullptr || block < 0) {
    SysExErrorMsg(kSysExError);
    return;
  }
  *target = static_cast<uint8_t>(base + block);
}

uint8_t RolandChecksum(const uint8_t* bytes, int count) {
  int sum = 0;
  for (int i = 0; i < count; ++i) sum += bytes[i];
  return static_cast<uint8_t>((128 - sum % 128) % 128);
}

void SetRolandChecksum(uint8_t* message) {
  if (message == nullptr) {
    SysExErrorMsg(kSysExError);
    return;
  }
  message[kGsChecksum] = RolandChecksum(message + kGsAddressHigh, 4);
}

