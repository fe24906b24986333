#include "tool/linediff.h"

#include <cstring>

namespace {

bool sameLine(const TextLine &a, const TextLine &b) {
  return a.hash == b.hash && a.length == b.length && std::memcmp(a.text, b.text, a.length) == 0;
}

// A stretch of the old text and the stretch of the new text it turns into.
struct Stretch {
  size_t oldBegin, oldEnd, nowBegin, nowEnd;
};

// A growable array through the allocation wrappers.
template <class T>
class Array {
 public:
  bool push(const T &value) {
    if (count_ == capacity_) {
      size_t wanted = capacity_ ? capacity_ * 2 : 16;
      T *grown = static_cast<T *>(FontReallocArray(items_.get(), wanted, sizeof(T)));
      if (!grown) return false;
      items_.release();
      items_.reset(grown);
      capacity_ = wanted;
    }
    items_.get()[count_++] = value;
    return true;
  }
  T pop() { return items_.get()[--count_]; }
  size_t count() const { return count_; }
  T &operator[](size_t i) { return items_.get()[i]; }

 private:
  FontPtr<T> items_;
  size_t count_ = 0, capacity_ = 0;
};

// One distinct line of a stretch: how often it occurs on each side, and
// where it occurred last.
struct Occurrence {
  const TextLine *line;  // none: a free slot
  uint32_t oldCount, nowCount;
  size_t oldIndex, nowIndex;
};

// The lines of a stretch by their text, open addressing.
class OccurrenceTable {
 public:
  bool init(size_t lines) {
    size_t slots = 16;
    while (slots < 2 * lines) slots *= 2;  // at most half full
    slots_.reset(FontAllocN<Occurrence>(slots));
    if (!slots_) return false;
    mask_ = slots - 1;
    for (size_t i = 0; i < slots; i++) slots_.get()[i].line = nullptr;
    return true;
  }
  Occurrence &at(const TextLine &line) {
    for (size_t i = line.hash & mask_;; i = (i + 1) & mask_) {
      Occurrence &o = slots_.get()[i];
      if (!o.line) {
        o = Occurrence{&line, 0, 0, 0, 0};
        return o;
      }
      if (sameLine(*o.line, line)) return o;
    }
  }

 private:
  FontPtr<Occurrence> slots_;
  size_t mask_ = 0;
};

class Differ {
 public:
  Differ(const LineList &old, const LineList &now, LineChangeFunction report, void *context)
      : old_(old.lines.get()), now_(now.lines.get()), report_(report), context_(context) {}

  bool run(size_t oldCount, size_t nowCount) {
    if (!pending_.push(Stretch{0, oldCount, 0, nowCount})) return false;
    while (pending_.count() > 0)
      if (!diffStretch(pending_.pop())) return false;
    return true;
  }

 private:
  // Reports the stretch if it has no anchors; otherwise queues the stretches
  // between its anchors, first one on top.
  bool diffStretch(Stretch s) {
    while (s.oldBegin < s.oldEnd && s.nowBegin < s.nowEnd && sameLine(old_[s.oldBegin], now_[s.nowBegin])) {
      s.oldBegin++;
      s.nowBegin++;
    }
    while (s.oldBegin < s.oldEnd && s.nowBegin < s.nowEnd && sameLine(old_[s.oldEnd - 1], now_[s.nowEnd - 1])) {
      s.oldEnd--;
      s.nowEnd--;
    }
    Array<size_t> anchorOld, anchorNow;
    if (s.oldBegin < s.oldEnd && s.nowBegin < s.nowEnd && !findAnchors(s, &anchorOld, &anchorNow))
      return false;
    if (anchorOld.count() == 0) {
      for (size_t i = s.oldBegin; i < s.oldEnd; i++) report_(context_, '-', old_[i]);
      for (size_t j = s.nowBegin; j < s.nowEnd; j++) report_(context_, '+', now_[j]);
      return true;
    }
    // Last stretch first, so that the first is taken next.
    size_t oldEnd = s.oldEnd, nowEnd = s.nowEnd;
    for (size_t k = anchorOld.count(); k-- > 0;) {
      if (!pending_.push(Stretch{anchorOld[k] + 1, oldEnd, anchorNow[k] + 1, nowEnd})) return false;
      oldEnd = anchorOld[k];
      nowEnd = anchorNow[k];
    }
    return pending_.push(Stretch{s.oldBegin, oldEnd, s.nowBegin, nowEnd});
  }

