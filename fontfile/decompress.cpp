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
// All decoder state lives in the filter's record (LzwRun), so decoding stops
// after a buffer's worth of bytes (and the rest of the string in progress)
// and resumes there.  A fill decodes code after code in named steps: take
// the next code, produce its string, define the next entry.
#include "fontfile/decompress.h"

#include <cstddef>
#include <cstring>
#include <new>

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
// last byte is kept apart (LzwRun::suffix), read only when a string is rebuilt
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
// bytes past a group must be readable: two bytes of zeroed slack in the
// record for a group copied there, two more bytes held in the source's
// buffer for one read where it lies.
constexpr int kGroupSlack = 2;
constexpr int kCodeBufferSize = kMaxMaxBits + kGroupSlack;
// Without block mode no code clears the table: a value no code can have.
constexpr int kNoClear = 1 << kMaxMaxBits;

// The decoder's state between two codes, which each step of a fill reads
// and updates.  A fill takes it from the filter's record into a local
// record at its start and gives it back at its end: the bytes the steps
// write could otherwise alias any of its fields, which would then be
// reloaded after every byte.  Steps off the common path take it by value
// and return it, so that its address never escapes.
struct LzwRun {
  // The code reader.
  const unsigned char *group;  // the group being read (see takeGroup)
  int bitOffset;  // bit position of the next code in the group
  int bitSize;    // bit positions in the group at which a whole code begins;
                  // 0 when the group has ended early (a clear, a wider code)
  int nBits;      // current code width
  uint32_t mask;  // (1 << nBits) - 1
  int maxCode;    // largest code of the current width
  bool cleared;   // a clear was seen: the next group is a fresh 9-bit one
  // The table.
  int freeEntry;     // number of the next new string
  int oldCode;       // previous code; -1 once the data has ended
  int finChar;       // first byte of the most recent string
  int prevLength;    // length of the most recent string
  uint32_t prevPos;  // output position of the most recent string
  // The window.
  unsigned char *out;    // where the next string goes
  unsigned char *limit;  // a fill decodes no further string from here on
  uint32_t windowBase;   // output position of the window's first byte
  // Fixed for the stream.
  int clearCode;   // kClear in block mode, else kNoClear
  int maxMaxCode;  // number of table entries, 2^maxBits
  Entry *table;    // indexed by code; entries below 256 are not used
  unsigned char *suffix;  // the same, the last byte of each string
  unsigned char *window;  // kWindowSize bytes and kCopyBlock of slack
};

struct LzwFilterState {
  FontReader source;
  // The group being read where it lies in the source's buffer: entered
  // when the group is taken, left when it is spent (or the stream closes).
  FontFrame groupFrame;
  LzwRun run;
  int maxBits;
  size_t deliverFrom;  // window offset of the first byte not yet delivered
  unsigned char codeBuffer[kCodeBufferSize];  // a group copied
  // The tables and the window follow the record in the same block.
};

int BufCompressedFill(BufFile *f);
int BufCompressedSkip(BufFile *f, int count);
int BufCompressedClose(BufFile *f, int doClose);

// Copies the next group of codes into the record, at a new width when the
// table has outgrown the current one or was cleared.  Its bit size is not
// positive at the end of the code stream.
__attribute__((noinline)) LzwRun loadGroup(LzwFilterState *s, LzwRun r) {
  if (r.freeEntry > r.maxCode) {
    ++r.nBits;
    r.maxCode = r.nBits == s->maxBits ? r.maxMaxCode : (1 << r.nBits) - 1;
  }
  if (r.cleared) {
    r.nBits = kInitBits;
    r.maxCode = (1 << kInitBits) - 1;
    r.cleared = false;
  }
  r.mask = (1u << r.nBits) - 1;
  size_t got = FontReaderReadUpTo(&s->source, s->codeBuffer, static_cast<size_t>(r.nBits));
  r.group = s->codeBuffer;
  // A group cut short: only the codes that lie wholly in its bytes count.
  r.bitOffset = 0;
  r.bitSize = static_cast<int>(got) * 8 - (r.nBits - 1);
  return r;
}

