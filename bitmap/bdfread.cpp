// BDF (Glyph Bitmap Distribution Format 2.1) fonts: a header, a property
// section and a character section, one keyword line after another.  The
// whole font is read into a FontRec; the information reader keeps only its
// FontInfo.
#include "bitmap/bdfread.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bitmap/bdfutils.h"
#include "bitmap/bitmap.h"
#include "bitmap/bitmapfont.h"
#include "bitmap/bitmaputil.h"
#include "bitmap/fontink.h"
#include "util/fontaccel.h"
#include "util/miscutil.h"
#include "util/utilbitmap.h"

namespace {

// Counts declared by a file are believed only as far as the data backs
// them: arrays start small and double as entries arrive, never beyond the
// declared count.
constexpr int64_t kFirstRoom = 64;

int64_t nextRoom(int64_t room, int64_t needed, int64_t limit) {
  int64_t next = room < kFirstRoom ? kFirstRoom : room * 2;
  if (next < needed) next = needed;
  return next < limit ? next : limit;
}

// Does the full array of `count` entries of `size` bytes pass the allocation
// wrappers' ceiling?  A count that could never be allocated is refused at
// once, with the message its allocation would give.
bool arrayFits(int64_t count, size_t size) {
  return count >= 0 && static_cast<uint64_t>(count) <= kFontAllocLimit / size;
}

int32_t truncToInt32(double v) {
  // Clamped: a value out of range (or not a number) has no int conversion.
  if (!(v > -2147483649.0)) return v != v ? 0 : INT32_MIN;
  if (v >= 2147483648.0) return INT32_MAX;
  return static_cast<int32_t>(v);
}

// Bitmap totals: a size can be negative (a box whose edges wrapped round).
int32_t addSaturated(int32_t a, int64_t b) {
  int64_t s = a + b;
  return s > INT32_MAX ? INT32_MAX : s < INT32_MIN ? INT32_MIN : static_cast<int32_t>(s);
}

// Glyph bitmaps are bounded by the input behind them: short rows are padded
// with zeros and a cell font is widened without more input, so a few bytes
// of file could otherwise ask for far more memory than any real font uses.
// Beyond a fixed 64 MiB a font may hold at most 8 bytes of bitmap per byte
// read (a real font holds at most one byte per two hexadecimal digits, plus
// row padding).
bool bitmapBudgetAllows(int64_t held, int64_t request) {
  int64_t allowance = static_cast<int64_t>(kFontAllocLimit) + 8 * bdfFileByteCount;
  return request <= allowance - held;
}

// The property arrays of the font being read, grown as properties arrive.
struct PropArrays {
  FontInfo *info;
  int64_t room = 0;
  int64_t limit;  // declared count + 6: the most that can ever be needed

  bool ensure(int64_t slot) {
    if (slot < room) return true;
    int64_t next = nextRoom(room, slot + 1, limit);
    auto *strings = static_cast<char *>(
        FontReallocArray(info->isStringProp, static_cast<size_t>(next), 1));
    if (!strings) {
      bdfError("Couldn't allocate stringProps (%lld*%d)\n", static_cast<long long>(limit), 4);
      return false;
    }
    info->isStringProp = strings;
    auto *props = static_cast<FontProp *>(
        FontReallocArray(info->props, static_cast<size_t>(next), sizeof(FontProp)));
    if (!props) {
      bdfError("Couldn't allocate props (%lld*%d)\n", static_cast<long long>(limit), 8);
      return false;
    }
    info->props = props;
    room = next;
    return true;
  }
};

// Splits a property line into its first three white-space-separated words.
int splitWords(const char *p, char (*words)[BdfLineBuffer], int max) {
  int n = 0;
  while (n < max) {
    while (bdfIsSpace(static_cast<unsigned char>(*p))) ++p;
    if (!*p) break;
    size_t len = 0;
    while (p[len] && !bdfIsSpace(static_cast<unsigned char>(p[len]))) ++len;
    std::memcpy(words[n], p, len);  // len < BdfLineBuffer: it came from a line
    words[n][len] = '\0';
    p += len;
    ++n;
  }
  return n;
}

// The glyph arrays of the font being read, grown as glyphs arrive.
struct GlyphArrays {
  BitmapFont *font;
  int64_t room = 0;
  int count;

