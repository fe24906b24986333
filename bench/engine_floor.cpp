// engine_floor FILE.gz...: decodes each file's first member with the gzip
// filter's whole-member decoder, the whole member at once into a buffer of
// the size its trailer gives, and discards the output; prints the bytes and
// the time taken.  The floor of the filter's whole-member way, as
// inflate_floor is of zlib: the same header parsing, plain C library calls
// only, and no checks beyond what the decoder needs.  Built with
// LORVANE_FLOOR_LIBDEFLATE, the same with libdeflate instead
// (libdeflate_floor), the fastest decoder of the distribution's libraries.
#include <cstdlib>
#include <sys/stat.h>

#include "bench/inflate_floor.h"
#ifdef LORVANE_FLOOR_LIBDEFLATE
#include <libdeflate.h>
#else
#include "fontfile/deflatedecode.h"
#endif

namespace {
// Buffers kept from file to file, and the decoder's state.
unsigned char *in, *out;
size_t inCapacity, outCapacity;
#ifdef LORVANE_FLOOR_LIBDEFLATE
libdeflate_decompressor *decoder;
bool decode(const unsigned char *in, size_t size, unsigned char *out, size_t outSize, size_t *produced) {
  return libdeflate_deflate_decompress(decoder, in, size, out, outSize, produced) == LIBDEFLATE_SUCCESS;
}
#else
bool decode(const unsigned char *in, size_t size, unsigned char *out, size_t outSize, size_t *produced) {
  return DeflateDecodeStrict(in, size, out, outSize, produced);
}
#endif

bool reserve(unsigned char *&p, size_t &capacity, size_t size) {
  if (size <= capacity) return true;
  std::free(p);
  p = static_cast<unsigned char *>(std::malloc(size));
  capacity = p ? size : 0;
  return p != nullptr;
}

// Bytes decoded from the file's first member, or -1.
int64_t decodeFile(const char *path) {
  int fd = ::open(path, O_RDONLY);
  struct stat st;
  if (fd < 0 || ::fstat(fd, &st) != 0 || !reserve(in, inCapacity, static_cast<size_t>(st.st_size) + 1)) {
    if (fd >= 0) ::close(fd);
    return -1;
  }
  size_t have = 0;
  for (ssize_t n; (n = ::read(fd, in + have, inCapacity - have)) > 0;) have += static_cast<size_t>(n);
  ::close(fd);
  size_t pos = GzipBodyOffset(in, have);
  if (pos == 0 || have < pos + 8) return -1;
  const unsigned char *t = in + have - 4;
  size_t size = t[0] | size_t{t[1]} << 8 | size_t{t[2]} << 16 | size_t{t[3]} << 24;
  size_t produced;
  if (!reserve(out, outCapacity, size + 1) || !decode(in + pos, have - pos, out, size, &produced))
    return -1;
  return static_cast<int64_t>(produced);
}
}  // namespace

int main(int argc, char **argv) {
#ifdef LORVANE_FLOOR_LIBDEFLATE
  decoder = libdeflate_alloc_decompressor();
  if (!decoder) return 1;
  return FloorMain(argc, argv, "libdeflate_floor", decodeFile);
#else
  return FloorMain(argc, argv, "engine_floor", decodeFile);
#endif
}
