// The BDF line reader and keyword scanners.
#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <random>
#include <cstring>

#include "bitmap/bdfutils.h"
#include "tests/support/bdf_check.h"
#include "tests/support/membuf.h"
#include "tests/support/tempdir.h"

namespace {

// Every line bdfGetLine returns from the stream, and the final line count.
std::vector<std::string> linesOf(BufFile *file, int *lineCount = nullptr) {
  bdfFileLineNum = 0;
  std::vector<std::string> lines;
  char buf[BdfLineBuffer];
  while (bdfGetLine(file, buf, sizeof buf)) lines.push_back(buf);
  if (lineCount) *lineCount = bdfFileLineNum;
  BufFileClose(file, 1);
  return lines;
}

std::vector<std::string> linesOf(const std::string &text, int *lineCount = nullptr) {
  return linesOf(MemBufOpen(text.data(), text.size()), lineCount);
}

using Lines = std::vector<std::string>;

TEST(BdfGetLine, DropsCarriageReturnsSkipsCommentsAndEmptyLines) {
  int count;
  EXPECT_EQ(linesOf("A\r\n\r\nCOMMENT x\nCOMMENTS\n\nB\rC\n   \nlast", &count),
            (Lines{"A", "B" "C", "   "}));
  EXPECT_EQ(count, 7);  // the last line has no line feed and is not returned
  EXPECT_EQ(linesOf(""), Lines{});
  EXPECT_EQ(linesOf("\r\r\n"), Lines{});
}

TEST(BdfGetLine, LongLinesAreCutAtTheBuffer) {
  std::string text;
  for (int i = 0; i < 1500; i++) text += static_cast<char>('a' + i % 26);
  int count;
  Lines lines = linesOf(text + "\nnext\n", &count);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], text.substr(0, 1023));
  EXPECT_EQ(lines[1], text.substr(1024));  // the byte at the cut is lost
  EXPECT_EQ(lines[1].size(), 476u);
  EXPECT_EQ(lines[2], "next");
  EXPECT_EQ(count, 2);
  // Exactly 1023 characters fit; carriage returns do not take room.
  std::string exact(1023, 'x');
  EXPECT_EQ(linesOf(exact + "\r\n" + exact + "\r\n"), (Lines{exact, exact}));
  std::string withCr = std::string(1000, 'y') + "\r" + std::string(23, 'y');
  EXPECT_EQ(linesOf(withCr + "\n"), Lines{std::string(1023, 'y')});
}

TEST(BdfGetLine, LinesAcrossStreamBuffers) {
  // A file stream fills 8192 bytes at a time: lines and CR LF pairs that
  // straddle a fill read the same.
  TempDir dir;
  std::string text;
  Lines expected;
  for (int i = 0; text.size() < 40000; i++) {
    std::string line = std::string(static_cast<size_t>(i % 1100 + 1), 'a' + i % 26);
    text += line + "\r\n";
    expected.push_back(line.substr(0, 1023));
    if (line.size() > 1024) expected.push_back(line.substr(1024));
  }
  WriteFile(dir / "f", text);
  int fd = open((dir / "f").c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(linesOf(BufFileOpenRead(fd)), expected);
}

TEST(BdfMessages, PrefixesAndLineNumbers) {
  bdfFileLineNum = 12;
  StderrCapture capture;
  bdfError("bad %s %d\n", "thing", 3);
  bdfWarning("no line feed");
  EXPECT_EQ(capture.finish(), "BDF Error on line 12: bad thing 3\nBDF Warning on line 12: no line feed");
}

TEST(BdfValues, IntegersAndStrings) {
  for (const char *yes : {"0", "-", "+", "-12", "+7", "123456789012"}) EXPECT_TRUE(bdfIsInteger(yes)) << yes;
  for (const char *no : {"", "x", "1x", "--1", " 1", "1 "}) EXPECT_FALSE(bdfIsInteger(no)) << no;
  BdfFileState state;
  auto text = [&](const char *value) {
    Atom a = bdfGetPropertyValue(value, &state);
    return std::string(a ? NameForAtom(a) : "<none>");
  };
  EXPECT_EQ(text(" \t\"a \"\"b\"\"\" rest"), "a \"b\"");
  EXPECT_EQ(text("\"\""), "");
  EXPECT_EQ(text("   "), "");
  EXPECT_EQ(text("word next"), "word");
  StderrCapture capture;
  bdfFileLineNum = 4;
  EXPECT_EQ(bdfGetPropertyValue(" \"open", &state), 0u);
  EXPECT_EQ(capture.finish(), "BDF Error on line 4: unterminated quoted string property:  \"open\n");
  EXPECT_FALSE(state.outOfMemory);  // a bad value, not a lack of memory
  EXPECT_EQ(bdfHexByte("a5"), 0xA5);
  EXPECT_EQ(bdfHexByte("F0"), 0xF0);
  StderrCapture bad;
  EXPECT_EQ(bdfHexByte("G1"), 0x01);
  EXPECT_EQ(bdfHexByte("1G"), 0x01);
  EXPECT_EQ(bad.finish(), "BDF Error on line 4: bad hex char 'G'BDF Error on line 4: bad hex char 'G'");
}

// The scanners must accept and refuse what the C library's sscanf does with
// the same formats: compared over random lines built from the characters
// that matter.
TEST(BdfScan, AgreesWithSscanf) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789  \t\v+-xBX.";
  const char *keywords[] = {"BBX", "ENCODING", "SWIDTH"};
  const char *formats[] = {"BBX %d %d %d %d", "ENCODING %d %d", "SWIDTH %d %d"};
  const int counts[] = {4, 2, 2};
  for (int i = 0; i < 200000; i++) {
    int k = i % 3;
    std::string line = random() % 8 ? keywords[k] : (random() % 2 ? "BB" : "ENCODINGS");
    int n = static_cast<int>(random() % 24);
    for (int j = 0; j < n; j++) line += alphabet[random() % alphabet.size()];
    if (random() % 50 == 0) line += "99999999999";
    int mine[4] = {0, 0, 0, 0}, theirs[4] = {0, 0, 0, 0};
    int got = bdfScanInts(line.c_str(), keywords[k], std::strlen(keywords[k]), formats[k], mine, counts[k]);
    int want = std::sscanf(line.c_str(), formats[k], &theirs[0], &theirs[1], &theirs[2], &theirs[3]);
    if (want < 0) want = 0;
    ASSERT_EQ(got, want) << "'" << line << "'";
    for (int j = 0; j < got; j++) ASSERT_EQ(mine[j], theirs[j]) << "'" << line << "'";
  }
  const char *words[] = {"STARTCHAR", "STARTCHAR ", "STARTCHARx", "STARTCHAR \t a b",
                         "STARTCHA x", "STARTCHAR\v\vname\v"};
  for (const char *line : words) {
    char mine[100], theirs[1024];
    int got = bdfScanWord(line, "STARTCHAR", mine, sizeof mine);
    int want = std::sscanf(line, "STARTCHAR %1023s", theirs);
    EXPECT_EQ(got, want < 0 ? 0 : want) << line;
    if (got == 1) {
      EXPECT_STREQ(mine, theirs);
    }
  }
}

}  // namespace
