// Ink metrics of one glyph, and redrawing a glyph bitmap onto new metrics.
#pragma once

#include "util/fontstruct.h"

// The box of the set pixels of `glyph`, with its width and attributes.  A
// glyph without set pixels (or without a bitmap) gets a box of no size at its
// left bearing.
void FontCharInkMetrics(const FontRec *font, const CharInfo *glyph, xCharInfo *ink);

// Draws `source` into `dest`, whose metrics and bits (stride x rows for those
// metrics) the caller has set; the image keeps its place relative to the
// origin, what falls outside the new box is cut off.
void FontCharReshape(const FontRec *font, const CharInfo *source, CharInfo *dest);
