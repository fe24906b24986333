#include "util/fontaccel.h"

namespace {
bool sameMetrics(const xCharInfo &a, const xCharInfo &b) {
  return a.leftBearing == b.leftBearing && a.rightBearing == b.rightBearing &&
         a.width == b.width && a.ascent == b.ascent && a.descent == b.descent &&
         a.attributes == b.attributes;
}
}  // namespace

bool FontCouldBeTerminal(const FontInfo *info) {
  const xCharInfo &mn = info->minBounds;
  const xCharInfo &mx = info->maxBounds;
  if (mn.leftBearing < 0 || mx.rightBearing > mx.width || mn.width != mx.width ||
      mx.ascent > info->fontAscent || mx.descent > info->fontDescent)
    return false;
  bool alreadyCells = mx.leftBearing == 0 && mn.rightBearing == mn.width &&
                      mn.ascent == info->fontAscent && mn.descent == info->fontDescent;
  if (alreadyCells) return false;
  // Glyphs without height give no cell worth padding to.
  return mx.ascent != 0 || mx.descent != 0;
}

void FontComputeInfoAccelerators(FontInfo *info) {
  const xCharInfo &mn = info->minBounds;
  const xCharInfo &mx = info->maxBounds;
  info->noOverlap = info->maxOverlap <= mn.leftBearing;
  bool constant = sameMetrics(mn, mx);
  info->constantMetrics = constant;
  info->terminalFont = constant && mx.leftBearing == 0 && mx.rightBearing == mx.width &&
                       mx.ascent == info->fontAscent && mx.descent == info->fontDescent;
  info->constantWidth = mn.width == mx.width;
  info->inkInside = mn.leftBearing >= 0 && info->maxOverlap <= 0 &&
                    mn.ascent >= -info->fontDescent && mx.ascent <= info->fontAscent &&
                    -mn.descent <= info->fontAscent && mx.descent <= info->fontDescent;
}
