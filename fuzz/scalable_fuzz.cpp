// fonts.scale content of any kind is merged into a table without crashing,
// overflowing a field or leaking.  The first byte chooses how many bytes each
// fill of the stream delivers, so fields meet the end of a buffer anywhere.
#include <cstdint>

#include "tests/support/membuf.h"
#include "tool/driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  int chunk = data[0] < 128 ? BUFFILESIZE : data[0] - 127;
  BufFile *file = MemBufOpen(data + 1, size - 1, chunk);
  if (!file) return 0;
  FontTable table;
  if (FontFileInitTable(&table, 100)) {
    ReadScalableEntries(file, &table);
    FontFileFreeTable(&table);
  }
  BufFileClose(file, 1);
  return 0;
}
