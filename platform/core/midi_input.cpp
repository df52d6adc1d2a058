#include "platform/core/midi_input.h"

#include <RtMidi.h>

#include <algorithm>
#include <atomic>
#include <sys/stat.h>

#include "platform/core/encoding.h"

namespace plat {
namespace {

SystemMidiInBackend g_system_in;
std::atomic<MidiInBackend*> g_in_backend{nullptr};

void SilentError(RtMidiError::Type, const std::string&, void*) {}

std::unique_ptr<RtMidiIn> NewAlsaInput() {
  struct stat st;
  if (stat("/dev/snd/seq", &st) != 0) return nullptr;
  try {
    auto in = std::make_unique<RtMidiIn>(RtMidi::LINUX_ALSA, "Cantrel");
    in->setErrorCallback(SilentError, nullptr);
    return in;
  } catch (...) {
    return nullptr;
  }
}

class AlsaMidiIn : public MidiInPort {
 public:
  AlsaMidiIn(std::unique_ptr<RtMidiIn> in, std::string name, MidiInHandler handler)
      : in_(std::move(in)), name_(std::move(name)), handler_(std::move(handler)) {
    // System-exclusive, timing and active sensing are not wanted.
    in_->ignoreTypes(true, true, true);
    in_->setCallback(&AlsaMidiIn::OnMessage, this);
  }
  ~AlsaMidiIn() override {
    try {
      in_->cancelCallback();
      in_->closePort();
    } catch (...) {
    }
  }
  void Start() override { running_ = true; }
  void Stop() override { running_ = false; }
  std::string Name() const override { return name_; }

