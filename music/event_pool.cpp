#include "music/event_pool.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define CANTREL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define CANTREL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define CANTREL_POISON(p, n) ((void)(p), (void)(n))
#define CANTREL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace {

// Every event is preceded by a header naming its block (null for an event from the
// heap). A block counts its live events plus a hold of the pool while the pool cuts
// it; the last to let go frees it. The hold is a count larger than any block's
// events, and the pool counts what it cuts on its own: when it lets go, it gives
// back the hold less the events cut, so cutting an event costs no atomic step and
// the count cannot reach zero while the pool still cuts the block.
constexpr int64_t kPoolHold = int64_t{1} << 60;

struct alignas(std::max_align_t) BlockFields {
  std::atomic<int64_t> refs{kPoolHold};
  size_t used = 0;  // bytes cut from the room after the block's own fields
  size_t size = 0;  // bytes of that room

  unsigned char* Room() { return reinterpret_cast<unsigned char*>(this) + sizeof(BlockFields); }
};

struct alignas(std::max_align_t) Header {
  void* block;   // EventPool::Block*, or null
  size_t bytes;  // the slot with this header, in a block
};

// The room of a usual block: 64 KiB with the block's fields.
constexpr size_t kRoom = 64 * 1024 - sizeof(BlockFields);

size_t Rounded(size_t bytes) {
  const size_t a = alignof(std::max_align_t);
  return (bytes + a - 1) / a * a;
}

// Usual blocks are kept for the next pool when freed, up to 16 MiB (the events of a
// track of about 150,000 events), so that a track read, copied or converted after
// another does not fault fresh pages in: a block from the system costs more in page
// faults than filling it with events.
class SpareBlocks {
 public:
  void* Take(size_t room) {
    if (room == kRoom) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (!spare_.empty()) {
        void* block = spare_.back();
        spare_.pop_back();
        return block;
      }
    }
    return std::malloc(sizeof(BlockFields) + room);
  }
  void Give(void* block, size_t room) {
    if (room == kRoom) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (spare_.size() < kKept) {
        spare_.push_back(block);
        return;
      }
    }
    std::free(block);
  }

 private:
  static constexpr size_t kKept = 256;
  std::mutex mutex_;
  std::vector<void*> spare_;
};

SpareBlocks& Spares() {
  static SpareBlocks* spares = new SpareBlocks;  // lives as long as the process
  return *spares;
}

thread_local EventPool* t_pool = nullptr;

}  // namespace

struct EventPool::Block : BlockFields {
  void Release(int64_t count);
};

void EventPool::Block::Release(int64_t count) {
  if (refs.fetch_sub(count, std::memory_order_acq_rel) == count) {
    const size_t room = size;
    static_assert(sizeof(Block) == sizeof(BlockFields), "a block is its fields");
    this->~Block();
    Spares().Give(this, room);
  }
}

void EventPool::LetGoOfCurrent() {
  if (current_ != nullptr) current_->Release(kPoolHold - cut_);
  current_ = nullptr;
  cut_ = 0;
}

EventPool::~EventPool() { LetGoOfCurrent(); }

EventPool::Scope::Scope(EventPool& pool) : previous_(t_pool) { t_pool = &pool; }

EventPool::Scope::~Scope() { t_pool = previous_; }

void* EventPool::Take(size_t bytes) {
  const size_t need = sizeof(Header) + Rounded(bytes);
  if (current_ == nullptr || current_->size - current_->used < need) {
    const size_t room = need > kRoom ? need : kRoom;
    void* raw = Spares().Take(room);
    if (raw == nullptr) return nullptr;
    CANTREL_UNPOISON(raw, sizeof(BlockFields) + room);
    Block* fresh = new (raw) Block;
    fresh->size = room;
    LetGoOfCurrent();  // the pool lets go of the full block
    current_ = fresh;
  }
  unsigned char* at = current_->Room() + current_->used;
  current_->used += need;
  ++cut_;
  new (at) Header{current_, need};
  return at + sizeof(Header);
}

void* EventPool::Allocate(size_t bytes) {
  if (t_pool != nullptr) {
    if (void* p = t_pool->Take(bytes)) return p;
  }
  void* raw = std::malloc(sizeof(Header) + bytes);
  if (raw == nullptr) throw std::bad_alloc();
  new (raw) Header{nullptr, 0};
  return static_cast<unsigned char*>(raw) + sizeof(Header);
}

void EventPool::Free(void* event) {
  if (event == nullptr) return;
  auto* header = reinterpret_cast<Header*>(static_cast<unsigned char*>(event) - sizeof(Header));
  if (header->block == nullptr) {
    std::free(header);
  } else {
    // A slot is never cut twice: under AddressSanitizer a freed one stays poisoned, so
    // that a use after delete is caught as with heap events.
    auto* block = static_cast<Block*>(header->block);
    CANTREL_POISON(header, header->bytes);
    block->Release(1);
  }
}
