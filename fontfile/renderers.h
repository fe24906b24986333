// The registry of font renderers, chosen by the ending of a file name.
//
// A renderer row holds everything the road of one font file needs after the
// match of its name: the filter its stream takes, the reader of its format
// and the information entry that puts the two together.  A directory scan
// matches each name once and carries the row to the open and the read.
#pragma once

#include "fontfile/bufio.h"
#include "fontfile/fileio.h"
#include "util/fontstruct.h"

struct FontEntry;
struct FontRenderer;

typedef int (*FontOpenBitmapProc)(void *fpe, FontRec **font, const char *fileName);
typedef int (*FontOpenScalableProc)(void *fpe, FontRec **font, const char *fileName);
// Fills `info` for `file`, read through the renderer's filter and reader;
// on failure `failure` (unless none) says why.
typedef int (*FontGetInfoBitmapProc)(const FontRenderer *renderer, FontInfo *info,
                                     const FontFileRef &file, FontFileFailure *failure);
typedef int (*FontGetInfoScalableProc)(void *fpe, FontInfo *info, FontEntry *entry,
                                       const char *fileName);
// A format's readers: the information of a font (not closing the stream),
// and the whole font (a font server's; this tool never loads one).
typedef int (*FontReadInfoProc)(FontInfo *info, BufFile *file);
typedef int (*FontReadFontProc)(FontRec *font, BufFile *file, int bit, int byte, int glyph,
                                int scan);

struct FontRenderer {
  const char *suffix;  // dot included
  int suffixLength;
  FontOpenBitmapProc openBitmap;
  FontOpenScalableProc openScalable;
  FontGetInfoBitmapProc getInfoBitmap;
  FontGetInfoScalableProc getInfoScalable;
  int preference;  // renderers registered before this one; lower is preferred
  int capabilities;
  BufFilePushProc filter;  // pushed on the raw stream; none for a plain file
  FontReadInfoProc readInfo;
  FontReadFontProc readFont;
};

// True when registered, or when a renderer of the same suffix already is.
bool FontFileRegisterRenderer(FontRenderer *renderer);
// The first registered renderer whose suffix ends the name (case-sensitive).
FontRenderer *FontFileMatchRenderer(const char *fileName);
