// The cases the PCF and SNF readers share, run over both formats: the
// property pool read across fills, every truncation, strings outside the
// pool, counts larger than the file, the code ranges counted in 32 bits and
// allocation failures.
#include <gtest/gtest.h>

#include "bitmap/pcfread.h"
#include "bitmap/snfread.h"
#include "tests/support/fontinfo_util.h"
#include "tests/support/pcf_writer.h"
#include "tests/support/snf_writer.h"
#include "util/miscutil.h"

namespace {

const char kName[] = "-Lorvane-Test-Medium-R-Normal--13-130-75-75-C-60-ISO8859-1";

// A font whose only property is FONT, with the places of its one property
// record and of the string pool, and the words that declare counts with
// values far larger than the file.
struct OneProperty {
  std::string bytes;
  size_t nameAt, valueAt, poolAt;
  uint32_t poolSize;
  std::vector<std::pair<size_t, uint32_t>> hugeCounts;
};

// A code range as the file declares it.  `rewritten`: the words are
// rewritten in a file written for 10 codes (32 to 41 of row 0), which then
// holds what those codes need; otherwise the file is written for the range.
struct Range {
  uint32_t firstCol, lastCol, firstRow, lastRow;
  bool rewritten = false;
};

struct Format {
  const char *name;
  InfoReader read;
  std::string (*typical)(int glyphs);
  OneProperty (*oneProperty)();
  std::string (*withRange)(const Range &);
  // A font of texts that no other read interns, so that its atoms must be made.
  std::string (*unseenTexts)();
};
void PrintTo(const Format &format, std::ostream *os) { *os << format.name; }

const Format kPcf = {
    "Pcf",
    pcfReadFontInfo,
    [](int glyphs) { return WritePcf(TypicalPcf(kName, glyphs)); },
    [] {
      OneProperty p;
      p.bytes = WritePcf(MinimalPcf(kName));
      // The table's format and count words, then the records (name offset,
      // string flag, value) padded to four bytes, the pool size and the pool.
      uint32_t props = PcfTableOffset(p.bytes, kPcfProperties);
      p.nameAt = props + 8;
      p.valueAt = props + 13;
      p.poolAt = props + 24;
      p.poolSize = GetLSB32(p.bytes, props + 20);
      p.hugeCounts = {{4, 0x80000000}, {4, 0xFFFFFFFF},  // tables
                      {props + 4, 0x7FFFFFFF},          // properties
                      {props + 20, 0x7FFFFFF0}};        // the pool's size
      return p;
    },
    [](const Range &r) {
      PcfFont font = TypicalPcf(kName, 3);
      font.firstCol = static_cast<uint16_t>(r.firstCol);
      font.lastCol = static_cast<uint16_t>(r.lastCol);
      font.firstRow = static_cast<uint16_t>(r.firstRow);
      font.lastRow = static_cast<uint16_t>(r.lastRow);
      font.encoding = {0, 1, 2};
      return WritePcf(font);
    },
    [] {
      PcfFont font = TypicalPcf("-lorvane-pcf-allocation-sweep");
      font.properties.push_back(StringProp("PCF_ALLOCATION_SWEEP", "a value made only here"));
      return WritePcf(font);
    },
};

const Format kSnf = {
    "Snf",
    snfReadFontInfo,
    [](int glyphs) { return WriteSnf(TypicalSnf(kName, glyphs)); },
    [] {
      SnfFont font = TypicalSnf(kName, 1);
      font.properties = {StringProp("FONT", kName)};
      OneProperty p;
      p.bytes = WriteSnf(font);
      // Records of name offset, value and string flag, then the pool.
      size_t props = SnfPropertiesOffset(font);
      p.nameAt = props;
      p.valueAt = props + 4;
      p.poolAt = props + 12;
      p.poolSize = GetLSB32(p.bytes, kSnfPoolSizeAt);
      p.hugeCounts = {{kSnfPropCountAt, 0x7FFFFFFF}, {kSnfPropCountAt, 0xFFFFFFFF},
                      {kSnfPoolSizeAt, 0xFFFFFFFF},
                      {32, 0x8000001E}};  // last column: 2^31 - 1 glyph records
      return p;
    },
    [](const Range &r) {
      SnfFont font = TypicalSnf(kName, 10);
      if (r.rewritten) {
        std::string bytes = WriteSnf(font);
        for (auto [at, word] : {std::pair{28, r.firstCol}, {32, r.lastCol}, {36, r.firstRow}, {40, r.lastRow}})
          PutLSB32(bytes, static_cast<size_t>(at), word);
        return bytes;
      }
      font.firstCol = r.firstCol;
      font.lastCol = r.lastCol;
      font.firstRow = r.firstRow;
      font.lastRow = r.lastRow;
      return WriteSnf(font);
    },
    [] {
      SnfFont font = TypicalSnf("-lorvane-snf-allocation-sweep");
      font.properties.push_back(StringProp("SNF_ALLOCATION_SWEEP", "a value made only here"));
      return WriteSnf(font);
    },
};

class BitmapRead : public ::testing::TestWithParam<Format> {
 protected:
  int status(const std::string &bytes) const {
    ReadResult r;
    ReadInfo(GetParam().read, bytes, &r);
    return r.status;
  }
};

// The string pool is used where it lies when the stream's buffer holds it
// whole, and read into a block of its own when it spans fills.
TEST_P(BitmapRead, ThePoolReadsTheSameWhateverTheFillsHold) {
  std::string bytes = GetParam().typical(95);
  ReadResult whole;
  ReadInfo(GetParam().read, bytes, &whole);
  ASSERT_EQ(whole.status, Successful);
  std::string expected = PropertiesText(whole.info);
  EXPECT_NE(expected.find(std::string("FONT ") + kName + "\n"), std::string::npos);
  for (int chunk : {1, 7, 100, 1000}) {
    ReadResult r;
    ReadInfo(GetParam().read, bytes, &r, chunk);
    ASSERT_EQ(r.status, Successful) << chunk;
    EXPECT_EQ(PropertiesText(r.info), expected) << chunk;
  }
}

TEST_P(BitmapRead, EveryTruncationFailsCleanly) {
  std::string bytes = GetParam().typical(20);
  for (size_t n = 0; n < bytes.size(); n++) ASSERT_EQ(status(bytes.substr(0, n)), BadFont) << n;
  EXPECT_EQ(status(bytes), Successful);
}

TEST_P(BitmapRead, StringsOutsideThePoolFailTheRead) {
  const OneProperty good = GetParam().oneProperty();
  ASSERT_EQ(status(good.bytes), Successful);
  struct Case {
    const char *what;
    size_t at;
    uint32_t word;
  } cases[] = {
      {"a name just past the pool", good.nameAt, good.poolSize},
      {"a value far outside", good.valueAt, 0xFFFFFFF0},
      {"a value at the sign bit", good.valueAt, 0x80000000},
  };
  for (const Case &c : cases) {
    std::string bytes = good.bytes;
    PutLSB32(bytes, c.at, c.word);
    EXPECT_EQ(status(bytes), BadFont) << c.what;
  }
  std::string bytes = good.bytes;
  bytes[good.poolAt + good.poolSize - 1] = 'x';  // the last string loses its NUL
  EXPECT_EQ(status(bytes), BadFont);
}

TEST_P(BitmapRead, HugeDeclaredCountsFailAfterWhatTheFileHolds) {
  const OneProperty good = GetParam().oneProperty();
  for (auto [at, value] : good.hugeCounts) {
    std::string bytes = good.bytes;
    PutLSB32(bytes, at, value);
    FontAllocFailAt(0);
    EXPECT_EQ(status(bytes), BadFont) << at;
    EXPECT_LT(FontAllocLargest(), 64 * 1024u) << at;
  }
}

// Memory running out is never taken for a damaged font, also where the
// property names and values become atoms.
TEST_P(BitmapRead, AllocationFailuresAreAllocFailures) {
  std::string problem;
  EXPECT_GE(SweepReadAllocationFailures(GetParam().read, GetParam().unseenTexts(), &problem), 3) << problem;
}

INSTANTIATE_TEST_SUITE_P(, BitmapRead, ::testing::Values(kPcf, kSnf),
                         [](const auto &info) { return std::string(info.param.name); });

// Both formats count the codes of their ranges, (last column - first column
// + 1) x (last row - first row + 1), in signed 32-bit arithmetic: that count,
// not the number of codes, says how many glyph indexes (PCF) or glyph
// records (SNF) the file holds, and a count of 0 or below holds none.
TEST(CodeRanges, TheCodesAreCountedIn32Bits) {
  struct Case {
    const Format &format;
    const char *what;
    Range range;
    int status;
    int allExist;  // -1: as the file says
  } cases[] = {
      {kPcf, "65536 x 65536 codes count 0: none is missing", {0, 0xFFFF, 0, 0xFFFF}, Successful, 1},
      {kPcf, "65536 x 32768 codes count below 0", {0, 0xFFFF, 0, 0x7FFF}, Successful, -1},
      {kPcf, "65536 x 32767 codes are more indexes than the file holds", {0, 0xFFFF, 0, 0x7FFE}, BadFont, -1},
      {kPcf, "a backward column range has no codes", {70, 65, 0, 0}, Successful, 0},
      {kPcf, "two backward ranges count 254 x 254 indexes", {0xFF, 0, 0xFF, 0}, BadFont, -1},
      {kSnf, "as written", {32, 41, 0, 0, true}, Successful, -1},
      {kSnf, "rows 0 to 0x80000000 of 10 columns count 10", {32, 41, 0, 0x80000000, true}, Successful, -1},
      {kSnf, "rows 0x80000000 down to 0 of 10 columns count 10", {32, 41, 0x80000000, 0, true}, Successful, -1},
      {kSnf, "two backward ranges count -2 x -5", {35, 32, 6, 0, true}, Successful, -1},
      {kSnf, "0x0CCCCCCC rows of 10 columns are more records than the file holds", {32, 41, 0, 0x0CCCCCCB, true},
       BadFont, -1},
      {kSnf, "a backward column range has no glyph records", {41, 32, 0, 0}, Successful, -1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(std::string(c.format.name) + ": " + c.what);
    ReadResult r;
    ReadInfo(c.format.read, c.format.withRange(c.range), &r);
    ASSERT_EQ(r.status, c.status);
    if (r.status != Successful) continue;
    EXPECT_EQ(StringProperty(r.info, "FONT"), kName);
    EXPECT_EQ(r.info.firstCol, c.range.firstCol & 0xFFFF);
    EXPECT_EQ(r.info.lastRow, c.range.lastRow & 0xFFFF);
    if (c.allExist >= 0) {
      EXPECT_EQ(r.info.allExist, static_cast<unsigned>(c.allExist));
    }
  }
}

}  // namespace
