// The LZW filter over arbitrary bytes.  Input: one byte choosing how many
// bytes each fill of the source delivers, four bytes of read plan, then the
// file's bytes.
#include <cstddef>
#include <cstdint>

#include "fontfile/decompress.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 5) return 0;
  int chunk = data[0] < 128 ? BUFFILESIZE : data[0] - 127;
  BufFile *src = MemBufOpen(data + 5, size - 5, chunk);
  if (!src) return 0;
  BufFile *f = BufFilePushCompressed(src);
  if (!f) {
    BufFileClose(src, 1);
    return 0;
  }
  DrainWithPlan(f, data + 1, 4);
  BufFileClose(f, 1);
  return 0;
}
