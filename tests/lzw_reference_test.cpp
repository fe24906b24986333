// The LZW filter against the plain decoder of the test support
// (LzwReferenceDecode) over generated code streams: valid and corrupt codes,
// clears, every width, strings long enough to leave the filter's window and
// streams cut anywhere; read in pieces of several sizes, with and without
// skips.  The fuzz target lzwways does the same over arbitrary bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fontfile/decompress.h"
#include "tests/support/lzw_encoder.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"

namespace {

// Tracks the next free entry the way the packer and the decoder do.
struct CodeStream {
  LzwEncodeOptions options;
  std::vector<int> codes;
  int freeEntry;
  explicit CodeStream(const LzwEncodeOptions &o)
      : options(o), freeEntry(o.blockMode ? 257 : 256) {}
  int firstEntry() const { return options.blockMode ? 257 : 256; }
  int maxMaxCode() const { return 1 << options.maxBits; }
  void add(int code) {
    if (options.blockMode && code == 256)
      freeEntry = 256;  // the single byte after it makes this 257
    else if (!codes.empty() && freeEntry < maxMaxCode())
      ++freeEntry;
    codes.push_back(code);
  }
  std::string packed() const { return LzwPackCodes(codes, options); }
};

// Random codes: single bytes, recent and old strings, the free entry
// itself, clears, and now and then a code the decoder must stop at.
std::string randomCodes(std::mt19937 &rng, int maxBits, bool blockMode, int count) {
  LzwEncodeOptions o;
  o.maxBits = maxBits;
  o.blockMode = blockMode;
  CodeStream s(o);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  s.add(pick(0, 255));
  for (int i = 1; i < count; i++) {
    bool afterClear = blockMode && s.codes.back() == 256;
    int roll = pick(0, 999);
    int defined = s.freeEntry - s.firstEntry();  // strings in the table
    if (afterClear || roll < 400 || defined == 0) {
      s.add(pick(0, 255));
    } else if (roll < 650) {
      s.add(pick(std::max(s.firstEntry(), s.freeEntry - 40), s.freeEntry - 1));
    } else if (roll < 800) {
      s.add(pick(s.firstEntry(), s.freeEntry - 1));
    } else if (roll < 970) {
      s.add(s.freeEntry < s.maxMaxCode() ? s.freeEntry : pick(0, 255));
    } else if (roll < 985 && blockMode) {
      s.add(256);
    } else if (roll < 990) {
      // Corrupt: past the free entry, or a string right after a clear.
      if (s.freeEntry + 1 < s.maxMaxCode()) s.codes.push_back(pick(s.freeEntry + 1, s.maxMaxCode() - 1));
      else s.add(pick(0, 255));
    } else {
      s.add(pick(0, 255));
    }
  }
  return s.packed();
}

// A string that grows by two bytes every few codes, `cycles` times: a
// single byte, the entry just defined (the long string followed by that
// byte) and the free entry zero to two times (the same plus its first
// byte).  Then references to strings from all over the table (most of them
// have left the filter's window by then), to the last few strings (still in
// it) and to the free entry.
std::string growingStrings(std::mt19937 &rng, int cycles, int references) {
  LzwEncodeOptions o;
  o.maxBits = 16;
  CodeStream s(o);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  s.add('x');
  for (int i = 0; i < cycles; i++) {
    s.add(pick(0, 255));
    s.add(s.freeEntry - 1);
    for (int k = pick(0, 2); k > 0; k--) s.add(s.freeEntry);
  }
  for (int i = 0; i < references; i++) {
    int roll = pick(0, 4);
    if (roll == 0) s.add(pick(0, 255));
    else if (roll == 1) s.add(pick(257, 400));
    else if (roll == 2) s.add(pick(257, s.freeEntry - 1));
    else if (roll == 3) s.add(pick(s.freeEntry - 3, s.freeEntry - 1));
    else s.add(s.freeEntry);
  }
  return s.packed();
}

// The filter's bytes read in blocks of `block` (0: a byte at a time) from a
// source filling `chunk` bytes at a time, against the reference.
void expectSameDelivery(const std::string &z, const std::string &what) {
  const std::string expected = LzwReferenceDecode(z);
  struct Way {
    int chunk, block;
  };
  for (Way w : {Way{BUFFILESIZE, 0}, Way{1, 4096}, Way{7, 1}, Way{BUFFILESIZE, 100000}}) {
    std::string got = DecodeThrough(BufFilePushCompressed, z, nullptr, w.chunk, w.block);
    ASSERT_EQ(got.size(), expected.size())
        << what << ", source pieces " << w.chunk << ", reads of " << w.block;
    ASSERT_TRUE(got == expected) << what << ", source pieces " << w.chunk << ", reads of " << w.block;
  }
}

// Skips and reads in turn (sizes from `steps`, cycled) against the same on
// the reference's bytes: skip results, read counts and bytes must agree.
void expectSameWithSkips(const std::string &z, const std::vector<int> &steps,
                         const std::string &what) {
  const std::string expected = LzwReferenceDecode(z);
  BufFile *f = BufFilePushCompressed(MemBufOpen(z.data(), z.size()));
  ASSERT_NE(f, nullptr) << what;
  size_t pos = 0;
  std::vector<char> buf;
  for (size_t i = 0; i < 4 * steps.size() + 2 && pos <= expected.size(); i++) {
    int n = steps[i % steps.size()];
    if (i % 2 == 0) {
      int want = n <= static_cast<int>(expected.size() - pos) ? n : -1;
      ASSERT_EQ(BufFileSkip(f, n), want) << what << ", skip " << i;
      pos = want < 0 ? expected.size() + 1 : pos + static_cast<size_t>(n);
    } else {
      buf.resize(static_cast<size_t>(n));
      int got = BufFileRead(f, buf.data(), n);
      size_t left = pos < expected.size() ? expected.size() - pos : 0;
      ASSERT_EQ(static_cast<size_t>(got), std::min(left, static_cast<size_t>(n))) << what << ", read " << i;
      ASSERT_TRUE(std::string(buf.data(), static_cast<size_t>(got)) ==
                  expected.substr(std::min(pos, expected.size()), static_cast<size_t>(got)))
          << what << ", read " << i;
      pos += static_cast<size_t>(got);
    }
  }
  BufFileClose(f, 1);
}

TEST(LzwReference, RandomCodeStreamsAtEveryWidthDecodeAlike) {
  std::mt19937 rng(20261208);
  for (int maxBits = 12; maxBits <= 16; maxBits++) {
    for (bool blockMode : {true, false}) {
      for (int round = 0; round < 6; round++) {
        int count = round < 3 ? 600 : 6000;
        std::string z = randomCodes(rng, maxBits, blockMode, count);
        std::string what = "bits " + std::to_string(maxBits) + " block " +
                           std::to_string(blockMode) + " round " + std::to_string(round);
        expectSameDelivery(z, what);
        // Cut anywhere: inside a group, inside a code.
        size_t cut = 3 + rng() % (z.size() - 2);
        expectSameDelivery(z.substr(0, cut), what + " cut at " + std::to_string(cut));
      }
    }
  }
}

TEST(LzwReference, StringsThatLeaveTheWindowDecodeAlike) {
  std::mt19937 rng(5);
  // Strings growing to 1,400 bytes (about 0.7 MiB in all), then to 6,600
  // (about 22 MiB), far past the filter's window; the second stream passes
  // the filter's renumbering of output positions (at 16 MiB) some 5 MiB
  // before its end.
  struct Case {
    int cycles, references;
    size_t atLeast;
  };
  for (Case c : {Case{700, 3000, size_t{1} << 19}, Case{3300, 1000, size_t{21} << 20}}) {
    std::string z = growingStrings(rng, c.cycles, c.references);
    std::string what = std::to_string(c.cycles) + " cycles of growing strings";
    const std::string expected = LzwReferenceDecode(z);
    ASSERT_GT(expected.size(), c.atLeast) << what;
    std::string got = DecodeThrough(BufFilePushCompressed, z, nullptr, 13, 65536);
    ASSERT_EQ(got.size(), expected.size()) << what;
    EXPECT_TRUE(got == expected) << what;
    expectSameWithSkips(z, {1, 70000, 8191, 300000, 5, 8193}, what + " with skips");
  }
}

TEST(LzwReference, EncodedDataWithClearsCutAnywhereAndSkippedDecodesAlike) {
  std::mt19937 rng(9);
  std::string data = TextSample(120000, 41) + NoiseSample(30000, 41) + TextSample(60000, 42);
  for (int maxBits : {12, 14, 16}) {
    LzwEncodeOptions o;
    o.maxBits = maxBits;
    o.clearAt = {5000, 5001, 99999, 150000};
    std::string z = LzwEncode(data, o);
    ASSERT_EQ(LzwReferenceDecode(z), data) << maxBits;
    for (int i = 0; i < 4; i++) {
      size_t cut = 3 + rng() % (z.size() - 2);
      expectSameDelivery(z.substr(0, cut), "bits " + std::to_string(maxBits) + " cut at " +
                                               std::to_string(cut));
    }
    expectSameWithSkips(z, {0, 8192, 3, 40000, 1, 8191, 12345}, "bits " + std::to_string(maxBits));
  }
}

}  // namespace
