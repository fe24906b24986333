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
// All decoder state lives in LzwFilterState, so decoding stops after a
// buffer's worth of bytes (and the rest of the string in progress) and
// resumes there.
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
// the same bound.
constexpr int kMaxStringLength = (1 << kMaxMaxBits) - 256 + 1;

// Strings are decoded into a window of recent output and delivered from
// there.  A string is the string of an earlier code plus one byte, and that
// earlier string was written to the output when its code was decoded, so a
// string still in the window is copied from there; one that has left the
// window is rebuilt from the code's prefix chain.  A string is always
// written whole.  When the room left is too small for the next string, or
// for a fill's worth of single bytes at the start of a fill, the window
// slides, keeping its last kHistory bytes (more than a fill delivers, so
// nothing undelivered is lost), after which the longest string fits.
constexpr size_t kHistory = 32768;
constexpr size_t kWindowSize = kHistory + (1 << kMaxMaxBits);
static_assert(kHistory >= BUFFILESIZE && kWindowSize - kHistory >= kMaxStringLength);
// Strings are copied 16 bytes at a time; the last copy may write up to 15
// bytes past the string's end (bytes that later strings overwrite before
// they are delivered) and read as far past its source, so the window has
// that much slack behind it.
constexpr size_t kCopyBlock = 16;

// One table entry per code >= 256: the output position of the code's
// string, its length and the code of the string minus its last byte; the
// last byte is kept apart (suffixTable), read only when a string is rebuilt
// from the chain of its prefixes, as is the prefix.  An output position
// counts bytes from an origin; when the window's start passes kRebaseAt the
// origin moves up to it: positions in the window are renumbered from 1 and
// older ones become 0, which stays before the window for good.
struct Entry {
  uint32_t position;
  uint16_t length;
  uint16_t prefix;
};
constexpr uint32_t kRebaseAt = uint32_t{1} << 24;
static_assert(uint64_t{kRebaseAt} + 2 * kWindowSize < uint64_t{1} << 32);

// A group holds at most kMaxMaxBits bytes.  Extracting a code reads four
// consecutive bytes from the code's first byte; the code starting at the
// last possible bit of a full group begins in byte kMaxMaxBits - 2, so two
// bytes of zeroed slack keep that read inside the record.
constexpr int kCodeBufferSize = kMaxMaxBits + 2;

struct LzwFilterState {
  FontReader source;
  int oldCode;      // previous code; -1 once the data has ended
  int finChar;      // first byte of the most recent string
  int prevLength;   // length of the most recent string
  uint32_t prevPos; // output position of the most recent string
  bool blockMode;
  int maxBits;
  int maxCode;      // largest code of the current width
  int maxMaxCode;   // number of table entries, 2^maxBits
  int freeEntry;    // number of the next new string
  int clearFlag;    // a clear was seen: the next code starts a fresh 9-bit group
  int nBits;        // current code width
  int bitOffset;    // bit position of the next code in the group
  int bitSize;      // bit positions in the group at which a whole code begins;
                    // 0 when the group has ended early (a clear, a wider code)
  unsigned char codeBuffer[kCodeBufferSize];
  // The group being read: codeBuffer, or the group's bytes where they lie
  // in the source's buffer (with the two bytes after them) when it held
  // them; they stay there until the source is read again, for the next group.
  const unsigned char *group;
  size_t outEnd;       // window offset just past the decoded bytes
  size_t deliverFrom;  // window offset of the first byte not yet delivered
  uint32_t windowBase; // output position of the window's first byte
  // The tables and the window follow the record in the same block.
  Entry *table;                // indexed by code; entries below 256 are not used
  unsigned char *suffixTable;  // the same, the last byte of each string
  unsigned char *window;  // kWindowSize bytes and kCopyBlock of slack
};

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
  s->group = s->codeBuffer;
  // A group cut short: only the codes that lie wholly in its bytes count.
  s->bitOffset = 0;
  s->bitSize = static_cast<int>(got) * 8 - (s->nBits - 1);
  return s->bitSize > 0;
}

