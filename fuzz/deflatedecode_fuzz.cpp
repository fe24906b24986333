// The whole-member deflate decoder against zlib's inflate over the same raw
// deflate data.  Whatever the decoder takes, zlib must read to the same end
// with the same bytes, within the same room; what it turns away is left to
// zlib by its caller, so that is never a fault.
//
// Input: two bytes giving the output room (the first times 1024 plus the
// second), then the deflate data.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>
#include <zlib.h>

#include "fontfile/deflatedecode.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2 || size > (1 << 16)) return 0;
  size_t room = size_t{data[0]} * 1024 + data[1];
  const uint8_t *in = data + 2;
  size_t inSize = size - 2;
  // Exactly the room, so that a write past it is caught by the sanitizer.
  std::vector<unsigned char> out(room > 0 ? room : 1);
  size_t produced = 0;
  if (!DeflateDecodeStrict(in, inSize, out.data(), room, &produced)) return 0;
  if (produced > room) std::abort();

  // zlib, into room for one byte more than the decoder produced, must end
  // the stream there.
  std::vector<unsigned char> reference(produced + 1);
  z_stream z{};
  if (inflateInit2(&z, -MAX_WBITS) != Z_OK) return 0;
  z.next_in = const_cast<Bytef *>(in);
  z.avail_in = static_cast<uInt>(inSize);
  z.next_out = reference.data();
  z.avail_out = static_cast<uInt>(reference.size());
  int result = inflate(&z, Z_FINISH);
  size_t got = reference.size() - z.avail_out;
  inflateEnd(&z);
  if (result != Z_STREAM_END || got != produced || std::memcmp(reference.data(), out.data(), produced) != 0)
    std::abort();
  return 0;
}
