// The LZW filter against a plain decoder written here from the format alone
// (a table of whole strings, codes unpacked group by group), over generated
// code streams: valid and corrupt codes, clears, every width, strings long
// enough to leave the filter's window, streams cut anywhere and random
// bytes; read in pieces of several sizes, with and without skips.
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

// A run of strings each one byte longer than the last (every code the free
// entry), `steps` of them, then references to strings from all over the
// table: most of them have left the filter's window by then.
std::string growingStrings(std::mt19937 &rng, int steps, int references) {
  LzwEncodeOptions o;
  o.maxBits = 16;
  CodeStream s(o);
  s.add('x');
  s.add('y');
  for (int i = 0; i < steps; i++) s.add(s.freeEntry);
  auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  for (int i = 0; i < references; i++) {
    int roll = pick(0, 3);
    if (roll == 0) s.add(pick(0, 255));
    else if (roll == 1) s.add(pick(257, 400));
    else if (roll == 2) s.add(pick(257, s.freeEntry - 1));
    else s.add(s.freeEntry - 1);
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

TEST(LzwReference, RandomBytesAfterAHeaderDecodeAlike) {
  std::mt19937 rng(77);
  for (int round = 0; round < 400; round++) {
    std::string z = {'\x1f', '\x9d', static_cast<char>(0x80 * (round % 2) + 12 + round % 5)};
    size_t size = rng() % (round < 300 ? 64 : 4000);
    for (size_t i = 0; i < size; i++) {
      // Mostly small codes, so that the data goes on for a while.
      unsigned char b = static_cast<unsigned char>(rng());
      if (i % 9 == 1 && rng() % 4 != 0) b &= 0x01;
      z.push_back(static_cast<char>(b));
    }
    expectSameDelivery(z, "random bytes, round " + std::to_string(round));
  }
}

TEST(LzwReference, StringsThatLeaveTheWindowDecodeAlike) {
  std::mt19937 rng(5);
  // About 0.5 MiB, then about 10.6 MiB: far past the filter's window, and
  // past the point where it renumbers its output positions.
  for (int steps : {1000, 4600}) {
    std::string z = growingStrings(rng, steps, 3000);
    std::string what = std::to_string(steps) + " growing strings";
    const std::string expected = LzwReferenceDecode(z);
    ASSERT_GT(expected.size(), static_cast<size_t>(steps) * steps / 2);
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
