// The gzip filter against zlib alone: every input goes through the filter
// (which decodes whole members with its own decoder when the build has the
// whole way) and through zlib's streaming inflate of the same body, and both must
// deliver the same bytes and end at the same point.  Among the inputs are
// deflate streams built bit by bit with the malformed blocks that some
// decoders read and zlib refuses.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fontfile/deflatedecode.h"
#include "fontfile/fileio.h"
#include "fontfile/gunzip.h"
#include "tests/support/compressed.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"

namespace {

// Whether the whole-member decoder takes the raw deflate stream `body`,
// given room for 1 MiB of output.
bool strict(const std::string &body) {
  std::vector<unsigned char> out(1 << 20);
  size_t produced;
  return DeflateDecodeStrict(reinterpret_cast<const unsigned char *>(body.data()), body.size(), out.data(),
                             out.size(), &produced);
}

// Deflate data written bit by bit.
class BitWriter {
 public:
  // `n` bits of `value`, least significant first (header fields, extra bits).
  BitWriter &bits(uint32_t value, int n) {
    for (int i = 0; i < n; i++) push((value >> i) & 1);
    return *this;
  }
  // A Huffman code: its bits most significant first.
  BitWriter &code(std::pair<int, int> c) {
    for (int i = c.second - 1; i >= 0; i--) push((c.first >> i) & 1);
    return *this;
  }
  std::string bytes() const { return out_; }

