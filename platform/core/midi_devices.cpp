#include "platform/core/midi_devices.h"

#include <RtMidi.h>

#include <atomic>
#include <sys/stat.h>

#include "platform/core/encoding.h"
#include "platform/core/synth.h"
#include "platform/core/timer_thread.h"

namespace plat {
namespace {

SystemMidiOutBackend g_system_backend;
std::atomic<MidiOutBackend*> g_backend{nullptr};

const char* const kSynthName = "ソフトウェア シンセサイザー (FluidSynth)";

bool HaveSequencer() {
  struct stat st;
  return stat("/dev/snd/seq", &st) == 0;
}

void SilentRtMidiError(RtMidiError::Type /*type*/, const std::string& /*text*/, void* data) {
  if (data) static_cast<std::atomic<bool>*>(data)->store(true);
}

// A client of the ALSA sequencer; nullptr when the machine has none.
std::unique_ptr<RtMidiOut> NewAlsaClient() {
  if (!HaveSequencer()) return nullptr;
  try {
    auto out = std::make_unique<RtMidiOut>(RtMidi::LINUX_ALSA, "Cantrel");
    out->setErrorCallback(SilentRtMidiError, nullptr);
    return out;
  } catch (const RtMidiError&) {
    return nullptr;
  } catch (const std::exception&) {
    return nullptr;
  }
}

class AlsaMidiOut : public MidiOutPort {
 public:
  explicit AlsaMidiOut(std::unique_ptr<RtMidiOut> out) : out_(std::move(out)) {
    out_->setErrorCallback(SilentRtMidiError, &failed_);
  }
  ~AlsaMidiOut() override {
    try {
      out_->closePort();
    } catch (...) {
    }
  }
  int Send(const uint8_t* bytes, size_t length) override {
    int check = CheckMidiMessage(bytes, length);
    if (check != kMidiOk) return check;
    failed_.store(false);
    try {
      out_->sendMessage(bytes, length);
    } catch (...) {
      return kMidiError;
    }
    return failed_.load() ? kMidiError : kMidiOk;
  }
  int Reset() override {
    int rc = kMidiOk;
    for (uint8_t ch = 0; ch < 16; ++ch) {
      const uint8_t pedal[3] = {static_cast<uint8_t>(0xB0 | ch), 64, 0};
      const uint8_t notes_off[3] = {static_cast<uint8_t>(0xB0 | ch), 123, 0};
      if (Send(pedal, 3) != kMidiOk || Send(notes_off, 3) != kMidiOk) rc = kMidiError;
    }
    return rc;
  }

