// LZW input filter for ".Z" data.
//
// The format: the magic bytes 1F 9D, a flag byte (bits 0-4 the maximum code
// width, 0x80 block mode) and a stream of codes packed least significant bit
// first.  Codes start 9 bits wide and come in groups of `width` bytes (eight
// codes); when the width grows or the table is cleared the encoder pads to
// the end of the group, so the decoder always loads whole groups.  Codes
// 0-255 are the single bytes; every later code names the previous code's
// string followed by the first byte of the current code's string.  In block
// mode code 256 clears the table.
//
// All decoder state lives in LzwFilterState, so decoding stops whenever the
// output buffer is full and resumes there, even in the middle of a string.
#include "fontfile/decompress.h"

#include <cstddef>
#include <cstring>

#include "fontfile/fontreader.h"
#include "util/miscutil.h"

namespace {

constexpr unsigned char magic_header[] = {0x1F, 0x9D};
constexpr int kBitMask = 0x1F;
constexpr int kBlockMode = 0x80;
constexpr int kMinMaxBits = 12;
constexpr int kMaxMaxBits = 16;
constexpr int kInitBits = 9;
constexpr int kClear = 256;
constexpr int kFirstLiteralsEnd = 256;

// The longest string a table can hold: single bytes have length 1 and each
// new entry extends an older entry by one byte, so the entry numbered e is at
// most e - 254 bytes long (256 is the first new entry without block mode).
// The last entry of a 16-bit table is 65535, so the longest string has
// 65535 - 254 = 2^16 - 256 + 1 bytes.  A code equal to the free entry (at
// most 65535) stands for the previous string plus one byte, which is within
// the same bound.  A string goes to the stack only when the stack is empty,
// so this is all it ever holds.
constexpr int kDecodeStackSize = (1 << kMaxMaxBits) - 256 + 1;

// A group holds at most kMaxMaxBits bytes.  Extracting a code reads three
// consecutive bytes from the code's first byte; the code starting at the
// last possible bit of a full group begins in byte kMaxMaxBits - 2, so two
// bytes of zeroed slack keep that read inside the record.
constexpr int kCodeBufferSize = kMaxMaxBits + 2;

struct LzwFilterState {
  FontReader source;
  unsigned char *stackTop;  // first pending byte; the stack is empty at stackEnd
  int oldCode;              // previous code; -1 once the data has ended
  int finChar;              // first byte of the most recent string
  bool blockMode;
  int maxBits;
  int maxCode;      // largest code of the current width
  int maxMaxCode;   // number of table entries, 2^maxBits
  int freeEntry;    // number of the next new string
  int clearFlag;    // a clear was seen: the next code starts a fresh 9-bit group
  int nBits;        // current code width
  int bitOffset;    // bit position of the next code in codeBuffer
  int bitSize;      // bit positions in codeBuffer at which a whole code begins;
                    // 0 when the group has ended early (a clear, a wider code)
  unsigned char codeBuffer[kCodeBufferSize];
  // Pending output: a string that did not fit in the output buffer, in
  // order from stackTop to the end (it is written last byte first).
  unsigned char decodeStack[kDecodeStackSize];
  // The tables follow the record in the same block, one entry per code.
  uint16_t *prefixTable;       // per code >= 256: the string minus its last byte
  uint16_t *lengthTable;       // per code: the length of its string
  unsigned char *suffixTable;  // per code: the last byte of its string
};

unsigned char *stackEnd(LzwFilterState *s) { return s->decodeStack + kDecodeStackSize; }

int BufCompressedFill(BufFile *f);
int BufCompressedSkip(BufFile *f, int count);
int BufCompressedClose(BufFile *f, int doClose);

// Loads the next group of codes, at a new width when the table has outgrown
// the current one or was cleared.  False at the end of the code stream.
__attribute__((noinline)) bool loadGroup(LzwFilterState *s) {
  if (s->freeEntry > s->maxCode) {
    ++s->nBits;
    s->maxCode = s->nBits == s->maxBits ? s->maxMaxCode : (1 << s->nBits) - 1;
  }
  if (s->clearFlag > 0) {
    s->nBits = kInitBits;
    s->maxCode = (1 << kInitBits) - 1;
    s->clearFlag = 0;
  }
  size_t got = FontReaderReadUpTo(&s->source, s->codeBuffer, static_cast<size_t>(s->nBits));
  // A group cut short: only the codes that lie wholly in its bytes count.
  s->bitOffset = 0;
  s->bitSize = static_cast<int>(got) * 8 - (s->nBits - 1);
  return s->bitSize > 0;
}

// The next code of the stream, or -1 at its end.
inline int getcode(LzwFilterState *s) {
  // A clear or a full width ends the group too: those set bitSize to 0.
  if (s->bitOffset >= s->bitSize)
    if (!loadGroup(s)) return -1;
  const unsigned char *p = s->codeBuffer + (s->bitOffset >> 3);
  uint32_t bits = p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
  int code = static_cast<int>((bits >> (s->bitOffset & 7)) & ((1u << s->nBits) - 1));
  s->bitOffset += s->nBits;
  return code;
}

// Ends the data for good: what is on the stack is still delivered.
void endData(LzwFilterState *s) { s->oldCode = -1; }

}  // namespace

