// The character sets of encodings, as Unicode code points, and whether a
// face covers one.
#pragma once

#include <cstddef>
#include <cstdint>

// The characters an encoding maps, as Unicode code points: the C0 controls
// U+0000-U+001F and U+007F-U+009F left out, ascending, each once.
struct Charset {
  const char *name;  // "iso8859-1": CHARSET_REGISTRY-CHARSET_ENCODING, lower case
  const uint32_t *chars;
  size_t count;
  size_t size;  // codes of the encoding
};

// The built-in 8-bit encodings.
const Charset *BuiltinCharsets(size_t *count);

// Whether a face covers `charset`: hasGlyph(context, c) tells whether the
// face's Unicode map gives c a glyph.  An encoding of at most 256 codes is
// covered when every character is there; a larger one when at most 2% are
// missing.  Stops asking as soon as the answer is known.
using HasGlyphFunction = bool (*)(void *context, uint32_t c);
bool CharsetCovered(const Charset &charset, HasGlyphFunction hasGlyph, void *context);