 private:
  void push(int bit) {
    if (used_ % 8 == 0) out_.push_back('\0');
    if (bit) out_.back() = static_cast<char>(out_.back() | (1 << (used_ % 8)));
    used_++;
  }
  std::string out_;
  size_t used_ = 0;
};

// The canonical codes (code, length) of the symbols with the given lengths.
std::vector<std::pair<int, int>> canonical(const std::vector<int> &lengths) {
  int count[16] = {}, next[17] = {};
  for (int l : lengths) count[l]++;
  count[0] = 0;
  for (int l = 1; l <= 15; l++) next[l + 1] = (next[l] + count[l]) << 1;
  std::vector<std::pair<int, int>> codes(lengths.size());
  for (size_t s = 0; s < lengths.size(); s++)
    if (lengths[s]) codes[s] = {next[lengths[s]]++, lengths[s]};
  return codes;
}

std::vector<int> fixedLengths(bool dist) {
  if (dist) return std::vector<int>(32, 5);
  std::vector<int> l(288, 8);
  for (int s = 144; s < 256; s++) l[s] = 9;
  for (int s = 256; s < 280; s++) l[s] = 7;
  return l;
}

// A block with the fixed codes; negative entries are distance codes.
void fixedBlock(BitWriter &w, bool final, const std::vector<int> &symbols) {
  static const auto lit = canonical(fixedLengths(false)), dist = canonical(fixedLengths(true));
  w.bits(final, 1).bits(1, 2);
  for (int s : symbols) w.code(s >= 0 ? lit[s] : dist[-s - 1]);
  w.code(lit[256]);
}

constexpr int kOrder[19] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct Dynamic {
  std::vector<int> litLen, dist;        // code lengths as declared
  std::vector<int> codeLen = std::vector<int>(19, 0);
  // The code-length symbols with their extra bits; by default each length
  // as a symbol of its own.
  std::vector<std::pair<int, int>> lengthSymbols;
  // Data: literal/length symbols (>= 0) and distance symbols (-1 - d),
  // written with the codes of these lengths when given (to write a code
  // that the declared lengths do not define).
  std::vector<int> data, dataDist;
  bool endOfBlock = true;
};

// A complete code-length code over all 19 symbols.
std::vector<int> fullCodeLengthCode() {
  std::vector<int> l(19, 5);
  for (int s = 0; s < 13; s++) l[s] = 4;
  return l;
}

void dynamicBlock(BitWriter &w, bool final, Dynamic d) {
  w.bits(final, 1).bits(2, 2);
  w.bits(static_cast<uint32_t>(d.litLen.size() - 257), 5).bits(static_cast<uint32_t>(d.dist.size() - 1), 5);
  w.bits(19 - 4, 4);
  for (int i = 0; i < 19; i++) w.bits(static_cast<uint32_t>(d.codeLen[kOrder[i]]), 3);
  auto clCodes = canonical(d.codeLen);
  if (d.lengthSymbols.empty()) {
    for (int l : d.litLen) d.lengthSymbols.push_back({l, 0});
    for (int l : d.dist) d.lengthSymbols.push_back({l, 0});
  }
  for (auto [sym, extra] : d.lengthSymbols) {
    w.code(clCodes[sym]);
    if (sym == 16) w.bits(extra, 2);
    if (sym == 17) w.bits(extra, 3);
    if (sym == 18) w.bits(extra, 7);
  }
  auto lit = canonical(d.litLen), dist = canonical(d.dataDist.empty() ? d.dist : d.dataDist);
  for (int s : d.data) w.code(s >= 0 ? lit[s] : dist[-s - 1]);
  if (d.endOfBlock) w.code(lit[256]);
}

// A complete literal/length code of 258 symbols (up to length code 257,
// length 3) and a complete distance code of two, with no extra bits used.
Dynamic plainDynamic() {
  Dynamic d;
  d.litLen.assign(258, 8);
  for (int s = 254; s < 258; s++) d.litLen[s] = 9;
  d.dist = {1, 1};
  d.codeLen = fullCodeLengthCode();
  d.data = {'a', 'b', 'c', 257, -1, 'd'};  // "abc", then "bc" + ... at distance 1
  return d;
}

std::string rawDeflate(const std::string &data, int level, int strategy = Z_DEFAULT_STRATEGY) {
  z_stream z{};
  EXPECT_EQ(deflateInit2(&z, level, Z_DEFLATED, -15, 9, strategy), Z_OK);
  std::string out(deflateBound(&z, data.size()) + 16, '\0');
  z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef *>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string gzipOf(const std::string &data, int level = 6, int strategy = Z_DEFAULT_STRATEGY) {
  return GzipWrap(rawDeflate(data, level, strategy), static_cast<uint32_t>(data.size()));
}

// The filter and zlib alone over `file`, through in-memory sources of two
// fill sizes.  Empty when they agree, else where they part.
std::string compareWays(const std::string &file) {
  bool pushed;
  std::string reference = GzipReference(file, &pushed);
  for (int chunk : {BUFFILESIZE, 5}) {
    FilterDelivery d = DeliverThrough(BufFilePushZIP, file, chunk, chunk == BUFFILESIZE ? 0 : 1000);
    if (d.pushed == pushed && d.bytes == reference && d.endStays) continue;
    size_t at = 0;
    while (at < d.bytes.size() && at < reference.size() && d.bytes[at] == reference[at]) at++;
    return "fill size " + std::to_string(chunk) + ": filter " + std::to_string(d.bytes.size()) +
           " bytes, zlib " + std::to_string(reference.size()) + ", first difference at " +
           std::to_string(at) + (d.endStays ? "" : ", end not kept") +
           (d.pushed == pushed ? "" : ", header judged otherwise");
  }
  return "";
}

// True when the filter's first fill delivers all of the member: the whole
// way does, and streaming does only for a member that fits one output
// buffer.
bool deliveredAtOnce(const std::string &file, size_t size) {
  BufFile *f = BufFilePushZIP(MemBufOpen(file.data(), file.size()));
  if (!f) return false;
  BufFileGetByte(f);
  const unsigned char *ahead;
  bool whole = BufFileAhead(f, &ahead) == static_cast<int>(size) - 1;
  BufFileClose(f, 1);
  return whole;
}

// Whether this build takes members whose blocks pass the check the whole
// way; without the decoder every member is streamed.
bool wholeWayBuilt() { return GzipDecodesWholeMembers(); }

TEST(GzipWays, MembersOfEveryKindDecodeToTheSameBytesEitherWay) {
  // Every member that zlib writes goes the whole way, however many blocks
  // of each kind it has.
  struct Case {
    const char *what;
    std::string data;
    int level, strategy;
  } cases[] = {
      {"empty", "", 6, Z_DEFAULT_STRATEGY},
      {"one byte", "x", 6, Z_DEFAULT_STRATEGY},
      {"text, fast", TextSample(70000, 1), 1, Z_DEFAULT_STRATEGY},
      {"text, best, several blocks", TextSample(400000, 2), 9, Z_DEFAULT_STRATEGY},
      {"noise, several blocks", NoiseSample(150000, 3), 6, Z_DEFAULT_STRATEGY},
      {"noise, stored", NoiseSample(150000, 3), 0, Z_DEFAULT_STRATEGY},
      {"fixed codes, several blocks", TextSample(90000, 4), 6, Z_FIXED},
      {"codes only", TextSample(90000, 5), 6, Z_HUFFMAN_ONLY},
      {"runs", std::string(300000, 'r') + TextSample(9000, 6), 9, Z_RLE},
      {"filtered", NoiseSample(20000, 7) + TextSample(90000, 7), 9, Z_FILTERED},
  };
  for (const Case &c : cases) {
    std::string gz = gzipOf(c.data, c.level, c.strategy);
    EXPECT_EQ(compareWays(gz), "") << c.what;
    EXPECT_EQ(DeliverThrough(BufFilePushZIP, gz, BUFFILESIZE, 0).bytes, c.data) << c.what;
    if (!c.data.empty()) {
      bool atOnce = c.data.size() <= kGzipFilterOutput || wholeWayBuilt();
      EXPECT_EQ(deliveredAtOnce(gz, c.data.size()), atOnce) << c.what;
    }
  }
}

TEST(GzipWays, CutAnywhereBothWaysDeliverAndEndAlike) {
  std::string data = TextSample(3000, 8) + std::string(700, 'z') + NoiseSample(300, 8);
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    std::string gz = gzipOf(data, 9, strategy);
    for (size_t cut = 10; cut <= gz.size(); cut++)
      ASSERT_EQ(compareWays(gz.substr(0, cut)), "") << "cut at " << cut << ", strategy " << strategy;
  }
  // A member of several output buffers, its body cut at a few places.
  std::string big = gzipOf(TextSample(100000, 4) + NoiseSample(30000, 4), 9);
  size_t body = big.size() - 18;
  for (size_t cut : {size_t{0}, size_t{1}, size_t{2}, body / 3, body / 2, body - 1})
    EXPECT_EQ(compareWays(big.substr(0, 10 + cut)), "") << "cut at " << cut << " of " << body;
}

TEST(GzipWays, CorruptBytesAnywhereBothWaysDeliverAndEndAlike) {
  std::string data = TextSample(2500, 9) + std::string(300, 'q');
  for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED}) {
    std::string gz = gzipOf(data, 6, strategy);
    for (size_t at = 10; at < gz.size(); at++)
      for (int flip : {0x01, 0x10, 0x80, 0xFF}) {
        std::string bad = gz;
        bad[at] = static_cast<char>(bad[at] ^ flip);
        ASSERT_EQ(compareWays(bad), "") << "byte " << at << " ^ " << flip << ", strategy " << strategy;
      }
  }
  // A large member whose second half is all ones.
  std::string big = gzipOf(TextSample(100000, 4) + NoiseSample(30000, 4), 9);
  std::fill(big.begin() + static_cast<ptrdiff_t>(big.size() / 2), big.end(), '\xff');
  EXPECT_EQ(compareWays(big), "");
}

