// Walks the blocks of a raw deflate stream: stored blocks are passed over,
// the header of a block with codes of its own is read and checked in full,
// and the symbols of every block with codes are decoded through one table
// lookup each (lengths and distances passed over with their extra bits in
// the same step, nothing written) to find the reserved codes and the end of
// the block.
#include "fontfile/deflatecheck.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kLitLenSymbols = 288;  // including the two reserved codes
constexpr int kDistSymbols = 32;     // including the two reserved codes
constexpr int kMaxLitLenCodes = 286;
constexpr int kMaxDistCodes = 30;
constexpr int kEndOfBlock = 256;
constexpr int kTableBits = 10;  // codes up to this long are found in one lookup

// Extra bits of the length codes 257..285 and of the distance codes 0..29.
constexpr unsigned char kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr unsigned char kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                          6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a block header gives the lengths of the code-length code.
constexpr unsigned char kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

// A table entry of the walk: the bits the step takes (the code and its
// extra bits: at most 15 + 13) and what the symbol is.  A literal has no
// flag, so that the common step tests one mask.
constexpr uint16_t kTakeMask = 31;
constexpr uint16_t kLength = 1 << 5;  // a distance code follows
constexpr uint16_t kEnd = 1 << 6;     // end of block
constexpr uint16_t kBad = 1 << 7;     // a reserved code
constexpr uint16_t kLong = 1 << 8;    // longer than the table: decode bit by bit
// The most bits a length, its distance and their extra bits take: fewer
// than a refill leaves.
constexpr int kPairBits = 15 + 5 + 15 + 13;
static_assert(kPairBits <= 56);

// Bits least significant first, 64 at a time.  Past the end of the data the
// reader supplies zero bits and counts them, so that a walk that strays past
// the end is noticed (by `overrun`) without a check at every bit.
class BitReader {
 public:
  BitReader(const unsigned char *in, size_t size) : p_(in), end_(in + size) {}

  // At least 56 bits in the buffer.
  void refill() {
    if (end_ - p_ >= 8) {
      uint64_t v;
      std::memcpy(&v, p_, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
      v = __builtin_bswap64(v);
#endif
      buf_ |= v << count_;
      p_ += (63 - count_) >> 3;
      count_ |= 56;
      return;
    }
    while (count_ <= 56) {
      if (p_ < end_)
        buf_ |= uint64_t{*p_++} << count_;
      else
        padding_ += 8;
      count_ += 8;
    }
  }
  uint64_t bits() const { return buf_; }
  int count() const { return count_; }
  // The next n <= 32 bits without taking them; refill first.
  uint32_t peek(int n) const { return static_cast<uint32_t>(buf_ & ((uint64_t{1} << n) - 1)); }
  void drop(int n) {
    buf_ >>= n;
    count_ -= n;
  }
  uint32_t take(int n) {
    uint32_t v = peek(n);
    drop(n);
    return v;
  }
  // True when bits beyond the data have been taken.
  bool overrun() const { return count_ < padding_; }
  // Passes to the next byte boundary, then over count whole bytes.  False
  // when the data ends first.
  bool skipBytes(size_t count) {
    drop(count_ & 7);
    // Bytes still in the buffer come first.
    while (count > 0 && count_ > padding_) {
      drop(8);
      --count;
    }
    if (count_ < padding_) return false;
    if (count == 0) return true;
    // The buffer holds no real byte now; restart it after the skip.
    if (static_cast<size_t>(end_ - p_) < count) return false;
    p_ += count;
    buf_ = 0;
    count_ = 0;
    padding_ = 0;
    return true;
  }

 private:
  const unsigned char *p_, *end_;
  uint64_t buf_ = 0;
  int count_ = 0;    // bits in buf_
  int padding_ = 0;  // how many of them (the topmost) lie past the end
};

// Counts the codes of each length among the lengths of `n` symbols; true
// when they form a complete code: every bit sequence starts one code, so no
// prefix is unused (an incomplete code) and none is used twice (an
// oversubscribed one).  A code of one symbol is incomplete.
bool isComplete(const unsigned char *lengths, int n, int count[kMaxCodeBits + 1]) {
  std::memset(count, 0, sizeof(int) * (kMaxCodeBits + 1));
  for (int s = 0; s < n; s++) count[lengths[s]]++;
  count[0] = 0;
  int left = 1;
  for (int len = 1; len <= kMaxCodeBits; len++) {
    left = (left << 1) - count[len];
    if (left < 0) return false;
  }
  return left == 0;
}

// A complete canonical Huffman code as a walk table: codes of up to
// kTableBits bits are found with one lookup (indexed by the code's bits in
// stream order), longer ones bit by bit from the counts of codes per length.
class WalkCode {
 public:
  // From the code lengths of `n` symbols and what each symbol is (its
  // flags and extra bits, `info`); false unless they form a complete code.
  bool build(const unsigned char *lengths, int n, const uint16_t *info) {
    if (!isComplete(lengths, n, count_)) return false;
    info_ = info;
    int offset[kMaxCodeBits + 2];
    offset[1] = 0;
    for (int len = 1; len <= kMaxCodeBits; len++) offset[len + 1] = offset[len] + count_[len];
    for (int s = 0; s < n; s++)
      if (lengths[s]) sorted_[offset[lengths[s]]++] = static_cast<uint16_t>(s);

    for (auto &e : table_) e = kLong;
    int code = 0, index = 0;
    for (int len = 1; len <= kTableBits; len++) {
      for (int i = 0; i < count_[len]; i++, code++, index++) {
        // The code's bits arrive most significant first: reversed, it is
        // the low bits of every table index that starts with it.
        int reversed = 0;
        for (int b = 0; b < len; b++) reversed |= ((code >> b) & 1) << (len - 1 - b);
        uint16_t entry = static_cast<uint16_t>(info[sorted_[index]] + len);
        for (int at = reversed; at < (1 << kTableBits); at += 1 << len) table_[at] = entry;
      }
      code <<= 1;
    }
    return true;
  }

