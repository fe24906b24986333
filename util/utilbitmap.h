// In-place converters of glyph bitmap bytes, and the row stride of a glyph.
#pragma once

#include <cstdint>

// Bytes of one bitmap row of `width` pixels padded to `glyphPad` bytes
// (1, 2, 4 or 8; any other value pads to 1, so that every module that sizes or
// walks a bitmap agrees): the width rounded up to whole pad units.  A width
// of 0 gives 0; a negative width (16-bit metrics whose right edge wrapped
// round past the left one) gives the negative count that the same rounding
// gives (-65535 pixels: -8191 bytes at a pad of 1), which no bitmap has.
// Computed in 64 bits: widths straight from a file do not fit the 16-bit
// metrics.
constexpr int64_t BitmapBytesPerRow(int64_t width, int glyphPad) {
  // Shifts right round toward minus infinity, negative widths included.
  switch (glyphPad) {
    case 2: return ((width + 15) >> 4) * 2;
    case 4: return ((width + 31) >> 5) * 4;
    case 8: return ((width + 63) >> 6) * 8;
    default: return (width + 7) >> 3;
  }
}

// Reverses the order of the bits of each of the `count` bytes.
void BitOrderInvert(unsigned char *bytes, long count);
// Exchanges the bytes of each whole pair; a trailing odd byte stays.
void TwoByteSwap(unsigned char *bytes, long count);
// Reverses each whole group of four bytes; trailing bytes stay.
void FourByteSwap(unsigned char *bytes, long count);
