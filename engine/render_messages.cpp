#include "engine/render_messages.h"

#include <string>
#include <vector>

#include "util/gne.h"

const char* const kHarmonyPartName = "ハーモニー";
const char* const kSubHarmonyPartName = "サブハーモニー";
const char* const kBassPartName = "ベース";
const char* const kDrumPartName = "ドラム";

namespace {

struct SilentPart {
  std::string part;
  int code;
};

struct RenderMessageState {
  int depth = 0;
  std::vector<SilentPart> silent;
};
thread_local RenderMessageState render_messages;

std::string ListOf(const std::vector<SilentPart>& parts) {
  std::string list;
  for (const SilentPart& p : parts) {
    if (!list.empty()) list += "、";
    list += p.part + "（パターン " + std::to_string(p.code) + "）";
  }
  return list;
}

}  // namespace

std::string SilentPatternText(const std::string& parts) {
  return "次のパートはパターンがまだ用意されていないため、音が出ません：\n" + parts;
}

RenderMessageScope::RenderMessageScope() { ++render_messages.depth; }

RenderMessageScope::~RenderMessageScope() {
  if (--render_messages.depth > 0) return;
  std::vector<SilentPart> silent;
  silent.swap(render_messages.silent);
  if (!silent.empty()) GneMessageBox(SilentPatternText(ListOf(silent)));
}

void NoteSilentPattern(const char* part, int code) {
  if (render_messages.depth == 0) {
    GneMessageBox(SilentPatternText(ListOf({{part, code}})));
    return;
  }
  for (const SilentPart& p : render_messages.silent)
    if (p.part == part && p.code == code) return;
  render_messages.silent.push_back({part, code});
}
