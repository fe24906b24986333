// The gzip filter reading a large .gz file against the decompression floor
// (zlib alone inflating the same file and discarding the output).
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "bench/inflate_floor.h"
#include "bench/filter_bench.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"

namespace {

constexpr size_t kDataSize = 32u << 20;

struct Sample {
  TempDir dir;
  std::string path = dir / "sample.pcf.gz";
  bool ok = false;
  Sample() {
    if (!HaveProgram("gzip")) return;
    // Mostly text with some incompressible stretches, like fonts with
    // bitmaps.
    std::string data;
    for (uint32_t i = 0; data.size() < kDataSize; i++)
      data += TextSample(900000, i) + NoiseSample(100000, i);
    data.resize(kDataSize);
    WriteFile(dir / "sample.pcf", data);
    ok = RunShell("gzip -f " + ShellQuote(dir / "sample.pcf")) == 0;
  }
};

Sample &sample() {
  static Sample s;
  return s;
}

void BM_InflateFloor(benchmark::State &state) {
  if (!sample().ok) return state.SkipWithError("gzip is missing");
  for (auto _ : state)
    if (InflateFloor(sample().path.c_str()) != static_cast<int64_t>(kDataSize))
      return state.SkipWithError("inflate failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDataSize);
}

void BM_GzipFilterSkip(benchmark::State &state) {
  if (!sample().ok) return state.SkipWithError("gzip is missing");
  BenchSkipWholeFile(state, sample().path, kDataSize);
}

void BM_GzipFilterRead(benchmark::State &state) {
  if (!sample().ok) return state.SkipWithError("gzip is missing");
  BenchReadWholeFile(state, sample().path, kDataSize);
}

BENCHMARK(BM_InflateFloor)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_GzipFilterSkip)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();
BENCHMARK(BM_GzipFilterRead)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly();

}  // namespace

BENCHMARK_MAIN();
