#include <algorithm>
#include <atomic>

#include "platform/core/clock.h"
#include "platform/core/message_sink.h"
#include "util/gne.h"
#include "util/gne_test_mode.h"

int GneErrorBox(const std::string& text) { return plat::ShowBox(plat::BoxKind::Error, text); }
int GneMessageBox(const std::string& text) { return plat::ShowBox(plat::BoxKind::Message, text); }
int GneConfirmBox(const std::string& text) { return plat::ShowBox(plat::BoxKind::Confirm, text); }

namespace {
thread_local uint32_t t_random_state = 1;
thread_local bool t_biased_low = false;  // tests: the least of three draws
std::atomic<uint32_t> g_last_seed{1};
}  // namespace

int GneRand() {
  t_random_state = t_random_state * 214013u + 2531011u;
  return static_cast<int>((t_random_state >> 16) & 0x7FFF);
}

int GneRandomRange(int a, int b) {
  int lo = a < b ? a : b;
  int hi = a < b ? b : a;
  if (lo == hi) return lo;
  int64_t span = static_cast<int64_t>(hi) - lo + 1;
  int64_t draw = GneRand() % span;
  if (t_biased_low) {
    for (int k = 0; k < 2; ++k) draw = std::min<int64_t>(draw, GneRand() % span);
  }
  return static_cast<int>(lo + draw);
}

void GneSetBiasedLowForTests(bool on) { t_biased_low = on; }

void GneSeedRandom() {
  GneSeedRandomWith(static_cast<uint32_t>(plat::CurrentClock().WallTime()));
}

void GneSeedRandomWith(uint32_t seed) {
  g_last_seed.store(seed);
  t_random_state = seed;
}

uint32_t GneLastSeed() { return g_last_seed.load(); }
uint32_t GneGetRandomState() { return t_random_state; }
void GneSetRandomState(uint32_t state) { t_random_state = state; }
