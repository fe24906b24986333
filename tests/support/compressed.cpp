#include "tests/support/compressed.h"

#include <zlib.h>

#include <cstdlib>

#include "tests/support/tempdir.h"

bool CompressFile(const std::string &tool, const std::string &in, const std::string &out) {
  // -f: compress also writes (and succeeds) when the output is not smaller.
  std::string cmd = tool + " -f -c < '" + in + "' > '" + out + "' 2>/dev/null";
  return std::system(cmd.c_str()) == 0 && !ReadFile(out).empty();
}

std::string RawDeflate(const std::string &data, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) != Z_OK) return {};
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef *>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int status = deflate(&z, Z_FINISH);
  out.resize(status == Z_STREAM_END ? z.total_out : 0);
  deflateEnd(&z);
  return out;
}

std::string RawInflateAll(const std::string &body) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return {};
  std::string out;
  char buf[4096];
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(body.data()));
  z.avail_in = static_cast<uInt>(body.size());
  for (int status = Z_OK; status == Z_OK;) {
    z.next_out = reinterpret_cast<Bytef *>(buf);
    z.avail_out = sizeof buf;
    status = inflate(&z, Z_NO_FLUSH);
    out.append(buf, sizeof buf - z.avail_out);
  }
  inflateEnd(&z);
  return out;
}

std::vector<size_t> InflateInputWhereOutputFills(const std::string &body, size_t bufferSize) {
  std::vector<size_t> at;
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return at;
  std::string out(bufferSize, '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(body.data()));
  z.avail_in = static_cast<uInt>(body.size());
  for (int status = Z_OK; status == Z_OK;) {
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    status = inflate(&z, Z_NO_FLUSH);
    if (z.avail_out == 0) at.push_back(z.total_in);
  }
  inflateEnd(&z);
  return at;
}
