// Speed of the QR Code encoder: the largest symbol (version 40, mask chosen by penalty) and the
// mobile-transfer service's longest address.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "draw/qr_encoder.h"

static void BM_QrVersion40(benchmark::State& state) {
  const std::string digits(7089, '7');
  auto qr = std::make_unique<CQrEncoder>();
  for (auto _ : state) {
    benchmark::DoNotOptimize(qr->EncodeText(0, 0, 0, -1, digits.data(), 7089));
  }
}
BENCHMARK(BM_QrVersion40)->Unit(benchmark::kMillisecond);

static void BM_QrAddress259(benchmark::State& state) {
  std::string address = "http://example.com/get_file.php?id=";
  while (address.size() < 259) address += static_cast<char>('a' + address.size() % 26);
  auto qr = std::make_unique<CQrEncoder>();
  for (auto _ : state) {
    benchmark::DoNotOptimize(qr->EncodeText(1, 0, 0, -1, address.data(), 259));
  }
}
BENCHMARK(BM_QrAddress259)->Unit(benchmark::kMicrosecond);
