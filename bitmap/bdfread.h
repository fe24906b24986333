// BDF font files: whole-font reading, and the information reader built on it.
#pragma once

#include "util/fontstruct.h"
#include "fontfile/bufio.h"

// Reads a whole font into `font` with glyph bitmaps laid out by bit order,
// byte order, row padding (1, 2, 4, 8) and scan unit; Successful or
// AllocFailure (the problem reported on standard error).
int bdfReadFont(FontRec *font, BufFile *file, int bit, int byte, int glyph, int scan);
int bdfReadFontInfo(FontInfo *info, BufFile *file);
// Releases everything the reader hung on the font record, not the record.
void bdfFreeFontBits(FontRec *font);
void bdfUnloadFont(FontRec *font);
