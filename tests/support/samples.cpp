#include "tests/support/samples.h"

#include "tests/support/bdf_samples.h"
#include "tests/support/pcf_writer.h"
#include "tests/support/snf_writer.h"
#include "tests/support/tempdir.h"

namespace {
std::string xlfd(const std::string &family, const std::string &weight, int pixels, int width,
                 const std::string &charset) {
  return "-Lorvane-" + family + "-" + weight + "-R-Normal--" + std::to_string(pixels) + "-" +
         std::to_string(pixels * 10) + "-75-75-C-" + std::to_string(width * 10) + "-" + charset;
}
}  // namespace

FileSet SampleFonts() {
  FileSet files;
  files["fixed6x13.pcf"] = WritePcf(TypicalPcf(xlfd("Fixed", "Medium", 13, 6, "ISO8859-1"), 95, 6, 13));
  PcfFont bold = TypicalPcf(xlfd("Fixed", "Bold", 13, 7, "ISO8859-1"), 95, 7, 13);
  bold.msbFirst = true;
  files["fixed7x13B.pcf"] = WritePcf(bold);
  PcfFont wide = TypicalPcf(xlfd("Grid", "Medium", 16, 8, "ISO10646-1"), 300, 8, 16);
  wide.firstRow = 0;
  wide.lastRow = 1;
  wide.firstCol = 0;
  wide.lastCol = 255;
  files["grid8x16.pcf"] = WritePcf(wide);
  files["term10x20.snf"] = WriteSnf(TypicalSnf(xlfd("Term", "Medium", 20, 10, "ISO8859-1"), 95, 10, 20));
  for (const BdfSample &sample : BdfSampleFiles()) files[sample.fileName] = WriteBdf(sample.font);
  files["fonts.scale"] =
      "1\nscalable.otf -lorvane-outline-medium-r-normal--0-0-0-0-p-0-iso8859-1\n";
  return files;
}

FileSet PcfSeeds() {
  FileSet seeds;
  seeds["typical.pcf"] = WritePcf(TypicalPcf("-Lorvane-Seed-Medium-R-Normal--13-130-75-75-C-60-ISO8859-1", 20));
  PcfFont msb = TypicalPcf("msb", 5);
  msb.msbFirst = true;
  msb.tableMsbFirst[kPcfEncodings] = false;
  seeds["mixed-order.pcf"] = WritePcf(msb);
  PcfFont minimal;
  minimal.properties = {StringProp("FONT", "minimal"), IntProp("N", 1)};
  minimal.accel = PcfAccel{};
  minimal.accel->withInkBounds = true;
  minimal.firstCol = 65;
  minimal.lastCol = 67;
  minimal.encoding = {0, 0xFFFF, 1};
  seeds["no-glyphs.pcf"] = WritePcf(minimal);
  return seeds;
}

FileSet SnfSeeds() {
  FileSet seeds;
  seeds["typical.snf"] = WriteSnf(TypicalSnf("-Lorvane-Seed-Medium-R-Normal--13-130-75-75-C-60-ISO8859-1", 20));
  SnfFont ink = TypicalSnf("ink", 3);
  ink.flags |= 1u << 3;
  ink.firstRow = 1;
  ink.lastRow = 2;
  seeds["ink-bounds.snf"] = WriteSnf(ink);
  return seeds;
}

std::string BenchFontName(int i, int w, int h) {
  return xlfd("Bench" + std::to_string(i), "Medium", h, w, "ISO8859-1");
}

std::string BenchFont(int i, int glyphs, int w, int h, bool drawn) {
  PcfFont font = TypicalPcf(BenchFontName(i, w, h), glyphs, w, h);
  font.drawnBitmaps = drawn;
  if (glyphs > 256 - 32) {
    font.firstCol = 0;
    font.lastCol = 255;
    font.firstRow = 0;
    font.lastRow = static_cast<uint16_t>((glyphs - 1) / 256);
  }
  return WritePcf(font);
}

void WriteFileSet(const std::string &dir, const FileSet &files) {
  for (const auto &[name, content] : files) WriteFile(dir + "/" + name, content);
}
