// Shared test scaffolding. The test mains install, before every test, a fresh RecordingSink for
// message boxes, a FakeClock (no real sleeping; a fixed calendar date), an exit handler that
// throws plat::ProgramExit, a fresh temporary user data folder, and reseed the generator with 1.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

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

// tests/data/<relative>.
std::filesystem::path DataPath(const std::string& relative);
std::filesystem::path SourceDir();

// Runs an outside program (argv[0] looked up on PATH); returns its exit status, or -1 when it
// could not be started. Its standard output goes to *out when given.
int RunTool(const std::vector<std::string>& argv, std::string* out = nullptr,
            const std::string& stdin_text = std::string());
// True when the program can be found on PATH (or is an existing absolute path).
bool HaveTool(const std::string& name);

// The Python with mido (Debian's), or empty when it is missing.
std::string PythonWithMido();

// Mutation tests: an index 0 .. bound-1 from the system's seeded generator (0 for bound 0),
// and a text mutated from one of the seeds: cut, sprinkled with the given symbols and with
// random bytes, spliced with pieces of other seeds, or given a long run of one symbol.
size_t DrawIndex(size_t bound);
std::string MutateText(const std::vector<std::string>& seeds, const std::string& symbols);

}  // namespace cantrel_test
