// The PCF information reader: properties, accelerators and the encoding
// ranges of a PCF file, read strictly forward so that a decompressing stream
// is read like a plain file.
//
// A PCF file starts with the magic 0x70636601 and a table of contents of
// (type, format, size, offset) entries, all least significant byte first.
// Every table begins with its own format word, which governs: bit 2 gives the
// byte order of the table's numbers, bits 8..31 its layout kind.  Tables are
// reached by skipping forward from the current position, so this reader can
// use a file only when its tables lie in the order it reads them:
// properties, the 0x2 accelerators (only when there is no 0x100 table),
// encodings, the 0x100 accelerators.
#include "bitmap/pcfread.h"

#include <cstring>
#include <utility>

#include "fontfile/fontreader.h"
#include "util/miscutil.h"

namespace {

constexpr uint32_t kPcfMagic = 0x70636601;

constexpr uint32_t PCF_PROPERTIES = 0x1;
constexpr uint32_t PCF_ACCELERATORS = 0x2;
constexpr uint32_t PCF_BDF_ENCODINGS = 0x20;
constexpr uint32_t PCF_BDF_ACCELERATORS = 0x100;

constexpr uint32_t PCF_FORMAT_MASK = 0xFFFFFF00;
constexpr uint32_t PCF_DEFAULT_FORMAT = 0x000;
constexpr uint32_t PCF_ACCEL_W_INKBOUNDS = 0x100;
constexpr uint32_t PCF_BYTE_MASK = 1u << 2;

struct TableEntry {
  uint32_t type;
  uint32_t format;
  uint32_t size;
  uint32_t offset;
};

bool msbFirst(uint32_t format) { return (format & PCF_BYTE_MASK) != 0; }

uint32_t pcfGetLSB32(FontReader *r) { return FontReaderGet32(r, false); }
int32_t pcfGetINT32(FontReader *r, uint32_t format) {
  return static_cast<int32_t>(FontReaderGet32(r, msbFirst(format)));
}
uint16_t pcfGetINT16(FontReader *r, uint32_t format) {
  return FontReaderGet16(r, msbFirst(format));
}

// A metric record: six 16-bit numbers.
constexpr size_t kMetricBytes = 12;

void pcfLoadMetric(const unsigned char *b, bool msb, xCharInfo *metric) {
  metric->leftBearing = static_cast<int16_t>(FontLoad16(b, msb));
  metric->rightBearing = static_cast<int16_t>(FontLoad16(b + 2, msb));
  metric->width = static_cast<int16_t>(FontLoad16(b + 4, msb));
  metric->ascent = static_cast<int16_t>(FontLoad16(b + 6, msb));
  metric->descent = static_cast<int16_t>(FontLoad16(b + 8, msb));
  metric->attributes = FontLoad16(b + 10, msb);
}

// The table of contents, grown as its entries arrive: a count of 2^31 in a
// short file ends at the end of the data, not in a huge allocation.
int pcfReadTOC(FontReader *r, FontPtr<TableEntry> *tablesOut, uint32_t *countOut) {
  r->position = 0;
  if (pcfGetLSB32(r) != kPcfMagic) return BadFont;
  uint32_t count = pcfGetLSB32(r);
  if (r->ended) return BadFont;
  FontPtr<TableEntry> tables;
  size_t capacity = 0;
  for (uint32_t i = 0; i < count; i++) {
    if (!FontReaderReserveN(tables, &capacity, size_t{i} + 1)) return AllocFailure;
    TableEntry &t = tables.get()[i];
    t.type = pcfGetLSB32(r);
    t.format = pcfGetLSB32(r);
    t.size = pcfGetLSB32(r);
    t.offset = pcfGetLSB32(r);
    if (r->ended) return BadFont;
  }
  if (!tables && !FontReaderReserveN(tables, &capacity, 1)) return AllocFailure;  // count 0
  *countOut = count;
  *tablesOut = std::move(tables);
  return Successful;
}

const TableEntry *findType(const TableEntry *tables, uint32_t count, uint32_t type) {
  for (uint32_t i = 0; i < count; i++)
    if (tables[i].type == type) return &tables[i];
  return nullptr;
}

bool pcfHasType(const TableEntry *tables, uint32_t count, uint32_t type) {
  return findType(tables, count, type) != nullptr;
}

// Only the first entry of a type counts, and it must not lie behind what has
// already been read.  On success the stream stands at the table's first byte.
bool pcfSeekToType(FontReader *r, const TableEntry *tables, uint32_t count, uint32_t type,
                   uint32_t *format, uint32_t *size) {
  const TableEntry *t = findType(tables, count, type);
  if (!t || t->offset < r->position || !FontReaderSkip(r, t->offset - r->position)) return false;
  *format = t->format;
  *size = t->size;
  return true;
}

int pcfGetProperties(FontInfo *info, FontReader *r, const TableEntry *tables, uint32_t count) {
  uint32_t format, size;
  if (!pcfSeekToType(r, tables, count, PCF_PROPERTIES, &format, &size)) return BadFont;
  format = pcfGetLSB32(r);
  if ((format & PCF_FORMAT_MASK) != PCF_DEFAULT_FORMAT) return BadFont;
  int32_t declared = pcfGetINT32(r, format);
  if (r->ended || declared < 0) return BadFont;
  uint32_t nprops = static_cast<uint32_t>(declared);

  // Both arrays grow record by record: each 9-byte record read backs 9 bytes.
  FontPtr<FontProp> props;
  FontPtr<char> isString;
  size_t propCapacity = 0, flagCapacity = 0;
  for (uint32_t i = 0; i < nprops; i++) {
    if (!FontReaderReserveN(props, &propCapacity, size_t{i} + 1) ||
        !FontReaderReserveN(isString, &flagCapacity, size_t{i} + 1))
      return AllocFailure;
    props.get()[i].name = static_cast<Atom>(pcfGetINT32(r, format));
    isString.get()[i] = static_cast<char>(FontReaderChar(r));  // the end: `ended`, below
    props.get()[i].value = pcfGetINT32(r, format);
    if (r->ended) return BadFont;
  }
  if (nprops % 4 != 0) FontReaderSkip(r, 4 - nprops % 4);  // records padded to 4 bytes
  int32_t poolSize = pcfGetINT32(r, format);
  if (r->ended || poolSize < 0) return BadFont;
  FontFrame pool;
  bool outOfMemory = false;
  if (!FontReaderEnterFrame(r, static_cast<uint32_t>(poolSize), &pool, &outOfMemory))
    return outOfMemory ? AllocFailure : BadFont;

  auto poolBytes = static_cast<uint32_t>(poolSize);
  int status = FontPoolPropAtoms(pool.bytes, poolBytes, props.get(), nprops,
                                 [&](uint32_t i) { return isString.get()[i]; });
  if (status != Successful) return status;
  FontReaderExitFrame(&pool);
  info->props = props.release();
  info->isStringProp = isString.release();
  info->propCount = static_cast<int32_t>(nprops);
  return Successful;
}

bool pcfGetAccel(FontInfo *info, FontReader *r, const TableEntry *tables, uint32_t count,
                 uint32_t type) {
  uint32_t format, size;
  if (!pcfSeekToType(r, tables, count, type, &format, &size)) return false;
  format = pcfGetLSB32(r);
  uint32_t kind = format & PCF_FORMAT_MASK;
  if (kind != PCF_DEFAULT_FORMAT && kind != PCF_ACCEL_W_INKBOUNDS) return false;
  // Read whole, then taken apart: eight flag bytes (the last is padding),
  // three 32-bit numbers, then two metrics, or four with the ink bounds.
  unsigned char b[8 + 3 * 4 + 4 * kMetricBytes];
  size_t length = kind == PCF_ACCEL_W_INKBOUNDS ? sizeof b : sizeof b - 2 * kMetricBytes;
  if (!FontReaderRead(r, b, length)) return false;
  bool msb = msbFirst(format);
  info->noOverlap = b[0] & 1;
  info->constantMetrics = b[1] & 1;
  info->terminalFont = b[2] & 1;
  info->constantWidth = b[3] & 1;
  info->inkInside = b[4] & 1;
  info->inkMetrics = b[5] & 1;
  info->drawDirection = b[6] & 3;
  info->anamorphic = 0;
  info->cachable = 1;
  info->fontAscent = static_cast<int16_t>(FontLoad32(b + 8, msb));
  info->fontDescent = static_cast<int16_t>(FontLoad32(b + 12, msb));
  info->maxOverlap = static_cast<int16_t>(FontLoad32(b + 16, msb));
  const unsigned char *metrics = b + 20;
  pcfLoadMetric(metrics, msb, &info->minBounds);
  pcfLoadMetric(metrics + kMetricBytes, msb, &info->maxBounds);
  if (kind == PCF_ACCEL_W_INKBOUNDS) {
    pcfLoadMetric(metrics + 2 * kMetricBytes, msb, &info->inkMinBounds);
    pcfLoadMetric(metrics + 3 * kMetricBytes, msb, &info->inkMaxBounds);
  } else {
    info->inkMinBounds = info->minBounds;
    info->inkMaxBounds = info->maxBounds;
  }
  return true;
}

// The number of glyph indexes in the table: (lastCol - firstCol + 1) x
// (lastRow - firstRow + 1) in signed 32-bit arithmetic, as the format's
// readers count it.  The full range 0..0xFFFF x 0..0xFFFF (2^32 codes)
// counts 0 and has no indexes; a product past 2^31 - 1, or one range
// backward, counts below 0; two backward ranges count the product of their
// negative extents.
int32_t pcfCodeCount(const FontInfo &fi) {
  uint32_t cols = uint32_t{fi.lastCol} - fi.firstCol + 1;
  uint32_t rows = uint32_t{fi.lastRow} - fi.firstRow + 1;
  return static_cast<int32_t>(cols * rows);
}

// The ranges, the default character, and whether any code lacks a glyph.
// The glyph indexes are scanned in bulk straight from the stream's buffer;
// a code count larger than the data ends at the end of the data.
bool pcfGetEncodings(FontInfo *info, FontReader *r, const TableEntry *tables, uint32_t count) {
  uint32_t format, size;
  if (!pcfSeekToType(r, tables, count, PCF_BDF_ENCODINGS, &format, &size)) return false;
  format = pcfGetLSB32(r);
  if ((format & PCF_FORMAT_MASK) != PCF_DEFAULT_FORMAT) return false;
  info->firstCol = pcfGetINT16(r, format);
  info->lastCol = pcfGetINT16(r, format);
  info->firstRow = pcfGetINT16(r, format);
  info->lastRow = pcfGetINT16(r, format);
  info->defaultChar = pcfGetINT16(r, format);
  if (r->ended) return false;
  const int32_t codes = pcfCodeCount(*info);
  // Tolerated: a count below 0 reads no index, and then not all of the
  // font's codes exist.
  info->allExist = codes >= 0;
  // 0xFFFF (no glyph) reads the same in both byte orders, so the indexes
  // are compared as they lie; the loop has no early exit, so the compiler
  // compares whole vectors of them.
  // 4 KiB of indexes a read, half a stream buffer: most reads are one copy
  // from the stream's buffer, and a two-byte font's 65,536 codes take 32.
  uint16_t chunk[2048];
  unsigned missing = 0;
  for (uint64_t left = codes > 0 ? uint64_t{2} * static_cast<uint32_t>(codes) : 0; left > 0;) {
    size_t want = left < sizeof chunk ? static_cast<size_t>(left) : sizeof chunk;
    if (!FontReaderRead(r, chunk, want)) return false;
    for (size_t i = 0; i < want / 2; i++) missing |= chunk[i] == 0xFFFF;
    left -= want;
  }
  if (missing) info->allExist = 0;
  return true;
}

}  // namespace

int pcfReadFontInfo(FontInfo *info, BufFile *file) {
  FontInfoNoProps(info);
  FontReader reader;
  FontReaderInit(&reader, file);
  FontPtr<TableEntry> tables;
  uint32_t count = 0;
  int status = pcfReadTOC(&reader, &tables, &count);
  if (status != Successful) return status;
  status = pcfGetProperties(info, &reader, tables.get(), count);
  if (status != Successful) return status;
  bool hasBdfAccel = pcfHasType(tables.get(), count, PCF_BDF_ACCELERATORS);
  if ((!hasBdfAccel && !pcfGetAccel(info, &reader, tables.get(), count, PCF_ACCELERATORS)) ||
      !pcfGetEncodings(info, &reader, tables.get(), count) ||
      (hasBdfAccel && !pcfGetAccel(info, &reader, tables.get(), count, PCF_BDF_ACCELERATORS))) {
    FontInfoFreeProps(info);
    return BadFont;
  }
  return Successful;
}

// Loading whole PCF fonts belongs to a font server, not to this tool.
int pcfReadFont(FontRec *, BufFile *, int, int, int, int) { return BadFont; }
