// Accelerator flags that follow from a font's bounds, and the test whether a
// font can be padded into a character-cell font.
#pragma once

#include "util/fontstruct.h"

// True when every glyph fits one common cell (origin at the left, inside the
// font's ascent and descent, one advance) but the glyphs do not fill it yet.
bool FontCouldBeTerminal(const FontInfo *info);

// Writes noOverlap, constantMetrics, terminalFont, constantWidth and
// inkInside from the bitmap bounds, maxOverlap, fontAscent and fontDescent.
void FontComputeInfoAccelerators(FontInfo *info);
