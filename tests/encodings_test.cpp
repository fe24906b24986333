// encodings.dir through the command line: which files the -e directories
// contribute, the paths written for them, and the order of the lines.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/compressed.h"
#include "tests/support/tool_cases.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

using Strings = std::vector<std::string>;

std::string EncodingFile(const std::string &name, const Strings &aliases = {}) {
  std::string text = "# made by the tests\nSTARTENCODING " + name + "\n";
  for (const auto &a : aliases) text += "ALIAS " + a + "\n";
  return text + "STARTMAPPING unicode\n0x20 0x7e 0x20\nENDMAPPING\nENDENCODING\n";
}

size_t Position(const Strings &list, const std::string &name) {
  return static_cast<size_t>(std::find(list.begin(), list.end(), name) - list.begin());
}

ToolResult RunIn(const std::string &cwd, const Strings &args) {
  ToolOptions options;
  options.cwd = cwd;
  return RunTool(args, options);
}

// A working directory with a font directory "fonts" to index.
struct Workspace {
  TempDir root;
  Workspace() {
    MakeDir(root / "fonts");
    MakeDir(root / "encs");
  }
  ToolResult Run(const Strings &args) { return RunIn(root.path(), args); }
  std::string Index() const { return ReadFile(root / "fonts/encodings.dir"); }
};

// One run in a directory holding the font directory "fonts" and the
// encoding directory "encs"; encs/ in names is the relative path.
ToolCase run(const char *what, std::vector<std::pair<std::string, std::string>> files, Strings args,
             std::string index, std::string stderrText = "", Strings dirs = {}) {
  dirs.insert(dirs.begin(), {"fonts", "encs"});
  return {what, dirs, files, args, 0, stderrText,
          {{"fonts/encodings.dir", index.empty() ? std::nullopt : std::optional(index)}}};
}

