#include "util/miscutil.h"

#include <cstdlib>

namespace {
long allocCount = 0;     // requests since the hook was last set
long failAt = 0;         // 0: no injection
bool failPersistent = false;
size_t largest = 0;      // largest request since the hook was last set

void noteSize(size_t size) {
  if (size > largest) largest = size;
}

bool injectFailure() {
  ++allocCount;
  if (failAt == 0) return false;
  return failPersistent ? allocCount >= failAt : allocCount == failAt;
}
}  // namespace

void FontAllocFailAt(long n, bool persistent) {
  allocCount = 0;
  largest = 0;
  failAt = n > 0 ? n : 0;
  failPersistent = persistent;
}

long FontAllocCount() { return allocCount; }
size_t FontAllocLargest() { return largest; }

void *FontAlloc(size_t size) {
  noteSize(size);
  if (injectFailure() || size > kFontAllocLimit) return nullptr;
  return std::malloc(size ? size : 1);
}

void *FontRealloc(void *old, size_t size) {
  noteSize(size);
  if (injectFailure() || size > kFontAllocLimit) return nullptr;
  return std::realloc(old, size ? size : 1);
}

void FontFree(void *p) { std::free(p); }

void *FontAllocArray(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) {
    noteSize(SIZE_MAX);
    injectFailure();  // keep the request numbering independent of the sizes
    return nullptr;
  }
  return FontAlloc(count * size);
}

void *FontReallocArray(void *old, size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) {
    noteSize(SIZE_MAX);
    injectFailure();
    return nullptr;
  }
  return FontRealloc(old, count * size);
}

void CopyISOLatin1Lowered(char *dest, const char *source, int length) {
  auto *d = reinterpret_cast<unsigned char *>(dest);
  auto *s = reinterpret_cast<const unsigned char *>(source);
  for (; length > 0 && *s; --length, ++s, ++d) {
    unsigned c = *s;
    // A-Z, and the Latin-1 capitals 0xC0-0xDE except the sign 0xD7; the
    // tests compile without branches (font names mix cases at random).
    bool upper = c - 0x41u < 26u || (c - 0xC0u < 31u && c != 0xD7u);
    *d = static_cast<unsigned char>(c + (upper ? 0x20u : 0u));
  }
  *d = '\0';
}
