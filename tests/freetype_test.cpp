// An independent PCF reader checks the generator, and lorvane's fonts.dir
// is checked against the FONT property that reader sees.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

#ifdef LORVANE_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_BDF_H

namespace {

// The FONT property as FreeType reads it, or "" when it cannot open the face.
std::string freetypeFontName(FT_Library lib, const std::string &path, long *glyphs, int *error) {
  FT_Face face = nullptr;
  *error = FT_New_Face(lib, path.c_str(), 0, &face);
  if (*error != 0) return "";
  BDF_PropertyRec prop;
  std::string name;
  if (FT_Get_BDF_Property(face, "FONT", &prop) == 0 && prop.type == BDF_PROPERTY_TYPE_ATOM &&
      prop.u.atom)
    name = prop.u.atom;
  *glyphs = face->num_glyphs;
  FT_Done_Face(face);
  return name;
}

std::string lower(std::string s) {
  for (auto &c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// Fonts that differ in what a careless writer or reader gets wrong.
std::vector<PcfFont> variants() {
  std::vector<PcfFont> fonts;
  // Orders that both readers can read forward.  Where the type 2
  // accelerators lie after the glyph tables, the 0x100 table replaces them
  // for both readers.
  const std::vector<std::vector<uint32_t>> orders = {
      {},  // the usual order
      {kPcfProperties, kPcfMetrics, kPcfBitmaps, kPcfAccelerators, kPcfEncodings},
      {kPcfProperties, kPcfAccelerators, kPcfMetrics, kPcfBitmaps, kPcfSwidths, kPcfInkMetrics,
       kPcfEncodings},
      {kPcfProperties, kPcfMetrics, kPcfBitmaps, kPcfEncodings, kPcfBdfAccelerators,
       kPcfAccelerators},
  };
  int n = 0;
  for (size_t o = 0; o < orders.size(); o++)
    for (int bytes = 0; bytes < 3; bytes++)
      for (int props = 0; props < 3; props++) {
        std::string name = "-Lorvane-Check" + std::to_string(n) + "-Medium-R-Normal--" +
                           std::to_string(10 + n % 7) + "-100-75-75-C-60-ISO10646-1";
        int glyphs = 1 + (n * 37) % 300;
        PcfFont font = TypicalPcf(name, glyphs, 5 + n % 9, 8 + n % 11);
        font.order = orders[o];
        font.withInkMetrics = o == 2;
        font.gapBefore[kPcfEncodings] = static_cast<uint32_t>(n % 3 * 4096);
        font.msbFirst = bytes == 1;
        if (bytes == 2) {  // mixed: each table its own order
          font.tableMsbFirst[kPcfProperties] = true;
          font.tableMsbFirst[kPcfBitmaps] = true;
          font.tableMsbFirst[kPcfBdfAccelerators] = true;
        }
        font.compressedMetrics = n % 2 == 0;
        font.glyphPad = n % 4;
        if (props >= 1)
          for (int i = 0; i < props * 7; i++)
            font.properties.insert(font.properties.begin(), IntProp("X_" + std::to_string(i), i));
        if (props == 2 && o != 1 && o != 3) font.bdfAccel.reset();
        if (glyphs > 200) {  // two rows of codes, with holes
          font.firstRow = 1;
          font.lastRow = 2;
          font.firstCol = 0;
          font.lastCol = 199;
          font.defaultChar = 0x100;
        }
        fonts.push_back(font);
        ++n;
      }
  return fonts;
}

TEST(FreeType, ReadsTheSameFontNameAsLorvane) {
  FT_Library lib;
  ASSERT_EQ(FT_Init_FreeType(&lib), 0);
  TempDir dir;
  std::map<std::string, std::string> expected;  // file -> FONT as FreeType saw it
  int i = 0;
  for (const PcfFont &font : variants()) {
    std::string file = "f" + std::to_string(i++) + ".pcf";
    WriteFile(dir / file, WritePcf(font));
    long glyphs = 0;
    int error = 0;
    std::string name = freetypeFontName(lib, dir / file, &glyphs, &error);
    ASSERT_NE(name, "") << file << " is not a valid PCF font: error " << error;
    // FreeType counts one glyph more: its default glyph.
    EXPECT_EQ(glyphs, static_cast<long>(font.glyphs.size()) + 1)
        << file;
    expected[file] = lower(name);
  }
  FT_Done_FreeType(lib);

  ToolResult run = RunTool({dir.path()});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.stderrText, "");
  std::string fontsDir = ReadFile(dir / "fonts.dir");
  std::map<std::string, std::string> indexed;
  size_t pos = fontsDir.find('\n') + 1;
  while (pos < fontsDir.size()) {
    size_t space = fontsDir.find(' ', pos), end = fontsDir.find('\n', pos);
    indexed[fontsDir.substr(pos, space - pos)] = fontsDir.substr(space + 1, end - space - 1);
    pos = end + 1;
  }
  EXPECT_EQ(indexed, expected);
}

}  // namespace
#endif
