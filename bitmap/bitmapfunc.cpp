#include "bitmap/bitmapfunc.h"

#include <fcntl.h>

#include "bitmap/bdfread.h"
#include "bitmap/pcfread.h"
#include "bitmap/snfread.h"
#include "fontfile/decompress.h"
#include "fontfile/gunzip.h"

namespace {
constexpr int kCapabilities = 3;

#define BITMAP_RENDERER(suffix, length, filter, format)                                  \
  {                                                                                      \
    suffix, length, BitmapOpenBitmap, BitmapOpenScalable, BitmapGetInfo,                 \
        BitmapGetInfoScalable, 0, kCapabilities, filter, format##ReadFontInfo,           \
        format##ReadFont                                                                 \
  }
}  // namespace

FontRenderer renderers[kBitmapRendererCount] = {
    BITMAP_RENDERER(".pcf", 4, nullptr, pcf),
    BITMAP_RENDERER(".pcf.Z", 6, BufFilePushCompressed, pcf),
    BITMAP_RENDERER(".pcf.gz", 7, BufFilePushZIP, pcf),
    BITMAP_RENDERER(".snf", 4, nullptr, snf),
    BITMAP_RENDERER(".snf.Z", 6, BufFilePushCompressed, snf),
    BITMAP_RENDERER(".snf.gz", 7, BufFilePushZIP, snf),
    BITMAP_RENDERER(".bdf", 4, nullptr, bdf),
    BITMAP_RENDERER(".bdf.Z", 6, BufFilePushCompressed, bdf),
    BITMAP_RENDERER(".bdf.gz", 7, BufFilePushZIP, bdf),
};

bool BitmapRegisterFontFileFunctions() {
  bool all = true;
  for (auto &r : renderers) all = FontFileRegisterRenderer(&r) && all;
  return all;
}

int BitmapGetInfo(const FontRenderer *renderer, FontInfo *info, const FontFileRef &file,
                  FontFileFailure *failure) {
  BufFile *stream = FontFileOpenAt(file, renderer->filter, failure);
  if (!stream) return BadFont;
  int status = renderer->readInfo(info, stream);
  FontFileClose(stream);
  if (status != Successful && failure)
    *failure = {status == AllocFailure ? FontFileProblem::NoMemory : FontFileProblem::BadData, 0};
  return status;
}

int BitmapGetInfoBitmap(void *, FontInfo *info, FontEntry *, const char *fileName) {
  const FontRenderer *renderer = FontFileMatchRenderer(fileName);
  if (!renderer) return BadFont;
  return renderer->getInfoBitmap(renderer, info, {AT_FDCWD, fileName, FontFileKind::Unknown},
                                 nullptr);
}

// Scaled instances and whole-font loading belong to a font server; this tool
// only reads font information.
int BitmapGetInfoScalable(void *, FontInfo *, FontEntry *, const char *) { return BadFont; }
int BitmapOpenBitmap(void *, FontRec **, const char *) { return BadFont; }
int BitmapOpenScalable(void *, FontRec **, const char *) { return BadFont; }