  bool ensure(int64_t index) {
    if (index < room) return true;
    int64_t next = nextRoom(room, index + 1, count);
    auto n = static_cast<size_t>(next);
    auto *metrics = static_cast<CharInfo *>(FontReallocArray(font->metrics, n, sizeof(CharInfo)));
    if (!metrics) {
      bdfError("Couldn't allocate pCI (%d*%d)\n", count, 16);
      return false;
    }
    font->metrics = metrics;
    if (BitmapExtra *extra = font->extra) {
      auto *names = static_cast<Atom *>(FontReallocArray(extra->glyphNames, n, sizeof(Atom)));
      if (!names) {
        bdfError("Couldn't allocate glyphNames (%d*%d)\n", count, 4);
        return false;
      }
      extra->glyphNames = names;
      auto *widths =
          static_cast<int32_t *>(FontReallocArray(extra->scalableWidths, n, sizeof(int32_t)));
      if (!widths) {
        bdfError("Couldn't allocate sWidth (%d *%d)\n", count, 4);
        return false;
      }
      extra->scalableWidths = widths;
    }
    room = next;
    return true;
  }
};

// Rows of 256 glyph references by code, created on first use.  A reference
// is the glyph's index + 1 (0: none): the glyph array still moves as it grows.
struct RowTable {
  int32_t *rows[256] = {};
  ~RowTable() {
    for (int32_t *row : rows) FontFree(row);
  }
};

// ATTRIBUTES: four hexadecimal digits after the keyword and one separator.
// Digits missing at the end of the line count as 0, as in bitmap rows.
uint16_t parseAttributes(const char *line) {
  const char *p = line + 10;
  if (*p) ++p;
  while (*p == ' ' || *p == '\t') ++p;
  char digits[4];
  for (char &d : digits) {
    d = *p ? *p++ : '0';
  }
  return static_cast<uint16_t>((bdfHexByte(digits) << 8) | bdfHexByte(digits + 2));
}

// Values of the hexadecimal digits; -1 for every other byte.
constexpr struct HexTable {
  signed char value[256];
  constexpr HexTable() : value() {
    for (int c = 0; c < 256; c++)
      value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                 : -1);
  }
} hexTable;

// One byte of a row from digits a and b; bdfHexByte reports bad characters.
inline unsigned char rowByte(char a, char b) {
  int hi = hexTable.value[static_cast<unsigned char>(a)];
  int lo = hexTable.value[static_cast<unsigned char>(b)];
  if ((hi | lo) >= 0) return static_cast<unsigned char>(hi << 4 | lo);
  const char pair[2] = {a, b};
  return bdfHexByte(pair);
}

}  // namespace

int bdfReadHeader(BufFile *file, BdfFileState *state) {
  char line[BdfLineBuffer];
  char word[BdfLineBuffer];
  if (!bdfGetLine(file, line, sizeof line) || std::sscanf(line, "STARTFONT %1023s", word) != 1 ||
      std::strcmp(word, "2.1") != 0) {
    bdfError("bad 'STARTFONT'\n");
    return 0;
  }
  if (!bdfGetLine(file, line, sizeof line) ||
      std::sscanf(line, "FONT %1023[^\n]", state->headerFontName) != 1) {
    bdfError("bad 'FONT'\n");
    return 0;
  }
  if (!bdfGetLine(file, line, sizeof line) || !bdfBegins(line, "SIZE")) {
    bdfError("missing 'SIZE'\n");
    return 0;
  }
  if (std::sscanf(line, "SIZE %f%d%d", &state->pointSize, &state->xResolution,
                  &state->yResolution) != 3) {
    bdfError("bad 'SIZE'\n");
    return 0;
  }
  // Written so that a point size that is not a number fails too.
  if (!(state->pointSize >= 1.0f) || state->xResolution < 1 || state->yResolution < 1) {
    bdfError("SIZE values must be > 0\n");
    return 0;
  }
  if (!bdfGetLine(file, line, sizeof line) || !bdfBegins(line, "FONTBOUNDINGBOX")) {
    bdfError("missing 'FONTBOUNDINGBOX'\n");
    return 0;
  }
  return 1;
}

