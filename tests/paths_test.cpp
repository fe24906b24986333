// The driver's one way of joining a directory and a name.  The index files
// always get a '/' (so "d/" writes "d//fonts.dir"); fonts, fonts.scale and
// encoding files get one only where it is missing.
#include <gtest/gtest.h>

#include <string>

#include "tool/driver.h"

namespace {

TEST(JoinPath, TheSlashRuleOfEachKindOfPath) {
  struct Case {
    const char *dir;
    Slash slash;
    const char *joined;
  } cases[] = {
      {"d", Slash::Always, "d/f"},     {"d/", Slash::Always, "d//f"},
      {"/", Slash::Always, "//f"},     {"", Slash::Always, "/f"},
      {"d", Slash::IfMissing, "d/f"},  {"d/", Slash::IfMissing, "d/f"},
      {"/", Slash::IfMissing, "/f"},   {"", Slash::IfMissing, "f"},
  };
  for (const Case &c : cases) {
    char path[16];
    ASSERT_TRUE(JoinPath(path, sizeof path, c.dir, "f", c.slash)) << c.dir;
    EXPECT_STREQ(path, c.joined) << c.dir;
  }
}

TEST(JoinPath, APathMustLeaveRoomForItsTerminator) {
  char path[8];
  std::string seven = "abc/def";  // 7 characters and the NUL fill 8 bytes
  EXPECT_TRUE(JoinPath(path, sizeof path, "abc", "def", Slash::Always));
  EXPECT_EQ(path, seven);
  EXPECT_FALSE(JoinPath(path, sizeof path, "abcd", "def", Slash::Always));
  EXPECT_FALSE(JoinPath(path, sizeof path, "abc/", "defg", Slash::IfMissing));
  EXPECT_TRUE(JoinPath(path, sizeof path, "abc/", "def", Slash::IfMissing));
  EXPECT_EQ(path, seven);
}

}  // namespace
