// The decompression floor: a gzip file's first member inflated with zlib and
// the output thrown away, with nothing else around it.  Benchmarks compare
// the gzip filter (and later whole directory runs) against this.
#pragma once

#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <initializer_list>
#include <unistd.h>
#include <zlib.h>

// Bytes inflated from the file's first member, or -1 when the file cannot
// be read or has no valid gzip header.
inline int64_t InflateFloor(const char *path) {
  int fd = ::open(path, O_RDONLY);
  if (fd < 0) return -1;
  static unsigned char in[1 << 16], out[1 << 16];
  size_t have = 0, pos = 0;
  auto refill = [&] {
    ssize_t n = ::read(fd, in, sizeof in);
    have = static_cast<size_t>(n > 0 ? n : 0);
    return n > 0;
  };
  refill();

  // The member header: magic, method, flags, then the optional fields.  The
  // fields are passed over within the first read; a header of more than
  // 64 KiB is refused (this is a measuring tool, not a reader).
  if (have < 10 || in[0] != 0x1F || in[1] != 0x8B || in[2] != 8 || (in[3] & 0xE0)) {
    ::close(fd);
    return -1;
  }
  int flags = in[3];
  pos = 10;
  bool ok = true;
  if (flags & 0x04) {
    ok = have - pos >= 2;
    size_t len = ok ? in[pos] | (in[pos + 1] << 8) : 0;
    pos += 2;
    ok = ok && have - pos >= len;
    pos += len;
  }
  for (int bit : {0x08, 0x10})
    if (ok && (flags & bit)) {
      auto *end = static_cast<unsigned char *>(std::memchr(in + pos, 0, have - pos));
      ok = end != nullptr;
      if (ok) pos = static_cast<size_t>(end - in) + 1;
    }
  if (ok && (flags & 0x02)) {
    ok = have - pos >= 2;
    pos += 2;
  }
  z_stream z{};
  if (!ok || inflateInit2(&z, -MAX_WBITS) != Z_OK) {
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