TEST(GzipWays, WhateverFollowsTheMemberOnlyTheMemberIsDelivered) {
  std::string data = TextSample(20000, 10);
  std::string gz = gzipOf(data);
  std::string body = rawDeflate(data, 6);
  const std::pair<const char *, std::string> files[] = {
      {"no trailer", gz.substr(0, gz.size() - 8)},
      {"half a trailer", gz.substr(0, gz.size() - 4)},
      {"a second member", gz + gzipOf(TextSample(5000, 11))},
      {"garbage", gz + "garbage after the member"},
      {"garbage ending in a large length", gz + std::string("\x00\x00\xff\x00", 4)},
      {"garbage ending in a small length", gz + std::string("\x05\x00\x00\x00", 4)},
      {"a length too large for the bytes", GzipWrap(body, 1032 * static_cast<uint32_t>(body.size()) + 99)},
      {"a length too small", GzipWrap(body, 19999)},
      {"a length of four gigabytes", GzipWrap(body, 0xFFFFFFFF)},
  };
  for (const auto &[what, file] : files) {
    EXPECT_EQ(compareWays(file), "") << what;
    EXPECT_EQ(DeliverThrough(BufFilePushZIP, file, BUFFILESIZE, 0).bytes, data) << what;
  }
}

TEST(GzipWays, BlocksThatOnlySomeDecodersReadAreStreamed) {
  auto fixed = [](std::vector<int> symbols, bool withStoredBefore = false) {
    BitWriter w;
    if (withStoredBefore) {
      w.bits(0, 1).bits(0, 2).bits(0, 5).bits(3, 16).bits(0xFFFC, 16);
      w.bits('x', 8).bits('y', 8).bits('z', 8);
    }
    fixedBlock(w, true, symbols);
    return w.bytes();
  };
  std::vector<int> longRun(40000, 'a');
  auto withTail = [&](std::vector<int> tail) {
    std::vector<int> s = longRun;
    s.insert(s.end(), tail.begin(), tail.end());
    return s;
  };
  auto dynamic = [](Dynamic d, bool afterPlainBlock = false) {
    BitWriter w;
    if (afterPlainBlock) dynamicBlock(w, false, plainDynamic());
    dynamicBlock(w, true, std::move(d));
    return w.bytes();
  };
  Dynamic tooManyLengths = plainDynamic();
  tooManyLengths.litLen.resize(287, 0);
  Dynamic allLengths = plainDynamic();
  allLengths.litLen.resize(288, 0);
  Dynamic tooManyDistances = plainDynamic();
  tooManyDistances.dist.resize(31, 0);
  Dynamic allDistances = plainDynamic();
  allDistances.dist.resize(32, 0);
  Dynamic oneDistanceUsedWithOne = plainDynamic();
  oneDistanceUsedWithOne.dist = {1};
  oneDistanceUsedWithOne.data = {'a', 'b', 'c', 257};
  Dynamic oneDistanceUsedWithZero = oneDistanceUsedWithOne;
  oneDistanceUsedWithOne.data.push_back(-2);  // the code '1', which names no distance
  oneDistanceUsedWithOne.dataDist = {1, 1};
  oneDistanceUsedWithZero.data.push_back(-1);
  Dynamic noDistances = plainDynamic();
  noDistances.dist = {0};
  Dynamic incompleteDistances = plainDynamic();
  incompleteDistances.dist = {2, 2};
  Dynamic incompleteLengths = plainDynamic();
  incompleteLengths.litLen[255] = 0;
  Dynamic oversubscribedLengths = plainDynamic();
  oversubscribedLengths.litLen[255] = 8;
  Dynamic noEndOfBlock = plainDynamic();
  noEndOfBlock.litLen[256] = 0;
  noEndOfBlock.litLen[253] = 9;
  noEndOfBlock.endOfBlock = false;
  Dynamic incompleteCodeLengthCode = plainDynamic();
  incompleteCodeLengthCode.codeLen[15] = 0;
  Dynamic oneCodeLengthCode = plainDynamic();
  oneCodeLengthCode.codeLen.assign(19, 0);
  oneCodeLengthCode.codeLen[8] = 1;  // every length is 8 and costs one bit
  oneCodeLengthCode.litLen.assign(257, 8);  // oversubscribed with 8 bits each
  oneCodeLengthCode.dist = {8};
  oneCodeLengthCode.data = {'a'};
  Dynamic repeatFirst = plainDynamic();
  repeatFirst.lengthSymbols = {{16, 0}};
  for (size_t i = 3; i < 260; i++) repeatFirst.lengthSymbols.push_back({i < 258 ? repeatFirst.litLen[i] : 1, 0});
  Dynamic repeatPastTheEnd = plainDynamic();
  for (int l : repeatPastTheEnd.litLen) repeatPastTheEnd.lengthSymbols.push_back({l, 0});
  repeatPastTheEnd.lengthSymbols.push_back({1, 0});
  repeatPastTheEnd.lengthSymbols.push_back({16, 0});  // three more 1s: one too many

  const std::pair<const char *, std::string> bodies[] = {
      {"length code 286", fixed({'a', 'b', 286})},
      {"length code 287", fixed({'a', 'b', 287})},
      {"length code 286 after a stored block", fixed({'a', 286}, true)},
      {"distance code 30", fixed(withTail({257, -31}))},
      {"distance code 31", fixed(withTail({257, -32}))},
      {"a distance before the output's start", fixed({'a', 'b', 257, -3})},
      {"287 length codes", dynamic(tooManyLengths)},
      {"288 length codes", dynamic(allLengths)},
      {"31 distance codes", dynamic(tooManyDistances)},
      {"32 distance codes", dynamic(allDistances)},
      {"32 distance codes after a good block", dynamic(allDistances, true)},
      {"a one-code distance code read as 1", dynamic(oneDistanceUsedWithOne)},
      {"a one-code distance code read as 0", dynamic(oneDistanceUsedWithZero)},
      {"no distance code", dynamic(noDistances)},
      {"an incomplete distance code", dynamic(incompleteDistances)},
      {"an incomplete length code", dynamic(incompleteLengths)},
      {"an oversubscribed length code", dynamic(oversubscribedLengths)},
      {"no end-of-block code", dynamic(noEndOfBlock)},
      {"an incomplete code-length code", dynamic(incompleteCodeLengthCode)},
      {"a code-length code of one code", dynamic(oneCodeLengthCode)},
      {"a repeat before the first length", dynamic(repeatFirst)},
      {"a repeat past the last length", dynamic(repeatPastTheEnd)},
      {"a plain block, for comparison", dynamic(plainDynamic())},
  };
  for (const auto &[what, body] : bodies) {
    // The trailer gives room enough, so that no decoder stops for lack of it.
    std::string gz = GzipWrap(body, 100000);
    EXPECT_EQ(compareWays(gz), "") << what;
    bool plain = std::string(what) == "a plain block, for comparison";
    EXPECT_EQ(strict(body), plain) << what;
  }
  // The plain block decodes as intended: a bad test stream would prove nothing.
  std::string plain = GzipWrap(dynamic(plainDynamic()), 7);
  EXPECT_EQ(DeliverThrough(BufFilePushZIP, plain, BUFFILESIZE, 0).bytes, "abccccd");
}

