// The encoding file header scan and its line classifier, over in-memory
// streams (and a few real files, plain and compressed).
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "fontenc/encparse.h"
#include "tests/support/compressed.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"
#include "util/miscutil.h"

namespace {

using Names = std::vector<std::string>;

struct Parsed {
  Names names;  // the name, then the aliases
  int size;
  int rowSize;
};

std::optional<Parsed> Parse(const std::string &text) {
  BufFile *f = MemBufOpen(text.data(), text.size());
  EXPECT_NE(f, nullptr);
  EncodingRecord *r = parseEncodingFile(f, 1);
  BufFileClose(f, 1);
  if (!r) return std::nullopt;
  Parsed p{{r->name}, r->size, r->row_size};
  if (r->aliases)
    for (char **a = r->aliases; *a; a++) p.names.push_back(*a);
  EXPECT_EQ(r->mappings, nullptr);
  FreeEncodingRecord(r);
  return p;
}

std::optional<Names> NamesOf(const std::string &text) {
  auto p = Parse(text);
  if (!p) return std::nullopt;
  return p->names;
}

// Every getnextline result up to the first -1, with what it left in the
// scratch values, as text: "1:name", "4:1,2", "-2" ...  The stream's fills
// deliver `chunk` bytes each.
std::vector<std::string> LinesWithFills(const std::string &text, int chunk) {
  BufFile *f = MemBufOpen(text.data(), text.size(), chunk);
  std::vector<std::string> out;
  auto v = [](uint32_t x) { return std::to_string(x); };
  for (int guard = 0; guard < 100; guard++) {
    value1 = value2 = value3 = 777;
    int line = getnextline(f);
    std::string s = std::to_string(line);
    std::string word = keyword_value;
    switch (line) {
      case 1: case 9: s += ":" + word; break;
      case 2: s += ":" + word + "," + v(value1) + "," + v(value2); break;
      case 4: case 6: case 8: s += ":" + v(value1) + "," + v(value2); break;
      case 5: s += ":" + v(value1) + "," + v(value2) + "," + v(value3); break;
      case 7: s += ":" + v(value1) + "," + word; break;
      default: break;
    }
    out.push_back(s);
    if (line == -1) break;
  }
  BufFileClose(f, 1);
  return out;
}

// The same, and the same again wherever the fills cut the text.
std::vector<std::string> Lines(const std::string &text) {
  std::vector<std::string> whole = LinesWithFills(text, BUFFILESIZE);
  for (int chunk : {1, 2, 3}) EXPECT_EQ(LinesWithFills(text, chunk), whole) << "fills of " << chunk;
  return whole;
}

using L = std::vector<std::string>;

// The names a header declares, or none for a file that is no encoding file.
TEST(EncodingHeader, TheNamesOfEachHeader) {
  const std::optional<Names> none;
  const std::string n99(99, 'n'), n100(100, 'm'), n150(150, 'k');
  const std::pair<std::string, std::optional<Names>> cases[] = {
      // The name and the aliases before the first mapping section.
      {"STARTENCODING ISO8859-2\nALIAS latin2\nSTARTMAPPING unicode\nALIAS hidden\nENDMAPPING\nENDENCODING\n",
       Names{"ISO8859-2", "latin2"}},
      {"STARTENCODING a\nENDENCODING\nALIAS hidden\n", Names{"a"}},
      // STARTMAPPING ends the scan only when well formed.
      {"STARTENCODING e\nSTARTMAPPING\nSTARTMAPPING 5\nENDENCODING x\nALIAS a\nSTARTMAPPING postscript 1 2\nALIAS b\n",
       Names{"e", "a"}},
      {"# c\r\n\r\nSTARTENCODING x-cr\r\nALIAS y\r\nSIZE 128\r\nSTARTMAPPING cmap\r\n", Names{"x-cr", "y"}},
      // An asterisk is the only character consumed; the first meaningful
      // line must be STARTENCODING itself.
      {"STARTENCODING e\n*ALIAS star\n*#ALIAS no\n", Names{"e", "star"}},
      {"*STARTENCODING e\n", none},
      {"*STARTENCODING\n", none},
      {"STARTENCODING e\nALIAS two words\nALIAS 9lives\nALIAS\nALIAS kept # note\nALIAS e\nALIAS kept\n",
       Names{"e", "kept", "e", "kept"}},
      // Names of 99 bytes fit, of 100 not.
      {"STARTENCODING " + n99 + "\nALIAS " + n99 + "\n", Names{n99, n99}},
      {"STARTENCODING e\nALIAS " + n100 + "\nALIAS " + n150 + "\nALIAS ok\n", Names{"e", "ok"}},
      {"STARTENCODING " + n100 + "\n", none},
      {"STARTENCODING only", Names{"only"}},
      {"STARTENCODING e\nALIAS last", Names{"e", "last"}},
      {"", none},
      {"\n\n# only comments\n", none},
      {"STARTENCODING\n", none},
      {"STARTENCODING 8bit\n", none},
      {"STARTENCODING a b\n", none},
      {"ALIAS x\nSTARTENCODING y\n", none},
      {"3\nx.enc x\n", none},
      {"STARTFONT 2.1\nFONT -misc-fixed\n", none},
      {std::string("\1fcp\x0e\0\0\0", 8), none},
      {std::string("\x1f\x8b\x08\0", 4), none},
      {"STARTENCODING x y z\n", none},
  };
  for (const auto &[text, names] : cases) EXPECT_EQ(NamesOf(text), names) << text;
}

TEST(EncodingHeader, KeywordsIgnoreCaseNamesKeepIt) {
  auto p = Parse("# lead comment\n\n   \t\nstartencoding Koi8-R\nAlias KOI8r\nsize 94 94\n");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->names, (Names{"Koi8-R", "KOI8r"}));
  EXPECT_EQ(p->size, 94);
  EXPECT_EQ(p->rowSize, 94);
}

