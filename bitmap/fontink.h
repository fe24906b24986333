// Ink metrics of one glyph, and redrawing a glyph bitmap onto new metrics.
#pragma once

#include "util/fontstruct.h"
#include "util/utilbitmap.h"

// The geometry of a glyph's bitmap as the glyph's metrics and the font's row
// padding give it: `rows` rows of `stride` bytes from `bits`, each holding
// `width` pixels (pixel k in byte k / 8).  Whatever sizes, fills or scans a
// glyph bitmap takes its geometry from here, so bitmap and metrics agree.
struct GlyphBitmap {
  unsigned char *bits;
  int width;
  int rows;
  int64_t stride;  // bytes per row, padding included
  bool empty() const { return width <= 0 || rows <= 0; }
  int64_t size() const { return empty() ? 0 : stride * rows; }
  unsigned char *row(int r) const { return bits + r * stride; }
};

inline GlyphBitmap GlyphBitmapOf(const xCharInfo &metrics, int glyphPad, unsigned char *bits) {
  const int width = int{metrics.rightBearing} - metrics.leftBearing;
  return {bits, width, int{metrics.ascent} + metrics.descent, BitmapBytesPerRow(width, glyphPad)};
}
inline GlyphBitmap GlyphBitmapOf(const CharInfo &glyph, int glyphPad) {
  return GlyphBitmapOf(glyph.metrics, glyphPad, glyph.bits);
}

// The box of the set pixels of `glyph`, with its width and attributes.  A
// glyph without set pixels (or without a bitmap) gets a box of no size at its
// left bearing.
void FontCharInkMetrics(const FontRec *font, const CharInfo *glyph, xCharInfo *ink);

// Draws `source` into `dest`, whose metrics and bits (stride x rows for those
// metrics) the caller has set; the image keeps its place relative to the
// origin, what falls outside the new box is cut off.
void FontCharReshape(const FontRec *font, const CharInfo *source, CharInfo *dest);
