// BDF font files: whole-font reading, and the information reader built on it.
#pragma once

#include "bitmap/fontstruct.h"
#include "fontfile/bufio.h"

int bdfReadFont(FontRec *font, BufFile *file, int bit, int byte, int glyph, int scan);
int bdfReadFontInfo(FontInfo *info, BufFile *file);
void bdfUnloadFont(FontRec *font);
