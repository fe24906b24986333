// lorvane: writes fonts.dir (and, with -e, encodings.dir) for font directories.
#include "tool/driver.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char **argv) {
#ifdef __GLIBC__
  // A run reads one font after another, and a gzip member takes buffers of
  // a few hundred KiB for as long as its font is read.  By default the C
  // library returns such memory to the system at every free and the next
  // font faults it in again, page by page; memory freed is kept for reuse
  // instead (the peak is unchanged: it is reached while a font is open).
  mallopt(M_MMAP_THRESHOLD, 64 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
#endif
  return LorvaneMain(argc, argv);
}
