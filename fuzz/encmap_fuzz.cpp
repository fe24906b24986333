// The Unicode mapping of encoding files over arbitrary bytes.  Each input is
// read once normally and checked against a plain model, a table of codes in
// which every line overwrites what it names, whenever the encoding's codes
// are few enough for one; then once for each allocation the read made, with
// that allocation failing, which must give the out-of-memory result (the
// leak checker of the sanitizer build sees what was not released).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "fontenc/encparse.h"
#include "tests/support/membuf.h"
#include "util/miscutil.h"

namespace {

constexpr uint32_t kModelCodes = 1024;

bool isCharacter(uint64_t u) {
  return u >= 0x20 && !(u >= 0x7f && u <= 0x9f) && !(u >= 0xd800 && u <= 0xdfff) && u <= 0x10ffff;
}

// The model: the same lines through the line classifier, applied code by
// code.  False when the encoding has codes beyond the model's table.
bool model(const uint8_t *data, size_t size, std::vector<uint32_t> *chars) {
  BufFile *f = MemBufOpen(data, size);
  if (!f) std::abort();
  std::vector<int64_t> table(kModelCodes, -1);  // code -> character, -1 unmapped
  uint32_t encodingSize = 256, rowSize = 0;
  bool inUnicode = false;
  auto put = [&](uint32_t low, uint32_t high, int64_t unicode) {
    for (uint64_t c = low; c <= high && c < kModelCodes; c++)
      table[c] = unicode < 0 ? -1 : unicode + static_cast<int64_t>(c - low);
  };
  bool started = getnextline(f) == 1;
  for (int line; started && (line = getnextline(f)) != -1;) {
    if (line == 8) {
      encodingSize = value1;
      rowSize = value2;
    } else if (line == 2) {
      inUnicode = strcasecmp(keyword_value, "unicode") == 0;
    } else if (line == 3) {
      inUnicode = false;
    } else if (inUnicode && line == 4) {
      put(value1, value1, value2);
    } else if (inUnicode && line == 5 && value1 <= value2) {
      put(value1, value2, value3);
    } else if (inUnicode && line == 6 && value1 <= value2) {
      put(value1, value2, -1);
    }
  }
  BufFileClose(f, 1);
  if (rowSize == 0 ? encodingSize > kModelCodes : encodingSize > kModelCodes / 256) return false;
  chars->clear();
  for (uint32_t c = 0; c < kModelCodes; c++) {
    bool inside = rowSize == 0 ? c < encodingSize : c / 256 < encodingSize && c % 256 < rowSize;
    if (inside && table[c] >= 0 && isCharacter(static_cast<uint64_t>(table[c])))
      chars->push_back(static_cast<uint32_t>(table[c]));
  }
  std::sort(chars->begin(), chars->end());
  chars->erase(std::unique(chars->begin(), chars->end()), chars->end());
  return true;
}

void check(const uint8_t *data, size_t size, const EncodingUnicodeMap &map) {
  const uint32_t *chars = map.chars.get();
  for (size_t i = 0; i < map.count; i++) {
    if (!isCharacter(chars[i])) std::abort();
    if (i > 0 && chars[i - 1] >= chars[i]) std::abort();
  }
  // Each code maps to one character at most.
  if (map.count > map.codes) std::abort();
  std::vector<uint32_t> expected;
  if (model(data, size, &expected) &&
      (expected.size() != map.count ||
       !std::equal(expected.begin(), expected.end(), chars)))
    std::abort();
}

// Returns the number of allocations the read made.
long readOnce(const uint8_t *data, size_t size, long failAt) {
  BufFile *f = MemBufOpen(data, size);
  if (!f) return 0;
  EncodingUnicodeMap map;
  FontAllocFailAt(failAt);
  EncodingMapResult result = ReadEncodingUnicodeMap(f, &map);
  long made = FontAllocCount();
  FontAllocFailAt(0);
  BufFileClose(f, 1);
  if (failAt > 0 && failAt <= made && result != EncodingMapResult::OutOfMemory) std::abort();
  if (failAt == 0 && result == EncodingMapResult::OutOfMemory) std::abort();
  if (result == EncodingMapResult::Read) {
    if (!map.name || std::strlen(map.name.get()) >= static_cast<size_t>(kEncodingWordMax)) std::abort();
    if (failAt == 0) check(data, size, map);
  }
  return made;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  long made = readOnce(data, size, 0);
  for (long n = 1; n <= made; n++) readOnce(data, size, n);
  return 0;
}
