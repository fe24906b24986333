#include "tests/support/membuf.h"

#include <cstdlib>
#include <cstring>

namespace {

struct MemBufState {
  size_t size;
  size_t offset;  // next byte to deliver
  int chunk;
  // The copy of the bytes follows the record.
  unsigned char *bytes() { return reinterpret_cast<unsigned char *>(this + 1); }
};

int memFill(BufFile *f) {
  auto *m = static_cast<MemBufState *>(f->state);
  size_t left = m->size - m->offset;
  if (left == 0) {
    f->remaining = 0;
    return BUFFILEEOF;
  }
  size_t n = left < static_cast<size_t>(m->chunk) ? left : static_cast<size_t>(m->chunk);
  std::memcpy(f->data, m->bytes() + m->offset, n);
  m->offset += n;
  f->cursor = f->data + 1;
  f->remaining = static_cast<int>(n) - 1;
  return f->data[0];
}

// Like a seek on a regular file: passing the end is not an error, the next
// get just finds the end.
int memSkip(BufFile *f, int count) {
  if (count < 0) return BUFFILEEOF;
  if (count <= f->remaining) {
    f->cursor += count;
    f->remaining -= count;
    return count;
  }
  auto *m = static_cast<MemBufState *>(f->state);
  size_t rest = static_cast<size_t>(count - f->remaining);
  size_t left = m->size - m->offset;
  m->offset += rest < left ? rest : left;
  f->remaining = 0;
  return count;
}

int memClose(BufFile *f, int) {
  std::free(f->state);
  return 1;
}

}  // namespace

BufFile *MemBufOpen(const void *data, size_t size, int chunk) {
  // Plain malloc for the copy: only the stream record counts as one of the
  // library's allocations.
  auto *m = static_cast<MemBufState *>(std::malloc(sizeof(MemBufState) + size));
  if (!m) return nullptr;
  m->size = size;
  m->offset = 0;
  m->chunk = chunk < 1 ? 1 : chunk > BUFFILESIZE ? BUFFILESIZE : chunk;
  if (size) std::memcpy(m->bytes(), data, size);
  BufFile *f = BufFileCreate(m, memFill, memSkip, memClose);
  if (!f) std::free(m);
  return f;
}