// Takes the next group of codes; false at the end of the code stream.  A
// group at the same width is read where it lies, as a frame, when the
// source's buffer holds it and the slack after it; anything else is copied
// by loadGroup.
inline bool takeGroup(LzwFilterState *s, LzwRun &r) {
  FontReaderExitFrame(&s->groupFrame);  // the last group is spent
  if (r.freeEntry <= r.maxCode && !r.cleared) {
    const unsigned char *held;
    size_t n = FontReaderAhead(&s->source, &held);
    auto width = static_cast<size_t>(r.nBits);
    if (n >= width + kGroupSlack) {
      bool outOfMemory;  // never: the buffer holds the frame
      FontReaderEnterFrame(&s->source, width, &s->groupFrame, &outOfMemory);
      r.group = reinterpret_cast<const unsigned char *>(s->groupFrame.bytes);
      r.bitOffset = 0;
      r.bitSize = r.nBits * 8 - (r.nBits - 1);
      return true;
    }
    // The end of the data: asking the source again would read the file
    // again.
    if (n == 0) return false;
  }
  r = loadGroup(s, r);
  return r.bitSize > 0;
}

// The code at bit `offset` of the group.
inline int extractCode(const unsigned char *group, int offset, uint32_t mask) {
  const unsigned char *p = group + (offset >> 3);
  uint32_t bits;
  std::memcpy(&bits, p, sizeof bits);
  return static_cast<int>((bits >> (offset & 7)) & mask);
}