namespace {

int readPropertyLines(BufFile *file, FontRec *font, BdfFileState *state) {
  FontInfo &info = font->info;
  char line[BdfLineBuffer];
  if (!bdfGetLine(file, line, sizeof line) || !bdfBegins(line, "STARTPROPERTIES")) {
    bdfError("missing 'STARTPROPERTIES'\n");
    return 0;
  }
  int count;
  if (std::sscanf(line, "STARTPROPERTIES %d", &count) != 1) {
    bdfError("bad 'STARTPROPERTIES'\n");
    return 0;
  }
  // Room for every kept property and the at most 8 added ones (FONT_ASCENT
  // and FONT_DESCENT must be among the declared ones and are not kept).  A
  // count below 0 reads no lines, like 0.
  PropArrays arrays{&info, 0, (count > 0 ? int64_t{count} : 0) + 6};
  if (!arrayFits(arrays.limit, 1)) {
    bdfError("Couldn't allocate stringProps (%lld*%d)\n", static_cast<long long>(arrays.limit), 4);
    return 0;
  }
  if (!arrayFits(arrays.limit, sizeof(FontProp))) {
    bdfError("Couldn't allocate props (%lld*%d)\n", static_cast<long long>(arrays.limit), 8);
    return 0;
  }
  if (!arrays.ensure(0)) return 0;

  int slot = 0;
  char words[3][BdfLineBuffer];
  for (int i = 0; i < count; i++) {
    if (!bdfGetLine(file, line, sizeof line) || bdfBegins(line, "ENDPROPERTIES")) {
      bdfError("\"STARTPROPERTIES %d\" followed by only %d properties\n", count, i);
      return 0;
    }
    if (!arrays.ensure(slot)) return 0;
    const char *text = line;
    while (bdfIsSpace(static_cast<unsigned char>(*text))) ++text;
    int n = splitWords(text, words, 3);
    if (n < 2) {
      bdfError("missing '%s' parameter value\n", n ? words[0] : "");
      return 0;
    }
    FontProp &prop = info.props[slot];
    char isString;
    if (words[1][0] == '"') {
      isString = 1;
      Atom value = bdfGetPropertyValue(text + std::strlen(words[0]) + 1);
      if (!value) return 0;
      prop.value = static_cast<int32_t>(value);
    } else if (n == 2 && bdfIsInteger(words[1])) {
      isString = 0;
      prop.value = static_cast<int32_t>(std::strtol(words[1], nullptr, 10));
    } else {
      bdfError("invalid '%s' parameter value\n", words[0]);
      return 0;
    }
    prop.name = bdfForceMakeAtom(words[0]);
    if (!prop.name) {
      bdfError("Empty property name.\n");
      return 0;
    }
    info.isStringProp[slot] = isString;
    if (!bdfSpecialProperty(font, &prop, isString, state)) ++slot;
  }
  if (!bdfGetLine(file, line, sizeof line) || !bdfBegins(line, "ENDPROPERTIES")) {
    bdfError("missing 'ENDPROPERTIES'\n");
    return 0;
  }
  if (!state->sawFontAscent || !state->sawFontDescent) {
    bdfError("missing 'FONT_ASCENT' or 'FONT_DESCENT' properties\n");
    return 0;
  }
  if (auto *bf = static_cast<BitmapFont *>(font->fontPrivate); bf && bf->extra) {
    bf->extra->info.fontAscent = info.fontAscent;
    bf->extra->info.fontDescent = info.fontDescent;
  }

  auto add = [&](int &ref, const char *name, char isString, int32_t value) {
    if (ref >= 0) return true;
    if (!arrays.ensure(slot)) return false;
    info.props[slot].name = bdfForceMakeAtom(name);
    info.props[slot].value = value;
    info.isStringProp[slot] = isString;
    ref = slot++;
    return true;
  };
  bool ok = add(state->pointSizeProp, "POINT_SIZE", 0,
                truncToInt32(static_cast<double>(state->pointSize) * 10.0)) &&
            add(state->fontNameProp, "FONT", 1,
                static_cast<int32_t>(bdfForceMakeAtom(state->headerFontName))) &&
            add(state->weightProp, "WEIGHT", 0, -1);
  if (ok && state->xResolution == state->yResolution)
    ok = add(state->resolutionProp, "RESOLUTION", 0,
             truncToInt32(state->xResolution * 100.0 / 72.27));
  ok = ok && add(state->xResolutionProp, "RESOLUTION_X", 0, state->xResolution) &&
       add(state->yResolutionProp, "RESOLUTION_Y", 0, state->yResolution) &&
       add(state->xHeightProp, "X_HEIGHT", 0, -1) &&
       add(state->quadWidthProp, "QUAD_WIDTH", 0, -1);
  if (!ok) return 0;
  info.propCount = slot;
  return 1;
}

}  // namespace

