// The built-in charsets, the coverage rule, and the charsets of a run from
// the -e directories.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fontenc/charset.h"
#include "tests/support/compressed.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"
#include "tool/charsets.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

using Strings = std::vector<std::string>;

const Charset *Builtin(const std::string &name) {
  size_t n;
  const Charset *all = BuiltinCharsets(&n);
  for (size_t i = 0; i < n; i++)
    if (name == all[i].name) return &all[i];
  return nullptr;
}

bool Has(const Charset &c, uint32_t u) {
  for (size_t i = 0; i < c.count; i++)
    if (c.chars[i] == u) return true;
  return false;
}

TEST(BuiltinCharsets, OrderAndShape) {
  size_t n;
  const Charset *all = BuiltinCharsets(&n);
  Strings names;
  for (size_t i = 0; i < n; i++) {
    names.push_back(all[i].name);
    const Charset &c = all[i];
    EXPECT_EQ(c.size, names.back() == "ascii-0" ? 128u : 256u) << c.name;
    for (size_t k = 0; k < c.count; k++) {
      EXPECT_FALSE(c.chars[k] < 0x20 || (c.chars[k] >= 0x7f && c.chars[k] <= 0x9f)) << c.name;
      if (k > 0) {
        EXPECT_LT(c.chars[k - 1], c.chars[k]) << c.name;
      }
    }
  }
  EXPECT_EQ(names, (Strings{"ascii-0", "iso8859-1", "iso8859-2", "iso8859-3", "iso8859-4",
                            "iso8859-5", "iso8859-6", "iso8859-7", "iso8859-8", "iso8859-9",
                            "iso8859-10", "iso8859-13", "iso8859-14", "iso8859-15", "iso8859-16",
                            "koi8-r", "koi8-u", "ibm-cp437", "ibm-cp850", "ibm-cp852", "ibm-cp866",
                            "microsoft-cp1252"}));
}

// What the standards say of a few codes: a table made from the wrong codec,
// or with undefined codes or controls let in, fails a row.
TEST(BuiltinCharsets, WhatTheStandardsMap) {
  struct Case {
    const char *name;
    size_t count;
    std::vector<uint32_t> has, lacks;
  } cases[] = {
      {"ascii-0", 95, {0x20, 0x7e}, {0x7f, 0xa0}},
      {"iso8859-1", 191, {0xa0, 0xff}, {0x7f, 0x20ac}},
      {"iso8859-3", 184, {0x126, 0x11d}, {0xa5}},  // seven codes undefined
      {"iso8859-15", 191, {0x20ac, 0x152}, {0xa4}},
      {"koi8-r", 223, {0x401, 0x2500, 0x44a}, {0x404}},
      {"koi8-u", 223, {0x404, 0x491}, {}},
      {"ibm-cp437", 223, {0xc7, 0x2591, 0x3c0}, {0x263a}},  // codes 1-31 are controls
      {"ibm-cp866", 223, {0x410, 0x25a0}, {}},
      {"microsoft-cp1252", 218, {0x20ac, 0x152, 0x178}, {0x81, 0x8d}},  // five codes undefined
  };
  for (const Case &c : cases) {
    const Charset *cs = Builtin(c.name);
    ASSERT_NE(cs, nullptr) << c.name;
    EXPECT_EQ(cs->count, c.count) << c.name;
    for (uint32_t u : c.has) EXPECT_TRUE(Has(*cs, u)) << c.name << " " << std::hex << u;
    for (uint32_t u : c.lacks) EXPECT_FALSE(Has(*cs, u)) << c.name << " " << std::hex << u;
  }
}

// A face that lacks some characters and counts the questions.
struct Face {
  std::set<uint32_t> missing;
  int asked = 0;
  static bool hasGlyph(void *context, uint32_t c) {
    auto *face = static_cast<Face *>(context);
    face->asked++;
    return face->missing.count(c) == 0;
  }
};

TEST(CharsetCovered, TheRulesAndWhereTheyStop) {
  struct Case {
    const char *what;
    size_t size, count;
    std::set<uint32_t> missing;  // of the characters 0..count-1
    bool covered;
    int asked;
  } cases[] = {
      {"256 codes, all there", 256, 200, {}, true, 200},
      {"256 codes, one missing: stops there", 256, 200, {3}, false, 4},
      {"257 codes, 2% of 100 missing", 257, 100, {10, 90}, true, 100},
      {"257 codes, 3 of 100 missing: stops at the third", 257, 100, {5, 6, 7, 50}, false, 8},
      {"all there: stops when 2 are left", 1000, 100, {}, true, 98},
      {"one missing: stops when 1 is left", 1000, 100, {0}, true, 99},
      {"2% of 49 is no character", 1000, 49, {48}, false, 49},
      {"no character", 1000, 0, {}, false, 0},
  };
  std::vector<uint32_t> chars(100);
  for (uint32_t i = 0; i < 100; i++) chars[i] = i;
  for (const Case &c : cases) {
    Face face{c.missing};
    Charset cs{"x-y", chars.data(), c.count, c.size};
    EXPECT_EQ(CharsetCovered(cs, Face::hasGlyph, &face), c.covered) << c.what;
    EXPECT_EQ(face.asked, c.asked) << c.what;
  }
}

std::string Encoding(const std::string &name, const std::string &mapping,
                     const std::string &head = "") {
  return "STARTENCODING " + name + "\n" + head + mapping + "ENDENCODING\n";
}
std::string Unicode(const std::string &lines) {
  return "STARTMAPPING unicode\n" + lines + "ENDMAPPING\n";
}

