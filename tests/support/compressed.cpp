#include "tests/support/compressed.h"

#include <zlib.h>

#include <cstdlib>

#include "tests/support/tempdir.h"

bool CompressFile(const std::string &tool, const std::string &in, const std::string &out) {
  // -f: compress also writes (and succeeds) when the output is not smaller.
  std::string cmd = tool + " -f -c < '" + in + "' > '" + out + "' 2>/dev/null";
  return std::system(cmd.c_str()) == 0 && !ReadFile(out).empty();
}

std::string Packed(const std::string &tool, const std::string &data) {
  TempDir d;
  WriteFile(d / "in", data);
  return CompressFile(tool, d / "in", d / "out") ? ReadFile(d / "out") : std::string();
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

std::string GzipWrap(const std::string &body, uint32_t size) {
  std::string s = std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10) + body + std::string(4, '\0');
  for (int i = 0; i < 4; i++) s.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
  return s;
}

std::string RawInflateAll(const std::string &body, size_t limit) {
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return {};
  std::string out;
  char buf[4096];
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(body.data()));
  z.avail_in = static_cast<uInt>(body.size());
  for (int status = Z_OK; status == Z_OK && out.size() < limit;) {
    z.next_out = reinterpret_cast<Bytef *>(buf);
    z.avail_out = sizeof buf;
    status = inflate(&z, Z_NO_FLUSH);
    out.append(buf, sizeof buf - z.avail_out);
  }
  inflateEnd(&z);
  return out;
}

size_t GzipBodyOffset(const std::string &file) {
  auto byte = [&file](size_t at) { return static_cast<unsigned char>(file[at]); };
  if (file.size() < 10 || byte(0) != 0x1F || byte(1) != 0x8B || byte(2) != 8 || (byte(3) & 0xE0))
    return std::string::npos;
  int flags = byte(3);
  size_t at = 10;
  if (flags & 0x04) {  // extra field: a 2-byte length, then the bytes
    if (file.size() - at < 2) return std::string::npos;
    size_t length = byte(at) | size_t{byte(at + 1)} << 8;
    at += 2;
    if (file.size() - at < length) return std::string::npos;
    at += length;
  }
  for (int zeroEnded : {0x08, 0x10}) {  // name, comment
    if (!(flags & zeroEnded)) continue;
    size_t end = file.find('\0', at);
    if (end == std::string::npos) return std::string::npos;
    at = end + 1;
  }
  if (flags & 0x02) {  // header checksum
    if (file.size() - at < 2) return std::string::npos;
    at += 2;
  }
  return at;
}

std::string GzipReference(const std::string &file, bool *pushed, size_t limit) {
  size_t body = GzipBodyOffset(file);
  *pushed = body != std::string::npos;
  return *pushed ? RawInflateAll(file.substr(body), limit) : std::string();
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
