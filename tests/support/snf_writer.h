// Writes SNF font files for tests.
//
// File layout (least significant byte first unless msbFirst): a 108-byte
// header, one 16-byte glyph record per code of the ranges, the glyph bitmaps
// padded to 4 bytes, 12-byte property records, the string pool, and the ink
// bounds (two glyph records) when bit 3 of the flag word is set.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/fontgen.h"

// Header offsets.
constexpr size_t kSnfVersion1At = 0, kSnfPropCountAt = 44, kSnfPoolSizeAt = 48,
                 kSnfDescentAt = 56, kSnfAscentAt = 60, kSnfMaxBoundsAt = 80,
                 kSnfVersion2At = 104, kSnfHeaderSize = 108;

struct SnfFont {
  uint32_t version1 = 4, version2 = 4;
  uint32_t allExist = 1, drawDirection = 0, noOverlap = 0, constantMetrics = 0, terminalFont = 0;
  uint32_t flags = 0;  // bit 1 constantWidth, bit 2 inkInside, bit 3 inkMetrics (ink bounds follow)
  uint32_t firstCol = 0, lastCol = 0, firstRow = 0, lastRow = 0, defaultChar = 0;
  int32_t fontDescent = 0, fontAscent = 0;
  GenMetric minBounds, maxBounds, inkMinBounds, inkMaxBounds;
  // Metrics of the glyph of each code (cycled when fewer than the codes);
  // the bitmaps follow from them.
  std::vector<GenMetric> glyphs;
  std::vector<GenProperty> properties;
  bool msbFirst = false;
  std::string trailer;  // bytes after everything (not read by readers)
};

// A font of `glyphCount` cell glyphs w x h from code 32 with the usual
// properties and bounds.
SnfFont TypicalSnf(const std::string &fontName, int glyphCount = 95, int w = 6, int h = 13);

std::string WriteSnf(const SnfFont &font);
// Offset of the first property record in a written file.
size_t SnfPropertiesOffset(const SnfFont &font);
