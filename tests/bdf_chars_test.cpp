// The character section of BDF files: glyph records, bitmaps, codes.
#include <gtest/gtest.h>

#include <cstring>

#include "bitmap/bdfread.h"
#include "tests/support/bdf_check.h"
#include "tests/support/bdf_writer.h"
#include "util/miscutil.h"

namespace {

// Lines before the first STARTCHAR of a font with the two default
// properties: 4 header, 4 properties, CHARS.
constexpr int kHeadLines = 9;

// A glyph left of its origin: the font cannot be padded to cells, so the
// glyphs keep the bitmaps that the file gives.
BdfGlyph companion() { return BdfBoxGlyph("z", 250, 1, 1, -1, 0, 1); }
constexpr int kCompanionLines = 8;

BdfFont oneGlyph(BdfGlyph g) {
  BdfFont font;
  font.glyphs = {std::move(g), companion()};
  return font;
}

std::vector<unsigned char> bitsOf(const CharInfo &ci, size_t n) {
  if (!ci.bits) return {};
  return std::vector<unsigned char>(ci.bits, ci.bits + n);
}

TEST(BdfChars, CodeRangesAndEncodingTable) {
  BdfFont font;
  for (int c = 32; c <= 126; c++) font.glyphs.push_back(BdfBoxGlyph("g" + std::to_string(c), c, 4, 4));
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  const FontInfo &fi = r->font.info;
  EXPECT_EQ(fi.firstRow, 0);
  EXPECT_EQ(fi.lastRow, 0);
  EXPECT_EQ(fi.firstCol, 32);
  EXPECT_EQ(fi.lastCol, 126);
  EXPECT_TRUE(fi.allExist);
  EXPECT_EQ(r->bitmap()->encoding[94], &r->bitmap()->metrics[94]);

  font.glyphs = {BdfBoxGlyph("A", 0x41, 4, 4), BdfBoxGlyph("L", 0x142, 4, 4)};
  auto two = LoadBdf(WriteBdf(font));
  ASSERT_EQ(two->status, Successful);
  const FontInfo &ti = two->font.info;
  EXPECT_EQ(ti.firstRow, 0);
  EXPECT_EQ(ti.lastRow, 1);
  EXPECT_EQ(ti.firstCol, 0x41);
  EXPECT_EQ(ti.lastCol, 0x42);
  EXPECT_FALSE(ti.allExist);
  CharInfo **enc = two->bitmap()->encoding;
  EXPECT_EQ(enc[0], &two->bitmap()->metrics[0]);
  EXPECT_EQ(enc[1], nullptr);
  EXPECT_EQ(enc[2], nullptr);
  EXPECT_EQ(enc[3], &two->bitmap()->metrics[1]);
}

TEST(BdfChars, EncodingLines) {
  BdfFont font;
  BdfGlyph alt = BdfBoxGlyph("alt", 0, 4, 4);
  alt.encoding = "-1 200";
  BdfGlyph unencoded = BdfBoxGlyph("none", 0, 4, 4);
  unencoded.encoding = "-1";
  BdfGlyph large = BdfBoxGlyph("large", 0, 4, 4);
  large.encoding = "65536";
  BdfGlyph dup = BdfBoxGlyph("dup", 200, 3, 3);
  font.glyphs = {alt, unencoded, large, dup};
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(r->messages, BdfErrorText(kHeadLines + 2 * 11 + 2,
                                      "char 'large' has encoding too large (65536)\n"));
  EXPECT_EQ(r->bitmap()->charCount, 4);
  EXPECT_EQ(r->font.info.firstCol, 200);
  EXPECT_EQ(r->font.info.lastCol, 200);
  // The later glyph of a code takes its place.
  EXPECT_EQ(r->bitmap()->encoding[0], &r->bitmap()->metrics[3]);
  EXPECT_STREQ(NameForAtom(r->bitmap()->extra->glyphNames[1]), "none");

  for (const char *bad : {"-2", "-1 -5"}) {
    BdfGlyph g = BdfBoxGlyph("bad", 0, 4, 4);
    g.encoding = bad;
    auto b = LoadBdf(WriteBdf(oneGlyph(g)));
    EXPECT_EQ(b->status, AllocFailure);
    EXPECT_EQ(b->messages, BdfErrorText(kHeadLines + 2, "bad ENCODING value"));
  }
  BdfGlyph g = BdfBoxGlyph("bad", 0, 4, 4);
  g.encoding = "x";
  EXPECT_EQ(LoadBdf(WriteBdf(oneGlyph(g)))->messages,
            BdfErrorText(kHeadLines + 2, "bad 'ENCODING' in BDF file\n"));

  BdfFont allUnencoded;
  allUnencoded.glyphs = {unencoded};
  auto w = LoadBdf(WriteBdf(allUnencoded));
  EXPECT_EQ(w->status, Successful);
  EXPECT_EQ(w->messages, "BDF Warning on line 21: No characters with valid encodings\n");
}

TEST(BdfChars, KeywordLineFailures) {
  struct Case {
    void (*edit)(BdfGlyph &);
    int line;
    std::string message;
  } cases[] = {
      {[](BdfGlyph &g) { g.swidth = "500 1"; }, 3, "SWIDTH y value must be zero\n"},
      {[](BdfGlyph &g) { g.swidth = "500"; }, 3, "bad 'SWIDTH'\n"},
      {[](BdfGlyph &g) { g.dwidth = "8 2"; }, 4, "DWIDTH y value must be zero\n"},
      {[](BdfGlyph &g) { g.dwidth = "8 x"; }, 4, "bad 'DWIDTH'\n"},
      {[](BdfGlyph &g) { g.height = -3; }, 5, "character 'A' has a negative sized bitmap, 4x-3\n"},
      {[](BdfGlyph &g) { g.name = ""; }, 1, "bad character name in BDF file\n"},
  };
  for (const Case &c : cases) {
    BdfGlyph g = BdfBoxGlyph("A", 65, 4, 2);
    c.edit(g);
    auto r = LoadBdf(WriteBdf(oneGlyph(g)));
    EXPECT_EQ(r->status, AllocFailure);
    EXPECT_EQ(r->messages, BdfErrorText(kHeadLines + c.line, c.message));
  }
  std::string text = WriteBdf(oneGlyph(BdfBoxGlyph("A", 65, 4, 2)));
  EXPECT_EQ(LoadBdf(BdfDropLine(text, "BBX"))->messages, BdfErrorText(kHeadLines + 5, "bad 'BBX'\n"));
  EXPECT_EQ(LoadBdf(BdfDropLine(text, "BITMAP"))->messages,
            BdfErrorText(kHeadLines + 6, "missing 'BITMAP'\n"));
  EXPECT_EQ(LoadBdf(BdfDropLine(text, "CHARS"))->messages, BdfErrorText(kHeadLines, "bad 'CHARS' in bdf file\n"));
  std::string zero = text;
  zero.replace(zero.find("CHARS 2"), 7, "CHARS 0");
  EXPECT_EQ(LoadBdf(zero)->messages, BdfErrorText(kHeadLines, "invalid number of CHARS in BDF file\n"));
  EXPECT_EQ(LoadBdf(BdfDropLine(text, "ENDFONT"))->messages, BdfErrorText(kHeadLines + 9 + kCompanionLines, "missing 'ENDFONT'\n"));
  // A last line without its line feed is never seen.
  BdfFont noFeed = oneGlyph(BdfBoxGlyph("A", 65, 4, 2));
  noFeed.finalLineFeed = false;
  EXPECT_EQ(LoadBdf(WriteBdf(noFeed))->messages, BdfErrorText(kHeadLines + 9 + kCompanionLines, "missing 'ENDFONT'\n"));
}

TEST(BdfChars, DeclaredCountMustMatch) {
  BdfFont font;
  font.glyphs = {BdfBoxGlyph("a", 1, 2, 2), BdfBoxGlyph("b", 2, 2, 2)};
  font.declaredChars = 3;
  auto r = LoadBdf(WriteBdf(font));
  EXPECT_EQ(r->status, AllocFailure);
  EXPECT_EQ(r->messages, BdfErrorText(kHeadLines + 18 + 1, "1 too few characters\n"));
  font.declaredChars = 1;
  EXPECT_EQ(LoadBdf(WriteBdf(font))->messages,
            BdfErrorText(kHeadLines + 10, "more characters than specified\n"));
  // A huge count whose glyph array cannot be had is refused at once; one
  // within the ceiling costs memory only as glyphs arrive.
  font.declaredChars = 2147483647;
  EXPECT_EQ(LoadBdf(WriteBdf(font))->messages,
            BdfErrorText(kHeadLines, "Couldn't allocate pCI (2147483647*16)\n"));
  font.declaredChars = 2000000;
  EXPECT_EQ(LoadBdf(WriteBdf(font))->messages,
            BdfErrorText(kHeadLines + 18 + 1, "1999998 too few characters\n"));
}

TEST(BdfChars, RowsAreTrimmedPaddedAndChecked) {
  BdfGlyph g = BdfBoxGlyph("w", 65, 12, 3);
  g.rows = {"FFF0", "FFFF", "FF"};
  auto r = LoadBdf(WriteBdf(oneGlyph(g)));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(r->messages, "");
  EXPECT_EQ(bitsOf(r->bitmap()->metrics[0], 6),
            (std::vector<unsigned char>{0xFF, 0xF0, 0xFF, 0xF0, 0xFF, 0x00}));
  // Totals at each padding, the companion's one row included.
  EXPECT_EQ(r->bitmap()->extra->bitmapSizes[0], 6 + 1);
  EXPECT_EQ(r->bitmap()->extra->bitmapSizes[1], 6 + 2);
  EXPECT_EQ(r->bitmap()->extra->bitmapSizes[2], 12 + 4);
  EXPECT_EQ(r->bitmap()->extra->bitmapSizes[3], 24 + 8);

  g.rows = {"F0F", "FFF0", "FFG0"};
  auto odd = LoadBdf(WriteBdf(oneGlyph(g)));
  ASSERT_EQ(odd->status, Successful);
  EXPECT_EQ(odd->messages, BdfErrorText(kHeadLines + 7, "odd number of characters in hex encoding\n") +
                               BdfErrorText(kHeadLines + 9, "bad hex char 'G'"));
  EXPECT_EQ(bitsOf(odd->bitmap()->metrics[0], 6),
            (std::vector<unsigned char>{0xF0, 0xF0, 0xFF, 0xF0, 0xFF, 0x00}));

  // Too few rows: ENDCHAR and what follows are taken as rows.
  BdfFont font;
  BdfGlyph shortRows = BdfBoxGlyph("s", 65, 8, 3);
  shortRows.rows = {"FF"};
  font.glyphs = {shortRows, BdfBoxGlyph("t", 66, 8, 1)};
  auto s = LoadBdf(WriteBdf(font));
  EXPECT_EQ(s->status, AllocFailure);
  int rowLine = kHeadLines + 8;
  EXPECT_EQ(s->messages,
            BdfErrorText(rowLine, "odd number of characters in hex encoding\n") +
                BdfErrorText(rowLine, "bad hex char 'N'") +
                BdfErrorText(rowLine + 1, "odd number of characters in hex encoding\n") +
                BdfErrorText(rowLine + 1, "bad hex char 'S'") +
                BdfErrorText(rowLine + 1, "bad hex char 'T'") +
                BdfErrorText(rowLine + 2, "missing 'ENDCHAR'\n") +
                BdfErrorText(rowLine + 3, "1 too few characters\n"));
}

TEST(BdfChars, EmptyAndZeroWidthBitmaps) {
  BdfGlyph empty = BdfBoxGlyph("space", 32, 0, 0);
  BdfGlyph zeroWidth = BdfBoxGlyph("zw", 33, 0, 3);
  zeroWidth.rows = {};
  zeroWidth.height = 3;
  BdfFont font;
  font.glyphs = {empty, zeroWidth, companion()};
  // The writer writes rows for BBX height unless told: give none.
  std::string text = WriteBdf(font);
  size_t at = text.find("BBX 0 3");
  at = text.find("BITMAP\n", at) + 7;
  size_t end = text.find("ENDCHAR", at);
  text.erase(at, end - at);
  auto r = LoadBdf(text);
  ASSERT_EQ(r->status, Successful) << r->messages;
  EXPECT_EQ(r->messages, "");
  EXPECT_EQ(r->bitmap()->metrics[0].bits, nullptr);
  EXPECT_EQ(r->bitmap()->metrics[1].bits, nullptr);
  EXPECT_EQ(r->bitmap()->metrics[1].metrics.ascent, 3);
}

TEST(BdfChars, BitOrderByteOrderPaddingAndScanUnit) {
  BdfGlyph g = BdfBoxGlyph("w", 65, 12, 1);
  g.rows = {"A1F0"};
  std::string text = WriteBdf(oneGlyph(g));
  struct Case {
    int bit, byte, pad, scan;
    std::vector<unsigned char> bits;
  } cases[] = {
      {1, 0, 1, 1, {0xA1, 0xF0}},
      {1, 0, 4, 1, {0xA1, 0xF0, 0x00, 0x00}},
      {0, 0, 1, 1, {0x85, 0x0F}},
      {1, 0, 2, 2, {0xF0, 0xA1}},
      {1, 0, 4, 4, {0x00, 0x00, 0xF0, 0xA1}},
      {1, 1, 4, 4, {0xA1, 0xF0, 0x00, 0x00}},
      {0, 1, 8, 2, {0x0F, 0x85, 0, 0, 0, 0, 0, 0}},
  };
  for (const Case &c : cases) {
    auto r = LoadBdf(text, c.bit, c.byte, c.pad, c.scan);
    ASSERT_EQ(r->status, Successful);
    EXPECT_EQ(bitsOf(r->bitmap()->metrics[0], c.bits.size()), c.bits)
        << c.bit << c.byte << c.pad << c.scan;
  }
}

TEST(BdfChars, AttributesAndGlyphNames) {
  BdfGlyph g = BdfBoxGlyph("A", 65, 4, 1);
  g.attributes = "1234";
  BdfGlyph shortAttr = BdfBoxGlyph("B", 66, 4, 1);
  shortAttr.attributes = "12";  // missing digits read as 0
  BdfGlyph longName = BdfBoxGlyph(std::string(150, 'n'), 67, 4, 1);
  BdfFont font;
  font.glyphs = {g, shortAttr, longName};
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(r->bitmap()->metrics[0].metrics.attributes, 0x1234);
  EXPECT_EQ(r->bitmap()->metrics[1].metrics.attributes, 0x1200);
  EXPECT_EQ(NameForAtom(r->bitmap()->extra->glyphNames[2]), std::string(99, 'n'));
}

TEST(BdfChars, WrappedOffsetsKeepTheBoxAndFeedTheBoundsAsWrapped) {
  // One 8 x 2 glyph whose offsets wrap round in the 16-bit metrics (its
  // advance is 8 + the x offset, wrapped too).  Its rows are read, and the
  // bounds, the cell test and the ink metrics work on the wrapped values.
  struct Case {
    int x, y;
    GenMetric metrics;  // after the read, and the widening to a cell
    GenMetric ink;
  } cases[] = {
      {0, 40000, {0, 8, 8, -25534, 25536, 0}, {0, 8, 8, -25534, 25536, 0}},
      {0, -40000, {0, 8, 8, 25538, -25536, 0}, {0, 8, 8, 25538, -25536, 0}},
      {40000, 0, {-25536, -25528, -25528, 2, 0, 0}, {-25536, -25528, -25528, 2, 0, 0}},
      // Left bearing 25536 and advance 25544: the font passes the cell test,
      // and the glyph is widened into a cell 25544 wide, 14 + 2 high.
      {-40000, 0, {0, 25544, 25544, 14, 2, 0}, {25536, 25544, 25544, 2, 0, 0}},
  };
  for (const Case &c : cases) {
    BdfFont font;
    font.glyphs = {BdfBoxGlyph("A", 65, 8, 2, c.x, c.y)};
    auto r = LoadBdf(WriteBdf(font));
    ASSERT_EQ(r->status, Successful) << c.x << "," << c.y;
    EXPECT_EQ(r->messages, "");
    EXPECT_TRUE(SameMetric(r->bitmap()->metrics[0].metrics, c.metrics)) << c.x << "," << c.y;
    ASSERT_NE(r->bitmap()->inkMetricsArray, nullptr);
    EXPECT_TRUE(SameMetric(r->bitmap()->inkMetricsArray[0], c.ink)) << c.x << "," << c.y;
    EXPECT_EQ(IntProperty(r->font.info, "X_HEIGHT"), c.ink.ascent);
  }
}

TEST(BdfChars, ABitmapPastTheAllocationCeilingIsReadButNotKept) {
  // 65534 x 65534 pixels, 512 MiB: the rows are read as if kept, with the
  // same messages, and the next glyph is found after them.
  BdfGlyph huge = BdfBoxGlyph("A", 65, 0, 0);
  huge.bbx = "65534 65534 -32767 -32767";
  huge.rows.assign(65534, "FF");
  huge.rows[1] = "F";
  FontAllocFailAt(0);
  auto r = LoadBdf(WriteBdf(oneGlyph(huge)));
  ASSERT_EQ(r->status, Successful);
  EXPECT_LT(FontAllocLargest(), kFontAllocLimit);
  EXPECT_EQ(r->messages,
            BdfErrorText(kHeadLines + 8, "odd number of characters in hex encoding\n"));
  ASSERT_EQ(r->bitmap()->charCount, 2);
  EXPECT_EQ(r->bitmap()->metrics[0].bits, nullptr);
  EXPECT_EQ(r->bitmap()->metrics[1].metrics.leftBearing, -1);
}

TEST(BdfChars, GlyphStatistics) {
  BdfFont font;
  font.properties = {BdfInt("FONT_ASCENT", 14), BdfInt("FONT_DESCENT", 2)};
  font.glyphs = {BdfBoxGlyph("0", 48, 4, 7, 0, 0, 6), BdfBoxGlyph("1", 49, 4, 7, 0, 0, 6),
                 BdfBoxGlyph("2", 50, 4, 7, 0, 0, 7), BdfBoxGlyph("x", 120, 4, 7, 0, -9, 6)};
  auto r = LoadBdf(WriteBdf(font));
  ASSERT_EQ(r->status, Successful);
  EXPECT_EQ(IntProperty(r->font.info, "QUAD_WIDTH"), 6);
  EXPECT_EQ(IntProperty(r->font.info, "X_HEIGHT"), 7);
}

}  // namespace
