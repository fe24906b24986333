// Fuzz target: the SNF information reader over arbitrary bytes.
#include <cstddef>
#include <cstdint>

#include "bitmap/snfread.h"
#include "tests/support/membuf.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  BufFile *f = MemBufOpen(data, size);
  if (!f) return 0;
  FontInfo info{};
  if (snfReadFontInfo(&info, f) == Successful) FontInfoFreeProps(&info);
  BufFileClose(f, 1);
  return 0;
}