  // The longest chain of lines unique on both sides of the stretch whose
  // places increase on both sides, in order.
  bool findAnchors(const Stretch &s, Array<size_t> *anchorOld, Array<size_t> *anchorNow) {
    OccurrenceTable table;
    if (!table.init((s.oldEnd - s.oldBegin) + (s.nowEnd - s.nowBegin))) return false;
    for (size_t i = s.oldBegin; i < s.oldEnd; i++) {
      Occurrence &o = table.at(old_[i]);
      o.oldCount++;
      o.oldIndex = i;
    }
    for (size_t j = s.nowBegin; j < s.nowEnd; j++) {
      Occurrence &o = table.at(now_[j]);
      o.nowCount++;
      o.nowIndex = j;
    }
    // The unique pairs in old order; their new places then form a sequence
    // whose longest increasing run is the chain (patience sorting: tails[k]
    // is the pair ending the best run of length k + 1 found so far).
    Array<size_t> pairOld, pairNow, tails, previous;
    for (size_t i = s.oldBegin; i < s.oldEnd; i++) {
      const Occurrence &o = table.at(old_[i]);
      if (o.oldCount != 1 || o.nowCount != 1) continue;
      if (!pairOld.push(i) || !pairNow.push(o.nowIndex)) return false;
    }
    const size_t none = ~size_t{0};
    for (size_t p = 0; p < pairNow.count(); p++) {
      size_t low = 0, high = tails.count();
      while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (pairNow[tails[middle]] < pairNow[p]) low = middle + 1;
        else high = middle;
      }
      if (!previous.push(low > 0 ? tails[low - 1] : none)) return false;
      if (low == tails.count()) {
        if (!tails.push(p)) return false;
      } else {
        tails[low] = p;
      }
    }
    if (tails.count() == 0) return true;
    // The chain, walked back from its end, then turned around.
    Array<size_t> chain;
    for (size_t p = tails[tails.count() - 1]; p != none; p = previous[p])
      if (!chain.push(p)) return false;
    for (size_t k = chain.count(); k-- > 0;)
      if (!anchorOld->push(pairOld[chain[k]]) || !anchorNow->push(pairNow[chain[k]])) return false;
    return true;
  }

  const TextLine *old_;
  const TextLine *now_;
  LineChangeFunction report_;
  void *context_;
  Array<Stretch> pending_;
};

}  // namespace

bool SplitLines(const char *text, size_t size, LineList *out) {
  size_t count = 0;
  for (const char *p = text, *end = text + size; p < end; count++) {
    const void *newline = std::memchr(p, '\n', static_cast<size_t>(end - p));
    p = newline ? static_cast<const char *>(newline) + 1 : end;
  }
  out->lines.reset(FontAllocN<TextLine>(count ? count : 1));
  if (!out->lines) return false;
  out->count = count;
  TextLine *line = out->lines.get();
  for (const char *p = text, *end = text + size; p < end; line++) {
    const void *newline = std::memchr(p, '\n', static_cast<size_t>(end - p));
    const char *next = newline ? static_cast<const char *>(newline) + 1 : end;
    size_t length = static_cast<size_t>(next - p);
    *line = TextLine{p, length, FontTextHash(p, length)};
    p = next;
  }
  return true;
}

bool DiffLines(const LineList &old, const LineList &now, LineChangeFunction report, void *context) {
  Differ differ(old, now, report, context);
  return differ.run(old.count, now.count);
}
