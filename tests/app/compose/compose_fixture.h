// What the worker's tests share: a clean engine and built-in styles, requests for songs made as
// a user makes them, and the worker run on the test's thread with its reports kept.
#pragma once

#include "tests/arrange/render/render_fixture.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/compose_worker.h"
#include "arrange/ckv_algo.h"
#include "engine/engine_state.h"
#include "song/song_data.h"
#include "style/engine_services.h"
#include "style/style_table.h"
#include "tests/support/test_support.h"

namespace compose_test {

inline std::filesystem::path Folder() { return cantrel_test::TempDir(); }

inline std::set<std::string> Names(const std::filesystem::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(folder, ec))
    names.insert(e.path().filename().string());
  return names;
}

inline std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
  return render_test::ReadBytes(path);
}

// Two bars of 4/4 in C: quarters and eighths, most of them sung, a rest between.
inline render_test::SongSpec SungSong() {
  render_test::SongSpec spec;
  spec.bars = 2;
  spec.chords = {"C", "G"};
  spec.tones = {{60, 4, "ha"},  {62, 2, "ru"}, {64, 2, "no"}, {-1, 4},
                {67, 4, "u"},   {65, 2},       {64, 2, "ta"}, {62, 4, "o"},
                {60, 8, "to"}};
  return spec;
}

class ComposeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetStyleModule();
    ResetEngineServices();
    ResetEngineState();
    CKVAlgo::Initialize();
    cantrel_test::Sink().Clear();
  }
  void TearDown() override {
    ResetEngineState();
    ResetEngineServices();
    ResetStyleModule();
  }

  // A request as the main window fills it, in a built-in style, with a fixed seed.
  ComposeRequest Request(const render_test::SongSpec& spec, const std::filesystem::path& out,
                         uint32_t message) {
    ComposeRequest r;
    r.song = render_test::MakeSong(spec);
    r.style = StyleTableSlot(0, 1);
    r.barCount = spec.bars;
    r.metreIndex = spec.beats_per_bar == 4 ? 0 : 1;
    r.styleSlot = 1;
    r.category = 0;
    r.tempo = 120;
    r.outputPath = out;
    r.completionMessage = message;
    r.melodyInstrument = 0;
    r.secondMelodyInstrument = 256;
    r.harmonyInstrument = -1;
    r.subHarmonyInstrument = -1;
    r.seed = 3;
    return r;
  }

  // Runs the worker's work here; `step` is called at each step the engine reports.
  bool RunWatching(ComposeRequest& r, const std::function<void()>& step) {
    posts_.clear();
    return ComposeThreadProc(r, [&](uint32_t message, uintptr_t wparam) {
      posts_.emplace_back(message, wparam);
      if (message == kMsgComposeStep && step) step();
    });
  }
  bool Run(ComposeRequest& r) { return RunWatching(r, nullptr); }

  std::vector<std::pair<uint32_t, uintptr_t>> posts_;
};

}  // namespace compose_test
