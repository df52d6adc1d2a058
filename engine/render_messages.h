// What one rendering tells the user: while a RenderMessageScope is open on the thread, each
// program error code is shown once however often the parts meet it.
#pragma once

#include "util/program_errors.h"

class RenderMessageScope {
 public:
  RenderMessageScope() = default;
  RenderMessageScope(const RenderMessageScope&) = delete;
  RenderMessageScope& operator=(const RenderMessageScope&) = delete;

 private:
  ErrorOncePerCodeScope once_;
};
