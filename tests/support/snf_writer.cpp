#include "tests/support/snf_writer.h"

#include <algorithm>

namespace {

uint64_t codeCount(const SnfFont &f) {
  if (f.lastCol < f.firstCol || f.lastRow < f.firstRow) return 0;
  return (uint64_t{f.lastCol} - f.firstCol + 1) * (uint64_t{f.lastRow} - f.firstRow + 1);
}

// Rows are padded to 4 bytes, as the usual SNF writers did.
size_t bitmapSize(const GenMetric &m) {
  int rowBytes = (m.rightBearing - m.leftBearing + 31) / 32 * 4;
  return static_cast<size_t>(rowBytes * (m.ascent + m.descent));
}

const GenMetric &glyphOf(const SnfFont &f, uint64_t code) {
  static const GenMetric empty{};
  return f.glyphs.empty() ? empty : f.glyphs[code % f.glyphs.size()];
}

size_t bitmapLength(const SnfFont &f) {
  size_t total = 0;
  for (uint64_t i = 0; i < codeCount(f); i++) total += bitmapSize(glyphOf(f, i));
  return total;
}

void glyphRecord(ByteWriter &w, const GenMetric &m, uint32_t offsetWord) {
  w.metric(m);
  w.u32(offsetWord);
}

}  // namespace

SnfFont TypicalSnf(const std::string &fontName, int glyphCount, int w, int h) {
  SnfFont f;
  int descent = h / 4;
  f.glyphs = CellGlyphs(glyphCount, w, h, descent);
  f.firstCol = 32;
  f.lastCol = static_cast<uint32_t>(32 + glyphCount - 1);
  f.defaultChar = 32;
  f.fontAscent = h - descent;
  f.fontDescent = descent;
  f.constantMetrics = 1;
  f.terminalFont = 1;
  f.flags = 1u << 1 | 1u << 2;  // constant width, ink inside
  f.minBounds = f.maxBounds = f.glyphs.front();
  f.inkMinBounds = f.inkMaxBounds = f.glyphs.front();
  f.properties = TypicalProperties(fontName, h);
  return f;
}

size_t SnfPropertiesOffset(const SnfFont &f) {
  return kSnfHeaderSize + 16 * codeCount(f) + (bitmapLength(f) + 3) / 4 * 4;
}

std::string WriteSnf(const SnfFont &f) {
  ByteWriter w(f.msbFirst);
  size_t bitmaps = bitmapLength(f);
  for (uint32_t v : {f.version1, f.allExist, f.drawDirection, f.noOverlap, f.constantMetrics,
                     f.terminalFont, f.flags, f.firstCol, f.lastCol, f.firstRow, f.lastRow})
    w.u32(v);
  StringPool pool;
  std::vector<uint32_t> names, values;
  for (const auto &p : f.properties) {
    names.push_back(pool.add(p.name));
    values.push_back(p.isString ? pool.add(p.text) : static_cast<uint32_t>(p.value));
  }
  w.u32(static_cast<uint32_t>(f.properties.size()));
  w.u32(static_cast<uint32_t>(pool.bytes.size()));
  w.u32(f.defaultChar);
  w.u32(static_cast<uint32_t>(f.fontDescent));
  w.u32(static_cast<uint32_t>(f.fontAscent));
  glyphRecord(w, f.minBounds, 0);
  glyphRecord(w, f.maxBounds, static_cast<uint32_t>(bitmaps & 0xFFFFFF));
  w.u32(0);  // two words the information reader does not read
  w.u32(0);
  w.u32(f.version2);

  uint32_t offset = 0;
  for (uint64_t i = 0; i < codeCount(f); i++) {
    const GenMetric &m = glyphOf(f, i);
    glyphRecord(w, m, offset | 1u << 24);
    offset += static_cast<uint32_t>(bitmapSize(m));
  }
  for (uint64_t i = 0; i < codeCount(f); i++) {
    const GenMetric &m = glyphOf(f, i);
    w.raw(GlyphBitmap(static_cast<int>(i), static_cast<int>(bitmapSize(m) / std::max(1, m.ascent + m.descent)),
                      m.ascent + m.descent));
  }
  w.padTo(4);
  for (size_t i = 0; i < f.properties.size(); i++) {
    w.u32(names[i]);
    w.u32(values[i]);
    w.u32(f.properties[i].isString ? 1 : 0);
  }
  w.raw(pool.bytes);
  if (f.flags & 1u << 3) {
    glyphRecord(w, f.inkMinBounds, 0);
    glyphRecord(w, f.inkMaxBounds, 0);
  }
  w.raw(f.trailer);
  return w.bytes();
}
