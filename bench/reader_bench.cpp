// The payload reader on a 64 MiB decoded stream, in requests of 2 bytes (name
// units), 8 bytes (sizes) and 32 KiB (contents), beside the floor: a bare
// ZSTD_decompressStream loop into the same 131,072-byte block. Compare CPU
// times; on a busy machine run many interleaved repetitions.
//
//   build/host/bench/reader_bench --benchmark_repetitions=10
//     --benchmark_enable_random_interleaving=true --benchmark_report_aggregates_only=true
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app_bytes.h"
#include "pack/writer.h"
#include "payload/format.h"
#include "payload/reader.h"

namespace {

constexpr size_t kDecodedLength = size_t{64} << 20;
// One entry "a" whose contents fill the stream up to its end-of-list entry:
// 4 name bytes, 8 size bytes, 4 checksum bytes, contents, 2 zero bytes.
constexpr size_t kContentsLength = kDecodedLength - 4 - 12 - 2;
constexpr int kLevel = 9;

// The attached data, made once with the writer.
const std::vector<unsigned char>& attachedData() {
  static const std::vector<unsigned char> data = [] {
    const std::string contents = applicationLikeBytes(kContentsLength);
    char* buffer = nullptr;
    size_t length = 0;
    std::FILE* out = open_memstream(&buffer, &length);
    std::string error;
    bool ok;
    {
      AttachedDataWriter writer;
      ok = writer.open(out, {kLevel, 0}, error) &&
           writer.beginEntry(u"a", contents.size(),
                             contentChecksum(contents.data(), contents.size()), error) &&
           writer.addContents(contents.data(), contents.size(), error) && writer.endEntry(error) &&
           writer.finish(error) && writer.bytesIn() == kDecodedLength;
    }
    std::fclose(out);
    if (!ok) {
      std::fprintf(stderr, "cannot make the benchmark stream: %s\n", error.c_str());
      std::abort();
    }
    std::vector<unsigned char> bytes(buffer, buffer + length);
    std::free(buffer);
    return bytes;
  }();
  return data;
}

void finishCounters(benchmark::State& state) {
  const std::vector<unsigned char>& data = attachedData();
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kDecodedLength));
  state.counters["ratio"] = double(kDecodedLength) / double(data.size());
}

// The floor: what decoding alone costs, with a fresh context and block per
// stream as the reader has. With state.range(0) = 1 each decoded block is
// also copied out in 32 KiB pieces, the one copy the reader's interface
// demands: the reader can come no closer to the floor than that.
void Floor(benchmark::State& state) {
  const std::vector<unsigned char>& data = attachedData();
  const bool copyOut = state.range(0) != 0;
  static unsigned char destination[kContentChunkSize];
  for (auto _ : state) {
    unsigned char* block = static_cast<unsigned char*>(std::malloc(kDecodedBlockSize));
    ZSTD_DCtx* context = ZSTD_createDCtx();
    ZSTD_inBuffer input = {data.data() + kAttachedHeaderSize, data.size() - kAttachedHeaderSize, 0};
    size_t decoded = 0;
    for (;;) {
      ZSTD_outBuffer output = {block, kDecodedBlockSize, 0};
      const size_t result = ZSTD_decompressStream(context, &output, &input);
      if (ZSTD_isError(result)) state.SkipWithError(ZSTD_getErrorName(result));
      for (size_t at = 0; copyOut && at < output.pos; at += kContentChunkSize) {
        std::memcpy(destination, block + at, std::min(kContentChunkSize, output.pos - at));
        benchmark::ClobberMemory();
      }
      decoded += output.pos;
      benchmark::DoNotOptimize(block);
      if (result == 0 || ZSTD_isError(result)) break;
    }
    if (decoded != kDecodedLength) state.SkipWithError("decoded length differs");
    ZSTD_freeDCtx(context);
    std::free(block);
  }
  finishCounters(state);
}

// The reader, taking the whole stream in requests of state.range(0) bytes.
void Reader(benchmark::State& state) {
  const std::vector<unsigned char>& data = attachedData();
  const size_t request = size_t(state.range(0));
  static unsigned char destination[kContentChunkSize];
  for (auto _ : state) {
    PayloadReader reader;
    if (beginPayloadReader(reader, data.data() + kAttachedHeaderSize,
                           data.size() - kAttachedHeaderSize) != PayloadStatus::ok) {
      state.SkipWithError("out of memory");
    }
    for (size_t taken = 0; taken < kDecodedLength; taken += request) {
      if (takePayload(reader, destination, request) != PayloadStatus::ok) {
        state.SkipWithError("decode failed");
        break;
      }
      benchmark::ClobberMemory();
    }
    endPayloadReader(reader);
  }
  finishCounters(state);
}

// On a shared machine the fastest repetition is the one least disturbed.
double fastest(const std::vector<double>& times) {
  return *std::min_element(times.begin(), times.end());
}

BENCHMARK(Floor)
    ->ArgName("copyOut")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);
BENCHMARK(Reader)
    ->Arg(2)
    ->Arg(8)
    ->Arg(kContentChunkSize)
    ->Unit(benchmark::kMillisecond)
    ->ComputeStatistics("min", fastest);

}  // namespace

BENCHMARK_MAIN();
