// bitmap/ holds the bitmap font formats: the PCF, SNF and BDF readers, the
// bitmap font record, bounds and ink metrics.  This header is its face to
// the layers above: the renderer rows and the information entry.
//
// The nine bitmap renderers (PCF, SNF, BDF, each plain and in each
// compressed form of the file table, fileio.h) and the entry that reads a
// bitmap font's information through its row's filter and reader.
#pragma once

#include "fontfile/fileio.h"
#include "fontfile/renderers.h"
#include "util/fontstruct.h"

constexpr int kBitmapRendererCount = 9;
extern FontRenderer renderers[kBitmapRendererCount];

// Fills the nine rows and registers them in order.  False when a registration found no
// memory: the files of that suffix would match no renderer, so a caller
// that indexes fonts must not go on as if they were not there.
bool BitmapRegisterFontFileFunctions();

// The information entry of every row (its getInfoBitmap): opens `file` with
// the row's filter, has the row's reader fill `info` and closes the stream.
// BadFont when the file cannot be opened; otherwise the reader's status
// (BadFont for data that is not a font of the format, AllocFailure when
// memory ran out).  On failure `failure`, unless none, says why.
int BitmapGetInfo(const FontRenderer *renderer, FontInfo *info, const FontFileRef &file,
                  FontFileFailure *failure);
// The same for a path, its renderer matched by the path's ending; fpe and
// entry are unused.
int BitmapGetInfoBitmap(void *fpe, FontInfo *info, FontEntry *entry, const char *fileName);
int BitmapGetInfoScalable(void *fpe, FontInfo *info, FontEntry *entry, const char *fileName);
int BitmapOpenBitmap(void *fpe, FontRec **font, const char *fileName);
int BitmapOpenScalable(void *fpe, FontRec **font, const char *fileName);