BufFile *BufFilePushCompressed(BufFile *source) {
  FontReader reader;
  FontReaderInit(&reader, source);
  unsigned char header[sizeof magic_header + 1];
  if (!FontReaderRead(&reader, header, sizeof header) ||
      std::memcmp(header, magic_header, sizeof magic_header) != 0)
    return nullptr;
  int flags = header[sizeof magic_header];
  int maxBits = flags & kBitMask;
  if (maxBits < kMinMaxBits || maxBits > kMaxMaxBits) return nullptr;
  int maxMaxCode = 1 << maxBits;

  // One block: the record, then the two 16-bit tables, then suffixTable.
  // The decoder needs exactly one entry per code in each.
  size_t entries = static_cast<size_t>(maxMaxCode);
  size_t prefixOffset = sizeof(LzwFilterState);
  size_t lengthOffset = prefixOffset + sizeof(uint16_t) * entries;
  size_t suffixOffset = lengthOffset + sizeof(uint16_t) * entries;
  size_t blockSize = suffixOffset + entries;
  FontPtr<LzwFilterState> block(static_cast<LzwFilterState *>(FontAlloc(blockSize)));
  if (!block) return nullptr;
  LzwFilterState *s = block.get();
  // Nothing of the block is cleared, so that a stream costs what it uses
  // and not the 390 KiB of a 16-bit table: every field of the record is set
  // below, the 256 single-byte entries are defined before any code is read,
  // and every later entry is written (when the free entry passes it) before
  // a code may name it, since a code above the free entry ends the data and
  // the free entry itself is decoded from the previous code.  The stack is
  // read only after a string was written to it.
  auto *raw = reinterpret_cast<unsigned char *>(s);
  s->prefixTable = reinterpret_cast<uint16_t *>(raw + prefixOffset);
  s->lengthTable = reinterpret_cast<uint16_t *>(raw + lengthOffset);
  s->suffixTable = raw + suffixOffset;

  s->source = reader;
  s->clearFlag = 0;
  s->finChar = 0;
  s->bitOffset = 0;
  s->bitSize = 0;
  // The slack after a group cut short is read and masked off: it needs a
  // value all the same.
  std::memset(s->codeBuffer, 0, sizeof s->codeBuffer);
  s->blockMode = (flags & kBlockMode) != 0;
  s->maxBits = maxBits;
  s->maxMaxCode = maxMaxCode;
  s->nBits = kInitBits;
  s->maxCode = (1 << kInitBits) - 1;
  for (int code = 0; code < kFirstLiteralsEnd; code++) {
    s->prefixTable[code] = 0;
    s->lengthTable[code] = 1;
    s->suffixTable[code] = static_cast<unsigned char>(code);
  }
  s->freeEntry = s->blockMode ? kClear + 1 : kFirstLiteralsEnd;
  s->stackTop = stackEnd(s);

  // The first code can only be a single byte; anything else is corrupt data
  // and would make the next string refer to an entry that was never set.
  s->oldCode = getcode(s);
  if (s->oldCode >= kFirstLiteralsEnd) {
    endData(s);
  } else if (s->oldCode != -1) {
    s->finChar = s->oldCode;
    *--s->stackTop = static_cast<unsigned char>(s->finChar);
  }

  BufFile *f = BufFileCreate(s, BufCompressedFill, BufCompressedSkip, BufCompressedClose);
  if (!f) return nullptr;
  block.release();
  return f;
}