TEST(EncodingHeader, TwentyAliasesAreKept) {
  std::string text = "STARTENCODING many\n";
  Names expected{"many"};
  for (int i = 0; i < 25; i++) {
    text += "ALIAS a" + std::to_string(i) + "\n";
    if (i < kEncodingMaxAliases) expected.push_back("a" + std::to_string(i));
  }
  EXPECT_EQ(NamesOf(text), expected);
}

TEST(EncodingHeader, TheHundredthByteOfAWordStartsTheNextToken) {
  // The 100th byte is read again as the start of the next token.
  std::string line = "ALIAS " + std::string(99, 'a') + "7 8\n";
  BufFile *f = MemBufOpen(line.data(), line.size());
  EXPECT_EQ(getnextline(f), -2);
  BufFileClose(f, 1);
  EXPECT_EQ(std::string(keyword_value), std::string(99, 'a') + "7");
  EXPECT_EQ(number_value, 7u);
}

TEST(EncodingHeader, ALastSizeLineWithoutNewline) {
  auto p = Parse("STARTENCODING e\nSIZE 300");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->size, 256);  // "SIZE x" cut short by the end is not a SIZE line
  p = Parse("STARTENCODING e\nSIZE 300 2");
  ASSERT_TRUE(p);
  EXPECT_EQ(p->size, 300);
}

TEST(EncodingHeader, SizeNumbersInThreeBases) {
  auto size = [](const std::string &line) {
    auto p = Parse("STARTENCODING e\n" + line + "\n");
    return p ? p->size : -1;
  };
  EXPECT_EQ(size("SIZE 0x100"), 256);
  EXPECT_EQ(size("SIZE 0X1f"), 31);
  EXPECT_EQ(size("SIZE 0400"), 256);
  EXPECT_EQ(size("SIZE 300 # comment"), 300);
  EXPECT_EQ(size("SIZE 300#comment"), 300);
  EXPECT_EQ(size("SIZE 0x1G"), 256);  // 1, then the word G: not a SIZE line
  EXPECT_EQ(size("SIZE 300 x"), 256);
  // Any hex digit in any base.
  EXPECT_EQ(size("SIZE 1a"), 20);
  EXPECT_EQ(size("SIZE 09"), 9);
  EXPECT_EQ(size("SIZE 0"), 0);
  EXPECT_EQ(size("SIZE 0x"), 0);
  // 32-bit arithmetic that wraps: 2^32 + 5.
  EXPECT_EQ(size("SIZE 4294967301"), 5);
  EXPECT_EQ(size("SIZE 0xffffffffffffffff0"), -16);
}

