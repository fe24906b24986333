// Whole BDF font reads over arbitrary bytes.  The first byte picks the
// allocation that fails (0: none), so that every failure path is driven too.
#include <cstddef>
#include <cstdint>

#include "bitmap/bdfread.h"
#include "tests/support/membuf.h"
#include "util/miscutil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  int failAt = size > 0 ? data[0] : 0;
  BufFile *file = MemBufOpen(size > 0 ? data + 1 : data, size > 0 ? size - 1 : 0);
  if (!file) return 0;
  FontAllocFailAt(failAt);
  FontInfo info = {};
  info.propCount = -1;  // must stay as it is unless the read succeeds
  if (bdfReadFontInfo(&info, file) == Successful) {
    for (int i = 0; i < info.propCount; i++)
      if (info.isStringProp[i] && !NameForAtom(static_cast<Atom>(info.props[i].value)))
        __builtin_trap();
    FontInfoFreeProps(&info);
  } else if (info.propCount != -1 || info.props) {
    __builtin_trap();
  }
  FontAllocFailAt(0);
  BufFileClose(file, 1);
  return 0;
}
