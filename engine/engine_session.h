// The door to the composition engine: one composition at a time. The engine keeps its working
// state for the whole process (engine/engine_store.h, and the current style and the engine
// services below it), so a composition that another thread's composition interleaves with would
// read and write the other's values. Whoever composes opens a session for the whole of one
// composition: the facade's entry points and the renderer open one each (sessions on the same
// thread nest), the compose worker holds one for its whole road, from the import to the lyrics.
//
// A thread that must never wait for a composition (the window's thread: the worker's message
// boxes wait for it) tries the door instead and refuses its command when the door is closed.
#pragma once

#include <mutex>

class EngineSession {
 public:
  // Waits until no other thread composes.
  EngineSession();
  // Does not wait: owns() says whether the door was open.
  explicit EngineSession(std::try_to_lock_t);
  ~EngineSession();
  EngineSession(const EngineSession&) = delete;
  EngineSession& operator=(const EngineSession&) = delete;

  bool owns() const { return lock_.owns_lock(); }

 private:
  std::unique_lock<std::recursive_mutex> lock_;
};
