// The gzip filter against zlib alone over the same bytes: the filter decodes
// whole members with the faster decoder when the build has one, the
// reference inflates the member's body with zlib's streaming inflate.  Any
// difference in the bytes delivered or in where the data ends is a fault.
//
// Input: one byte choosing how many bytes each fill of the source gives, one
// byte of options, then the bytes.  With option bit 0 the bytes are a raw
// deflate body, wrapped in a minimal header and a trailer whose length is
// large enough for anything the body can produce (so that the fast decoder
// gets to decode a body of some 64 bytes or more: smaller members are
// inflated in one call); otherwise they are the whole file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fontfile/gunzip.h"
#include "tests/support/compressed.h"
#include "tests/support/streamtest.h"

namespace {
// Both ways are compared this far, and on their end when it comes before.
constexpr size_t kMaxOutput = size_t{1} << 18;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2 || size > (1 << 16)) return 0;
  int chunk = 1 + data[0] * 32;
  std::string file;
  if (data[1] & 1) {
    file = std::string("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
    file.append(reinterpret_cast<const char *>(data + 2), size - 2);
    // Four bytes of checksum, never checked, and a length the body cannot
    // exceed (deflate expands at most 1032 to 1, the bound the filter holds
    // lengths to), capped to keep runs quick.
    size_t room = (size - 2) * 1032 < kMaxOutput ? (size - 2) * 1032 : kMaxOutput;
    file.append(4, '\0');
    for (int i = 0; i < 4; i++) file.push_back(static_cast<char>((room >> (8 * i)) & 0xFF));
  } else {
    file.assign(reinterpret_cast<const char *>(data + 2), size - 2);
  }
  FilterDelivery d = DeliverThrough(BufFilePushZIP, file, chunk, 4096, kMaxOutput);
  bool pushed;
  std::string reference = GzipReference(file, &pushed, kMaxOutput);
  if (d.pushed != pushed || !d.endStays) std::abort();
  bool same = d.bytes.size() < kMaxOutput
                  ? d.bytes == reference
                  : reference.size() >= kMaxOutput && reference.compare(0, kMaxOutput, d.bytes, 0, kMaxOutput) == 0;
  if (!same) std::abort();
  return 0;
}
