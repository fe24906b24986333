// The atom table: interning, growth of both maps, the sign-widening hash.
// Each test runs in its own process under CTest, but counts relative to the
// table's state so that the tests also pass run together.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

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

TEST(Atoms, TheHashSeesEveryByte) {
  EXPECT_EQ(AtomHash("", 0), 0);
  EXPECT_GE(AtomHash("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8), 0);
  // Font names share long endings; names that differ only in their first
  // byte must still hash apart.
  EXPECT_NE(AtomHash("-a-fixed-medium-r-normal--13-120-75-75-C-60-ISO8859-1", 53),
            AtomHash("-b-fixed-medium-r-normal--13-120-75-75-C-60-ISO8859-1", 53));
  EXPECT_NE(AtomHash("\xE9", 1), AtomHash("\x17", 1));
  // Taken four bytes a step, the value is still h * 31 + byte over every
  // byte, whatever the length and the alignment of the text.
  std::string bytes;
  for (int i = 0; i < 64; i++) bytes += static_cast<char>(i * 97 + 200);
  for (size_t start = 0; start < 4; start++) {
    for (size_t length = 0; start + length <= bytes.size(); length++) {
      uint32_t h = 0;
      for (size_t i = 0; i < length; i++) h = h * 31u + static_cast<unsigned char>(bytes[start + i]);
      ASSERT_EQ(AtomHash(bytes.data() + start, static_cast<unsigned>(length)),
                static_cast<int>(h & 0x7FFFFFFFu))
          << start << " " << length;
    }
  }
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

// Names from a small alphabet, interned by the thousand (the glyph names of a
// large font, the font names of a directory), must not share hash values:
// equal hashes put names on one probe chain, and lookups then grow slower
// with every name added.
TEST(Atoms, LookupsOfManySimilarNamesStayNearOneSlot) {
  auto averageSlots = [](const std::vector<std::string> &names) {
    for (const std::string &n : names) Intern(n);
    long before = AtomGetStats().slotsVisited;
    for (const std::string &n : names) Intern(n);
    return double(AtomGetStats().slotsVisited - before) / double(names.size());
  };
  std::vector<std::string> glyphs, fonts;
  char name[80];
  for (int i = 0; i < 60000; i++) {
    std::snprintf(name, sizeof name, "uni%04X", 0x100 + i);
    glyphs.push_back(name);
  }
  for (int size = 6; size < 30; size++)
    for (int points = 60; points < 300; points += 10)
      for (int width = 40; width < 140; width += 10) {
        std::snprintf(name, sizeof name, "-misc-fixed-medium-r-normal--%d-%d-75-75-c-%d-iso8859-1",
                      size, points, width);
        fonts.push_back(name);
      }
  EXPECT_LT(averageSlots(glyphs), 2.0);
  EXPECT_LT(averageSlots(fonts), 2.0);
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
  // A name this long never shares a block: its record needs memory of its own.
  const std::string big(100000, 'm');
  FontAllocFailAt(1, true);
  EXPECT_EQ(Intern(big), None);
  FontAllocFailAt(0);
  AtomTableStats after = AtomGetStats();
  EXPECT_EQ(after.lastAtom, before.lastAtom);
  EXPECT_EQ(after.hashUsed, before.hashUsed);
  EXPECT_EQ(MakeAtom(big.data(), static_cast<unsigned>(big.size()), 0), None);
  Atom bigAtom = Intern(big);
  EXPECT_EQ(bigAtom, before.lastAtom + 1);
  EXPECT_EQ(NameForAtom(bigAtom), big);

  // Short names share blocks: with both maps roomy enough, one fails only
  // when its block is full (a block holds thousands of them).
  for (int i = 0; AtomGetStats().reverseMapSize - static_cast<int>(AtomGetStats().lastAtom) < 5000 ||
                  AtomGetStats().hashSize / 2 - AtomGetStats().hashUsed < 5000;
       i++)
    Intern("room-" + std::to_string(i));
  before = AtomGetStats();
  FontAllocFailAt(1, true);
  int made = 0;
  while (made < 5000 && Intern("short-" + std::to_string(made)) != None) ++made;
  FontAllocFailAt(0);
  EXPECT_LT(made, 5000);
  EXPECT_EQ(AtomGetStats().hashSize, before.hashSize);
  EXPECT_EQ(AtomGetStats().reverseMapSize, before.reverseMapSize);
  EXPECT_EQ(AtomGetStats().lastAtom, before.lastAtom + static_cast<Atom>(made));
  std::string failed = "short-" + std::to_string(made);
  EXPECT_EQ(MakeAtom(failed.data(), static_cast<unsigned>(failed.size()), 0), None);
  EXPECT_EQ(Intern(failed), before.lastAtom + static_cast<Atom>(made) + 1);
  for (int i = 0; i <= made; i++)
    EXPECT_EQ(NameForAtom(before.lastAtom + static_cast<Atom>(i) + 1), "short-" + std::to_string(i));

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
