// The atom table: interning, growth of both maps, the sign-widening hash.
// Each test runs in its own process under CTest, but counts relative to the
// table's state so that the tests also pass run together.
#include <gtest/gtest.h>

#include <string>

#include "util/atom.h"
#include "util/miscutil.h"

namespace {

Atom Intern(const std::string &s) { return MakeAtom(s.data(), static_cast<unsigned>(s.size()), 1); }

TEST(Atoms, EqualStringsShareOneAtom) {
  Atom first = Intern("FONT");
  EXPECT_NE(first, None);
  long before = FontAllocCount();
  EXPECT_EQ(Intern("FONT"), first);
  EXPECT_EQ(FontAllocCount(), before);  // nothing allocated for a known string
  EXPECT_NE(Intern("font"), first);     // case counts
  EXPECT_EQ(MakeAtom("FONT", 4, 0), first);
  EXPECT_EQ(MakeAtom("never-interned", 14, 0), None);
  EXPECT_EQ(MakeAtom("never-interned", 14, 0), None);
  EXPECT_EQ(MakeAtom("FONTX", 4, 1), first);  // only `length` bytes count
}

TEST(Atoms, AtomsAreNumberedInOrderWithoutGaps) {
  Atom base = AtomGetStats().lastAtom;
  EXPECT_EQ(Intern("numbered-1"), base + 1);
  EXPECT_EQ(Intern("numbered-2"), base + 2);
  EXPECT_EQ(Intern("numbered-1"), base + 1);
  EXPECT_EQ(Intern("numbered-3"), base + 3);
}

TEST(Atoms, TheHashWidensSignedBytes) {
  EXPECT_EQ(AtomHash("", 0), 0);
  EXPECT_EQ(AtomHash("ab", 2), 874);
  EXPECT_EQ(AtomHash("\xE9", 1), 23);  // not 233: the byte widens to -23
  EXPECT_EQ(AtomHash("\xFF", 1), 1);
  // Names that differ only before their last eleven bytes still hash apart.
  EXPECT_NE(AtomHash("-a-75-75-C-60-ISO8859-1", 23), AtomHash("-b-75-75-C-60-ISO8859-1", 23));
}

TEST(Atoms, NamesComeBackByteForByte) {
  std::string high = "\xC9\xFF\x80 caf\xE9";
  Atom a = Intern(high);
  EXPECT_EQ(std::string(NameForAtom(a)), high);
  Atom empty = Intern("");
  ASSERT_NE(empty, None);
  EXPECT_STREQ(NameForAtom(empty), "");
  EXPECT_EQ(NameForAtom(0), nullptr);
  EXPECT_EQ(NameForAtom(AtomGetStats().lastAtom + 1), nullptr);
  EXPECT_EQ(NameForAtom(0xFFFFFFFFu), nullptr);
  // Bytes that hash alike under the sign widening stay apart.
  Atom e9 = Intern("\xE9");
  Atom x17 = Intern("\x17");  // 23: the magnitude of (signed) 0xE9
  EXPECT_NE(e9, x17);
  EXPECT_STREQ(NameForAtom(e9), "\xE9");
  EXPECT_STREQ(NameForAtom(x17), "\x17");
}

TEST(Atoms, TheTablesGrowAndKeepEveryAtom) {
  std::vector<Atom> atoms;
  for (int i = 0; i < 2100; i++) {
    atoms.push_back(Intern("grow-" + std::to_string(i)));
    AtomTableStats s = AtomGetStats();
    EXPECT_LE(s.hashUsed, s.hashSize / 2);
    EXPECT_LT(s.lastAtom, static_cast<Atom>(s.reverseMapSize));
  }
  AtomTableStats s = AtomGetStats();
  EXPECT_GE(s.hashSize, 8192);  // more than 2048 atoms: 4096 slots are not enough
  EXPECT_GE(s.reverseMapSize, 4000);
  for (int i = 0; i < 2100; i++) {
    std::string name = "grow-" + std::to_string(i);
    EXPECT_EQ(Intern(name), atoms[static_cast<size_t>(i)]);
    EXPECT_EQ(NameForAtom(atoms[static_cast<size_t>(i)]), name);
  }
}

TEST(Atoms, TheFirstGrowthsHappenAtTheDocumentedCounts) {
  AtomTableStats start = AtomGetStats();
  if (start.lastAtom != 0) GTEST_SKIP() << "needs a fresh process (run under CTest)";
  for (int i = 1; i <= 1000; i++) {
    Intern("count-" + std::to_string(i));
    AtomTableStats s = AtomGetStats();
    if (i == 1) {
      EXPECT_EQ(s.hashSize, 1024);
    }
    if (i == 1) {
      EXPECT_EQ(s.reverseMapSize, 1000);
    }
    if (i == 512) {
      EXPECT_EQ(s.hashSize, 1024);
    }
    if (i == 513) {
      EXPECT_EQ(s.hashSize, 2048);
    }
    if (i == 999) {
      EXPECT_EQ(s.reverseMapSize, 1000);
    }
    if (i == 1000) {
      EXPECT_EQ(s.reverseMapSize, 2000);
    }
  }
}

TEST(Atoms, OutOfMemoryGivesNoAtomAndChangesNothing) {
  Intern("warm-up");  // the tables exist
  AtomTableStats before = AtomGetStats();
  FontAllocFailAt(1, true);
  EXPECT_EQ(Intern("no-memory"), None);
  FontAllocFailAt(0);
  AtomTableStats after = AtomGetStats();
  EXPECT_EQ(after.lastAtom, before.lastAtom);
  EXPECT_EQ(after.hashUsed, before.hashUsed);
  EXPECT_EQ(MakeAtom("no-memory", 9, 0), None);
  EXPECT_EQ(Intern("no-memory"), before.lastAtom + 1);

  // A hash table that cannot grow goes on filling while it has room.
  FontAllocFailAt(0);
  AtomTableStats s = AtomGetStats();
  int toHalf = s.hashSize / 2 - s.hashUsed;
  for (int i = 0; i < toHalf; i++) Intern("fill-" + std::to_string(i));
  s = AtomGetStats();
  ASSERT_EQ(s.hashUsed, s.hashSize / 2);
  // Fail only the growth of the hash table: the insertion still succeeds.
  long n = 0;
  for (;;) {  // find which request of an insertion is the table growth
    FontAllocFailAt(++n);
    Atom a = Intern("probe-" + std::to_string(n));
    FontAllocFailAt(0);
    if (a != None && AtomGetStats().hashSize == s.hashSize) break;
    if (AtomGetStats().hashSize != s.hashSize) GTEST_SKIP() << "growth not isolated";
  }
  EXPECT_EQ(AtomGetStats().hashSize, s.hashSize);
  EXPECT_EQ(AtomGetStats().hashUsed, s.hashUsed + 1);
}

}  // namespace
