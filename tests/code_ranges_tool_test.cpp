// PCF and SNF fonts whose code ranges hold more codes than 32 bits count,
// run through the tool.  Both formats count the codes of their ranges,
// (last column - first column + 1) x (last row - first row + 1), in signed
// 32-bit arithmetic: that count, not the number of codes, says how many
// glyph indexes (PCF) or glyph records (SNF) the file holds.
#include <gtest/gtest.h>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/snf_writer.h"
#include "tests/support/tempdir.h"

namespace {

const std::string kName = "-lorvane-test-medium-r-normal--13-130-75-75-c-60-iso8859-1";

// fonts.dir of a directory holding the one font `file`, when it is indexed.
std::string listing(const std::string &file) { return "1\n" + file + " " + kName + "\n"; }

void expectIndexed(const TempDir &dir, const std::string &file, bool indexed, const char *what) {
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.run.status, 0) << what;
  EXPECT_EQ(r.fontsDir, indexed ? listing(file) : "0\n") << what;
  EXPECT_EQ(r.run.stderrText, indexed ? "" : SkipMessage(dir, file)) << what;
}

TEST(PcfTool, TheGlyphIndexesAreCountedIn32Bits) {
  struct Case {
    const char *what;
    uint16_t firstCol, lastCol, firstRow, lastRow;
    bool indexed;
  } cases[] = {
      {"65536 x 65536 codes count 0", 0, 0xFFFF, 0, 0xFFFF, true},
      {"65536 x 32768 codes count below 0", 0, 0xFFFF, 0, 0x7FFF, true},
      {"65536 x 32767 codes are more indexes than the file holds", 0, 0xFFFF, 0, 0x7FFE, false},
      {"a backward column range counts below 0", 70, 65, 0, 0, true},
      {"two backward ranges count 254 x 254 indexes", 0xFF, 0, 0xFF, 0, false},
  };
  for (const Case &c : cases) {
    PcfFont font = TypicalPcf(kName, 3);
    font.firstCol = c.firstCol;
    font.lastCol = c.lastCol;
    font.firstRow = c.firstRow;
    font.lastRow = c.lastRow;
    font.encoding = {0, 1, 2};
    TempDir dir;
    WriteFile(dir / "a.pcf", WritePcf(font));
    expectIndexed(dir, "a.pcf", c.indexed, c.what);
  }
}

TEST(SnfTool, TheGlyphRecordsAreCountedIn32Bits) {
  // The file holds 10 glyph records (columns 32 to 41 of row 0); the header's
  // range words are then rewritten.
  constexpr size_t kFirstColAt = 28, kLastColAt = 32, kFirstRowAt = 36, kLastRowAt = 40;
  struct Case {
    const char *what;
    uint32_t firstCol, lastCol, firstRow, lastRow;
    bool indexed;
  } cases[] = {
      {"rows 0 to 0x80000000 of 10 columns count 10", 32, 41, 0, 0x80000000, true},
      {"rows 0x80000000 down to 0 of 10 columns count 10", 32, 41, 0x80000000, 0, true},
      {"two backward ranges count -2 x -5", 35, 32, 6, 0, true},
      {"as written", 32, 41, 0, 0, true},
      {"0x0CCCCCCC rows of 10 columns are more records than the file holds", 32, 41, 0,
       0x0CCCCCCB, false},
  };
  for (const Case &c : cases) {
    std::string bytes = WriteSnf(TypicalSnf(kName, 10));
    PutLSB32(bytes, kFirstColAt, c.firstCol);
    PutLSB32(bytes, kLastColAt, c.lastCol);
    PutLSB32(bytes, kFirstRowAt, c.firstRow);
    PutLSB32(bytes, kLastRowAt, c.lastRow);
    TempDir dir;
    WriteFile(dir / "a.snf", bytes);
    expectIndexed(dir, "a.snf", c.indexed, c.what);
  }
  // A range backward in one direction counts below 0: the file has no glyph
  // records.
  SnfFont backward = TypicalSnf(kName, 10);
  backward.firstCol = 41;
  backward.lastCol = 32;
  TempDir dir;
  WriteFile(dir / "a.snf", WriteSnf(backward));
  expectIndexed(dir, "a.snf", true, "a backward column range");
}

}  // namespace
