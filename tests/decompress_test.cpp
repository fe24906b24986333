// The LZW input filter: output of the real compressor at every width, our
// own encoder for the streams it does not write (checked against gzip's
// decoder) and hand-made corrupt code streams.  The cases it shares with the
// gzip filter are in filters_test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fontfile/decompress.h"
#include "fontfile/fileio.h"
#include "tests/support/lzw_encoder.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"
#include "util/miscutil.h"

namespace {

std::string decode(const std::string &z, bool *pushed = nullptr, int chunk = BUFFILESIZE,
                   int block = 0) {
  return DecodeThrough(BufFilePushCompressed, z, pushed, chunk, block);
}

bool accepted(const std::string &z) {
  bool pushed;
  decode(z, &pushed);
  return pushed;
}

std::string header(int flags) { return {'\x1f', '\x9d', static_cast<char>(flags)}; }

// Runs the system's compress and gzip (both needed) on files in a temporary directory.
class Tools : public ::testing::Test {
 protected:
  // The real compressor's output for `data` at maximum width `bits`.
  std::string compress(const std::string &data, int bits) {
    std::string in = dir / "in", out = dir / "in.Z";
    WriteFile(in, data);
    // -f: write even when the output is not smaller (it then exits 2).
    int rc = RunShell("compress -f -c -b " + std::to_string(bits) + " < " + ShellQuote(in) +
                      " > " + ShellQuote(out));
    EXPECT_TRUE(rc == 0 || rc == 2) << "compress exited " << rc;
    return ReadFile(out);
  }
  // gzip's own decoder of .Z data.
  std::string gunzip(const std::string &z) {
    std::string in = dir / "g.Z", out = dir / "g.out";
    WriteFile(in, z);
    EXPECT_EQ(RunShell("gzip -dc < " + ShellQuote(in) + " > " + ShellQuote(out)), 0);
    return ReadFile(out);
  }
  void SetUp() override {
    if (std::string why = MissingPrograms({"compress", "gzip"}); !why.empty()) GTEST_SKIP() << why;
  }
  TempDir dir;
};

TEST_F(Tools, CompressOutputAtEveryWidthDecodes) {
  // Text that fills the table, noise that makes the compressor clear it,
  // and both in turn.
  std::string text = TextSample(400000, 3);
  std::string noise = NoiseSample(300000, 5);
  std::string mixed = TextSample(150000, 9) + NoiseSample(150000, 2) + TextSample(150000, 4);
  for (int bits = 12; bits <= 16; bits++) {
    for (const std::string *data : {&text, &noise, &mixed}) {
      std::string z = compress(*data, bits);
      ASSERT_EQ(static_cast<unsigned char>(z[2]) & 0x1F, bits);
      EXPECT_EQ(decode(z), *data) << "bits " << bits << " size " << data->size();
    }
  }
  // Decoding resumes at any byte of the source and of the output.
  std::string z = compress(mixed, 14);
  EXPECT_EQ(decode(z, nullptr, 1, 0), mixed);
  EXPECT_EQ(decode(z, nullptr, 5, 8191), mixed);
}

TEST_F(Tools, LongRunsMakeStringsLongerThanABufferAndDecode) {
  // A run of one byte makes strings that each grow by one byte, every code
  // being the one defined by the step that uses it.  36 MiB make strings of
  // more than 8192 bytes, which cross fill boundaries.
  std::string run(36u << 20, 'a');
  std::string z = compress(run, 16);
  ASSERT_LT(z.size(), 200000u);
  std::string out = decode(z, nullptr, BUFFILESIZE, 65536);
  EXPECT_EQ(out.size(), run.size());
  EXPECT_TRUE(out == run);
  std::string shortRun(100000, '\0');
  for (int bits = 12; bits <= 16; bits++)
    EXPECT_EQ(decode(compress(shortRun, bits)), shortRun) << bits;
}

TEST_F(Tools, OurEncoderAgreesWithGzipOnStreamsTheCompressorDoesNotWrite) {
  std::string text = TextSample(300000, 17);
  std::string noise = NoiseSample(200000, 17);
  struct Case {
    const char *what;
    const std::string *data;
    LzwEncodeOptions options;
  };
  std::vector<Case> cases;
  for (int bits = 12; bits <= 16; bits++) {
    LzwEncodeOptions plain;
    plain.maxBits = bits;
    plain.blockMode = false;  // code 256 is then an ordinary string
    cases.push_back({"no block mode", &text, plain});
    LzwEncodeOptions clears;
    clears.maxBits = bits;
    clears.clearAt = {1, 2, 3, 1000, 1001, 5000, 77777, 123456, 299999};
    cases.push_back({"clears at chosen places", &text, clears});
    LzwEncodeOptions full;
    full.maxBits = bits;
    full.clearWhenFull = true;
    cases.push_back({"clear whenever full", &noise, full});
    LzwEncodeOptions keep;
    keep.maxBits = bits;
    cases.push_back({"full table kept", &noise, keep});
  }
  for (const Case &c : cases) {
    std::string z = LzwEncode(*c.data, c.options);
    ASSERT_EQ(gunzip(z), *c.data) << c.what << " bits " << c.options.maxBits;
    EXPECT_EQ(decode(z), *c.data) << c.what << " bits " << c.options.maxBits;
  }
}

TEST(LzwStream, ACodeStreamCutAnywhereDeliversTheWholeCodesBeforeTheCut) {
  // Small enough to try every cut, long enough to widen the codes to 11
  // bits and hold clears, so cuts fall inside groups of every width, and
  // to pass the end of the first output buffer, so cuts also fall right
  // after a string that crosses it.
  std::string data = TextSample(7500, 23) + NoiseSample(1500, 23);
  for (bool blockMode : {true, false}) {
    LzwEncodeOptions o;
    o.maxBits = 12;
    o.blockMode = blockMode;
    if (blockMode) o.clearAt = {3000, 3001, 7000};
    std::vector<size_t> inputEnds, endBits;
    std::vector<int> codes = LzwEncodeCodes(data, o, &inputEnds);
    std::string z = LzwPackCodes(codes, o, &endBits);
    ASSERT_EQ(decode(z), data);
    for (size_t cut = 0; cut + 3 <= z.size(); cut++) {
      size_t expected = 0;
      for (size_t i = 0; i < codes.size() && endBits[i] <= cut * 8; i++) expected = inputEnds[i];
      EXPECT_EQ(decode(z.substr(0, 3 + cut)), data.substr(0, expected))
          << "cut after " << cut << " code bytes, block mode " << blockMode;
    }
  }
}

// The filter loads its codes a group at a time, 9 to 16 bytes: groups cut
// by the source's fills at every place read the same as whole ones.
TEST(LzwStream, GroupsCutByTheSourcesFillsDecodeTheSame) {
  std::string data = TextSample(150000, 31) + NoiseSample(20000, 31);  // widths up to 16 bits
  LzwEncodeOptions o;
  o.clearAt = {90000};
  std::string z = LzwEncode(data, o);
  for (int chunk : {1, 2, 5, 9, 13, 16, 17, 4099})
    EXPECT_EQ(decode(z, nullptr, chunk), data) << "fills of " << chunk;
}

TEST(LzwStream, SmallStreams) {
  EXPECT_EQ(decode(header(0x90)), "");  // only the header
  EXPECT_EQ(decode(LzwEncode("Q")), "Q");
  LzwEncodeOptions plain;
  plain.blockMode = false;
  EXPECT_EQ(decode(LzwEncode("Q", plain)), "Q");
  EXPECT_EQ(decode(LzwEncode("abababababababab")), "abababababababab");
  // Flag bits 5 and 6 mean nothing to the decoder.
  std::string z = LzwEncode("hello hello hello");
  z[2] = static_cast<char>(z[2] | 0x60);
  EXPECT_EQ(decode(z), "hello hello hello");
}

TEST(LzwStream, HeadersOfOtherDataOrOtherWidthsAreRefused) {
  EXPECT_TRUE(accepted(header(0x90)));
  EXPECT_FALSE(accepted(""));
  EXPECT_FALSE(accepted("\x1f"));
  EXPECT_FALSE(accepted("\x1f\x9d"));  // cut before the flag byte
  EXPECT_FALSE(accepted("\x1f\x8b\x08\x00"));
  EXPECT_FALSE(accepted("\x9d\x1f\x90"));
  for (int bits : {0, 9, 10, 11, 17, 31}) {
    EXPECT_FALSE(accepted(header(0x80 | bits))) << bits;
    EXPECT_FALSE(accepted(header(bits))) << bits;
  }
  for (int bits = 12; bits <= 16; bits++) EXPECT_TRUE(accepted(header(bits))) << bits;
}

TEST(LzwStream, CorruptCodesEndTheDataInsteadOfReachingUnsetEntries) {
  LzwEncodeOptions o;
  o.maxBits = 16;
  auto codes = [&](std::vector<int> c) { return LzwPackCodes(c, o); };
  // A code above the next free entry (257 after one code, then 258).
  EXPECT_EQ(decode(codes({'a', 'b', 300, 'c'})), "ab");
  EXPECT_EQ(decode(codes({'a', 259})), "a");
  // The free entry itself is fine: the previous string and its first byte.
  EXPECT_EQ(decode(codes({'a', 'b', 258, 'c'})), "abbbc");
  // A first code that is no single byte.
  EXPECT_EQ(decode(codes({300, 'a'})), "");
  EXPECT_EQ(decode(codes({256, 'a'})), "");
  // After a clear the table is empty: only a single byte may follow.
  EXPECT_EQ(decode(codes({'a', 'b', 257, 256, 'c', 'd', 257})), "abab" "cdcd");
  EXPECT_EQ(decode(codes({'a', 'b', 257, 256, 257, 'c'})), "abab");
  EXPECT_EQ(decode(codes({'a', 'b', 256, 256, 'c'})), "ab");
  // Without block mode 256 is a string and 257 the one after it.
  o.blockMode = false;
  EXPECT_EQ(decode(codes({'x', 'y', 256, 257, 258})), "xy" "xy" "yx" "xyy");
  EXPECT_EQ(decode(codes({'x', 300})), "x");
}

}  // namespace
