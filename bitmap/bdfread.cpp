// BDF (Glyph Bitmap Distribution Format 2.1) fonts: a header, a property
// section and a character section, one keyword line after another.  Each
// keyword has a handler that reads its line through bdfNextLine and takes it
// apart with BdfTokens; all state of a read is in its BdfFileState.  The
// whole font is read into a FontRec; the information reader keeps only its
// FontInfo.
#include "bitmap/bdfread.h"

#include <climits>
#include <cstring>

#include "bitmap/bdfutils.h"
#include "bitmap/bitmap.h"
#include "bitmap/bitmapfont.h"
#include "bitmap/bitmaputil.h"
#include "bitmap/fontink.h"
#include "util/fontaccel.h"
#include "util/growarray.h"
#include "util/miscutil.h"
#include "util/utilbitmap.h"

namespace {

// Reads the next line; true when it begins with `keyword`, with *tokens
// then after the keyword.
template <size_t N>
bool keywordLine(BdfFileState &s, const char (&keyword)[N], BdfTokens *tokens) {
  if (!bdfNextLine(s)) return false;
  *tokens = BdfTokens(s.line);
  return tokens->keyword(keyword);
}
template <size_t N>
bool nextLineBegins(BdfFileState &s, const char (&keyword)[N]) {
  return bdfNextLine(s) && s.line.startsWith(keyword);
}

// Arrays filled one entry per line of the file.  Counts declared by a file
// are believed only as far as the lines behind them: the arrays start small
// and double as entries arrive, never beyond the declared count.  A count
// whose arrays could never be allocated is refused at once, with the message
// their allocation would give.
template <class T>
struct GrowingArray {
  T *&data;
  const char *failure;  // shows the declared count and `shown`
  int shown;
};

struct Room {
  int64_t limit;
  int64_t room = 0;

