// The encoding file header scan over arbitrary bytes.  Every input is parsed
// once normally and then once for each allocation it made, with that
// allocation failing: a failed parse must give none and release everything
// (the leak checker of the sanitizer build sees the rest).
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "fontenc/encparse.h"
#include "tests/support/membuf.h"
#include "util/miscutil.h"

namespace {

// The header scan can only hand out names that fit keyword_value with the
// line ended after them, and at most kEncodingMaxAliases of them.
void checkRecord(const EncodingRecord *r) {
  if (std::strlen(r->name) >= static_cast<size_t>(kEncodingWordMax)) std::abort();
  if (r->mappings || r->next) std::abort();
  if (!r->aliases) return;
  int n = 0;
  for (char **a = r->aliases; *a; a++, n++)
    if (std::strlen(*a) >= static_cast<size_t>(kEncodingWordMax)) std::abort();
  if (n == 0 || n > kEncodingMaxAliases) std::abort();
}

// Returns the number of allocations the parse made.
long parseOnce(const uint8_t *data, size_t size, long failAt) {
  BufFile *f = MemBufOpen(data, size);
  if (!f) return 0;
  FontAllocFailAt(failAt);
  EncodingRecord *r = parseEncodingFile(f, 1);
  long made = FontAllocCount();
  FontAllocFailAt(0);
  if (r) {
    if (failAt > 0 && failAt <= made) std::abort();  // a failure was swallowed
    checkRecord(r);
    FreeEncodingRecord(r);
  }
  BufFileClose(f, 1);
  return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  long made = parseOnce(data, size, 0);
  for (long n = 1; n <= made; n++) parseOnce(data, size, n);
  return 0;
}
