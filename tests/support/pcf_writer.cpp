#include "tests/support/pcf_writer.h"

#include <algorithm>
#include <stdexcept>

namespace {

constexpr uint32_t kLayoutCompressedMetrics = 0x100;
constexpr uint32_t kLayoutInkBounds = 0x100;
constexpr uint32_t kByteOrderBit = 1u << 2;
constexpr uint32_t kBitOrderBit = 1u << 3;

const std::vector<uint32_t> kUsualOrder = {
    kPcfProperties, kPcfAccelerators, kPcfMetrics,   kPcfBitmaps,    kPcfInkMetrics,
    kPcfEncodings,  kPcfSwidths,      kPcfGlyphNames, kPcfBdfAccelerators};

struct Table {
  uint32_t type;
  uint32_t format;
  std::string bytes;  // format word included
};

bool msbFor(const PcfFont &font, uint32_t type) {
  auto it = font.tableMsbFirst.find(type);
  return it != font.tableMsbFirst.end() ? it->second : font.msbFirst;
}

// Byte order and, for bitmaps, the bit order follow the byte order, as the
// usual writers do; the layout kind is added by the caller.
uint32_t formatFor(const PcfFont &font, uint32_t type) {
  uint32_t format = static_cast<uint32_t>(font.glyphPad & 3);
  if (msbFor(font, type)) format |= kByteOrderBit | kBitOrderBit;
  return format;
}

ByteWriter startTable(uint32_t format) {
  ByteWriter w(format & kByteOrderBit);
  ByteWriter lsb(false);
  lsb.u32(format);  // the format word is always least significant byte first
  w.raw(lsb.bytes());
  return w;
}

Table properties(const PcfFont &font) {
  uint32_t format = formatFor(font, kPcfProperties);
  ByteWriter w = startTable(format);
  StringPool pool;
  w.u32(static_cast<uint32_t>(font.properties.size()));
  for (const auto &p : font.properties) {
    w.u32(pool.add(p.name));
    w.u8(p.isString ? 1 : 0);
    w.u32(p.isString ? pool.add(p.text) : static_cast<uint32_t>(p.value));
  }
  w.padTo(4);  // the records end on a 4-byte boundary (after the format and count words)
  w.u32(static_cast<uint32_t>(pool.bytes.size()));
  w.raw(pool.bytes);
  return {kPcfProperties, format, w.bytes()};
}

Table accelerators(const PcfFont &font, uint32_t type, const PcfAccel &a) {
  uint32_t format = formatFor(font, type) | (a.withInkBounds ? kLayoutInkBounds : 0);
  ByteWriter w = startTable(format);
  for (uint8_t flag : {a.noOverlap, a.constantMetrics, a.terminalFont, a.constantWidth,
                       a.inkInside, a.inkMetrics, a.drawDirection, uint8_t{0}})
    w.u8(flag);
  w.u32(static_cast<uint32_t>(a.fontAscent));
  w.u32(static_cast<uint32_t>(a.fontDescent));
  w.u32(static_cast<uint32_t>(a.maxOverlap));
  w.metric(a.minBounds);
  w.metric(a.maxBounds);
  if (a.withInkBounds) {
    w.metric(a.inkMinBounds);
    w.metric(a.inkMaxBounds);
  }
  return {type, format, w.bytes()};
}

bool compressible(const GenMetric &m) {
  auto fits = [](int v) { return v >= -128 && v <= 127; };
  return fits(m.leftBearing) && fits(m.rightBearing) && fits(m.width) && fits(m.ascent) &&
         fits(m.descent) && m.attributes == 0;
}

Table metrics(const PcfFont &font, uint32_t type) {
  bool compressed = font.compressedMetrics &&
                    std::all_of(font.glyphs.begin(), font.glyphs.end(), compressible);
  uint32_t format = formatFor(font, type) | (compressed ? kLayoutCompressedMetrics : 0);
  ByteWriter w = startTable(format);
  if (compressed) {
    w.u16(static_cast<uint32_t>(font.glyphs.size()));
    for (const auto &m : font.glyphs)
      for (int v : {m.leftBearing, m.rightBearing, m.width, m.ascent, m.descent}) w.u8(v + 0x80);
  } else {
    w.u32(static_cast<uint32_t>(font.glyphs.size()));
    for (const auto &m : font.glyphs) w.metric(m);
  }
  return {type, format, w.bytes()};
}

int rowBytes(const GenMetric &m, int pad) {
  int bits = m.rightBearing - m.leftBearing;
  int bytes = (bits + 7) / 8;
  int unit = 1 << pad;
  return (bytes + unit - 1) / unit * unit;
}

Table bitmaps(const PcfFont &font) {
  uint32_t format = formatFor(font, kPcfBitmaps);
  ByteWriter w = startTable(format);
  std::string data;
  std::vector<uint32_t> offsets;
  uint32_t sizes[4] = {0, 0, 0, 0};
  for (size_t i = 0; i < font.glyphs.size(); i++) {
    const GenMetric &m = font.glyphs[i];
    int rows = m.ascent + m.descent;
    offsets.push_back(static_cast<uint32_t>(data.size()));
    int index = static_cast<int>(i), stride = rowBytes(m, font.glyphPad);
    data += font.drawnBitmaps ? DrawnGlyphBitmap(index, m.rightBearing - m.leftBearing, stride, rows)
                              : GlyphBitmap(index, stride, rows);
    for (int p = 0; p < 4; p++) sizes[p] += static_cast<uint32_t>(rowBytes(m, p) * rows);
  }
  w.u32(static_cast<uint32_t>(font.glyphs.size()));
  for (uint32_t o : offsets) w.u32(o);
  for (uint32_t s : sizes) w.u32(s);
  w.raw(data);
  return {kPcfBitmaps, format, w.bytes()};
}

Table swidths(const PcfFont &font) {
  uint32_t format = formatFor(font, kPcfSwidths);
  ByteWriter w = startTable(format);
  w.u32(static_cast<uint32_t>(font.glyphs.size()));
  for (const auto &m : font.glyphs) w.u32(static_cast<uint32_t>(m.width * 1000 / 12));
  return {kPcfSwidths, format, w.bytes()};
}

Table encodings(const PcfFont &font) {
  uint32_t format = formatFor(font, kPcfEncodings);
  ByteWriter w = startTable(format);
  for (uint16_t v : {font.firstCol, font.lastCol, font.firstRow, font.lastRow, font.defaultChar})
    w.u16(v);
  if (!font.encoding.empty()) {
    for (uint16_t v : font.encoding) w.u16(v);
  } else if (font.lastCol >= font.firstCol && font.lastRow >= font.firstRow) {
    size_t codes = size_t{font.lastCol - font.firstCol + 1u} * (font.lastRow - font.firstRow + 1u);
    for (size_t i = 0; i < codes; i++) w.u16(i < font.glyphs.size() ? static_cast<uint32_t>(i) : 0xFFFF);
  }
  return {kPcfEncodings, format, w.bytes()};
}

std::vector<Table> buildTables(const PcfFont &font) {
  std::map<uint32_t, Table> present;
  auto put = [&](Table t) { present.emplace(t.type, std::move(t)); };
  if (font.withProperties) put(properties(font));
  if (font.accel) put(accelerators(font, kPcfAccelerators, *font.accel));
  if (font.withGlyphTables && !font.glyphs.empty()) {
    put(metrics(font, kPcfMetrics));
    put(bitmaps(font));
    put(swidths(font));
    if (font.withInkMetrics) put(metrics(font, kPcfInkMetrics));
  }
  if (font.withEncodings) put(encodings(font));
  if (font.bdfAccel) put(accelerators(font, kPcfBdfAccelerators, *font.bdfAccel));

  std::vector<uint32_t> order = font.order;
  for (uint32_t type : kUsualOrder)
    if (std::find(order.begin(), order.end(), type) == order.end()) order.push_back(type);
  std::vector<Table> tables;
  for (uint32_t type : order) {
    auto it = present.find(type);
    if (it != present.end()) tables.push_back(it->second);
  }
  return tables;
}

}  // namespace