namespace {

int BufCompressedFill(BufFile *f) {
  auto *s = static_cast<LzwFilterState *>(f->state);
  unsigned char *out = f->data;
  unsigned char *const outEnd = f->data + BUFFILESIZE;
  unsigned char *const bottom = stackEnd(s);
  const unsigned char *const suffix = s->suffixTable;
  const uint16_t *const prefix = s->prefixTable;
  const uint16_t *const length = s->lengthTable;

  for (;;) {
    // Drain pending bytes first; decode only when they are gone.
    size_t pending = static_cast<size_t>(bottom - s->stackTop);
    if (pending > 0) {
      size_t room = static_cast<size_t>(outEnd - out);
      size_t n = pending < room ? pending : room;
      std::memcpy(out, s->stackTop, n);
      out += n;
      s->stackTop += n;
      if (out == outEnd) break;
    }
    if (s->oldCode == -1) break;

    int code = getcode(s);
    if (code == -1) {
      endData(s);
      break;
    }
    if (code == kClear && s->blockMode) {
      // After a clear the encoder starts afresh with a single byte; a longer
      // code would reach back into the discarded table.  That byte defines
      // no string (its entry would be 256, the clear code itself).
      s->clearFlag = 1;
      s->bitSize = 0;
      s->freeEntry = kClear + 1;
      code = getcode(s);
      if (code < 0 || code >= kFirstLiteralsEnd) {
        endData(s);
        break;
      }
      *out++ = static_cast<unsigned char>(code);
      s->oldCode = s->finChar = code;
      if (out == outEnd) break;
      continue;
    }

    // A code above the free entry names nothing yet: corrupt data.  The
    // free entry itself is the string the encoder defined with this very
    // step: the previous string followed by its own first byte.
    int freeEntry = s->freeEntry;
    if (code > freeEntry) {
      endData(s);
      break;
    }
    bool selfDefined = code == freeEntry;
    int walk = selfDefined ? s->oldCode : code;
    int len = length[walk] + (selfDefined ? 1 : 0);

    // Straight into the output when the whole string fits, else onto the
    // stack to be drained by this and later fills.  Either way exactly len
    // bytes are written, last byte first.
    unsigned char *dst = len <= outEnd - out ? out : bottom - len;
    unsigned char *p = dst + len;
    if (selfDefined) *--p = static_cast<unsigned char>(s->finChar);
    while (p > dst + 1) {
      *--p = suffix[walk];
      walk = prefix[walk];
    }
    *--p = static_cast<unsigned char>(walk);
    int first = walk & 0xFF;
    if (dst == out)
      out += len;
    else
      s->stackTop = dst;

    if (freeEntry < s->maxMaxCode) {
      s->prefixTable[freeEntry] = static_cast<uint16_t>(s->oldCode);
      s->lengthTable[freeEntry] = static_cast<uint16_t>(length[s->oldCode] + 1);
      s->suffixTable[freeEntry] = static_cast<unsigned char>(first);
      s->freeEntry = freeEntry + 1;
      // The encoder widens its codes after this one: the rest of the group
      // is padding.
      if (freeEntry + 1 > s->maxCode) s->bitSize = 0;
    }
    s->finChar = first;
    s->oldCode = code;
    if (out == outEnd) break;
  }

  return BufFileDeliver(f, f->data, static_cast<int>(out - f->data));
}

int BufCompressedSkip(BufFile *f, int count) { return BufFileSkipByFilling(f, count); }

int BufCompressedClose(BufFile *f, int doClose) {
  auto *s = static_cast<LzwFilterState *>(f->state);
  BufFile *source = s->source.file;
  FontFree(s);
  BufFileClose(source, doClose);
  return 1;
}

}  // namespace
