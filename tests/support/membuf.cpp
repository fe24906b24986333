#include "tests/support/membuf.h"

#include <cstring>

#include "util/miscutil.h"

namespace {

// The copy and how far the stream has got in it.  Bytes pass through the
// stream's own buffer in blocks of BUFFILESIZE, as from a file.
struct MemState {
  size_t size;
  size_t next;  // first byte not yet in the stream's buffer
  unsigned char bytes[1];
};

MemState *stateOf(BufFile *f) { return static_cast<MemState *>(f->state); }

int memFill(BufFile *f) {
  MemState *s = stateOf(f);
  size_t n = s->size - s->next;
  if (n == 0) {
    f->remaining = 0;
    return BUFFILEEOF;
  }
  if (n > BUFFILESIZE) n = BUFFILESIZE;
  std::memcpy(f->data, s->bytes + s->next, n);
  s->next += n;
  f->cursor = f->data + 1;
  f->remaining = static_cast<int>(n) - 1;
  return f->data[0];
}

int memSkip(BufFile *f, int count) {
  if (count < 0) return BUFFILEEOF;
  if (count <= f->remaining) {
    f->cursor += count;
    f->remaining -= count;
    return count;
  }
  MemState *s = stateOf(f);
  size_t rest = static_cast<size_t>(count - f->remaining);
  f->remaining = 0;
  if (rest > s->size - s->next) {
    s->next = s->size;
    return BUFFILEEOF;
  }
  s->next += rest;
  return count;
}

int memClose(BufFile *f, int) {
  FontFree(f->state);
  return 1;
}

}  // namespace

BufFile *MemBufOpen(const void *data, size_t size) {
  auto *s = static_cast<MemState *>(FontAlloc(offsetof(MemState, bytes) + size + 1));
  if (!s) return nullptr;
  s->size = size;
  s->next = 0;
  if (size) std::memcpy(s->bytes, data, size);
  BufFile *f = BufFileCreate(s, memFill, memSkip, memClose);
  if (!f) FontFree(s);
  return f;
}