TEST(EncodingLines, EveryRowOfTheTable) {
  EXPECT_EQ(Lines("STARTENCODING n\nSTARTMAPPING unicode\nSTARTMAPPING cmap 3\n"
                  "STARTMAPPING cmap 3 1\nENDMAPPING\n0x20 0x7e\n1 2 3\nUNDEFINE 7\n"
                  "UNDEFINE 7 9\n65 A\nSIZE 94\nSIZE 94 94\nALIAS al\nENDENCODING\n"),
            (L{"1:n", "2:unicode,0,777", "2:cmap,3,777", "2:cmap,3,1", "3", "4:32,126",
               "5:1,2,3", "6:7,7", "6:7,9", "7:65,A", "8:94,0", "8:94,94", "9:al", "-1"}));
  EXPECT_EQ(Lines("foo\n"), (L{"-2", "-1"}));
}

TEST(EncodingLines, WhatMayFollowOnTheLine) {
  // Only white space or a comment after these.
  EXPECT_EQ(Lines("ENDENCODING x\nENDMAPPING # c\n65 A B\nUNDEFINE 1 2 3\n"
                  "STARTMAPPING t 1 2 3\n1 2 x\n1 2 # c\n"),
            (L{"-2", "3", "-2", "-2", "-2", "-2", "4:1,2", "-1"}));
  // After x y z and SIZE x y the character ending the last number is
  // consumed and the rest starts the next line.
  EXPECT_EQ(Lines("1 2 3 ALIAS a\n"), (L{"5:1,2,3", "9:a", "-1"}));
  EXPECT_EQ(Lines("1 2 3#ALIAS a\n"), (L{"5:1,2,3", "9:a", "-1"}));
  EXPECT_EQ(Lines("SIZE 1 2 ALIAS a\n"), (L{"8:1,2", "9:a", "-1"}));
  EXPECT_EQ(Lines("SIZE 1 2 3 4\n"), (L{"8:1,2", "4:3,4", "-1"}));
  // 0x1G is the number 1 followed by the word G.
  EXPECT_EQ(Lines("0x1G\n"), (L{"7:1,G", "-1"}));
}

TEST(EncodingLines, WhereReadingResumesAfterABadLine) {
  // An error token first: only that character is consumed.
  EXPECT_EQ(Lines("*ALIAS a\n"), (L{"-2", "9:a", "-1"}));
  EXPECT_EQ(Lines("ALIAS *ALIAS a\nALIAS b\n"), (L{"-2", "9:b", "-1"}));
  // UNDEFINE x and a stray token: reading resumes right after that token.
  EXPECT_EQ(Lines("UNDEFINE 1 zz ALIAS a\n"), (L{"-2", "9:a", "-1"}));
  EXPECT_EQ(Lines("UNDEFINE 1 * ALIAS a\n"), (L{"-2", "9:a", "-1"}));
  // ... at the character that ended it, or at a cut word's 100th byte.
  EXPECT_EQ(Lines("UNDEFINE 1 zz#ALIAS a\nALIAS b\n"), (L{"-2", "9:b", "-1"}));
  EXPECT_EQ(Lines("UNDEFINE 1 zz\nALIAS b\n"), (L{"-2", "9:b", "-1"}));
  EXPECT_EQ(Lines("UNDEFINE 1 " + std::string(99, 'z') + "ALIAS a\n"), (L{"-2", "9:a", "-1"}));
  EXPECT_EQ(Lines("UNDEFINE zz ALIAS a\n"), (L{"-2", "-1"}));
  // Any other bad line is passed over to its end.
  EXPECT_EQ(Lines("SIZE x ALIAS a\nALIAS 5 ALIAS b\n"), (L{"-2", "-2", "-1"}));
}

TEST(EncodingLines, LinesCutShortByTheEnd) {
  EXPECT_EQ(Lines("1 2"), (L{"-2", "-1"}));
  EXPECT_EQ(Lines("1 2 3"), (L{"5:1,2,3", "-1"}));
  EXPECT_EQ(Lines("65 A"), (L{"7:65,A", "-1"}));
  EXPECT_EQ(Lines("UNDEFINE 4"), (L{"-2", "-1"}));
  EXPECT_EQ(Lines("UNDEFINE 4 5"), (L{"6:4,5", "-1"}));
  EXPECT_EQ(Lines("STARTMAPPING t"), (L{"-2", "-1"}));
  EXPECT_EQ(Lines("STARTMAPPING t 1"), (L{"-2", "-1"}));
  EXPECT_EQ(Lines("STARTMAPPING t 1 2"), (L{"2:t,1,2", "-1"}));
  EXPECT_EQ(Lines("ENDMAPPING"), (L{"3", "-1"}));
  EXPECT_EQ(Lines("1 2 # c"), (L{"4:1,2", "-1"}));
}

