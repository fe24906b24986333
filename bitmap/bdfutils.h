// The bottom layer of the BDF reader: the state record of one read, the line
// reader, the tokenizer and number parser of keyword lines, the messages and
// the parsing of property values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "fontfile/fontreader.h"
#include "util/fontstruct.h"

// A line holds at most 1023 characters: a longer one is cut there, the
// character at the cut is lost and the rest comes as the next line.
constexpr int BdfLineBuffer = 1024;

// The text of one line, [begin, end): carriage returns dropped, no line
// feed, and ending at the first NUL byte that the line holds.
struct BdfText {
  const char *begin = nullptr;
  const char *end = nullptr;
  size_t size() const { return static_cast<size_t>(end - begin); }
  template <size_t N>
  bool startsWith(const char (&keyword)[N]) const {
    return size() >= N - 1 && std::memcmp(begin, keyword, N - 1) == 0;
  }
};

// How glyph bitmaps are laid out for the caller: bit order, byte order
// (1: most significant first), row padding (1, 2, 4, 8) and scan unit.
struct BdfLayout {
  int bit, byte, pad, scan;
};

// Everything one font read works with.  The property references are
// indices into the font's props, -1 for none (the array grows, so pointers
// would move).
struct BdfFileState {
  FontReader in;
  int lineNumber = 0;        // line feeds read so far: a message names the line just read
  BdfText line;              // the line just read; valid until the next is read
  char copy[BdfLineBuffer];  // a line that does not lie whole in the stream's buffer
  BdfLayout layout = {1, 0, 1, 1};

  // The header.
  char headerFontName[BdfLineBuffer] = {};
  float pointSize = 0;
  int32_t xResolution = 0, yResolution = 0;
  // The properties.
  int fontNameProp = -1, pointSizeProp = -1, resolutionProp = -1, xResolutionProp = -1;
  int yResolutionProp = -1, xHeightProp = -1, weightProp = -1, quadWidthProp = -1;
  bool sawFontAscent = false, sawFontDescent = false, sawDefaultChar = false;
  // The glyphs: digits and x for QUAD_WIDTH and X_HEIGHT, and the bitmap
  // bytes held (a sum of file values: 64 bits cannot overflow).
  int32_t digitCount = 0, xGlyphHeight = 0;
  int64_t digitWidthSum = 0;
  int64_t bitmapBytes = 0;
  // Memory ran out (or a declared size passed the allocation ceiling): a read
  // that fails then fails with AllocFailure rather than BadFont.
  bool outOfMemory = false;

  explicit BdfFileState(BufFile *file) { FontReaderInit(&in, file); }
};

// Reads the next line that is neither empty nor a COMMENT line into
// state.line; false at the end of the data (a last line without a line
// feed is never returned).
bool bdfNextLine(BdfFileState &state);

void bdfError(const BdfFileState &state, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
void bdfWarning(const BdfFileState &state, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
// bdfError for a step that fails: returns false.
bool bdfFail(const BdfFileState &state, const char *format, ...)
    __attribute__((format(printf, 2, 3)));
// Marks the read as failed for lack of memory; false, for the failing step
// to return.
inline bool bdfOutOfMemory(BdfFileState &state) {
  state.outOfMemory = true;
  return false;
}
// bdfFail for a step that fails for lack of memory, marked as such.
bool bdfFailForMemory(BdfFileState &state, const char *format, ...)
    __attribute__((format(printf, 2, 3)));

// The one integer parser: an optional sign and decimal digits, converted as
// the C library's strtol converts them, saturating at the 64-bit limits.  An
// int takes the low 32 bits of the value, as the C library's %d and atoi
// give it.
// `digits` is false when no digit follows the sign (the value is then 0).
struct BdfInteger {
  int64_t value;
  bool digits;
  const char *next;  // after the last character taken
};
BdfInteger bdfParseInteger(const char *p, const char *end);
// The white space of the C library's isspace in the C locale.
inline bool bdfIsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The tokenizer: takes a keyword line apart from the front exactly as the C
// library's scanf does with the format "<keyword> %d %d", "SIZE %f%d%d" or
// "STARTCHAR %s".
struct BdfTokens {
  const char *p;
  const char *end;
  BdfTokens() : p(nullptr), end(nullptr) {}
  explicit BdfTokens(BdfText text) : p(text.begin), end(text.end) {}

  template <size_t N>
  bool keyword(const char (&word)[N]) {
    if (!BdfText{p, end}.startsWith(word)) return false;
    p += N - 1;
    return true;
  }
  void skipSpace() {
    while (p < end && bdfIsSpace(static_cast<unsigned char>(*p))) ++p;
  }
  // The next word after white space; empty when none is left.
  BdfText word();
  // scanf's %d into *value; false when no number stands there.
  bool integer(int32_t *value);
  // Up to `count` %d conversions; the number that succeeded.
  int integers(int32_t *values, int count);
  // scanf's %f into *value.
  bool real(float *value);
};

Atom bdfForceMakeAtom(BdfText text);
// The Atom of a property's string value; 0 when a quoted string is not
// terminated (reported) or memory runs out (marked in `state`).
Atom bdfGetPropertyValue(BdfFileState &state, BdfText text);
// An integer property value: a digit or sign, then digits only (a sign alone
// is 0), converted as by atoi.  False when the word is no such integer.
bool bdfIntegerValue(BdfText word, int32_t *value);
// Applies the properties that set fields of the font information or that
// later steps look up; true when the entry is consumed (not kept).
bool bdfSpecialProperty(BdfFileState &state, FontInfo *info, int slot);
// The value of two hexadecimal digits; a bad character is reported and
// leaves the value unshifted.  Inline: every byte of every bitmap row.
inline constexpr struct BdfHexDigits {
  signed char value[256];  // -1: no hexadecimal digit
  constexpr BdfHexDigits() : value() {
    for (int c = 0; c < 256; c++)
      value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                 : -1);
  }
  int operator()(char c) const { return value[static_cast<unsigned char>(c)]; }
} bdfHexDigit;
unsigned char bdfBadHexByte(const BdfFileState &state, char high, char low);
inline unsigned char bdfHexByte(const BdfFileState &state, char high, char low) {
  const int h = bdfHexDigit(high), l = bdfHexDigit(low);
  if ((h | l) < 0) return bdfBadHexByte(state, high, low);
  return static_cast<unsigned char>(h << 4 | l);
}
