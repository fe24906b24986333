#include "fontfile/fontreader.h"

#include <climits>
#include <cstring>

#include "util/fontstruct.h"
#include "util/growarray.h"

namespace {
// BufFileRead and BufFileSkip take int counts: larger requests go in chunks
// of 2^30, the largest power of two an int holds.
constexpr uint64_t kChunk = uint64_t{1} << 30;
// The first allocation of a block read; it doubles as the data arrives.  A
// page: a font's string pool or a text block of a few lines fits at once,
// and a false count costs at most this much before the data must back it.
constexpr size_t kFirstBlock = 4096;
}  // namespace

bool FontReaderSkipPast(FontReader *r, unsigned char byte) {
  for (;;) {
    const unsigned char *bytes;
    size_t held = FontReaderAhead(r, &bytes);
    if (held == 0) return false;
    const void *found = std::memchr(bytes, byte, held);
    if (found) {
      FontReaderConsume(r, static_cast<size_t>(static_cast<const unsigned char *>(found) - bytes) + 1);
      return true;
    }
    FontReaderConsume(r, held);
  }
}

uint32_t FontReaderGetAcross(FontReader *r, int size, bool msbFirst) {
  unsigned char b[4];
  FontReaderRead(r, b, static_cast<size_t>(size));  // zeros past the end
  return size == 4 ? FontLoad32(b, msbFirst) : FontLoad16(b, msbFirst);
}

size_t FontReaderReadAcross(FontReader *r, void *buf, size_t count) {
  auto *out = static_cast<char *>(buf);
  size_t done = 0;
  while (done < count) {
    size_t left = count - done;
    int want = static_cast<int>(left < kChunk ? left : kChunk);
    int got = BufFileRead(r->file, out + done, want);
    r->position += static_cast<uint64_t>(got);
    done += static_cast<size_t>(got);
    if (got < want) {
      r->ended = true;
      break;
    }
  }
  return done;
}

bool FontReaderSkip(FontReader *r, uint64_t count) {
  r->position += count;
  while (count > 0) {
    int want = static_cast<int>(count < kChunk ? count : kChunk);
    // A plain file's seek passes its end without complaint: each chunk's
    // last byte is taken to prove the data reached it, which also ends a
    // length of 2^64 at the end of the data instead of spinning through
    // billions of chunks.
    if (BufFileSkip(r->file, want - 1) < 0 || BufFileGetByte(r->file) < 0) {
      r->ended = true;
      return false;
    }
    count -= static_cast<uint64_t>(want);
  }
  return true;
}

bool FontReaderReadBlock(FontReader *r, uint64_t count, char **block, bool *outOfMemory) {
  *block = nullptr;
  *outOfMemory = false;
  FontPtr<char> data;
  size_t capacity = 0;  // bytes allocated, the NUL included
  uint64_t done = 0;
  while (done < count || capacity == 0) {
    // Grow only as far as the bytes already read justify (or the first
    // chunk), and never beyond what was declared.
    // A block beyond the allocation ceiling is refused by FontRealloc.
    uint64_t whole = count < kFontAllocLimit ? count + 1 : uint64_t{kFontAllocLimit} + 1;
    void *grown = data.get();
    if (!GrowRoom(&grown, &capacity, capacity + 1, 1, kFirstBlock, static_cast<size_t>(whole))) {
      *outOfMemory = true;
      return false;
    }
    data.release();
    data.reset(static_cast<char *>(grown));
    size_t want = capacity - 1 - static_cast<size_t>(done);
    if (!FontReaderRead(r, data.get() + done, want)) return false;
    done += want;
  }
  data.get()[count] = '\0';
  *block = data.release();
  return true;
}

bool FontReaderEnterFrame(FontReader *r, uint64_t count, FontFrame *frame, bool *outOfMemory) {
  *outOfMemory = false;
  const unsigned char *held = reinterpret_cast<const unsigned char *>("");
  if (count == 0 || count <= static_cast<uint64_t>(BufFileAhead(r->file, &held))) {
    frame->bytes = reinterpret_cast<const char *>(held);
    frame->inPlace = r;
    frame->count = static_cast<size_t>(count);
    return true;
  }
  char *bytes = nullptr;
  if (!FontReaderReadBlock(r, count, &bytes, outOfMemory)) return false;
  frame->owned.reset(bytes);
  frame->bytes = bytes;
  return true;
}

bool FontReaderReserve(void **array, size_t *capacity, size_t need, size_t size) {
  return GrowRoom(array, capacity, need, size);
}

namespace {
// The NUL that ends the text at `offset` inside the pool, or none.
const char *poolTextEnd(const char *pool, uint32_t poolSize, uint32_t offset) {
  if (offset >= poolSize) return nullptr;
  return static_cast<const char *>(std::memchr(pool + offset, '\0', poolSize - offset));
}
}  // namespace

Atom FontPoolAtom(const char *pool, uint32_t poolSize, uint32_t offset) {
  const char *end = poolTextEnd(pool, poolSize, offset);
  if (!end) return None;
  const char *text = pool + offset;
  return MakeAtom(text, static_cast<unsigned>(end - text), 1);
}

int FontPoolAtomFailure(const char *pool, uint32_t poolSize, uint32_t offset) {
  return poolTextEnd(pool, poolSize, offset) ? AllocFailure : BadFont;
}