// The code at bit `offset` of the group.
inline int extractCode(const unsigned char *group, int offset, uint32_t mask) {
  const unsigned char *p = group + (offset >> 3);
  uint32_t bits;
  std::memcpy(&bits, p, sizeof bits);
  return static_cast<int>((bits >> (offset & 7)) & mask);
}

// The next code of the stream, or -1 at its end (for setting up a stream).
int getcode(LzwFilterState *s) {
  if (s->bitOffset >= s->bitSize)
    if (!loadGroup(s)) return -1;
  int code = extractCode(s->group, s->bitOffset, (1u << s->nBits) - 1);
  s->bitOffset += s->nBits;
  return code;
}

// Copies n > 0 bytes from src to dst, where src + n <= dst or the two do
// not meet, kCopyBlock bytes at a time (see kCopyBlock).
inline void copyString(unsigned char *dst, const unsigned char *src, int n) {
  do {
    unsigned char block[kCopyBlock];
    std::memcpy(block, src, kCopyBlock);
    std::memcpy(dst, block, kCopyBlock);
    src += kCopyBlock;
    dst += kCopyBlock;
    n -= static_cast<int>(kCopyBlock);
  } while (n > 0);
}

// Writes the len bytes of code's string at `out` from its prefix chain, last
// byte first; its first byte, where the chain ends at a single byte.
inline int fromChain(unsigned char *out, int len, int code, const Entry *table, const unsigned char *suffix) {
  unsigned char *p = out + len;
  while (p > out + 1) {
    *--p = suffix[code];
    code = table[code].prefix;
  }
  *out = static_cast<unsigned char>(code);
  return code;
}

// Moves the window's last kHistory bytes (those before `out`, with the
// decoded bytes not yet delivered among them) to its start; the new `out`.
// s->prevPos must be current.
__attribute__((noinline)) unsigned char *slideWindow(LzwFilterState *s, unsigned char *out) {
  size_t used = static_cast<size_t>(out - s->window);
  if (used <= kHistory) return out;
  size_t shift = used - kHistory;
  std::memmove(s->window, s->window + shift, kHistory);
  s->deliverFrom -= shift;
  s->windowBase += static_cast<uint32_t>(shift);
  if (s->windowBase >= kRebaseAt) {
    uint32_t base = s->windowBase;
    auto renumber = [base](uint32_t pos) { return pos >= base ? pos - base + 1 : 0; };
    for (int code = s->blockMode ? kClear + 1 : kFirstLiteralsEnd; code < s->freeEntry; code++)
      s->table[code].position = renumber(s->table[code].position);
    s->prevPos = renumber(s->prevPos);
    s->windowBase = 1;
  }
  return out - shift;
}

