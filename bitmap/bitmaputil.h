// Font-wide values derived from the glyphs of a bitmap font: bounds, overlap,
// draw direction, ink metrics and ink bounds.  The font is a FontRec whose
// fontPrivate is a BitmapFont.
#pragma once

#include "util/fontstruct.h"

// Bounds over all glyphs (into the extra's info when there is an extra) and
// over the encoded glyphs (into the font's info); maxOverlap, drawDirection.
void bitmapComputeFontBounds(FontRec *font);
// inkMetricsArray from the glyph bitmaps; false when memory runs out.
bool bitmapAddInkMetrics(FontRec *font);
// Ink bounds, the same way as the bounds; a copy of them without ink metrics.
void bitmapComputeFontInkBounds(FontRec *font);
int bitmapComputeWeight(FontRec *font);
