// The fonts.scale reader over a stream: the entries do not depend on where
// the stream's fills cut the text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/membuf.h"
#include "tool/driver.h"

namespace {

using namespace std::string_literals;

struct Read {
  ScalableResult result;
  std::vector<std::string> entries;  // "file|font"
  bool operator==(const Read &) const = default;
};

Read ReadWithFills(const std::string &text, int chunk) {
  BufFile *f = MemBufOpen(text.data(), text.size(), chunk);
  FontTable table;
  EXPECT_TRUE(FontFileInitTable(&table, 10));
  Read read{ReadScalableEntries(f, &table), {}};
  for (int i = 0; i < table.count; i++) {
    const FontEntry &e = table.entries[i];
    read.entries.push_back(std::string(e.u.bitmap.fileName) + "|" + e.name.text);
  }
  FontFileFreeTable(&table);
  BufFileClose(f, 1);
  return read;
}

TEST(ScalableReader, EntriesDoNotDependOnWhereFillsCutTheText) {
  const std::string longName(1500, 'f');
  struct Case {
    std::string text;
    Read expected;
  } cases[] = {
      {"  2\n\na.pfa  -a-One  x \nb.ttf\r\n\n  \t-b-Two\r\n\t\n",
       {ScalableResult::Done, {"a.pfa|-a-One  x ", "b.ttf|-b-Two\r"}}},
      {"+1\n" + longName + " n\n",
       {ScalableResult::Done, {std::string(1023, 'f') + "|" + std::string(477, 'f') + " n"}}},
      {"1\nx\v\fy\0z\n"s, {ScalableResult::Done, {"x|y"}}},  // a NUL ends the text where it is used
      {"1\nonly\n \n", {ScalableResult::BadFormat, {}}},
      {"- 1\na b\n", {ScalableResult::Done, {}}},
      {"\xA0" "1\na b\n", {ScalableResult::Done, {}}},  // not white space in the C locale
      {"1\n\xA0\x85 b\n", {ScalableResult::Done, {"\xA0\x85|b"}}},
  };
  for (const auto &c : cases) {
    for (int chunk : {1, 2, 3, 1000, BUFFILESIZE}) {
      Read got = ReadWithFills(c.text, chunk);
      EXPECT_EQ(got.result, c.expected.result) << c.text << " fills of " << chunk;
      EXPECT_EQ(got.entries, c.expected.entries) << c.text << " fills of " << chunk;
    }
  }
}

}  // namespace
