// The built-in charsets and the coverage rule.
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fontenc/charset.h"
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

}  // namespace
