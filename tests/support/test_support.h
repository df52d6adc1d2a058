// Shared test scaffolding. The test mains install, before every test, a fresh RecordingSink for
// message boxes, a FakeClock (no real sleeping; a fixed calendar date), an exit handler that
// throws plat::ProgramExit, a fresh temporary user data folder, and reseed the generator with 1.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/core/clock.h"
#include "platform/core/message_sink.h"

namespace cantrel_test {

plat::RecordingSink& Sink();
plat::FakeClock& Clock();

// For its lifetime, boxes are answered OK and not kept (mutation tests raise thousands); the
// test's recorder comes back when it ends.
class QuietBoxes : public plat::MessageSink {
 public:
  QuietBoxes();
  ~QuietBoxes() override;
  QuietBoxes(const QuietBoxes&) = delete;
  QuietBoxes& operator=(const QuietBoxes&) = delete;
  int Show(plat::BoxKind kind, const std::string& text) override;
};

// A fresh empty folder for the running test, removed after it.
std::filesystem::path TempDir();

// The whole file as bytes (none when it cannot be read), and bytes written as a whole file.
std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes);

// tests/data/<relative>.
std::filesystem::path DataPath(const std::string& relative);
std::filesystem::path SourceDir();

// Runs an outside program (argv[0] looked up on PATH); returns its exit status, or -1 when it
// could not be started. Its standard output goes to *out when given.
int RunTool(const std::vector<std::string>& argv, std::string* out = nullptr,
            const std::string& stdin_text = std::string());
// True when the program can be found on PATH (or is an existing absolute path).
bool HaveTool(const std::string& name);

// Shell lines (for an sh script) that start a private X server of the given size and export
// DISPLAY to it. The server picks a free display itself, so tests running side by side never
// share one (as `xvfb-run -a` may), and it answers a client before the lines end; a server that
// does not is started again. XvfbStopLines() ends it. Needs the programs Xvfb and xdpyinfo.
std::string XvfbStartLines(int width, int height, const std::filesystem::path& folder);
std::string XvfbStopLines();

// The Python with mido (Debian's), or empty when it is missing (asked once per process).
std::string PythonWithMido();
// mido's reading of a MIDI file, one sorted line per event of interest, with absolute ticks:
//   "note channel tick pitch velocity length" (each note-on paired with the first later
//   note-off of its key), "program channel tick value", "cc channel tick number value" (1, 7
//   and 10), "bend channel tick value" (0-16383), "tempo tick microseconds", "marker tick text".
// False when mido is missing or refuses the file.
bool MidoEventLines(const std::filesystem::path& file, int* division,
                    std::vector<std::string>* lines);

// Mutation tests: an index 0 .. bound-1 from the system's seeded generator (0 for bound 0),
// and a text mutated from one of the seeds: cut, sprinkled with the given symbols and with
// random bytes, spliced with pieces of other seeds, or given a long run of one symbol.
size_t DrawIndex(size_t bound);
std::string MutateText(const std::vector<std::string>& seeds, const std::string& symbols);

// Outside programs and installed data that tests compare with. When one is missing the test
// skips with its reason; when the environment sets CANTREL_REQUIRE_TOOLS (tools/test does, after
// tools/deps has installed them all) a missing one fails the test instead, so nothing that
// should have been checked passes unchecked. Usable in a test body and in void helpers (a helper
// returns; the test is then reported as skipped, or failed).
bool OutsideToolsRequired();
#define CANTREL_NEED(available, what)                                                     \
  do {                                                                                    \
    if (!(available)) {                                                                   \
      if (::cantrel_test::OutsideToolsRequired()) {                                       \
        FAIL() << "missing " << (what) << " (CANTREL_REQUIRE_TOOLS is set; tools/deps "   \
               << "installs it)";                                                         \
      } else {                                                                            \
        GTEST_SKIP() << "missing " << (what);                                             \
      }                                                                                   \
    }                                                                                     \
  } while (0)
// An outside program on PATH.
#define CANTREL_NEED_TOOL(name) \
  CANTREL_NEED(::cantrel_test::HaveTool(name), std::string("the program ") + (name))
// Python 3 with mido (python3-mido).
#define CANTREL_NEED_MIDO() \
  CANTREL_NEED(!::cantrel_test::PythonWithMido().empty(), "python3 with mido (python3-mido)")

// How many inputs one shard of a seeded mutation test feeds its fuzz entry: `short_run`
// normally (CI), and when CANTREL_FUZZ_LONG is set, by hand, its share of that many (a number)
// or of a million (anything else):
//   CANTREL_FUZZ_LONG=1 build/test/tests/test_song_fuzz
int64_t FuzzInputs(int64_t short_run, int shards = 1);
bool FuzzLongMode();
// In the long mode, prints inputs per second now and then and at the end; silent otherwise.
class FuzzProgress {
 public:
  explicit FuzzProgress(std::string name, int64_t total);
  ~FuzzProgress();
  void Step();
  FuzzProgress(const FuzzProgress&) = delete;
  FuzzProgress& operator=(const FuzzProgress&) = delete;

 private:
  std::string name_;
  int64_t total_, done_ = 0;
  double start_;
};

}  // namespace cantrel_test
