// AFL++ driver of the track chunk parser's fuzz entry (built and run by tools/fuzz-tracks).
// Without AFL it reads each file named on the command line, or standard input.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "music/midi_track_fuzz.h"
#include "platform/core/message_sink.h"

namespace {

class QuietSink : public plat::MessageSink {
 public:
  int Show(plat::BoxKind, const std::string&) override { return plat::kIdOk; }
};

void Run(const uint8_t* data, size_t size) {
  int broken = FuzzMidiTrackInput(data, size);
  if (broken != 0) {
    std::fprintf(stderr, "invariant %d broken\n", broken);
    std::abort();
  }
}

std::vector<uint8_t> ReadAll(std::FILE* f) {
  std::vector<uint8_t> bytes;
  uint8_t chunk[65536];
  size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
  return bytes;
}

}  // namespace

#if defined(CANTREL_AFL_PERSISTENT) && defined(__AFL_FUZZ_TESTCASE_LEN)
__AFL_FUZZ_INIT();
#endif

int main(int argc, char** argv) {
  static QuietSink sink;
  plat::InstallSink(&sink);
#if defined(CANTREL_AFL_PERSISTENT) && defined(__AFL_FUZZ_TESTCASE_LEN)
  if (argc < 2) {
    __AFL_INIT();
    const unsigned char* buf = __AFL_FUZZ_TESTCASE_BUF;
    while (__AFL_LOOP(10000)) Run(buf, static_cast<size_t>(__AFL_FUZZ_TESTCASE_LEN));
    return 0;
  }
#endif
  if (argc < 2) {
    std::vector<uint8_t> bytes = ReadAll(stdin);
    Run(bytes.data(), bytes.size());
    return 0;
  }
  for (int i = 1; i < argc; ++i) {
    std::FILE* f = std::fopen(argv[i], "rb");
    if (f == nullptr) continue;
    std::vector<uint8_t> bytes = ReadAll(f);
    std::fclose(f);
    Run(bytes.data(), bytes.size());
  }
  return 0;
}
