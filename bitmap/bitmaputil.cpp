#include "bitmap/bitmaputil.h"

#include "bitmap/bitmapfont.h"
#include "bitmap/fontink.h"
#include "util/miscutil.h"

namespace {

bool isEmpty(const xCharInfo &g) {
  return g.ascent == -g.descent && g.rightBearing == g.leftBearing && g.width == 0;
}

// Running minimum, maximum, overlap and direction counts over glyph metrics.
struct Fold {
  xCharInfo min = initMinMetrics;
  xCharInfo max = initMaxMetrics;
  int overlap = -32768;
  int leftToRight = 0;
  int rightToLeft = 0;

  void restart() {
    min = initMinMetrics;
    max = initMaxMetrics;
    overlap = -32768;
  }

  void bounds(const xCharInfo &g) {
    if (!isEmpty(g)) {
      auto low = [](int16_t &m, int16_t v) { if (v < m) m = v; };
      auto high = [](int16_t &m, int16_t v) { if (v > m) m = v; };
      low(min.ascent, g.ascent), high(max.ascent, g.ascent);
      low(min.descent, g.descent), high(max.descent, g.descent);
      low(min.leftBearing, g.leftBearing), high(max.leftBearing, g.leftBearing);
      low(min.rightBearing, g.rightBearing), high(max.rightBearing, g.rightBearing);
      low(min.width, g.width), high(max.width, g.width);
    }
    min.attributes &= g.attributes;
    max.attributes |= g.attributes;
  }

  void glyph(const xCharInfo &g) {
    bounds(g);
    (g.width < 0 ? rightToLeft : leftToRight)++;
    int o = g.rightBearing - g.width;
    if (o > overlap) overlap = o;
  }

  unsigned direction() const { return rightToLeft > leftToRight ? 1 : 0; }
};

// Visits the glyph referenced by every code of the font's ranges, in code
// order (a glyph once per code that references it).
template <class Visit>
void forEachEncoded(FontRec *font, Visit visit) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  if (!bf->encoding) return;
  const FontInfo &fi = font->info;
  CharInfo **entry = bf->encoding;
  for (int row = fi.firstRow; row <= fi.lastRow; row++)
    for (int col = fi.firstCol; col <= fi.lastCol; col++, entry++)
      if (*entry) visit(*entry);
}

}  // namespace

void bitmapComputeFontBounds(FontRec *font) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  FontInfo &target = bf->extra ? bf->extra->info : font->info;
  Fold fold;
  for (int i = 0; i < bf->charCount; i++) fold.glyph(bf->metrics[i].metrics);
  target.minBounds = fold.min;
  target.maxBounds = fold.max;
  if (bf->extra) {
    target.drawDirection = fold.direction();
    target.maxOverlap = static_cast<int16_t>(fold.overlap);
    // The direction counts of both passes decide the font's direction.
    fold.restart();
    forEachEncoded(font, [&](CharInfo *g) { fold.glyph(g->metrics); });
    font->info.minBounds = fold.min;
    font->info.maxBounds = fold.max;
  }
  font->info.drawDirection = fold.direction();
  font->info.maxOverlap = static_cast<int16_t>(fold.overlap);
}

bool bitmapAddInkMetrics(FontRec *font) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  auto *ink = FontAllocN<xCharInfo>(bf->charCount > 0 ? static_cast<size_t>(bf->charCount) : 0);
  if (!ink) return false;
  for (int i = 0; i < bf->charCount; i++) FontCharInkMetrics(font, &bf->metrics[i], &ink[i]);
  bf->inkMetricsArray = ink;
  font->info.inkMetrics = 1;
  return true;
}

void bitmapComputeFontInkBounds(FontRec *font) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  if (!bf->inkMetricsArray) {
    if (bf->extra) {
      bf->extra->info.inkMinBounds = bf->extra->info.minBounds;
      bf->extra->info.inkMaxBounds = bf->extra->info.maxBounds;
    }
    font->info.inkMinBounds = font->info.minBounds;
    font->info.inkMaxBounds = font->info.maxBounds;
    return;
  }
  FontInfo &target = bf->extra ? bf->extra->info : font->info;
  Fold fold;
  for (int i = 0; i < bf->charCount; i++) fold.bounds(bf->inkMetricsArray[i]);
  target.inkMinBounds = fold.min;
  target.inkMaxBounds = fold.max;
  if (bf->extra) {
    fold.restart();
    forEachEncoded(font, [&](CharInfo *g) { fold.bounds(bf->inkMetricsArray[g - bf->metrics]); });
    font->info.inkMinBounds = fold.min;
    font->info.inkMaxBounds = fold.max;
  }
}

int bitmapComputeWeight(FontRec *) { return 10; }
