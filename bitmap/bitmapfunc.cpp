#include "bitmap/bitmapfunc.h"

#include <cstdio>
#include <fcntl.h>
#include <iterator>

#include "bitmap/bdfread.h"
#include "bitmap/pcfread.h"
#include "bitmap/snfread.h"

namespace {
constexpr int kCapabilities = 3;

// The formats, each read plain and in every compressed form of the file
// table (fileio.h), in that order: a row for each pair.
struct BitmapFormat {
  const char *suffix;
  FontReadInfoProc readInfo;
  FontReadFontProc readFont;
};
const BitmapFormat formats[] = {
    {".pcf", pcfReadFontInfo, pcfReadFont},
    {".snf", snfReadFontInfo, snfReadFont},
    {".bdf", bdfReadFontInfo, bdfReadFont},
};
static_assert(kBitmapRendererCount == std::size(formats) * (1 + kCompressionCount));

// The rows' suffixes: a format's and a compression's, each short.
char suffixes[kBitmapRendererCount][16];

FontRenderer rowOf(int i) {
  const BitmapFormat &format = formats[i / (1 + kCompressionCount)];
  int form = i % (1 + kCompressionCount);
  const FileCompression *compression = form > 0 ? &kCompressions[form - 1] : nullptr;
  int length = std::snprintf(suffixes[i], sizeof suffixes[i], "%s%s", format.suffix,
                             compression ? compression->suffix : "");
  return FontRenderer{suffixes[i], length, BitmapOpenBitmap, BitmapOpenScalable, BitmapGetInfo,
                      BitmapGetInfoScalable, 0, kCapabilities, compression ? compression->filter : nullptr,
                      format.readInfo, format.readFont};
}
}  // namespace

FontRenderer renderers[kBitmapRendererCount];

bool BitmapRegisterFontFileFunctions() {
  bool all = true;
  for (int i = 0; i < kBitmapRendererCount; i++) {
    renderers[i] = rowOf(i);
    all = FontFileRegisterRenderer(&renderers[i]) && all;
  }
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
