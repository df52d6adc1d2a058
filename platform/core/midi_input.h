// MIDI input from the ALSA sequencer's readable ports, and the output fallback that plays on a
// silent device when the chosen output cannot be opened.
//
// Short messages arrive packed as status | first << 8 | second << 16 on the input's own thread;
// the receiver hands them on to its own thread. Tests open an input that they feed by hand.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/core/midi_devices.h"

namespace plat {

using MidiInHandler = std::function<void(uint32_t message)>;

class MidiInPort {
 public:
  virtual ~MidiInPort() = default;
  // Starts delivering messages to the handler.
  virtual void Start() = 0;
  // Stops delivering (what midiInReset does); Start resumes.
  virtual void Stop() = 0;
  virtual std::string Name() const = 0;
};

class MidiInBackend {
 public:
  virtual ~MidiInBackend() = default;
  virtual std::vector<std::string> Names() = 0;  // CP932, by index
  // nullptr when the port does not open.
  virtual std::unique_ptr<MidiInPort> Open(int index, MidiInHandler handler) = 0;
};

// The machine's ports (none without a sequencer).
class SystemMidiInBackend : public MidiInBackend {
 public:
  std::vector<std::string> Names() override;
  std::unique_ptr<MidiInPort> Open(int index, MidiInHandler handler) override;
};

// Ports made by hand: Feed delivers a message to the started inputs of a port.
class TestMidiInBackend : public MidiInBackend {
 public:
  void AddPort(const std::string& name);
  std::vector<std::string> Names() override;
  std::unique_ptr<MidiInPort> Open(int index, MidiInHandler handler) override;
  // Delivers on the calling thread (a test's own thread stands for the input's).
  void Feed(int index, uint32_t message);
  int OpenCount() const;

 private:
  struct Input;
  mutable std::mutex mutex_;
  std::vector<std::string> names_;
  std::vector<Input*> inputs_;
  int opens_ = 0;
  friend struct Input;
};

MidiInBackend& CurrentMidiInBackend();
// nullptr restores the machine's ports. The caller keeps ownership.
void InstallMidiInBackend(MidiInBackend* backend);

// Opens by name when a port carries it, else by index; nullptr when neither opens.
std::unique_ptr<MidiInPort> OpenMidiIn(const std::string& name, int index, MidiInHandler handler);

// Wraps the output backend in force: a silent device stands in for one that does not open, so
// that what plays goes on without sound. The first note sounded on such a device tells `report`
// (with the device's id), once for each device until Forget.
class SilentFallbackMidiOutBackend : public MidiOutBackend {
 public:
  SilentFallbackMidiOutBackend(MidiOutBackend& inner, std::function<void(int id)> report);
  int Count() override;
  std::string Name(int id) override;
  std::unique_ptr<MidiOutPort> Open(int id, int* result, std::string* text) override;
  // The next silent note of every device is told again (a new device choice).
  void Forget();
  MidiOutBackend& inner() { return inner_; }

  // What the silent devices share with the backend (they may outlive it on a player's thread).
  struct Reports {
    std::mutex mutex;
    std::set<int> told;
    std::function<void(int)> report;
    void Once(int id);
  };

 private:
  MidiOutBackend& inner_;
  std::shared_ptr<Reports> reports_;
};

}  // namespace plat
