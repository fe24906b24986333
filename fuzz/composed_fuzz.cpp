// The road every compressed font takes in a real run: a font reader over a
// decompressing filter over the file.
//
// The first byte chooses the composition:
//   bits 0-1  the reader: PCF, SNF, BDF (3 is BDF too)
//   bit 2     the filter: gzip (0) or LZW (1)
//   bit 3     1: the rest of the input is the font, compressed here before it
//             is read, so that mutations reach the reader; 0: the rest is
//             the compressed file itself, so they reach the filter
//   bits 4-7  the size of the file's fills, 2^(n mod 14) bytes (1 .. 8192),
//             so that the filter meets the end of its source's buffer
//             anywhere in a header, a code or a block
#include <cstddef>
#include <cstdint>
#include <string>

#include "bitmap/bdfread.h"
#include "bitmap/pcfread.h"
#include "bitmap/snfread.h"
#include "fontfile/decompress.h"
#include "fontfile/gunzip.h"
#include "tests/support/compressed.h"
#include "tests/support/lzw_encoder.h"
#include "tests/support/membuf.h"
#include "util/atom.h"

namespace {
typedef int (*InfoReader)(FontInfo *info, BufFile *file);
constexpr InfoReader kReaders[4] = {pcfReadFontInfo, snfReadFontInfo, bdfReadFontInfo,
                                    bdfReadFontInfo};

// A gzip member around a raw deflate body: the fixed 10-byte header with no
// optional fields, the body, and a trailer the filter never reads.
std::string GzipMember(const std::string &font) {
  std::string member("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
  member += RawDeflate(font, 6);
  member.append(8, '\0');
  return member;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  if (size == 0) return 0;
  unsigned mode = data[0];
  bool lzw = mode & 4;
  std::string file(reinterpret_cast<const char *>(data + 1), size - 1);
  if (mode & 8) file = lzw ? LzwEncode(file) : GzipMember(file);
  BufFile *raw = MemBufOpen(file.data(), file.size(), 1 << ((mode >> 4) % 14));
  if (!raw) return 0;
  BufFile *filtered = lzw ? BufFilePushCompressed(raw) : BufFilePushZIP(raw);
  if (!filtered) {
    BufFileClose(raw, 1);
    return 0;
  }
  FontInfo info{};
  if (kReaders[mode & 3](&info, filtered) == Successful) {
    for (int i = 0; i < info.propCount; i++)
      if (info.isStringProp[i] && !NameForAtom(static_cast<Atom>(info.props[i].value)))
        __builtin_trap();
    FontInfoFreeProps(&info);
  }
  BufFileClose(filtered, 1);
  return 0;
}