  // A count past the allocation ceiling fails as memory that cannot be had.
  template <class T>
  bool fits(BdfFileState &s, const GrowingArray<T> &a) const {
    return static_cast<uint64_t>(limit) <= kFontAllocLimit / sizeof(T) ||
           bdfFailForMemory(s, a.failure, static_cast<long long>(limit), a.shown);
  }
  // Every array of the room grows alike, by the library's growth policy.
  template <class T>
  bool grow(BdfFileState &s, GrowingArray<T> a, int64_t index, size_t *grown) const {
    size_t arrayRoom = static_cast<size_t>(room);
    void *block = a.data;
    bool ok = GrowRoom(&block, &arrayRoom, static_cast<size_t>(index) + 1, sizeof(T), kFirstRoom,
                       static_cast<size_t>(limit));
    a.data = static_cast<T *>(block);
    *grown = arrayRoom;
    return ok || bdfFailForMemory(s, a.failure, static_cast<long long>(limit), a.shown);
  }
  template <class... T>
  bool reserve(BdfFileState &s, int64_t index, GrowingArray<T>... arrays) {
    if (index < room) return true;
    if (room == 0 && !(fits(s, arrays) && ...)) return false;
    size_t grown = 0;
    if (!(grow(s, arrays, index, &grown) && ...)) return false;
    room = static_cast<int64_t>(grown);
    return true;
  }
  static constexpr size_t kFirstRoom = 64;
};

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
bool bitmapBudgetAllows(const BdfFileState &s, int64_t held, int64_t request) {
  int64_t allowance =
      static_cast<int64_t>(kFontAllocLimit) + 8 * static_cast<int64_t>(s.in.position);
  return request <= allowance - held;
}

// ---- Header: STARTFONT, FONT, SIZE, FONTBOUNDINGBOX.

bool readHeader(BdfFileState &s) {
  BdfTokens t;
  const bool started = keywordLine(s, "STARTFONT", &t);
  const BdfText version = started ? t.word() : BdfText{};
  if (version.size() != 3 || std::memcmp(version.begin, "2.1", 3) != 0)
    return bdfFail(s, "bad 'STARTFONT'\n");
  const bool named = keywordLine(s, "FONT", &t);
  if (named) t.skipSpace();
  if (!named || t.p == t.end) return bdfFail(s, "bad 'FONT'\n");
  std::memcpy(s.headerFontName, t.p, static_cast<size_t>(t.end - t.p));  // a line fits
  if (!keywordLine(s, "SIZE", &t)) return bdfFail(s, "missing 'SIZE'\n");
  if (!t.real(&s.pointSize) || !t.integer(&s.xResolution) || !t.integer(&s.yResolution))
    return bdfFail(s, "bad 'SIZE'\n");
  // Written so that a point size that is not a number fails too.
  if (!(s.pointSize >= 1.0f) || s.xResolution < 1 || s.yResolution < 1)
    return bdfFail(s, "SIZE values must be > 0\n");
  if (!nextLineBegins(s, "FONTBOUNDINGBOX")) return bdfFail(s, "missing 'FONTBOUNDINGBOX'\n");
  return true;
}

// ---- Properties: STARTPROPERTIES, the property lines, ENDPROPERTIES.

// One property line into slot `slot`: a name and an integer, or a name and a
// quoted string (which may hold blanks).
bool readProperty(BdfFileState &s, FontInfo &info, int slot) {
  BdfTokens t(s.line);
  const BdfText name = t.word(), value = t.word(), third = t.word();
  if (value.size() == 0)
    return bdfFail(s, "missing '%.*s' parameter value\n", static_cast<int>(name.size()),
                   name.begin);
  FontProp &prop = info.props[slot];
  const bool isString = *value.begin == '"';
  if (isString) {
    // The value starts one character after the name.
    Atom atom = bdfGetPropertyValue(s, {name.end + 1, s.line.end});
    if (!atom) return false;
    prop.value = static_cast<int32_t>(atom);
  } else if (third.size() != 0 || !bdfIntegerValue(value, &prop.value))
    return bdfFail(s, "invalid '%.*s' parameter value\n", static_cast<int>(name.size()),
                   name.begin);
  prop.name = bdfForceMakeAtom(name);
  // The name is never empty (a value follows it): only memory can fail.
  if (!prop.name) return bdfFailForMemory(s, "Empty property name.\n");
  info.isStringProp[slot] = isString;
  return true;
}

// The properties that later steps need and the file may lack, each into the
// next slot (`reserve` makes room).  WEIGHT, X_HEIGHT and QUAD_WIDTH are
// placeholders (-1) until the glyphs are known.
template <class Reserve>
bool addMissingProperties(BdfFileState &s, FontInfo &info, int &slot, Reserve reserve) {
  auto add = [&](int &ref, const char *name, bool isString, int32_t value) {
    if (ref >= 0) return true;
    if (!reserve(slot)) return false;
    info.props[slot] = {MakeAtom(name, static_cast<unsigned>(std::strlen(name)), 1), value};
    info.isStringProp[slot] = isString;
    ref = slot++;
    return true;
  };
  // Each value is computed (its atom made) only when the one before was added.
  if (!add(s.pointSizeProp, "POINT_SIZE", false,
           truncToInt32(static_cast<double>(s.pointSize) * 10.0)) ||
      !add(s.fontNameProp, "FONT", true,
           static_cast<int32_t>(
               bdfForceMakeAtom({s.headerFontName, std::strchr(s.headerFontName, 0)}))) ||
      !add(s.weightProp, "WEIGHT", false, -1))
    return false;
  // RESOLUTION is in hundredths of pixels per point, of the printer's point
  // of 1/72.27 inch: a resolution in pixels per inch times 100 / 72.27.
  if (s.xResolution == s.yResolution &&
      !add(s.resolutionProp, "RESOLUTION", false, truncToInt32(s.xResolution * 100.0 / 72.27)))
    return false;
  return add(s.xResolutionProp, "RESOLUTION_X", false, s.xResolution) &&
         add(s.yResolutionProp, "RESOLUTION_Y", false, s.yResolution) &&
         add(s.xHeightProp, "X_HEIGHT", false, -1) && add(s.quadWidthProp, "QUAD_WIDTH", false, -1);
}

bool readPropertyLines(BdfFileState &s, FontRec *font) {
  FontInfo &info = font->info;
  BdfTokens t;
  if (!keywordLine(s, "STARTPROPERTIES", &t)) return bdfFail(s, "missing 'STARTPROPERTIES'\n");
  int32_t count;
  if (!t.integer(&count)) return bdfFail(s, "bad 'STARTPROPERTIES'\n");
  // Room for every kept property and the at most 8 added ones (FONT_ASCENT
  // and FONT_DESCENT must be among the declared ones and are not kept).  A
  // count below 0 reads no lines, like 0.
  Room room{(count > 0 ? int64_t{count} : 0) + 6};
  auto reserve = [&](int64_t slot) {
    return room.reserve(
        s, slot,
        GrowingArray<char>{info.isStringProp, "Couldn't allocate stringProps (%lld*%d)\n", 4},
        GrowingArray<FontProp>{info.props, "Couldn't allocate props (%lld*%d)\n", 8});
  };
  if (!reserve(0)) return false;
  int slot = 0;
  for (int i = 0; i < count; i++) {
    if (!bdfNextLine(s) || s.line.startsWith("ENDPROPERTIES"))
      return bdfFail(s, "\"STARTPROPERTIES %d\" followed by only %d properties\n", count, i);
    if (!reserve(slot) || !readProperty(s, info, slot)) return false;
    if (!bdfSpecialProperty(s, &info, slot)) ++slot;
  }
  if (!nextLineBegins(s, "ENDPROPERTIES")) return bdfFail(s, "missing 'ENDPROPERTIES'\n");
  if (!s.sawFontAscent || !s.sawFontDescent)
    return bdfFail(s, "missing 'FONT_ASCENT' or 'FONT_DESCENT' properties\n");
  if (auto *bf = static_cast<BitmapFont *>(font->fontPrivate); bf && bf->extra) {
    bf->extra->info.fontAscent = info.fontAscent;
    bf->extra->info.fontDescent = info.fontDescent;
  }
  if (!addMissingProperties(s, info, slot, reserve)) return false;
  info.propCount = slot;
  return true;
}

// The property arrays belong to the font's information; none on failure.
bool readProperties(BdfFileState &s, FontRec *font) {
  font->info.props = nullptr;
  font->info.isStringProp = nullptr;
  font->info.propCount = 0;
  if (readPropertyLines(s, font)) return true;
  FontInfoFreeProps(&font->info);
  return false;
}

// ---- Glyph bitmaps.

// Row `r` of `g`: the digits of the row's pixels (an odd count reads as if
// a 0 followed).  Without bits (a bitmap that is not kept) they are only
// checked; with them, bits past the width are cleared and missing digits
// and the padding give zero bytes.
void storeRow(const BdfFileState &s, const GlyphBitmap &g, int r) {
  const char *digits = s.line.begin;
  const int length = static_cast<int>(s.line.size());
  const int bytes = (g.width + 7) / 8;
  const int supplied = (length + 1) / 2;
  const int take = supplied < bytes ? supplied : bytes;
  unsigned char *out = g.bits ? g.row(r) : nullptr;
  for (int i = 0; i < take; i++) {
    const unsigned char byte =
        bdfHexByte(s, digits[2 * i], 2 * i + 1 < length ? digits[2 * i + 1] : '0');
    if (out) out[i] = byte;
  }
  if (!out) return;
  if (take == bytes && (g.width & 7))
    out[take - 1] &= static_cast<unsigned char>(0xFF << (8 - (g.width & 7)));
  if (take < g.stride) std::memset(out + take, 0, static_cast<size_t>(g.stride - take));
}

// The rows of `g` and the glyph's ENDCHAR line: true when that was found.  A
// glyph without pixels passes its row lines over, and its ENDCHAR may come
// early; a negative width takes its rows but gives no bytes.  A missing
// ENDCHAR takes what follows as rows.
bool readRows(BdfFileState &s, const GlyphBitmap &g) {
  bool have = false;
  for (int r = 0; r < g.rows; r++) {
    if (!bdfNextLine(s)) return false;
    have = true;
    if (g.width == 0) {
      if (s.line.startsWith("ENDCHAR")) break;
      continue;
    }
    if (s.line.size() & 1) bdfError(s, "odd number of characters in hex encoding\n");
    if (g.width > 0) storeRow(s, g, r);
  }
  if (!have || !s.line.startsWith("ENDCHAR")) have = bdfNextLine(s);
  return have && s.line.startsWith("ENDCHAR");
}

// Reads the bitmap of glyph `ci`, whose metrics are set, laid out as the
// read asks; `sizes` (none or the extra's bitmapSizes) totals the bytes at
// each padding.  The box is the one the 16-bit metrics hold: offsets that
// wrapped round leave its size alone, an edge that wrapped alone makes the
// width or height 65536 off, perhaps 0 or negative, and the glyph then takes
// the lines and byte counts that such a box gives.
bool bdfReadBitmap(BdfFileState &s, CharInfo *ci, int32_t *sizes) {
  GlyphBitmap g = GlyphBitmapOf(ci->metrics, s.layout.pad, nullptr);
  const int64_t due = g.rows * g.stride;
  // Only a box with pixels and rows stores bytes.  Refused where memory is
  // at stake, past the allocation ceiling or the font's budget: its rows are
  // still read and checked, only not stored, so that the next glyph is found
  // where it lies and the messages are the same.
  const bool stores = !g.empty();
  const bool refused = stores && (due > static_cast<int64_t>(kFontAllocLimit) ||
                                  !bitmapBudgetAllows(s, s.bitmapBytes, due));
  FontPtr<unsigned char> bits;
  if (stores && !refused) {
    bits.reset(static_cast<unsigned char *>(FontAlloc(static_cast<size_t>(due))));
    // Out of memory: the glyph's lines are left unread, so the read fails at
    // the next line, for lack of memory rather than for the data.
    if (!bits) return bdfOutOfMemory(s);
  }
  g.bits = bits.get();
  if (sizes && !refused) {
    static const int pads[4] = {1, 2, 4, 8};
    for (int i = 0; i < 4; i++)
      sizes[i] = addSaturated(sizes[i], g.rows * BitmapBytesPerRow(g.width, pads[i]));
  }
  if (!readRows(s, g)) return bdfFail(s, "missing 'ENDCHAR'\n");
  const int64_t stored = stores ? due : 0;
  if (stored != due)
    return bdfFail(s, "bytes != rows * bytes_per_row (%lld != %d * %lld)\n",
                   static_cast<long long>(stored), g.rows, static_cast<long long>(g.stride));
  if (!bits) return !refused;
  const BdfLayout &l = s.layout;
  if (l.bit == 0) BitOrderInvert(bits.get(), due);
  if (l.bit != l.byte && l.scan == 2) TwoByteSwap(bits.get(), due);
  if (l.bit != l.byte && l.scan == 4) FourByteSwap(bits.get(), due);
  s.bitmapBytes += due;
  ci->bits = bits.release();
  return true;
}

// Passes over the rows and ENDCHAR line of a glyph that is not kept.
bool bdfSkipBitmap(BdfFileState &s, int height) {
  bool have = false;
  int64_t reads = 0;
  for (int64_t i = 0; i <= height; i++) {
    have = bdfNextLine(s);
    ++reads;
    if (!have || s.line.startsWith("ENDCHAR")) break;
  }
  if (reads > 1 && have && !s.line.startsWith("ENDCHAR"))
    return bdfFail(s, "Error in bitmap, missing 'ENDCHAR'\n");
  return true;
}

// ---- Characters: CHARS, one STARTCHAR ... ENDCHAR block per glyph, ENDFONT.

// What the keyword lines of one glyph block give.
struct GlyphLines {
  char name[100];  // at most 99 characters of the name are kept
  int32_t code, scalableWidth, advance;
  int32_t width, height, x, y;  // BBX
  uint16_t attributes;
};

// The section's glyph arrays, its codes and counters.  Rows of 256 glyph
// references by code are created on first use; a reference is the glyph's
// index + 1 (0: none), as the glyph array still moves as it grows.
struct CharSection {
  BitmapFont *bf;
  Room room;
  int32_t *rows[256] = {};
  int count = 0, read = 0;
  int64_t skipped = 0, encoded = 0;