TEST(DeflateDecode, DecodesExactlyIntoTheRoomGiven) {
  // Matches of every distance up to 40 and of lengths short and long, the
  // copies that repeat a pattern shorter than a word among them; each
  // stream decoded into a buffer of exactly its size (the last steps then
  // checked one by one), one byte less (refused) and more.
  std::string periodic;
  for (int period = 1; period <= 40; period++)
    for (int length : {3, 9, 17, 258, 700}) {
      std::string pattern = NoiseSample(static_cast<size_t>(period), period);
      for (int i = 0; i < period + length; i++) periodic += pattern[static_cast<size_t>(i % period)];
    }
  std::vector<std::pair<std::string, int>> cases = {
      {periodic, Z_DEFAULT_STRATEGY}, {periodic, Z_FIXED}, {periodic, Z_RLE},
      {TextSample(100000, 21), Z_DEFAULT_STRATEGY}, {NoiseSample(3000, 22), Z_DEFAULT_STRATEGY},
      {std::string(5000, 'a'), Z_DEFAULT_STRATEGY}, {"ab", Z_FIXED}, {"", Z_DEFAULT_STRATEGY},
  };
  // A longest match from a short distance that ends 0 to 30 bytes before
  // the output's end, after and before literals that keep the input from
  // running out first: the unchecked loop's last steps with their room
  // just enough, or one byte short.
  for (int period : {1, 2, 3, 5})
    for (size_t tail = 0; tail <= 30; tail++) {
      std::string pattern = NoiseSample(static_cast<size_t>(period), 30 + period);
      std::string data = NoiseSample(600, 23);
      for (int i = 0; i < period + 258; i++) data += pattern[static_cast<size_t>(i % period)];
      cases.push_back({data + NoiseSample(tail, 24), Z_DEFAULT_STRATEGY});
    }
  for (const auto &[data, strategy] : cases) {
    for (int level : {0, 1, 9}) {
      std::string body = rawDeflate(data, level, strategy);
      // Alone, and followed by bytes (as a gzip member's trailer follows
      // it), so that the input does not end the unchecked loop first.
      for (const std::string &input : {body, body + std::string(16, '\xFF')}) {
        for (size_t room : {data.size(), data.size() + 1000, data.size() - 1}) {
          if (room > data.size() + 1000) continue;  // no byte less than nothing
          // Exactly the room, so that a sanitizer catches a write past it.
          std::unique_ptr<unsigned char[]> out(new unsigned char[room]);
          size_t produced = 0;
          const auto *in = reinterpret_cast<const unsigned char *>(input.data());
          bool ok = DeflateDecodeStrict(in, input.size(), out.get(), room, &produced);
          EXPECT_EQ(ok, room >= data.size()) << data.size() << " " << level << " " << room;
          if (ok) {
            EXPECT_EQ(produced, data.size());
            EXPECT_EQ(std::string(reinterpret_cast<char *>(out.get()), produced), data);
          }
        }
      }
    }
  }
}

