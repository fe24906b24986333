// The LZW filter against the plain decoder of the test support
// (LzwReferenceDecode) over the same bytes: any difference in the bytes
// delivered, in where the data ends or in accepting the header is a fault.
//
// Input: one byte choosing how many bytes each fill of the source gives and
// the size of the filter's reads, one byte of options, then the bytes.  With
// option bit 0 the bytes are codes after a made-up header (bit 1 block mode,
// the rest of the byte the maximum width, 12 to 16); otherwise they are the
// whole file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "fontfile/decompress.h"
#include "tests/support/lzw_encoder.h"
#include "tests/support/streamtest.h"

namespace {
// Both ways are compared this far, and on their end when it comes before
// (strings of a code each one byte longer than the last grow the output
// with the square of the input).
constexpr size_t kMaxOutput = size_t{1} << 20;
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size < 2 || size > (1 << 16)) return 0;
  int chunk = 1 + (data[0] & 0x1F) * 64;
  int block = (data[0] & 0xE0) == 0 ? 0 : 1 << (data[0] >> 5) * 2;
  std::string file;
  if (data[1] & 1) {
    int bits = 12 + (data[1] >> 2) % 5;
    file = {'\x1f', '\x9d', static_cast<char>(bits | (data[1] & 2 ? 0x80 : 0))};
  }
  file.append(reinterpret_cast<const char *>(data + 2), size - 2);
  FilterDelivery d = DeliverThrough(BufFilePushCompressed, file, chunk, block, kMaxOutput);
  bool acceptable = file.size() >= 3 && file[0] == '\x1f' && file[1] == '\x9d' &&
                    (file[2] & 0x1F) >= 12 && (file[2] & 0x1F) <= 16;
  if (d.pushed != acceptable || !d.endStays) std::abort();
  std::string reference = LzwReferenceDecode(file, kMaxOutput);
  bool same = d.bytes.size() < kMaxOutput
                  ? d.bytes == reference
                  : reference.size() >= kMaxOutput &&
                        reference.compare(0, kMaxOutput, d.bytes, 0, kMaxOutput) == 0;
  if (!same) std::abort();
  return 0;
}