  explicit CharSection(BitmapFont *font) : bf(font), room{0} {}
  ~CharSection() {
    for (int32_t *row : rows) FontFree(row);
  }
  bool reserve(BdfFileState &s) {
    GrowingArray<CharInfo> metrics{bf->metrics, "Couldn't allocate pCI (%lld*%d)\n", 16};
    if (!bf->extra) return room.reserve(s, read, metrics);
    return room.reserve(
        s, read, metrics,
        GrowingArray<Atom>{bf->extra->glyphNames, "Couldn't allocate glyphNames (%lld*%d)\n", 4},
        GrowingArray<int32_t>{bf->extra->scalableWidths, "Couldn't allocate sWidth (%lld *%d)\n",
                              4});
  }
};

bool readStartChar(BdfFileState &s, GlyphLines &g) {
  BdfTokens t(s.line);
  t.keyword("STARTCHAR");
  BdfText name = t.word();
  if (name.size() == 0) return bdfFail(s, "bad character name in BDF file\n");
  const size_t n = name.size() < sizeof g.name ? name.size() : sizeof g.name - 1;
  std::memcpy(g.name, name.begin, n);
  g.name[n] = '\0';
  return true;
}

// ENCODING: a code, or -1 and an optional code in its place.
bool readEncoding(BdfFileState &s, GlyphLines &g) {
  BdfTokens t;
  int32_t enc[2];
  const int n = keywordLine(s, "ENCODING", &t) ? t.integers(enc, 2) : 0;
  if (n < 1) return bdfFail(s, "bad 'ENCODING' in BDF file\n");
  if (enc[0] < -1 || (n == 2 && enc[0] == -1 && enc[1] < -1))
    return bdfFail(s, "bad ENCODING value");
  g.code = n == 2 && enc[0] == -1 ? enc[1] : enc[0];
  return true;
}

// SWIDTH and DWIDTH: an x value and a y value that must be 0.
template <size_t N>
bool readWidth(BdfFileState &s, const char (&keyword)[N], int32_t *x, const char *bad,
               const char *notZero) {
  BdfTokens t;
  int32_t v[2];
  if (!keywordLine(s, keyword, &t) || t.integers(v, 2) != 2) return bdfFail(s, "%s", bad);
  if (v[1] != 0) return bdfFail(s, "%s", notZero);
  *x = v[0];
  return true;
}

bool readBox(BdfFileState &s, GlyphLines &g) {
  BdfTokens t;
  int32_t v[4];
  if (!keywordLine(s, "BBX", &t) || t.integers(v, 4) != 4) return bdfFail(s, "bad 'BBX'\n");
  g.width = v[0], g.height = v[1], g.x = v[2], g.y = v[3];
  if (g.width < 0 || g.height < 0)
    return bdfFail(s, "character '%s' has a negative sized bitmap, %dx%d\n", g.name, g.width,
                   g.height);
  return true;
}

// The optional ATTRIBUTES line (four hexadecimal digits after the keyword
// and one separator; missing ones count as 0), then BITMAP.
bool readAttributesAndBitmap(BdfFileState &s, GlyphLines &g) {
  g.attributes = 0;
  bool have = bdfNextLine(s);
  if (have && s.line.startsWith("ATTRIBUTES")) {
    const char *p = s.line.begin + 10, *end = s.line.end;
    if (p < end) ++p;
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    char d[4];
    for (char &c : d) c = p < end ? *p++ : '0';
    const unsigned high = bdfHexByte(s, d[0], d[1]);
    g.attributes = static_cast<uint16_t>(high << 8 | bdfHexByte(s, d[2], d[3]));
    have = bdfNextLine(s);
  }
  if (!have || !s.line.startsWith("BITMAP")) return bdfFail(s, "missing 'BITMAP'\n");
  return true;
}

// Enters the glyph about to be filled under its code; `skip` is set for an
// unencoded glyph that is not kept (only with glyph names are they kept).
bool placeGlyph(BdfFileState &s, FontInfo &fi, CharSection &cs, const GlyphLines &g, bool *skip) {
  *skip = false;
  if (g.code == -1) {
    *skip = !cs.bf->extra;
    return true;
  }
  if (g.code > 65535) {
    bdfError(s, "char '%s' has encoding too large (%d)\n", g.name, g.code);
    return true;
  }
  const int row = g.code >> 8, col = g.code & 0xFF;
  if (row < fi.firstRow) fi.firstRow = static_cast<uint16_t>(row);
  if (row > fi.lastRow) fi.lastRow = static_cast<uint16_t>(row);
  if (col < fi.firstCol) fi.firstCol = static_cast<uint16_t>(col);
  if (col > fi.lastCol) fi.lastCol = static_cast<uint16_t>(col);
  if (!cs.rows[row]) {
    cs.rows[row] = static_cast<int32_t *>(FontAllocArray(256, sizeof(int32_t)));
    if (!cs.rows[row])
      return bdfFailForMemory(s, "Couldn't allocate row %d of encoding (%d*%d)\n", row, 256, 4);
    std::memset(cs.rows[row], 0, 256 * sizeof(int32_t));
  }
  cs.rows[row][col] = cs.read + 1;
  ++cs.encoded;
  return true;
}

// Digits and x give the font's QUAD_WIDTH and X_HEIGHT.
void noteStatistics(BdfFileState &s, const GlyphLines &g) {
  if (!g.name[0] || g.name[1]) return;
  if (g.name[0] >= '0' && g.name[0] <= '9') {
    s.digitCount++;
    s.digitWidthSum += g.advance;
  } else if (g.name[0] == 'x') {
    int64_t top = int64_t{g.height} + g.y;
    s.xGlyphHeight = static_cast<int32_t>(top > 0 ? top : g.height);
  }
}

// Fills the next glyph record and reads its bitmap.  The metrics keep the
// low 16 bits of each value; the bitmap is read for the box that they
// describe, so metrics and bitmap agree.
void keepGlyph(BdfFileState &s, CharSection &cs, const GlyphLines &g) {
  const int64_t lb = g.x, rb = int64_t{g.x} + g.width, ascent = int64_t{g.height} + g.y,
                descent = -int64_t{g.y};
  CharInfo *ci = &cs.bf->metrics[cs.read];
  ci->metrics = {static_cast<int16_t>(lb),        static_cast<int16_t>(rb),
                 static_cast<int16_t>(g.advance), static_cast<int16_t>(ascent),
                 static_cast<int16_t>(descent),   g.attributes};
  ci->bits = nullptr;
  cs.bf->charCount = ++cs.read;
  bdfReadBitmap(s, ci, cs.bf->extra ? cs.bf->extra->bitmapSizes : nullptr);
}

// One glyph block, from its STARTCHAR line (just read) to its ENDCHAR.
bool readGlyph(BdfFileState &s, FontInfo &fi, CharSection &cs) {
  GlyphLines g;
  if (!readStartChar(s, g) || !cs.reserve(s)) return false;
  BitmapExtra *extra = cs.bf->extra;
  if (extra)
    extra->glyphNames[cs.read] = MakeAtom(g.name, static_cast<unsigned>(std::strlen(g.name)), 1);
  bool skip;
  if (!readEncoding(s, g) || !placeGlyph(s, fi, cs, g, &skip)) return false;
  if (!readWidth(s, "SWIDTH", &g.scalableWidth, "bad 'SWIDTH'\n", "SWIDTH y value must be zero\n"))
    return false;
  if (extra) extra->scalableWidths[cs.read] = g.scalableWidth;
  if (!readWidth(s, "DWIDTH", &g.advance, "bad 'DWIDTH'\n", "DWIDTH y value must be zero\n") ||
      !readBox(s, g) || !readAttributesAndBitmap(s, g))
    return false;
  noteStatistics(s, g);
  if (skip) {
    bdfSkipBitmap(s, g.height);
    ++cs.skipped;
  } else {
    keepGlyph(s, cs, g);
  }
  return true;
}

// The table of every code in the rectangle of rows and columns in use.
bool buildEncoding(BdfFileState &s, FontInfo &fi, CharSection &cs) {
  // With no encoded glyph the bounds are still 256 and 0: (-255) x (-255).
  const int32_t entries =
      (int32_t{fi.lastRow} - fi.firstRow + 1) * (int32_t{fi.lastCol} - fi.firstCol + 1);
  BitmapFont *bf = cs.bf;
  bf->encoding = FontAllocN<CharInfo *>(static_cast<size_t>(entries));
  if (!bf->encoding) return bdfFailForMemory(s, "Couldn't allocate ppCI (%d,%d)\n", entries, 4);
  std::memset(bf->encoding, 0, static_cast<size_t>(entries) * sizeof(CharInfo *));
  fi.allExist = 1;
  CharInfo **entry = bf->encoding;
  for (int row = fi.firstRow; row <= fi.lastRow; row++) {
    const int32_t *refs = cs.rows[row];
    for (int col = fi.firstCol; col <= fi.lastCol; col++, entry++) {
      if (refs && refs[col])
        *entry = &bf->metrics[refs[col] - 1];
      else
        fi.allExist = 0;
    }
  }
  return true;
}

bool readCharacters(BdfFileState &s, FontRec *font) {
  CharSection cs(static_cast<BitmapFont *>(font->fontPrivate));
  if (cs.bf->extra)
    for (int32_t &size : cs.bf->extra->bitmapSizes) size = 0;
  cs.bf->metrics = nullptr;
  BdfTokens t;
  if (!keywordLine(s, "CHARS", &t) || !t.integer(&cs.count))
    return bdfFail(s, "bad 'CHARS' in bdf file\n");
  if (cs.count < 1) return bdfFail(s, "invalid number of CHARS in BDF file\n");
  cs.room.limit = cs.count;
  if (!cs.reserve(s)) return false;
  FontInfo &fi = font->info;
  bool have = bdfNextLine(s);
  fi.firstCol = fi.firstRow = 256;
  fi.lastCol = fi.lastRow = 0;
  for (; cs.read < cs.count && have && s.line.startsWith("STARTCHAR"); have = bdfNextLine(s))
    if (!readGlyph(s, fi, cs)) return false;
  if (cs.read + cs.skipped != cs.count)
    return bdfFail(s, "%lld too few characters\n",
                   static_cast<long long>(cs.count - cs.read - cs.skipped));
  if (have && s.line.startsWith("STARTCHAR")) return bdfFail(s, "more characters than specified\n");
  if (!have || !s.line.startsWith("ENDFONT")) return bdfFail(s, "missing 'ENDFONT'\n");
  if (cs.encoded == 0) bdfWarning(s, "No characters with valid encodings\n");
  return buildEncoding(s, fi, cs);
}

// ---- Font assembly.

// Widens every glyph of a font that could be a cell font to the full cell;
// false when a glyph bitmap could not be had (that glyph and the following
// keep their own).
bool padToTerminal(const BdfFileState &s, FontRec *font) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  const FontInfo &fi = font->info;
  const int width = fi.minBounds.width;
  const xCharInfo cellMetrics = {
      0, static_cast<int16_t>(width), static_cast<int16_t>(width), fi.fontAscent, fi.fontDescent,
      0};
  const GlyphBitmap cell = GlyphBitmapOf(cellMetrics, font->glyphPad, nullptr);
  if (cell.width < 0 || cell.rows < 0) return false;  // no cell a bitmap could fill
  auto sizeOf = [&](const CharInfo &g) {
    return g.bits ? GlyphBitmapOf(g, font->glyphPad).size() : 0;
  };
  int64_t held = 0;
  for (int i = 0; i < bf->charCount; i++) held += sizeOf(bf->metrics[i]);
  for (int i = 0; i < bf->charCount; i++) {
    CharInfo &old = bf->metrics[i];
    // A cell of no bytes needs no bitmap: the widened glyph has none.
    unsigned char *bits = nullptr;
    if (cell.size() > 0) {
      if (!bitmapBudgetAllows(s, held, cell.size())) return false;
      bits = static_cast<unsigned char *>(FontAlloc(static_cast<size_t>(cell.size())));
      if (!bits) return false;
    }
    CharInfo widened = {cellMetrics, bits};
    widened.metrics.attributes = old.metrics.attributes;
    FontCharReshape(font, &old, &widened);
    held += (bits ? cell.size() : 0) - sizeOf(old);
    FontFree(old.bits);
    old = widened;
  }
  if (bf->extra) {
    static const int pads[4] = {1, 2, 4, 8};
    for (int i = 0; i < 4; i++)
      bf->extra->bitmapSizes[i] =
          addSaturated(0, BitmapBytesPerRow(width, pads[i]) * cell.rows * int64_t{bf->charCount});
  }
  return true;
}