TEST(EncodingLines, NulBytes) {
  using namespace std::string_literals;
  // A NUL where a line begins ends the scan like the end of the data.
  EXPECT_EQ(NamesOf("STARTENCODING e\n\0ALIAS hidden\n"s), (Names{"e"}));
  EXPECT_FALSE(Parse("\0STARTENCODING e\n"s));
  // A NUL ends a word or a number and is then passed over.
  EXPECT_EQ(NamesOf("STARTENCODING e\0\nALIAS\0a\n"s), (Names{"e", "a"}));
  EXPECT_EQ(Lines("1\0 2\n"s), (L{"4:1,2", "-1"}));
  // A bad line whose last token ended at a NUL stops being skipped there.
  EXPECT_EQ(Lines("ALIAS 5\0ALIAS b\n"s), (L{"-2", "9:b", "-1"}));
  // A NUL after white space, or after the NUL that ended a token, is a bad
  // character.
  EXPECT_EQ(Lines("ALIAS a\0\0ALIAS b\nALIAS c\n"s), (L{"-2", "9:c", "-1"}));
  EXPECT_EQ(Lines("1 2\0\0\n3 4\n"s), (L{"-2", "4:3,4", "-1"}));
  EXPECT_EQ(Lines("ALIAS \0a\nALIAS b\n"s), (L{"-2", "9:b", "-1"}));
  EXPECT_EQ(Lines("  \0ALIAS b\n"s), (L{"-2", "9:b", "-1"}));
}

TEST(EncodingHeader, EveryAllocationFailureGivesNoneAndLeaksNothing) {
  std::string text = "STARTENCODING e\nALIAS a\nALIAS b\nALIAS c\n";
  BufFile *f = MemBufOpen(text.data(), text.size());
  FontAllocFailAt(0);
  EncodingRecord *r = parseEncodingFile(f, 1);
  long made = FontAllocCount();
  BufFileClose(f, 1);
  ASSERT_NE(r, nullptr);
  FreeEncodingRecord(r);
  EXPECT_EQ(made, 6);  // record, name, three aliases, alias array
  for (long n = 1; n <= made; n++) {
    f = MemBufOpen(text.data(), text.size());
    FontAllocFailAt(n);
    r = parseEncodingFile(f, 1);
    FontAllocFailAt(0);
    BufFileClose(f, 1);
    EXPECT_EQ(r, nullptr) << n;
    FreeEncodingRecord(r);
  }
}

TEST(EncodingHeader, OnlyTheHeaderScanExists) {
  std::string text = "STARTENCODING e\n";
  BufFile *f = MemBufOpen(text.data(), text.size());
  EXPECT_EQ(parseEncodingFile(f, 0), nullptr);
  BufFileClose(f, 1);
}

// identifyEncodingFile over files.
Names Identify(const std::string &path) {
  char **names = identifyEncodingFile(path.c_str());
  Names out;
  if (!names) return out;
  for (char **n = names; *n; n++) {
    out.push_back(*n);
    FontFree(*n);
  }
  FontFree(names);
  return out;
}

const char kSample[] = "# sample\nSTARTENCODING ISO8859-2\nALIAS latin2\nALIAS l2\n"
                       "STARTMAPPING unicode\n0xa1 0x0104\nENDMAPPING\nENDENCODING\n";

TEST(IdentifyEncodingFile, FilesThatAreNotEncodingFiles) {
  TempDir dir;
  WriteFile(dir / "empty", "");
  WriteFile(dir / "encodings.dir", "1\nISO8859-2 /x/iso8859-2.enc\n");
  MakeDir(dir / "sub.enc");
  EXPECT_TRUE(Identify(dir / "empty").empty());
  EXPECT_TRUE(Identify(dir / "encodings.dir").empty());
  EXPECT_TRUE(Identify(dir / "sub.enc").empty());
  EXPECT_TRUE(Identify(dir / "missing.enc").empty());
  WriteFile(dir / "good.enc", kSample);
  EXPECT_EQ(Identify(dir / "good.enc"), (Names{"ISO8859-2", "latin2", "l2"}));
}

