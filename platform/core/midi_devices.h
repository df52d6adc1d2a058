// MIDI output devices.
//
// Device ids: 0 is the built-in software synthesizer (the default device), 1.. are the ALSA
// sequencer's writable ports in the order the sequencer lists them, -1 is the default device
// (the synthesizer). A backend supplies the list; tests install one whose devices record what
// they receive (RecordingMidiOut) or drop it (NullMidiOut).
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/core/clock.h"

namespace plat {

class TimerClock;

// Result codes of the MIDI output calls, numbered as the system's messages expect them.
enum MidiResult : int {
  kMidiOk = 0,
  kMidiError = 1,         // failure with an explanation text
  kMidiBadDeviceId = 2,   // no such device id
  kMidiAllocated = 4,     // the device is in use
  kMidiNoMem = 7,
  kMidiInvalParam = 11,   // malformed message
  kMidiNoDevice = 68,
  kMidiNotOpen = 5,       // sending to a closed device
};

// An opened output. Send and Reset may be called from any one thread at a time per port;
// different ports may be used from different threads.
class MidiOutPort {
 public:
  virtual ~MidiOutPort() = default;
  // One complete message: a channel message of 1 to 3 bytes, or a system-exclusive message
  // from F0 through F7. Returns a MidiResult.
  virtual int Send(const uint8_t* bytes, size_t length) = 0;
  // Ends every sounding note on every channel (what a device reset does).
  virtual int Reset() = 0;
};

class MidiOutBackend {
 public:
  virtual ~MidiOutBackend() = default;
  virtual int Count() = 0;
  // The device's name in CP932; empty for an unknown id.
  virtual std::string Name(int id) = 0;
  // Opens device `id` (-1 = the default device). On failure returns nullptr, sets *result to a
  // MidiResult and *text to a CP932 explanation when there is one (else leaves it empty).
  virtual std::unique_ptr<MidiOutPort> Open(int id, int* result, std::string* text) = 0;
};

// The backend in force: the installed one, else the machine's devices.
MidiOutBackend& CurrentMidiOutBackend();
// nullptr restores the machine's devices. The caller keeps ownership.
void InstallMidiOutBackend(MidiOutBackend* backend);

// Names of every device of the backend in force, by id.
std::vector<std::string> MidiOutDeviceNames();

// The machine's devices: the synthesizer, then the ALSA sequencer's ports.
class SystemMidiOutBackend : public MidiOutBackend {
 public:
  int Count() override;
  std::string Name(int id) override;
  std::unique_ptr<MidiOutPort> Open(int id, int* result, std::string* text) override;
};

// Names (UTF-8 as the sequencer gives them) of the ALSA sequencer's writable ports; empty when
// the machine has no sequencer.
std::vector<std::string> AlsaMidiOutPortNames();

// ---- recording and null devices ----

struct RecordedMidi {
  Clock::TimePoint time;
  std::vector<uint8_t> bytes;  // empty for a reset
  bool reset = false;
  int device = 0;  // id of the device that received it
};

// A thread-safe log of messages, shared by the devices that write into it.
class MidiRecording {
 public:
  void Add(RecordedMidi message);
  std::vector<RecordedMidi> Messages() const;
  // Only the messages (resets left out).
  std::vector<std::vector<uint8_t>> Bytes() const;
  size_t Count() const;
  void Clear();
  // Waits (real time, at most `timeout`) until at least `count` entries are recorded.
  bool WaitForCount(size_t count, std::chrono::milliseconds timeout) const;

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::vector<RecordedMidi> messages_;
};

// Records every message with the time of the timer clock in force when it arrived.
class RecordingMidiOut : public MidiOutPort {
 public:
  RecordingMidiOut(std::shared_ptr<MidiRecording> log, int device, TimerClock* clock = nullptr);
  int Send(const uint8_t* bytes, size_t length) override;
  int Reset() override;

 private:
  std::shared_ptr<MidiRecording> log_;
  int device_;
  TimerClock* clock_;
};

class NullMidiOut : public MidiOutPort {
 public:
  int Send(const uint8_t* bytes, size_t length) override;
  int Reset() override { return kMidiOk; }
};

// A backend of devices made to order, for tests and for machines without sound.
class TestMidiOutBackend : public MidiOutBackend {
 public:
  using Factory = std::function<std::unique_ptr<MidiOutPort>(int id)>;
  // Adds a device whose opens record into the returned log; returns the log.
  std::shared_ptr<MidiRecording> AddRecordingDevice(const std::string& name,
                                                    TimerClock* clock = nullptr);
  void AddNullDevice(const std::string& name);
  void AddDevice(const std::string& name, Factory factory);
  // Opens of `id` fail with `result` (and `text`) until cleared with result 0.
  void SetOpenFailure(int id, int result, const std::string& text = "");
  int OpenCount(int id) const;

  int Count() override;
  std::string Name(int id) override;
  std::unique_ptr<MidiOutPort> Open(int id, int* result, std::string* text) override;

 private:
  struct Device {
    std::string name;
    Factory factory;
    int fail_result = 0;
    std::string fail_text;
    int opens = 0;
  };
  mutable std::mutex mutex_;
  std::vector<Device> devices_;
};

// Checks that a message is complete: a channel message with its data bytes (1 to 3 bytes in
// all) or F0 ... F7. Returns kMidiOk or kMidiInvalParam.
int CheckMidiMessage(const uint8_t* bytes, size_t length);

}  // namespace plat