TEST(EncodingsDir, WhatTheDirectoriesDeclareInBucketOrder) {
  using namespace std::string_literals;
  const Strings indexed = {"-r", "-e", "encs", "fonts"};
  const std::string x = EncodingFile("x"), cut99(99, 'a');  // with the next byte, a word cut at 100 bytes
  RunToolCases({
      // Single-letter names fall into the bucket of their byte: a 97, b 98, c 99.
      run("an absolute directory, one line per name", {{"encs/c.enc", EncodingFile("c")}, {"encs/ab.enc", EncodingFile("b", {"a", "Z"})}},
          {"-e", "{dir}/encs", "fonts"}, "4\nZ {dir}/encs/ab.enc\na {dir}/encs/ab.enc\nb {dir}/encs/ab.enc\nc {dir}/encs/c.enc\n"),
      // Only the last eight bytes of a name decide its bucket.
      run("the newest entry first within a bucket", {{"encs/one.enc", EncodingFile("Aabcdefgh", {"Babcdefgh", "Cabcdefgh"})}},
          indexed, "3\nCabcdefgh encs/one.enc\nBabcdefgh encs/one.enc\nAabcdefgh encs/one.enc\n"),
      run("a relative directory is made absolute", {{"encs/x.enc", x}}, {"-e", "encs", "fonts"}, "1\nx {cwd}/encs/x.enc\n"),
      run("joined to -e, with a slash", {{"encs/x.enc", x}}, {"-eencs/", "fonts"}, "1\nx {cwd}/encs/x.enc\n"),
      run("under -r it is kept", {{"encs/x.enc", x}}, indexed, "1\nx encs/x.enc\n"),
      run("under -r with a slash", {{"encs/x.enc", x}}, {"-r", "-e", "encs/", "fonts"}, "1\nx encs/x.enc\n"),
      run("-r after -e is too late", {{"encs/x.enc", x}}, {"-e", "encs", "-r", "fonts"}, "1\nx {cwd}/encs/x.enc\n"),
      {"\".\" under -r gives bare names", {}, {{"y.enc", EncodingFile("y")}}, {"-r", "-e", ".", "."}, 0, "", {{"encodings.dir", "1\ny y.enc\n"}}},
      {"\".\" without -r gives cwd/./name", {}, {{"y.enc", EncodingFile("y")}}, {"-e", ".", "."}, 0, "", {{"encodings.dir", "1\ny {cwd}/./y.enc\n"}}},
      run("other files of the directory are silently passed over",
          {{"encs/real.enc", EncodingFile("real")}, {"encs/empty", ""},
           {"encs/font.bdf", "STARTFONT 2.1\nFONT -misc-fixed-medium-r-normal--13\n"},
           {"encs/font.pcf", std::string("\1fcp\x0e\0\0\0\x01\0\0\0", 12)}, {"encs/junk.gz", "not gzip data at all\n"},
           {"encs/junk.Z", "not LZW data\n"}, {"encs/encodings.dir", "1\nold /x/old.enc\n"},
           {"encs/sub.enc/inner.enc", EncodingFile("inner")}},
          indexed, "1\nreal encs/real.enc\n", "", {"encs/sub.enc"}),
      // s is shared; t and u are each declared by one directory.
      run("the first directory on the command line keeps a name",
          {{"d1/one.enc", EncodingFile("s", {"t"})}, {"d2/two.enc", EncodingFile("s", {"u"})}},
          {"-r", "-e", "d1", "-e", "d2", "fonts"}, "3\ns d1/one.enc\nt d1/one.enc\nu d2/two.enc\n", "", {"d1", "d2"}),
      run("the first directory on the command line, the other way round",
          {{"d1/one.enc", EncodingFile("s", {"t"})}, {"d2/two.enc", EncodingFile("s", {"u"})}},
          {"-r", "-ed2", "-ed1", "fonts"}, "3\ns d2/two.enc\nt d1/one.enc\nu d2/two.enc\n", "", {"d1", "d2"}),
      run("the last prefix is written before every path", {{"encs/x.enc", EncodingFile("x", {"y"})}},
          {"-p", "/usr/share/", "-r", "-e", "encs", "-pPFX:", "fonts"}, "2\nx PFX:encs/x.enc\ny PFX:encs/x.enc\n"),
      run("the same directory twice changes nothing", {{"encs/x.enc", EncodingFile("x", {"y", "z"})}, {"encs/w.enc", EncodingFile("w")}},
          {"-r", "-e", "encs", "-e", "encs", "-e", "encs/", "fonts"}, "4\nw encs/w.enc\nx encs/x.enc\ny encs/x.enc\nz encs/x.enc\n"),
      {"every indexed directory gets the same index", {"fonts", "encs", "more"}, {{"encs/x.enc", x}},
       {"-r", "-e", "encs", "fonts", "more"}, 0, "",
       {{"fonts/encodings.dir", "1\nx encs/x.enc\n"}, {"more/encodings.dir", "1\nx encs/x.enc\n"}}},
      // Files that declare nothing are passed over in silence, newline or not.
      run("a file name with a newline cannot forge lines",
          {{"encs/x.enc", x}, {"encs/evil\nfake etc-passwd", EncodingFile("y")}, {"encs/READ\nME", "notes\n"},
           {"encs/broken\n.enc", "STARTENCODING\n"}},
          indexed, "1\nx encs/x.enc\n",
          "lorvane: warning: filename `encs/evil\nfake etc-passwd' contains a newline, ignored\n", {"encs/sub\ndir"}),
      // Bytes where the tokenizer's exact reading decides which names are declared.
      run("one NUL after a name is passed over", {{"encs/e.enc", "STARTENCODING X\0\nALIAS\0a\n"s}}, indexed,
          "2\nX encs/e.enc\na encs/e.enc\n"),
      run("a second NUL is a bad character", {{"encs/e.enc", "STARTENCODING X\0\0"s}}, indexed, ""),
      run("the bad line runs to its end", {{"encs/e.enc", "STARTENCODING e\nALIAS cut\0\0ALIAS hidden\nALIAS shown\n"s}},
          indexed, "2\nshown encs/e.enc\ne encs/e.enc\n"),
      run("a NUL after a stray UNDEFINE token is passed over", {{"encs/e.enc", "STARTENCODING e\nUNDEFINE 1 foo\0ALIAS x\n"s}},
          indexed, "2\ne encs/e.enc\nx encs/e.enc\n"),
      run("a stray UNDEFINE token's ending # starts a comment", {{"encs/e.enc", "STARTENCODING e\nUNDEFINE 1 foo#ALIAS x\n"}},
          indexed, "1\ne encs/e.enc\n"),
      run("after a stray UNDEFINE token reading resumes at the blank",
          {{"encs/e.enc", "STARTENCODING e\nUNDEFINE 1 foo ALIAS x\n"}}, indexed, "2\ne encs/e.enc\nx encs/e.enc\n"),
      run("a cut stray UNDEFINE word's 100th byte starts the next token",
          {{"encs/e.enc", "STARTENCODING e\nUNDEFINE 1 " + cut99 + "ALIAS x\n"}}, indexed, "2\ne encs/e.enc\nx encs/e.enc\n"),
      run("after a stray UNDEFINE bad character reading resumes", {{"encs/e.enc", "STARTENCODING e\nUNDEFINE 1 *ALIAS x\n"}},
          indexed, "2\ne encs/e.enc\nx encs/e.enc\n"),
  });
}

