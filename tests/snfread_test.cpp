#include "bitmap/snfread.h"

#include <gtest/gtest.h>

#include "tests/support/fontinfo_util.h"
#include "tests/support/membuf.h"
#include "tests/support/snf_writer.h"
#include "util/miscutil.h"

namespace {

const char kName[] = "-Lorvane-Test-Bold-R-Normal--13-130-75-75-C-60-ISO8859-1";

struct SnfRead : ReadResult {
  explicit SnfRead(const std::string &bytes) { ReadInfo(snfReadFontInfo, bytes, this); }
};

TEST(SnfRead, HeaderFieldsAndPropertiesAreRead) {
  SnfFont font = TypicalSnf(kName);
  font.fontAscent = 10;   // offset 60
  font.fontDescent = 3;   // offset 56
  font.drawDirection = 1;
  font.noOverlap = 3;     // only bit 0 counts
  font.allExist = 0;
  font.defaultChar = 0x2041;
  font.minBounds = {-1, 2, 3, 4, 5, 6};
  font.maxBounds = {7, 8, 9, 10, 11, 0};
  font.properties.push_back(IntProp("NUMBER", -7));
  std::string bytes = WriteSnf(font);
  ASSERT_EQ(GetLSB32(bytes, kSnfAscentAt), 10u);
  ASSERT_EQ(GetLSB32(bytes, kSnfDescentAt), 3u);
  SnfRead r(bytes);
  ASSERT_EQ(r.status, Successful);
  EXPECT_EQ(r.info.fontAscent, 10);
  EXPECT_EQ(r.info.fontDescent, 3);
  EXPECT_EQ(r.info.firstCol, 32);
  EXPECT_EQ(r.info.lastCol, 126);
  EXPECT_EQ(r.info.defaultChar, 0x2041);
  EXPECT_EQ(r.info.drawDirection, 1u);
  EXPECT_EQ(r.info.noOverlap, 1u);
  EXPECT_EQ(r.info.allExist, 0u);
  EXPECT_EQ(r.info.terminalFont, 1u);
  EXPECT_EQ(r.info.constantMetrics, 1u);
  EXPECT_EQ(r.info.constantWidth, 1u);
  EXPECT_EQ(r.info.inkInside, 1u);
  EXPECT_EQ(r.info.inkMetrics, 0u);
  EXPECT_EQ(r.info.maxOverlap, 0);
  EXPECT_EQ(r.info.cachable, 1u);
  EXPECT_EQ(r.info.anamorphic, 0u);
  EXPECT_TRUE(SameMetric(r.info.minBounds, font.minBounds));
  EXPECT_TRUE(SameMetric(r.info.maxBounds, font.maxBounds));
  // Without ink metrics the ink bounds are the bounds.
  EXPECT_TRUE(SameMetric(r.info.inkMinBounds, font.minBounds));
  EXPECT_TRUE(SameMetric(r.info.inkMaxBounds, font.maxBounds));
  EXPECT_EQ(r.info.propCount, 11);
  EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
  EXPECT_EQ(IntProperty(r.info, "NUMBER"), -7);
  EXPECT_EQ(IntProperty(r.info, "PIXEL_SIZE"), 13);
}

TEST(SnfRead, InkBoundsFollowThePropertiesWhenAnnounced) {
  SnfFont font = TypicalSnf(kName);
  font.flags |= 1u << 3;
  font.inkMinBounds = {0, 1, 2, 3, 4, 5};
  font.inkMaxBounds = {5, 6, 7, 8, 9, 10};
  std::string bytes = WriteSnf(font);
  {
    SnfRead r(bytes);
    ASSERT_EQ(r.status, Successful);
    EXPECT_EQ(r.info.inkMetrics, 1u);
    EXPECT_TRUE(SameMetric(r.info.inkMinBounds, font.inkMinBounds));
    EXPECT_TRUE(SameMetric(r.info.inkMaxBounds, font.inkMaxBounds));
  }
  // A short ink record is a bad font.
  EXPECT_EQ(SnfRead(bytes.substr(0, bytes.size() - 1)).status, BadFont);
  // Without the flag nothing after the pool is read.
  font.flags &= ~(1u << 3);
  std::string plain = WriteSnf(font);
  EXPECT_EQ(SnfRead(plain).status, Successful);
}

TEST(SnfRead, VersionWordsAndShortHeadersAreBadFonts) {
  SnfFont font = TypicalSnf(kName);
  std::string bytes = WriteSnf(font);
  EXPECT_EQ(SnfRead(bytes.substr(0, 107)).status, BadFont);
  std::string v = bytes;
  PutLSB32(v, kSnfVersion2At, 5);
  EXPECT_EQ(SnfRead(v).status, BadFont);
  v = bytes;
  PutLSB32(v, kSnfVersion1At, 3);
  EXPECT_EQ(SnfRead(v).status, BadFont);
  font.msbFirst = true;  // reads as version 0x04000000
  EXPECT_EQ(SnfRead(WriteSnf(font)).status, BadFont);
}

TEST(SnfRead, GlyphAreaLengthComesFromTheHeaderOnly) {
  SnfFont font = TypicalSnf(kName, 200, 17, 30);  // bitmaps of 4-byte rows
  font.lastCol = 231;
  font.lastRow = 1;  // two rows of 200 codes
  std::string bytes = WriteSnf(font);
  size_t props = SnfPropertiesOffset(font);
  ASSERT_GT(props, 8192u);
  // Scribbling over the glyph records and bitmaps changes nothing.
  for (size_t i = kSnfHeaderSize; i < props; i += 7) bytes[i] = static_cast<char>(0xA5);
  SnfRead r(bytes);
  ASSERT_EQ(r.status, Successful);
  EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
  // The bitmap length is rounded up to four bytes: three bytes less reads
  // the same.
  uint32_t word = GetLSB32(bytes, kSnfMaxBoundsAt + 12);
  ASSERT_EQ(word % 4, 0u);
  PutLSB32(bytes, kSnfMaxBoundsAt + 12, word - 3);
  SnfRead same(bytes);
  EXPECT_EQ(StringProperty(same.info, "FONT"), kName);
}

TEST(SnfRead, StringFlagDecidesBetweenAtomAndInteger) {
  SnfFont font = TypicalSnf(kName, 1);
  font.properties = {StringProp("FONT", kName), IntProp("WEIGHT", 3)};
  SnfRead r(WriteSnf(font));
  ASSERT_EQ(r.status, Successful);
  ASSERT_EQ(r.info.propCount, 2);
  EXPECT_EQ(r.info.isStringProp[0], 1);
  EXPECT_EQ(r.info.isStringProp[1], 0);
  EXPECT_EQ(r.info.props[1].value, 3);
}

TEST(SnfRead, AHugeGlyphAreaIsNotPassedOverChunkByChunk) {
  // A glyph area of 2^35 bytes (2^31 - 1 records): the skip over it ends at
  // the end of the data (as past the end of a file, where a seek succeeds)
  // instead of passing over chunk after chunk of nothing.
  std::string bytes = WriteSnf(TypicalSnf(kName, 3));
  PutLSB32(bytes, 32, 0x8000001E);  // columns 32 to 0x8000001E
  static BufFileSkipProc memorySkip;
  static int skips;
  BufFile *f = MemBufOpen(bytes.data(), bytes.size());
  memorySkip = f->skip;
  skips = 0;
  f->skip = [](BufFile *file, int count) {
    ++skips;
    return memorySkip(file, count);
  };
  FontInfo info{};
  EXPECT_EQ(snfReadFontInfo(&info, f), BadFont);
  BufFileClose(f, 1);
  EXPECT_LT(skips, 10);
}

}  // namespace
