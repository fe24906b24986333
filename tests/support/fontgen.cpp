#include "tests/support/fontgen.h"

std::vector<GenProperty> TypicalProperties(const std::string &fontName, int pixelSize) {
  return {
      StringProp("FOUNDRY", "Lorvane"),
      StringProp("FAMILY_NAME", "Test"),
      StringProp("WEIGHT_NAME", "Medium"),
      IntProp("PIXEL_SIZE", pixelSize),
      IntProp("POINT_SIZE", pixelSize * 10),
      IntProp("RESOLUTION_X", 75),
      IntProp("RESOLUTION_Y", 75),
      StringProp("CHARSET_REGISTRY", "ISO8859"),
      StringProp("CHARSET_ENCODING", "1"),
      StringProp("FONT", fontName),
  };
}

void ByteWriter::u16(uint32_t v) {
  if (msbFirst_) {
    u8(v >> 8);
    u8(v);
  } else {
    u8(v);
    u8(v >> 8);
  }
}

void ByteWriter::u32(uint32_t v) {
  if (msbFirst_) {
    u16(v >> 16);
    u16(v);
  } else {
    u16(v);
    u16(v >> 16);
  }
}

void ByteWriter::metric(const GenMetric &m) {
  u16(static_cast<uint16_t>(m.leftBearing));
  u16(static_cast<uint16_t>(m.rightBearing));
  u16(static_cast<uint16_t>(m.width));
  u16(static_cast<uint16_t>(m.ascent));
  u16(static_cast<uint16_t>(m.descent));
  u16(m.attributes);
}

uint32_t StringPool::add(const std::string &text) {
  auto offset = static_cast<uint32_t>(bytes.size());
  bytes += text;
  bytes += '\0';
  return offset;
}

std::vector<GenMetric> CellGlyphs(int count, int w, int h, int descent) {
  std::vector<GenMetric> glyphs;
  for (int i = 0; i < count; i++) {
    GenMetric m;
    m.leftBearing = 0;
    m.rightBearing = static_cast<int16_t>(w);
    m.width = static_cast<int16_t>(w);
    m.ascent = static_cast<int16_t>(h - descent);
    m.descent = static_cast<int16_t>(descent);
    glyphs.push_back(m);
  }
  return glyphs;
}

std::string GlyphBitmap(int index, int rowBytes, int rows) {
  std::string bits;
  for (int r = 0; r < rows; r++)
    for (int b = 0; b < rowBytes; b++) bits += static_cast<char>((index * 31 + r * 7 + b) & 0xFF);
  return bits;
}

std::string DrawnGlyphBitmap(int index, int width, int rowBytes, int rows) {
  std::vector<unsigned char> bits(static_cast<size_t>(rowBytes) * static_cast<size_t>(rows), 0);
  uint32_t state = static_cast<uint32_t>(index) * 2654435761u + 12345u;
  auto next = [&state](int n) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return static_cast<int>(state % static_cast<uint32_t>(n));
  };
  auto set = [&](int x, int y) {
    if (x >= 0 && x < width && y >= 0 && y < rows)
      bits[static_cast<size_t>(y * rowBytes + x / 8)] |= static_cast<unsigned char>(0x80 >> (x % 8));
  };
  // A few horizontal and vertical strokes and a diagonal, as in a glyph.
  int strokes = 2 + next(4);
  for (int k = 0; k < strokes; k++) {
    int from = next(width), to = from + 1 + next(width), at = next(rows);
    bool vertical = next(2) == 0;
    for (int t = from; t < to; t++) vertical ? set(at * width / rows, t * rows / width) : set(t, at);
  }
  int x = next(width), y = next(rows), run = next(rows);
  for (int t = 0; t < run; t++) set(x + t, y + t);
  return std::string(bits.begin(), bits.end());
}

void PutLSB32(std::string &bytes, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; i++) bytes.at(offset + i) = static_cast<char>(value >> (8 * i));
}

uint32_t GetLSB32(const std::string &bytes, size_t offset) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; i--) v = v << 8 | static_cast<unsigned char>(bytes.at(offset + i));
  return v;
}
