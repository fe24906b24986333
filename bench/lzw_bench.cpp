// The LZW filter against gzip's own decoder of .Z data, on the same file in
// the same run: a few MiB of font-like text, compressed by `compress -b 16`.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/filter_bench.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"

namespace {

constexpr size_t kDataSize = 8u << 20;

struct Sample {
  TempDir dir;
  std::string path = dir / "sample.pcf.Z";
  bool ok = false;
  Sample() {
    if (!HaveProgram("compress") || !HaveProgram("gzip")) return;
    WriteFile(dir / "sample.pcf", TextSample(kDataSize, 42));
    ok = RunShell("compress -f -b 16 " + ShellQuote(dir / "sample.pcf")) == 0;
  }
};

Sample &sample() {
  static Sample s;
  return s;
}

void BM_LzwFilterSkip(benchmark::State &state) {
  if (!sample().ok) return state.SkipWithError("compress or gzip is missing");
  BenchSkipWholeFile(state, sample().path, kDataSize);
}

void BM_LzwFilterRead(benchmark::State &state) {
  if (!sample().ok) return state.SkipWithError("compress or gzip is missing");
  BenchReadWholeFile(state, sample().path, kDataSize);
}

void BM_GzipDcOfTheSameFile(benchmark::State &state) {
  if (!sample().ok) return state.SkipWithError("compress or gzip is missing");
  std::string command = "gzip -dc " + ShellQuote(sample().path) + " > /dev/null";
  for (auto _ : state)
    if (RunShell(command) != 0) return state.SkipWithError("gzip -dc failed");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kDataSize);
}

// Wall-clock time for all three: gzip runs in a child process.
BENCHMARK(BM_LzwFilterSkip)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LzwFilterRead)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GzipDcOfTheSameFile)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
