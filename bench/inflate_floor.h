// The decompression floor: a gzip file's first member inflated with zlib and
// the output thrown away, with nothing else around it.  Benchmarks compare
// the gzip filter (and later whole directory runs) against this.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>
#include <zlib.h>

// The offset of the deflate data after the member header at the start of
// `in` (`have` bytes), or 0 when the header is not valid or does not lie
// wholly within those bytes (this is a measuring tool, not a reader).
inline size_t GzipBodyOffset(const unsigned char *in, size_t have) {
  if (have < 10 || in[0] != 0x1F || in[1] != 0x8B || in[2] != 8 || (in[3] & 0xE0)) return 0;
  int flags = in[3];
  size_t pos = 10;
  if (flags & 0x04) {
    if (have - pos < 2) return 0;
    size_t len = in[pos] | (in[pos + 1] << 8);
    pos += 2;
    if (have - pos < len) return 0;
    pos += len;
  }
  for (int bit : {0x08, 0x10})
    if (flags & bit) {
      auto *end = static_cast<const unsigned char *>(std::memchr(in + pos, 0, have - pos));
      if (!end) return 0;
      pos = static_cast<size_t>(end - in) + 1;
    }
  if (flags & 0x02) {
    if (have - pos < 2) return 0;
    pos += 2;
  }
  return pos;
}

// Bytes inflated from the file's first member, or -1 when the file cannot
// be read or has no valid gzip header within its first 64 KiB.
inline int64_t InflateFloor(const char *path) {
  int fd = ::open(path, O_RDONLY);
  if (fd < 0) return -1;
  static unsigned char in[1 << 16], out[1 << 16];
  size_t have = 0;
  auto refill = [&] {
    ssize_t n = ::read(fd, in, sizeof in);
    have = static_cast<size_t>(n > 0 ? n : 0);
    return n > 0;
  };
  refill();
  size_t pos = GzipBodyOffset(in, have);
  z_stream z{};
  if (pos == 0 || inflateInit2(&z, -MAX_WBITS) != Z_OK) {
    ::close(fd);
    return -1;
  }
  z.next_in = in + pos;
  z.avail_in = static_cast<uInt>(have - pos);
  int64_t total = 0;
  int status = Z_OK;
  while (status == Z_OK) {
    if (z.avail_in == 0) {
      if (!refill()) break;
      z.next_in = in;
      z.avail_in = static_cast<uInt>(have);
    }
    z.next_out = out;
    z.avail_out = sizeof out;
    status = inflate(&z, Z_NO_FLUSH);
    total += static_cast<int64_t>(sizeof out - z.avail_out);
  }
  inflateEnd(&z);
  ::close(fd);
  return total;
}

// The main program of a floor: decodes the first member of each file named
// on the command line with `decode` (the bytes it made, or -1 when the file
// is not one it can read), prints the bytes and the time taken.  Plain C
// library calls only, so that, like the tool, it needs no C++ run-time.
inline int FloorMain(int argc, char **argv, const char *program, int64_t (*decode)(const char *path)) {
  auto seconds = [] {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
  };
  int64_t total = 0;
  double start = seconds();
  for (int i = 1; i < argc; i++) {
    int64_t n = decode(argv[i]);
    if (n < 0) {
      std::fprintf(stderr, "%s: %s: not a gzip file it can read\n", program, argv[i]);
      return 1;
    }
    total += n;
  }
  double taken = seconds() - start;
  std::printf("%d files, %lld bytes decoded in %.6f s (%.1f MB/s)\n", argc - 1, static_cast<long long>(total),
              taken, taken > 0 ? static_cast<double>(total) / taken / 1e6 : 0.0);
  return 0;
}
