// The format's checksum (extendCrc, libdeflate's CRC-32) beside zlib's crc32,
// over 64 MiB in pieces of 4 KiB to 4 MiB: the speed of each, and what a
// larger read piece buys. Compare bytes per second.
//
//   build/host/bench/checksum_bench --benchmark_repetitions=5
//     --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

#include "payload/format.h"

namespace {

constexpr size_t kLength = size_t{64} << 20;

const std::vector<unsigned char>& bytes() {
  static const std::vector<unsigned char> data = [] {
    std::vector<unsigned char> filled(kLength);
    uint32_t state = 1;
    for (unsigned char& byte : filled) byte = (state = state * 1103515245u + 12345u) >> 24;
    return filled;
  }();
  return data;
}

template <typename Extend>
void inPieces(benchmark::State& state, Extend extend) {
  const unsigned char* const data = bytes().data();
  const size_t piece = static_cast<size_t>(state.range(0));
  for (auto _ : state) {
    uint32_t crc = 0;
    for (size_t at = 0; at < kLength; at += piece) crc = extend(crc, data + at, piece);
    benchmark::DoNotOptimize(crc);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kLength));
}

void Format(benchmark::State& state) { inPieces(state, extendCrc); }

void Zlib(benchmark::State& state) {
  inPieces(state, [](uint32_t crc, const unsigned char* data, size_t length) {
    return static_cast<uint32_t>(crc32_z(crc, data, length));
  });
}

BENCHMARK(Format)->RangeMultiplier(8)->Range(4096, 4 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(Zlib)->RangeMultiplier(8)->Range(4096, 4 << 20)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
