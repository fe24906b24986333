#include "tests/support/bdf_samples.h"

#include <cstdio>

namespace {

// A deterministic pattern of `height` rows for a glyph of `width` pixels.
std::vector<std::string> pattern(int seed, int width, int height) {
  std::vector<std::string> rows;
  for (int r = 0; r < height; r++) {
    std::string row;
    for (int left = width, k = 0; left > 0; left -= 8, k++) {
      int bits = (seed * 37 + r * 11 + k * 5) & 0xFF;
      if (left < 8) bits &= (0xFF << (8 - left)) & 0xFF;
      char hex[3];
      std::snprintf(hex, sizeof hex, "%02X", bits);
      row += hex;
    }
    rows.push_back(row);
  }
  return rows;
}

BdfSample cellFont() {
  BdfSample s;
  s.fileName = "lorvane-8x16.bdf";
  s.indexedName = "-lorvane-fixed-medium-r-normal--16-120-75-75-c-80-iso8859-1";
  BdfFont &f = s.font;
  f.headerName = "-Lorvane-Fixed-Medium-R-Normal--16-120-75-75-C-80-ISO8859-1";
  f.properties = {BdfString("FOUNDRY", "Lorvane"),  BdfString("FAMILY_NAME", "Fixed"),
                  BdfString("WEIGHT_NAME", "Medium"), BdfInt("PIXEL_SIZE", 16),
                  BdfInt("POINT_SIZE", 120),          BdfString("SPACING", "C"),
                  BdfInt("AVERAGE_WIDTH", 80),        BdfString("CHARSET_REGISTRY", "ISO8859"),
                  BdfString("CHARSET_ENCODING", "1"), BdfInt("FONT_ASCENT", 14),
                  BdfInt("FONT_DESCENT", 2),          BdfInt("DEFAULT_CHAR", 32),
                  BdfString("FONT", f.headerName)};
  for (int c = 32; c < 127; c++) {
    BdfGlyph g = BdfBoxGlyph(c == 'x' ? "x" : "char" + std::to_string(c), c, 8, 16, 0, -2, 8);
    g.rows = pattern(c, 8, 16);
    if (c == 32) g.rows.assign(16, "00");
    f.glyphs.push_back(g);
  }
  return s;
}

BdfSample proportionalFont() {
  BdfSample s;
  s.fileName = "lorvane-sans12.bdf";
  s.indexedName = "-lorvane-sans \"book\"-medium-r-normal--12-120-75-75-p-60-iso10646-1";
  BdfFont &f = s.font;
  f.lineEnd = "\r\n";
  f.size = "12 75 75";
  f.boundingBox = "10 12 -1 -3";
  f.properties = {BdfString("FONT", "-Lorvane-Sans \"Book\"-Medium-R-Normal--12-120-75-75-P-60-ISO10646-1"),
                  BdfString("COPYRIGHT", "Public domain, \"as is\""),
                  BdfString("NOTICE", ""),
                  BdfInt("FONT_ASCENT", 9),
                  BdfInt("FONT_DESCENT", 3),
                  BdfInt("CAP_HEIGHT", 8)};
  const char *names[] = {"zero", "one", "A", "g", "i", "W"};
  const int widths[] = {5, 3, 6, 5, 1, 9};
  for (int i = 0; i < 6; i++) {
    BdfGlyph g = BdfBoxGlyph(names[i], i < 2 ? '0' + i : "AgiW"[i - 2], widths[i], 9, i == 4 ? 1 : 0,
                             i == 3 ? -3 : 0, widths[i] + 1);
    g.rows = pattern(i, widths[i], 9);
    f.glyphs.push_back(g);
  }
  BdfGlyph unencoded = BdfBoxGlyph("ornament", 0, 7, 7, 0, 0, 8);
  unencoded.encoding = "-1";
  unencoded.rows = pattern(99, 7, 7);
  f.glyphs.push_back(unencoded);
  BdfGlyph alternate = BdfBoxGlyph("alt", 0, 4, 4, 0, 0, 5);
  alternate.encoding = "-1 8364";
  alternate.rows = pattern(7, 4, 4);
  f.glyphs.push_back(alternate);
  return s;
}

BdfSample twoByteFont() {
  BdfSample s;
  s.fileName = "lorvane-wide16.bdf";
  s.indexedName = "-lorvane-wide-medium-r-normal--16-150-75-75-c-160-iso10646-1";
  BdfFont &f = s.font;
  f.headerName = "-Lorvane-Wide-Medium-R-Normal--16-150-75-75-C-160-ISO10646-1";
  f.size = "15 75 75";
  f.boundingBox = "16 16 0 -2";
  f.properties = {BdfString("FONT", f.headerName), BdfInt("FONT_ASCENT", 14),
                  BdfInt("FONT_DESCENT", 2), BdfInt("DEFAULT_CHAR", 0x3000)};
  for (int i = 0; i < 64; i++) {
    int code = 0x3000 + (i / 16) * 256 + i % 16;
    BdfGlyph g = BdfBoxGlyph("u" + std::to_string(code), code, 16, 16, 0, -2, 16);
    g.rows = pattern(i, 16, 16);
    f.glyphs.push_back(g);
  }
  return s;
}

}  // namespace

std::vector<BdfSample> BdfSampleFiles() { return {cellFont(), proportionalFont(), twoByteFont()}; }
