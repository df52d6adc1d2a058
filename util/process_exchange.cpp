#include "util/process_exchange.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <functional>
#include <map>
#include <thread>

#include "platform/core/process.h"
#include "util/gne.h"

namespace {

// ---- Ports ----

std::mutex& RegistryMutex() {
  static std::mutex m;
  return m;
}
std::map<int, MessagePort*>& Registry() {
  static std::map<int, MessagePort*> ports;
  return ports;
}

// An abstract local socket address, private to the user: "cantrel-<uid>-w<number>".
socklen_t PortAddress(int number, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  const std::string name = "cantrel-" + std::to_string(getuid()) + "-w" + std::to_string(number);
  std::memcpy(addr->sun_path + 1, name.data(), name.size());
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

constexpr size_t kWireSize = 20;

void Encode(const PortMessage& m, uint8_t* out) {
  std::memcpy(out, &m.message, 4);
  std::memcpy(out + 4, &m.w, 8);
  std::memcpy(out + 12, &m.l, 8);
}

PortMessage Decode(const uint8_t* in) {
  PortMessage m;
  std::memcpy(&m.message, in, 4);
  std::memcpy(&m.w, in + 4, 8);
  std::memcpy(&m.l, in + 12, 8);
  return m;
}

// ---- The shared segment ----

constexpr uint32_t kReadyMagic = 0x43584348;  // written last by the creator
constexpr size_t kReadyOffset = 1088;
constexpr size_t kUsersOffset = 1092;
constexpr size_t kDeadOffset = 1096;          // set by the last user before the name goes
static_assert(kExchangeLockOffset + sizeof(pthread_mutex_t) <= kReadyOffset, "layout");

uint32_t* Field(uint8_t* view, size_t offset) { return reinterpret_cast<uint32_t*>(view + offset); }
pthread_mutex_t* LockOf(uint8_t* view) {
  return reinterpret_cast<pthread_mutex_t*>(view + kExchangeLockOffset);
}

bool WaitFor(const std::function<bool()>& done) {
  for (int i = 0; i < 1000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return done();
}

}  // namespace

MessagePort::MessagePort(int number) : number_(number) {
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    if (Registry().count(number) != 0) return;
    Registry()[number] = this;
    registered_ = true;
  }
  socket_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  sockaddr_un addr;
  const socklen_t len = PortAddress(number, &addr);
  ok_ = socket_ >= 0 && wake_ >= 0 && bind(socket_, reinterpret_cast<sockaddr*>(&addr), len) == 0;
}

MessagePort::~MessagePort() {
  if (registered_) {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    Registry().erase(number_);
  }
  if (socket_ >= 0) close(socket_);
  if (wake_ >= 0) close(wake_);
}

void MessagePort::Push(const PortMessage& m) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(m);
  }
  const uint64_t one = 1;
  const ssize_t ignored = write(wake_, &one, sizeof one);
  (void)ignored;
}

bool MessagePort::Receive(PortMessage* out, int timeout_ms) {
  if (!ok_) return false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!queue_.empty()) {
        *out = queue_.front();
        queue_.pop_front();
        return true;
      }
    }
    uint8_t wire[kWireSize + 1];
    const ssize_t n = recv(socket_, wire, sizeof wire, 0);
    if (n == static_cast<ssize_t>(kWireSize)) {
      *out = Decode(wire);
      return true;
    }
    if (n >= 0) continue;  // a datagram of the wrong size is dropped
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd fds[2] = {{socket_, POLLIN, 0}, {wake_, POLLIN, 0}};
    poll(fds, 2, static_cast<int>(left.count()) + 1);
    if (fds[1].revents & POLLIN) {
      uint64_t count = 0;
      const ssize_t ignored = read(wake_, &count, sizeof count);
      (void)ignored;
    }
  }
}

bool PostPortMessage(int number, uint32_t message, int64_t w, int64_t l) {
  const PortMessage m{message, w, l};
  {
    std::lock_guard<std::mutex> lock(RegistryMutex());
    auto it = Registry().find(number);
    if (it != Registry().end()) {
      if (!it->second->ok()) return false;
      it->second->Push(m);
      return true;
    }
  }
  const int s = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (s < 0) return false;
  sockaddr_un addr;
  const socklen_t len = PortAddress(number, &addr);
  uint8_t wire[kWireSize];
  Encode(m, wire);
  const bool sent = sendto(s, wire, sizeof wire, MSG_DONTWAIT | MSG_NOSIGNAL,
                           reinterpret_cast<sockaddr*>(&addr), len) == static_cast<ssize_t>(sizeof wire);
  close(s);
  return sent;
}

// ---- The exchange ----