PcfAccel AccelFor(const std::vector<GenMetric> &glyphs, int ascent, int descent) {
  PcfAccel a;
  a.fontAscent = ascent;
  a.fontDescent = descent;
  GenMetric lo{32767, 32767, 32767, 32767, 32767, 0xFFFF};
  GenMetric hi{-32768, -32768, -32768, -32768, -32768, 0};
  for (const auto &m : glyphs) {
    lo.leftBearing = std::min(lo.leftBearing, m.leftBearing);
    lo.rightBearing = std::min(lo.rightBearing, m.rightBearing);
    lo.width = std::min(lo.width, m.width);
    lo.ascent = std::min(lo.ascent, m.ascent);
    lo.descent = std::min(lo.descent, m.descent);
    lo.attributes &= m.attributes;
    hi.leftBearing = std::max(hi.leftBearing, m.leftBearing);
    hi.rightBearing = std::max(hi.rightBearing, m.rightBearing);
    hi.width = std::max(hi.width, m.width);
    hi.ascent = std::max(hi.ascent, m.ascent);
    hi.descent = std::max(hi.descent, m.descent);
    hi.attributes |= m.attributes;
  }
  if (glyphs.empty()) lo = hi = GenMetric{};
  a.minBounds = a.inkMinBounds = lo;
  a.maxBounds = a.inkMaxBounds = hi;
  a.maxOverlap = hi.rightBearing - lo.width;
  a.constantWidth = lo.width == hi.width;
  a.constantMetrics = a.constantWidth && lo.leftBearing == hi.leftBearing &&
                      lo.rightBearing == hi.rightBearing && lo.ascent == hi.ascent &&
                      lo.descent == hi.descent;
  a.inkInside = 1;
  return a;
}