int bdfReadProperties(BufFile *file, FontRec *font, BdfFileState *state) {
  font->info.props = nullptr;
  font->info.isStringProp = nullptr;
  font->info.propCount = 0;
  if (readPropertyLines(file, font, state)) return 1;
  FontInfoFreeProps(&font->info);
  return 0;
}

int bdfReadBitmap(CharInfo *ci, BufFile *file, int bit, int byte, int glyph, int scan,
                  int32_t *sizes, BdfFileState *state) {
  // The box is the one the 16-bit metrics hold.  Offsets that wrapped round
  // leave its size alone; when only one edge of a box wrapped, its width or
  // height is the BBX line's give or take a multiple of 65536, and may be 0
  // or negative: the glyph then takes the lines and gets the byte counts
  // that such a size gives, whatever the BBX line said.
  const int w = int{ci->metrics.rightBearing} - ci->metrics.leftBearing;
  const int h = int{ci->metrics.ascent} + ci->metrics.descent;
  const int64_t bytesPerRow = BitmapBytesPerRow(w, glyph);
  const int64_t size = h * bytesPerRow;
  // Only a box of positive width and height has bytes to store; the other
  // sizes store none, so their count can agree with h x bytesPerRow only
  // when that is 0.
  const bool stores = h > 0 && bytesPerRow > 0;
  // Refused where memory is at stake: a bitmap past the allocation ceiling
  // or the font's budget.  Its rows are still read and checked as if kept,
  // only not stored, so that the glyph's lines are consumed (the next glyph
  // is found where it lies) and its messages are the same.
  const bool refused = stores && (size > static_cast<int64_t>(kFontAllocLimit) ||
                                  (state && !bitmapBudgetAllows(state->bitmapBytes, size)));
  FontPtr<unsigned char> bits;
  if (stores && !refused) {
    bits.reset(static_cast<unsigned char *>(FontAlloc(static_cast<size_t>(size))));
    if (!bits) return 0;  // out of memory: the glyph's lines are left unread
  }
  if (sizes && !refused) {
    static const int pads[4] = {1, 2, 4, 8};
    for (int i = 0; i < 4; i++) sizes[i] = addSaturated(sizes[i], h * BitmapBytesPerRow(w, pads[i]));
  }

  // The digits of a row give (w + 7) / 8 bytes; none for a negative width.
  const int digitsBytes = w > 0 ? (w + 7) / 8 : 0;
  const unsigned char lastMask = (w & 7) ? static_cast<unsigned char>(0xFF << (8 - (w & 7))) : 0xFF;
  char line[BdfLineBuffer];
  char *last = nullptr;
  bool eof = false;
  int64_t stored = 0;
  unsigned char *out = bits.get();
  for (int row = 0; row < h; row++) {
    int length;
    last = bdfGetLineLength(file, line, sizeof line, &length);
    if (!last) {
      eof = true;
      break;
    }
    if (w == 0) {
      if (bdfBegins(line, "ENDCHAR")) break;
      continue;
    }
    // The text ends at a NUL byte from the file; rows are short, so a plain
    // loop beats a library call.
    for (int k = 0; k < length; k++)
      if (!line[k]) {
        length = k;
        break;
      }
    if (length & 1) {
      bdfError("odd number of characters in hex encoding\n");
      // An odd row reads as if a digit 0 followed it; the line holds at
      // most 1023 characters, so the digit fits where its NUL was.
      line[length++] = '0';
    }
    if (w < 0) continue;  // the row gives no bytes
    const int supplied = length / 2;
    const int take = supplied < digitsBytes ? supplied : digitsBytes;
    stored += bytesPerRow;
    if (refused) {
      // Only the messages about the digits that would be stored.
      for (int i = 0; i < take; i++) rowByte(line[2 * i], line[2 * i + 1]);
      continue;
    }
    for (int i = 0; i < take; i++) out[i] = rowByte(line[2 * i], line[2 * i + 1]);
    if (take == digitsBytes) out[take - 1] &= lastMask;
    if (take < bytesPerRow) std::memset(out + take, 0, static_cast<size_t>(bytesPerRow - take));
    out += bytesPerRow;
  }
  if (!eof && (!last || !bdfBegins(last, "ENDCHAR"))) last = bdfGetLine(file, line, sizeof line);
  if (!last || !bdfBegins(last, "ENDCHAR")) {
    bdfError("missing 'ENDCHAR'\n");
    return 0;
  }
  if (stored != size) {
    bdfError("bytes != rows * bytes_per_row (%lld != %d * %lld)\n", static_cast<long long>(stored),
             h, static_cast<long long>(bytesPerRow));
    return 0;
  }
  if (refused) return 0;
  if (bits) {
    if (bit == 0) BitOrderInvert(bits.get(), size);
    if (bit != byte) {
      if (scan == 2)
        TwoByteSwap(bits.get(), size);
      else if (scan == 4)
        FourByteSwap(bits.get(), size);
    }
    if (state) state->bitmapBytes += size;
  }
  ci->bits = bits.release();
  return 1;
}

