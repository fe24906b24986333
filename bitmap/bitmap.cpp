#include "bitmap/bitmap.h"

#include "bitmap/bitmapfont.h"

namespace {

// The glyph of code (row, col) through the font's encoding, the default
// glyph when the code has none, or none.
CharInfo *glyphOf(FontRec *font, unsigned row, unsigned col) {
  auto *bitmapFont = static_cast<BitmapFont *>(font->fontPrivate);
  const FontInfo &fi = font->info;
  CharInfo *glyph = nullptr;
  if (row >= fi.firstRow && row <= fi.lastRow && col >= fi.firstCol && col <= fi.lastCol) {
    unsigned cols = static_cast<unsigned>(fi.lastCol) - fi.firstCol + 1;
    glyph = bitmapFont->encoding[(row - fi.firstRow) * cols + (col - fi.firstCol)];
  }
  return glyph ? glyph : bitmapFont->defaultGlyph;
}

}  // namespace

int bitmapGetGlyphs(FontRec *font, unsigned long count, const unsigned char *chars,
                    FontEncoding encoding, unsigned long *glyphCount, CharInfo **glyphs) {
  unsigned long n = 0;
  bool twoByte = encoding == Linear16Bit || encoding == TwoD16Bit;
  for (unsigned long i = 0; i < count; i++) {
    unsigned row = 0, col;
    if (twoByte) {
      row = *chars++;
      col = *chars++;
    } else {
      col = *chars++;
    }
    if (CharInfo *glyph = glyphOf(font, row, col)) glyphs[n++] = glyph;
  }
  *glyphCount = n;
  return Successful;
}

int bitmapGetMetrics(FontRec *font, unsigned long count, const unsigned char *chars,
                     FontEncoding encoding, unsigned long *glyphCount, xCharInfo **glyphs) {
  auto *bitmapFont = static_cast<BitmapFont *>(font->fontPrivate);
  // CharInfo begins with its metrics, so the glyph array can be reused.
  int status = bitmapGetGlyphs(font, count, chars, encoding, glyphCount,
                               reinterpret_cast<CharInfo **>(glyphs));
  if (status == Successful && bitmapFont->inkMetricsArray) {
    for (unsigned long i = 0; i < *glyphCount; i++) {
      auto *glyph = reinterpret_cast<CharInfo *>(glyphs[i]);
      glyphs[i] = &bitmapFont->inkMetricsArray[glyph - bitmapFont->metrics];
    }
  }
  return status;
}
