// The registry of font renderers, chosen by the ending of a file name.
#pragma once

#include "util/fontstruct.h"

struct FontEntry;

typedef int (*FontOpenBitmapProc)(void *fpe, FontRec **font, const char *fileName);
typedef int (*FontOpenScalableProc)(void *fpe, FontRec **font, const char *fileName);
typedef int (*FontGetInfoBitmapProc)(void *fpe, FontInfo *info, FontEntry *entry,
                                     const char *fileName);
typedef int (*FontGetInfoScalableProc)(void *fpe, FontInfo *info, FontEntry *entry,
                                       const char *fileName);

struct FontRenderer {
  const char *suffix;  // dot included
  int suffixLength;
  FontOpenBitmapProc openBitmap;
  FontOpenScalableProc openScalable;
  FontGetInfoBitmapProc getInfoBitmap;
  FontGetInfoScalableProc getInfoScalable;
  int preference;  // renderers registered before this one; lower is preferred
  int capabilities;
};

// True when registered, or when a renderer of the same suffix already is.
bool FontFileRegisterRenderer(FontRenderer *renderer);
// The first registered renderer whose suffix ends the name (case-sensitive).
FontRenderer *FontFileMatchRenderer(const char *fileName);
