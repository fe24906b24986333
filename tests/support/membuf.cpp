#include "tests/support/membuf.h"

#include <cstdlib>
#include <cstring>

namespace {

struct MemBuf {
  unsigned char *bytes;
  size_t size;
  size_t position;
};

int memFill(BufFile *f) {
  auto *m = static_cast<MemBuf *>(f->state);
  if (m->position >= m->size) {
    f->remaining = 0;
    return BUFFILEEOF;
  }
  size_t n = m->size - m->position;
  if (n > BUFFILESIZE) n = BUFFILESIZE;
  std::memcpy(f->data, m->bytes + m->position, n);
  m->position += n;
  f->cursor = f->data + 1;
  f->remaining = static_cast<int>(n) - 1;
  return f->data[0];
}

int memSkip(BufFile *f, int count) { return BufFileSkipByFilling(f, count); }

int memClose(BufFile *f, int) {
  auto *m = static_cast<MemBuf *>(f->state);
  std::free(m->bytes);
  std::free(m);
  return 1;
}

}  // namespace

BufFile *MemBufOpen(const void *data, size_t size) {
  auto *m = static_cast<MemBuf *>(std::malloc(sizeof(MemBuf)));
  if (!m) return nullptr;
  m->bytes = static_cast<unsigned char *>(std::malloc(size ? size : 1));
  if (!m->bytes) {
    std::free(m);
    return nullptr;
  }
  if (size) std::memcpy(m->bytes, data, size);
  m->size = size;
  m->position = 0;
  BufFile *f = BufFileCreate(m, memFill, memSkip, memClose);
  if (!f) {
    std::free(m->bytes);
    std::free(m);
  }
  return f;
}
