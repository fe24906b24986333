// The cases the gzip and LZW input filters share, run over both: files
// packed by the system's programs read to their exact end, opening and
// closing by name, skips across fills, and allocation failures.
#include <gtest/gtest.h>

#include <string>

#include "fontfile/decompress.h"
#include "fontfile/fileio.h"
#include "fontfile/gunzip.h"
#include "tests/support/compressed.h"
#include "tests/support/lzw_encoder.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"
#include "util/miscutil.h"

namespace {

struct Filter {
  const char *name;
  BufFilePushProc push;
  const char *suffix, *program;
  // `data` packed by `program`, and by the tests' own means.
  std::string (*pack)(const std::string &data);
  std::string (*encode)(const std::string &data);
  // Whether reading allocates after the push, and whether a read whose
  // allocation fails still delivers everything (the gzip filter then
  // inflates with zlib instead of decoding the member whole).
  bool decodingAllocates;
  bool (*deliversAllWhenDecodingAllocationFails)();
};

std::string gzipped(const std::string &data) { return Packed("gzip", data); }
std::string compressed(const std::string &data) { return Packed("compress", data); }
std::string gzipMember(const std::string &data) {
  return GzipWrap(RawDeflate(data), static_cast<uint32_t>(data.size()));
}
std::string lzwStream(const std::string &data) { return LzwEncode(data); }

const Filter kGzip = {"Gzip", BufFilePushZIP, ".gz", "gzip", gzipped, gzipMember, true, GzipDecodesWholeMembers};
const Filter kLzw = {"Lzw", BufFilePushCompressed, ".Z", "compress", compressed, lzwStream, false,
                     [] { return false; }};

void PrintTo(const Filter &filter, std::ostream *os) { *os << filter.name; }

class Filters : public ::testing::TestWithParam<Filter> {
 protected:
  void needProgram() {
    if (std::string why = MissingPrograms({GetParam().program}); !why.empty()) GTEST_SKIP() << why;
  }
  TempDir dir;
};

TEST_P(Filters, SizesAtTheBufferBoundaryDeliverNoStaleByte) {
  needProgram();
  if (IsSkipped()) return;
  // The stream buffer's 8192 bytes and the gzip filter's 64 KiB output buffer.
  for (size_t size : {size_t{0}, size_t{1}, size_t{8191}, size_t{8192}, size_t{8193}, size_t{2 * 8192},
                      size_t{3 * 8192}, size_t{3 * 8192 + 1}, size_t{5 * 8192}, size_t{5 * 8192 + 1},
                      size_t{65535}, size_t{65536}, size_t{65537}, size_t{3 * 65536}}) {
    std::string data = TextSample(size, 11);
    std::string path = dir / (std::string("f") + GetParam().suffix);
    WriteFile(path, GetParam().pack(data));
    BufFile *f = FontFileOpen(path.c_str());
    ASSERT_NE(f, nullptr);
    std::string out;
    for (size_t i = 0; i < size; i++) out.push_back(static_cast<char>(BufFileGetByte(f)));
    EXPECT_EQ(out, data) << size;
    EXPECT_EQ(BufFileGetByte(f), -1) << size;
    EXPECT_EQ(BufFileGetByte(f), -1) << size;
    FontFileClose(f);
  }
}

// Data that is not the filter's under its suffix is refused, and the
// descriptor closed; the filter's own data holds one descriptor until the
// close.
TEST_P(Filters, OpeningByNameTakesOneDescriptorUntilTheClose) {
  std::string path = dir / (std::string("x.pcf") + GetParam().suffix);
  int before = OpenDescriptorCount();
  for (const char *plain : {"\x01" "fcp plain font data, not compressed", ""}) {
    WriteFile(path, plain);
    EXPECT_EQ(FontFileOpen(path.c_str()), nullptr) << plain;
    EXPECT_EQ(OpenDescriptorCount(), before);
  }
  needProgram();
  if (IsSkipped()) return;
  std::string data = TextSample(30000);
  WriteFile(path, GetParam().pack(data));
  BufFile *f = FontFileOpen(path.c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(OpenDescriptorCount(), before + 1);
  EXPECT_EQ(ReadStream(f, 100), data);
  FontFileClose(f);
  EXPECT_EQ(OpenDescriptorCount(), before);
}

// A skip of 0, skips within and across buffers, a skip to the exact end and
// one past it.
TEST_P(Filters, SkipsCrossManyFillsAndReportThePassingOfTheEnd) {
  std::string data = TextSample(100000, 8), packed = GetParam().encode(data);
  auto byteAt = [&](size_t i) { return static_cast<int>(static_cast<unsigned char>(data[i])); };
  BufFile *f = GetParam().push(MemBufOpen(packed.data(), packed.size()), nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(BufFileSkip(f, 0), 0);
  EXPECT_EQ(BufFileGetByte(f), byteAt(0));
  EXPECT_EQ(BufFileSkip(f, 40000), 40000);
  EXPECT_EQ(BufFileGetByte(f), byteAt(40001));
  const int across = BUFFILESIZE * 3 - 1;
  EXPECT_EQ(BufFileSkip(f, across), across);
  size_t at = 40002 + static_cast<size_t>(across);
  EXPECT_EQ(BufFileGetByte(f), byteAt(at));
  int rest = static_cast<int>(data.size() - at - 1);
  EXPECT_EQ(BufFileSkip(f, rest), rest);
  EXPECT_EQ(BufFileGetByte(f), -1);
  BufFileClose(f, 1);
  f = GetParam().push(MemBufOpen(packed.data(), packed.size()), nullptr);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(BufFileSkip(f, static_cast<int>(data.size()) + 1), -1);
  EXPECT_EQ(BufFileGetByte(f), -1);
  BufFileClose(f, 1);
}

// A push whose allocation fails returns none and leaves the source to the
// caller, open and usable; a failure while decoding ends the data early,
// without a fault.  Data that is not the filter's costs no allocation.
TEST_P(Filters, EveryAllocationFailureIsAResultAndLeavesTheSourceToTheCaller) {
  // More than one output buffer, so that a failure while decoding shows.
  std::string data = TextSample(200000, 6);
  std::string packed = GetParam().encode(data);
  BufFile *src = MemBufOpen(packed.data(), packed.size());
  FontAllocFailAt(0);
  BufFile *f = GetParam().push(src, nullptr);
  long pushAllocs = FontAllocCount();
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadStream(f), data);
  long allAllocs = FontAllocCount();
  BufFileClose(f, 1);
  if (!GetParam().decodingAllocates) {
    EXPECT_EQ(allAllocs, pushAllocs);
  }

  for (long n = 1; n <= allAllocs; n++) {
    src = MemBufOpen(packed.data(), packed.size());
    FontAllocFailAt(n);
    f = GetParam().push(src, nullptr);
    if (n <= pushAllocs) {
      EXPECT_EQ(f, nullptr) << n;
      FontAllocFailAt(0);
      EXPECT_NE(BufFileGetByte(src), -1) << "the source is still open, " << n;
      BufFileClose(src, 1);
      continue;
    }
    ASSERT_NE(f, nullptr) << n;
    std::string out = ReadStream(f);
    EXPECT_EQ(out, data.substr(0, out.size())) << n;
    if (GetParam().deliversAllWhenDecodingAllocationFails())
      EXPECT_EQ(out.size(), data.size()) << n;
    else
      EXPECT_LT(out.size(), data.size()) << n;
    EXPECT_EQ(BufFileGetByte(f), -1);
    FontAllocFailAt(0);
    BufFileClose(f, 1);
  }
  FontAllocFailAt(0);

  std::string plain = "not packed data";
  src = MemBufOpen(plain.data(), plain.size());
  FontAllocFailAt(0);
  EXPECT_EQ(GetParam().push(src, nullptr), nullptr);
  EXPECT_EQ(FontAllocCount(), 0);
  BufFileClose(src, 1);
}

INSTANTIATE_TEST_SUITE_P(, Filters, ::testing::Values(kGzip, kLzw),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
