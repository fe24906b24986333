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
  size_t n = left < static_cast<size_t>(m->chunk) ? left : static_cast<size_t>(m->chunk);
  if (n > 0) std::memcpy(f->data, m->bytes() + m->offset, n);
  m->offset += n;
  return BufFileDeliver(f, f->data, static_cast<int>(n));
}

// Like a seek on a regular file: passing the end is not an error, the next
// get just finds the end.
int memSkip(BufFile *f, int count) {
  if (count < 0) return BUFFILEEOF;
  size_t rest = static_cast<size_t>(count - BufFileSkipBuffered(f, count));
  auto *m = static_cast<MemBufState *>(f->state);
  size_t left = m->size - m->offset;
  m->offset += rest < left ? rest : left;
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
