// lorvane indexing directories of BDF fonts.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/bdf_samples.h"
#include "tests/support/bdf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

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
  EXPECT_EQ(ReadFile(dir / "fonts.dir"),
            "2\na.bdf " + lower +
                "\nd.bdf -header-named-medium-r-normal--16-120-75-75-c-80-iso8859-1\n");
  // c.bdf: 4 header lines, 5 property lines, CHARS, two glyph blocks of 17
  // and 19 lines, then ENDFONT on line 47 where the third glyph should be.
  EXPECT_EQ(r.stderrText,
            "lorvane: Duplicate font names " + lower + "\n\ta.bdf b.bdf\n" +
                "lorvane: unable to process font " + dir.path() + "/b.bdf, skipping\n" +
                "BDF Error on line 47: 1 too few characters\n" +
                "lorvane: unable to process font " + dir.path() + "/c.bdf, skipping\n" +
                "BDF Error on line 1: bad 'STARTFONT'\n" +
                "lorvane: unable to process font " + dir.path() + "/e.bdf, skipping\n");
}

}  // namespace
