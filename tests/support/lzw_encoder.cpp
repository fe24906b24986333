#include "tests/support/lzw_encoder.h"

#include <cstdint>
#include <algorithm>
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

std::string LzwReferenceDecode(const std::string &z, size_t limit) {
  if (z.size() < 3 || z[0] != '\x1f' || z[1] != '\x9d') return "";
  const int maxBits = z[2] & 0x1F;
  const bool blockMode = (z[2] & 0x80) != 0;
  if (maxBits < 12 || maxBits > 16) return "";
  const int maxMaxCode = 1 << maxBits;
  std::vector<std::string> table(static_cast<size_t>(maxMaxCode));
  for (int c = 0; c < 256; c++) table[static_cast<size_t>(c)] = std::string(1, static_cast<char>(c));
  int freeEntry = blockMode ? 257 : 256;
  int nBits = 9;
  int maxCode = 511;
  bool cleared = false;
  size_t at = 3;
  std::vector<int> group;  // the codes of the current group not yet taken
  size_t taken = 0;
  // Codes come in groups of nBits bytes; a group that the end of the data
  // cuts holds only its whole codes.  A new width or a clear drops the rest
  // of the group and starts the next one at the new width.
  auto next = [&]() -> int {
    if (taken == group.size()) {
      if (freeEntry > maxCode) {
        ++nBits;
        maxCode = nBits == maxBits ? maxMaxCode : (1 << nBits) - 1;
      }
      if (cleared) {
        nBits = 9;
        maxCode = 511;
        cleared = false;
      }
      size_t bytes = std::min(static_cast<size_t>(nBits), z.size() - at);
      group.clear();
      taken = 0;
      for (size_t bit = 0; bit + static_cast<size_t>(nBits) <= bytes * 8; bit += static_cast<size_t>(nBits)) {
        int code = 0;
        for (int b = 0; b < nBits; b++) {
          size_t k = bit + static_cast<size_t>(b);
          if ((static_cast<unsigned char>(z[at + k / 8]) >> (k % 8)) & 1) code |= 1 << b;
        }
        group.push_back(code);
      }
      at += bytes;
      if (group.empty()) return -1;
    }
    return group[taken++];
  };
  auto dropGroup = [&] { taken = group.size(); };

  std::string out;
  int code = next();
  if (code < 0 || code >= 256) return out;
  std::string prev = table[static_cast<size_t>(code)];
  out += prev;
  while (out.size() < limit) {
    code = next();
    if (code < 0) break;
    if (blockMode && code == 256) {
      cleared = true;
      dropGroup();
      freeEntry = 257;
      code = next();
      if (code < 0 || code >= 256) break;
      prev = table[static_cast<size_t>(code)];
      out += prev;
      continue;
    }
    if (code > freeEntry) break;
    std::string cur = code == freeEntry ? prev + prev[0] : table[static_cast<size_t>(code)];
    out += cur;
    if (freeEntry < maxMaxCode) {
      table[static_cast<size_t>(freeEntry)] = prev + cur[0];
      ++freeEntry;
      if (freeEntry > maxCode) dropGroup();
    }
    prev = std::move(cur);
  }
  return out;
}
