// The bounded reader that every parser of file contents uses over its
// BufFile: the font readers, the compressed-data headers, and the text
// readers (encoding files, fonts.scale).
//
// It counts the bytes consumed since the start of the file (`position`) and
// notices when the data ends before a read or skip is satisfied: from then on
// `ended` is set, every read delivers zeros and reports failure, so a reader
// can check once at the end of a record instead of after every number.  Text
// readers take characters that tell the end of the data apart from a NUL
// (FontReaderChar, FontReaderPeek) or look at the buffered bytes where they
// lie (FontReaderAhead) and take what they used (FontReaderConsume).
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
#include "util/fontstruct.h"
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

// The byte readers, FontReaderChar and FontReaderPeek, tell the end of the
// data apart from a NUL as the stream does: -1 (BUFFILEEOF).  Numbers and
// records are read with the readers below them, which give zeros at the
// end.

// One character 0..255, or -1 (BUFFILEEOF) once the data has ended.
inline int FontReaderChar(FontReader *r) {
  int c = BufFileGetByte(r->file);
  if (__builtin_expect(c < 0, 0)) {
    r->ended = true;
    return BUFFILEEOF;
  }
  ++r->position;
  return c;
}

// Gives back the character that the last FontReaderChar returned (not the
// end of the data), so that the next read returns it again.  Only once.
inline void FontReaderUnget(FontReader *r) {
  BufFileUngetByte(r->file);
  --r->position;
}

// The bytes buffered ahead, without taking them: their count, 0 (and
// `ended` set) at the end of the data.  A reader looks at them where they
// lie and takes what it used with FontReaderConsume; they stay in place
// until the reader is used again.
inline size_t FontReaderAhead(FontReader *r, const unsigned char **bytes) {
  int n = BufFileAhead(r->file, bytes);
  if (__builtin_expect(n <= 0, 0)) {
    r->ended = true;
    return 0;
  }
  return static_cast<size_t>(n);
}
// Takes count bytes of those that FontReaderAhead showed.
inline void FontReaderConsume(FontReader *r, size_t count) {
  BufFileConsume(r->file, static_cast<int>(count));
  r->position += count;
}

// The next character without taking it, or -1 at the end of the data.
inline int FontReaderPeek(FontReader *r) {
  const unsigned char *b;
  return FontReaderAhead(r, &b) > 0 ? b[0] : BUFFILEEOF;
}

// The two skips.  Each is false, with `ended` set, when the data ends first.
//
// Passes over count bytes; `position` moves by count, as a read's does.
// The stream skips (a plain file seeks) all but the last byte, which is
// taken, so that a skip past the end of a plain file fails too.
bool FontReaderSkip(FontReader *r, uint64_t count);
// Passes over the bytes up to and including the next `byte`, taking the
// buffered bytes in bulk.
bool FontReaderSkipPast(FontReader *r, unsigned char byte);

// Unsigned numbers of 2 and 4 bytes in either byte order, from memory.
inline uint32_t FontLoad32(const unsigned char *b, bool msbFirst) {
  if (msbFirst) return uint32_t{b[0]} << 24 | uint32_t{b[1]} << 16 | uint32_t{b[2]} << 8 | b[3];
  return uint32_t{b[3]} << 24 | uint32_t{b[2]} << 16 | uint32_t{b[1]} << 8 | b[0];
}
inline uint16_t FontLoad16(const unsigned char *b, bool msbFirst) {
  return static_cast<uint16_t>(msbFirst ? b[0] << 8 | b[1] : b[1] << 8 | b[0]);
}

// The same from the stream.  Inline: the readers take most numbers one at a
// time, and nearly always the buffer holds them whole.  A number that the
// buffer does not hold whole is read a byte at a time, out of line.
uint32_t FontReaderGetAcross(FontReader *r, int size, bool msbFirst);

inline uint32_t FontReaderGet32(FontReader *r, bool msbFirst) {
  const unsigned char *held;
  if (__builtin_expect(BufFileAhead(r->file, &held) >= 4, 1)) {
    uint32_t v = FontLoad32(held, msbFirst);
    FontReaderConsume(r, 4);
    return v;
  }
  return FontReaderGetAcross(r, 4, msbFirst);
}

inline uint16_t FontReaderGet16(FontReader *r, bool msbFirst) {
  const unsigned char *held;
  if (__builtin_expect(BufFileAhead(r->file, &held) >= 2, 1)) {
    uint16_t v = FontLoad16(held, msbFirst);
    FontReaderConsume(r, 2);
    return v;
  }
  return static_cast<uint16_t>(FontReaderGetAcross(r, 2, msbFirst));
}

