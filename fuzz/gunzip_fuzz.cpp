// The gzip filter over arbitrary bytes: see FuzzFilter for the layout of
// the input.  Each input is decoded twice: from a fresh filter state, then
// from the spare state the first run left behind (with its window, if the
// first member needed one), so that both ways of starting a stream are
// reproduced by one input.
#include <cstddef>
#include <cstdint>

#include "fontfile/gunzip.h"
#include "tests/support/streamtest.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  GzipFilterDropSpare();
  FuzzFilter(data, size, BufFilePushZIP);
  FuzzFilter(data, size, BufFilePushZIP);
  return 0;
}