int bdfSkipBitmap(BufFile *file, int height) {
  char line[BdfLineBuffer];
  char *last = nullptr;
  int64_t reads = 0;
  for (int64_t i = 0; i <= height; i++) {
    last = bdfGetLine(file, line, sizeof line);
    ++reads;
    if (!last || bdfBegins(last, "ENDCHAR")) break;
  }
  if (reads > 1 && last && !bdfBegins(last, "ENDCHAR")) {
    bdfError("Error in bitmap, missing 'ENDCHAR'\n");
    return 0;
  }
  return 1;
}

int bdfReadCharacters(BufFile *file, FontRec *font, BdfFileState *state, int bit, int byte,
                      int glyph, int scan) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  BitmapExtra *extra = bf->extra;
  if (extra)
    for (int32_t &s : extra->bitmapSizes) s = 0;
  RowTable rowTable;
  bf->metrics = nullptr;

  char line[BdfLineBuffer];
  int count;
  if (!bdfGetLine(file, line, sizeof line) || std::sscanf(line, "CHARS %d", &count) != 1) {
    bdfError("bad 'CHARS' in bdf file\n");
    return 0;
  }
  if (count < 1) {
    bdfError("invalid number of CHARS in BDF file\n");
    return 0;
  }
  if (!arrayFits(count, sizeof(CharInfo))) {
    bdfError("Couldn't allocate pCI (%d*%d)\n", count, 16);
    return 0;
  }
  GlyphArrays arrays{bf, 0, count};
  if (!arrays.ensure(0)) return 0;

  FontInfo &fi = font->info;
  char *ln = bdfGetLine(file, line, sizeof line);
  fi.firstCol = fi.firstRow = 256;
  fi.lastCol = fi.lastRow = 0;
  int nread = 0;
  int64_t nskipped = 0, nencoded = 0;
  char name[100];  // at most 99 characters of a glyph name are kept
  while (nread < count && ln && bdfBegins(ln, "STARTCHAR")) {
    if (!bdfScanWord(ln, "STARTCHAR", name, sizeof name)) {
      bdfError("bad character name in BDF file\n");
      return 0;
    }
    if (!arrays.ensure(nread)) return 0;
    if (extra) extra->glyphNames[nread] = bdfForceMakeAtom(name);

    int enc[2];
    int n = (ln = bdfGetLine(file, line, sizeof line))
                ? bdfScanInts(ln, "ENCODING", "ENCODING %d %d", enc, 2)
                : 0;
    if (n < 1) {
      bdfError("bad 'ENCODING' in BDF file\n");
      return 0;
    }
    if (enc[0] < -1 || (n == 2 && enc[0] == -1 && enc[1] < -1)) {
      bdfError("bad ENCODING value");
      return 0;
    }
    const int code = n == 2 && enc[0] == -1 ? enc[1] : enc[0];
    bool skip = false;
    if (code == -1) {
      skip = !extra;  // unencoded glyphs are kept only with their names
    } else if (code > 65535) {
      bdfError("char '%s' has encoding too large (%d)\n", name, code);
    } else {
      int row = code >> 8, col = code & 0xFF;
      if (row < fi.firstRow) fi.firstRow = static_cast<uint16_t>(row);
      if (row > fi.lastRow) fi.lastRow = static_cast<uint16_t>(row);
      if (col < fi.firstCol) fi.firstCol = static_cast<uint16_t>(col);
      if (col > fi.lastCol) fi.lastCol = static_cast<uint16_t>(col);
      if (!rowTable.rows[row]) {
        rowTable.rows[row] = static_cast<int32_t *>(FontAllocArray(256, sizeof(int32_t)));
        if (!rowTable.rows[row]) {
          bdfError("Couldn't allocate row %d of encoding (%d*%d)\n", row, 256, 4);
          return 0;
        }
        std::memset(rowTable.rows[row], 0, 256 * sizeof(int32_t));
      }
      rowTable.rows[row][col] = nread + 1;
      ++nencoded;
    }

    int sw[2], dw[2], bbx[4];
    if (!(ln = bdfGetLine(file, line, sizeof line)) ||
        bdfScanInts(ln, "SWIDTH", "SWIDTH %d %d", sw, 2) != 2) {
      bdfError("bad 'SWIDTH'\n");
      return 0;
    }
    if (sw[1] != 0) {
      bdfError("SWIDTH y value must be zero\n");
      return 0;
    }
    if (extra) extra->scalableWidths[nread] = sw[0];
    if (!(ln = bdfGetLine(file, line, sizeof line)) ||
        bdfScanInts(ln, "DWIDTH", "DWIDTH %d %d", dw, 2) != 2) {
      bdfError("bad 'DWIDTH'\n");
      return 0;
    }
    if (dw[1] != 0) {
      bdfError("DWIDTH y value must be zero\n");
      return 0;
    }
    if (!(ln = bdfGetLine(file, line, sizeof line)) ||
        bdfScanInts(ln, "BBX", "BBX %d %d %d %d", bbx, 4) != 4) {
      bdfError("bad 'BBX'\n");
      return 0;
    }
    const int bw = bbx[0], bh = bbx[1], bx = bbx[2], by = bbx[3];
    if (bw < 0 || bh < 0) {
      bdfError("character '%s' has a negative sized bitmap, %dx%d\n", name, bw, bh);
      return 0;
    }
    uint16_t attributes = 0;
    ln = bdfGetLine(file, line, sizeof line);
    if (ln && bdfBegins(ln, "ATTRIBUTES")) {
      attributes = parseAttributes(ln);
      ln = bdfGetLine(file, line, sizeof line);
    }
    if (!ln || !bdfBegins(ln, "BITMAP")) {
      bdfError("missing 'BITMAP'\n");
      return 0;
    }
    if (name[0] && !name[1]) {
      if (name[0] >= '0' && name[0] <= '9') {
        state->digitCount++;
        state->digitWidthSum += dw[0];
      } else if (name[0] == 'x') {
        int64_t top = int64_t{bh} + by;
        state->xGlyphHeight = static_cast<int32_t>(top > 0 ? top : bh);
      }
    }

    if (skip) {
      bdfSkipBitmap(file, bh);
      ++nskipped;
    } else {
      const int64_t lb = bx, rb = int64_t{bx} + bw, ascent = int64_t{bh} + by, descent = -int64_t{by};
      CharInfo *ci = &bf->metrics[nread];
      ci->metrics.leftBearing = static_cast<int16_t>(lb);
      ci->metrics.rightBearing = static_cast<int16_t>(rb);
      ci->metrics.width = static_cast<int16_t>(dw[0]);
      ci->metrics.ascent = static_cast<int16_t>(ascent);
      ci->metrics.descent = static_cast<int16_t>(descent);
      ci->metrics.attributes = attributes;
      ci->bits = nullptr;
      bf->charCount = ++nread;
      // The metrics keep the low 16 bits of each value; the bitmap is read
      // for the box that they describe, so metrics and bitmap agree.
      bdfReadBitmap(ci, file, bit, byte, glyph, scan, extra ? extra->bitmapSizes : nullptr, state);
    }
    ln = bdfGetLine(file, line, sizeof line);
  }

  if (nread + nskipped != count) {
    bdfError("%lld too few characters\n", static_cast<long long>(count - nread - nskipped));
    return 0;
  }
  if (ln && bdfBegins(ln, "STARTCHAR")) {
    bdfError("more characters than specified\n");
    return 0;
  }
  if (!ln || !bdfBegins(ln, "ENDFONT")) {
    bdfError("missing 'ENDFONT'\n");
    return 0;
  }
  if (nencoded == 0) bdfWarning("No characters with valid encodings\n");

  // With no encoded glyph the bounds are still 256 and 0: (-255) x (-255).
  const int32_t rows = int32_t{fi.lastRow} - fi.firstRow + 1;
  const int32_t cols = int32_t{fi.lastCol} - fi.firstCol + 1;
  const int32_t entries = rows * cols;
  bf->encoding = FontAllocN<CharInfo *>(static_cast<size_t>(entries));
  if (!bf->encoding) {
    bdfError("Couldn't allocate ppCI (%d,%d)\n", entries, 4);
    return 0;
  }
  std::memset(bf->encoding, 0, static_cast<size_t>(entries) * sizeof(CharInfo *));
  fi.allExist = 1;
  CharInfo **entry = bf->encoding;
  for (int row = fi.firstRow; row <= fi.lastRow; row++) {
    const int32_t *refs = rowTable.rows[row];
    for (int col = fi.firstCol; col <= fi.lastCol; col++, entry++) {
      if (refs && refs[col]) {
        *entry = &bf->metrics[refs[col] - 1];
      } else {
        fi.allExist = 0;
      }
    }
  }
  return 1;
}

