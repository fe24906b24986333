// Resolving code assignments: a sweep over the code axis.
//
// Every assignment covers one range of codes; the one that wins at a code is
// the latest that covers it.  The sweep visits the points where some range
// begins or ends after its last code; between two such points the same
// assignments cover every code, so one winner holds for the whole stretch.
// The assignments that cover the current point are kept in a heap by file
// position (latest on top); those that ended are dropped when they reach the
// top.
#include "fontenc/codemap.h"

#include <algorithm>
#include <cstring>

#include "fontfile/fontreader.h"

namespace {

constexpr uint32_t kUnicodeEnd = 0x110000;
constexpr size_t kBitmapWords = kUnicodeEnd / 64;

// Sets (or clears) the bits first..last of a bitmap, a word at a time: a
// stretch of a million characters costs 17 thousand steps.
void setBits(uint64_t *bits, uint32_t first, uint32_t last, bool on) {
  size_t w0 = first / 64, w1 = last / 64;
  uint64_t head = ~uint64_t{0} << (first % 64);
  uint64_t tail = ~uint64_t{0} >> (63 - last % 64);
  if (w0 == w1) head &= tail;
  for (size_t w = w0; w <= w1; w++) {
    uint64_t mask = w == w0 ? head : w == w1 ? tail : ~uint64_t{0};
    bits[w] = on ? bits[w] | mask : bits[w] & ~mask;
  }
}

// What the sweep needs to know of the encoding's code space.
struct CodeSpace {
  uint32_t size;
  uint32_t rowSize;
};

}  // namespace

uint64_t EncodingCodeCount(uint32_t size, uint32_t rowSize) {
  if (rowSize == 0) return size;
  // A code holds a row of 24 bits and a column of 8.
  return std::min<uint64_t>(size, uint64_t{1} << 24) * std::min<uint64_t>(rowSize, 256);
}

bool CodeMap::add(const Assignment &a) {
  if (count_ > 0) {
    // Lines that continue the one before (one code per line, ascending, is
    // how most files are written) extend its range: no line lies between
    // the two, so which of them is later does not matter.
    Assignment &last = items_.get()[count_ - 1];
    if (last.mapped == a.mapped && last.high != UINT32_MAX && last.high + 1 == a.low &&
        (!a.mapped || uint64_t{last.unicode} + (last.high - last.low) + 1 == a.unicode)) {
      last.high = a.high;
      return true;
    }
  }
  if (!FontReaderReserveN(items_, &capacity_, count_ + 1)) return false;
  items_.get()[count_++] = a;
  return true;
}

bool CodeMap::assign(uint32_t low, uint32_t high, uint32_t unicodeLow) {
  return add({low, high, unicodeLow, true});
}

bool CodeMap::unassign(uint32_t low, uint32_t high) { return add({low, high, 0, false}); }

namespace {

// Marks the characters of codes lo..hi, which assignment `a` wins.
void markWon(uint64_t *bits, const CodeSpace &space, uint64_t lo, uint64_t hi, uint32_t low,
             uint32_t unicode) {
  if (unicode >= kUnicodeEnd) return;
  // Codes past this one would map beyond U+10FFFF.
  hi = std::min<uint64_t>(hi, uint64_t{low} + (kUnicodeEnd - 1 - unicode));
  auto mark = [&](uint64_t first, uint64_t last) {
    setBits(bits, static_cast<uint32_t>(unicode + (first - low)),
            static_cast<uint32_t>(unicode + (last - low)), true);
  };
  if (space.rowSize == 0) {
    hi = std::min<uint64_t>(hi, uint64_t{space.size} - 1);
    if (lo <= hi) mark(lo, hi);
    return;
  }
  // At most 4353 rows: the stretch left maps to at most 0x110000 characters.
  uint64_t columns = std::min<uint32_t>(space.rowSize, 256);
  for (uint64_t row = lo / 256; row <= hi / 256 && row < space.size; row++) {
    uint64_t first = std::max(lo, row * 256);
    uint64_t last = std::min(hi, row * 256 + columns - 1);
    if (first <= last) mark(first, last);
  }
}

}  // namespace

bool CodeMap::characters(uint32_t size, uint32_t rowSize, FontPtr<uint32_t> *chars,
                         size_t *count) const {
  chars->reset();
  *count = 0;
  const Assignment *items = items_.get();
  size_t n = count_;
  // The sweep's own arrays: the assignments by first code, the points where
  // a stretch begins, the heap, the bitmap of the characters found.
  FontPtr<uint32_t> order(FontAllocN<uint32_t>(n));
  FontPtr<uint64_t> points(FontAllocN<uint64_t>(2 * n));
  FontPtr<uint32_t> heap(FontAllocN<uint32_t>(n));
  FontPtr<uint64_t> bits(FontAllocN<uint64_t>(kBitmapWords));
  if (!order || !points || !heap || !bits) return false;
  std::memset(bits.get(), 0, kBitmapWords * sizeof(uint64_t));
  for (size_t i = 0; i < n; i++) {
    order.get()[i] = static_cast<uint32_t>(i);
    points.get()[2 * i] = items[i].low;
    points.get()[2 * i + 1] = uint64_t{items[i].high} + 1;
  }
  std::sort(order.get(), order.get() + n,
            [&](uint32_t a, uint32_t b) { return items[a].low < items[b].low; });
  std::sort(points.get(), points.get() + 2 * n);
  size_t pointCount = static_cast<size_t>(std::unique(points.get(), points.get() + 2 * n) - points.get());

  const CodeSpace space{size, rowSize};
  uint32_t *top = heap.get();
  size_t held = 0, next = 0;
  for (size_t k = 0; k + 1 < pointCount && size > 0; k++) {
    uint64_t at = points.get()[k];
    for (; next < n && items[order.get()[next]].low <= at; next++) {
      top[held++] = order.get()[next];
      std::push_heap(top, top + held);
    }
    while (held > 0 && items[top[0]].high < at) {
      std::pop_heap(top, top + held);
      held--;
    }
    if (held == 0 || !items[top[0]].mapped) continue;
    markWon(bits.get(), space, at, points.get()[k + 1] - 1, items[top[0]].low, items[top[0]].unicode);
  }

  uint64_t *b = bits.get();
  setBits(b, 0x0000, 0x001f, false);
  setBits(b, 0x007f, 0x009f, false);
  setBits(b, 0xd800, 0xdfff, false);
  size_t found = 0;
  // Counted a bit at a time: the popcount builtin is a call into libgcc
  // without a target flag, and the tool links no run-time beyond the C one.
  for (size_t w = 0; w < kBitmapWords; w++)
    for (uint64_t word = b[w]; word; word &= word - 1) found++;
  FontPtr<uint32_t> list(FontAllocN<uint32_t>(found));
  if (!list) return false;
  size_t i = 0;
  for (size_t w = 0; w < kBitmapWords; w++)
    for (uint64_t word = b[w]; word; word &= word - 1)
      list.get()[i++] = static_cast<uint32_t>(w * 64 + static_cast<size_t>(__builtin_ctzll(word)));
  *chars = std::move(list);
  *count = found;
  return true;
}
