// BDF font files: whole-font reading, and the information reader built on it.
#pragma once

#include "util/fontstruct.h"
#include "fontfile/bufio.h"

int bdfReadFont(FontRec *font, BufFile *file, int bit, int byte, int glyph, int scan);
int bdfReadFontInfo(FontInfo *info, BufFile *file);
void bdfUnloadFont(FontRec *font);

// The steps of a font read, in the order bdfReadFont runs them.
struct BdfFileState;
int bdfReadHeader(BufFile *file, BdfFileState *state);
int bdfReadProperties(BufFile *file, FontRec *font, BdfFileState *state);
int bdfReadCharacters(BufFile *file, FontRec *font, BdfFileState *state, int bit, int byte,
                      int glyph, int scan);
// One glyph's rows and ENDCHAR line; the glyph's metrics are set.  `sizes`
// (the extra's bitmapSizes) and `state` (its bitmap budget) may be none.
int bdfReadBitmap(CharInfo *ci, BufFile *file, int bit, int byte, int glyph, int scan,
                  int32_t *sizes, BdfFileState *state = nullptr);
int bdfSkipBitmap(BufFile *file, int height);
int bdfPadToTerminal(FontRec *font);
void bdfFreeFontBits(FontRec *font);