int bdfPadToTerminal(FontRec *font) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  const FontInfo &fi = font->info;
  const int width = fi.minBounds.width;
  const int height = int{fi.fontAscent} + fi.fontDescent;
  if (width < 0 || height < 0) return 0;  // no cell a bitmap could fill
  const int64_t bytesPerRow = BitmapBytesPerRow(width, font->glyphPad);
  const int64_t size = bytesPerRow * height;

  int64_t held = 0;
  auto sizeOf = [&](const CharInfo &g) {
    if (!g.bits) return int64_t{0};
    int w = int{g.metrics.rightBearing} - g.metrics.leftBearing;
    return BitmapBytesPerRow(w, font->glyphPad) * (int{g.metrics.ascent} + g.metrics.descent);
  };
  for (int i = 0; i < bf->charCount; i++) held += sizeOf(bf->metrics[i]);

  for (int i = 0; i < bf->charCount; i++) {
    CharInfo &old = bf->metrics[i];
    // A cell of no bytes needs no bitmap: the widened glyph has none, as any
    // glyph whose bitmap is empty.
    unsigned char *bits = nullptr;
    if (size > 0) {
      if (!bitmapBudgetAllows(held, size)) return 0;
      bits = static_cast<unsigned char *>(FontAlloc(static_cast<size_t>(size)));
      if (!bits) return 0;
    }
    CharInfo cell;
    cell.metrics = {0, static_cast<int16_t>(width), static_cast<int16_t>(width), fi.fontAscent,
                    fi.fontDescent, old.metrics.attributes};
    cell.bits = bits;
    FontCharReshape(font, &old, &cell);
    held += (bits ? size : 0) - sizeOf(old);
    FontFree(old.bits);
    old = cell;
  }
  if (bf->extra) {
    static const int pads[4] = {1, 2, 4, 8};
    for (int i = 0; i < 4; i++)
      bf->extra->bitmapSizes[i] =
          addSaturated(0, BitmapBytesPerRow(width, pads[i]) * height * int64_t{bf->charCount});
  }
  return 1;
}

