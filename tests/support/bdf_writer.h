// Writes BDF 2.1 font files for tests, fuzz seeds and benchmarks: every
// field can be chosen, and the file can be broken on purpose.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct BdfGlyph {
  std::string name = "glyph";
  std::string encoding = "65";  // the ENCODING line's numbers, as written ("-1 200")
  std::string swidth = "500 0";
  std::string dwidth = "8 0";
  int width = 8, height = 1, xOffset = 0, yOffset = 0;  // BBX
  // The BBX line's numbers as written, in place of the four above (which
  // still shape the default rows).
  std::optional<std::string> bbx;
  std::optional<std::string> attributes;                // ATTRIBUTES digits
  // Row lines as written; empty: `height` rows of a pattern filling the box.
  std::vector<std::string> rows;
  bool endChar = true;
};

struct BdfProperty {
  std::string name;
  std::string value;  // as written on the line
};
// A property with an integer value, or a string value quoted for BDF
// (double quotes inside doubled).
BdfProperty BdfInt(const std::string &name, long value);
BdfProperty BdfString(const std::string &name, const std::string &value);
std::string BdfQuote(const std::string &text);

struct BdfFont {
  std::string version = "2.1";
  std::string headerName = "-lorvane-test-medium-r-normal--16-120-75-75-c-80-iso10646-1";
  std::string size = "12 75 75";
  std::string boundingBox = "8 16 0 -2";
  // Written as given, between STARTPROPERTIES and ENDPROPERTIES.
  std::vector<BdfProperty> properties = {BdfInt("FONT_ASCENT", 14), BdfInt("FONT_DESCENT", 2)};
  std::optional<int> declaredProperties;  // default: the number written
  std::optional<int> declaredChars;       // default: the number of glyphs
  std::vector<BdfGlyph> glyphs;
  std::string lineEnd = "\n";
  bool endFont = true;
  bool finalLineFeed = true;  // false: the last line has no line feed
};

std::string WriteBdf(const BdfFont &font);

// A glyph of the given box whose rows set every pixel of the box.
BdfGlyph BdfBoxGlyph(const std::string &name, int code, int width, int height, int xOffset = 0,
                     int yOffset = 0, int advance = -1);
// The hex row of `width` pixels with every pixel set.
std::string BdfFullRow(int width);

// Ways to break a file: the text cut right after the `occurrence`th (from 1)
// appearance of `marker`, or with the first line beginning with `keyword`
// removed.
std::string BdfCutAfter(const std::string &text, const std::string &marker, int occurrence = 1);
std::string BdfDropLine(const std::string &text, const std::string &keyword);

// The benchmark's font: `glyphs` glyphs 16 pixels high of widths 4 to 16 at
// two-byte codes from 0x0100 on, with a FONT property.
BdfFont BdfLargeFont(int glyphs);

// A small valid font: glyphs "A" (code 65) and "B" (66), 8x16 cells with
// their own boxes, FONT_ASCENT 14 and FONT_DESCENT 2.
BdfFont BdfSampleFont();