TEST(IdentifyEncodingFile, CompressedFilesGiveTheSameList) {
  if (std::string why = MissingPrograms({"gzip", "compress"}); !why.empty()) GTEST_SKIP() << why;
  TempDir dir;
  WriteFile(dir / "x.enc", kSample);
  for (auto [tool, suffix] : {std::pair{"gzip", ".gz"}, std::pair{"compress", ".Z"}}) {
    std::string packed = dir / (std::string("x.enc") + suffix);
    ASSERT_TRUE(CompressFile(tool, dir / "x.enc", packed));
    EXPECT_EQ(Identify(packed), (Names{"ISO8859-2", "latin2", "l2"})) << suffix;
    // Damaged compressed data is not an encoding file.
    std::string bytes = ReadFile(packed);
    WriteFile(packed, bytes.substr(0, 3));
    EXPECT_TRUE(Identify(packed).empty()) << suffix;
  }
}

// The Unicode mapping of encoding "e": its characters as ranges of hex code
// points, then its number of codes ("20-7e a0 /256"); "-" for no character.
std::string Map(const std::string &text) {
  BufFile *f = MemBufOpen(text.data(), text.size());
  EncodingUnicodeMap map;
  EncodingMapResult result = ReadEncodingUnicodeMap(f, &map);
  BufFileClose(f, 1);
  if (result != EncodingMapResult::Read) return "not read";
  EXPECT_STREQ(map.name.get(), "e");
  std::string out;
  char buf[40];
  for (size_t i = 0, j; i < map.count; i = j + 1) {
    for (j = i; j + 1 < map.count && map.chars.get()[j + 1] == map.chars.get()[j] + 1;) j++;
    std::snprintf(buf, sizeof buf, j == i ? " %x" : " %x-%x", map.chars.get()[i], map.chars.get()[j]);
    out += buf;
  }
  return (out.empty() ? "-" : out.substr(1)) + " /" + std::to_string(map.codes) +
         (map.hasUnicodeMapping ? "" : " no section");
}

// The lines of one unicode section, after `head`.
std::string Section(const std::string &lines, const std::string &head = "") {
  return "STARTENCODING e\n" + head + "STARTMAPPING unicode\n" + lines + "ENDMAPPING\nENDENCODING\n";
}

// Descending nested ranges over 2^32 codes, each overriding the last.
std::string NestedRanges(uint32_t n) {
  std::string lines;
  for (uint32_t k = n; k > 0; k--)
    lines += std::to_string(k) + " " + std::to_string(0xffffffffu - k) + " " + std::to_string(k) + "\n";
  return Section(lines, "SIZE 0xffffffff\n");
}

