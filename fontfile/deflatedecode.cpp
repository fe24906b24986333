// Decodes a raw deflate stream into one buffer.  Stored blocks are copied;
// the header of a block with codes of its own is read and checked in full;
// the symbols of every block with codes are decoded through one table lookup
// each, a length and its distance after one refill of the bit buffer.
// While the output has room for the worst step (kStepRoom), matches are
// copied eight bytes at a time, past their end if need be (later output
// overwrites those bytes); near the end of the buffer every write is
// checked.
#include "fontfile/deflatedecode.h"

#include <cstdint>
#include <cstring>

namespace {

constexpr int kMaxCodeBits = 15;
constexpr int kLitLenSymbols = 288;  // including the two reserved codes
constexpr int kDistSymbols = 32;     // including the two reserved codes
constexpr int kMaxLitLenCodes = 286;
constexpr int kMaxDistCodes = 30;
constexpr int kEndOfBlock = 256;
constexpr int kTableBits = 11;  // codes up to this long are found in one lookup
constexpr int kMinMatch = 3;
constexpr int kMaxMatch = 258;

// Bases and extra bits of the length codes 257..285 and of the distance
// codes 0..29.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                      31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr unsigned char kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                            2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr uint16_t kDistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr unsigned char kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                          6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a block header gives the lengths of the code-length code.
constexpr unsigned char kCodeLengthOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                11, 4,  12, 3, 13, 2, 14, 1, 15};

// A table entry: the bits the symbol takes (the low five bits: its code
// and the extra bits that follow it, at most 15 + 13), the code's own
// length (bits 8 to 11), what the symbol is (the flags) and its value (bits
// 16 up): a literal's byte, or the base of a length or a distance, to which
// the extra bits are added.  A literal has the top bit, so that the common
// case is one test of the sign.
constexpr uint32_t kTakeMask = 31;
constexpr int kCodeLengthShift = 8;
constexpr int kValueShift = 16;
constexpr uint32_t kEnd = 1 << 12;  // end of block
constexpr uint32_t kBad = 1 << 13;  // a reserved code
constexpr uint32_t kLong = 1 << 14;  // longer than the table: decode bit by bit
constexpr uint32_t kLiteral = 1u << 31;
constexpr uint32_t kValueMask = 0x7FFF;
// The most bits a length, its distance and their extra bits take: fewer
// than a refill leaves.
constexpr int kPairBits = 15 + 5 + 15 + 13;
static_assert(kPairBits <= 56);

// Bits least significant first, 64 at a time.  Past the end of the data the
// reader supplies zero bits and counts them, so that a decoder that strays
// past the end is noticed (by `overrun`) without a check at every bit.
//
// The buffer's invariants, which both refills keep: it holds count_ <= 64
// bits, the next bits of the stream in its low count_ bits; the bits above
// count_ are zeros or copies of the bits of the data at p_ on (a fast refill
// loads a whole word but counts only its whole bytes, leaving part of the
// next byte above the count).  Or-ing the data at p_ in above the count is
// therefore always right.
class BitReader {
 public:
  BitReader(const unsigned char *in, size_t size) : p_(in), end_(in + size) {}

