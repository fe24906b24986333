// The line comparison behind the --check report.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tool/linediff.h"

namespace {

struct Report {
  std::string text;  // "-line" / "+line", each line's own newline kept
  std::vector<size_t> gone, come;  // indices of the reported lines
  const LineList *old, *now;
  std::vector<std::string> oldLines, nowLines;  // every line of each text
};

void record(void *context, char change, const TextLine &line) {
  auto *r = static_cast<Report *>(context);
  r->text += change + std::string(line.text, line.length);
  const LineList *list = change == '-' ? r->old : r->now;
  (change == '-' ? r->gone : r->come).push_back(static_cast<size_t>(&line - list->lines.get()));
}

Report Diff(const std::string &old, const std::string &now, size_t *comparisons = nullptr) {
  LineList a, b;
  Report r;
  r.old = &a;
  r.now = &b;
  EXPECT_TRUE(SplitLines(old.data(), old.size(), &a));
  EXPECT_TRUE(SplitLines(now.data(), now.size(), &b));
  EXPECT_TRUE(DiffLines(a, b, record, &r, comparisons));
  for (size_t i = 0; i < a.count; i++) r.oldLines.emplace_back(a.lines.get()[i].text, a.lines.get()[i].length);
  for (size_t i = 0; i < b.count; i++) r.nowLines.emplace_back(b.lines.get()[i].text, b.lines.get()[i].length);
  r.old = r.now = nullptr;
  return r;
}

TEST(LineDiff, ShowsTheFewestChangesForTheUsualEdits) {
  struct Case {
    const char *what, *old, *now, *report;
  };
  const Case cases[] = {
      {"equal", "2\na\nb\n", "2\na\nb\n", ""},
      {"a line added", "2\na\nc\n", "3\na\nb\nc\n", "-2\n+3\n+b\n"},
      {"a line gone", "3\na\nb\nc\n", "2\na\nc\n", "-3\n+2\n-b\n"},
      {"a line changed", "a\nb\nc\n", "a\nB\nc\n", "-b\n+B\n"},
      {"a line moved", "a\nb\nc\nd\n", "b\nc\nd\na\n", "-a\n+a\n"},
      {"from nothing", "", "a\nb\n", "+a\n+b\n"},
      {"to nothing", "a\nb\n", "", "-a\n-b\n"},
      {"repeated lines", "x\nx\n", "x\nx\nx\n", "+x\n"},
      {"no unique line to anchor on", "x\ny\nx\ny\n", "y\nx\ny\nx\n", "-x\n-y\n-x\n-y\n+y\n+x\n+y\n+x\n"},
      {"a newline added at the end", "a\nb", "a\nb\n", "-b+b\n"},
      {"lines repeated around unique ones", "1\nx\na\nx\nb\nx\n", "1\nx\na\nx\nc\nx\n", "-b\n+c\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(Diff(c.old, c.now).text, c.report);
  }
}

// Lines from a small vocabulary, so that many repeat, and numbered ones that
// do not.
std::string RandomText(std::mt19937 &random, int lines) {
  std::string text;
  for (int i = 0; i < lines; i++) {
    unsigned pick = random() % 10;
    text += pick < 4 ? "n" + std::to_string(random() % 50) : std::string(1, static_cast<char>('a' + pick));
    text += "\n";
  }
  if (random() % 4 == 0 && !text.empty()) text.pop_back();
  return text;
}

// Edits of a text: lines dropped, changed, added and moved.
std::string Edit(std::mt19937 &random, const std::string &text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  for (int edits = static_cast<int>(random() % 6); edits > 0 && !lines.empty(); edits--) {
    size_t at = random() % lines.size();
    switch (random() % 3) {
      case 0: lines.erase(lines.begin() + static_cast<long>(at)); break;
      case 1: lines.insert(lines.begin() + static_cast<long>(at), "new" + std::to_string(random() % 5) + "\n"); break;
      case 2: std::swap(lines[at], lines[random() % lines.size()]); break;
    }
  }
  std::string out;
  for (const std::string &l : lines) out += l;
  return out;
}

// Whatever the texts: the lines not reported are the same sequence in both,
// so the report is a true account of the change.
TEST(LineDiff, TheLinesNotReportedAreTheSameInBothTexts) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; round++) {
    std::string old = RandomText(random, static_cast<int>(random() % 30));
    std::string now = round % 2 ? Edit(random, old) : RandomText(random, static_cast<int>(random() % 30));
    Report r = Diff(old, now);
    auto kept = [](const std::vector<std::string> &lines, const std::vector<size_t> &reported) {
      std::vector<std::string> out;
      size_t next = 0;
      for (size_t i = 0; i < lines.size(); i++) {
        if (next < reported.size() && reported[next] == i) {
          next++;
          continue;
        }
        out.push_back(lines[i]);
      }
      EXPECT_EQ(next, reported.size()) << "reported out of order";
      return out;
    };
    EXPECT_EQ(kept(r.oldLines, r.gone), kept(r.nowLines, r.come)) << old << "----\n" << now;
    if (old == now) {
      EXPECT_EQ(r.text, "");
    }
  }
}

// Lines chosen to share the low bits of their hash (as anyone who can write
// an index file could choose them) cost the comparison no more work than
// ordinary lines.
TEST(LineDiff, CollidingLinesCostWhatOrdinaryOnesDo) {
  auto work = [](const std::vector<std::string> &lines) {
    std::string old, now;
    for (size_t i = 0; i < lines.size(); i++) {
      old += lines[i];
      now += lines[(i * 7919) % lines.size()];  // the same lines, shuffled
    }
    size_t comparisons = 0;
    Diff(old, now, &comparisons);
    return comparisons;
  };
  const size_t kLines = 4000;  // a multiple of neither 7919 nor its factors
  std::vector<std::string> ordinary, colliding;
  for (size_t i = 0; ordinary.size() < kLines; i++) ordinary.push_back("f" + std::to_string(i) + ".pcf -x-name\n");
  for (size_t i = 0; colliding.size() < kLines; i++) {
    std::string line = "f" + std::to_string(i) + ".pcf -x-name\n";
    if ((FontTextHash(line.data(), line.size()) & 0x3ff) == 0x123) colliding.push_back(line);
  }
  size_t usual = work(ordinary), crafted = work(colliding);
  EXPECT_LT(crafted, usual + usual / 4) << "ordinary lines: " << usual;
  // n log n, not n * n: 8,000 lines take some 200,000 comparisons, not 16 million.
  EXPECT_LT(usual, 100 * kLines);
}

}  // namespace
