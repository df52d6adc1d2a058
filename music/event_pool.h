// Where MIDI events live. A track reading a file, copying a track or turning notes
// into note-offs makes thousands of events at once; while it does, its events come
// from the track's own pool (large blocks cut in turn, no heap call per event)
// rather than one heap allocation each. Everything else about an event stays as it
// was: `new MidiEvent` and `delete event` work wherever the event came from, an
// event may move to another track or outlive its track, and a block goes back to
// the heap once its last event is deleted and its pool is gone.
#pragma once

#include <cstddef>
#include <cstdint>

class EventPool {
 public:
  EventPool() = default;
  ~EventPool();
  EventPool(const EventPool&) = delete;
  EventPool& operator=(const EventPool&) = delete;

  // While a scope lives, every event its thread makes comes from the pool.
  class Scope {
   public:
    explicit Scope(EventPool& pool);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    EventPool* previous_;
  };

  // Memory for an event (from the pool of the thread's scope, else the heap), and its
  // release; every event is allocated and freed through these.
  static void* Allocate(size_t bytes);
  static void Free(void* event);

 private:
  struct Block;
  void* Take(size_t bytes);
  void LetGoOfCurrent();

  Block* current_ = nullptr;  // the block being cut; earlier ones live on in their events
  int64_t cut_ = 0;           // events cut from it so far
};