PcfFont MinimalPcf(const std::string &fontName) {
  PcfFont font;
  font.properties = {StringProp("FONT", fontName)};
  font.accel = PcfAccel{};
  font.firstCol = 65;
  font.lastCol = 66;
  font.encoding = {0, 1};
  return font;
}

PcfFont TypicalPcf(const std::string &fontName, int glyphCount, int w, int h) {
  PcfFont font;
  font.properties = TypicalProperties(fontName, h);
  int descent = h / 4;
  font.glyphs = CellGlyphs(glyphCount, w, h, descent);
  font.firstCol = 32;
  font.lastCol = static_cast<uint16_t>(32 + glyphCount - 1);
  font.defaultChar = 32;
  font.compressedMetrics = true;
  font.accel = AccelFor(font.glyphs, h - descent, descent);
  font.bdfAccel = font.accel;
  font.bdfAccel->withInkBounds = true;
  return font;
}

std::string WritePcf(const PcfFont &font) {
  std::vector<Table> tables = buildTables(font);
  size_t count = tables.size() + font.extraEntries.size();
  std::vector<PcfTocEntry> toc;
  std::string body;
  uint32_t start = static_cast<uint32_t>(8 + 16 * count);
  for (const auto &t : tables) {
    auto gap = font.gapBefore.find(t.type);
    if (gap != font.gapBefore.end()) body.append(gap->second, '\0');
    body.append((4 - (start + body.size()) % 4) % 4, '\0');
    toc.push_back({t.type, t.format, static_cast<uint32_t>(t.bytes.size()),
                   static_cast<uint32_t>(start + body.size())});
    body += t.bytes;
  }
  for (const auto &e : font.extraEntries) toc.push_back(e);
  ByteWriter w(false);
  w.raw(std::string("\x01" "fcp", 4));
  w.u32(static_cast<uint32_t>(count));
  for (const auto &e : toc) {
    w.u32(e.type);
    w.u32(e.format);
    w.u32(e.size);
    w.u32(e.offset);
  }
  w.raw(body);
  return w.bytes();
}

std::vector<PcfTocEntry> PcfReadToc(const std::string &bytes) {
  std::vector<PcfTocEntry> toc;
  uint32_t count = GetLSB32(bytes, 4);
  for (uint32_t i = 0; i < count; i++) {
    size_t at = 8 + 16 * size_t{i};
    toc.push_back({GetLSB32(bytes, at), GetLSB32(bytes, at + 4), GetLSB32(bytes, at + 8),
                   GetLSB32(bytes, at + 12)});
  }
  return toc;
}

uint32_t PcfTableOffset(const std::string &bytes, uint32_t type) {
  for (const auto &e : PcfReadToc(bytes))
    if (e.type == type) return e.offset;
  throw std::runtime_error("no such table");
}
