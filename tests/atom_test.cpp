// The atom table: interning, growth of both maps, the sign-widening hash.
// Each test runs in its own process under CTest, but counts relative to the
// table's state so that the tests also pass run together.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "util/atom.h"
#include "util/miscutil.h"

namespace {

Atom Intern(const std::string &s) { return MakeAtom(s.data(), static_cast<unsigned>(s.size()), 1); }

// The last atom handed out: the next new name gets the one after it.
Atom LastAtom() {
  static int marks = 0;
  return Intern("last-atom-mark-" + std::to_string(++marks));
}

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
  Atom base = LastAtom();
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
  EXPECT_EQ(NameForAtom(LastAtom() + 1), nullptr);
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
  for (int i = 0; i < 2100; i++) atoms.push_back(Intern("grow-" + std::to_string(i)));
  for (int i = 0; i < 2100; i++) {
    std::string name = "grow-" + std::to_string(i);
    EXPECT_EQ(Intern(name), atoms[static_cast<size_t>(i)]);
    EXPECT_EQ(NameForAtom(atoms[static_cast<size_t>(i)]), name);
  }
}

// Names from a small alphabet, interned by the thousand (the glyph names of a
// large font, the font names of a directory), must not share hash values:
// equal hashes put names on one probe chain, and lookups then grow slower
// with every name added.  Their home slots in a table twice their number
// (the table is at most half full) must spread at least as well as random
// ones would (1 - e^-1/2 of the slots, 79% of the names).
TEST(Atoms, ManySimilarNamesHashApart) {
  auto check = [](const std::vector<std::string> &names) {
    size_t slots = 1;
    while (slots < 2 * names.size()) slots *= 2;
    std::set<int> hashes;
    std::set<size_t> homes;
    for (const std::string &n : names) {
      int h = AtomHash(n.data(), static_cast<unsigned>(n.size()));
      hashes.insert(h);
      homes.insert(static_cast<size_t>(h) & (slots - 1));
    }
    EXPECT_EQ(hashes.size(), names.size()) << names[0];
    EXPECT_GE(homes.size(), names.size() * 79 / 100) << names[0];
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
  check(glyphs);
  check(fonts);
}

TEST(Atoms, OutOfMemoryGivesNoAtomAndChangesNothing) {
  Atom before = LastAtom();  // the tables exist
  // A name this long never shares a block: its record needs memory of its own.
  const std::string big(100000, 'm');
  FontAllocFailAt(1, true);
  EXPECT_EQ(Intern(big), None);
  FontAllocFailAt(0);
  EXPECT_EQ(MakeAtom(big.data(), static_cast<unsigned>(big.size()), 0), None);
  Atom bigAtom = Intern(big);
  EXPECT_EQ(bigAtom, before + 1);  // no number was used up
  EXPECT_EQ(NameForAtom(bigAtom), big);

  // Short names share blocks: one fails only when a block or a map has to
  // grow (a block holds thousands of them).  Those made keep their numbers
  // and texts, the failed one is not there, and the next one takes the next
  // number.
  before = LastAtom();
  FontAllocFailAt(1, true);
  int made = 0;
  while (made < 5000 && Intern("short-" + std::to_string(made)) != None) ++made;
  FontAllocFailAt(0);
  EXPECT_LT(made, 5000);
  std::string failed = "short-" + std::to_string(made);
  EXPECT_EQ(MakeAtom(failed.data(), static_cast<unsigned>(failed.size()), 0), None);
  EXPECT_EQ(Intern(failed), before + static_cast<Atom>(made) + 1);
  for (int i = 0; i <= made; i++)
    EXPECT_EQ(NameForAtom(before + static_cast<Atom>(i) + 1), "short-" + std::to_string(i));
}

// A hash table that cannot grow goes on filling while it has room: in a
// fresh process the 513th atom finds 512 of 1024 slots used, and its
// insertion's first request is the growth.
TEST(Atoms, AHashTableThatCannotGrowGoesOnFilling) {
  FontAllocFailAt(0);
  if (Intern("fill-1") != 1) GTEST_SKIP() << "needs a fresh process (run under CTest)";
  for (int i = 2; i <= 512; i++) Intern("fill-" + std::to_string(i));
  FontAllocFailAt(1);
  Atom a = Intern("fill-513");
  EXPECT_EQ(FontAllocLargest(), 2048 * sizeof(void *));  // the growth was asked for, and failed
  FontAllocFailAt(0);
  EXPECT_EQ(a, 513u);
  EXPECT_EQ(NameForAtom(a), std::string("fill-513"));
  // The growth is tried again at the next insertion.
  EXPECT_EQ(Intern("fill-514"), 514u);
  EXPECT_EQ(FontAllocLargest(), 2048 * sizeof(void *));
  for (int i = 1; i <= 514; i++) EXPECT_EQ(Intern("fill-" + std::to_string(i)), static_cast<Atom>(i));
}

}  // namespace
