#include "tests/support/lzw_encoder.h"

#include <cstdint>
#include <unordered_map>

namespace {
constexpr int kInitBits = 9;

int scheduleBits(const LzwEncodeOptions &o) {
  return o.maxBits < kInitBits ? kInitBits : o.maxBits > 16 ? 16 : o.maxBits;
}
}  // namespace

std::vector<int> LzwEncodeCodes(const std::string &input, const LzwEncodeOptions &o,
                                std::vector<size_t> *inputEnds) {
  std::vector<int> codes;
  if (input.empty()) return codes;
  const int maxMaxCode = 1 << scheduleBits(o);
  const int firstFree = o.blockMode ? kLzwClearCode + 1 : kLzwClearCode;
  std::unordered_map<uint32_t, int> table;  // (prefix << 8 | byte) -> code
  int freeEnt = firstFree;
  auto emit = [&](int code, size_t end) {
    codes.push_back(code);
    if (inputEnds) inputEnds->push_back(end);
  };
  auto clear = [&](size_t end) {
    table.clear();
    freeEnt = firstFree;
    emit(kLzwClearCode, end);
  };

  size_t nextClear = 0;
  int ent = static_cast<unsigned char>(input[0]);
  for (size_t i = 1; i < input.size(); i++) {
    int c = static_cast<unsigned char>(input[i]);
    bool clearHere = o.blockMode && nextClear < o.clearAt.size() && o.clearAt[nextClear] == i;
    if (!clearHere) {
      auto it = table.find(static_cast<uint32_t>(ent) << 8 | static_cast<uint32_t>(c));
      if (it != table.end()) {
        ent = it->second;
        continue;
      }
    }
    emit(ent, i);
    // Before a clear the new entry would be dropped at once.
    if (freeEnt < maxMaxCode && !clearHere)
      table[static_cast<uint32_t>(ent) << 8 | static_cast<uint32_t>(c)] = freeEnt++;
    ent = c;
    if (clearHere) {
      while (nextClear < o.clearAt.size() && o.clearAt[nextClear] <= i) ++nextClear;
      clear(i);
    } else if (freeEnt >= maxMaxCode && o.clearWhenFull && o.blockMode) {
      clear(i);
    }
  }
  emit(ent, input.size());
  return codes;
}

std::string LzwPackCodes(const std::vector<int> &codes, const LzwEncodeOptions &o,
                         std::vector<size_t> *endBits) {
  std::string out;
  out.push_back('\x1f');
  out.push_back('\x9d');
  out.push_back(static_cast<char>((o.maxBits & 0x1F) | (o.blockMode ? 0x80 : 0)));
  const int maxBits = scheduleBits(o);
  const int maxMaxCode = 1 << maxBits;
  int freeEntry = o.blockMode ? kLzwClearCode + 1 : kLzwClearCode;
  int nBits = kInitBits;
  int maxCode = (1 << nBits) - 1;
  bool clearPending = false;
  unsigned char group[16] = {};
  int bit = 0;  // within the group
  auto flush = [&](size_t bytes) {
    out.append(reinterpret_cast<char *>(group), bytes);
    bit = 0;
    for (auto &b : group) b = 0;
  };

  for (size_t i = 0; i < codes.size(); i++) {
    // The decoder's width rule, applied before each code: a new width or a
    // clear starts a new group, the rest of the old one being padding.
    if (clearPending || freeEntry > maxCode) {
      if (bit > 0) flush(static_cast<size_t>(nBits));
      if (freeEntry > maxCode) {
        ++nBits;
        maxCode = nBits == maxBits ? maxMaxCode : (1 << nBits) - 1;
      }
      if (clearPending) {
        nBits = kInitBits;
        maxCode = (1 << nBits) - 1;
        clearPending = false;
      }
    }
    int code = codes[i];
    for (int b = 0; b < nBits; b++, bit++)
      if (code & (1 << b)) group[bit >> 3] |= static_cast<unsigned char>(1 << (bit & 7));
    if (endBits) endBits->push_back((out.size() - 3) * 8 + static_cast<size_t>(bit));
    if (bit == nBits * 8) flush(static_cast<size_t>(nBits));
    if (o.blockMode && code == kLzwClearCode) {
      freeEntry = kLzwClearCode;
      clearPending = true;
    } else if (i > 0 && freeEntry < maxMaxCode) {
      ++freeEntry;
    }
  }
  // The last group holds only the bytes with bits in them.
  flush(static_cast<size_t>((bit + 7) / 8));
  return out;
}

std::string LzwEncode(const std::string &input, const LzwEncodeOptions &options) {
  return LzwPackCodes(LzwEncodeCodes(input, options), options);
}
