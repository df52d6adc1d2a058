#include "engine/engine_session.h"

namespace {

std::recursive_mutex& Door() {
  static std::recursive_mutex door;
  return door;
}

}  // namespace

EngineSession::EngineSession() : lock_(Door()) {}
EngineSession::EngineSession(std::try_to_lock_t) : lock_(Door(), std::try_to_lock) {}
EngineSession::~EngineSession() = default;