bool validLayout(const BdfLayout &l) {
  return (l.bit == 0 || l.bit == 1) && (l.byte == 0 || l.byte == 1) &&
         (l.pad == 1 || l.pad == 2 || l.pad == 4 || l.pad == 8) &&
         (l.scan == 1 || l.scan == 2 || l.scan == 4) && l.scan <= l.pad;
}

// Placeholders (-1) of the properties that only the glyphs can give.
void replacePlaceholders(FontRec *font, const BdfFileState &s) {
  FontInfo &fi = font->info;
  auto placeholder = [&](int ref) {
    return ref >= 0 && !fi.isStringProp[ref] && fi.props[ref].value == -1;
  };
  if (placeholder(s.xHeightProp))
    fi.props[s.xHeightProp].value = s.xGlyphHeight != 0 ? s.xGlyphHeight : fi.inkMinBounds.ascent;
  if (placeholder(s.quadWidthProp))
    fi.props[s.quadWidthProp].value =
        s.digitCount != 0 ? static_cast<int32_t>(s.digitWidthSum / s.digitCount)
                          : (int{fi.inkMaxBounds.width} + fi.inkMinBounds.width) / 2;
  if (placeholder(s.weightProp)) fi.props[s.weightProp].value = bitmapComputeWeight(font);
}

