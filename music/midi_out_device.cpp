#include "music/midi_out_device.h"

#include <string>
#include <vector>

#include "util/gne.h"
#include "util/gne_pitch.h"
#include "util/module_error.h"

namespace {

MidiOutModuleState g_state;

const ModuleErrorReporter& Reporter() {
  static const ModuleErrorReporter r(
      "MDCT", "Midi制御でエラーが発生しました。",
      {
          {kMdctOpenFailed,
           "Midiデバイスのオープンに失敗しました。連続して発生する場合は、ＰＣを再起動してください。"},
          {kMdctCloseFailed, "Midiデバイスのクローズに失敗しました。"},
          {kMdctProgramFailed, "Midiデバイスで音色を変更できませんでした。"},
          {kMdctSysExFailed, "Midiデバイスでエクスクルーシブを送れませんでした。"},
          {kMdctBadParameter, "Midiのパラメータに誤りがあります。"},
      });
  return r;
}

// The system's text for an open failure.
std::string OpenFailureText(int result, const std::string& explanation) {
  switch (result) {
    case plat::kMidiBadDeviceId: return "指定されたデバイス識別子は範囲外です。";
    case plat::kMidiAllocated: return "指定されたリソースは既に割り当てられています。";
    case plat::kMidiNoMem: return "システムはメモリを割り当てられないか、またはロックできません。";
    case plat::kMidiInvalParam: return "指定されたポインタまたは構造体は無効です。";
    case plat::kMidiNoDevice:
      return "MIDI ポートが見つかりませんでした。このエラーは、マッパーがオープンされているときにだけ"
             "発生します。";
    default: return explanation;
  }
}

uint8_t Channel(int channel) { return static_cast<uint8_t>(channel & 0x0F); }

}  // namespace

MidiOutModuleState& MidiOutModule() { return g_state; }
void ResetMidiOutModule() { g_state = MidiOutModuleState{}; }

MidiOutDevice::MidiOutDevice() { Open(kMidiMapper); }
MidiOutDevice::MidiOutDevice(int device_id) { Open(device_id); }

void MidiOutDevice::ErrorMsg(uint32_t code) { Reporter().ErrorMsg(code); }

void MidiOutDevice::Open(int device_id) {
  port_.reset();
  plat::MidiOutBackend& backend = plat::CurrentMidiOutBackend();
  if (backend.Count() <= 0) {
    if (g_state.no_device_warning_pending) {
      g_state.no_device_warning_pending = false;
      ErrorMsg(kMdctOpenFailed);
    }
    return;
  }
  int result = plat::kMidiError;
  std::string text;
  port_ = backend.Open(device_id, &result, &text);
  if (port_) return;
  GneMessageBox(OpenFailureText(result, text));
  if (device_id == kMidiMapper) {
    // The mapper falls back to device 0 once.
    port_ = backend.Open(0, &result, &text);
    if (port_) return;
  }
  ErrorMsg(kMdctOpenFailed);
}

void MidiOutDevice::Close() {
  if (!port_) return;
  if (port_->Reset() != plat::kMidiOk) ErrorMsg(kMdctCloseFailed);
  port_.reset();
}

int MidiOutDevice::ShortMessage(int second, int first, int status) {
  if (!port_) return plat::kMidiNotOpen;
  uint8_t b[3] = {static_cast<uint8_t>(status), static_cast<uint8_t>(first & 0x7F),
                  static_cast<uint8_t>(second & 0x7F)};
  size_t n = 3;
  switch (b[0] & 0xF0) {
    case 0xC0:
    case 0xD0: n = 2; break;
    default: break;
  }
  return port_->Send(b, n);
}

int MidiOutDevice::NoteOff(int note, int channel) {
  return ShortMessage(0, note, 0x80 + Channel(channel));
}

int MidiOutDevice::NoteOn(int note, int velocity, int channel) {
  if (velocity & 0x80) velocity = 127;
  return ShortMessage(velocity, note, 0x90 + Channel(channel));
}

int MidiOutDevice::ProgramChange(int program, int channel) {
  int rc = ShortMessage(0, program, 0xC0 + Channel(channel));
  if (rc != plat::kMidiOk) ErrorMsg(kMdctProgramFailed);
  return rc;
}

int MidiOutDevice::ControlChange(int value, int controller, int channel) {
  return ShortMessage(value, controller, 0xB0 | Channel(channel));
}

int MidiOutDevice::AllNotesOff(int channel) { return ControlChange(0, 123, channel); }

int MidiOutDevice::AllNotesOffAllChannels() {
  int rc = plat::kMidiOk;
  for (int ch = 0; ch < 16; ++ch) {
    int r = AllNotesOff(ch);
    if (r != plat::kMidiOk) rc = r;
  }
  return rc;
}

int MidiOutDevice::PitchBend(int range_value, int cents, int channel) {
  int offset = GneCentsToPitchBend(cents, range_value) + 0x2000;
  return ShortMessage(offset >> 7, offset & 0x7F, 0xE0 + Channel(channel));
}

int MidiOutDevice::SetBendRange(int semitones, int channel) {
  int rc = ControlChange(0, 101, channel);
  if (rc == plat::kMidiOk) rc = ControlChange(0, 100, channel);
  if (rc == plat::kMidiOk) rc = ControlChange(semitones, 6, channel);
  if (rc == plat::kMidiOk) rc = ControlChange(0, 38, channel);
  return rc;
}

int MidiOutDevice::SendGmSystemOn() {
  static const uint8_t kStored[7] = {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
  return SendSysEx(7, kStored);
}

int MidiOutDevice::SendSysEx(int length, const uint8_t* bytes) {
  if (!port_) return plat::kMidiNotOpen;
  if (!bytes || length < 1) return plat::kMidiInvalParam;
  if (bytes[0] == 0xF0) {
    // The stored form carries the file's length number after F0: one byte up to 127 bytes of
    // message, more (each but the last with bit 7 set, at most four) for longer ones.
    if (length < 2) return plat::kMidiInvalParam;
    int body = 1;
    for (int k = 0; k < 4 && body < length; ++k)
      if ((bytes[body++] & 0x80) == 0) break;
    std::vector<uint8_t> message;
    message.reserve(static_cast<size_t>(length - body) + 1);
    message.push_back(0xF0);
    message.insert(message.end(), bytes + body, bytes + length);
    return port_->Send(message.data(), message.size());
  }
  return port_->Send(bytes, static_cast<size_t>(length));
}