 private:
  // Runs on RtMidi's thread.
  static void OnMessage(double, std::vector<unsigned char>* bytes, void* self) {
    auto* me = static_cast<AlsaMidiIn*>(self);
    if (!me->running_ || !bytes || bytes->empty() || bytes->size() > 3) return;
    uint32_t packed = 0;
    for (size_t i = 0; i < bytes->size(); ++i) packed |= static_cast<uint32_t>((*bytes)[i]) << (8 * i);
    me->handler_(packed);
  }
  std::unique_ptr<RtMidiIn> in_;
  std::string name_;
  MidiInHandler handler_;
  std::atomic<bool> running_{false};
};

}  // namespace

std::vector<std::string> SystemMidiInBackend::Names() {
  std::vector<std::string> names;
  auto in = NewAlsaInput();
  if (!in) return names;
  try {
    const unsigned n = in->getPortCount();
    for (unsigned i = 0; i < n; ++i) names.push_back(Utf8ToCp932(in->getPortName(i)));
  } catch (...) {
    names.clear();
  }
  return names;
}

std::unique_ptr<MidiInPort> SystemMidiInBackend::Open(int index, MidiInHandler handler) {
  auto in = NewAlsaInput();
  if (!in || index < 0) return nullptr;
  try {
    if (static_cast<unsigned>(index) >= in->getPortCount()) return nullptr;
    std::string name = Utf8ToCp932(in->getPortName(static_cast<unsigned>(index)));
    in->openPort(static_cast<unsigned>(index), "Cantrel In");
    return std::make_unique<AlsaMidiIn>(std::move(in), std::move(name), std::move(handler));
  } catch (...) {
    return nullptr;
  }
}

// ---- inputs made by hand ----

struct TestMidiInBackend::Input : MidiInPort {
  Input(TestMidiInBackend* owner, int index, MidiInHandler handler)
      : owner_(owner), index_(index), handler_(std::move(handler)) {}
  ~Input() override {
    std::lock_guard<std::mutex> g(owner_->mutex_);
    auto& v = owner_->inputs_;
    v.erase(std::remove(v.begin(), v.end(), this), v.end());
  }
  void Start() override { running_ = true; }
  void Stop() override { running_ = false; }
  std::string Name() const override {
    std::lock_guard<std::mutex> g(owner_->mutex_);
    return owner_->names_[static_cast<size_t>(index_)];
  }
  TestMidiInBackend* owner_;
  int index_;
  MidiInHandler handler_;
  std::atomic<bool> running_{false};
};

void TestMidiInBackend::AddPort(const std::string& name) {
  std::lock_guard<std::mutex> g(mutex_);
  names_.push_back(name);
}

std::vector<std::string> TestMidiInBackend::Names() {
  std::lock_guard<std::mutex> g(mutex_);
  return names_;
}

std::unique_ptr<MidiInPort> TestMidiInBackend::Open(int index, MidiInHandler handler) {
  std::lock_guard<std::mutex> g(mutex_);
  if (index < 0 || static_cast<size_t>(index) >= names_.size()) return nullptr;
  ++opens_;
  auto input = std::make_unique<Input>(this, index, std::move(handler));
  inputs_.push_back(input.get());
  return input;
}

void TestMidiInBackend::Feed(int index, uint32_t message) {
  std::vector<MidiInHandler> handlers;
  {
    std::lock_guard<std::mutex> g(mutex_);
    for (Input* in : inputs_) {
      if (in->index_ == index && in->running_) handlers.push_back(in->handler_);
    }
  }
  for (auto& h : handlers) h(message);
}

int TestMidiInBackend::OpenCount() const {
  std::lock_guard<std::mutex> g(mutex_);
  return opens_;
}

MidiInBackend& CurrentMidiInBackend() {
  MidiInBackend* b = g_in_backend.load();
  return b ? *b : g_system_in;
}

void InstallMidiInBackend(MidiInBackend* backend) { g_in_backend.store(backend); }

std::unique_ptr<MidiInPort> OpenMidiIn(const std::string& name, int index, MidiInHandler handler) {
  MidiInBackend& backend = CurrentMidiInBackend();
  // Ports are renumbered as devices come and go: the name finds the same device again.
  if (!name.empty()) {
    const std::vector<std::string> names = backend.Names();
    for (size_t i = 0; i < names.size(); ++i) {
      if (names[i] == name) return backend.Open(static_cast<int>(i), std::move(handler));
    }
  }
  return backend.Open(index, std::move(handler));
}

// ---- silent fallback of the output ----

namespace {

class SilentPort : public MidiOutPort {
 public:
  SilentPort(std::shared_ptr<SilentFallbackMidiOutBackend::Reports> reports, int id)
      : reports_(std::move(reports)), id_(id) {}
  int Send(const uint8_t* bytes, size_t length) override {
    const int check = CheckMidiMessage(bytes, length);
    if (check == kMidiOk && !told_ && length == 3 && (bytes[0] & 0xF0) == 0x90 && bytes[2] > 0) {
      told_ = true;
      reports_->Once(id_);
    }
    return check;
  }
  int Reset() override { return kMidiOk; }

 private:
  std::shared_ptr<SilentFallbackMidiOutBackend::Reports> reports_;
  int id_;
  bool told_ = false;
};

}  // namespace

void SilentFallbackMidiOutBackend::Reports::Once(int id) {
  std::function<void(int)> call;
  {
    std::lock_guard<std::mutex> g(mutex);
    if (!told.insert(id).second) return;
    call = report;
  }
  if (call) call(id);
}

SilentFallbackMidiOutBackend::SilentFallbackMidiOutBackend(MidiOutBackend& inner,
                                                           std::function<void(int)> report)
    : inner_(inner), reports_(std::make_shared<Reports>()) {
  reports_->report = std::move(report);
}

int SilentFallbackMidiOutBackend::Count() { return std::max(1, inner_.Count()); }

std::string SilentFallbackMidiOutBackend::Name(int id) { return inner_.Name(id); }

std::unique_ptr<MidiOutPort> SilentFallbackMidiOutBackend::Open(int id, int* result,
                                                                std::string* text) {
  int r = kMidiError;
  std::string t;
  std::unique_ptr<MidiOutPort> port = inner_.Open(id, &r, &t);
  if (!port) port = std::make_unique<SilentPort>(reports_, id);
  if (result) *result = kMidiOk;
  if (text) text->clear();
  return port;
}

void SilentFallbackMidiOutBackend::Forget() {
  std::lock_guard<std::mutex> g(reports_->mutex);
  reports_->told.clear();
}

}  // namespace plat
