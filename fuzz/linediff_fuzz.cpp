// The line comparison of the --check report over arbitrary old and new
// texts (the input up to its first NUL byte, and the rest): the lines it
// does not report must be the same sequence in both texts, reported lines
// come in text order, and equal texts give no report.  Every allocation then
// fails once in turn: the comparison must say so and release everything.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "tool/linediff.h"
#include "util/miscutil.h"

namespace {

struct Reported {
  const LineList *old, *now;
  std::vector<size_t> gone, come;
};

void record(void *context, char change, const TextLine &line) {
  auto *r = static_cast<Reported *>(context);
  const LineList *list = change == '-' ? r->old : r->now;
  std::vector<size_t> &into = change == '-' ? r->gone : r->come;
  size_t index = static_cast<size_t>(&line - list->lines.get());
  if (index >= list->count || (!into.empty() && into.back() >= index)) std::abort();
  into.push_back(index);
}

// The index of the next line not reported, from *i and *next on.
bool nextKept(const LineList &list, const std::vector<size_t> &reported, size_t *i, size_t *next) {
  for (; *i < list.count; ++*i) {
    if (*next < reported.size() && reported[*next] == *i) {
      ++*next;
      continue;
    }
    return true;
  }
  return false;
}

void checkKeptLinesAgree(const LineList &a, const LineList &b, const Reported &r) {
  size_t i = 0, j = 0, gone = 0, come = 0;
  for (;; i++, j++) {
    bool moreOld = nextKept(a, r.gone, &i, &gone), moreNew = nextKept(b, r.come, &j, &come);
    if (moreOld != moreNew) std::abort();
    if (!moreOld) return;
    const TextLine &x = a.lines.get()[i], &y = b.lines.get()[j];
    if (x.length != y.length || std::memcmp(x.text, y.text, x.length) != 0) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  const char *text = reinterpret_cast<const char *>(data);
  const void *nul = size ? std::memchr(text, '\0', size) : nullptr;
  size_t oldSize = nul ? static_cast<size_t>(static_cast<const char *>(nul) - text) : size;
  const char *now = nul ? text + oldSize + 1 : text + size;
  size_t nowSize = nul ? size - oldSize - 1 : 0;
  LineList a, b;
  if (!SplitLines(text, oldSize, &a) || !SplitLines(now, nowSize, &b)) std::abort();
  Reported r{&a, &b, {}, {}};
  FontAllocFailAt(0);
  if (!DiffLines(a, b, record, &r)) std::abort();
  long made = FontAllocCount();
  checkKeptLinesAgree(a, b, r);
  if (oldSize == nowSize && (oldSize == 0 || std::memcmp(text, now, oldSize) == 0) &&
      (!r.gone.empty() || !r.come.empty()))
    std::abort();
  for (long n = 1; n <= made && n <= 64; n++) {
    Reported failing{&a, &b, {}, {}};
    FontAllocFailAt(n);
    bool ok = DiffLines(a, b, record, &failing);
    long after = FontAllocCount();
    FontAllocFailAt(0);
    if (ok && n <= after) std::abort();  // a failure was swallowed
  }
  return 0;
}
