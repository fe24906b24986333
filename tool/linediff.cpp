#include "tool/linediff.h"

#include <algorithm>
#include <cstring>

#include "util/growarray.h"

namespace {

bool sameLine(const TextLine &a, const TextLine &b) {
  return a.hash == b.hash && a.length == b.length && std::memcmp(a.text, b.text, a.length) == 0;
}

// A stretch of the old text and the stretch of the new text it turns into.
struct Stretch {
  size_t oldBegin, oldEnd, nowBegin, nowEnd;
};

class Differ {
 public:
  Differ(const LineList &old, const LineList &now, LineChangeFunction report, void *context)
      : old_(old.lines.get()), now_(now.lines.get()), report_(report), context_(context) {}

  size_t comparisons() const { return comparisons_; }

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
    GrowArray<size_t> anchorOld, anchorNow;
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

  // Line k of a stretch: its old lines first, then its new ones.
  const TextLine &lineOf(const Stretch &s, size_t k) const {
    size_t oldCount = s.oldEnd - s.oldBegin;
    return k < oldCount ? old_[s.oldBegin + k] : now_[s.nowBegin + (k - oldCount)];
  }

  // Orders lines by hash, length and bytes, and equal lines by their place
  // in the stretch, so that the order is total and equal lines are side by
  // side.
  bool before(const Stretch &s, size_t a, size_t b) {
    comparisons_++;
    const TextLine &x = lineOf(s, a), &y = lineOf(s, b);
    if (x.hash != y.hash) return x.hash < y.hash;
    if (x.length != y.length) return x.length < y.length;
    int bytes = std::memcmp(x.text, y.text, x.length);
    return bytes != 0 ? bytes < 0 : a < b;
  }

  // For each old line of the stretch that occurs exactly once on each side,
  // the place of its new twin; none for the others.
  bool findUniquePairs(const Stretch &s, GrowArray<size_t> *twin) {
    const size_t none = ~size_t{0};
    size_t oldCount = s.oldEnd - s.oldBegin, total = oldCount + (s.nowEnd - s.nowBegin);
    GrowArray<size_t> order;
    if (!order.reserve(total, true) || !twin->reserve(oldCount, true)) return false;
    for (size_t k = 0; k < total; k++)
      if (!order.push(k)) return false;
    for (size_t i = 0; i < oldCount; i++)
      if (!twin->push(none)) return false;
    size_t *first = &order[0];
    std::sort(first, first + total, [&](size_t a, size_t b) { return before(s, a, b); });
    // Within a run of equal lines the old ones come first: a run of exactly
    // two, one old and one new, is a unique pair.
    for (size_t run = 0, next; run < total; run = next) {
      for (next = run + 1; next < total; next++) {
        comparisons_++;
        if (!sameLine(lineOf(s, order[run]), lineOf(s, order[next]))) break;
      }
      if (next - run == 2 && order[run] < oldCount && order[run + 1] >= oldCount)
        (*twin)[order[run]] = s.nowBegin + (order[run + 1] - oldCount);
    }
    return true;
  }

  // The longest chain of lines unique on both sides of the stretch whose
  // places increase on both sides, in order.
  bool findAnchors(const Stretch &s, GrowArray<size_t> *anchorOld, GrowArray<size_t> *anchorNow) {
    const size_t none = ~size_t{0};
    GrowArray<size_t> twin;
    if (!findUniquePairs(s, &twin)) return false;
    // The unique pairs in old order; their new places then form a sequence
    // whose longest increasing run is the chain (patience sorting: tails[k]
    // is the pair ending the best run of length k + 1 found so far).
    GrowArray<size_t> pairOld, pairNow, tails, previous;
    for (size_t i = 0; i < twin.count(); i++) {
      if (twin[i] == none) continue;
      if (!pairOld.push(s.oldBegin + i) || !pairNow.push(twin[i])) return false;
    }
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
    GrowArray<size_t> chain;
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
  GrowArray<Stretch> pending_;
  size_t comparisons_ = 0;
};

}  // namespace

bool SplitLines(const char *text, size_t size, LineList *out) {
  size_t count = 0;
  for (const char *p = text, *end = text + size; p < end; count++) {
    const void *newline = std::memchr(p, '\n', static_cast<size_t>(end - p));
    p = newline ? static_cast<const char *>(newline) + 1 : end;
  }
  if (count > kMaxLines - out->count) return false;
  size_t total = out->count + count;
  auto *grown = static_cast<TextLine *>(FontReallocArray(out->lines.get(), total ? total : 1, sizeof(TextLine)));
  if (!grown) return false;
  out->lines.release();
  out->lines.reset(grown);
  TextLine *line = grown + out->count;
  out->count = total;
  for (const char *p = text, *end = text + size; p < end; line++) {
    const void *newline = std::memchr(p, '\n', static_cast<size_t>(end - p));
    const char *next = newline ? static_cast<const char *>(newline) + 1 : end;
    size_t length = static_cast<size_t>(next - p);
    *line = TextLine{p, length, FontTextHash(p, length)};
    p = next;
  }
  return true;
}

bool DiffLines(const LineList &old, const LineList &now, LineChangeFunction report, void *context,
               size_t *comparisons) {
  Differ differ(old, now, report, context);
  bool ok = differ.run(old.count, now.count);
  if (comparisons) *comparisons += differ.comparisons();
  return ok;
}
