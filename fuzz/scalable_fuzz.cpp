// fonts.scale content of any kind is merged into a table without crashing,
// overflowing a field or leaking.
#include <cstdint>
#include <cstdio>

#include "tool/driver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FILE *file = fmemopen(const_cast<uint8_t *>(data), size, "r");
  if (!file) {
    static char empty[1];
    file = fmemopen(empty, 0, "r");  // size 0 is refused on some systems
    if (!file) return 0;
  }
  FontTable table;
  if (FontFileInitTable(&table, 100)) {
    ReadScalableEntries(file, &table);
    FontFileFreeTable(&table);
  }
  std::fclose(file);
  return 0;
}
