#include "bitmap/fontink.h"

#include <algorithm>
#include <cstring>

#include "util/utilbitmap.h"

namespace {

const unsigned char ink_mask_msb[8] = {0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01};
const unsigned char ink_mask_lsb[8] = {0x01, 0x02, 0x04, 0x08, 0x10, 0x20, 0x40, 0x80};

const unsigned char *masksOf(const FontRec *font) {
  return font->bitOrder == 1 ? ink_mask_msb : ink_mask_lsb;
}

bool anyByte(const unsigned char *p, int n) {
  for (int i = 0; i < n; i++)
    if (p[i]) return true;
  return false;
}

}  // namespace

void FontCharInkMetrics(const FontRec *font, const CharInfo *glyph, xCharInfo *ink) {
  const xCharInfo &m = glyph->metrics;
  ink->width = m.width;
  ink->attributes = m.attributes;
  ink->leftBearing = m.leftBearing;
  ink->rightBearing = m.leftBearing;
  ink->ascent = 0;
  ink->descent = 0;

  const GlyphBitmap g = GlyphBitmapOf(*glyph, font->glyphPad);
  if (g.empty() || !g.bits) return;
  const int w = g.width, h = g.rows;
  const int n = (w + 7) / 8;

  int top = 0;
  while (top < h && !anyByte(g.row(top), n)) ++top;
  if (top == h) return;  // no ink at all
  int bottom = h - 1;
  while (!anyByte(g.row(bottom), n)) --bottom;
  ink->ascent = static_cast<int16_t>(m.ascent - top);
  ink->descent = static_cast<int16_t>(bottom + 1 - m.ascent);

  const unsigned char *mask = masksOf(font);
  auto column = [&](int j) {
    unsigned char c = 0;
    for (int r = top; r <= bottom; r++) c |= g.row(r)[j];
    return c;
  };
  auto validPixels = [&](int j) { return std::min(8, w - 8 * j); };

  bool found = false;
  for (int j = 0; j < n && !found; j++) {
    unsigned char c = column(j);
    if (!c) continue;
    for (int k = 0; k < validPixels(j); k++)
      if (c & mask[k]) {
        ink->leftBearing = static_cast<int16_t>(m.leftBearing + 8 * j + k);
        found = true;
        break;
      }
  }
  // Set bits past the last pixel are no ink: then the box stays empty across.
  if (!found) return;
  for (int j = n - 1; j >= 0; j--) {
    unsigned char c = column(j);
    if (!c) continue;
    for (int k = validPixels(j) - 1; k >= 0; k--)
      if (c & mask[k]) {
        ink->rightBearing = static_cast<int16_t>(m.leftBearing + 8 * j + k + 1);
        return;
      }
  }
}

void FontCharReshape(const FontRec *font, const CharInfo *source, CharInfo *dest) {
  const xCharInfo &s = source->metrics;
  const xCharInfo &d = dest->metrics;
  const GlyphBitmap to = GlyphBitmapOf(*dest, font->glyphPad);
  if (!to.bits || to.empty()) return;
  std::memset(to.bits, 0, static_cast<size_t>(to.size()));
  const GlyphBitmap from = GlyphBitmapOf(*source, font->glyphPad);
  if (!from.bits || from.empty()) return;

  const unsigned char *mask = masksOf(font);
  int y0 = std::max(-int{s.ascent}, -int{d.ascent});
  int y1 = std::min(int{s.descent}, int{d.descent});
  int x0 = std::max(s.leftBearing, d.leftBearing);
  int x1 = std::min(s.rightBearing, d.rightBearing);
  for (int y = y0; y < y1; y++) {
    const unsigned char *src = from.row(y + s.ascent);
    unsigned char *dst = to.row(y + d.ascent);
    for (int x = x0; x < x1; x++) {
      int sx = x - s.leftBearing, dx = x - d.leftBearing;
      if (src[sx >> 3] & mask[sx & 7]) dst[dx >> 3] |= mask[dx & 7];
    }
  }
}
