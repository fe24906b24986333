// Placeholder of the charset module with two built-in encodings, until the
// full module arrives.
#include "fontenc/charset.h"

namespace {
struct Tables {
  uint32_t ascii[95];
  uint32_t latin1[95 + 96];
  Charset sets[2];
  Tables() {
    size_t n = 0;
    for (uint32_t c = 0x20; c < 0x7F; c++) ascii[n] = latin1[n] = c, n++;
    for (uint32_t c = 0xA0; c <= 0xFF; c++) latin1[n++] = c;
    sets[0] = Charset{"ascii-0", ascii, 95, 128};
    sets[1] = Charset{"iso8859-1", latin1, 191, 256};
  }
};
const Tables kTables;
}  // namespace

const Charset *BuiltinCharsets(size_t *count) {
  *count = 2;
  return kTables.sets;
}

bool CharsetCovered(const Charset &charset, HasGlyphFunction hasGlyph, void *context) {
  size_t allowed = charset.size <= 256 ? 0 : charset.count / 50;
  size_t missing = 0;
  for (size_t i = 0; i < charset.count; i++)
    if (!hasGlyph(context, charset.chars[i]) && ++missing > allowed) return false;
  return true;
}