CProcessDataExchange::CProcessDataExchange(int window, uint32_t message, const char* name)
    : name_(name != nullptr ? name : kExchangeName), window_(window), message_(message) {
  for (int attempt = 0; attempt < 4 && view_ == nullptr; ++attempt) {
    int fd = shm_open(name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    const bool creator = fd >= 0;
    if (!creator) {
      if (errno != EEXIST) break;
      fd = shm_open(name_.c_str(), O_RDWR | O_CLOEXEC, 0);
      if (fd < 0) {
        if (errno == ENOENT) continue;  // the last user just removed it: create it anew
        break;
      }
    }
    if (creator && ftruncate(fd, kExchangeMappingSize) != 0) {
      close(fd);
      shm_unlink(name_.c_str());
      break;
    }
    const bool sized = WaitFor([fd] {
      struct stat st;
      return fstat(fd, &st) == 0 && st.st_size >= static_cast<off_t>(kExchangeMappingSize);
    });
    void* map = sized ? mmap(nullptr, kExchangeMappingSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0)
                      : MAP_FAILED;
    if (map == MAP_FAILED) {
      close(fd);
      if (!sized) shm_unlink(name_.c_str());  // a creator died half way: start again
      continue;
    }
    uint8_t* view = static_cast<uint8_t*>(map);
    if (creator) {
      pthread_mutexattr_t attr;
      pthread_mutexattr_init(&attr);
      pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_SHARED);
      pthread_mutexattr_setrobust(&attr, PTHREAD_MUTEX_ROBUST);
      const bool made = pthread_mutex_init(LockOf(view), &attr) == 0;
      pthread_mutexattr_destroy(&attr);
      if (!made) {
        munmap(map, kExchangeMappingSize);
        close(fd);
        shm_unlink(name_.c_str());
        break;
      }
      __atomic_store_n(Field(view, kReadyOffset), kReadyMagic, __ATOMIC_RELEASE);
    } else if (!WaitFor([view] {
                 return __atomic_load_n(Field(view, kReadyOffset), __ATOMIC_ACQUIRE) == kReadyMagic;
               })) {
      munmap(map, kExchangeMappingSize);
      close(fd);
      shm_unlink(name_.c_str());  // never made ready: a creator died half way
      continue;
    }
    view_ = view;
    fd_ = fd;
    if (!Lock()) {
      view_ = nullptr;
      munmap(map, kExchangeMappingSize);
      close(fd);
      fd_ = -1;
      break;
    }
    if (*Field(view, kDeadOffset) != 0) {
      // The last user is removing this segment: take a fresh one.
      Unlock();
      view_ = nullptr;
      munmap(map, kExchangeMappingSize);
      close(fd);
      fd_ = -1;
      continue;
    }
    ++*Field(view, kUsersOffset);
    Unlock();
  }
  if (view_ == nullptr) GneReportError(0, name_.c_str());
}

CProcessDataExchange::~CProcessDataExchange() {
  if (view_ == nullptr) return;
  if (Lock()) {
    uint32_t* users = Field(view_, kUsersOffset);
    if (*users > 0) --*users;
    if (*users == 0) {
      *Field(view_, kDeadOffset) = 1;
      shm_unlink(name_.c_str());
    }
    Unlock();
  }
  munmap(view_, kExchangeMappingSize);
  close(fd_);
}

bool CProcessDataExchange::Lock() {
  const int rc = pthread_mutex_lock(LockOf(view_));
  if (rc == EOWNERDEAD) {
    // The holder died inside the lock; the text may be half written, which Read bounds anyway.
    pthread_mutex_consistent(LockOf(view_));
    return true;
  }
  return rc == 0;
}

void CProcessDataExchange::Unlock() { pthread_mutex_unlock(LockOf(view_)); }

bool CProcessDataExchange::StartProcess(const std::filesystem::path& program, int a, int b) {
  return plat::StartProgram(program, {"/w" + std::to_string(a), "/m" + std::to_string(b)});
}

bool CProcessDataExchange::Write(const char* text, int64_t w, int64_t l) {
  if (view_ == nullptr || text == nullptr) return false;
  const size_t n = strnlen(text, kExchangeViewSize);
  if (n >= kExchangeViewSize) return false;
  if (!Lock()) return false;
  std::memcpy(view_, text, n + 1);
  Unlock();
  return PostPortMessage(window_, message_, w, l);
}

bool CProcessDataExchange::Read(std::string* out, int window, uint32_t reply) {
  if (view_ == nullptr || out == nullptr) return false;
  if (!Lock()) return false;
  const size_t n = strnlen(reinterpret_cast<const char*>(view_), kExchangeViewSize - 1);
  out->assign(reinterpret_cast<const char*>(view_), n);
  Unlock();
  if (window != 0 && reply != 0) {
    window_ = window;
    reply_ = reply;
  }
  return true;
}

bool CProcessDataExchange::PostReply() {
  if (view_ == nullptr || reply_ == 0) return false;
  return PostPortMessage(window_, reply_, 0, 0);
}

bool CProcessDataExchange::PostQuit() {
  if (view_ == nullptr) return false;
  return PostPortMessage(window_, kWmQuit, 0, 0);
}
