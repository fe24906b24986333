// lorvane indexing directories of BDF fonts.
#include <gtest/gtest.h>

#include "tests/support/bdf_samples.h"
#include "tests/support/bdf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/tool_cases.h"

namespace {

BdfFont named(const std::string &name) {
  BdfFont font = BdfSampleFont();
  font.properties.push_back(BdfString("FONT", name));
  return font;
}

TEST(BdfTool, IndexesBdfFontsAndReportsTheBadOnes) {
  TempDir dir;
  const std::string name = "-Lorvane-Test-Bold-R-Normal--16-120-75-75-C-80-ISO8859-1";
  WriteFile(dir / "a.bdf", WriteBdf(named(name)));
  WriteFile(dir / "b.bdf", WriteBdf(named(name)));  // the same name again
  BdfFont shortFont = named("-other-font-medium-r-normal--16-120-75-75-c-80-iso8859-1");
  shortFont.declaredChars = 3;
  WriteFile(dir / "c.bdf", WriteBdf(shortFont));
  BdfFont headerOnly = BdfSampleFont();  // no FONT property: the header line names it
  headerOnly.headerName = "-Header-Named-Medium-R-Normal--16-120-75-75-C-80-ISO8859-1";
  WriteFile(dir / "d.bdf", WriteBdf(headerOnly));
  WriteFile(dir / "e.bdf", "not a font\n");

  ToolResult r = RunTool({dir.path()});
  EXPECT_EQ(r.status, 0);
  const std::string lower = "-lorvane-test-bold-r-normal--16-120-75-75-c-80-iso8859-1";
  EXPECT_EQ(ReadFile(dir / "fonts.dir"), "2\na.bdf " + lower + "\nd.bdf -header-named-medium-r-normal--16-120-75-75-c-80-iso8859-1\n");
  // c.bdf: 4 header lines, 5 property lines, CHARS, two glyph blocks of 17
  // and 19 lines, then ENDFONT on line 47 where the third glyph should be.
  EXPECT_EQ(r.stderrText, "lorvane: Duplicate font names " + lower + "\n\ta.bdf b.bdf\n" + SkipMessage(dir, "b.bdf") +
                              "BDF Error on line 47: 1 too few characters\n" + SkipMessage(dir, "c.bdf") +
                              "BDF Error on line 1: bad 'STARTFONT'\n" + SkipMessage(dir, "e.bdf"));
}

TEST(BdfTool, GlyphBoxesAreReadAsTheir16BitMetricsDescribeThem) {
  // Each glyph value is kept in 16 bits.  The box's width is the difference
  // of its kept bearings and its height the sum of its kept ascent and
  // descent: offsets that wrap round leave the box as it is, an edge that
  // wraps alone changes its size by 65536.
  const std::string name = "-lorvane-test-medium-r-normal--16-120-75-75-c-80-iso8859-1";
  const std::string indexed = "1\na.bdf " + name + "\n";
  // A font of a glyph "A" at code 65 with the BBX numbers and the row lines
  // given, then a plain "B"; the BDF messages, then the skip when skipped.
  auto box = [&](const char *what, const std::string &bbx, std::vector<std::string> rows, bool kept,
                 std::string errors = "") -> ToolCase {
    BdfGlyph g;
    g.name = "A";
    g.bbx = bbx;
    g.height = 0;  // no default rows
    g.rows = std::move(rows);
    BdfFont font;
    font.properties.push_back(BdfString("FONT", name));
    font.glyphs = {g, BdfBoxGlyph("B", 66, 8, 2)};
    return {what, {}, {{"a.bdf", WriteBdf(font)}}, {}, 0, errors + (kept ? "" : Skipped("a.bdf")),
            {{"fonts.dir", kept ? indexed : "0\n"}}};
  };
  // Line 16 is the first glyph's BITMAP line.
  RunToolCases({
      box("a y offset of 40000", "8 2 0 40000", {"FF", "81"}, true),
      box("a y offset of -40000", "8 2 0 -40000", {"FF", "81"}, true),
      box("an x offset of 40000", "8 2 40000 0", {"FF", "81"}, true),
      box("an x offset of -40000", "8 2 -40000 0", {"FF", "81"}, true),
      // Right bearing and ascent -1: a box of -1 x -1 has no rows and no
      // bytes, so ENDCHAR follows BITMAP.
      box("65535 x 65535", "65535 65535 0 0", {}, true),
      // Width -65535: its row gives no bytes where -8191 per row are due.
      box("a right edge past 32767", "1 1 32767 0", {"80"}, true,
          "BDF Error on line 18: bytes != rows * bytes_per_row (0 != 1 * -8191)\n"),
      // Height -65534: no rows are read, the first row stands where ENDCHAR
      // is due, the second where the next STARTCHAR is.
      box("a top edge past 32767", "8 2 0 32767", {"FF", "81"}, false,
          "BDF Error on line 17: missing 'ENDCHAR'\nBDF Error on line 18: 1 too few characters\n"),
      // 512 MiB of bitmap is not kept, but its rows are read.
      box("65534 x 65534", "65534 65534 -32767 -32767", std::vector<std::string>(65534, "FF"), true),
  });
}

}  // namespace