// Ends the data for good: what was decoded is still delivered.
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

  // One block: the record, the tables (one entry per code) and the window.
  size_t tableOffset = (sizeof(LzwFilterState) + alignof(Entry) - 1) & ~(alignof(Entry) - 1);
  size_t suffixOffset = tableOffset + sizeof(Entry) * static_cast<size_t>(maxMaxCode);
  size_t windowOffset = suffixOffset + static_cast<size_t>(maxMaxCode);
  size_t blockSize = windowOffset + kWindowSize + kCopyBlock;
  FontPtr<LzwFilterState> block(static_cast<LzwFilterState *>(FontAlloc(blockSize)));
  if (!block) return nullptr;
  LzwFilterState *s = block.get();
  // Nothing of the block is cleared, so that a stream costs what it uses
  // and not the 670 KiB of 16-bit tables: every field of the record is set
  // below, and every entry is written (when the free entry passes it)
  // before a code may name it, since a code above the free entry ends the
  // data and the free entry itself is decoded from the previous string.
  // Window bytes are delivered or copied only after they were written.
  auto *raw = reinterpret_cast<unsigned char *>(s);
  s->table = reinterpret_cast<Entry *>(raw + tableOffset);
  s->suffixTable = raw + suffixOffset;
  s->window = raw + windowOffset;

  s->source = reader;
  s->clearFlag = 0;
  s->finChar = 0;
  s->prevLength = 1;
  s->bitOffset = 0;
  s->bitSize = 0;
  s->group = s->codeBuffer;
  // The slack after a group cut short is read and masked off: it needs a
  // value all the same.
  std::memset(s->codeBuffer, 0, sizeof s->codeBuffer);
  s->blockMode = (flags & kBlockMode) != 0;
  s->maxBits = maxBits;
  s->maxMaxCode = maxMaxCode;
  s->nBits = kInitBits;
  s->maxCode = (1 << kInitBits) - 1;
  s->freeEntry = s->blockMode ? kClear + 1 : kFirstLiteralsEnd;
  s->outEnd = 0;
  s->deliverFrom = 0;
  s->windowBase = 1;
  s->prevPos = 1;

  // The first code can only be a single byte; anything else is corrupt data
  // and would make the next string refer to an entry that was never set.
  s->oldCode = getcode(s);
  if (s->oldCode >= kFirstLiteralsEnd) {
    endData(s);
  } else if (s->oldCode != -1) {
    s->finChar = s->oldCode;
    s->window[s->outEnd++] = static_cast<unsigned char>(s->finChar);
  }

  BufFile *f = BufFileCreate(s, BufCompressedFill, BufCompressedSkip, BufCompressedClose);
  if (!f) return nullptr;
  block.release();
  return f;
}