void bdfFreeFontBits(FontRec *font) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  if (!bf) return;
  FontFree(bf->inkMetricsArray);
  FontFree(bf->encoding);
  for (int i = 0; i < bf->charCount; i++) FontFree(bf->metrics[i].bits);
  FontFree(bf->metrics);
  if (BitmapExtra *extra = bf->extra) {
    FontFree(extra->glyphNames);
    FontFree(extra->scalableWidths);
    FontFree(extra);
  }
  FontInfoFreeProps(&font->info);
  FontFree(bf);
  font->fontPrivate = nullptr;
}

void bdfUnloadFont(FontRec *font) {
  if (!font) return;
  bdfFreeFontBits(font);
  FontFree(font);
}

namespace {

bool validParameters(int bit, int byte, int glyph, int scan) {
  return (bit == 0 || bit == 1) && (byte == 0 || byte == 1) &&
         (glyph == 1 || glyph == 2 || glyph == 4 || glyph == 8) &&
         (scan == 1 || scan == 2 || scan == 4) && scan <= glyph;
}

// Placeholders (-1) of the properties that only the glyphs can give.
void replacePlaceholders(FontRec *font, const BdfFileState &state) {
  FontInfo &fi = font->info;
  auto placeholder = [&](int ref) {
    return ref >= 0 && !fi.isStringProp[ref] && fi.props[ref].value == -1;
  };
  if (placeholder(state.xHeightProp))
    fi.props[state.xHeightProp].value =
        state.xGlyphHeight != 0 ? state.xGlyphHeight : fi.inkMinBounds.ascent;
  if (placeholder(state.quadWidthProp))
    fi.props[state.quadWidthProp].value =
        state.digitCount != 0
            ? static_cast<int32_t>(state.digitWidthSum / state.digitCount)
            : (int{fi.inkMaxBounds.width} + fi.inkMinBounds.width) / 2;
  if (placeholder(state.weightProp)) fi.props[state.weightProp].value = bitmapComputeWeight(font);
}

}  // namespace

