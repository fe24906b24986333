// The gzip filter over arbitrary bytes: see FuzzFilter for the layout of
// the input.
#include <cstddef>
#include <cstdint>

#include "fontfile/gunzip.h"
#include "tests/support/streamtest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  FuzzFilter(data, size, BufFilePushZIP);
  return 0;
}
