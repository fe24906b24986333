// util/ is the bottom layer of the font library: the allocation wrappers
// (here), the growth policy and growable array (growarray.h), atoms, the font
// records and status codes (fontstruct.h), accelerator flags and bitmap
// helpers.  It includes nothing of the layers above it.
//
// Allocation wrappers and small text helpers shared by the whole font library.
//
// Every allocation of the library goes through FontAlloc / FontRealloc /
// FontFree.  They differ from malloc in three ways that callers rely on:
//   - a result of none always means failure (a request of 0 bytes gets 1);
//   - no single request may exceed kFontAllocLimit: a reader that is asked
//     by a hostile file for gigabytes gets an ordinary allocation failure;
//   - a test hook can make the Nth allocation fail, so that every failure
//     path can be driven.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

constexpr size_t kFontAllocLimit = size_t{64} << 20;

void *FontAlloc(size_t size);
void *FontRealloc(void *old, size_t size);  // old == none allocates
void FontFree(void *p);                     // none does nothing

// count * size with an overflow check; none when the product overflows.
void *FontAllocArray(size_t count, size_t size);
void *FontReallocArray(void *old, size_t count, size_t size);

template <class T>
T *FontAllocN(size_t count) {
  return static_cast<T *>(FontAllocArray(count, sizeof(T)));
}

// Owning pointers that release through FontFree, so that a failed step
// releases what it made without a hand-written clean-up ladder.
struct FontFreeDeleter {
  void operator()(void *p) const { FontFree(p); }
};
template <class T>
using FontPtr = std::unique_ptr<T, FontFreeDeleter>;

// Test hook.  FontAllocFailAt(n) makes the nth allocation counted from now
// fail (n >= 1); with `persistent`, that one and every later one fail.
// FontAllocFailAt(0) switches injection off.  FontAllocCount() is the number
// of allocation requests made since the last FontAllocFailAt call.
void FontAllocFailAt(long n, bool persistent = false);
long FontAllocCount();
// The number of requests refused since the process started, by the test
// hook, the size ceiling or the system alike.  Lets a caller of code that
// reports failure without a reason tell memory from anything else.
long FontAllocRefusals();
// The largest single request (in bytes, refused ones included) since the
// last FontAllocFailAt call: lets tests check that a reader's allocations
// stay in proportion to the bytes it read.
size_t FontAllocLargest();
// A request that a cache serves with memory kept from an earlier allocation
// of the same size: nothing is allocated, but the request is counted and
// fails when the hook says so, so that failure injection meets the same
// requests whether the cache holds something or not.  False: the request
// fails.
bool FontAllocFromCache(size_t size);

// A hash of `length` bytes of text, word at a time: the hash tables of names
// (the font table's index, the directory scan) hash long names that are
// mostly alike.
uint32_t FontTextHash(const char *text, size_t length);

// Copies at most `length` bytes of `source` (stopping early at a NUL) into
// `dest`, lower-casing ISO Latin-1 capitals, and terminates with a NUL.
// dest may equal source.
void CopyISOLatin1Lowered(char *dest, const char *source, int length);