 private:
  std::unique_ptr<RtMidiOut> out_;
  std::atomic<bool> failed_{false};
};

}  // namespace

int CheckMidiMessage(const uint8_t* b, size_t n) {
  if (!b || n == 0) return kMidiInvalParam;
  uint8_t s = b[0];
  if (s < 0x80) return kMidiInvalParam;
  if (s == 0xF0) return (n >= 2 && b[n - 1] == 0xF7) ? kMidiOk : kMidiInvalParam;
  size_t want;
  switch (s & 0xF0) {
    case 0xC0:
    case 0xD0: want = 2; break;
    case 0xF0:
      // System common and real-time messages.
      want = (s == 0xF2) ? 3 : (s == 0xF1 || s == 0xF3) ? 2 : 1;
      break;
    default: want = 3; break;
  }
  if (n != want) return kMidiInvalParam;
  for (size_t i = 1; i < n; ++i)
    if (b[i] & 0x80) return kMidiInvalParam;
  return kMidiOk;
}

MidiOutBackend& CurrentMidiOutBackend() {
  MidiOutBackend* b = g_backend.load();
  return b ? *b : g_system_backend;
}

void InstallMidiOutBackend(MidiOutBackend* backend) { g_backend.store(backend); }

std::vector<std::string> MidiOutDeviceNames() {
  MidiOutBackend& b = CurrentMidiOutBackend();
  std::vector<std::string> names;
  int n = b.Count();
  for (int i = 0; i < n; ++i) names.push_back(b.Name(i));
  return names;
}

std::vector<std::string> AlsaMidiOutPortNames() {
  std::vector<std::string> names;
  auto client = NewAlsaClient();
  if (!client) return names;
  try {
    unsigned n = client->getPortCount();
    for (unsigned i = 0; i < n; ++i) names.push_back(client->getPortName(i));
  } catch (...) {
    names.clear();
  }
  return names;
}

// ---- SystemMidiOutBackend ----

int SystemMidiOutBackend::Count() {
  return 1 + static_cast<int>(AlsaMidiOutPortNames().size());
}

std::string SystemMidiOutBackend::Name(int id) {
  if (id == 0 || id == -1) return kSynthName;
  if (id < 0) return {};
  auto names = AlsaMidiOutPortNames();
  if (static_cast<size_t>(id - 1) >= names.size()) return {};
  return Utf8ToCp932(names[id - 1]);
}

std::unique_ptr<MidiOutPort> SystemMidiOutBackend::Open(int id, int* result, std::string* text) {
  if (text) text->clear();
  if (id == 0 || id == -1) return OpenSharedSynth(result, text);
  auto fail = [&](int code) -> std::unique_ptr<MidiOutPort> {
    if (result) *result = code;
    return nullptr;
  };
  if (id < 0) return fail(kMidiBadDeviceId);
  auto client = NewAlsaClient();
  if (!client) return fail(kMidiBadDeviceId);
  try {
    if (static_cast<unsigned>(id - 1) >= client->getPortCount()) return fail(kMidiBadDeviceId);
    std::atomic<bool> failed{false};
    client->setErrorCallback(SilentRtMidiError, &failed);
    client->openPort(static_cast<unsigned>(id - 1), "Cantrel output");
    if (failed.load() || !client->isPortOpen()) return fail(kMidiAllocated);
  } catch (...) {
    return fail(kMidiAllocated);
  }
  if (result) *result = kMidiOk;
  return std::make_unique<AlsaMidiOut>(std::move(client));
}

// ---- recording and null devices ----

void MidiRecording::Add(RecordedMidi message) {
  std::lock_guard<std::mutex> g(mutex_);
  messages_.push_back(std::move(message));
  cv_.notify_all();
}

std::vector<RecordedMidi> MidiRecording::Messages() const {
  std::lock_guard<std::mutex> g(mutex_);
  return messages_;
}

std::vector<std::vector<uint8_t>> MidiRecording::Bytes() const {
  std::lock_guard<std::mutex> g(mutex_);
  std::vector<std::vector<uint8_t>> out;
  for (const auto& m : messages_)
    if (!m.reset) out.push_back(m.bytes);
  return out;
}

size_t MidiRecording::Count() const {
  std::lock_guard<std::mutex> g(mutex_);
  return messages_.size();
}

void MidiRecording::Clear() {
  std::lock_guard<std::mutex> g(mutex_);
  messages_.clear();
}

bool MidiRecording::WaitForCount(size_t count, std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lk(mutex_);
  return cv_.wait_for(lk, timeout, [&] { return messages_.size() >= count; });
}

RecordingMidiOut::RecordingMidiOut(std::shared_ptr<MidiRecording> log, int device,
                                   TimerClock* clock)
    : log_(std::move(log)), device_(device), clock_(clock) {}

int RecordingMidiOut::Send(const uint8_t* bytes, size_t length) {
  int check = CheckMidiMessage(bytes, length);
  if (check != kMidiOk) return check;
  TimerClock& clock = clock_ ? *clock_ : CurrentTimerClock();
  RecordedMidi m;
  m.time = clock.Now();
  m.bytes.assign(bytes, bytes + length);
  m.device = device_;
  log_->Add(std::move(m));
  return kMidiOk;
}

int RecordingMidiOut::Reset() {
  TimerClock& clock = clock_ ? *clock_ : CurrentTimerClock();
  RecordedMidi m;
  m.time = clock.Now();
  m.reset = true;
  m.device = device_;
  log_->Add(std::move(m));
  return kMidiOk;
}

int NullMidiOut::Send(const uint8_t* bytes, size_t length) {
  return CheckMidiMessage(bytes, length);
}

// ---- TestMidiOutBackend ----

std::shared_ptr<MidiRecording> TestMidiOutBackend::AddRecordingDevice(const std::string& name,
                                                                      TimerClock* clock) {
  auto log = std::make_shared<MidiRecording>();
  std::lock_guard<std::mutex> g(mutex_);
  int id = static_cast<int>(devices_.size());
  Device d;
  d.name = name;
  d.factory = [log, clock, id](int) { return std::make_unique<RecordingMidiOut>(log, id, clock); };
  devices_.push_back(std::move(d));
  return log;
}

void TestMidiOutBackend::AddNullDevice(const std::string& name) {
  AddDevice(name, [](int) { return std::make_unique<NullMidiOut>(); });
}

void TestMidiOutBackend::AddDevice(const std::string& name, Factory factory) {
  std::lock_guard<std::mutex> g(mutex_);
  Device d;
  d.name = name;
  d.factory = std::move(factory);
  devices_.push_back(std::move(d));
}

void TestMidiOutBackend::SetOpenFailure(int id, int result, const std::string& text) {
  std::lock_guard<std::mutex> g(mutex_);
  if (id == -1) id = 0;
  if (id < 0 || static_cast<size_t>(id) >= devices_.size()) return;
  devices_[id].fail_result = result;
  devices_[id].fail_text = text;
}

int TestMidiOutBackend::OpenCount(int id) const {
  std::lock_guard<std::mutex> g(mutex_);
  if (id == -1) id = 0;
  if (id < 0 || static_cast<size_t>(id) >= devices_.size()) return 0;
  return devices_[id].opens;
}

int TestMidiOutBackend::Count() {
  std::lock_guard<std::mutex> g(mutex_);
  return static_cast<int>(devices_.size());
}

std::string TestMidiOutBackend::Name(int id) {
  std::lock_guard<std::mutex> g(mutex_);
  if (id == -1) id = 0;
  if (id < 0 || static_cast<size_t>(id) >= devices_.size()) return {};
  return devices_[id].name;
}

std::unique_ptr<MidiOutPort> TestMidiOutBackend::Open(int id, int* result, std::string* text) {
  if (text) text->clear();
  Factory factory;
  {
    std::lock_guard<std::mutex> g(mutex_);
    if (id == -1) id = 0;
    if (id < 0 || static_cast<size_t>(id) >= devices_.size()) {
      if (result) *result = devices_.empty() ? kMidiNoDevice : kMidiBadDeviceId;
      return nullptr;
    }
    Device& d = devices_[id];
    ++d.opens;
    if (d.fail_result != 0) {
      if (result) *result = d.fail_result;
      if (text) *text = d.fail_text;
      return nullptr;
    }
    factory = d.factory;
  }
  auto port = factory(id);
  if (result) *result = port ? kMidiOk : kMidiError;
  return port;
}

}  // namespace plat
