#include "util/miscutil.h"

#include <cstdlib>
#include <cstring>

namespace {
long allocCount = 0;     // requests since the hook was last set
long failAt = 0;         // 0: no injection
bool failPersistent = false;
size_t largest = 0;      // largest request since the hook was last set
long refusals = 0;       // requests refused since the start

void *refused() {
  ++refusals;
  return nullptr;
}

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
long FontAllocRefusals() { return refusals; }
size_t FontAllocLargest() { return largest; }

bool FontAllocFromCache(size_t size) {
  noteSize(size);
  if (!injectFailure()) return true;
  refused();  // a refusal like any other, for FontAllocRefusals
  return false;
}

void *FontAlloc(size_t size) {
  noteSize(size);
  if (injectFailure() || size > kFontAllocLimit) return refused();
  void *p = std::malloc(size ? size : 1);
  return p ? p : refused();
}

void *FontRealloc(void *old, size_t size) {
  noteSize(size);
  if (injectFailure() || size > kFontAllocLimit) return refused();
  void *p = std::realloc(old, size ? size : 1);
  return p ? p : refused();
}

void FontFree(void *p) { std::free(p); }

void *FontAllocArray(size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) {
    noteSize(SIZE_MAX);
    injectFailure();  // keep the request numbering independent of the sizes
    return refused();
  }
  return FontAlloc(count * size);
}

void *FontReallocArray(void *old, size_t count, size_t size) {
  if (size != 0 && count > SIZE_MAX / size) {
    noteSize(SIZE_MAX);
    injectFailure();
    return refused();
  }
  return FontRealloc(old, count * size);
}

// Each word is xored in and the state multiplied by 0x9E3779B97F4A7C15,
// 2^64 divided by the golden ratio and made odd (Fibonacci hashing): the
// product spreads words that differ in a few low bits, such as names
// differing in a digit, over the whole range, and an odd multiplier loses
// nothing.  The multiply moves information only upwards, so the shift by 29
// (about half a word) folds the best-mixed high bits down into the low bits
// that the next step and a table's mask use.  The start value is the first
// 64 bits of the fraction of pi, a constant with no structure, xored with
// the length so that texts that differ only by trailing NULs differ.
uint32_t FontTextHash(const char *s, size_t n) {
  uint64_t h = 0x243F6A8885A308D3ull ^ n;
  for (; n >= 8; n -= 8, s += 8) {
    uint64_t w;
    std::memcpy(&w, s, 8);
    h = (h ^ w) * 0x9E3779B97F4A7C15ull;
    h ^= h >> 29;
  }
  uint64_t tail = 0;
  std::memcpy(&tail, s, n);
  h = (h ^ tail) * 0x9E3779B97F4A7C15ull;
  return static_cast<uint32_t>(h >> 32) ^ static_cast<uint32_t>(h);
}

void CopyISOLatin1Lowered(char *dest, const char *source, int length) {
  size_t n = length > 0 ? strnlen(source, static_cast<size_t>(length)) : 0;
  auto *d = reinterpret_cast<unsigned char *>(dest);
  auto *s = reinterpret_cast<const unsigned char *>(source);
  // A-Z, and the Latin-1 capitals 0xC0-0xDE except the sign 0xD7, move up by
  // 0x20.  With the length known first the loop has no early exit and the
  // compiler runs it on whole vectors.
  for (size_t i = 0; i < n; i++) {
    unsigned char c = s[i];
    bool upper = static_cast<unsigned char>(c - 0x41u) < 26u ||
                 (static_cast<unsigned char>(c - 0xC0u) < 31u && c != 0xD7u);
    d[i] = static_cast<unsigned char>(c + (upper ? 0x20u : 0u));
  }
  d[n] = '\0';
}
