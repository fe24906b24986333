// The BDF line reader, tokenizer, number parser and value parsers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <random>

#include "bitmap/bdfutils.h"
#include "tests/support/bdf_check.h"
#include "tests/support/membuf.h"
#include "tests/support/tempdir.h"

namespace {

using Lines = std::vector<std::string>;

// Every line bdfNextLine returns from the stream, and the final line count.
Lines linesOf(BufFile *file, int *lineCount = nullptr) {
  auto state = std::make_unique<BdfFileState>(file);
  Lines lines;
  while (bdfNextLine(*state)) lines.emplace_back(state->line.begin, state->line.size());
  if (lineCount) *lineCount = state->lineNumber;
  BufFileClose(file, 1);
  return lines;
}

Lines linesOf(const std::string &text, int *lineCount = nullptr) {
  return linesOf(MemBufOpen(text.data(), text.size()), lineCount);
}

// A C string as a line's text.
BdfText textOf(const char *text) { return {text, text + std::strlen(text)}; }

TEST(BdfLines, DropsCarriageReturnsSkipsCommentsAndEmptyLines) {
  int count;
  EXPECT_EQ(linesOf("A\r\n\r\nCOMMENT x\nCOMMENTS\n\nB\rC\n   \nlast", &count), (Lines{"A",
                                                                                       "B"
                                                                                       "C",
                                                                                       "   "}));
  EXPECT_EQ(count, 7);  // the last line has no line feed and is not returned
  EXPECT_EQ(linesOf(""), Lines{});
  EXPECT_EQ(linesOf("\r\r\n"), Lines{});
  // A NUL byte ends a line's text, but the line is not empty.
  EXPECT_EQ(linesOf(std::string("ab\0cd\n\0\nCOMM\0ENT\n", 18)), (Lines{"ab", "", "COMM"}));
}

TEST(BdfLines, LongLinesAreCutAtTheBuffer) {
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
  EXPECT_EQ(linesOf(exact + "\r\rz\n"), (Lines{exact}));  // z is the byte at the cut
}

TEST(BdfLines, LinesAcrossStreamBuffers) {
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

// The line rules taken one byte at a time: each line returned, with the
// line count and the bytes taken after it.
struct LineRecord {
  std::string text;
  int count;
  uint64_t position;
  bool operator==(const LineRecord &) const = default;
};
std::vector<LineRecord> modelLines(const std::string &bytes) {
  std::vector<LineRecord> lines;
  int count = 0;
  for (size_t i = 0;;) {
    std::string stored;
    bool ended = false;
    while (!ended && i < bytes.size()) {
      const char c = bytes[i++];
      if (c == '\n') ++count;
      ended = c == '\n' || (c != '\r' && stored.size() == 1023);
      if (!ended && c != '\r') stored += c;
    }
    if (!ended) return lines;
    const std::string text = stored.substr(0, stored.find('\0'));
    if (!stored.empty() && text.rfind("COMMENT", 0) != 0) lines.push_back({text, count, i});
  }
}

TEST(BdfLines, AgreeWithTheLineRulesWhereverTheStreamBuffersEnd) {
  std::mt19937 random(3);
  const std::string alphabet = "COMMENT xF0\r\r\n\n\n\0";
  for (int round = 0; round < 300; round++) {
    std::string bytes;
    while (bytes.size() < 6000) {
      size_t length = random() % 8 == 0 ? 1000 + random() % 100 : random() % 12;
      for (size_t j = 0; j < length; j++) bytes += alphabet[random() % (alphabet.size() + 1)];
      bytes += random() % 4 ? "\n" : "\r\n";
    }
    bytes.resize(bytes.size() - random() % 3);
    const int chunk = std::vector<int>{1, 2, 5, 64, 1023, 1025, 8192}[round % 7];
    BufFile *file = MemBufOpen(bytes.data(), bytes.size(), chunk);
    auto state = std::make_unique<BdfFileState>(file);
    std::vector<LineRecord> lines;
    while (bdfNextLine(*state))
      lines.push_back({std::string(state->line.begin, state->line.size()), state->lineNumber,
                       state->in.position});
    BufFileClose(file, 1);
    ASSERT_EQ(lines, modelLines(bytes)) << "round " << round << ", chunk " << chunk;
    EXPECT_EQ(state->in.position, bytes.size());
  }
}

TEST(BdfMessages, PrefixesAndLineNumbers) {
  auto state = std::make_unique<BdfFileState>(nullptr);
  state->lineNumber = 12;
  StderrCapture capture;
  bdfError(*state, "bad %s %d\n", "thing", 3);
  bdfWarning(*state, "no line feed");
  EXPECT_EQ(capture.finish(),
            "BDF Error on line 12: bad thing 3\nBDF Warning on line 12: no line feed");
}

TEST(BdfValues, IntegersStringsAndHexadecimal) {
  int32_t v;
  for (const char *yes : {"0", "-", "+", "-12", "+7", "123456789012"})
    EXPECT_TRUE(bdfIntegerValue(textOf(yes), &v)) << yes;
  for (const char *no : {"", "x", "1x", "--1", " 1", "1 ", "+-1"})
    EXPECT_FALSE(bdfIntegerValue(textOf(no), &v)) << no;
  auto state = std::make_unique<BdfFileState>(nullptr);
  state->lineNumber = 4;
  auto text = [&](const char *value) {
    Atom a = bdfGetPropertyValue(*state, textOf(value));
    return std::string(a ? NameForAtom(a) : "<none>");
  };
  EXPECT_EQ(text(" \t\"a \"\"b\"\"\" rest"), "a \"b\"");
  EXPECT_EQ(text("\"\""), "");
  EXPECT_EQ(text("   "), "");
  EXPECT_EQ(text("word next"), "word");
  StderrCapture capture;
  EXPECT_EQ(text(" \"open"), "<none>");
  EXPECT_EQ(text("\"ends \"\""), "<none>");
  EXPECT_EQ(capture.finish(),
            "BDF Error on line 4: unterminated quoted string property:  \"open\n"
            "BDF Error on line 4: unterminated quoted string property: \"ends \"\"\n");
  EXPECT_EQ(bdfHexByte(*state, 'a', '5'), 0xA5);
  EXPECT_EQ(bdfHexByte(*state, 'F', '0'), 0xF0);
  StderrCapture bad;
  EXPECT_EQ(bdfHexByte(*state, 'G', '1'), 0x01);
  EXPECT_EQ(bdfHexByte(*state, '1', 'G'), 0x01);
  EXPECT_EQ(bad.finish(),
            "BDF Error on line 4: bad hex char 'G'BDF Error on line 4: bad hex char 'G'");
}

// The integer parser gives what the C library's conversions gave the
// keyword lines (%d) and the property values (atoi, strtol): the value
// saturates at the 64-bit limits and an int takes its low 32 bits.
TEST(BdfNumbers, IntegerConversionsOfTheCLibrary) {
  struct Case {
    const char *text;
    bool scans;     // a number for %d
    int32_t value;  // what %d gives
  } cases[] = {
      {"0", true, 0},
      {"-7", true, -7},
      {"+7", true, 7},
      {" \t\v\f-3x", true, -3},
      {"2147483647", true, 2147483647},
      {"2147483648", true, INT32_MIN},
      {"-2147483649", true, INT32_MAX},
      {"4294967297", true, 1},
      {"-4294967297", true, -1},
      {"99999999999", true, 1215752191},
      {"9223372036854775807", true, -1},
      {"9223372036854775808", true, -1},  // saturated at INT64_MAX
      {"99999999999999999999999", true, -1},
      {"-9223372036854775808", true, 0},
      {"-9223372036854775809", true, 0},  // saturated at INT64_MIN
      {"-99999999999999999999999", true, 0},
      {"0000000000000000000000000012", true, 12},
      {"-0", true, 0},
      {"0x10", true, 0},
      {"-", false, 0},
      {"+", false, 0},
      {"+-1", false, 0},
      {"", false, 0},
      {"x1", false, 0},
  };
  for (const Case &c : cases) {
    int theirs = 0;
    int scanned = std::sscanf(c.text, "%d", &theirs);
    ASSERT_EQ(scanned == 1, c.scans) << c.text;  // the table is the C library's
    if (c.scans) {
      ASSERT_EQ(theirs, c.value) << c.text;
    }
    BdfTokens tokens(textOf(c.text));
    int32_t mine = 12345;
    EXPECT_EQ(tokens.integer(&mine), c.scans) << c.text;
    if (c.scans) {
      EXPECT_EQ(mine, c.value) << c.text;
    }
    int32_t value;
    if (bdfIntegerValue(textOf(c.text), &value)) {
      EXPECT_EQ(value, std::atoi(c.text)) << c.text;
      EXPECT_EQ(value, static_cast<int32_t>(std::strtol(c.text, nullptr, 10))) << c.text;
    }
  }
}

// Keyword lines must scan as the C library's sscanf scans them with the same
// formats: compared over random lines built from the characters that matter.
TEST(BdfNumbers, KeywordLinesScanAsSscanf) {
  std::mt19937 random(7);
  const std::string alphabet = "0123456789  \t\v+-xBX.";
  for (int i = 0; i < 200000; i++) {
    const bool box = i % 2;
    std::string line =
        random() % 8 ? (box ? "BBX" : "ENCODING") : (random() % 2 ? "BB" : "ENCODINGS");
    int n = static_cast<int>(random() % 24);
    for (int j = 0; j < n; j++) line += alphabet[random() % alphabet.size()];
    if (random() % 50 == 0) line += "99999999999";
    int mine[4] = {0, 0, 0, 0}, theirs[4] = {0, 0, 0, 0};
    BdfTokens t(textOf(line.c_str()));
    int got = 0;
    if (box ? t.keyword("BBX") : t.keyword("ENCODING")) got = t.integers(mine, box ? 4 : 2);
    int want = std::sscanf(line.c_str(), box ? "BBX %d %d %d %d" : "ENCODING %d %d", &theirs[0],
                           &theirs[1], &theirs[2], &theirs[3]);
    if (want < 0) want = 0;
    ASSERT_EQ(got, want) << "'" << line << "'";
    for (int j = 0; j < got; j++) ASSERT_EQ(mine[j], theirs[j]) << "'" << line << "'";
  }
  const char *words[] = {"STARTCHAR",        "STARTCHAR ", "STARTCHARx",
                         "STARTCHAR \t a b", "STARTCHA x", "STARTCHAR\v\vname\v"};
  for (const char *line : words) {
    char theirs[1024];
    BdfTokens t(textOf(line));
    BdfText mine = t.keyword("STARTCHAR") ? t.word() : BdfText{};
    int want = std::sscanf(line, "STARTCHAR %1023s", theirs);
    EXPECT_EQ(mine.size() > 0, want == 1) << line;
    if (want == 1) {
      EXPECT_EQ(std::string(mine.begin, mine.size()), theirs);
    }
  }
}

// SIZE lines: %f takes more than strtof would ("12e" is 12, and the
// numbers after it still scan), "nan" and "inf" in any case, hexadecimal.
TEST(BdfNumbers, SizeLinesScanAsSscanf) {
  auto same = [](float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; };
  auto check = [&](const std::string &line) {
    float f = 0, theirF = 0;
    int32_t x = 0, y = 0;
    int theirX = 0, theirY = 0;
    BdfTokens t(textOf(line.c_str()));
    int got = !t.keyword("SIZE") ? 0
              : !t.real(&f)      ? 0
              : !t.integer(&x)   ? 1
              : !t.integer(&y)   ? 2
                                 : 3;
    int want = std::sscanf(line.c_str(), "SIZE %f%d%d", &theirF, &theirX, &theirY);
    if (want < 0) want = 0;
    ASSERT_EQ(got, want) << "'" << line << "'";
    if (got >= 1) {
      ASSERT_TRUE(same(f, theirF) || (std::isnan(f) && std::isnan(theirF))) << "'" << line << "'";
    }
    if (got >= 2) {
      ASSERT_EQ(x, theirX) << "'" << line << "'";
    }
    if (got >= 3) {
      ASSERT_EQ(y, theirY) << "'" << line << "'";
    }
  };
  for (const char *line :
       {"SIZE 12 75 75",    "SIZE 12e 75 75", "SIZE 12e+ 75 75",    "SIZE 0x 75 75",
        "SIZE 0xp3 1 1",    "SIZE 0x1p 1 1",  "SIZE 0x.8 1 1",      "SIZE nan(12) 1 1",
        "SIZE infinit 1 1", "SIZE infx 1 1",  "SIZE -Infinity 1 1", "SIZE . 1 1",
        "SIZE 1.5.3 1 1",   "SIZE +.5 1 1",   "SIZE .e3 1 1",       "SIZE 00x5 1 1",
        "SIZE 1e5e3 1 1",   "SIZE NaN7 1",    "SIZE 1e40 1 1",      "SIZE"})
    check(line);
  std::mt19937 random(11);
  const std::string alphabet = "0123456789 +-.eEpPxXaAfFnNiItTy";
  for (int i = 0; i < 200000; i++) {
    std::string line = "SIZE ";
    int n = static_cast<int>(random() % 14);
    for (int j = 0; j < n; j++) line += alphabet[random() % alphabet.size()];
    line += random() % 2 ? " 75 75" : "";
    check(line);
  }
}

}  // namespace