int bdfReadFont(FontRec *font, BufFile *file, int bit, int byte, int glyph, int scan) {
  font->fontPrivate = nullptr;
  font->info.props = nullptr;
  font->info.isStringProp = nullptr;
  font->info.propCount = 0;
  if (!validParameters(bit, byte, glyph, scan)) return AllocFailure;
  BdfFileState fileState;
  BdfFileState *state = &fileState;
  bdfFileLineNum = 0;
  bdfFileByteCount = 0;

  if (!bdfReadHeader(file, state)) return AllocFailure;
  auto *bf = FontAllocN<BitmapFont>(1);
  if (!bf) return AllocFailure;
  std::memset(bf, 0, sizeof *bf);
  font->fontPrivate = bf;
  if (auto *extra = FontAllocN<BitmapExtra>(1)) {
    std::memset(extra, 0, sizeof *extra);
    bf->extra = extra;
  }

  if (!bdfReadProperties(file, font, state) ||
      !bdfReadCharacters(file, font, state, bit, byte, glyph, scan)) {
    bdfFreeFontBits(font);
    return AllocFailure;
  }

  FontInfo &fi = font->info;
  if (state->sawDefaultChar) {
    int row = fi.defaultChar >> 8, col = fi.defaultChar & 0xFF;
    if (row >= fi.firstRow && row <= fi.lastRow && col >= fi.firstCol && col <= fi.lastCol)
      bf->defaultGlyph =
          bf->encoding[(row - fi.firstRow) * (fi.lastCol - fi.firstCol + 1) + (col - fi.firstCol)];
  }
  font->bitOrder = static_cast<uint8_t>(bit);
  font->byteOrder = static_cast<uint8_t>(byte);
  font->glyphPad = static_cast<uint8_t>(glyph);
  font->scanUnit = static_cast<uint8_t>(scan);
  fi.anamorphic = 0;
  fi.cachable = 1;

  bitmapComputeFontBounds(font);
  if (FontCouldBeTerminal(&fi)) {
    bdfPadToTerminal(font);
    bitmapComputeFontBounds(font);
  }
  FontComputeInfoAccelerators(&fi);
  if (bf->extra) FontComputeInfoAccelerators(&bf->extra->info);
  if (fi.constantMetrics) bitmapAddInkMetrics(font);
  if (bf->extra) bf->extra->info.inkMetrics = fi.inkMetrics;
  bitmapComputeFontInkBounds(font);
  replacePlaceholders(font, *state);

  font->getGlyphs = bitmapGetGlyphs;
  font->getMetrics = bitmapGetMetrics;
  font->unloadFont = bdfUnloadFont;
  font->unloadGlyphs = nullptr;
  return Successful;
}

int bdfReadFontInfo(FontInfo *info, BufFile *file) {
  FontRec font;
  std::memset(&font, 0, sizeof font);
  int status = bdfReadFont(&font, file, 1, 0, 1, 1);
  if (status != Successful) return status;
  *info = font.info;
  font.info.props = nullptr;
  font.info.isStringProp = nullptr;
  font.info.propCount = 0;
  bdfFreeFontBits(&font);
  return Successful;
}
