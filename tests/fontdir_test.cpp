// The font name table: growth, exact lookup through the index, and the
// wildcard patterns.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "fontfile/fontdir.h"
#include "util/miscutil.h"

namespace {

// The name refers to the text: keep the string alive while the name is used.
FontName NameOf(const std::string &text) {
  FontName n;
  n.text = const_cast<char *>(text.c_str());
  n.length = static_cast<int16_t>(text.size());
  n.dashCount = static_cast<int16_t>(FontFileCountDashes(text.c_str(), static_cast<int>(text.size())));
  return n;
}

FontEntry *Add(FontTable *t, const std::string &name, const std::string &file = "f") {
  FontEntry proto{};
  proto.name = NameOf(name);
  proto.kind = FontEntryBitmap;
  proto.u.bitmap.fileName = FontFileSaveString(file.c_str());
  FontEntry *e = FontFileAddEntry(t, &proto);
  if (!e) FontFree(proto.u.bitmap.fileName);
  return e;
}

// The first entry the pattern scan finds, by index; -1 for none.
int Find(FontTable *t, const std::string &name) {
  FontName n = NameOf(name);
  FontEntry *e = FontFileFindNameInDir(t, &n);
  return e ? static_cast<int>(e - t->entries) : -1;
}

struct Table {
  FontTable t;
  explicit Table(int size = 100) { EXPECT_TRUE(FontFileInitTable(&t, size)); }
  ~Table() { FontFileFreeTable(&t); }
};

TEST(FontTable, GrowsByOneHundredEntries) {
  Table table;
  for (int i = 0; i < 100; i++) ASSERT_TRUE(Add(&table.t, "n" + std::to_string(i)));
  EXPECT_EQ(table.t.capacity, 100);
  Add(&table.t, "n100");
  EXPECT_EQ(table.t.capacity, 200);
  for (int i = 101; i < 201; i++) Add(&table.t, "n" + std::to_string(i));
  EXPECT_EQ(table.t.capacity, 300);
  EXPECT_EQ(table.t.count, 201);
  EXPECT_STREQ(table.t.entries[150].name.text, "n150");

  Table empty(0);
  EXPECT_EQ(empty.t.entries, nullptr);
  Add(&empty.t, "first");
  EXPECT_EQ(empty.t.capacity, 100);
}

TEST(FontTable, AdditionToASortedTableChangesNothing) {
  Table table;
  Add(&table.t, "a");
  table.t.isSorted = true;
  EXPECT_EQ(Add(&table.t, "b"), nullptr);
  EXPECT_EQ(table.t.count, 1);
}

TEST(FontTable, AFailedAdditionLeavesTheTableIntact) {
  Table table;
  for (int i = 0; i < 100; i++) Add(&table.t, "n" + std::to_string(i));
  // Growth fails: the 101st addition returns none.
  FontEntry proto{};
  proto.name = NameOf("extra");
  proto.kind = FontEntryBitmap;
  proto.u.bitmap.fileName = nullptr;
  FontAllocFailAt(1);
  EXPECT_EQ(FontFileAddEntry(&table.t, &proto), nullptr);
  // The name copy fails after the growth succeeded.
  FontAllocFailAt(2);
  EXPECT_EQ(FontFileAddEntry(&table.t, &proto), nullptr);
  FontAllocFailAt(0);
  EXPECT_EQ(table.t.count, 100);
  EXPECT_EQ(Find(&table.t, "n99"), 99);
  EXPECT_EQ(Find(&table.t, "extra"), -1);
}

TEST(FontTable, ExactLookupFindsTheEarliestOfEqualNames) {
  Table table;
  EXPECT_EQ(Find(&table.t, "x"), -1);
  Add(&table.t, "same", "first");
  Add(&table.t, "other");
  Add(&table.t, "same", "second");
  EXPECT_EQ(Find(&table.t, "same"), 0);
  EXPECT_EQ(Find(&table.t, "Same"), -1);  // case counts
  EXPECT_EQ(Find(&table.t, "sam"), -1);
  // An entry's own '*' is not a pattern, and the exact lookup takes the
  // name literally.
  Add(&table.t, "a*b");
  EXPECT_EQ(Find(&table.t, "axxb"), -1);
  EXPECT_EQ(FontFileFindExactName(&table.t, "a*b") - table.t.entries, 3);
  EXPECT_EQ(FontFileFindExactName(&table.t, "a?b"), nullptr);
}

TEST(FontTable, PatternsFindTheFirstMatchingEntry) {
  Table table;
  Add(&table.t, "ab");
  Add(&table.t, "x-one");
  Add(&table.t, "-a-b-c");
  Add(&table.t, "x-two-three");
  Add(&table.t, "q-a-b-r-s");
  EXPECT_EQ(Find(&table.t, "*"), 0);
  EXPECT_EQ(Find(&table.t, "x-*"), 1);
  EXPECT_EQ(Find(&table.t, "x-t*"), 3);
  EXPECT_EQ(Find(&table.t, "x*"), 1);  // the '*' takes the rest, dashes included
  EXPECT_EQ(Find(&table.t, "ab?"), -1);  // '?' never matches the end
  EXPECT_EQ(Find(&table.t, "a?"), 0);
  EXPECT_EQ(Find(&table.t, "x?one"), 1);  // '?' matches a '-'
  EXPECT_EQ(Find(&table.t, "*-a-b-*"), 2);
  EXPECT_EQ(Find(&table.t, "*-a-b-r-*"), 4);
  EXPECT_EQ(Find(&table.t, "-a-*-c"), 2);
  EXPECT_EQ(Find(&table.t, "*three"), 3);
  EXPECT_EQ(Find(&table.t, "*-three"), 3);
  EXPECT_EQ(Find(&table.t, "*-zzz"), -1);
}

TEST(PatternMatch, DashBudgets) {
  // "*-a-b-*" carries three dashes: texts with fewer never match.
  EXPECT_FALSE(PatternMatch("*-a-b-*", 3, "-a-b", 2));
  EXPECT_TRUE(PatternMatch("*-a-b-*", 3, "x-a-b-y", 3));
  EXPECT_TRUE(PatternMatch("*-a-b-*", 3, "p-q-a-b-y", 4));
  EXPECT_FALSE(PatternMatch("*-a-b-*", 3, "p-q-a-c-y", 4));
  // A literal after '*' that is passed over with its dashes.
  EXPECT_TRUE(PatternMatch("*b", 0, "a-b", 1));
  EXPECT_FALSE(PatternMatch("a-*b", 1, "a-c-d", 2));
  EXPECT_TRUE(PatternMatch("a-*d", 1, "a-c-d", 2));
  EXPECT_EQ(FontFileCountDashes("--", 1), 1);
  EXPECT_EQ(FontFileCountDashes("a-b-c", 5), 2);
}

TEST(FontTable, SortedTablesUseBinarySearch) {
  Table table;
  for (const char *n : {"alpha", "beta", "beta-x", "delta", "gamma"}) Add(&table.t, n);
  table.t.isSorted = true;
  EXPECT_EQ(Find(&table.t, "delta"), 3);
  EXPECT_EQ(Find(&table.t, "epsilon"), -1);
  EXPECT_EQ(Find(&table.t, "gam*"), 4);
  int left, right, budget;
  std::string zzz = "zzz";
  FontName n = NameOf(zzz);
  EXPECT_EQ(SetupWildMatch(&table.t, &n, &left, &right, &budget), -1);
  EXPECT_EQ(left, right);
  EXPECT_EQ(budget, -1);
}

// The index must give exactly what a scan with PatternMatch gives, also
// after it was dropped for lack of memory.
TEST(FontTable, IndexedLookupEqualsTheScan) {
  std::mt19937 rng(7);
  auto randomName = [&] {
    std::string s;
    int len = static_cast<int>(rng() % 6);
    for (int i = 0; i < len; i++) s += "ab-c"[rng() % 4];
    return s;
  };
  for (int round = 0; round < 2; round++) {
    Table table;
    std::vector<std::string> names;
    for (int i = 0; i < 3000; i++) {
      std::string name = randomName();
      if (round == 1 && i == 1500) {
        // Requests of an addition: the file name, the array growth (when full), the name
        // copy, the index growth (when half full).  Fail the index growth:
        // the table scans from then on.
        for (int k = 0; k < 700; k++) {
          FontTable &t = table.t;
          if (t.count + 1 >= t.indexSize / 2 && !t.indexDropped) FontAllocFailAt(t.count == t.capacity ? 4 : 3);
          ASSERT_TRUE(Add(&table.t, "filler" + std::to_string(k)));
          FontAllocFailAt(0);
        }
        EXPECT_TRUE(table.t.indexDropped);
        for (int k = 0; k < 700; k++) names.push_back("filler" + std::to_string(k));
      }
      int expected = -1;
      for (size_t k = 0; k < names.size(); k++)
        if (PatternMatch(name.c_str(), -1, names[k].c_str(), FontFileCountDashes(names[k].c_str(), static_cast<int>(names[k].size())))) {
          expected = static_cast<int>(k);
          break;
        }
      ASSERT_EQ(Find(&table.t, name), expected) << name;
      if (!Add(&table.t, name)) FAIL();
      names.push_back(name);
    }
  }
}

}  // namespace
