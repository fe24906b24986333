// inflate_floor FILE.gz...: inflates each file's first member and discards
// the output; prints the bytes and the time taken.  The floor that gzip
// reading in lorvane is measured against.  Plain C library calls only, so
// that, like the tool, it needs no C++ run-time library.
#include <cstdio>
#include <ctime>

#include "bench/inflate_floor.h"

namespace {
double seconds() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}
}  // namespace

int main(int argc, char **argv) {
  int64_t total = 0;
  double start = seconds();
  for (int i = 1; i < argc; i++) {
    int64_t n = InflateFloor(argv[i]);
    if (n < 0) {
      std::fprintf(stderr, "inflate_floor: %s: not a readable gzip file\n", argv[i]);
      return 1;
    }
    total += n;
  }
  double taken = seconds() - start;
  std::printf("%d files, %lld bytes inflated in %.6f s (%.1f MB/s)\n", argc - 1,
              static_cast<long long>(total), taken, taken > 0 ? static_cast<double>(total) / taken / 1e6 : 0.0);
  return 0;
}