  // The entry of the code at the start of `bits` (at least kMaxCodeBits of
  // them valid).
  uint16_t entry(uint64_t bits) const {
    uint16_t e = table_[bits & ((1u << kTableBits) - 1)];
    return __builtin_expect(e & kLong, 0) ? longEntry(bits) : e;
  }

 private:
  uint16_t longEntry(uint64_t bits) const {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxCodeBits; len++) {
      code |= static_cast<int>((bits >> (len - 1)) & 1);
      int count = count_[len];
      if (code - first < count) return static_cast<uint16_t>(info_[sorted_[index + code - first]] + len);
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return kBad;  // cannot happen for a complete code
  }

  int count_[kMaxCodeBits + 1];
  const uint16_t *info_;
  uint16_t sorted_[kLitLenSymbols];  // symbols ordered by code
  uint16_t table_[1 << kTableBits];
};

// What each symbol is, for the walk tables.
struct SymbolInfo {
  uint16_t litLen[kLitLenSymbols];
  uint16_t dist[kDistSymbols];
  SymbolInfo() {
    for (int s = 0; s < kLitLenSymbols; s++)
      litLen[s] = s < kEndOfBlock         ? 0
                  : s == kEndOfBlock      ? kEnd
                  : s < kMaxLitLenCodes   ? static_cast<uint16_t>(kLength | kLengthExtra[s - 257])
                                          : kBad;
    for (int d = 0; d < kDistSymbols; d++) dist[d] = d < kMaxDistCodes ? kDistExtra[d] : kBad;
  }
};

// Decodes the symbols of a block with codes up to its end-of-block code;
// false at a reserved code or past the end of the data.  A literal and a
// length are taken alike, without a branch: a literal is followed by a
// distance lookup whose bits are not taken.  Literals and lengths alternate
// without a pattern, and a branch on their kind would be mispredicted at a
// good part of the symbols.
bool walkSymbols(BitReader &reader, const WalkCode &litLen, const WalkCode &dist) {
  // A local copy of the reader stays in registers through the loop.
  BitReader bits = reader;
  uint16_t stop;
  for (;;) {
    // Every step refills (at least kPairBits then): a branch on the bits
    // left would be as hard to predict as one on the symbol's kind.
    bits.refill();
    // Zero bits past the end decode as codes: stop there.
    if (bits.overrun()) {
      stop = kBad;
      break;
    }
    uint16_t e = litLen.entry(bits.bits());
    bits.drop(e & kTakeMask);
    uint16_t d = dist.entry(bits.bits());
    uint16_t isLength = static_cast<uint16_t>(-static_cast<int>((e & kLength) != 0));  // all ones for a length
    bits.drop(d & kTakeMask & isLength);
    stop = static_cast<uint16_t>((e & (kEnd | kBad)) | (d & kBad & isLength));
    if (__builtin_expect(stop != 0, 0)) break;
  }
  reader = bits;
  return stop == kEnd && !bits.overrun();
}

// Reads a block header with codes of its own, checks it and builds its
// codes.
bool readDynamicHeader(BitReader &bits, const SymbolInfo &info, WalkCode &litLen, WalkCode &dist) {
  bits.refill();
  int nLitLen = static_cast<int>(bits.take(5)) + 257;
  int nDist = static_cast<int>(bits.take(5)) + 1;
  int nCodeLen = static_cast<int>(bits.take(4)) + 4;
  if (nLitLen > kMaxLitLenCodes || nDist > kMaxDistCodes) return false;
  unsigned char codeLenLengths[19] = {};
  for (int i = 0; i < nCodeLen; i++) {
    bits.refill();
    codeLenLengths[kCodeLengthOrder[i]] = static_cast<unsigned char>(bits.take(3));
  }
  // The code-length code's entries carry the symbol itself above the
  // flags; its codes have at most 7 bits, so the table holds them all.
  uint16_t codeLenInfo[19];
  for (int s = 0; s < 19; s++) codeLenInfo[s] = static_cast<uint16_t>(s << 9);
  WalkCode codeLen;
  if (!codeLen.build(codeLenLengths, 19, codeLenInfo)) return false;

  unsigned char lengths[kMaxLitLenCodes + kMaxDistCodes];
  int total = nLitLen + nDist;
  for (int i = 0; i < total;) {
    bits.refill();  // a code of 7 bits and 7 extra bits
    uint16_t e = codeLen.entry(bits.bits());
    bits.drop(e & kTakeMask);
    int sym = e >> 9;
    if (sym < 16) {
      lengths[i++] = static_cast<unsigned char>(sym);
      continue;
    }
    int repeat;
    unsigned char value = 0;
    if (sym == 16) {
      if (i == 0) return false;
      value = lengths[i - 1];
      repeat = 3 + static_cast<int>(bits.take(2));
    } else if (sym == 17) {
      repeat = 3 + static_cast<int>(bits.take(3));
    } else {
      repeat = 11 + static_cast<int>(bits.take(7));
    }
    if (repeat > total - i) return false;
    std::memset(lengths + i, value, static_cast<size_t>(repeat));
    i += repeat;
  }
  if (bits.overrun() || lengths[kEndOfBlock] == 0) return false;
  return litLen.build(lengths, nLitLen, info.litLen) && dist.build(lengths + nLitLen, nDist, info.dist);
}

// The fixed codes of RFC 1951, all 288 and 32 symbols, reserved ones
// included, so that a stream that uses one is caught.
void buildFixed(const SymbolInfo &info, WalkCode &litLen, WalkCode &dist) {
  unsigned char lengths[kLitLenSymbols + kDistSymbols];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 112);
  std::memset(lengths + 256, 7, 24);
  std::memset(lengths + 280, 8, 8);
  std::memset(lengths + kLitLenSymbols, 5, kDistSymbols);
  litLen.build(lengths, kLitLenSymbols, info.litLen);
  dist.build(lengths + kLitLenSymbols, kDistSymbols, info.dist);
}

}  // namespace

bool DeflateStreamIsStrict(const unsigned char *in, size_t size) {
  BitReader bits(in, size);
  const SymbolInfo info;
  WalkCode litLen, dist;
  for (;;) {
    bits.refill();
    bool final = bits.take(1) != 0;
    int type = static_cast<int>(bits.take(2));
    if (bits.overrun()) return false;
    if (type == 0) {
      // Stored: from the next byte boundary, the length, its complement and
      // that many bytes.
      if (!bits.skipBytes(0)) return false;
      bits.refill();
      uint32_t len = bits.take(16), nlen = bits.take(16);
      if (bits.overrun() || len != (~nlen & 0xFFFF) || !bits.skipBytes(len)) return false;
    } else if (type == 1) {
      buildFixed(info, litLen, dist);
      if (!walkSymbols(bits, litLen, dist)) return false;
    } else if (type == 2) {
      if (!readDynamicHeader(bits, info, litLen, dist) || !walkSymbols(bits, litLen, dist)) return false;
    } else {
      return false;
    }
    if (final) return true;
  }
}
