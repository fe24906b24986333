#include "bitmap/bitmapfunc.h"

#include <fcntl.h>

#include "bitmap/bdfread.h"
#include "bitmap/pcfread.h"
#include "bitmap/snfread.h"
#include "fontfile/fileio.h"

namespace {
constexpr int kCapabilities = 3;

#define BITMAP_RENDERER(suffix, length)                                                  \
  {                                                                                      \
    suffix, length, BitmapOpenBitmap, BitmapOpenScalable, BitmapGetInfoBitmap,           \
        BitmapGetInfoScalable, 0, kCapabilities                                          \
  }

int rowOf(const FontRenderer *r) {
  if (r < renderers || r >= renderers + kBitmapRendererCount) return -1;
  return static_cast<int>(r - renderers);
}
}  // namespace

FontRenderer renderers[kBitmapRendererCount] = {
    BITMAP_RENDERER(".pcf", 4), BITMAP_RENDERER(".pcf.Z", 6), BITMAP_RENDERER(".pcf.gz", 7),
    BITMAP_RENDERER(".snf", 4), BITMAP_RENDERER(".snf.Z", 6), BITMAP_RENDERER(".snf.gz", 7),
    BITMAP_RENDERER(".bdf", 4), BITMAP_RENDERER(".bdf.Z", 6), BITMAP_RENDERER(".bdf.gz", 7),
};

const BitmapReader readers[kBitmapRendererCount] = {
    {pcfReadFont, pcfReadFontInfo}, {pcfReadFont, pcfReadFontInfo}, {pcfReadFont, pcfReadFontInfo},
    {snfReadFont, snfReadFontInfo}, {snfReadFont, snfReadFontInfo}, {snfReadFont, snfReadFontInfo},
    {bdfReadFont, bdfReadFontInfo}, {bdfReadFont, bdfReadFontInfo}, {bdfReadFont, bdfReadFontInfo},
};

bool BitmapRegisterFontFileFunctions() {
  bool all = true;
  for (auto &r : renderers) all = FontFileRegisterRenderer(&r) && all;
  return all;
}

int BitmapGetInfoBitmap(void *, FontInfo *info, FontEntry *, const char *fileName) {
  return BitmapGetInfoListed(info, AT_FDCWD, fileName, FontFileKind::Unknown);
}

int BitmapGetInfoListed(FontInfo *info, int dirFd, const char *fileName, FontFileKind kind) {
  int row = rowOf(FontFileMatchRenderer(fileName));
  if (row < 0) return BadFont;
  BufFile *file = FontFileOpenAt(dirFd, fileName, kind);
  if (!file) return BadFont;
  int status = readers[row].readInfo(info, file);
  FontFileClose(file);
  return status;
}

// Scaled instances and whole-font loading belong to a font server; this tool
// only reads font information.
int BitmapGetInfoScalable(void *, FontInfo *, FontEntry *, const char *) { return BadFont; }
int BitmapOpenBitmap(void *, FontRec **, const char *) { return BadFont; }
int BitmapOpenScalable(void *, FontRec **, const char *) { return BadFont; }
