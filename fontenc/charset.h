// Character sets of encodings, and the test whether a face covers one.
//
// A charset is what an encoding maps, as Unicode code points, without the
// controls U+0000-U+001F and U+007F-U+009F (DEL included): no face draws
// them, so a face is never asked for them.  The built-in ones are the common
// 8-bit encodings; others are read from encoding files (encparse.h).
#pragma once

#include <cstddef>
#include <cstdint>

struct Charset {
  const char *name;       // "iso8859-1": CHARSET_REGISTRY-CHARSET_ENCODING, lower case
  const uint32_t *chars;  // ascending, each once
  size_t count;
  size_t size;            // codes of the encoding: 128 for ascii-0, 256 for the other
                          // built-ins, the encoding file's size for one read from a file
};

// The built-in 8-bit encodings, in this order: ascii-0, iso8859-1 ...
// iso8859-10, iso8859-13 ... iso8859-16, koi8-r, koi8-u, ibm-cp437,
// ibm-cp850, ibm-cp852, ibm-cp866, microsoft-cp1252.
const Charset *BuiltinCharsets(size_t *count);

// Whether a face covers `charset`: hasGlyph(context, c) tells whether the
// face's Unicode map gives c a glyph.  An encoding of at most 256 codes is
// covered when every character is there; a larger one when at most 2% are
// missing.  A charset without characters is never covered.  Stops asking as
// soon as the answer is known.
using HasGlyphFunction = bool (*)(void *context, uint32_t c);
bool CharsetCovered(const Charset &charset, HasGlyphFunction hasGlyph, void *context);