// The index of the -e directories, as a run builds it, released at the end.
struct Index {
  EncodingTable table{};
  ~Index() {
    for (EncodingEntry *&bucket : table.buckets)
      while (EncodingEntry *e = bucket) {
        bucket = e->next;
        FontFree(e->name);
        FontFree(e);
      }
  }
};

// name: size, characters as hex ("foo-bar:256:41,42").
Strings Describe(const CharsetList &list, size_t from) {
  Strings out;
  for (size_t i = from; i < list.count; i++) {
    const Charset &c = *list.items[i];
    std::string s = std::string(c.name) + ":" + std::to_string(c.size) + ":";
    char buf[16];
    for (size_t k = 0; k < c.count; k++) {
      std::snprintf(buf, sizeof buf, k ? ",%x" : "%x", c.chars[k]);
      s += buf;
    }
    out.push_back(s);
  }
  return out;
}

TEST(RunCharsets, BuiltinsThenTheEncodingsOfTheDirectories) {
  if (std::string why = MissingPrograms({"gzip", "compress"}); !why.empty()) GTEST_SKIP() << why;
  TempDir one, two;
  WriteFile(one / "jis.enc", Encoding("JISX0208.1983-0", Unicode("0x2121 0x3000\n0x2122 0x3001\n"),
                                      "ALIAS jis-alias\nSIZE 0x7f 0x7f\n"));
  WriteFile(one / "g.enc", Encoding("Gz-1", Unicode("0x41 0x41\n")));
  ASSERT_TRUE(CompressFile("gzip", one / "g.enc", one / "g.enc.gz"));
  WriteFile(one / "g.enc", Encoding("Gz-1", Unicode("0x42 0x42\n")));  // the .gz holds the name
  WriteFile(one / "foo.enc", Encoding("Foo-Bar", Unicode("0x42 0x42\n")));
  WriteFile(one / "FOO.enc", Encoding("FOO-BAR", Unicode("0x43 0x43\n")));  // first in byte order
  WriteFile(one / "z.enc", Encoding("zz-1", Unicode("0x20 0x21 0x5a\n")));
  ASSERT_TRUE(CompressFile("compress", one / "z.enc", one / "z.enc.Z"));
  WriteFile(one / "z.enc", "");
  // Left out: a built-in name in other case, no unicode section, nothing
  // mapped but controls, names that cannot end a font name.
  WriteFile(one / "koi.enc", Encoding("KOI8-R", Unicode("0x41 0x41\n")));
  WriteFile(one / "cmap.enc", Encoding("cmap-only", "STARTMAPPING cmap 3 1\n0x41 0x41\nENDMAPPING\n"));
  WriteFile(one / "ctl.enc", Encoding("controls-0", Unicode("0 0x1f 0\n")));
  for (const char *bad : {"nodash", "a-b-c", "-x", "x-", "x-*"})
    WriteFile(one / (std::string(bad) + ".enc"), Encoding(bad, Unicode("0x41 0x41\n")));
  // The second directory: a name the first holds as an alias, a name it
  // holds as its own, and one of its own.
  WriteFile(two / "alias.enc", Encoding("jis-alias", Unicode("0x41 0x41\n")));
  WriteFile(two / "zz.enc", Encoding("zz-1", Unicode("0x41 0x41\n")));
  WriteFile(two / "late.enc", Encoding("late-1", Unicode("0x7f 0x104\n0x80 0x105\n"), "SIZE 0x80\n"));

  Index index;
  ASSERT_TRUE(LoadEncodings(&index.table, one.path().c_str(), 1));
  ASSERT_TRUE(LoadEncodings(&index.table, two.path().c_str(), 2));
  CharsetList list;
  ASSERT_TRUE(LoadRunCharsets(&index.table, &list));
  size_t builtins;
  const Charset *builtin = BuiltinCharsets(&builtins);
  ASSERT_GE(list.count, builtins);
  for (size_t i = 0; i < builtins; i++) EXPECT_EQ(list.items[i], &builtin[i]);
  EXPECT_EQ(Describe(list, builtins),
            (Strings{"foo-bar:256:43", "gz-1:256:41", "jisx0208.1983-0:16129:3000,3001", "late-1:128:104",
                     "zz-1:256:5a,5b"}));
}

TEST(RunCharsets, EveryAllocationFailureIsAResult) {
  TempDir dir;
  WriteFile(dir / "a.enc", Encoding("a-1", Unicode("0x41 0x41\n"), "ALIAS a-2\n"));
  WriteFile(dir / "b.enc", Encoding("b-1", Unicode("0x42 0x42\n")));
  Index index;
  ASSERT_TRUE(LoadEncodings(&index.table, dir.path().c_str(), 1));
  CharsetList list;
  FontAllocFailAt(0);
  ASSERT_TRUE(LoadRunCharsets(&index.table, &list));
  long made = FontAllocCount();
  size_t count = list.count;
  for (long n = 1; n <= made; n++) {
    FontAllocFailAt(n);
    bool loaded = LoadRunCharsets(&index.table, &list);
    FontAllocFailAt(0);
    EXPECT_FALSE(loaded) << n;  // never a shorter list
    EXPECT_EQ(list.count, 0u) << n;
  }
  ASSERT_TRUE(LoadRunCharsets(&index.table, &list));
  EXPECT_EQ(list.count, count);
}

}  // namespace