TEST(EncodingsDir, FirstDirectoryWinsEvenAgainstACompressedFile) {
  if (std::string why = MissingPrograms({"gzip"}); !why.empty()) GTEST_SKIP() << why;
  const std::vector<std::pair<std::string, std::string>> files = {
      {"d1/x.enc", EncodingFile("shared")}, {"d2/x.enc.gz", Packed("gzip", EncodingFile("shared"))}};
  RunToolCases({run("d1 first", files, {"-r", "-e", "d1", "-e", "d2", "fonts"}, "1\nshared d1/x.enc\n", "", {"d1", "d2"}),
                run("d2 first", files, {"-r", "-e", "d2", "-e", "d1", "fonts"}, "1\nshared d2/x.enc.gz\n", "", {"d1", "d2"})});
}

// Within one directory: .gz before .Z before plain, whatever the listing order.
TEST(EncodingsDir, CompressedFilesArePreferredWithinADirectory) {
  if (std::string why = MissingPrograms({"gzip", "compress"}); !why.empty()) GTEST_SKIP() << why;
  struct Case {
    Strings files;
    std::string winner;
  };
  const Case cases[] = {
      {{"x.enc", "x.enc.gz"}, "x.enc.gz"},
      {{"x.enc", "x.enc.Z"}, "x.enc.Z"},
      {{"x.enc.Z", "x.enc.gz"}, "x.enc.gz"},
      {{"x.enc", "x.enc.Z", "x.enc.gz"}, "x.enc.gz"},
  };
  const std::string n = EncodingFile("n");
  std::vector<ToolCase> runs;
  for (const Case &c : cases)
    for (bool reverse : {false, true}) {  // each creation order, to vary the listing
      std::vector<std::pair<std::string, std::string>> files;
      for (const auto &f : c.files)
        files.push_back({"encs/" + f, f.ends_with(".gz") ? Packed("gzip", n) : f.ends_with(".Z") ? Packed("compress", n) : n});
      if (reverse) std::reverse(files.begin(), files.end());
      runs.push_back(run(c.winner.c_str(), files, {"-r", "-e", "encs", "fonts"}, "1\nn encs/" + c.winner + "\n"));
    }
  RunToolCases(runs);
}

TEST(EncodingsDir, AnEntryKeepsItsPlaceWhenItTakesANewerFile) {
  if (std::string why = MissingPrograms({"gzip"}); !why.empty()) GTEST_SKIP() << why;
  Workspace s;
  WriteFile(s.root / "encs/a.enc", EncodingFile("Aabcdefgh"));
  WriteFile(s.root / "encs/b.enc", EncodingFile("Babcdefgh"));
  WriteFile(s.root / "encs/a.enc.gz", Packed("gzip", EncodingFile("Aabcdefgh")));
  Strings order = ListingOrder(s.root / "encs");
  // Names are created in the order their first file is listed; a bucket
  // lists its newest entry first.
  size_t a = std::min(Position(order, "a.enc"), Position(order, "a.enc.gz"));
  size_t b = Position(order, "b.enc");
  std::string lineA = "Aabcdefgh encs/a.enc.gz\n", lineB = "Babcdefgh encs/b.enc\n";
  s.Run({"-r", "-e", "encs", "fonts"});
  EXPECT_EQ(s.Index(), "2\n" + (a < b ? lineB + lineA : lineA + lineB));
}

TEST(EncodingsDir, TwoUncompressedFilesTheFirstListedKeepsTheName) {
  Workspace s;
  WriteFile(s.root / "encs/p.enc", EncodingFile("n", {"p"}));
  WriteFile(s.root / "encs/q.enc", EncodingFile("n", {"q"}));
  Strings order = ListingOrder(s.root / "encs");
  std::string first = Position(order, "p.enc") < Position(order, "q.enc") ? "p.enc" : "q.enc";
  s.Run({"-r", "-e", "encs", "fonts"});
  EXPECT_EQ(s.Index(), "3\nn encs/" + first + "\np encs/p.enc\nq encs/q.enc\n");
}

// A chain of directories below root whose relative path is about `length`
// characters long (path components stay within the usual 255-byte limit).
std::string DeepDir(const TempDir &root, size_t length) {
  std::string rel;
  while (rel.size() < length) {
    if (!rel.empty()) rel += "/";
    rel += std::string(std::clamp<size_t>(length - rel.size(), 1, 200), 'd');
    MakeDir(root / rel);
  }
  return rel;
}