TEST(DeflateDecode, AStreamMustEndWithinItsBytes) {
  // A stream cut anywhere is refused, however much of it is valid.
  std::string body = rawDeflate(TextSample(40000, 13), 6, Z_DEFAULT_STRATEGY);
  EXPECT_TRUE(strict(body));
  EXPECT_TRUE(strict(body + "after"));
  for (size_t cut = 0; cut < body.size(); cut += 1 + cut / 8) EXPECT_FALSE(strict(body.substr(0, cut))) << cut;
}

TEST(GzipWays, FilesReadThroughTheirDescriptorDeliverWhatZlibDoes) {
  // The raw source over a real file, read to its end in large reads: whole,
  // with a tail, and cut in half.
  TempDir dir;
  for (size_t size : {size_t{100}, size_t{30000}, size_t{300000}}) {
    std::string data = TextSample(size, 12);
    std::string gz = gzipOf(data);
    for (const std::string &file : {gz, gz + "tail", gz.substr(0, gz.size() / 2)}) {
      std::string path = dir / "f.gz";
      WriteFile(path, file);
      BufFile *f = FontFileOpen(path.c_str());
      ASSERT_NE(f, nullptr);
      std::string got = ReadStream(f, 3000);
      EXPECT_EQ(BufFileGetByte(f), -1);
      FontFileClose(f);
      bool pushed;
      EXPECT_EQ(got, GzipReference(file, &pushed)) << size << " " << file.size();
      if (file == gz) {
        EXPECT_EQ(got, data);
      }
    }
  }
}

}  // namespace
