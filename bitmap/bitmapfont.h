// The records that only the bitmap readers know: BitmapFont, which they hang
// on a FontRec's fontPrivate, and its BitmapExtra.
#pragma once

#include <cstdint>

#include "util/atom.h"
#include "util/fontstruct.h"

struct BitmapExtra {
  Atom *glyphNames;
  int32_t *scalableWidths;
  int32_t bitmapSizes[4];  // total bitmap bytes for row padding 1, 2, 4, 8
  FontInfo info;           // over every glyph, encoded or not
};

// The private record of a bitmap font.
struct BitmapFont {
  uint32_t version;
  int32_t charCount;
  int32_t tableCount;
  CharInfo *metrics;
  xCharInfo *inkMetricsArray;
  char *bitmaps;
  CharInfo **encoding;
  CharInfo *defaultGlyph;
  BitmapExtra *extra;
};
