// Process data exchange: in one process, and with a second copy of this test program started by
// StartProcess (it runs the disabled helper test below, chosen through the environment).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/core/folders.h"
#include "tests/support/test_support.h"
#include "util/process_exchange.h"

namespace {

using cantrel_test::Sink;

constexpr uint32_t kMessage = 0x8001;
constexpr uint32_t kReplyOk = 0x8002;
constexpr uint32_t kReplyBad = 0x8003;
constexpr int kWaitMs = 20000;

std::string Pattern(char first, size_t n) {
  std::string text(n, ' ');
  for (size_t i = 0; i < n; ++i) text[i] = static_cast<char>(first + i % 20);
  return text;
}

// A segment name of this test run, so that parallel runs never meet.
std::string SegmentName() { return "/SharedMemory-test-" + std::to_string(getpid()); }

// "/w<a>" and "/m<b>" from this process's command line; false when they are missing.
bool HelperArguments(int* window, uint32_t* message) {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string arg;
  bool have_w = false, have_m = false;
  while (std::getline(in, arg, '\0')) {
    if (arg.rfind("/w", 0) == 0) {
      *window = std::atoi(arg.c_str() + 2);
      have_w = true;
    } else if (arg.rfind("/m", 0) == 0) {
      *message = static_cast<uint32_t>(std::strtoul(arg.c_str() + 2, nullptr, 10));
      have_m = true;
    }
  }
  return have_w && have_m;
}

// The other side. "echo": posts a text of 1023 bytes, waits for the answer text, replies whether
// it arrived whole, and ends at the quit message. "hold": takes the lock, says so and waits to be
// killed.
TEST(DISABLED_ExchangeHelper, Run) {
  const char* mode = std::getenv("CANTREL_EXCHANGE_HELPER");
  const char* name = std::getenv("CANTREL_EXCHANGE_NAME");
  int window = 0;
  uint32_t message = 0;
  if (mode == nullptr || name == nullptr || !HelperArguments(&window, &message)) {
    GTEST_SKIP() << "runs only as the helper program of the exchange tests";
  }
  const int self = static_cast<int>(getpid());
  if (std::string(mode) == "hold") {
    CProcessDataExchange exchange(window, message, name);
    const int fd = shm_open(name, O_RDWR, 0);
    void* map = mmap(nullptr, kExchangeMappingSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    ASSERT_NE(map, MAP_FAILED);
    auto* lock = reinterpret_cast<pthread_mutex_t*>(static_cast<uint8_t*>(map) + kExchangeLockOffset);
    ASSERT_EQ(pthread_mutex_lock(lock), 0);
    PostPortMessage(window, message, self, 0);
    std::this_thread::sleep_for(std::chrono::seconds(60));  // killed long before
    return;
  }
  MessagePort port(self);
  ASSERT_TRUE(port.ok());
  CProcessDataExchange exchange(window, message, name);
  ASSERT_TRUE(exchange.ok());
  ASSERT_TRUE(exchange.Write(Pattern('h', 1023).c_str(), self, 7));
  PortMessage m;
  ASSERT_TRUE(port.Receive(&m, kWaitMs));
  ASSERT_EQ(m.message, message);
  std::string text;
  ASSERT_TRUE(exchange.Read(&text, window, kReplyOk));
  if (text == Pattern('p', 1023)) {
    exchange.PostReply();
  } else {
    PostPortMessage(window, kReplyBad, 0, 0);
  }
  while (port.Receive(&m, kWaitMs) && m.message != kWmQuit) {
  }
}

class ExchangeWithHelper : public ::testing::Test {
 protected:
  void Start(const char* mode) {
    setenv("CANTREL_EXCHANGE_HELPER", mode, 1);
    setenv("CANTREL_EXCHANGE_NAME", name_.c_str(), 1);
    setenv("GTEST_FILTER", "DISABLED_ExchangeHelper.Run", 1);
    setenv("GTEST_ALSO_RUN_DISABLED_TESTS", "1", 1);
    ASSERT_TRUE(CProcessDataExchange::StartProcess(plat::ExecutablePath(), port_.number(), kMessage));
    for (const char* v : {"CANTREL_EXCHANGE_HELPER", "CANTREL_EXCHANGE_NAME", "GTEST_FILTER",
                          "GTEST_ALSO_RUN_DISABLED_TESTS"}) {
      unsetenv(v);
    }
  }

  std::string name_ = SegmentName();
  MessagePort port_{static_cast<int>(getpid())};
};

TEST_F(ExchangeWithHelper, TextsOf1023BytesPassBothWays) {
  ASSERT_TRUE(port_.ok());
  CProcessDataExchange exchange(port_.number(), kMessage, name_.c_str());
  ASSERT_TRUE(exchange.ok());
  Start("echo");
  PortMessage m;
  ASSERT_TRUE(port_.Receive(&m, kWaitMs)) << "the helper never wrote";
  EXPECT_EQ(m.message, kMessage);
  EXPECT_EQ(m.l, 7);
  const int helper = static_cast<int>(m.w);
  std::string text;
  ASSERT_TRUE(exchange.Read(&text, helper, kReplyOk));
  EXPECT_EQ(text, Pattern('h', 1023));
  EXPECT_EQ(exchange.window(), helper);
  ASSERT_TRUE(exchange.Write(Pattern('p', 1023).c_str(), 0, 0));  // posts to the helper now
  ASSERT_TRUE(port_.Receive(&m, kWaitMs)) << "the helper never replied";
  EXPECT_EQ(m.message, kReplyOk);
  EXPECT_EQ(m.w, 0);
  EXPECT_TRUE(exchange.PostQuit());
}

TEST_F(ExchangeWithHelper, HolderKilledInsideTheLockDoesNotBlock) {
  ASSERT_TRUE(port_.ok());
  CProcessDataExchange exchange(port_.number(), kMessage, name_.c_str());
  ASSERT_TRUE(exchange.ok());
  Start("hold");
  PortMessage m;
  ASSERT_TRUE(port_.Receive(&m, kWaitMs)) << "the helper never took the lock";
  ASSERT_GT(m.w, 0);
  ASSERT_EQ(kill(static_cast<pid_t>(m.w), SIGKILL), 0);
  // The write runs on its own thread so that a lock that never comes back fails the test
  // instead of hanging it.
  auto done = std::make_shared<std::promise<bool>>();
  std::future<bool> result = done->get_future();
  auto* shared = &exchange;
  std::thread([done, shared] { done->set_value(shared->Write("after", 1, 2)); }).detach();
  ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready)
      << "the lock of a dead holder was never released";
  EXPECT_TRUE(result.get());
  std::string text;
  EXPECT_TRUE(exchange.Read(&text));
  EXPECT_EQ(text, "after");
}

TEST(ProcessExchange, WriteReplacesAndReadBoundsTheText) {
  MessagePort port(900000 + static_cast<int>(getpid() % 90000));
  ASSERT_TRUE(port.ok());
  CProcessDataExchange exchange(port.number(), kMessage, SegmentName().c_str());
  ASSERT_TRUE(exchange.ok());
  EXPECT_TRUE(exchange.Write(Pattern('a', 1023).c_str(), 1, 2));
  EXPECT_TRUE(exchange.Write("second", 3, 4));  // before the other side read
  std::string text;
  ASSERT_TRUE(exchange.Read(&text));
  EXPECT_EQ(text, "second");
  PortMessage m;
  ASSERT_TRUE(port.Receive(&m, 1000));
  EXPECT_EQ(m.message, kMessage);
  EXPECT_EQ(m.w, 1);
  EXPECT_EQ(m.l, 2);
  ASSERT_TRUE(port.Receive(&m, 1000));
  EXPECT_EQ(m.w, 3);

  // 1024 bytes or more: nothing written, nothing posted.
  EXPECT_FALSE(exchange.Write(Pattern('b', 1024).c_str(), 5, 6));
  EXPECT_FALSE(exchange.Write(Pattern('b', 5000).c_str(), 5, 6));
  ASSERT_TRUE(exchange.Read(&text));
  EXPECT_EQ(text, "second");
  EXPECT_FALSE(port.Receive(&m, 50));

  // Another program may leave the view without a terminator: Read takes 1023 bytes at most.
  const int fd = shm_open(SegmentName().c_str(), O_RDWR, 0);
  ASSERT_GE(fd, 0);
  void* map = mmap(nullptr, kExchangeMappingSize, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
  ASSERT_NE(map, MAP_FAILED);
  std::memset(map, 'z', kExchangeViewSize);
  ASSERT_TRUE(exchange.Read(&text));
  EXPECT_EQ(text, std::string(1023, 'z'));
  munmap(map, kExchangeMappingSize);
  close(fd);
  EXPECT_EQ(Sink().Count(), 0u);
}

TEST(ProcessExchange, RepliesAndQuit) {
  MessagePort mine(800000 + static_cast<int>(getpid() % 90000));
  MessagePort other(700000 + static_cast<int>(getpid() % 90000));
  CProcessDataExchange exchange(mine.number(), kMessage, SegmentName().c_str());
  EXPECT_FALSE(exchange.PostReply());  // no reply message yet
  std::string text;
  EXPECT_TRUE(exchange.Read(&text, other.number(), 0));  // a zero reply changes nothing
  EXPECT_EQ(exchange.window(), mine.number());
  EXPECT_TRUE(exchange.Read(&text, other.number(), kReplyOk));
  EXPECT_TRUE(exchange.PostReply());
  EXPECT_TRUE(exchange.PostQuit());
  PortMessage m;
  ASSERT_TRUE(other.Receive(&m, 1000));
  EXPECT_EQ(m.message, kReplyOk);
  ASSERT_TRUE(other.Receive(&m, 1000));
  EXPECT_EQ(m.message, kWmQuit);
  EXPECT_FALSE(mine.Receive(&m, 20));
}

TEST(ProcessExchange, LastUserRemovesTheSegment) {
  const std::string name = SegmentName() + "-last";
  {
    CProcessDataExchange a(1, kMessage, name.c_str());
    CProcessDataExchange b(1, kMessage, name.c_str());
    ASSERT_TRUE(a.ok());
    ASSERT_TRUE(b.ok());
    EXPECT_TRUE(a.Read(nullptr) == false);
    PostPortMessage(1, 0, 0, 0);
  }
  const int fd = shm_open(name.c_str(), O_RDWR, 0);
  EXPECT_LT(fd, 0);
  if (fd >= 0) close(fd);
}

TEST(ProcessExchange, SegmentThatCannotBeHadIsReportedOnceAndEveryCallDoesNothing) {
  CProcessDataExchange exchange(1, kMessage, "/no/such/segment");
  EXPECT_FALSE(exchange.ok());
  EXPECT_EQ(Sink().Texts(),
            std::vector<std::string>{"GENE00000000 汎用処理でエラーが発生しました。 [/no/such/segment]"});
  std::string text = "kept";
  EXPECT_FALSE(exchange.Write("x", 0, 0));
  EXPECT_FALSE(exchange.Read(&text));
  EXPECT_EQ(text, "kept");
  EXPECT_FALSE(exchange.PostReply());
  EXPECT_FALSE(exchange.PostQuit());
  EXPECT_EQ(Sink().Count(), 1u);
}

TEST(MessagePorts, NumbersAreTakenOnceAndPostsNeedAListener) {
  const int number = 600000 + static_cast<int>(getpid() % 90000);
  MessagePort first(number);
  MessagePort second(number);
  EXPECT_TRUE(first.ok());
  EXPECT_FALSE(second.ok());
  EXPECT_FALSE(PostPortMessage(number + 1, 1, 2, 3));  // nobody listens there
  EXPECT_TRUE(PostPortMessage(number, 1, 2, 3));
  PortMessage m;
  ASSERT_TRUE(first.Receive(&m, 1000));
  EXPECT_EQ(m.message, 1u);
  EXPECT_EQ(m.l, 3);
}

}  // namespace
