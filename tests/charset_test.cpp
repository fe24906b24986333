// The built-in charsets, the coverage rule, and the charsets of a run from
// the -e directories.
#include <algorithm>
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
  const Charset *c = std::find_if(all, all + n, [&](const Charset &c) { return name == c.name; });
  return c == all + n ? nullptr : c;
}

bool Has(const Charset &c, uint32_t u) { return std::binary_search(c.chars, c.chars + c.count, u); }

// The names in order, and what the standards say of a few codes: a table
// made from the wrong codec, or with undefined codes or controls let in,
// fails a row.
TEST(BuiltinCharsets, OrderAndWhatTheStandardsMap) {
  size_t n;
  const Charset *all = BuiltinCharsets(&n);
  Strings names;
  for (size_t i = 0; i < n; i++) names.push_back(all[i].name);
  EXPECT_EQ(names, (Strings{"ascii-0", "iso8859-1", "iso8859-2", "iso8859-3", "iso8859-4",
                            "iso8859-5", "iso8859-6", "iso8859-7", "iso8859-8", "iso8859-9",
                            "iso8859-10", "iso8859-13", "iso8859-14", "iso8859-15", "iso8859-16",
                            "koi8-r", "koi8-u", "ibm-cp437", "ibm-cp850", "ibm-cp852", "ibm-cp866",
                            "microsoft-cp1252"}));
  struct Case {
    const char *name;
    size_t size, count;
    std::vector<uint32_t> has, lacks;
  } cases[] = {
      {"ascii-0", 128, 95, {0x20, 0x7e}, {0x1f, 0x7f, 0xa0}},
      {"iso8859-1", 256, 191, {0xa0, 0xff}, {0x7f, 0x9f, 0x20ac}},
      {"iso8859-3", 256, 184, {0x126, 0x11d}, {0xa5}},  // seven codes undefined
      {"iso8859-15", 256, 191, {0x20ac, 0x152}, {0xa4}},
      {"koi8-r", 256, 223, {0x401, 0x2500, 0x44a}, {0x404}},
      {"koi8-u", 256, 223, {0x404, 0x491}, {}},
      {"ibm-cp437", 256, 223, {0xc7, 0x2591, 0x3c0}, {0x263a}},  // codes 1-31 are controls
      {"ibm-cp866", 256, 223, {0x410, 0x25a0}, {}},
      {"microsoft-cp1252", 256, 218, {0x20ac, 0x152, 0x178}, {0x81, 0x8d}},  // five undefined
  };
  for (const Case &c : cases) {
    const Charset *cs = Builtin(c.name);
    ASSERT_NE(cs, nullptr) << c.name;
    EXPECT_EQ(cs->size, c.size) << c.name;
    EXPECT_EQ(cs->count, c.count) << c.name;
    EXPECT_TRUE(std::is_sorted(cs->chars, cs->chars + cs->count)) << c.name;
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
  std::vector<uint32_t> chars(200);
  for (uint32_t i = 0; i < 200; i++) chars[i] = i;
  for (const Case &c : cases) {
    Face face{c.missing};
    Charset cs{"x-y", chars.data(), c.count, c.size};
    EXPECT_EQ(CharsetCovered(cs, Face::hasGlyph, &face), c.covered) << c.what;
    EXPECT_EQ(face.asked, c.asked) << c.what;
  }
}

// Encoding `name` with one unicode section of `lines`, after `head`.
std::string Encoding(const std::string &name, const std::string &lines, const std::string &head = "") {
  return "STARTENCODING " + name + "\n" + head + "STARTMAPPING unicode\n" + lines + "ENDMAPPING\n";
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

// After the built-ins: "name:size:first character", or why not.
Strings Loaded(const EncodingTable &table, CharsetList *list) {
  if (!LoadRunCharsets(&table, list)) return {"out of memory"};
  size_t builtins;
  const Charset *builtin = BuiltinCharsets(&builtins);
  Strings out;
  for (size_t i = 0; i < list->count; i++) {
    const Charset &c = *list->items[i];
    if (i < builtins) {
      EXPECT_EQ(&c, &builtin[i]);
      continue;
    }
    char first[16];
    std::snprintf(first, sizeof first, "%x", c.chars[0]);
    out.push_back(std::string(c.name) + ":" + std::to_string(c.size) + ":" + first + "+" +
                  std::to_string(c.count - 1));
  }
  return out;
}

TEST(RunCharsets, BuiltinsThenTheEncodingsOfTheDirectories) {
  if (std::string why = MissingPrograms({"gzip", "compress"}); !why.empty()) GTEST_SKIP() << why;
  TempDir one, two;
  WriteFile(one / "jis.enc", Encoding("JISX0208.1983-0", "0x2121 0x3000\n0x2122 0x3001\n",
                                      "ALIAS jis-alias\nSIZE 0x7f 0x7f\n"));
  WriteFile(one / "g.enc", Encoding("Gz-1", "0x41 0x41\n"));
  ASSERT_TRUE(CompressFile("gzip", one / "g.enc", one / "g.enc.gz"));
  WriteFile(one / "g.enc", Encoding("Gz-1", "0x42 0x42\n"));  // the .gz holds the name
  WriteFile(one / "foo.enc", Encoding("Foo-Bar", "0x42 0x42\n"));
  WriteFile(one / "FOO.enc", Encoding("FOO-BAR", "0x43 0x43\n"));  // first in byte order
  WriteFile(one / "z.enc", Encoding("zz-1", "0x20 0x21 0x5a\n"));
  ASSERT_TRUE(CompressFile("compress", one / "z.enc", one / "z.enc.Z"));
  WriteFile(one / "z.enc", "");
  // Left out: a built-in name in other case, no unicode section, nothing
  // mapped but controls, names that cannot end a font name.
  WriteFile(one / "koi.enc", Encoding("KOI8-R", "0x41 0x41\n"));
  WriteFile(one / "cmap.enc", "STARTENCODING cmap-only\nSTARTMAPPING cmap 3 1\n0x41 0x41\n");
  WriteFile(one / "ctl.enc", Encoding("controls-0", "0 0x1f 0\n"));
  for (const char *bad : {"nodash", "a-b-c", "-x", "x-", "x-*"})
    WriteFile(one / (std::string(bad) + ".enc"), Encoding(bad, "0x41 0x41\n"));
  // The second directory: a name the first holds as an alias, a name it
  // holds as its own, and one of its own.
  WriteFile(two / "alias.enc", Encoding("jis-alias", "0x41 0x41\n"));
  WriteFile(two / "zz.enc", Encoding("zz-1", "0x41 0x41\n"));
  WriteFile(two / "late.enc", Encoding("late-1", "0x7f 0x104\n0x80 0x105\n", "SIZE 0x80\n"));

  Index index;
  ASSERT_TRUE(LoadEncodings(&index.table, one.path().c_str(), 1));
  ASSERT_TRUE(LoadEncodings(&index.table, two.path().c_str(), 2));
  CharsetList list;
  const Strings expected{"foo-bar:256:43+0", "gz-1:256:41+0", "jisx0208.1983-0:16129:3000+1",
                         "late-1:128:104+0", "zz-1:256:5a+1"};
  FontAllocFailAt(0);
  EXPECT_EQ(Loaded(index.table, &list), expected);
  // Each allocation failing in turn: never a shorter list.
  long made = FontAllocCount();
  for (long n = 1; n <= made; n++) {
    FontAllocFailAt(n);
    EXPECT_EQ(Loaded(index.table, &list), Strings{"out of memory"}) << n;
    FontAllocFailAt(0);
    EXPECT_EQ(list.count, 0u) << n;
  }
  EXPECT_EQ(Loaded(index.table, &list), expected);
}

}  // namespace
