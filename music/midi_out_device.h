// The opened MIDI-out device: channel messages, GM System On and stored system-exclusive data.
// Every failure is reported in the module's own box (tag "MDCT").
#pragma once

#include <cstdint>
#include <memory>

#include "platform/core/midi_devices.h"

// Error codes of the MIDI-out module (tag "MDCT").
constexpr uint32_t kMdctOpenFailed = 0x07000001;
constexpr uint32_t kMdctCloseFailed = 0x07000002;
constexpr uint32_t kMdctProgramFailed = 0x07000003;
constexpr uint32_t kMdctSysExFailed = 0x07000004;
constexpr uint32_t kMdctBadParameter = 0x07000005;

// The default device (the built-in synthesizer).
constexpr int kMidiMapper = -1;

// Process-wide state of the module.
struct MidiOutModuleState {
  // The message for a machine without any device appears once per run.
  bool no_device_warning_pending = true;
};
MidiOutModuleState& MidiOutModule();
void ResetMidiOutModule();

class MidiOutDevice {
 public:
  MidiOutDevice();                      // the default device (mapper)
  explicit MidiOutDevice(int device_id);
  ~MidiOutDevice() = default;
  MidiOutDevice(const MidiOutDevice&) = delete;
  MidiOutDevice& operator=(const MidiOutDevice&) = delete;

  // Opens the device; a failure shows its messages and leaves the device closed (test IsOpen).
  void Open(int device_id);
  // Silences the device (a failure shows 0x07000002) and closes it. Nothing when not open.
  void Close();
  bool IsOpen() const { return port_ != nullptr; }

  // Every sending operation returns 0 on success, else a plat::MidiResult code.
  // Channels are 0-15; larger numbers (the second port's 16-31) are reduced to their low nibble.
  int NoteOff(int note, int channel);
  int NoteOn(int note, int velocity, int channel);  // velocity above 127 goes as 127
  int ProgramChange(int program, int channel);      // a failure shows 0x07000003
  int ControlChange(int value, int controller, int channel);
  // status | first << 8 | second << 16 as one short message (data bytes keep their low 7 bits).
  int ShortMessage(int second, int first, int status);
  int AllNotesOff(int channel);
  int AllNotesOffAllChannels();
  int PitchBend(int range_value, int cents, int channel);
  int SetBendRange(int semitones, int channel);
  int SendGmSystemOn();
  // Stored system-exclusive data (F0, the file's length number, the message, F7) goes out as
  // the message F0 ... F7 without the length number; other data goes out unchanged. Exactly the
  // message's bytes are sent, however long; stored data of fewer than 2 bytes is refused.
  int SendSysEx(int length, const uint8_t* bytes);

  static void ErrorMsg(uint32_t code);

  plat::MidiOutPort* port() const { return port_.get(); }

 private:
  std::unique_ptr<plat::MidiOutPort> port_;
};