TEST(EncodingMapping, WhatTheLinesMap) {
  struct Case {
    const char *what;
    std::string text, expected;
  } cases[] = {
      {"single codes, three bases", Section("0x41 0x100\n0102 0x101\n67 258\n"), "100-102 /256"},
      {"a range", Section("0x20 0x22 0x3000\n"), "3000-3002 /256"},
      {"a later line replaces an earlier one", Section("0x41 0x100\n0x41 0x200\n"), "200 /256"},
      {"inside a range", Section("0x20 0x2f 0x100\n0x25 0x300\n"), "100-104 106-10f 300 /256"},
      {"inside lines that continue one another",
       Section("0x20 0x100\n0x21 0x101\n0x22 0x102\n0x21 0x300\n"), "100 102 300 /256"},
      {"descending lines", Section("0x22 0x102\n0x21 0x101\n0x20 0x100\n0x20 0x21 0x500\n"),
       "102 500-501 /256"},
      {"a range over two earlier ones", Section("1 0x101\n3 0x103\n0 4 0x200\n"), "200-204 /256"},
      {"UNDEFINE of a code", Section("0x20 0x2f 0x100\nUNDEFINE 0x21\n"), "100 102-10f /256"},
      {"UNDEFINE of a range, then a code again",
       Section("0x20 0x2f 0x100\nUNDEFINE 0x21 0x2e\n0x22 0x500\n"), "100 10f 500 /256"},
      {"UNDEFINE does not take back a later line", Section("UNDEFINE 0 0xff\n0x41 0x41\n"), "41 /256"},
      {"two codes, one character", Section("0x41 0x41\n0x61 0x41\n"), "41 /256"},
      {"ranges that end before they start", Section("0x50 0x40 0x100\nUNDEFINE 5 4\n5 0x105\n"),
       "105 /256"},
      {"codes outside SIZE", Section("0x70 0x90 0x200\n0x7f 0x100\n0x80 0x101\n", "SIZE 0x80\n"),
       "100 200-20e /128"},
      {"the last SIZE line, after the mapping, wins",
       "STARTENCODING e\nSIZE 0x80\nSTARTMAPPING unicode\n0x7f 0x100\n0x80 0x101\nENDMAPPING\n"
       "SIZE 0x81\n",
       "100-101 /129"},
      {"SIZE 0: no code", Section("0 0x41\n", "SIZE 0\n"), "- /0"},
      {"two-byte codes: rows and columns",
       Section("0x2f0f 0x4e00\n0x2f10 0x4e01\n0x300f 0x4e02\n0x0100 0x0102 0x500\n", "SIZE 0x30 0x10\n"),
       "500-502 4e00 /768"},
      {"a two-byte range across rows", Section("0x00fe 0x0105 0x1000\n", "SIZE 2 4\n"), "1002-1005 /8"},
      {"controls, DEL and C1 controls left out", Section("0 0x1f 0\n0x7f 0xa1 0x7f\n"), "a0-a1 /256"},
      {"surrogates and beyond U+10FFFF left out",
       Section("1 0xd7ff\n2 0xd800\n3 0xdfff\n4 0x110000\n5 0x10ffff\n6 0xffffffff\n"), "d7ff 10ffff /256"},
      {"a range running past U+10FFFF", Section("0 9 0x10fffe\n"), "10fffe-10ffff /256"},
      {"2^32 - 1 codes", Section("0 0xfffffffe 0x20\n", "SIZE 0xffffffff\n"),
       "20-7e a0-d7ff e000-10ffff /4294967295"},
      {"20000 ranges of 2^32 codes", NestedRanges(20000), "20-7e a0-d7ff e000-10ffff /4294967295"},
      {"the last code of 32 bits", Section("0xffffffff 0x41\n", "SIZE 0xffffffff 0xffffffff\n"),
       "41 /4294967296"},
      {"other sections are passed over",
       "STARTENCODING e\nSTARTMAPPING cmap 3 1\n0x41 0x900\nENDMAPPING\nstartmapping UNICODE\n"
       "0x41 0x41\nENDMAPPING\nSTARTMAPPING postscript\n0x42 0x42\n",
       "41 /256"},
      {"no unicode section", "STARTENCODING e\nSTARTMAPPING cmap\n0x41 0x41\n", "- /256 no section"},
      {"a section not closed ends at the next", Section("0x41 0x41\nSTARTMAPPING cmap\n0x42 0x42\n"),
       "41 /256"},
      {"lines outside a section, names, bad lines",
       "STARTENCODING e\n0x41 0x42\nUNDEFINE 0x43\nSTARTMAPPING unicode\n0x43 0x43\n0x44 Aacute\n"
       "0x45 *\nUNDEFINE 0x43 x\nENDMAPPING\n0x46 0x46\n",
       "43 /256"},
      {"nothing after ENDENCODING", "STARTENCODING e\nENDENCODING\nSTARTMAPPING unicode\n0x41 0x41\n",
       "- /256 no section"},
      {"several sections add up",
       "STARTENCODING e\nSTARTMAPPING unicode\n0x41 0x41\nENDMAPPING\nSTARTMAPPING unicode\n"
       "0x42 0x42\n0x41 0x43\nENDMAPPING\n",
       "42-43 /256"},
      {"not an encoding file", "ALIAS x\nSTARTENCODING e\n", "not read"},
  };
  for (const Case &c : cases) {
    FontAllocFailAt(0);
    EXPECT_EQ(Map(c.text), c.expected) << c.what;
    // Memory follows the lines, never the codes: nothing larger than the
    // list of every character there is.
    EXPECT_LE(FontAllocLargest(), size_t{0x110000} * sizeof(uint32_t)) << c.what;
  }
}

}  // namespace
