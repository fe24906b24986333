// Glyph lookup for bitmap fonts: the getGlyphs and getMetrics operations
// installed in a bitmap font's record.
#pragma once

#include "util/fontstruct.h"

int bitmapGetGlyphs(FontRec *font, unsigned long count, const unsigned char *chars,
                    FontEncoding encoding, unsigned long *glyphCount, CharInfo **glyphs);
int bitmapGetMetrics(FontRec *font, unsigned long count, const unsigned char *chars,
                     FontEncoding encoding, unsigned long *glyphCount, xCharInfo **glyphs);
