#include "bitmap/pcfread.h"

#include <gtest/gtest.h>

#include "tests/support/fontinfo_util.h"
#include "tests/support/membuf.h"
#include "tests/support/pcf_writer.h"
#include "util/miscutil.h"

namespace {

const char kName[] = "-Lorvane-Test-Medium-R-Normal--13-130-75-75-C-60-ISO8859-1";

struct PcfRead : ReadResult {
  explicit PcfRead(const std::string &bytes) { ReadInfo(pcfReadFontInfo, bytes, this); }
};

TEST(PcfRead, TypicalFontGivesPropertiesRangesAndAccelerators) {
  PcfFont font = TypicalPcf(kName);
  font.bdfAccel->fontAscent = 11;
  font.bdfAccel->fontDescent = 4;
  font.bdfAccel->maxOverlap = -2;
  font.bdfAccel->drawDirection = 1;
  font.bdfAccel->terminalFont = 1;
  PcfRead r(WritePcf(font));
  ASSERT_EQ(r.status, Successful);
  EXPECT_EQ(r.info.propCount, 10);
  EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
  EXPECT_EQ(StringProperty(r.info, "CHARSET_REGISTRY"), "ISO8859");
  EXPECT_EQ(IntProperty(r.info, "PIXEL_SIZE"), 13);
  EXPECT_EQ(r.info.firstCol, 32);
  EXPECT_EQ(r.info.lastCol, 126);
  EXPECT_EQ(r.info.defaultChar, 32);
  EXPECT_EQ(r.info.allExist, 1u);
  EXPECT_EQ(r.info.fontAscent, 11);
  EXPECT_EQ(r.info.fontDescent, 4);
  EXPECT_EQ(r.info.maxOverlap, -2);
  EXPECT_EQ(r.info.drawDirection, 1u);
  EXPECT_EQ(r.info.terminalFont, 1u);
  EXPECT_EQ(r.info.constantWidth, 1u);
  EXPECT_EQ(r.info.cachable, 1u);
  EXPECT_EQ(r.info.anamorphic, 0u);
  EXPECT_TRUE(SameMetric(r.info.maxBounds, font.bdfAccel->maxBounds));
}

TEST(PcfRead, FontWithoutGlyphTablesIsRead) {
  PcfRead r(WritePcf(MinimalPcf(kName)));
  ASSERT_EQ(r.status, Successful);
  EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
}

TEST(PcfRead, WrongMagicOrNoTablesFail) {
  std::string bytes = WritePcf(MinimalPcf(kName));
  bytes[3] = 'q';
  EXPECT_EQ(PcfRead(bytes).status, BadFont);
  EXPECT_EQ(PcfRead(std::string("\x01" "fcp\0\0\0\0", 8)).status, BadFont);
  EXPECT_EQ(PcfRead("").status, BadFont);
}

TEST(PcfRead, BdfAcceleratorsReplaceTheFirstOnesWhereverTheyLie) {
  PcfFont font = MinimalPcf(kName);
  font.accel->fontAscent = 1;
  font.accel->noOverlap = 1;
  font.bdfAccel = PcfAccel{};
  font.bdfAccel->fontAscent = 9;
  font.bdfAccel->constantMetrics = 1;
  // The type 2 table lies last, behind everything already read: never read.
  font.order = {kPcfProperties, kPcfEncodings, kPcfBdfAccelerators, kPcfAccelerators};
  PcfRead r(WritePcf(font));
  ASSERT_EQ(r.status, Successful);
  EXPECT_EQ(r.info.fontAscent, 9);
  EXPECT_EQ(r.info.noOverlap, 0u);
  EXPECT_EQ(r.info.constantMetrics, 1u);

  // Even a broken type 2 table does not matter.
  std::string bytes = WritePcf(font);
  PutLSB32(bytes, PcfTableOffset(bytes, kPcfAccelerators), 0x200);
  EXPECT_EQ(PcfRead(bytes).status, Successful);
}

TEST(PcfRead, AcceleratorLayoutsGiveInkBounds) {
  PcfFont font = MinimalPcf(kName);
  font.accel->minBounds = {-1, 2, 3, 4, 5, 6};
  font.accel->maxBounds = {7, 8, 9, 10, 11, 12};
  font.accel->inkMinBounds = {0, 1, 1, 1, 1, 0};
  font.accel->inkMaxBounds = {3, 3, 3, 3, 3, 3};
  {
    PcfRead r(WritePcf(font));  // layout without ink bounds: copies of the bounds
    ASSERT_EQ(r.status, Successful);
    EXPECT_TRUE(SameMetric(r.info.inkMinBounds, font.accel->minBounds));
    EXPECT_TRUE(SameMetric(r.info.inkMaxBounds, font.accel->maxBounds));
  }
  font.accel->withInkBounds = true;
  for (bool msb : {false, true}) {
    font.msbFirst = msb;
    PcfRead r(WritePcf(font));
    ASSERT_EQ(r.status, Successful);
    EXPECT_TRUE(SameMetric(r.info.minBounds, font.accel->minBounds));
    EXPECT_TRUE(SameMetric(r.info.inkMinBounds, font.accel->inkMinBounds));
    EXPECT_TRUE(SameMetric(r.info.inkMaxBounds, font.accel->inkMaxBounds));
  }
  std::string bytes = WritePcf(font);
  PutLSB32(bytes, PcfTableOffset(bytes, kPcfAccelerators), 0x200);
  EXPECT_EQ(PcfRead(bytes).status, BadFont);
}

TEST(PcfRead, OneMissingGlyphClearsAllExist) {
  for (bool msb : {false, true}) {
    PcfFont font = TypicalPcf(kName);
    font.msbFirst = msb;
    {
      PcfRead r(WritePcf(font));
      ASSERT_EQ(r.status, Successful);
      EXPECT_EQ(r.info.allExist, 1u);
    }
    for (uint16_t i = 0; i < 95; i++) font.encoding.push_back(i);
    font.encoding[94] = 0xFFFF;
    PcfRead r(WritePcf(font));
    ASSERT_EQ(r.status, Successful);
    EXPECT_EQ(r.info.allExist, 0u);
    // 0x00FF and 0xFF00 are glyph indexes, not missing glyphs.
    font.encoding[94] = 0x00FF;
    font.encoding[93] = 0xFF00;
    PcfRead r2(WritePcf(font));
    EXPECT_EQ(r2.info.allExist, 1u);
  }
}

TEST(PcfRead, AMissingGlyphIsFoundAtEveryPlaceOfTheScan) {
  // The scan takes four indexes at a time and the rest one by one, in
  // chunks of 2048: a missing glyph at each lane, in the rest and across a
  // chunk boundary, and bytes 0xFF 0xFF that straddle two indexes (which
  // are no missing glyph), in both byte orders.
  for (bool msb : {false, true}) {
    for (int count : {1, 3, 4, 5, 7, 8, 9, 2047, 2048, 2049, 2051}) {
      PcfFont font = MinimalPcf(kName);
      font.msbFirst = msb;
      font.firstCol = 0;
      font.lastCol = static_cast<uint16_t>(count - 1);
      font.encoding.assign(static_cast<size_t>(count), 0);
      for (int i = 0; i + 2 < count; i += 3) {
        font.encoding[static_cast<size_t>(i)] = 0xFF01;
        font.encoding[static_cast<size_t>(i + 1)] = 0x01FF;
      }
      if (count >= 2) font.encoding[static_cast<size_t>(count - 1)] = 0xFF01;
      PcfRead all(WritePcf(font));
      ASSERT_EQ(all.status, Successful);
      EXPECT_EQ(all.info.allExist, 1u) << count << (msb ? " msb" : " lsb");
      for (int at : {0, 1, 2, 3, 4, 6, 2046, 2047, 2048, count - 1}) {
        if (at >= count) continue;
        PcfFont missing = font;
        missing.encoding[static_cast<size_t>(at)] = 0xFFFF;
        PcfRead r(WritePcf(missing));
        ASSERT_EQ(r.status, Successful);
        EXPECT_EQ(r.info.allExist, 0u) << count << " missing at " << at << (msb ? " msb" : " lsb");
      }
    }
  }
}

TEST(PcfRead, PropertyRecordsArePaddedToFourBytes) {
  // 12 records need no padding, 13 need three bytes, and so on: a reader
  // that pads wrongly reads the wrong pool size.
  for (int count = 0; count <= 17; count++) {
    PcfFont font = MinimalPcf(kName);
    for (int i = 1; i < count; i++) font.properties.push_back(IntProp("P" + std::to_string(i), i));
    if (count == 0) font.properties.clear();
    PcfRead r(WritePcf(font));
    ASSERT_EQ(r.status, Successful) << count;
    EXPECT_EQ(r.info.propCount, count);
    if (count > 0) {
      EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
    }
    if (count > 12) {
      EXPECT_EQ(IntProperty(r.info, "P12"), 12);
    }
  }
}

TEST(PcfRead, BigEndianTablesAndMixedOrders) {
  PcfFont font = TypicalPcf(kName);
  font.properties.push_back(IntProp("NEGATIVE", -123456));
  font.bdfAccel->fontAscent = 300;
  for (int mask = 0; mask < 8; mask++) {
    font.tableMsbFirst[kPcfProperties] = mask & 1;
    font.tableMsbFirst[kPcfEncodings] = mask & 2;
    font.tableMsbFirst[kPcfBdfAccelerators] = mask & 4;
    font.tableMsbFirst[kPcfMetrics] = !(mask & 1);
    PcfRead r(WritePcf(font));
    ASSERT_EQ(r.status, Successful) << mask;
    EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
    EXPECT_EQ(IntProperty(r.info, "NEGATIVE"), -123456);
    EXPECT_EQ(r.info.lastCol, 126);
    EXPECT_EQ(r.info.fontAscent, 300);
  }
}

TEST(PcfRead, TablesMustLieInReadingOrder) {
  struct Case {
    std::vector<uint32_t> order;
    bool bdfAccel;
    int status;
  } cases[] = {
      {{kPcfMetrics, kPcfBitmaps, kPcfProperties, kPcfAccelerators, kPcfEncodings}, false, Successful},
      {{kPcfEncodings, kPcfProperties, kPcfAccelerators}, false, BadFont},
      {{kPcfProperties, kPcfEncodings, kPcfAccelerators}, false, BadFont},
      {{kPcfAccelerators, kPcfProperties, kPcfEncodings}, false, BadFont},
      {{kPcfProperties, kPcfBdfAccelerators, kPcfEncodings}, true, BadFont},
      {{kPcfAccelerators, kPcfProperties, kPcfEncodings, kPcfBdfAccelerators}, true, Successful},
  };
  for (const auto &c : cases) {
    PcfFont font = TypicalPcf(kName);
    if (!c.bdfAccel) font.bdfAccel.reset();
    font.order = c.order;
    EXPECT_EQ(PcfRead(WritePcf(font)).status, c.status) << c.order.size();
  }
}

TEST(PcfRead, OnlyTheFirstEntryOfATypeCounts) {
  PcfFont font = MinimalPcf(kName);
  font.order = {kPcfEncodings, kPcfProperties, kPcfAccelerators};
  std::string bytes = WritePcf(font);
  ASSERT_EQ(PcfRead(bytes).status, BadFont);
  // A second encodings entry behind the others does not rescue the file.
  std::vector<PcfTocEntry> toc = PcfReadToc(bytes);
  font.extraEntries = {toc[0]};
  font.extraEntries[0].offset = static_cast<uint32_t>(bytes.size() + 16);
  bytes = WritePcf(font);
  bytes += std::string(bytes.size() - toc[0].offset, '\0');
  EXPECT_EQ(PcfRead(bytes).status, BadFont);
}

TEST(PcfRead, OffsetsCountFromTheStartOfTheFile) {
  PcfFont font = TypicalPcf(kName);
  font.gapBefore[kPcfProperties] = 40000;  // beyond the first buffer
  font.gapBefore[kPcfEncodings] = 9000;
  font.gapBefore[kPcfBdfAccelerators] = 1;
  PcfRead r(WritePcf(font));
  ASSERT_EQ(r.status, Successful);
  EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
  EXPECT_EQ(r.info.lastCol, 126);
}

TEST(PcfRead, OtherLayoutKindsAreRefused) {
  for (uint32_t type : {kPcfProperties, kPcfEncodings}) {
    std::string bytes = WritePcf(MinimalPcf(kName));
    PutLSB32(bytes, PcfTableOffset(bytes, type), 0x100);
    EXPECT_EQ(PcfRead(bytes).status, BadFont) << type;
  }
}

}  // namespace
