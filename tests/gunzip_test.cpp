// The gzip input filter: files made by gzip, header variants built by hand
// around real deflate bodies, and damaged data.  The cases it shares with
// the LZW filter are in filters_test.
#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

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

struct Header {
  int method = 8;
  int flags = 0;  // the name, comment, extra and checksum bits are added below
  std::string extra;
  std::string name, comment;
  bool hasExtra = false, hasName = false, hasComment = false, headerCrc = false;
};

std::string gzipHeader(const Header &h) {
  int flags = h.flags | (h.hasExtra ? 0x04 : 0) | (h.hasName ? 0x08 : 0) |
              (h.hasComment ? 0x10 : 0) | (h.headerCrc ? 0x02 : 0);
  std::string s = {'\x1f', '\x8b', static_cast<char>(h.method), static_cast<char>(flags),
                   '\x12', '\x34', '\x56', '\x78', '\x00', '\x03'};
  if (h.hasExtra) {
    s.push_back(static_cast<char>(h.extra.size() & 0xFF));
    s.push_back(static_cast<char>(h.extra.size() >> 8));
    s += h.extra;
  }
  if (h.hasName) s += h.name + '\0';
  if (h.hasComment) s += h.comment + '\0';
  if (h.headerCrc) s += "\xAB\xCD";
  return s;
}

std::string gzipMember(const std::string &data, const Header &h = {}) {
  std::string s = gzipHeader(h) + RawDeflate(data);
  uLong crc = crc32(0, reinterpret_cast<const Bytef *>(data.data()), static_cast<uInt>(data.size()));
  for (int i = 0; i < 4; i++) s.push_back(static_cast<char>((crc >> (8 * i)) & 0xFF));
  for (int i = 0; i < 4; i++) s.push_back(static_cast<char>((data.size() >> (8 * i)) & 0xFF));
  return s;
}

std::string decode(const std::string &gz, bool *pushed = nullptr, int chunk = BUFFILESIZE) {
  return DecodeThrough(BufFilePushZIP, gz, pushed, chunk);
}

bool accepted(const std::string &gz) {
  bool pushed;
  decode(gz, &pushed);
  return pushed;
}

class GzipFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::string why = MissingPrograms({"gzip"}); !why.empty()) GTEST_SKIP() << why;
  }
  // Writes `data` to name, runs gzip with `args` on it and returns the
  // filter's output for name + ".gz", read through FontFileOpen.
  std::string roundTrip(const std::string &data, const std::string &args,
                        const std::string &name = "font.pcf") {
    std::string path = dir / name;
    WriteFile(path, data);
    EXPECT_EQ(RunShell("gzip -f " + args + " " + ShellQuote(path)), 0);
    BufFile *f = FontFileOpen((path + ".gz").c_str());
    EXPECT_NE(f, nullptr);
    if (!f) return {};
    std::string out = ReadStream(f, 1000);
    FontFileClose(f);
    return out;
  }
  TempDir dir;
};

TEST_F(GzipFiles, FilesMadeByGzipDecodeWithAndWithoutStoredNameAtEveryLevel) {
  std::string data = TextSample(200000, 7);
  for (const char *args : {"", "-n", "-1", "-9", "-n -9"})
    EXPECT_EQ(roundTrip(data, args), data) << "gzip " << args;
  std::string noise = NoiseSample(50000, 3);
  EXPECT_EQ(roundTrip(noise, "-1"), noise);
}

TEST(GzipHeader, OptionalFieldsArePassedOverExactly) {
  std::string data = TextSample(20000, 5);
  for (size_t extra : {size_t{0}, size_t{1}, size_t{300}}) {
    Header h;
    h.hasExtra = true;
    h.extra = NoiseSample(extra, 9);
    EXPECT_EQ(decode(gzipMember(data, h)), data) << "extra of " << extra;
  }
  Header named;
  named.hasName = named.hasComment = true;
  named.name = "cour12.pcf";
  named.comment = std::string(20000, 'c');  // longer than one source buffer
  EXPECT_EQ(decode(gzipMember(data, named)), data);
  Header all = named;
  all.hasExtra = all.headerCrc = true;
  all.extra = "\x00\x00\x00";
  all.flags = 0x01;  // the text flag is only a hint
  std::string gz = gzipMember(data, all);
  // The header split across source buffers at every byte.
  for (int chunk : {1, 2, 3, 7, 100})
    EXPECT_EQ(decode(gz, nullptr, chunk), data) << "chunk " << chunk;
  Header checksum;
  checksum.headerCrc = true;
  EXPECT_EQ(decode(gzipMember(data, checksum)), data);
}

TEST(GzipHeader, WrongMagicMethodOrReservedFlagsAreRefused) {
  std::string good = gzipMember("abc");
  ASSERT_TRUE(accepted(good));
  for (size_t at : {size_t{0}, size_t{1}}) {
    std::string bad = good;
    bad[at] ^= 0x40;
    EXPECT_FALSE(accepted(bad)) << at;
  }
  for (int method : {0, 7, 9, 0xFF}) {
    Header h;
    h.method = method;
    EXPECT_FALSE(accepted(gzipMember("abc", h))) << method;
  }
  for (int flag : {0x20, 0x40, 0x80, 0xE0}) {
    Header h;
    h.flags = flag;
    EXPECT_FALSE(accepted(gzipMember("abc", h))) << flag;
  }
}

TEST(GzipHeader, AFileEndingInsideTheHeaderIsRefused) {
  Header h;
  h.hasExtra = h.hasName = h.hasComment = h.headerCrc = true;
  h.extra = "xy";
  h.name = "n";
  h.comment = "c";
  std::string header = gzipHeader(h);
  for (size_t cut = 0; cut < header.size(); cut++)
    EXPECT_FALSE(accepted(header.substr(0, cut))) << "cut at " << cut;
  // The whole header with no body is accepted; the data is just empty.
  bool pushed;
  EXPECT_EQ(decode(header, &pushed), "");
  EXPECT_TRUE(pushed);
}

