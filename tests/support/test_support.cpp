#include "tests/support/test_support.h"
#include "tests/support/zbar.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "platform/core/folders.h"
#include "util/gne.h"

extern char** environ;

namespace cantrel_test {
namespace fs = std::filesystem;
namespace {

std::unique_ptr<plat::RecordingSink> g_sink;
std::unique_ptr<plat::FakeClock> g_clock;
fs::path g_temp;

void SetRandomSeedOne();

class Environment : public ::testing::EmptyTestEventListener {
 public:
  void OnTestStart(const ::testing::TestInfo&) override {
    g_sink = std::make_unique<plat::RecordingSink>();
    plat::InstallSink(g_sink.get());
    g_clock = std::make_unique<plat::FakeClock>();
    plat::InstallClock(g_clock.get());
    plat::SetExitHandler([](int code) { throw plat::ProgramExit{code}; });
    g_temp.clear();
    fs::path data = TempDir() / "userdata";
    fs::create_directories(data);
    plat::SetUserDataFolder(data);
    SetRandomSeedOne();
  }
  void OnTestEnd(const ::testing::TestInfo&) override {
    plat::InstallSink(nullptr);
    plat::InstallClock(nullptr);
    plat::SetExitHandler(nullptr);
    plat::SetUserDataFolder(fs::path());
    if (!g_temp.empty()) {
      std::error_code ec;
      fs::remove_all(g_temp, ec);
      g_temp.clear();
    }
  }
};

void SetRandomSeedOne() { GneSeedRandomWith(1); }

}  // namespace

void InstallTestEnvironment() {
  ::testing::UnitTest::GetInstance()->listeners().Append(new Environment);
  // The program folder of a test run is the source tree's resources folder.
  plat::SetProgramFolder(SourceDir() / "resources");
}

plat::RecordingSink& Sink() { return *g_sink; }

QuietBoxes::QuietBoxes() { plat::InstallSink(this); }
QuietBoxes::~QuietBoxes() { plat::InstallSink(g_sink.get()); }
int QuietBoxes::Show(plat::BoxKind, const std::string&) { return plat::kIdOk; }
plat::FakeClock& Clock() { return *g_clock; }

fs::path TempDir() {
  if (g_temp.empty()) {
    std::string tmpl = (fs::temp_directory_path() / "cantrel-test-XXXXXX").string();
    std::vector<char> buf(tmpl.begin(), tmpl.end());
    buf.push_back('\0');
    if (char* made = ::mkdtemp(buf.data())) g_temp = made;
  }
  return g_temp;
}

std::vector<uint8_t> ReadFileBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

fs::path SourceDir() { return fs::path(CANTREL_SOURCE_DIR); }
fs::path DataPath(const std::string& relative) { return SourceDir() / "tests" / "data" / relative; }

bool HaveTool(const std::string& name) {
  if (name.find('/') != std::string::npos) return ::access(name.c_str(), X_OK) == 0;
  const char* path = std::getenv("PATH");
  std::string p = path ? path : "/usr/bin:/bin";
  size_t start = 0;
  while (start <= p.size()) {
    size_t end = p.find(':', start);
    if (end == std::string::npos) end = p.size();
    std::string dir = p.substr(start, end - start);
    if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

std::string XvfbStartLines(int width, int height, const std::filesystem::path& folder) {
  const std::string number = (folder / "x-display").string();
  std::ostringstream out;
  // A server that names its display but then takes no client is ended and started again, at
  // most three times.
  out << "attempt=0\n"
      << "while :; do\n"
      << "  rm -f '" << number << "'\n"
      << "  Xvfb -displayfd 9 -nolisten tcp -screen 0 " << width << "x" << height << "x24 9>'"
      << number << "' >/dev/null 2>&1 &\n"
      << "  XVFB_PID=$!\n"
      // The server writes its display number once it takes connections.
      << "  n=0; while [ ! -s '" << number << "' ] && [ $n -lt 600 ]; do sleep 0.1; n=$((n+1)); done\n"
      << "  if [ -s '" << number << "' ]; then\n"
      << "    DISPLAY=:$(head -n 1 '" << number << "'); export DISPLAY\n"
      << "    n=0; while ! xdpyinfo >/dev/null 2>&1 && [ $n -lt 50 ]; do sleep 0.1; n=$((n+1)); done\n"
      << "    xdpyinfo >/dev/null 2>&1 && break\n"
      << "  fi\n"
      << "  kill -TERM $XVFB_PID 2>/dev/null; wait $XVFB_PID 2>/dev/null\n"
      << "  attempt=$((attempt+1))\n"
      << "  [ $attempt -lt 3 ] || { echo 'the X server did not start' >&2; exit 3; }\n"
      << "done\n";
  return out.str();
}

std::string XvfbStopLines() { return "kill -TERM $XVFB_PID 2>/dev/null; wait $XVFB_PID 2>/dev/null\n"; }

int RunTool(const std::vector<std::string>& argv, std::string* out, const std::string& stdin_text) {
  if (argv.empty()) return -1;
  int out_pipe[2], in_pipe[2];
  if (::pipe(out_pipe) != 0) return -1;
  if (::pipe(in_pipe) != 0) {
    ::close(out_pipe[0]);
    ::close(out_pipe[1]);
    return -1;
  }
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_adddup2(&fa, in_pipe[0], 0);
  posix_spawn_file_actions_adddup2(&fa, out_pipe[1], 1);
  posix_spawn_file_actions_addclose(&fa, out_pipe[0]);
  posix_spawn_file_actions_addclose(&fa, in_pipe[1]);
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid;
  int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  ::close(in_pipe[0]);
  ::close(out_pipe[1]);
  if (rc != 0) {
    ::close(in_pipe[1]);
    ::close(out_pipe[0]);
    return -1;
  }
  // Feed stdin and read stdout together, so that a tool answering line by line never blocks on
  // a full pipe while its input is still being written.
  size_t off = 0;
  std::string collected;
  char buf[65536];
  // A tool that stops reading early must not end the test with SIGPIPE.
  std::signal(SIGPIPE, SIG_IGN);
  if (stdin_text.empty()) {
    ::close(in_pipe[1]);
    in_pipe[1] = -1;
  } else {
    ::fcntl(in_pipe[1], F_SETFL, ::fcntl(in_pipe[1], F_GETFL) | O_NONBLOCK);
  }
  for (;;) {
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {in_pipe[1], POLLOUT, 0}};
    const int count = in_pipe[1] >= 0 ? 2 : 1;
    if (::poll(fds, count, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (count == 2 && (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))) {
      const ssize_t n = ::write(in_pipe[1], stdin_text.data() + off,
                                std::min<size_t>(stdin_text.size() - off, 65536));
      if (n > 0) off += static_cast<size_t>(n);
      const bool full = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
      if ((n <= 0 && !full) || off >= stdin_text.size()) {
        ::close(in_pipe[1]);
        in_pipe[1] = -1;
      }
    }
    if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
      const ssize_t n = ::read(out_pipe[0], buf, sizeof buf);
      if (n <= 0) break;
      collected.append(buf, static_cast<size_t>(n));
    }
  }
  if (in_pipe[1] >= 0) ::close(in_pipe[1]);
  ::close(out_pipe[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (out) *out = std::move(collected);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ZbarRead(const std::filesystem::path& image) {
  std::string out;
  if (RunTool({"zbarimg", "-q", "--raw", "--nodbus", "-Sbinary", image.string()}, &out) != 0)
    return "(not read)";
  return out;
}

std::string PythonWithMido() {
  static const std::string python = [] {
    for (const char* py : {"/usr/bin/python3"}) {
      if (::access(py, X_OK) == 0 && RunTool({py, "-c", "import mido"}) == 0) return std::string(py);
    }
    return std::string();
  }();
  return python;
}

namespace {

// mido's view of a file (see MidoEventLines).
const char kMidoEvents[] = R"(
import sys, mido
f = mido.MidiFile(sys.argv[1])
print('division', f.ticks_per_beat)
out = []
for track in f.tracks:
    t = 0
    held = {}
    for m in track:
        t += m.time
        if m.type == 'note_on' and m.velocity > 0:
            held.setdefault((m.channel, m.note), []).append((t, m.velocity))
        elif m.type in ('note_off', 'note_on'):
            q = held.get((m.channel, m.note))
            if q:
                s, v = q.pop(0)
                out.append('note %d %d %d %d %d' % (m.channel, s, m.note, v, t - s))
        elif m.type == 'program_change':
            out.append('program %d %d %d' % (m.channel, t, m.program))
        elif m.type == 'control_change' and m.control in (1, 7, 10):
            out.append('cc %d %d %d %d' % (m.channel, t, m.control, m.value))
        elif m.type == 'pitchwheel':
            out.append('bend %d %d %d' % (m.channel, t, m.pitch + 8192))
        elif m.type == 'set_tempo':
            out.append('tempo %d %d' % (t, m.tempo))
        elif m.type == 'marker':
            out.append('marker %d %s' % (t, m.text))
for line in sorted(out):
    print(line)
)";

}  // namespace

bool MidoEventLines(const std::filesystem::path& file, int* division,
                    std::vector<std::string>* lines) {
  const std::string python = PythonWithMido();
  std::string out;
  if (python.empty() || RunTool({python, "-c", kMidoEvents, file.string()}, &out) != 0)
    return false;
  std::istringstream in(out);
  std::string line, word;
  std::getline(in, line);
  std::istringstream(line) >> word >> *division;
  while (std::getline(in, line))
    if (!line.empty()) lines->push_back(line);
  return word == "division";
}

bool OutsideToolsRequired() {
  const char* v = std::getenv("CANTREL_REQUIRE_TOOLS");
  return v && *v && std::strcmp(v, "0") != 0;
}

bool FuzzLongMode() {
  const char* v = std::getenv("CANTREL_FUZZ_LONG");
  return v && *v && std::strcmp(v, "0") != 0;
}

int64_t FuzzInputs(int64_t short_run, int shards) {
  if (!FuzzLongMode()) return short_run;
  const char* v = std::getenv("CANTREL_FUZZ_LONG");
  char* end = nullptr;
  const long long n = std::strtoll(v, &end, 10);
  const int64_t total = (end && *end == '\0' && n > 1) ? static_cast<int64_t>(n) : 1000000;
  if (shards < 1) shards = 1;
  return (total + shards - 1) / shards;
}

namespace {
double Seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

FuzzProgress::FuzzProgress(std::string name, int64_t total)
    : name_(std::move(name)), total_(total), start_(Seconds()) {}

void FuzzProgress::Step() {
  ++done_;
  if (FuzzLongMode() && done_ % 100000 == 0) {
    const double t = Seconds() - start_;
    std::fprintf(stderr, "%s: %lld of %lld inputs, %.0f s, %.0f a second\n", name_.c_str(),
                 static_cast<long long>(done_), static_cast<long long>(total_), t,
                 t > 0 ? double(done_) / t : 0.0);
  }
}

FuzzProgress::~FuzzProgress() {
  if (!FuzzLongMode()) return;
  const double t = Seconds() - start_;
  std::fprintf(stderr, "%s: %lld inputs in %.1f s (%.0f a second)\n", name_.c_str(),
               static_cast<long long>(done_), t, t > 0 ? double(done_) / t : 0.0);
}

size_t DrawIndex(size_t bound) {
  if (bound == 0) return 0;
  const size_t r = static_cast<size_t>(GneRandomRange(0, 32767)) * 32768 +
                   static_cast<size_t>(GneRandomRange(0, 32767));
  return r % bound;
}

std::string MutateText(const std::vector<std::string>& seeds, const std::string& symbols) {
  if (seeds.empty()) return std::string();
  std::string data = seeds[DrawIndex(seeds.size())];
  auto symbol = [&] { return symbols.empty() ? '\0' : symbols[DrawIndex(symbols.size())]; };
  const int steps = GneRandomRange(1, 8);
  for (int i = 0; i < steps; ++i) {
    switch (GneRandomRange(0, 4)) {
      case 0:
        data.resize(DrawIndex(data.size() + 1));
        break;
      case 1:
        for (int k = GneRandomRange(1, 32); k > 0 && !data.empty(); --k)
          data[DrawIndex(data.size())] = symbol();
        break;
      case 2: {
        const std::string& other = seeds[DrawIndex(seeds.size())];
        data.insert(DrawIndex(data.size() + 1),
                    other.substr(DrawIndex(other.size() + 1), DrawIndex(2000) + 1));
        break;
      }
      case 3:
        for (int k = GneRandomRange(1, 16); k > 0 && !data.empty(); --k)
          data[DrawIndex(data.size())] = static_cast<char>(GneRandomRange(0, 255));
        break;
      default:
        data.insert(DrawIndex(data.size() + 1), std::string(DrawIndex(3000) + 1, symbol()));
        break;
    }
  }
  return data;
}

}  // namespace cantrel_test
