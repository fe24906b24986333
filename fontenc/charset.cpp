// The built-in charsets and the coverage test.
#include "fontenc/charset.h"

namespace {

// The tables of the built-in encodings, made by scripts/gen-charsets.
#include "fontenc/charsettables.inc"

}  // namespace

const Charset *BuiltinCharsets(size_t *count) {
  *count = sizeof kBuiltinCharsetTable / sizeof kBuiltinCharsetTable[0];
  return kBuiltinCharsetTable;
}

bool CharsetCovered(const Charset &charset, HasGlyphFunction hasGlyph, void *context) {
  // An empty charset would be covered by every face, which says nothing.
  if (charset.count == 0) return false;
  // missing <= 2% of count, in whole characters: missing * 50 <= count.
  size_t allowed = charset.size <= 256 ? 0 : charset.count / 50;
  size_t missing = 0;
  for (size_t i = 0; i < charset.count; i++) {
    // Even if every character left were missing, the face would pass.
    if (charset.count - i <= allowed - missing) return true;
    if (!hasGlyph(context, charset.chars[i]) && ++missing > allowed) return false;
  }
  return true;
}
