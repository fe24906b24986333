// Whole BDF fonts: default glyph, computed properties, cell padding, the
// information reader and its behaviour when memory runs out.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap/bdfread.h"
#include "tests/support/bdf_check.h"
#include "tests/support/bdf_writer.h"
#include "tests/support/membuf.h"
#include "util/miscutil.h"

namespace {

BdfGlyph leftOfOrigin() { return BdfBoxGlyph("z", 250, 1, 1, -1, 0, 1); }

TEST(BdfFont, DefaultGlyph) {
  BdfFont font = BdfSampleFont();
  font.glyphs.push_back(BdfBoxGlyph("space", 32, 1, 1));
  font.properties.push_back(BdfInt("DEFAULT_CHAR", 32));
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(r->bitmap()->defaultGlyph, &r->bitmap()->metrics[2]);
  font.properties.back() = BdfInt("DEFAULT_CHAR", 0x2121);
  auto outside = LoadBdf(WriteBdf(font));
  EXPECT_EQ(outside->font.info.defaultChar, 0x2121);
  EXPECT_EQ(outside->bitmap()->defaultGlyph, nullptr);
  auto none = LoadBdf(WriteBdf(BdfSampleFont()));
  EXPECT_EQ(none->font.info.defaultChar, 0);
  EXPECT_EQ(none->bitmap()->defaultGlyph, nullptr);
  EXPECT_EQ(none->font.info.cachable, 1u);
  EXPECT_EQ(none->font.info.anamorphic, 0u);
}

TEST(BdfFont, QuadWidthFromDigitsOrInkAdvances) {
  auto quad = [](std::vector<BdfGlyph> glyphs) {
    BdfFont font;
    font.glyphs = std::move(glyphs);
    font.glyphs.push_back(leftOfOrigin());
    auto r = LoadBdf(WriteBdf(font));
    EXPECT_EQ(r->status, Successful) << r->messages;
    return IntProperty(r->font.info, "QUAD_WIDTH").value_or(-999);
  };
  std::vector<BdfGlyph> digits;
  for (int d = 0; d < 10; d++) digits.push_back(BdfBoxGlyph(std::to_string(d), 48 + d, 4, 4, 0, 0, 6));
  EXPECT_EQ(quad(digits), 6);
  // The companion glyph has advance 1: ink advances 1 and 9 give 5.
  EXPECT_EQ(quad({BdfBoxGlyph("a", 97, 4, 4, 0, 0, 4), BdfBoxGlyph("b", 98, 4, 4, 0, 0, 9)}), 5);
  BdfGlyph back = BdfBoxGlyph("a", 97, 2, 2, 0, 0);
  back.dwidth = "-3 0";
  BdfGlyph zero = BdfBoxGlyph("b", 98, 2, 2, 0, 0, 0);
  EXPECT_EQ(quad({back, zero}), -1);  // (-3 + 1) / 2, toward zero
  // X_HEIGHT without a glyph named x: the smallest ink ascent.
  BdfFont font;
  font.glyphs = {BdfBoxGlyph("a", 97, 4, 5, 0, 0), leftOfOrigin()};
  auto r = LoadBdf(WriteBdf(font));
  EXPECT_EQ(IntProperty(r->font.info, "X_HEIGHT"), 1);
}

TEST(BdfFont, MonospacedGlyphsArePaddedToCells) {
  BdfFont font;  // ascent 14, descent 2
  font.glyphs = {BdfBoxGlyph("i", 105, 2, 4, 3, 0, 8), BdfBoxGlyph("j", 106, 3, 6, 2, -2, 8)};
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  for (int i = 0; i < 2; i++) {
    const CharInfo &g = r->bitmap()->metrics[i];
    EXPECT_EQ(g.metrics.leftBearing, 0);
    EXPECT_EQ(g.metrics.rightBearing, 8);
    EXPECT_EQ(g.metrics.width, 8);
    EXPECT_EQ(g.metrics.ascent, 14);
    EXPECT_EQ(g.metrics.descent, 2);
    ASSERT_NE(g.bits, nullptr);
  }
  const unsigned char *i = r->bitmap()->metrics[0].bits;
  for (int row = 0; row < 16; row++) EXPECT_EQ(i[row], row >= 10 && row < 14 ? 0x18 : 0) << row;
  const unsigned char *j = r->bitmap()->metrics[1].bits;
  for (int row = 0; row < 16; row++) EXPECT_EQ(j[row], row >= 10 ? 0x38 : 0) << row;
  const FontInfo &fi = r->font.info;
  EXPECT_TRUE(fi.terminalFont && fi.constantMetrics && fi.inkMetrics);
  EXPECT_EQ(fi.inkMinBounds.ascent, 4);
  EXPECT_EQ(fi.inkMaxBounds.descent, 2);
  EXPECT_EQ(r->bitmap()->extra->bitmapSizes[3], 8 * 16 * 2);
}

TEST(BdfFont, CellsWithoutBytesAndHugeCells) {
  // Glyphs of width 0 that could be cells: widened with no bitmap at all.
  BdfFont font;
  font.glyphs = {BdfBoxGlyph("a", 97, 0, 3, 0, 0, 0), BdfBoxGlyph("b", 98, 0, 2, 0, 0, 0)};
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(r->bitmap()->metrics[0].metrics.ascent, 14);
  EXPECT_EQ(r->bitmap()->metrics[0].bits, nullptr);
  // A cell past the allocation ceiling: widening stops, the glyphs keep
  // their own metrics and the font still reads.
  BdfFont huge;
  huge.properties = {BdfInt("FONT_ASCENT", 30000), BdfInt("FONT_DESCENT", 0)};
  huge.glyphs = {BdfBoxGlyph("a", 97, 1, 1, 0, 0, 32000), BdfBoxGlyph("b", 98, 1, 1, 0, 0, 32000)};
  auto h = LoadBdf(WriteBdf(huge));
  ASSERT_EQ(h->status, Successful);
  EXPECT_EQ(h->bitmap()->metrics[0].metrics.rightBearing, 1);
  EXPECT_FALSE(h->font.info.terminalFont);
  // Cells within the ceiling but far beyond what the file backs: the total
  // stays bounded, so only some glyphs are widened.
  BdfFont many;
  many.properties = {BdfInt("FONT_ASCENT", 16000), BdfInt("FONT_DESCENT", 0)};
  for (int c = 0; c < 40; c++) many.glyphs.push_back(BdfBoxGlyph("g", c, 1, 1, 0, 0, 32000));
  auto m = LoadBdf(WriteBdf(many));
  ASSERT_EQ(m->status, Successful);
  EXPECT_EQ(m->bitmap()->metrics[0].metrics.width, 32000);
  EXPECT_EQ(m->bitmap()->metrics[0].metrics.rightBearing, 32000);
  EXPECT_EQ(m->bitmap()->metrics[39].metrics.rightBearing, 1);
}

TEST(BdfFontInfo, HandsOutTheInformationOrLeavesTheRecord) {
  std::string text = WriteBdf(BdfSampleFont());
  FontInfo info;
  std::memset(&info, 0x5A, sizeof info);
  FontInfo before = info;
  std::string cut = BdfCutAfter(text, "STARTCHAR B");
  BufFile *file = MemBufOpen(cut.data(), cut.size());
  StderrCapture capture;
  EXPECT_EQ(bdfReadFontInfo(&info, file), BadFont);
  capture.finish();
  BufFileClose(file, 1);
  EXPECT_EQ(std::memcmp(&info, &before, sizeof info), 0);

  file = MemBufOpen(text.data(), text.size());
  ASSERT_EQ(bdfReadFontInfo(&info, file), Successful);
  BufFileClose(file, 1);
  EXPECT_EQ(StringProperty(info, "FONT"), BdfFont().headerName);
  EXPECT_EQ(info.firstCol, 65);
  EXPECT_EQ(info.lastCol, 66);
  EXPECT_EQ(info.cachable, 1u);
  FontInfoFreeProps(&info);
}

// Every allocation of a read, made to fail in turn: the read fails cleanly
// (ASan sees no leak) or, where the failure is tolerated, succeeds.
TEST(BdfFontInfo, EveryAllocationFailureIsClean) {
  BdfFont font = BdfSampleFont();
  font.properties.push_back(BdfString("FONT", "-x-y-medium-r-normal--16-120-75-75-c-80-iso8859-1"));
  font.properties.push_back(BdfString("COPYRIGHT", std::string(1000, 'c')));
  for (int c = 0; c < 300; c++) font.glyphs.push_back(BdfBoxGlyph("g" + std::to_string(c), 256 + c, 3, 3));
  BdfGlyph unencoded = BdfBoxGlyph("u", 0, 2, 2);
  unencoded.encoding = "-1";
  font.glyphs.push_back(unencoded);
  std::string text = WriteBdf(font);
  int failures = 0, successes = 0;
  for (long n = 1;; n++) {
    BufFile *file = MemBufOpen(text.data(), text.size());
    FontInfo info = {};
    StderrCapture capture;
    FontAllocFailAt(n);
    int status = bdfReadFontInfo(&info, file);
    long made = FontAllocCount();
    FontAllocFailAt(0);
    capture.finish();
    BufFileClose(file, 1);
    if (status == Successful) {
      ++successes;
      EXPECT_TRUE(StringProperty(info, "FONT").has_value());
      FontInfoFreeProps(&info);
    } else {
      ++failures;
      EXPECT_EQ(status, AllocFailure) << n;  // never mistaken for a damaged font
      EXPECT_EQ(info.props, nullptr);
    }
    if (made < n) break;  // the nth allocation was never reached
  }
  EXPECT_GT(failures, 5);
  EXPECT_GT(successes, 1);  // extra record, ink metrics: failures tolerated
}

}  // namespace