// Bounds, cell padding, accelerators, ink metrics and the placeholders.
void completeFont(const BdfFileState &s, FontRec *font) {
  auto *bf = static_cast<BitmapFont *>(font->fontPrivate);
  FontInfo &fi = font->info;
  if (s.sawDefaultChar) {
    int row = fi.defaultChar >> 8, col = fi.defaultChar & 0xFF;
    if (row >= fi.firstRow && row <= fi.lastRow && col >= fi.firstCol && col <= fi.lastCol)
      bf->defaultGlyph =
          bf->encoding[(row - fi.firstRow) * (fi.lastCol - fi.firstCol + 1) + (col - fi.firstCol)];
  }
  font->bitOrder = static_cast<uint8_t>(s.layout.bit);
  font->byteOrder = static_cast<uint8_t>(s.layout.byte);
  font->glyphPad = static_cast<uint8_t>(s.layout.pad);
  font->scanUnit = static_cast<uint8_t>(s.layout.scan);
  fi.anamorphic = 0;
  fi.cachable = 1;
  bitmapComputeFontBounds(font);
  if (FontCouldBeTerminal(&fi)) {
    padToTerminal(s, font);
    bitmapComputeFontBounds(font);
  }
  FontComputeInfoAccelerators(&fi);
  if (bf->extra) FontComputeInfoAccelerators(&bf->extra->info);
  if (fi.constantMetrics) bitmapAddInkMetrics(font);
  if (bf->extra) bf->extra->info.inkMetrics = fi.inkMetrics;
  bitmapComputeFontInkBounds(font);
  replacePlaceholders(font, s);
}

}  // namespace

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

int bdfReadFont(FontRec *font, BufFile *file, int bit, int byte, int glyph, int scan) {
  font->fontPrivate = nullptr;
  font->info.props = nullptr;
  font->info.isStringProp = nullptr;
  font->info.propCount = 0;
  BdfFileState s(file);
  s.layout = {bit, byte, glyph, scan};
  if (!validLayout(s.layout) || !readHeader(s)) return BadFont;
  auto *bf = FontAllocN<BitmapFont>(1);
  if (!bf) return AllocFailure;
  std::memset(bf, 0, sizeof *bf);
  font->fontPrivate = bf;
  // Without the extra record the font is read without glyph names.
  if (auto *extra = FontAllocN<BitmapExtra>(1)) {
    std::memset(extra, 0, sizeof *extra);
    bf->extra = extra;
  }
  if (!readProperties(s, font) || !readCharacters(s, font)) {
    bdfFreeFontBits(font);
    return s.outOfMemory ? AllocFailure : BadFont;
  }
  completeFont(s, font);
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
