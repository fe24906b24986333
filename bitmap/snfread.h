// SNF font files: the information reader.
#pragma once

#include "util/fontstruct.h"
#include "fontfile/bufio.h"

int snfReadFontInfo(FontInfo *info, BufFile *file);
// Whole-font loading is not part of this tool: always BadFont.
int snfReadFont(FontRec *font, BufFile *file, int bit, int byte, int glyph, int scan);
