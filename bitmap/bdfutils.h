// The bottom layer of the BDF reader: the line reader with its line counter,
// the messages, keyword scanners and the parsing of property values.
#pragma once

#include <cstddef>
#include <cstdint>

#include "util/fontstruct.h"
#include "fontfile/bufio.h"

// Every step reads lines into a buffer of its own of this size, so a line
// holds at most 1023 characters and its terminator.
constexpr int BdfLineBuffer = 1024;

// Line feeds read so far from the current BDF file (for messages only).
extern int bdfFileLineNum;
// Bytes taken from the current BDF file by bdfGetLine, a lower bound of the
// input behind the read; it sets the memory budget for glyph bitmaps.
extern int64_t bdfFileByteCount;

// Parsing state of one font read; the property references are indices into
// the font's props, -1 for none (the array grows, so pointers would move).
struct BdfFileState {
  char headerFontName[BdfLineBuffer] = {};
  float pointSize = 0;
  int32_t xResolution = 0;
  int32_t yResolution = 0;
  int32_t digitCount = 0;
  int64_t digitWidthSum = 0;  // a sum of file values: 64 bits cannot overflow
  int32_t xGlyphHeight = 0;
  int fontNameProp = -1;
  int pointSizeProp = -1;
  int resolutionProp = -1;
  int xResolutionProp = -1;
  int yResolutionProp = -1;
  int xHeightProp = -1;
  int weightProp = -1;
  int quadWidthProp = -1;
  bool sawFontAscent = false;
  bool sawFontDescent = false;
  bool sawDefaultChar = false;
  int64_t bitmapBytes = 0;  // glyph bitmap bytes held by the font being read
};

// The next line that is neither empty nor a COMMENT line, without carriage
// returns and line feed; none at the end of the data (a last line without a
// line feed is never returned).  A physical line longer than len - 1
// characters is cut there: the character at the cut is lost and the rest
// comes as the next line.
char *bdfGetLine(BufFile *file, char *buf, int len);
// The same, also giving the number of characters stored (a line may hold a
// NUL byte from the file: its text then ends there, its length does not).
char *bdfGetLineLength(BufFile *file, char *buf, int len, int *length);

void bdfError(const char *format, ...) __attribute__((format(printf, 1, 2)));
void bdfWarning(const char *format, ...) __attribute__((format(printf, 1, 2)));

// True when `line` begins with the keyword (a literal).
template <size_t N>
inline bool bdfBegins(const char *line, const char (&keyword)[N]) {
  for (size_t i = 0; i + 1 < N; i++)
    if (line[i] != keyword[i]) return false;
  return true;
}

// Scans `line` as "<keyword> %d %d ..." with `count` conversions and returns
// how many succeeded, exactly as the C library's sscanf with that format
// would (the format is passed for the rare case handed to sscanf itself).
int bdfScanInts(const char *line, const char *keyword, size_t keyLength, const char *format,
                int *values, int count);
template <size_t N>
inline int bdfScanInts(const char *line, const char (&keyword)[N], const char *format, int *values,
                       int count) {
  return bdfScanInts(line, keyword, N - 1, format, values, count);
}
// Scans `line` as "<keyword> %s", storing at most size - 1 characters of the
// word (the rest of a longer word is dropped); 1 when a word was found.
int bdfScanWord(const char *line, const char *keyword, size_t keyLength, char *word, size_t size);
template <size_t N>
inline int bdfScanWord(const char *line, const char (&keyword)[N], char *word, size_t size) {
  return bdfScanWord(line, keyword, N - 1, word, size);
}

// The white space of the C library's isspace in the C locale.
inline bool bdfIsSpace(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

Atom bdfForceMakeAtom(const char *text);
// The Atom of a property's string value; 0 when a quoted string is not
// terminated (reported).
Atom bdfGetPropertyValue(const char *text);
int bdfIsInteger(const char *text);
// Applies the special properties; 1 when the entry is consumed.
int bdfSpecialProperty(FontRec *font, FontProp *prop, char isString, BdfFileState *state);
// The value of two hexadecimal digits (a bad character is reported and
// leaves the value unshifted).
unsigned char bdfHexByte(const char *text);
