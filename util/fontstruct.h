// The records that the font readers fill and the rest of the tool reads, and
// the status codes of the font library.  Plain data, below every layer that
// produces or consumes them: the accelerator flags, the renderer registry,
// the readers and the driver.
#pragma once

#include <cstdint>

#include "util/atom.h"

// Status codes of the font library.
enum FontStatus : int {
  Successful = 85,
  AllocFailure = 80,
  BadFont = 83,
};

// Metrics of one glyph.  The bitmap is rightBearing - leftBearing pixels wide
// and ascent + descent rows high.
struct xCharInfo {
  int16_t leftBearing;
  int16_t rightBearing;
  int16_t width;  // advance; negative for a glyph advancing to the left
  int16_t ascent;
  int16_t descent;
  uint16_t attributes;
};

// Starting values of every minimum and maximum scan over glyph metrics.
constexpr xCharInfo initMinMetrics = {32767, 32767, 32767, 32767, 32767, 0xFFFF};
constexpr xCharInfo initMaxMetrics = {-32768, -32768, -32768, -32768, -32768, 0};

struct CharInfo {
  xCharInfo metrics;
  unsigned char *bits;  // rows padded to the font's glyphPad; none: no bitmap
};

struct FontProp {
  Atom name;
  int32_t value;  // an Atom when the property's isStringProp entry is set
};

struct FontInfo {
  uint16_t firstCol;
  uint16_t lastCol;
  uint16_t firstRow;
  uint16_t lastRow;
  uint16_t defaultChar;  // row in the high byte, column in the low byte
  unsigned int noOverlap : 1;
  unsigned int terminalFont : 1;
  unsigned int constantMetrics : 1;
  unsigned int constantWidth : 1;
  unsigned int inkInside : 1;
  unsigned int inkMetrics : 1;
  unsigned int allExist : 1;
  unsigned int drawDirection : 2;
  unsigned int cachable : 1;
  unsigned int anamorphic : 1;
  int16_t maxOverlap;
  xCharInfo maxBounds;
  xCharInfo minBounds;
  xCharInfo inkMaxBounds;
  xCharInfo inkMinBounds;
  int16_t fontAscent;
  int16_t fontDescent;
  int32_t propCount;
  FontProp *props;
  char *isStringProp;
};

// Number of codes the ranges cover; 0 when a range runs backwards.
inline uint64_t FontInfoCodeCount(const FontInfo &fi) {
  if (fi.lastCol < fi.firstCol || fi.lastRow < fi.firstRow) return 0;
  return (uint64_t{fi.lastCol} - fi.firstCol + 1) * (uint64_t{fi.lastRow} - fi.firstRow + 1);
}

// No properties, whatever the fields held (nothing is freed).
void FontInfoNoProps(FontInfo *fi);
// Releases the property arrays of a FontInfo and clears them.
void FontInfoFreeProps(FontInfo *fi);

struct FontRec;

// Encoding kinds of the glyph lookup operations.
enum FontEncoding {
  Linear8Bit,
  TwoD8Bit,
  Linear16Bit,
  TwoD16Bit,
};

typedef int (*FontGetGlyphsProc)(FontRec *font, unsigned long count, const unsigned char *chars,
                                 FontEncoding encoding, unsigned long *glyphCount,
                                 CharInfo **glyphs);
typedef int (*FontGetMetricsProc)(FontRec *font, unsigned long count, const unsigned char *chars,
                                  FontEncoding encoding, unsigned long *glyphCount,
                                  xCharInfo **glyphs);
typedef void (*FontUnloadFontProc)(FontRec *font);
typedef void (*FontUnloadGlyphsProc)(FontRec *font);

struct FontRec {
  FontInfo info;
  uint8_t bitOrder;   // 1: most significant bit is the leftmost pixel
  uint8_t byteOrder;  // 1: most significant byte first
  uint8_t glyphPad;   // 1, 2, 4 or 8
  uint8_t scanUnit;   // 1, 2 or 4
  FontGetGlyphsProc getGlyphs;
  FontGetMetricsProc getMetrics;
  FontUnloadFontProc unloadFont;
  FontUnloadGlyphsProc unloadGlyphs;
  void *fontPrivate;
};
