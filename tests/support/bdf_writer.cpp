#include "tests/support/bdf_writer.h"

#include <cstdio>

BdfProperty BdfInt(const std::string &name, long value) { return {name, std::to_string(value)}; }

std::string BdfQuote(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

BdfProperty BdfString(const std::string &name, const std::string &value) {
  return {name, BdfQuote(value)};
}

std::string BdfFullRow(int width) {
  std::string row;
  for (int left = width; left > 0; left -= 8) {
    int bits = left >= 8 ? 0xFF : (0xFF << (8 - left)) & 0xFF;
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", bits);
    row += hex;
  }
  return row;
}

BdfGlyph BdfBoxGlyph(const std::string &name, int code, int width, int height, int xOffset,
                     int yOffset, int advance) {
  BdfGlyph g;
  g.name = name;
  g.encoding = std::to_string(code);
  g.width = width;
  g.height = height;
  g.xOffset = xOffset;
  g.yOffset = yOffset;
  g.dwidth = std::to_string(advance >= 0 ? advance : width + xOffset) + " 0";
  g.rows.assign(static_cast<size_t>(height), BdfFullRow(width));
  return g;
}

std::string WriteBdf(const BdfFont &font) {
  std::string out;
  const std::string &nl = font.lineEnd;
  auto line = [&](const std::string &text) { out += text + nl; };
  line("STARTFONT " + font.version);
  line("FONT " + font.headerName);
  line("SIZE " + font.size);
  line("FONTBOUNDINGBOX " + font.boundingBox);
  line("STARTPROPERTIES " +
       std::to_string(font.declaredProperties.value_or(static_cast<int>(font.properties.size()))));
  for (const BdfProperty &p : font.properties) line(p.name + " " + p.value);
  line("ENDPROPERTIES");
  line("CHARS " + std::to_string(font.declaredChars.value_or(static_cast<int>(font.glyphs.size()))));
  for (const BdfGlyph &g : font.glyphs) {
    line("STARTCHAR " + g.name);
    line("ENCODING " + g.encoding);
    line("SWIDTH " + g.swidth);
    line("DWIDTH " + g.dwidth);
    line("BBX " + g.bbx.value_or(std::to_string(g.width) + " " + std::to_string(g.height) + " " +
                                 std::to_string(g.xOffset) + " " + std::to_string(g.yOffset)));
    if (g.attributes) line("ATTRIBUTES " + *g.attributes);
    line("BITMAP");
    if (g.rows.empty()) {
      for (int r = 0; r < g.height; r++) line(BdfFullRow(g.width));
    } else {
      for (const std::string &r : g.rows) line(r);
    }
    if (g.endChar) line("ENDCHAR");
  }
  if (font.endFont) line("ENDFONT");
  if (!font.finalLineFeed && out.size() >= nl.size()) out.resize(out.size() - nl.size());
  return out;
}

std::string BdfCutAfter(const std::string &text, const std::string &marker, int occurrence) {
  size_t at = 0;
  for (int i = 0; i < occurrence; i++) {
    size_t found = text.find(marker, i == 0 ? 0 : at);
    if (found == std::string::npos) return text;
    at = found + marker.size();
  }
  return text.substr(0, at);
}

std::string BdfDropLine(const std::string &text, const std::string &keyword) {
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    size_t next = end == std::string::npos ? text.size() : end + 1;
    if (text.compare(begin, keyword.size(), keyword) == 0)
      return text.substr(0, begin) + text.substr(next);
    begin = next;
  }
  return text;
}

BdfFont BdfLargeFont(int glyphs) {
  BdfFont font;
  font.properties = {BdfString("FONT", font.headerName), BdfInt("FONT_ASCENT", 14),
                     BdfInt("FONT_DESCENT", 2), BdfString("CHARSET_REGISTRY", "ISO10646"),
                     BdfInt("PIXEL_SIZE", 16)};
  font.glyphs.reserve(static_cast<size_t>(glyphs));
  for (int i = 0; i < glyphs; i++) {
    int width = 4 + i % 13;
    BdfGlyph g;
    char name[16];
    std::snprintf(name, sizeof name, "uni%04X", 0x100 + i);
    g.name = name;
    g.encoding = std::to_string(0x100 + i);
    g.dwidth = std::to_string(width + 1) + " 0";
    g.swidth = std::to_string((width + 1) * 1000 / 16) + " 0";
    g.width = width;
    g.height = 16;
    g.yOffset = -2;
    for (int r = 0; r < 16; r++) {
      // A varying pattern, trimmed to the glyph's width.
      std::string row;
      for (int left = width, k = 0; left > 0; left -= 8, k++) {
        int bits = ((i * 7 + r * 13 + k * 29) & 0xFF);
        if (left < 8) bits &= (0xFF << (8 - left)) & 0xFF;
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02X", bits);
        row += hex;
      }
      g.rows.push_back(row);
    }
    font.glyphs.push_back(std::move(g));
  }
  return font;
}

BdfFont BdfSampleFont() {
  BdfFont font;
  font.glyphs = {BdfBoxGlyph("A", 65, 6, 10, 1, 0, 8), BdfBoxGlyph("B", 66, 5, 12, 1, -2, 8)};
  return font;
}