namespace {

// Decodes up to a buffer's worth of bytes (and the rest of the last string)
// and delivers them with what the last fill left undelivered (the first
// string of the stream).  The decoder's state is held in locals while it
// runs, as the bytes it writes could otherwise alias any of the record's
// fields; it goes back to the record around the calls that use it.
int BufCompressedFill(BufFile *f) {
  auto *s = static_cast<LzwFilterState *>(f->state);
  int oldCode = s->oldCode;
  unsigned char *const window = s->window;
  unsigned char *const windowEnd = window + kWindowSize;
  unsigned char *out = window + s->outEnd;
  if (oldCode != -1 && windowEnd - out < BUFFILESIZE) {
    // Room for a fill of single bytes: those are written without a check.
    out = slideWindow(s, out);
  }
  unsigned char *limit = window + s->deliverFrom + BUFFILESIZE;

  Entry *const table = s->table;
  unsigned char *const suffix = s->suffixTable;
  const int clearCode = s->blockMode ? kClear : -1;
  const int maxMaxCode = s->maxMaxCode;
  const unsigned char *group = s->group;
  int finChar = s->finChar;
  int prevLength = s->prevLength;
  uint32_t prevPos = s->prevPos;
  uint32_t windowBase = s->windowBase;
  int freeEntry = s->freeEntry;
  int maxCode = s->maxCode;
  int nBits = s->nBits;
  uint32_t mask = (1u << nBits) - 1;
  int bitOffset = s->bitOffset;
  int bitSize = s->bitSize;

  // The next code, or -1 at the end of the code stream.
  auto nextCode = [&]() -> int {
    if (__builtin_expect(bitOffset >= bitSize, 0)) {
      // A group at the same width is read where it lies when the source's
      // buffer holds it; anything else as loadGroup does.
      const unsigned char *held;
      size_t n;
      if (freeEntry <= maxCode && s->clearFlag == 0 &&
          ((n = FontReaderAhead(&s->source, &held)) >= static_cast<size_t>(nBits) + 2 || n == 0)) {
        bitOffset = 0;
        bitSize = static_cast<int>(n) * 8 - (nBits - 1);
        if (n == 0) return -1;
        bitSize = nBits * 8 - (nBits - 1);
        group = held;
        FontReaderConsume(&s->source, static_cast<size_t>(nBits));
      } else {
        s->freeEntry = freeEntry;
        bool more = loadGroup(s);
        group = s->codeBuffer;
        nBits = s->nBits;
        maxCode = s->maxCode;
        mask = (1u << nBits) - 1;
        bitOffset = 0;
        bitSize = s->bitSize;
        if (!more) return -1;
      }
    }
    int code = extractCode(group, bitOffset, mask);
    bitOffset += nBits;
    return code;
  };

  // Slides the window when the room left is too small for a string of len
  // bytes.
  auto makeRoom = [&](int len) {
    if (windowEnd - out >= len) return;
    s->prevPos = prevPos;
    s->freeEntry = freeEntry;
    unsigned char *moved = slideWindow(s, out);
    limit -= out - moved;
    out = moved;
    prevPos = s->prevPos;
    windowBase = s->windowBase;
  };

  while (oldCode != -1 && out < limit) {
    int code = nextCode();
    int first;
    int len;
    if (code < kFirstLiteralsEnd) {
      if (code < 0) {
        oldCode = -1;
        break;
      }
      // A single byte; the window has room for it (see above).
      first = code;
      len = 1;
      *out = static_cast<unsigned char>(code);
    } else if (code == clearCode) {
      // After a clear the encoder starts afresh with a single byte; a longer
      // code would reach back into the discarded table.  That byte defines
      // no string (its entry would be 256, the clear code itself).
      s->clearFlag = 1;
      bitSize = 0;
      freeEntry = kClear + 1;
      code = nextCode();
      if (code < 0 || code >= kFirstLiteralsEnd) {
        oldCode = -1;
        break;
      }
      prevPos = windowBase + static_cast<uint32_t>(out - window);
      prevLength = 1;
      *out++ = static_cast<unsigned char>(code);
      oldCode = finChar = code;
      continue;
    } else if (code < freeEntry) {
      len = table[code].length;
      makeRoom(len);
      uint32_t from = table[code].position;
      if (from >= windowBase) {
        const unsigned char *src = window + (from - windowBase);
        first = src[0];
        copyString(out, src, len);
      } else {
        first = fromChain(out, len, code, table, suffix);
      }
    } else if (code == freeEntry) {
      // The string the encoder defined with this very step: the previous
      // string followed by its own first byte.
      len = prevLength + 1;
      makeRoom(len);
      first = finChar;
      if (prevPos >= windowBase) {
        copyString(out, window + (prevPos - windowBase), prevLength);
      } else {
        fromChain(out, prevLength, oldCode, table, suffix);
      }
      out[prevLength] = static_cast<unsigned char>(first);
    } else {
      // A code above the free entry names nothing yet: corrupt data.
      oldCode = -1;
      break;
    }

    if (__builtin_expect(freeEntry < maxCode, 1)) {
      table[freeEntry] = {prevPos, static_cast<uint16_t>(prevLength + 1), static_cast<uint16_t>(oldCode)};
      suffix[freeEntry++] = static_cast<unsigned char>(first);
    } else if (freeEntry < maxMaxCode) {
      table[freeEntry] = {prevPos, static_cast<uint16_t>(prevLength + 1), static_cast<uint16_t>(oldCode)};
      suffix[freeEntry++] = static_cast<unsigned char>(first);
      // The encoder widens its codes after this one: the rest of the group
      // is padding.
      if (freeEntry > maxCode) bitSize = 0;
    }
    prevPos = windowBase + static_cast<uint32_t>(out - window);
    prevLength = len;
    out += len;
    finChar = first;
    oldCode = code;
  }

  s->oldCode = oldCode;
  s->finChar = finChar;
  s->prevLength = prevLength;
  s->prevPos = prevPos;
  s->freeEntry = freeEntry;
  s->bitOffset = bitOffset;
  s->bitSize = bitSize;
  s->group = group;
  unsigned char *from = window + s->deliverFrom;
  s->outEnd = static_cast<size_t>(out - window);
  s->deliverFrom = s->outEnd;
  return BufFileDeliver(f, from, static_cast<int>(out - from));
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