TEST(GzipBody, DataCutWhereTheOutputBufferFillsDeliversWhatInflateStillHolds) {
  // When the output fills on the last byte of the input, inflate may still
  // hold part of a match and codes in its bit buffer.  The sizes move the
  // end of the first buffer across matches, literals (noise) and stored
  // blocks (level 0), and each body is also tried whole without its trailer.
  for (int v = 0; v < 48; v++) {
    size_t size = kGzipFilterOutput + 1 + static_cast<size_t>(v) * 53 +
                  (v % 8 == 5 ? kGzipFilterOutput : 0);
    size_t noise = v % 3 == 2 ? 3000 : 0;
    std::string data = TextSample(size - noise, static_cast<uint32_t>(v + 1)) +
                       NoiseSample(noise, static_cast<uint32_t>(v + 1));
    std::string body = RawDeflate(data, v % 4 == 3 ? 0 : v % 4 == 2 ? 1 : 9);
    std::vector<size_t> fillPoints = InflateInputWhereOutputFills(body);
    ASSERT_EQ(fillPoints.size(), size / kGzipFilterOutput) << "variant " << v;
    std::vector<size_t> cuts = {body.size()};
    for (size_t fills : fillPoints)
      for (size_t cut = fills - 2; cut <= fills + 2 && cut <= body.size(); cut++)
        cuts.push_back(cut);
    for (size_t cut : cuts) {
      std::string gz = gzipHeader({}) + body.substr(0, cut);
      std::string expected = RawInflateAll(body.substr(0, cut));
      ASSERT_EQ(expected, data.substr(0, expected.size()));
      for (int chunk : {BUFFILESIZE, 13}) {
        std::string out = decode(gz, nullptr, chunk);
        EXPECT_TRUE(out == expected) << "variant " << v << ", " << cut << " of " << body.size()
                                     << " bytes, chunk " << chunk << ": " << out.size()
                                     << " bytes delivered, " << expected.size() << " expected";
      }
    }
  }
}

TEST(GzipBody, AHugeOutputFromASmallFileIsStreamedWithoutAllocating) {
  // 64 MiB of zeros deflate to about 64 KiB.
  constexpr int kSize = 64 << 20;
  const std::string zeros(kSize, '\0'), body = RawDeflate(zeros, 9);
  uLong crc = crc32(0, reinterpret_cast<const Bytef *>(zeros.data()), kSize);
  std::string trailer;
  for (uLong field : {crc, static_cast<uLong>(kSize)})
    for (int k = 0; k < 4; k++) trailer += static_cast<char>((field >> (8 * k)) & 0xFF);
  // Without a trailer, and with the true one: a member that decodes to more
  // than the whole way's budget is streamed whatever its trailer says.
  for (const std::string &end : {std::string(), trailer}) {
    SCOPED_TRACE(end.empty() ? "no trailer" : "a trailer of 64 MiB");
    std::string gz = gzipHeader({}) + body + end;
    BufFile *src = MemBufOpen(gz.data(), gz.size());
    BufFile *f = BufFilePushZIP(src);
    ASSERT_NE(f, nullptr);
    FontAllocFailAt(0);
    EXPECT_EQ(BufFileSkip(f, kSize - 1), kSize - 1);
    // Nothing in proportion to the output: inflate's window, and the
    // compressed bytes held for the whole-member decoder.
    EXPECT_LE(FontAllocLargest(), size_t{1} << 20);
    EXPECT_EQ(BufFileGetByte(f), 0);
    EXPECT_EQ(BufFileGetByte(f), -1);
    BufFileClose(f, 1);
  }
}

TEST(GzipBody, AnLzwStreamInsideAGzipStreamDecodesThroughBothFilters) {
  std::string data = TextSample(60000, 12);
  std::string gz = gzipMember(LzwEncode(data));
  BufFile *src = MemBufOpen(gz.data(), gz.size(), 1000);
  BufFile *zip = BufFilePushZIP(src);
  ASSERT_NE(zip, nullptr);
  BufFile *lzw = BufFilePushCompressed(zip);
  ASSERT_NE(lzw, nullptr);
  EXPECT_EQ(ReadStream(lzw, 777), data);
  BufFileClose(lzw, 1);
}

TEST(GzipBody, EveryStreamStartsAfreshWhateverTheLastOneLeft) {
  // One stream ends in the middle of the data (cut short), the next is a
  // different member: what the first left in the state must not show.
  std::string first = TextSample(150000, 3), second = NoiseSample(20000, 5);
  std::string gzFirst = gzipMember(first), gzSecond = gzipMember(second);
  BufFile *src = MemBufOpen(gzFirst.data(), gzFirst.size());
  BufFile *f = BufFilePushZIP(src);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(BufFileSkip(f, 70000), 70000);  // past the first buffer: a window
  BufFileClose(f, 1);
  for (int round = 0; round < 2; round++) {
    src = MemBufOpen(gzSecond.data(), gzSecond.size(), 13);
    f = BufFilePushZIP(src);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(ReadStream(f), second) << round;
    BufFileClose(f, 1);
  }
  // A refused push in between changes nothing either.
  std::string plain = "not gzip data";
  src = MemBufOpen(plain.data(), plain.size());
  EXPECT_EQ(BufFilePushZIP(src), nullptr);
  BufFileClose(src, 1);
  src = MemBufOpen(gzFirst.data(), gzFirst.size());
  f = BufFilePushZIP(src);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(ReadStream(f), first);
  BufFileClose(f, 1);
}

}  // namespace
