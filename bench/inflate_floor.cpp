// inflate_floor FILE.gz...: inflates each file's first member and discards
// the output; prints the bytes and the time taken.  The floor that gzip
// reading in lorvane is measured against.
#include <chrono>
#include <cstdio>

#include "bench/inflate_floor.h"

int main(int argc, char **argv) {
  int64_t total = 0;
  auto start = std::chrono::steady_clock::now();
  for (int i = 1; i < argc; i++) {
    int64_t n = InflateFloor(argv[i]);
    if (n < 0) {
      std::fprintf(stderr, "inflate_floor: %s: not a readable gzip file\n", argv[i]);
      return 1;
    }
    total += n;
  }
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("%d files, %lld bytes inflated in %.6f s (%.1f MB/s)\n", argc - 1,
              static_cast<long long>(total), seconds, seconds > 0 ? total / seconds / 1e6 : 0.0);
  return 0;
}
