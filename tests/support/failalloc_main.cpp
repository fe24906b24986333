// lorvane built for allocation-failure tests: LORVANE_FAIL_ALLOC=N makes the
// Nth allocation of the run fail (LORVANE_FAIL_ALLOC_PERSISTENT=1: that one
// and every later one).  At exit it prints the number of allocation requests
// made to the file named by LORVANE_ALLOC_COUNT_FILE, so a sweep knows how
// far to go.  The shipped tool reads no environment.
#include <cstdio>
#include <cstdlib>

#include "tool/driver.h"
#include "util/miscutil.h"

namespace {
void reportCount() {
  if (const char *path = std::getenv("LORVANE_ALLOC_COUNT_FILE")) {
    if (FILE *f = std::fopen(path, "w")) {
      std::fprintf(f, "%ld\n", FontAllocCount());
      std::fclose(f);
    }
  }
}
}  // namespace

int main(int argc, char **argv) {
  long n = 0;
  if (const char *v = std::getenv("LORVANE_FAIL_ALLOC")) n = std::atol(v);
  const char *persistent = std::getenv("LORVANE_FAIL_ALLOC_PERSISTENT");
  FontAllocFailAt(n, persistent && *persistent == '1');
  std::atexit(reportCount);
  return LorvaneMain(argc, argv);
}
