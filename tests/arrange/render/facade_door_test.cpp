// The facade's operations open the engine's door: called while another thread composes, each
// goes in only once that composition has left.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "arrange/ckv_algo.h"
#include "tests/arrange/render/render_fixture.h"
#include "tests/engine/door_holder.h"

namespace {

class FacadeDoorTest : public EngineTest {};

TEST_F(FacadeDoorTest, EachOperationWaitsWhileAnotherThreadComposes) {
  render_test::SongSpec spec;
  spec.chords = {"C", "G"};
  spec.tones = {{64, 4, "a"}, {67, 8}};
  auto song = render_test::MakeSong(spec);
  const auto path = cantrel_test::TempDir() / "door.mid";
  const std::pair<const char*, std::function<void()>> operations[] = {
      {"Initialize", [] { CKVAlgo::Initialize(); }},
      {"ImportSongToEngine",
       [&] { CKVAlgo::ImportSongToEngine(*song, spec.bars, 4, kComposeMelodyNoteLimit); }},
      {"PrepareSongRendering", [] { CKVAlgo::PrepareSongRendering(73, 120, -1, -1, 1, 0); }},
      {"EnableMelodyDouble", [] { CKVAlgo::EnableMelodyDouble(); }},
      {"Compose", [&] { CKVAlgo::Compose(path, nullptr, nullptr, ComposeProgress()); }},
      {"AddLyricsToMidi", [&] { CKVAlgo::AddLyricsToMidi(*song, path, 0); }},
  };
  for (const auto& [name, operation] : operations) {
    std::atomic<bool> started{false}, left{false};
    bool done_after_leaving = false;
    std::thread caller;
    {
      engine_test::DoorHolder other;
      caller = std::thread([&] {
        started = true;
        operation();
        done_after_leaving = left.load();
      });
      while (!started.load()) std::this_thread::yield();
      left = true;
      other.Leave();
    }
    caller.join();
    EXPECT_TRUE(done_after_leaving) << name;
  }
  EXPECT_GT(std::filesystem::file_size(path), 0u);
}

}  // namespace
