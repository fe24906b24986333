// The SNF information reader.
//
// An SNF file holds, all least significant byte first: a 108-byte header
// (ranges, flags, bounds, counts), one 16-byte glyph record per code, the
// glyph bitmaps (padded to 4 bytes), p 12-byte property records, the string
// pool of s bytes and, when the header's flag word has bit 3, the ink bounds
// as two glyph records.  The reader skips the glyph records and bitmaps: only
// their lengths matter.
#include "bitmap/snfread.h"

#include <cstring>

#include "fontfile/fontreader.h"
#include "util/miscutil.h"

namespace {

constexpr uint32_t kSnfVersion = 4;
constexpr int kHeaderSize = 108;
constexpr int kGlyphRecordSize = 16;
constexpr int kPropRecordSize = 12;
constexpr uint32_t kFlagInkMetrics = 1u << 3;

struct snfHeader {
  unsigned char bytes[kHeaderSize];
};

uint32_t word(const unsigned char *p) {
  return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}
uint32_t headerWord(const snfHeader &h, int offset) { return word(h.bytes + offset); }

int16_t half(const unsigned char *p) { return static_cast<int16_t>(p[0] | p[1] << 8); }

// The xCharInfo part of a 16-byte glyph record.
void copyMetrics(const unsigned char *p, xCharInfo *m) {
  m->leftBearing = half(p);
  m->rightBearing = half(p + 2);
  m->width = half(p + 4);
  m->ascent = half(p + 6);
  m->descent = half(p + 8);
  m->attributes = static_cast<uint16_t>(half(p + 10));
}

// Header field offsets.
enum : int {
  kVersion1 = 0,
  kAllExist = 4,
  kDrawDirection = 8,
  kNoOverlap = 12,
  kConstantMetrics = 16,
  kTerminalFont = 20,
  kFlags = 24,
  kFirstCol = 28,
  kLastCol = 32,
  kFirstRow = 36,
  kLastRow = 40,
  kPropCount = 44,
  kPoolSize = 48,
  kDefaultChar = 52,
  kFontDescent = 56,
  kFontAscent = 60,
  kMinBounds = 64,
  kMaxBounds = 80,
  kVersion2 = 104,
};

int snfReadHeader(snfHeader *header, FontReader *r) {
  if (!FontReaderRead(r, header->bytes, kHeaderSize)) return BadFont;
  if (headerWord(*header, kVersion1) != kSnfVersion || headerWord(*header, kVersion2) != kSnfVersion)
    return BadFont;
  return Successful;
}

void snfCopyInfo(const snfHeader &h, FontInfo *info) {
  info->firstCol = static_cast<uint16_t>(headerWord(h, kFirstCol));
  info->lastCol = static_cast<uint16_t>(headerWord(h, kLastCol));
  info->firstRow = static_cast<uint16_t>(headerWord(h, kFirstRow));
  info->lastRow = static_cast<uint16_t>(headerWord(h, kLastRow));
  info->defaultChar = static_cast<uint16_t>(headerWord(h, kDefaultChar));
  info->noOverlap = headerWord(h, kNoOverlap) & 1;
  info->terminalFont = headerWord(h, kTerminalFont) & 1;
  info->constantMetrics = headerWord(h, kConstantMetrics) & 1;
  info->allExist = headerWord(h, kAllExist) & 1;
  uint32_t flags = headerWord(h, kFlags);
  info->constantWidth = (flags >> 1) & 1;
  info->inkInside = (flags >> 2) & 1;
  info->inkMetrics = (flags >> 3) & 1;
  info->drawDirection = headerWord(h, kDrawDirection) & 3;
  info->maxOverlap = 0;
  info->anamorphic = 0;
  info->cachable = 1;
  copyMetrics(h.bytes + kMinBounds, &info->minBounds);
  copyMetrics(h.bytes + kMaxBounds, &info->maxBounds);
  info->fontAscent = static_cast<int16_t>(headerWord(h, kFontAscent));
  info->fontDescent = static_cast<int16_t>(headerWord(h, kFontDescent));
}

// Glyph records between the header and the bitmaps: one per code,
// (last column - first column + 1) x (last row - first row + 1) of the
// 32-bit range words in signed 32-bit arithmetic, as the format's writers
// and readers count them (rows 0..0x80000000 of 10 columns count 10).
// Tolerated: a count of 0 or below (a range backward in one direction, or a
// product that wraps round past 2^31 - 1) has no records.
uint32_t snfGlyphRecordCount(const snfHeader &h) {
  uint32_t cols = headerWord(h, kLastCol) - headerWord(h, kFirstCol) + 1;
  uint32_t rows = headerWord(h, kLastRow) - headerWord(h, kFirstRow) + 1;
  int32_t count = static_cast<int32_t>(cols * rows);
  return count > 0 ? static_cast<uint32_t>(count) : 0;
}

// Bytes of glyph records and bitmaps between the header and the properties:
// below 2^31 x 16 + 2^24, so 64 bits hold them.
uint64_t glyphAreaLength(const snfHeader &h) {
  uint64_t records = uint64_t{snfGlyphRecordCount(h)} * kGlyphRecordSize;
  // The low 24 bits of the maximum bounds' last word: the bitmap length.
  uint64_t bitmaps = ((headerWord(h, kMaxBounds + 12) & 0xFFFFFF) + 3) & ~uint64_t{3};
  return records + bitmaps;
}

// The property records and the string pool.  The arrays grow as records
// arrive, so a huge declared count in a short file ends at the end of the
// data.
int snfReadProps(const snfHeader &h, FontInfo *info, FontReader *r) {
  uint32_t nprops = headerWord(h, kPropCount);
  uint32_t poolSize = headerWord(h, kPoolSize);
  FontPtr<FontProp> props;
  FontPtr<char> isString;
  FontPtr<uint32_t> flagWords;
  size_t propCapacity = 0, flagCapacity = 0, wordCapacity = 0;
  for (uint32_t i = 0; i < nprops; i++) {
    if (!FontReaderReserveN(props, &propCapacity, size_t{i} + 1) ||
        !FontReaderReserveN(isString, &flagCapacity, size_t{i} + 1) ||
        !FontReaderReserveN(flagWords, &wordCapacity, size_t{i} + 1))
      return AllocFailure;
    unsigned char record[kPropRecordSize];
    if (!FontReaderRead(r, record, sizeof record)) return BadFont;
    props.get()[i].name = word(record);
    props.get()[i].value = static_cast<int32_t>(word(record + 4));
    flagWords.get()[i] = word(record + 8);
    isString.get()[i] = static_cast<char>(record[8]);
  }
  FontFrame pool;
  bool outOfMemory = false;
  if (!FontReaderEnterFrame(r, poolSize, &pool, &outOfMemory)) return outOfMemory ? AllocFailure : BadFont;
  int status = FontPoolPropAtoms(pool.bytes, poolSize, props.get(), nprops,
                                 [&](uint32_t i) { return flagWords.get()[i] != 0; });
  if (status != Successful) return status;
  FontReaderExitFrame(&pool);
  info->props = props.release();
  info->isStringProp = isString.release();
  info->propCount = static_cast<int32_t>(nprops);
  return Successful;
}

int snfReadxCharInfo(FontReader *r, xCharInfo *metrics) {
  unsigned char record[kGlyphRecordSize];
  if (!FontReaderRead(r, record, sizeof record)) return BadFont;
  copyMetrics(record, metrics);
  return Successful;
}

}  // namespace

int snfReadFontInfo(FontInfo *info, BufFile *file) {
  FontInfoNoProps(info);
  FontReader reader;
  FontReaderInit(&reader, file);
  snfHeader header;
  int status = snfReadHeader(&header, &reader);
  if (status != Successful) return status;
  snfCopyInfo(header, info);
  // A property count that does not fit the record's signed count can never
  // be honoured.
  if (headerWord(header, kPropCount) > INT32_MAX) return BadFont;
  FontReaderSkip(&reader, glyphAreaLength(header));  // a short file fails at the property read
  status = snfReadProps(header, info, &reader);
  if (status != Successful) return status;
  if (!(headerWord(header, kFlags) & kFlagInkMetrics)) {
    info->inkMinBounds = info->minBounds;
    info->inkMaxBounds = info->maxBounds;
    return Successful;
  }
  if ((status = snfReadxCharInfo(&reader, &info->inkMinBounds)) != Successful ||
      (status = snfReadxCharInfo(&reader, &info->inkMaxBounds)) != Successful) {
    FontInfoFreeProps(info);
    return status;
  }
  return Successful;
}

// Loading whole SNF fonts belongs to a font server, not to this tool.
int snfReadFont(FontRec *, BufFile *, int, int, int, int) { return BadFont; }
