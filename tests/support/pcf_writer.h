// Writes PCF font files for tests: any set of tables, in any order, each in
// either byte order, with the glyph tables a full PCF reader needs.
//
// File layout: magic 01 66 63 70, table count, then (type, format, size,
// offset) per table, all least significant byte first; every table begins
// with its own format word (bits 0-1 glyph pad, bit 2 byte order, bit 3 bit
// order, bits 4-5 scan unit, bits 8-31 layout kind).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/fontgen.h"

enum PcfTableType : uint32_t {
  kPcfProperties = 0x1,
  kPcfAccelerators = 0x2,
  kPcfMetrics = 0x4,
  kPcfBitmaps = 0x8,
  kPcfInkMetrics = 0x10,
  kPcfEncodings = 0x20,
  kPcfSwidths = 0x40,
  kPcfGlyphNames = 0x80,
  kPcfBdfAccelerators = 0x100,
};

struct PcfAccel {
  uint8_t noOverlap = 0, constantMetrics = 0, terminalFont = 0, constantWidth = 0;
  uint8_t inkInside = 0, inkMetrics = 0, drawDirection = 0;
  int32_t fontAscent = 0, fontDescent = 0, maxOverlap = 0;
  GenMetric minBounds, maxBounds, inkMinBounds, inkMaxBounds;
  bool withInkBounds = false;  // layout kind 0x100: ink bounds follow
};

struct PcfTocEntry {
  uint32_t type, format, size, offset;
};

struct PcfFont {
  std::vector<GenProperty> properties;
  bool withProperties = true;

  // Glyphs: the metrics and bitmaps tables (and swidths) are written when
  // there is at least one glyph and withGlyphTables is set.
  std::vector<GenMetric> glyphs;
  bool withGlyphTables = true;
  bool compressedMetrics = false;  // 5-byte metrics (layout kind 0x100)
  bool withInkMetrics = false;
  int glyphPad = 0;  // 0..3: rows padded to 1 << glyphPad bytes
  bool drawnBitmaps = false;  // glyph-like bitmaps (DrawnGlyphBitmap)

  // Encodings: one glyph index per code; empty means code i -> glyph i,
  // 0xFFFF beyond the last glyph.
  bool withEncodings = true;
  uint16_t firstCol = 0, lastCol = 0, firstRow = 0, lastRow = 0, defaultChar = 0;
  std::vector<uint16_t> encoding;

  std::optional<PcfAccel> accel;     // type 0x2
  std::optional<PcfAccel> bdfAccel;  // type 0x100

  // Byte order of every table, and exceptions by type.
  bool msbFirst = false;
  std::map<uint32_t, bool> tableMsbFirst;
  // File order of the tables; types not present are ignored, present types
  // not listed follow in the usual order.
  std::vector<uint32_t> order;
  // Extra bytes before a table (beyond the 4-byte alignment).
  std::map<uint32_t, uint32_t> gapBefore;
  // Entries added to the table of contents as they are.
  std::vector<PcfTocEntry> extraEntries;
};

// A font of `glyphCount` cell glyphs w x h covering codes from 32, with the
// usual properties, both accelerator tables and the usual table order.
PcfFont TypicalPcf(const std::string &fontName, int glyphCount = 95, int w = 6, int h = 13);

// The least a reader takes: the one property FONT, empty accelerators, and
// codes 65 and 66 for glyphs 0 and 1 with no glyph tables.
PcfFont MinimalPcf(const std::string &fontName);

// The accelerators that match a font's glyphs.
PcfAccel AccelFor(const std::vector<GenMetric> &glyphs, int ascent, int descent);

std::string WritePcf(const PcfFont &font);
// The table of contents of a written file (as the writer laid it out).
std::vector<PcfTocEntry> PcfReadToc(const std::string &bytes);
// The offset of the first table of a type, or throws.
uint32_t PcfTableOffset(const std::string &bytes, uint32_t type);
