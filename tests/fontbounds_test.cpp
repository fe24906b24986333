// Bounds, ink metrics, accelerators and bitmap converters of bitmap fonts.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap/bitmapfont.h"
#include "bitmap/bitmaputil.h"
#include "bitmap/fontink.h"
#include "util/fontaccel.h"
#include "util/miscutil.h"
#include "util/utilbitmap.h"

namespace {

xCharInfo metrics(int lb, int rb, int width, int ascent, int descent, int attributes = 0) {
  return {static_cast<int16_t>(lb), static_cast<int16_t>(rb), static_cast<int16_t>(width),
          static_cast<int16_t>(ascent), static_cast<int16_t>(descent),
          static_cast<uint16_t>(attributes)};
}

bool same(const xCharInfo &a, const xCharInfo &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// A font of the given glyphs, all encoded in one row from column 0.
struct TestFont {
  FontRec font = {};
  BitmapFont bitmap = {};
  BitmapExtra extra = {};
  std::vector<CharInfo> glyphs;
  std::vector<CharInfo *> encoding;
  TestFont(std::vector<xCharInfo> ms, bool withExtra = true) {
    for (const xCharInfo &m : ms) glyphs.push_back({m, nullptr});
    for (CharInfo &g : glyphs) encoding.push_back(&g);
    bitmap.charCount = static_cast<int>(glyphs.size());
    bitmap.metrics = glyphs.data();
    bitmap.encoding = encoding.data();
    bitmap.extra = withExtra ? &extra : nullptr;
    font.fontPrivate = &bitmap;
    font.info.lastCol = static_cast<uint16_t>(glyphs.size() - 1);
    font.bitOrder = 1;
    font.glyphPad = 1;
  }
};

TEST(FontBounds, EmptyGlyphsStayOutOfTheExtremes) {
  TestFont t({metrics(0, 0, 0, 0, 0, 0x5), metrics(0, 0, 0, 3, -3, 0x4)});
  bitmapComputeFontBounds(&t.font);
  EXPECT_TRUE(same(t.font.info.minBounds, metrics(32767, 32767, 32767, 32767, 32767, 0x4)));
  EXPECT_TRUE(same(t.font.info.maxBounds, metrics(-32768, -32768, -32768, -32768, -32768, 0x5)));
  EXPECT_EQ(t.font.info.maxOverlap, 0);
}

TEST(FontBounds, DirectionAndOverlapOverBothPasses) {
  TestFont t({metrics(0, 5, -4, 3, 0), metrics(-1, 6, -2, 3, 1), metrics(0, 4, 4, 2, 0)});
  bitmapComputeFontBounds(&t.font);
  EXPECT_EQ(t.extra.info.drawDirection, 1u);
  EXPECT_EQ(t.font.info.drawDirection, 1u);
  EXPECT_EQ(t.font.info.maxOverlap, 9);
  EXPECT_TRUE(same(t.font.info.minBounds, metrics(-1, 4, -4, 2, 0)));
  EXPECT_TRUE(same(t.font.info.maxBounds, metrics(0, 6, 4, 3, 1)));
  TestFont tie({metrics(0, 5, -4, 3, 0), metrics(0, 4, 4, 2, 0)}, false);
  bitmapComputeFontBounds(&tie.font);
  EXPECT_EQ(tie.font.info.drawDirection, 0u);
}

TEST(FontAccel, CellTestAndFlags) {
  FontInfo fi = {};
  fi.fontAscent = 10;
  fi.fontDescent = 2;
  fi.minBounds = metrics(0, 4, 8, 5, 0);
  fi.maxBounds = metrics(1, 7, 8, 10, 2);
  EXPECT_TRUE(FontCouldBeTerminal(&fi));
  fi.maxBounds = metrics(0, 8, 8, 10, 2);
  fi.minBounds = metrics(0, 8, 8, 10, 2);
  EXPECT_FALSE(FontCouldBeTerminal(&fi));  // already cells
  fi.maxOverlap = 0;
  FontComputeInfoAccelerators(&fi);
  EXPECT_TRUE(fi.terminalFont && fi.constantMetrics && fi.constantWidth && fi.inkInside);
  fi.minBounds.attributes = 1;
  FontComputeInfoAccelerators(&fi);
  EXPECT_FALSE(fi.constantMetrics);
  EXPECT_FALSE(fi.terminalFont);
  FontInfo flat = {};
  flat.minBounds = metrics(0, 4, 8, 0, 0);
  flat.maxBounds = metrics(1, 7, 8, 0, 0);
  EXPECT_FALSE(FontCouldBeTerminal(&flat));
}

TEST(FontInk, ScansOnlyValidPixelsInEitherBitOrder) {
  for (int order : {1, 0}) {
    TestFont t({metrics(0, 3, 3, 2, 0, 7)});
    t.font.bitOrder = static_cast<uint8_t>(order);
    unsigned char bits[2] = {0x00, static_cast<unsigned char>(order ? 0x40 : 0x02)};
    t.glyphs[0].bits = bits;
    xCharInfo ink;
    FontCharInkMetrics(&t.font, &t.glyphs[0], &ink);
    EXPECT_TRUE(same(ink, metrics(1, 2, 3, 1, 0, 7))) << order;
    // Set bits beyond the width are no ink.
    bits[1] = order ? 0x1F : 0xF8;
    bits[0] = 0;
    FontCharInkMetrics(&t.font, &t.glyphs[0], &ink);
    EXPECT_EQ(ink.leftBearing, ink.rightBearing);
    bits[1] = 0;
    FontCharInkMetrics(&t.font, &t.glyphs[0], &ink);
    EXPECT_TRUE(same(ink, metrics(0, 0, 3, 0, 0, 7)));
  }
}

TEST(FontInk, ReshapeKeepsThePlaceAndCutsOutside) {
  TestFont t({metrics(1, 3, 4, 2, 0)});
  unsigned char src[2] = {0xC0, 0x40};  // rows: XX, .X
  t.glyphs[0].bits = src;
  unsigned char dst[3] = {0xFF, 0xFF, 0xFF};
  CharInfo cell = {metrics(0, 4, 4, 2, 1), dst};
  FontCharReshape(&t.font, &t.glyphs[0], &cell);
  EXPECT_EQ(dst[0], 0x60);
  EXPECT_EQ(dst[1], 0x20);
  EXPECT_EQ(dst[2], 0x00);
  CharInfo away = {metrics(10, 14, 4, 2, 1), dst};
  FontCharReshape(&t.font, &t.glyphs[0], &away);
  EXPECT_EQ(dst[0] | dst[1] | dst[2], 0);
}

TEST(FontInk, InkBoundsWithoutInkMetricsCopyTheBounds) {
  TestFont t({metrics(0, 3, 4, 2, 0), metrics(1, 2, 4, 1, 1)});
  bitmapComputeFontBounds(&t.font);
  bitmapComputeFontInkBounds(&t.font);
  EXPECT_TRUE(same(t.font.info.inkMinBounds, t.font.info.minBounds));
  EXPECT_TRUE(same(t.extra.info.inkMaxBounds, t.extra.info.maxBounds));
  unsigned char a[2] = {0x20, 0x00}, b[2] = {0x80, 0x80};
  t.glyphs[0].bits = a;
  t.glyphs[1].bits = b;
  ASSERT_TRUE(bitmapAddInkMetrics(&t.font));
  EXPECT_TRUE(t.font.info.inkMetrics);
  bitmapComputeFontInkBounds(&t.font);
  EXPECT_TRUE(same(t.font.info.inkMinBounds, metrics(1, 2, 4, 1, -1)));
  EXPECT_TRUE(same(t.font.info.inkMaxBounds, metrics(2, 3, 4, 2, 1)));
  FontFree(t.bitmap.inkMetricsArray);
}

TEST(UtilBitmap, ConvertersAndStrides) {
  unsigned char b[6] = {0x01, 0x80, 0xF0, 0x12, 0x34, 0x56};
  BitOrderInvert(b, 3);
  EXPECT_EQ(b[0], 0x80);
  EXPECT_EQ(b[1], 0x01);
  EXPECT_EQ(b[2], 0x0F);
  TwoByteSwap(b, 5);  // whole pairs only
  EXPECT_EQ(b[0], 0x01);
  EXPECT_EQ(b[3], 0x0F);
  EXPECT_EQ(b[4], 0x34);
  unsigned char c[5] = {1, 2, 3, 4, 5};
  FourByteSwap(c, 5);
  EXPECT_EQ(std::vector<int>(c, c + 5), (std::vector<int>{4, 3, 2, 1, 5}));
  EXPECT_EQ(BitmapBytesPerRow(12, 1), 2);
  EXPECT_EQ(BitmapBytesPerRow(12, 2), 2);
  EXPECT_EQ(BitmapBytesPerRow(17, 2), 4);
  EXPECT_EQ(BitmapBytesPerRow(12, 4), 4);
  EXPECT_EQ(BitmapBytesPerRow(65, 8), 16);
  EXPECT_EQ(BitmapBytesPerRow(0, 8), 0);
  // Negative widths round up as well, toward 0.
  EXPECT_EQ(BitmapBytesPerRow(-7, 1), 0);
  EXPECT_EQ(BitmapBytesPerRow(-8, 1), -1);
  EXPECT_EQ(BitmapBytesPerRow(-65535, 1), -8191);
  EXPECT_EQ(BitmapBytesPerRow(-17, 2), -2);
  EXPECT_EQ(BitmapBytesPerRow(-65535, 8), -8184);
}

}  // namespace
