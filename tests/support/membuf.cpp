#include "tests/support/membuf.h"

#include <cstdlib>
#include <cstring>

namespace {

struct MemSource {
  size_t size;
  size_t position;
  unsigned char bytes[1];  // size bytes
};

MemSource *sourceOf(BufFile *f) { return static_cast<MemSource *>(f->state); }

int memFill(BufFile *f) {
  MemSource *s = sourceOf(f);
  size_t left = s->size - s->position;
  if (left == 0) {
    f->remaining = 0;
    return BUFFILEEOF;
  }
  size_t n = left < static_cast<size_t>(BUFFILESIZE) ? left : static_cast<size_t>(BUFFILESIZE);
  std::memcpy(f->data, s->bytes + s->position, n);
  s->position += n;
  f->cursor = f->data + 1;
  f->remaining = static_cast<int>(n) - 1;
  return f->data[0];
}

int memClose(BufFile *f, int) {
  std::free(f->state);
  return 1;
}

}  // namespace

BufFile *MemBufOpen(const void *data, size_t size) {
  auto *s = static_cast<MemSource *>(std::malloc(sizeof(MemSource) + size));
  if (!s) return nullptr;
  s->size = size;
  s->position = 0;
  if (size) std::memcpy(s->bytes, data, size);
  BufFile *f = BufFileCreate(s, memFill, BufFileSkipByFilling, memClose);
  if (!f) std::free(s);
  return f;
}