  // At least 56 bits in the buffer.  Once fewer than 8 bytes are left it
  // takes one byte at a time (and zero bits past the end) and may leave
  // count_ at 64; refillFast is not used after that (it needs 8 bytes).
  void refill() {
    if (end_ - p_ >= 8) {
      refillFast();
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
  // At least 56 bits in the buffer, branch-free.  Requires at least 8
  // bytes of data left (end_ - p_ >= 8: the load reads 8) and count_ < 64
  // (the shift below; after any refill count_ is 56 to 63, and the fast
  // loop's callers only take bits between refills).  The word's bytes
  // shifted in above count_ agree with the copies already there, and only
  // the whole bytes that fit are counted: count_ becomes 56 + count_ % 8,
  // p_ moves past (63 - count_) / 8 bytes, at most 7.
  void refillFast() {
    uint64_t v;
    std::memcpy(&v, p_, 8);
#if __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
    v = __builtin_bswap64(v);
#endif
    buf_ |= v << count_;
    p_ += (63 - count_) >> 3;
    count_ |= 56;
  }
  size_t bytesLeft() const { return static_cast<size_t>(end_ - p_); }
  uint64_t bits() const { return buf_; }
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
  // Passes to the next byte boundary.
  void align() { drop(count_ & 7); }
  // Takes `count` whole bytes into `out`, from a byte boundary; false when
  // the data ends first.
  bool takeBytes(unsigned char *out, size_t count) {
    // Bytes still in the buffer come first.
    while (count > 0 && count_ > padding_) {
      *out++ = static_cast<unsigned char>(take(8));
      --count;
    }
    if (count_ < padding_) return false;
    if (count == 0) return true;
    // The buffer holds no real byte now; restart it after the bytes.
    if (static_cast<size_t>(end_ - p_) < count) return false;
    std::memcpy(out, p_, count);
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

// Every byte with its bits in reverse order.
struct ReversedBytes {
  unsigned char byte[256]{};
  constexpr ReversedBytes() {
    for (int b = 0; b < 256; b++)
      for (int i = 0; i < 8; i++) byte[b] = static_cast<unsigned char>(byte[b] | ((b >> i) & 1) << (7 - i));
  }
  constexpr unsigned char operator[](int b) const { return byte[b]; }
};
constexpr ReversedBytes kReversedByte;

// A complete canonical Huffman code as a decoding table: codes of up to
// kTableBits bits are found with one lookup (indexed by the code's bits in
// stream order), longer ones bit by bit from the counts of codes per length.
class Code {
 public:
  // From the code lengths of `n` symbols and what each symbol is (`info`:
  // an entry without the code's length); false unless they form a complete
  // code.
  bool build(const unsigned char *lengths, int n, const uint32_t *info) {
    if (!isComplete(lengths, n, count_)) return false;
    info_ = info;
    int offset[kMaxCodeBits + 2];
    offset[1] = 0;
    for (int len = 1; len <= kMaxCodeBits; len++) offset[len + 1] = offset[len] + count_[len];
    for (int s = 0; s < n; s++)
      if (lengths[s]) sorted_[offset[lengths[s]]++] = static_cast<uint16_t>(s);

    // The table is as wide as the longest code, up to kTableBits, and is
    // built by lengths: the entries of the codes up to one length fill a
    // table of that width; doubled, it holds them for the next width, where
    // the codes of the next length take the entries no shorter code took.
    // The entries no code up to the table's width takes start longer codes.
    int longest = kMaxCodeBits;
    while (count_[longest] == 0) longest--;
    int width = longest < kTableBits ? longest : kTableBits;
    mask_ = (1u << width) - 1;
    table_[0] = kLong;
    int code = 0, index = 0;
    for (int len = 1; len <= width; len++) {
      std::memcpy(table_ + (1 << (len - 1)), table_, sizeof(uint32_t) << (len - 1));
      for (int i = 0; i < count_[len]; i++, code++, index++)
        table_[reversed(code, len)] = info[sorted_[index]] + static_cast<uint32_t>(len + (len << kCodeLengthShift));
      code <<= 1;
    }
    return true;
  }

  // The entry of the code at the start of `bits` (at least kMaxCodeBits of
  // them valid).
  uint32_t entry(uint64_t bits) const { return resolve(lookup(bits), bits); }
  // The table's entry for those bits, which may say only that the code is
  // longer than the table (kLong); resolve() then finds the code's own.
  uint32_t lookup(uint64_t bits) const { return table_[bits & mask_]; }
  uint32_t resolve(uint32_t e, uint64_t bits) const { return __builtin_expect(e & kLong, 0) ? longEntry(bits) : e; }

 private:
  uint32_t longEntry(uint64_t bits) const {
    int code = 0, first = 0, index = 0;
    for (int len = 1; len <= kMaxCodeBits; len++) {
      code |= static_cast<int>((bits >> (len - 1)) & 1);
      int count = count_[len];
      if (code - first < count)
        return info_[sorted_[index + code - first]] + static_cast<uint32_t>(len + (len << kCodeLengthShift));
      index += count;
      first = (first + count) << 1;
      code <<= 1;
    }
    return kBad;  // cannot happen for a complete code
  }

  // A code's bits arrive most significant first: reversed, it is the low
  // bits of every table index that starts with it.
  static int reversed(int code, int len) {
    return (kReversedByte[code & 0xFF] << 8 | kReversedByte[code >> 8 & 0xFF]) >> (16 - len);
  }

  int count_[kMaxCodeBits + 1];
  uint32_t mask_;  // the table's width in bits, as a mask
  const uint32_t *info_;
  uint16_t sorted_[kLitLenSymbols];  // symbols ordered by code
  uint32_t table_[1 << kTableBits];
};

// What each symbol is, for the tables.
struct SymbolInfo {
  uint32_t litLen[kLitLenSymbols]{};
  uint32_t dist[kDistSymbols]{};
  uint32_t codeLen[19]{};
  constexpr SymbolInfo() {
    for (int s = 0; s < kLitLenSymbols; s++) {
      int l = s - 257;
      litLen[s] = s < kEndOfBlock ? kLiteral | static_cast<uint32_t>(s) << kValueShift
                  : s == kEndOfBlock ? kEnd
                  : s < kMaxLitLenCodes
                      ? static_cast<uint32_t>(kLengthBase[l]) << kValueShift | kLengthExtra[l]
                      : kBad;
    }
    for (int d = 0; d < kDistSymbols; d++)
      dist[d] = d < kMaxDistCodes
                    ? static_cast<uint32_t>(kDistBase[d]) << kValueShift | kDistExtra[d]
                    : kBad;
    for (int s = 0; s < 19; s++) codeLen[s] = static_cast<uint32_t>(s) << kValueShift;
  }
};
constexpr SymbolInfo kInfo;

// The length or distance of an entry: its base and the extra bits after
// its code, all of which it takes.
inline uint32_t valueOf(uint32_t e, BitReader &bits) {
  uint64_t b = bits.bits();
  int take = static_cast<int>(e & kTakeMask);
  bits.drop(take);
  uint32_t extra = static_cast<uint32_t>((b & ((uint64_t{1} << take) - 1)) >> (e >> kCodeLengthShift & 15));
  return (e >> kValueShift & kValueMask) + extra;
}

// The most bytes the match copy below writes past a match's end: 21, when a
// 3-byte match from a distance below 8 (not 4) is copied, eight bytes one by
// one and then two words.  Longer matches and other distances write less
// past their end; the words after the first 24 bytes, at most 7.
constexpr int kCopyOvershoot = 8 + 2 * 8 - kMinMatch;

// The fast loop's room, from its worst step, enumerated: a literal, then a
// match of the longest length, then the bytes its copy may write past it
// (the other steps, one or two literals, write less).  While this much
// output room is left, a step's writes need no check.
constexpr int kStepRoom = 1 + kMaxMatch + kCopyOvershoot;

// Copies a match of `length` bytes (kMinMatch to kMaxMatch) from `distance`
// back, at least 1 and no further back than the output's start, in words of
// eight bytes: up to kCopyOvershoot bytes past its end are written too.
// kStepRoom counts on that bound: a change to these writes must keep
// copyWriteEnd in step, and the static_assert after it then tells whether
// kCopyOvershoot (and so kStepRoom) must grow.
inline void copyMatch(unsigned char *out, uint32_t distance, uint32_t length) {
  const unsigned char *from = out - distance;
  unsigned char *to = out, *end = out + length;
  if (distance < 8) {
    if (distance == 4) {
      // Rows of a bitmap of four bytes each repeat: the pattern fills a
      // word.
      uint32_t row;
      std::memcpy(&row, from, 4);
      uint64_t word = row | uint64_t{row} << 32;
      for (; to < end; to += 8) std::memcpy(to, &word, 8);
      return;
    }
    // The first eight bytes one by one, each from one written before it;
    // then the match repeats with the smallest multiple of the distance
    // that is at least 8, which word copies can take.
    for (int i = 0; i < 8; i++) to[i] = from[i];
    to += 8;
    uint32_t period = distance * ((8 + distance - 1) / distance);
    from = to - period;
  }
  // Most matches are short: two words without a test.
  std::memcpy(to, from, 8);
  std::memcpy(to + 8, from + 8, 8);
  for (to += 16, from += 16; to < end; to += 8, from += 8) std::memcpy(to, from, 8);
}

// Where copyMatch's writes end, counted from `out`: its writes step by step.
constexpr uint32_t copyWriteEnd(uint32_t distance, uint32_t length) {
  uint32_t to = 0;
  if (distance == 4) {
    for (; to < length; to += 8) {}
    return to;
  }
  if (distance < 8) to += 8;
  for (to += 16; to < length; to += 8) {}
  return to;
}
// The most bytes copyMatch writes past the end of any match (a distance of
// 8 stands for all longer ones).
constexpr uint32_t copyOvershoot() {
  uint32_t most = 0;
  for (uint32_t distance = 1; distance <= 8; distance++)
    for (uint32_t length = kMinMatch; length <= kMaxMatch; length++) {
      uint32_t past = copyWriteEnd(distance, length) - length;
      if (past > most) most = past;
    }
  return most;
}
static_assert(copyOvershoot() == kCopyOvershoot, "kStepRoom assumes the copy's overshoot");

// The output and the state of decoding it.
struct Output {
  unsigned char *begin, *at, *end;
};

// While this many input bytes are left, a step's two refills need no check:
// each takes at most 7 bytes and needs 8 left when it starts.
constexpr size_t kStepInput = 16;
static_assert(kStepInput >= 7 + 8);

enum class Symbols { kEndOfBlock, kFault, kNearEnd };

// Decodes the symbols of a block with codes while the output and the input
// have room for a step without checks: up to the end-of-block code, a
// reserved code or a distance before the output's start (a fault), or until
// output or input is near its end.
Symbols decodeRoomy(BitReader &reader, const Code &litLen, const Code &dist, Output &o) {
  // Local copies stay in registers through the loop.
  BitReader bits = reader;
  unsigned char *out = o.at;
  unsigned char *const begin = o.begin, *const end = o.end;
  Symbols result = Symbols::kNearEnd;
  if (bits.bytesLeft() < kStepInput) return result;
  // Each step starts with a refilled buffer and the table entry of its
  // first code looked up: the next step's lookup overlaps the copy of a
  // match.  Literals are tested for first; codes longer than the table are
  // rare and resolved on the way of the other uncommon entries.
  bits.refillFast();
  uint32_t e = litLen.lookup(bits.bits());
  while (end - out >= kStepRoom && bits.bytesLeft() >= kStepInput) {
    if (static_cast<int32_t>(e) < 0) {
      *out++ = static_cast<unsigned char>(e >> kValueShift);
      bits.drop(static_cast<int>(e & kTakeMask));
      // A literal takes at most 15 of the 56 bits: the next code is there.
      e = litLen.lookup(bits.bits());
      if (static_cast<int32_t>(e) < 0) {
        *out++ = static_cast<unsigned char>(e >> kValueShift);
        bits.drop(static_cast<int>(e & kTakeMask));
        bits.refillFast();
        e = litLen.lookup(bits.bits());
        continue;
      }
      // A length needs a full refill; its bits stay where they are.
      bits.refillFast();
    }
    if (__builtin_expect(e & (kEnd | kBad | kLong), 0)) {
      e = litLen.resolve(e, bits.bits());
      if (static_cast<int32_t>(e) < 0) {
        *out++ = static_cast<unsigned char>(e >> kValueShift);
        bits.drop(static_cast<int>(e & kTakeMask));
        bits.refillFast();
        e = litLen.lookup(bits.bits());
        continue;
      }
      if (e & (kEnd | kBad)) {
        bits.drop(static_cast<int>(e & kTakeMask));
        result = e & kEnd ? Symbols::kEndOfBlock : Symbols::kFault;
        break;
      }
    }
    uint32_t length = valueOf(e, bits);
    uint32_t d = dist.lookup(bits.bits());
    if (__builtin_expect(d & (kBad | kLong), 0)) d = dist.resolve(d, bits.bits());
    uint32_t distance = valueOf(d, bits);
    if (__builtin_expect((d & kBad) || distance > static_cast<size_t>(out - begin), 0)) {
      result = Symbols::kFault;
      break;
    }
    bits.refillFast();
    e = litLen.lookup(bits.bits());
    copyMatch(out, distance, length);
    out += length;
  }
  reader = bits;
  o.at = out;
  return result;
}

// Decodes the rest of a block with codes, every write and every bit
// checked; false at a fault, output past the end of its buffer or past the
// end of the data.
bool decodeCareful(BitReader &bits, const Code &litLen, const Code &dist, Output &o) {
  for (;;) {
    bits.refill();
    // Zero bits past the end decode as codes: stop there.
    if (bits.overrun()) return false;
    uint32_t e = litLen.entry(bits.bits());
    if (static_cast<int32_t>(e) < 0) {
      bits.drop(static_cast<int>(e & kTakeMask));
      if (o.at == o.end) return false;
      *o.at++ = static_cast<unsigned char>(e >> kValueShift);
      continue;
    }
    if (e & (kEnd | kBad)) {
      bits.drop(static_cast<int>(e & kTakeMask));
      return (e & kEnd) && !bits.overrun();
    }
    uint32_t length = valueOf(e, bits);
    uint32_t d = dist.entry(bits.bits());
    uint32_t distance = valueOf(d, bits);
    if ((d & kBad) || distance > static_cast<size_t>(o.at - o.begin) || length > static_cast<size_t>(o.end - o.at))
      return false;
    for (uint32_t i = 0; i < length; i++, o.at++) *o.at = o.at[-static_cast<ptrdiff_t>(distance)];
  }
}

// Decodes the symbols of a block with codes up to its end-of-block code.
bool decodeSymbols(BitReader &bits, const Code &litLen, const Code &dist, Output &o) {
  switch (decodeRoomy(bits, litLen, dist, o)) {
    case Symbols::kEndOfBlock: return true;
    case Symbols::kFault: return false;
    case Symbols::kNearEnd: break;
  }
  return decodeCareful(bits, litLen, dist, o);
}

// Reads a block header with codes of its own, checks it and builds its
// codes.
bool readDynamicHeader(BitReader &bits, Code &litLen, Code &dist) {
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
  // The code-length code's codes have at most 7 bits, so the table holds
  // them all.
  Code codeLen;
  if (!codeLen.build(codeLenLengths, 19, kInfo.codeLen)) return false;

  unsigned char lengths[kMaxLitLenCodes + kMaxDistCodes];
  int total = nLitLen + nDist;
  for (int i = 0; i < total;) {
    bits.refill();  // a code of 7 bits and 7 extra bits
    uint32_t e = codeLen.entry(bits.bits());
    bits.drop(static_cast<int>(e & kTakeMask));
    int sym = static_cast<int>(e >> kValueShift);
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
  return litLen.build(lengths, nLitLen, kInfo.litLen) && dist.build(lengths + nLitLen, nDist, kInfo.dist);
}

// The fixed codes of RFC 1951, all 288 and 32 symbols, reserved ones
// included, so that a stream that uses one is caught.
void buildFixed(Code &litLen, Code &dist) {
  unsigned char lengths[kLitLenSymbols + kDistSymbols];
  std::memset(lengths, 8, 144);
  std::memset(lengths + 144, 9, 112);
  std::memset(lengths + 256, 7, 24);
  std::memset(lengths + 280, 8, 8);
  std::memset(lengths + kLitLenSymbols, 5, kDistSymbols);
  litLen.build(lengths, kLitLenSymbols, kInfo.litLen);
  dist.build(lengths + kLitLenSymbols, kDistSymbols, kInfo.dist);
}

}  // namespace

bool DeflateDecodeStrict(const unsigned char *in, size_t size, unsigned char *out, size_t outSize,
                         size_t *produced) {
  BitReader bits(in, size);
  Code litLen, dist;
  Output o{out, out, out + outSize};
  for (;;) {
    bits.refill();
    bool final = bits.take(1) != 0;
    int type = static_cast<int>(bits.take(2));
    if (bits.overrun()) return false;
    if (type == 0) {
      // Stored: from the next byte boundary, the length, its complement and
      // that many bytes.
      bits.align();
      bits.refill();
      uint32_t len = bits.take(16), nlen = bits.take(16);
      if (bits.overrun() || len != (~nlen & 0xFFFF) || len > static_cast<size_t>(o.end - o.at) ||
          !bits.takeBytes(o.at, len))
        return false;
      o.at += len;
    } else if (type == 1) {
      buildFixed(litLen, dist);
      if (!decodeSymbols(bits, litLen, dist, o)) return false;
    } else if (type == 2) {
      if (!readDynamicHeader(bits, litLen, dist) || !decodeSymbols(bits, litLen, dist, o)) return false;
    } else {
      return false;
    }
    if (final) {
      *produced = static_cast<size_t>(o.at - o.begin);
      return true;
    }
  }
}