// The next code of the stream, or -1 at its end.
inline int nextCode(LzwFilterState *s, LzwRun &r) {
  if (__builtin_expect(r.bitOffset >= r.bitSize, 0) && !takeGroup(s, r)) return -1;
  int code = extractCode(r.group, r.bitOffset, r.mask);
  r.bitOffset += r.nBits;
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
// byte first; its first byte, where the chain ends at a single byte (see
// defineEntry for why it does, after len - 1 links).
inline int fromChain(unsigned char *out, int len, int code, const Entry *table, const unsigned char *suffix) {
  unsigned char *p = out + len;
  while (p > out + 1) {
    *--p = suffix[code];
    code = table[code].prefix;
  }
  *out = static_cast<unsigned char>(code);
  return code;
}

// An output position, after the origin moved up to `base` (see Entry).
inline uint32_t rebased(uint32_t pos, uint32_t base) { return pos >= base ? pos - base + 1 : 0; }

// Moves the window's last kHistory bytes (those before r.out, with the
// decoded bytes not yet delivered among them) to its start.
__attribute__((noinline)) LzwRun slideWindow(LzwFilterState *s, LzwRun r) {
  size_t used = static_cast<size_t>(r.out - r.window);
  if (used <= kHistory) return r;
  size_t shift = used - kHistory;
  std::memmove(r.window, r.window + shift, kHistory);
  s->deliverFrom -= shift;
  r.out -= shift;
  r.limit -= shift;
  r.windowBase += static_cast<uint32_t>(shift);
  if (r.windowBase >= kRebaseAt) {
    int firstEntry = r.clearCode == kClear ? kClear + 1 : kFirstLiteralsEnd;
    for (int code = firstEntry; code < r.freeEntry; code++)
      r.table[code].position = rebased(r.table[code].position, r.windowBase);
    r.prevPos = rebased(r.prevPos, r.windowBase);
    r.windowBase = 1;
  }
  return r;
}

// Slides the window when the room left is too small for a string of len
// bytes.
inline void makeRoom(LzwFilterState *s, LzwRun &r, int len) {
  if (r.window + kWindowSize - r.out < len) r = slideWindow(s, r);
}

// A string written to the window: its first byte and its length.
struct String {
  int first;
  int length;
};

// Writes the string of `code` at r.out: a single byte, a copy of an
// earlier string still in the window, or a rebuild from the code's prefix
// chain.  Length 0 when the code names no string yet (corrupt data).  The
// code is neither the end of the stream nor the clear code.
inline String produceString(LzwFilterState *s, LzwRun &r, int code) {
  if (code < kFirstLiteralsEnd) {
    // The window has room for a fill's worth of single bytes (beginFill).
    *r.out = static_cast<unsigned char>(code);
    return {code, 1};
  }
  if (code < r.freeEntry) {
    int len = r.table[code].length;
    makeRoom(s, r, len);
    uint32_t from = r.table[code].position;
    if (from < r.windowBase) return {fromChain(r.out, len, code, r.table, r.suffix), len};
    const unsigned char *src = r.window + (from - r.windowBase);
    int first = src[0];
    copyString(r.out, src, len);
    return {first, len};
  }
  if (code == r.freeEntry) {
    // The string the encoder defined with this very step: the previous
    // string followed by its own first byte.
    int len = r.prevLength + 1;
    makeRoom(s, r, len);
    if (r.prevPos >= r.windowBase)
      copyString(r.out, r.window + (r.prevPos - r.windowBase), r.prevLength);
    else
      fromChain(r.out, r.prevLength, r.oldCode, r.table, r.suffix);
    r.out[r.prevLength] = static_cast<unsigned char>(r.finChar);
    return {r.finChar, len};
  }
  // A code above the free entry names nothing yet.
  return {0, 0};
}

// Defines the next entry: the previous string followed by the first byte of
// the current one.  Its length is one more than that of its prefix, the
// previous code, whose string is prevLength long; a single byte's length is
// 1.  So every entry's length is one more than its prefix's, and its prefix
// is an older code: the chain from an entry of length n reaches a single
// byte after exactly n - 1 links, which is what fromChain walks.  The
// length fits its 16 bits.
static_assert(kMaxStringLength <= UINT16_MAX);
inline void defineEntry(LzwRun &r, int first) {
  if (__builtin_expect(r.freeEntry < r.maxCode, 1)) {
    r.table[r.freeEntry] = {r.prevPos, static_cast<uint16_t>(r.prevLength + 1), static_cast<uint16_t>(r.oldCode)};
    r.suffix[r.freeEntry++] = static_cast<unsigned char>(first);
  } else if (r.freeEntry < r.maxMaxCode) {
    r.table[r.freeEntry] = {r.prevPos, static_cast<uint16_t>(r.prevLength + 1), static_cast<uint16_t>(r.oldCode)};
    r.suffix[r.freeEntry++] = static_cast<unsigned char>(first);
    // The encoder widens its codes after this one: the rest of the group
    // is padding.
    if (r.freeEntry > r.maxCode) r.bitSize = 0;
  }
}

// Makes the string just written at r.out the most recent one, of `code`.
inline void finishString(LzwRun &r, int code, String str) {
  r.prevPos = r.windowBase + static_cast<uint32_t>(r.out - r.window);
  r.prevLength = str.length;
  r.out += str.length;
  r.finChar = str.first;
  r.oldCode = code;
}

// After a clear the encoder starts afresh with a single byte; a longer code
// would reach back into the discarded table.  That byte defines no string
// (its entry would be 256, the clear code itself).  False when the data
// ends instead.
inline bool restartAfterClear(LzwFilterState *s, LzwRun &r) {
  r.cleared = true;
  r.bitSize = 0;
  r.freeEntry = kClear + 1;
  int code = nextCode(s, r);
  if (code < 0 || code >= kFirstLiteralsEnd) return false;
  *r.out = static_cast<unsigned char>(code);
  finishString(r, code, {code, 1});
  return true;
}

// Decodes one code: writes its string and defines the next entry.  False
// when the data ends there, at the end of the code stream or at corrupt
// data.
inline bool decodeCode(LzwFilterState *s, LzwRun &r) {
  int code = nextCode(s, r);
  if (__builtin_expect(code < kFirstLiteralsEnd, 1)) {
    if (code < 0) return false;
  } else if (code == r.clearCode) {
    return restartAfterClear(s, r);
  }
  String str = produceString(s, r, code);
  if (str.length == 0) return false;
  defineEntry(r, str.first);
  finishString(r, code, str);
  return true;
}

// The state of a new stream, whose tables and window are those given.
LzwRun startRun(bool blockMode, int maxBits, Entry *table, unsigned char *suffix, unsigned char *window) {
  LzwRun r;
  r.group = nullptr;
  r.bitOffset = r.bitSize = 0;
  r.nBits = kInitBits;
  r.mask = (1u << kInitBits) - 1;
  r.maxCode = (1 << kInitBits) - 1;
  r.cleared = false;
  r.freeEntry = blockMode ? kClear + 1 : kFirstLiteralsEnd;
  r.oldCode = -1;
  r.finChar = 0;
  r.prevLength = 1;
  r.prevPos = 1;
  r.out = r.limit = window;
  r.windowBase = 1;
  r.clearCode = blockMode ? kClear : kNoClear;
  r.maxMaxCode = 1 << maxBits;
  r.table = table;
  r.suffix = suffix;
  r.window = window;
  return r;
}

// Reads the stream's first code, which can only be a single byte; anything
// else is corrupt data and would make the next string refer to an entry
// that was never set.
void startData(LzwFilterState *s) {
  LzwRun r = s->run;
  int code = nextCode(s, r);
  if (code >= 0 && code < kFirstLiteralsEnd) {
    r.oldCode = r.finChar = code;
    *r.out++ = static_cast<unsigned char>(code);
  }
  s->run = r;
}

}  // namespace

