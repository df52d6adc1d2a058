// What one rendering tells the user. While a RenderMessageScope is open on the thread, each
// program error code is shown once however often the parts meet it, and the parts left silent
// because their pattern has no generator yet are collected; when the outermost scope closes,
// one message names every such part with its pattern code.
#pragma once

#include <string>

#include "util/program_errors.h"

class RenderMessageScope {
 public:
  RenderMessageScope();
  ~RenderMessageScope();
  RenderMessageScope(const RenderMessageScope&) = delete;
  RenderMessageScope& operator=(const RenderMessageScope&) = delete;

 private:
  ErrorOncePerCodeScope once_;
};

// Part names as the style settings call them (CP932).
extern const char* const kHarmonyPartName;
extern const char* const kSubHarmonyPartName;
extern const char* const kBassPartName;
extern const char* const kDrumPartName;

// The part plays a pattern whose generator is not there: it keeps its header, lead-in and end
// of track and sounds no note. Outside every scope the message is shown at once.
void NoteSilentPattern(const char* part, int code);

// The text of the message naming the silent parts, in the order they were noted.
std::string SilentPatternText(const std::string& parts);
