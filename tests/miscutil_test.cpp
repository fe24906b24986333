// The allocation wrappers, the lower-casing copy and the driver's name hash.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

TEST(Allocation, RequestsAboveTheCeilingFail) {
  EXPECT_EQ(FontAlloc(kFontAllocLimit + 1), nullptr);
  void *p = FontAlloc(kFontAllocLimit);
  EXPECT_NE(p, nullptr);
  FontFree(p);
  void *q = FontAlloc(16);
  EXPECT_EQ(FontRealloc(q, kFontAllocLimit + 1), nullptr);  // q is still ours
  FontFree(q);
  EXPECT_EQ(FontAllocArray(SIZE_MAX / 2, 4), nullptr);   // the product overflows
  EXPECT_EQ(FontAllocArray(1u << 20, 1u << 7), nullptr);  // 128 MiB
  void *zero = FontAlloc(0);
  EXPECT_NE(zero, nullptr);  // none only ever means failure
  FontFree(zero);
  FontFree(nullptr);
}

TEST(Allocation, TheHookFailsExactlyTheNthRequest) {
  FontAllocFailAt(3);
  void *a = FontAlloc(1), *b = FontAlloc(1), *c = FontAlloc(1), *e = FontAlloc(1);
  EXPECT_NE(a, nullptr);
  EXPECT_NE(b, nullptr);
  EXPECT_EQ(c, nullptr);
  EXPECT_NE(e, nullptr);
  EXPECT_EQ(FontAllocCount(), 4);
  FontAllocFailAt(2, true);
  void *f = FontAlloc(1);
  EXPECT_NE(f, nullptr);
  EXPECT_EQ(FontAlloc(1), nullptr);
  EXPECT_EQ(FontRealloc(nullptr, 1), nullptr);
  FontAllocFailAt(0);
  void *g = FontAlloc(1);
  EXPECT_NE(g, nullptr);
  for (void *p : {a, b, e, f, g}) FontFree(p);
}

TEST(LowerCasing, LatinOneCapitalsAreLowered) {
  char buf[64];
  CopyISOLatin1Lowered(buf, "ABC-xyz-\xC0\xC9\xD6\xD7\xD8\xDE\xDF\xFF", 64);
  EXPECT_STREQ(buf, "abc-xyz-\xE0\xE9\xF6\xD7\xF8\xFE\xDF\xFF");
  // Stops at the length and writes the terminator; may work in place.
  std::strcpy(buf, "HELLO");
  CopyISOLatin1Lowered(buf, buf, 3);
  EXPECT_STREQ(buf, "hel");
  CopyISOLatin1Lowered(buf, "AB\0CD", 5);
  EXPECT_STREQ(buf, "ab");
}

TEST(LowerCasing, EveryByteValueFollowsTheRule) {
  // Every byte but NUL, against the rule: A-Z and 0xC0-0xDE except 0xD7 move
  // up by 0x20, everything else stays.
  char in[256], out[256];
  for (int c = 1; c < 256; c++) in[c - 1] = static_cast<char>(c);
  in[255] = '\0';
  CopyISOLatin1Lowered(out, in, 255);
  for (int c = 1; c < 256; c++) {
    bool upper = (c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    EXPECT_EQ(static_cast<unsigned char>(out[c - 1]), upper ? c + 0x20 : c) << c;
  }
  EXPECT_EQ(out[255], '\0');
}

TEST(DriverHash, SignWideningAndTenBits) {
  EXPECT_EQ(Hash(""), 0u);
  EXPECT_EQ(Hash("a"), 97u);
  EXPECT_EQ(Hash("ab"), 160u);
  EXPECT_EQ(Hash("6x13"), 1u);
  EXPECT_EQ(Hash("\xE9"), 1001u);
  EXPECT_EQ(Hash("abcdefghijk"), 171u);
  EXPECT_EQ(Hash("bcdefghijk"), 171u);
}

}  // namespace