BufFile *BufFilePushCompressed(BufFile *source, bool *outOfMemory) {
  FontReader reader;
  FontReaderInit(&reader, source);
  unsigned char header[sizeof magic_header + 1];
  if (!FontReaderRead(&reader, header, sizeof header) ||
      std::memcmp(header, magic_header, sizeof magic_header) != 0)
    return BufFilePushRefused(outOfMemory, false);
  int flags = header[sizeof magic_header];
  int maxBits = flags & kBitMask;
  if (maxBits < kMinMaxBits || maxBits > kMaxMaxBits) return BufFilePushRefused(outOfMemory, false);
  int maxMaxCode = 1 << maxBits;

  // One block: the record, the tables (one entry per code) and the window.
  size_t tableOffset = (sizeof(LzwFilterState) + alignof(Entry) - 1) & ~(alignof(Entry) - 1);
  size_t suffixOffset = tableOffset + sizeof(Entry) * static_cast<size_t>(maxMaxCode);
  size_t windowOffset = suffixOffset + static_cast<size_t>(maxMaxCode);
  size_t blockSize = windowOffset + kWindowSize + kCopyBlock;
  FontPtr<LzwFilterState> block(static_cast<LzwFilterState *>(FontAlloc(blockSize)));
  if (!block) return BufFilePushRefused(outOfMemory, true);
  LzwFilterState *s = block.get();
  // Nothing of the block is cleared, so that a stream costs what it uses
  // and not the 670 KiB of 16-bit tables: every field of the record is set
  // below, and every entry is written (when the free entry passes it)
  // before a code may name it, since a code above the free entry ends the
  // data and the free entry itself is decoded from the previous string.
  // Window bytes are delivered or copied only after they were written.
  auto *raw = reinterpret_cast<unsigned char *>(s);
  s->source = reader;
  new (&s->groupFrame) FontFrame();
  s->run = startRun((flags & kBlockMode) != 0, maxBits, reinterpret_cast<Entry *>(raw + tableOffset),
                    raw + suffixOffset, raw + windowOffset);
  s->maxBits = maxBits;
  s->deliverFrom = 0;
  // The slack after a group cut short is read and masked off: it needs a
  // value all the same.
  std::memset(s->codeBuffer, 0, sizeof s->codeBuffer);
  startData(s);

  BufFile *f = BufFileCreate(s, BufCompressedFill, BufCompressedSkip, BufCompressedClose);
  if (!f) {
    s->groupFrame.~FontFrame();
    return BufFilePushRefused(outOfMemory, true);
  }
  block.release();
  return f;
}

namespace {

// The state of a fill, its room made: a fill writes single bytes without a
// check, so the window has room for a fill's worth of them.
LzwRun beginFill(LzwFilterState *s) {
  LzwRun r = s->run;
  if (r.oldCode != -1 && r.window + kWindowSize - r.out < BUFFILESIZE) r = slideWindow(s, r);
  r.limit = r.window + s->deliverFrom + BUFFILESIZE;
  return r;
}

// Decodes up to a buffer's worth of bytes (and the rest of the last string)
// and delivers them with what the last fill left undelivered (the first
// string of the stream).
int BufCompressedFill(BufFile *f) {
  auto *s = static_cast<LzwFilterState *>(f->state);
  LzwRun r = beginFill(s);
  while (r.oldCode != -1 && r.out < r.limit)
    if (!decodeCode(s, r)) r.oldCode = -1;  // the data has ended for good
  s->run = r;
  unsigned char *from = r.window + s->deliverFrom;
  s->deliverFrom = static_cast<size_t>(r.out - r.window);
  return BufFileDeliver(f, from, static_cast<int>(r.out - from));
}

int BufCompressedSkip(BufFile *f, int count) { return BufFileSkipByFilling(f, count); }

int BufCompressedClose(BufFile *f, int doClose) {
  auto *s = static_cast<LzwFilterState *>(f->state);
  BufFile *source = s->source.file;
  s->groupFrame.~FontFrame();  // leaves the group, taking its bytes
  FontFree(s);
  BufFileClose(source, doClose);
  return 1;
}

}  // namespace