// Up to count bytes into buf, fewer only when the data ends first (then
// `ended` is set); the number read.  Inline when the buffer holds them all:
// the readers and the LZW filter read small records and groups.
size_t FontReaderReadAcross(FontReader *r, void *buf, size_t count);
inline size_t FontReaderReadUpTo(FontReader *r, void *buf, size_t count) {
  if (count == 0) return 0;
  const unsigned char *held;
  int n = BufFileAhead(r->file, &held);
  if (__builtin_expect(count <= static_cast<size_t>(n), 1)) {
    __builtin_memcpy(buf, held, count);
    FontReaderConsume(r, count);
    return count;
  }
  // The fill behind an empty buffer found the end: asking the stream again
  // would only cost another read of the file.
  if (n <= 0) {
    r->ended = true;
    return 0;
  }
  return FontReaderReadAcross(r, buf, count);
}

// Up to count bytes into buf for reading a file to its end, without the
// read that would find nothing (BufFileReadSome); *ended as there.
inline size_t FontReaderReadSome(FontReader *r, void *buf, size_t count, bool *ended) {
  int want = count < size_t{1} << 30 ? static_cast<int>(count) : 1 << 30;
  int got = BufFileReadSome(r->file, static_cast<char *>(buf), want, ended);
  r->position += static_cast<uint64_t>(got);
  return static_cast<size_t>(got);
}

// Exactly count bytes into buf, or false (the data ended: the bytes missing
// are zeros).
inline bool FontReaderRead(FontReader *r, void *buf, size_t count) {
  size_t got = FontReaderReadUpTo(r, buf, count);
  if (__builtin_expect(got == count, 1)) return true;
  __builtin_memset(static_cast<char *>(buf) + got, 0, count - got);
  r->position += count - got;
  return false;
}
// Reads a block of `count` bytes into a new allocation that grows as the
// data arrives, plus a terminating NUL after the last byte.  False (nothing
// kept) when the data ends first or memory runs out; *outOfMemory tells
// which.
bool FontReaderReadBlock(FontReader *r, uint64_t count, char **block, bool *outOfMemory);

// A frame: `count` bytes of the file used where they lie, between an
// explicit enter and exit.  Entering shows the bytes at `bytes`: in the
// stream's buffer when it holds them whole (a font's string pool nearly
// always is), else read as FontReaderReadBlock reads, into an allocation of
// the frame's own.  Bytes in the buffer stay unread until the exit, which
// takes them, so nothing can refill the buffer under them; the reader is
// not used between the two.  A frame still entered is exited when it goes
// out of scope.  Entering a frame that is entered already is a mistake.
// False (nothing entered) when the data ends first or memory runs out;
// *outOfMemory tells which.
struct FontFrame {
  const char *bytes = nullptr;
  FontReader *inPlace = nullptr;  // the reader whose buffer holds the bytes
  size_t count = 0;
  FontPtr<char> owned;
  FontFrame() = default;
  FontFrame(const FontFrame &) = delete;
  FontFrame &operator=(const FontFrame &) = delete;
  inline ~FontFrame();
};
bool FontReaderEnterFrame(FontReader *r, uint64_t count, FontFrame *frame, bool *outOfMemory);
inline void FontReaderExitFrame(FontFrame *frame) {
  if (frame->inPlace) FontReaderConsume(frame->inPlace, frame->count);
  frame->inPlace = nullptr;
  frame->owned.reset();
  frame->bytes = nullptr;
}
FontFrame::~FontFrame() { FontReaderExitFrame(this); }

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
// The names of `count` property records, and the values of those that
// `isString(i)` says hold a string, from pool offsets made atoms: Successful,
// or why a text could not be one.
template <class IsString>
int FontPoolPropAtoms(const char *pool, uint32_t poolSize, FontProp *props, uint32_t count,
                      IsString isString) {
  for (uint32_t i = 0; i < count; i++) {
    FontProp &p = props[i];
    uint32_t offset = p.name;
    p.name = FontPoolAtom(pool, poolSize, offset);
    if (p.name == None) return FontPoolAtomFailure(pool, poolSize, offset);
    if (!isString(i)) continue;
    offset = static_cast<uint32_t>(p.value);
    Atom value = FontPoolAtom(pool, poolSize, offset);
    if (value == None) return FontPoolAtomFailure(pool, poolSize, offset);
    p.value = static_cast<int32_t>(value);
  }
  return Successful;
}
