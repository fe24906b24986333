// The bounded reader that every binary font reader uses over its BufFile.
//
// It counts the bytes consumed since the start of the file (`position`) and
// notices when the data ends before a read or skip is satisfied: from then on
// `ended` is set, every read delivers zeros and reports failure, so a reader
// can check once at the end of a record instead of after every number.
//
// Counts read from a file are untrusted.  Nothing here allocates by a
// declared count: arrays grow as the data behind them arrives
// (FontReaderReserve), and a declared byte count is read in chunks
// (FontReaderReadBlock), so a 4 GB claim in a 1 KB file costs at most twice
// the bytes that really were there.
#pragma once

#include <cstddef>
#include <cstdint>

#include "fontfile/bufio.h"
#include "util/atom.h"
#include "util/miscutil.h"

struct FontReader {
  BufFile *file;
  uint64_t position;  // bytes consumed since the start of the file
  bool ended;         // the data ended before a request was satisfied
};

inline void FontReaderInit(FontReader *r, BufFile *file) {
  r->file = file;
  r->position = 0;
  r->ended = false;
}

// One byte 0..255; 0 once the data has ended.
inline unsigned FontReaderByte(FontReader *r) {
  ++r->position;
  int c = BufFileGetByte(r->file);
  if (__builtin_expect(c < 0, 0)) {
    r->ended = true;
    return 0;
  }
  return static_cast<unsigned>(c);
}

// The bytes buffered ahead, without taking them: their count, 0 (and
// `ended` set) at the end of the data.  A text reader looks at its lines
// where they lie and takes them with FontReaderConsume.
inline size_t FontReaderAhead(FontReader *r, const unsigned char **bytes) {
  int n = BufFileAhead(r->file, bytes);
  if (n <= 0) r->ended = true;
  return n > 0 ? static_cast<size_t>(n) : 0;
}
inline void FontReaderConsume(FontReader *r, size_t count) {
  BufFileConsume(r->file, static_cast<int>(count));
  r->position += count;
}

// Unsigned numbers of 2 and 4 bytes in either byte order, from memory.
inline uint32_t FontLoad32(const unsigned char *b, bool msbFirst) {
  if (msbFirst) return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
  return uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
}
inline uint16_t FontLoad16(const unsigned char *b, bool msbFirst) {
  return static_cast<uint16_t>(msbFirst ? b[0] << 8 | b[1] : b[1] << 8 | b[0]);
}

// The same from the stream.  Inline: the readers take most numbers one at a
// time, and nearly always the buffer holds them whole.
inline uint32_t FontReaderGet32(FontReader *r, bool msbFirst) {
  unsigned char b[4];
  BufFile *f = r->file;
  if (__builtin_expect(f->remaining >= 4, 1)) {
    __builtin_memcpy(b, f->cursor, 4);
    f->cursor += 4;
    f->remaining -= 4;
    r->position += 4;
  } else {
    for (auto &c : b) c = static_cast<unsigned char>(FontReaderByte(r));
  }
  return FontLoad32(b, msbFirst);
}

inline uint16_t FontReaderGet16(FontReader *r, bool msbFirst) {
  unsigned char b[2];
  BufFile *f = r->file;
  if (__builtin_expect(f->remaining >= 2, 1)) {
    b[0] = f->cursor[0];
    b[1] = f->cursor[1];
    f->cursor += 2;
    f->remaining -= 2;
    r->position += 2;
  } else {
    b[0] = static_cast<unsigned char>(FontReaderByte(r));
    b[1] = static_cast<unsigned char>(FontReaderByte(r));
  }
  return FontLoad16(b, msbFirst);
}

// Exactly count bytes into buf, or false (the data ended).
bool FontReaderRead(FontReader *r, void *buf, size_t count);
// Passes over count bytes; false when the stream says the data ended.  A
// skip past the end of a plain file can succeed; the next read then fails.
bool FontReaderSkip(FontReader *r, uint64_t count);
// Moves forward to the byte at `offset`; false when that lies behind.
bool FontReaderSkipTo(FontReader *r, uint64_t offset);

// Reads a block of `count` bytes into a new allocation that grows as the
// data arrives, plus a terminating NUL after the last byte.  False (nothing
// kept) when the data ends first or memory runs out; *outOfMemory tells
// which.
bool FontReaderReadBlock(FontReader *r, uint64_t count, char **block, bool *outOfMemory);

// A block of bytes of the file.  Where the stream's buffer holds it whole it
// is used where it lies, valid until the stream is read again (a font's
// string pool nearly always is, and is only looked at before reading on);
// otherwise it is read as FontReaderReadBlock reads, into `owned`.
struct FontBlock {
  const char *bytes = nullptr;
  FontPtr<char> owned;
};
bool FontReaderTakeBlock(FontReader *r, uint64_t count, FontBlock *block, bool *outOfMemory);

// Makes room for `need` elements of `size` bytes in *array (capacity in
// *capacity), doubling, so that an array filled one element per record read
// never holds more than twice what the file backed.
bool FontReaderReserve(void **array, size_t *capacity, size_t need, size_t size);

template <class T>
bool FontReaderReserveN(FontPtr<T> &array, size_t *capacity, size_t need) {
  if (need <= *capacity) return true;  // the common case, once per record
  void *p = array.get();
  bool ok = FontReaderReserve(&p, capacity, need, sizeof(T));
  array.release();
  array.reset(static_cast<T *>(p));
  return ok;
}

// The atom of the NUL-terminated text at `offset` of a string pool, or None
// when the text does not start and end inside the pool (the readers refuse
// such a file rather than index it half-read) or memory ran out.
Atom FontPoolAtom(const char *pool, uint32_t poolSize, uint32_t offset);
// Why FontPoolAtom gave None for that text: BadFont or AllocFailure.
int FontPoolAtomFailure(const char *pool, uint32_t poolSize, uint32_t offset);
