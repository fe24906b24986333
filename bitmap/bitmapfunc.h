// The nine bitmap renderers (PCF, SNF, BDF, each plain, ".Z" and ".gz") and
// the entry that reads a bitmap font's information through the right reader.
#pragma once

#include "util/fontstruct.h"
#include "fontfile/bufio.h"
#include "fontfile/fileio.h"
#include "fontfile/renderers.h"

typedef int (*BitmapReadFontProc)(FontRec *font, BufFile *file, int bit, int byte, int glyph,
                                  int scan);
typedef int (*BitmapReadInfoProc)(FontInfo *info, BufFile *file);

struct BitmapReader {
  BitmapReadFontProc readFont;
  BitmapReadInfoProc readInfo;
};

constexpr int kBitmapRendererCount = 9;
extern FontRenderer renderers[kBitmapRendererCount];
extern const BitmapReader readers[kBitmapRendererCount];

// Registers the nine rows in order.  False when a registration found no
// memory: the files of that suffix would match no renderer, so a caller
// that indexes fonts must not go on as if they were not there.
bool BitmapRegisterFontFileFunctions();

// Fills `info` for the font file at `fileName`; fpe and entry are unused.
int BitmapGetInfoBitmap(void *fpe, FontInfo *info, FontEntry *entry, const char *fileName);
// The same for a file named `fileName` in the open directory `dirFd` (or
// AT_FDCWD), of which the directory's listing told `kind` (see
// FontFileOpenAt).
int BitmapGetInfoListed(FontInfo *info, int dirFd, const char *fileName, FontFileKind kind);
int BitmapGetInfoScalable(void *fpe, FontInfo *info, FontEntry *entry, const char *fileName);
int BitmapOpenBitmap(void *fpe, FontRec **font, const char *fileName);
int BitmapOpenScalable(void *fpe, FontRec **font, const char *fileName);
