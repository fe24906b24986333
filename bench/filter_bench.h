// Reading a whole compressed file through FontFileOpen, the two ways the
// readers consume a stream: one skip over everything, or 64 KiB block reads.
#pragma once

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fontfile/fileio.h"

inline void BenchSkipWholeFile(benchmark::State &state, const std::string &path, size_t size) {
  for (auto _ : state) {
    BufFile *f = FontFileOpen(path.c_str());
    if (!f || BufFileSkip(f, static_cast<int>(size)) == -1) return state.SkipWithError("decode failed");
    FontFileClose(f);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}

inline void BenchReadWholeFile(benchmark::State &state, const std::string &path, size_t size) {
  std::vector<char> buf(65536);
  for (auto _ : state) {
    BufFile *f = FontFileOpen(path.c_str());
    if (!f) return state.SkipWithError("open failed");
    size_t total = 0;
    for (int n; (n = BufFileRead(f, buf.data(), static_cast<int>(buf.size()))) > 0;) total += static_cast<size_t>(n);
    benchmark::DoNotOptimize(total);
    FontFileClose(f);
    if (total != size) return state.SkipWithError("short data");
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
}