TEST(EncodingsDir, TooLongFileNamesAreWarnedAboutAndIgnored) {
  Workspace s;
  std::string deep = DeepDir(s.root, 900);  // relative, used as given under -r
  ASSERT_GE(deep.size(), 890u);
  std::string longName(1024 - deep.size() - 1, 'f');  // prefix + name == 1024
  std::string fits(longName.size() - 1, 'g');          // 1023
  WriteFile(s.root / (deep + "/" + longName), EncodingFile("toolong"));
  WriteFile(s.root / (deep + "/" + fits), EncodingFile("fits"));
  ToolResult r = s.Run({"-r", "-e", deep, "fonts"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stderrText, "lorvane: warning: filename `" + deep + "/" + longName + "' too long, ignored\n");
  EXPECT_EQ(s.Index(), "1\nfits " + deep + "/" + fits + "\n");
}

TEST(EncodingsDir, DirectoryPathTooLongForThePathBuffer) {
  Workspace s;
  std::string deep = DeepDir(s.root, 1100);
  WriteFile(s.root / (deep + "/x.enc"), EncodingFile("x"));
  ToolResult r = s.Run({"-r", "-e", deep, "fonts"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stderrText, "lorvane: directory name `" + deep + "' too long\n");
  EXPECT_FALSE(FileExists(s.root / "fonts/encodings.dir"));
}

// InsertEncoding directly, where the command line cannot reach: a later
// argument index never happens on the command line.
struct Table {
  EncodingTable t{};
  ~Table() {
    for (auto *&head : t.buckets)
      while (EncodingEntry *e = head) {
        head = e->next;
        FontFree(e->name);
        FontFree(e);
      }
  }
  std::string Dump() const {
    std::string out;
    for (auto *head : t.buckets)
      for (auto *e = head; e; e = e->next)
        out += std::string(e->name) + " " + e->file + " " + std::to_string(e->argIndex) + "\n";
    return out;
  }
};

char *Copy(const char *s) {
  auto *c = static_cast<char *>(FontAlloc(std::strlen(s) + 1));
  std::strcpy(c, s);
  return c;
}

TEST(InsertEncoding, PositionThenCompressionDecide) {
  char plain[] = "x.enc", gz[] = "x.enc.gz", lzw[] = "x.enc.Z", other[] = "y.enc";
  Table t;
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Aabcdefgh"), plain, 3));
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Babcdefgh"), other, 3));
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Aabcdefgh"), lzw, 3));  // .Z beats plain
  EXPECT_EQ(t.Dump(), "Babcdefgh y.enc 3\nAabcdefgh x.enc.Z 3\n");
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Aabcdefgh"), plain, 3));  // plain does not beat .Z
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Aabcdefgh"), gz, 5));     // later position never wins
  EXPECT_EQ(t.Dump(), "Babcdefgh y.enc 3\nAabcdefgh x.enc.Z 3\n");
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Aabcdefgh"), plain, 1));  // an earlier one does
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Aabcdefgh"), gz, 1));
  EXPECT_EQ(t.Dump(), "Babcdefgh y.enc 3\nAabcdefgh x.enc.gz 1\n");
  EXPECT_TRUE(InsertEncoding(&t.t, Copy("Aabcdefgh"), lzw, 1));
  EXPECT_EQ(t.Dump(), "Babcdefgh y.enc 3\nAabcdefgh x.enc.gz 1\n");
}

TEST(InsertEncoding, CompareEncodingFilesIsExactAboutSuffixes) {
  EXPECT_TRUE(CompareEncodingFiles("a.gz", "a"));
  EXPECT_TRUE(CompareEncodingFiles("a.gz", "a.Z"));
  EXPECT_TRUE(CompareEncodingFiles("a.Z", "a"));
  EXPECT_FALSE(CompareEncodingFiles("a.Z", "a.gz"));
  EXPECT_FALSE(CompareEncodingFiles("a", "b"));
  EXPECT_FALSE(CompareEncodingFiles("a.gz", "b.gz"));
  EXPECT_FALSE(CompareEncodingFiles("a.GZ", "a"));
  EXPECT_FALSE(CompareEncodingFiles("a.z", "a"));
}

TEST(InsertEncoding, NoMemoryForANewEntry) {
  Table t;
  char file[] = "x.enc";
  char *name = Copy("x");
  FontAllocFailAt(1);
  bool ok = InsertEncoding(&t.t, name, file, 1);
  FontAllocFailAt(0);
  EXPECT_FALSE(ok);
  FontFree(name);  // still the caller's
  EXPECT_EQ(t.Dump(), "");
}

}  // namespace
