// The directory scan, run through the tool: fonts.dir and standard error are
// compared whole.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/snf_writer.h"
#include "tests/support/tempdir.h"
#include "tests/support/tool_cases.h"

namespace {

void writePcf(const std::string &path, const std::string &fontName) {
  WriteFile(path, WritePcf(TypicalPcf(fontName, 4)));
}
std::pair<std::string, std::string> pcf(const std::string &file, const std::string &fontName) {
  return {file, WritePcf(TypicalPcf(fontName, 4))};
}
std::pair<std::string, std::string> pcfWith(const std::string &file, std::vector<GenProperty> props) {
  PcfFont font = TypicalPcf("unused", 4);
  font.properties = std::move(props);
  return {file, WritePcf(font)};
}

// The order of the index is that of the hash buckets of the base names
// (6x13 -> 1, a -> 97, b -> 98, ab -> 160), and of the listing within one.
TEST(DirScan, WhatIsIndexedAndWhatSkipped) {
  auto index = [](const char *what, std::vector<std::pair<std::string, std::string>> files, std::string fontsDir,
                  std::string stderrText = "") -> ToolCase {
    return {what, {}, files, {}, 0, stderrText, {{"fonts.dir", fontsDir}}};
  };
  RunToolCases({
      index("fonts of each format, in hash order",
            {pcf("ab.pcf", "-Misc-Fixed-Medium-R-Normal--13-120-75-75-C-70-ISO8859-1"),
             {"a.snf", WriteSnf(TypicalSnf("-Lorvane-\xC9T\xD7\xDF-Bold-R-Normal--13-120-75-75-C-70-ISO8859-1", 4))},
             pcf("6x13.pcf", "6X13"), {"notes.txt", "not a font"}},
            "3\n6x13.pcf 6x13\na.snf -lorvane-\xE9t\xD7\xDF-bold-r-normal--13-120-75-75-c-70-iso8859-1\n"
            "ab.pcf -misc-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1\n"),
      // The files that must not be opened would fail loudly if they were.
      index("the preferred suffix is the only file opened, made first",
            {pcf("a.pcf", "plain"), {"a.pcf.gz", "garbage"}, {"b.snf.Z", "garbage"}, {"b.bdf", "garbage"}},
            "1\na.pcf plain\n", Skipped("b.snf.Z")),
      index("the preferred suffix is the only file opened, made last",
            {{"a.pcf.gz", "garbage"}, pcf("a.pcf", "plain"), {"b.bdf", "garbage"}, {"b.snf.Z", "garbage"}},
            "1\na.pcf plain\n", Skipped("b.snf.Z")),
      index("names differing in case are different files",  // base name "" hashes to 0
            {pcf("a.pcf", "lower"), pcf("A.pcf", "upper"), pcf(".pcf", "empty-base")},
            "3\n.pcf empty-base\nA.pcf upper\na.pcf lower\n"),
      index("duplicate names are reported and skipped", {pcf("a.pcf", "Same-Name"), {"ab.snf", WriteSnf(TypicalSnf("same-NAME", 4))}},
            "1\na.pcf same-name\n", "lorvane: Duplicate font names same-name\n\ta.pcf ab.snf\n" + Skipped("ab.snf")),
      index("wildcards in a font name are not patterns", {pcf("a.pcf", "x-abc"), pcf("ab.pcf", "x-*"), pcf("b.pcf", "x-?bc")},
            "3\na.pcf x-abc\nb.pcf x-?bc\nab.pcf x-*\n"),
      index("fonts without a string FONT property are skipped",
            {pcfWith("a.pcf", {IntProp("FONT", 5)}), pcfWith("b.pcf", {StringProp("FAMILY_NAME", "x")}),
             pcfWith("c.pcf", {StringProp("FONT", "")}), pcfWith("d.pcf", {IntProp("FONT", 1), StringProp("FONT", "second")}),
             pcfWith("e.pcf", {}), {"f.snf", "broken"}},
            "1\nd.pcf second\n",
            Skipped("a.pcf") + Skipped("b.pcf") + Skipped("c.pcf") + Skipped("e.pcf") + Skipped("f.snf")),
      // Buckets: e 101, f 102, g 103, "a b" 422, "c\nd" 508.
      index("names that cannot be a line of the index are skipped",
            {pcf("a b.pcf", "space-in-file-name"), pcf("c\nd.pcf", "newline-in-file-name"),
             pcf("e.pcf", "font\nwith-newline"), pcf("f.pcf", "font\rwith-return"), pcf("g.pcf", "tab\tinside-is-fine")},
            "1\ng.pcf tab\tinside-is-fine\n",
            Skipped("e.pcf") + Skipped("f.pcf") + Skipped("a b.pcf") + Skipped("c\nd.pcf")),
  });
}

TEST(DirScan, SameBucketKeepsListingOrder) {
  TempDir dir;
  writePcf(dir / "abcdefghijk.pcf", "first");
  writePcf(dir / "bcdefghijk.pcf", "second");
  std::vector<std::string> listing = ListingOrder(dir.path());
  ASSERT_EQ(listing.size(), 2u);
  auto name = [](const std::string &f) { return f == "abcdefghijk.pcf" ? "first" : "second"; };
  EXPECT_EQ(IndexDirectory(dir).fontsDir,
            "2\n" + listing[0] + " " + name(listing[0]) + "\n" + listing[1] + " " + name(listing[1]) + "\n");
}

TEST(DirScan, NamesTooLongForTheBuffersAreSkipped) {
  TempDir dir;
  writePcf(dir / "a.pcf", std::string(1023, 'n'));
  writePcf(dir / "b.pcf", std::string(1024, 'n'));
  // A path of more than 1023 characters: nest directories.
  std::string deep = dir.path();
  while (deep.size() < 800) {
    deep += "/" + std::string(100, 'd');
    MakeDir(deep);
  }
  std::string longFile = std::string(1023 - deep.size() - 1 - 4, 'f') + ".pcf";  // exactly 1023
  std::string tooLong = std::string(1023 - deep.size() - 4, 'g') + ".pcf";      // 1024
  writePcf(deep + "/" + longFile, "fits");
  writePcf(deep + "/" + tooLong, "does-not-fit");
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.fontsDir, "1\na.pcf " + std::string(1023, 'n') + "\n");
  EXPECT_EQ(r.run.stderrText, SkipMessage(dir, "b.pcf"));
  ToolResult deepRun = RunTool({deep});
  EXPECT_EQ(ReadFile(deep + "/fonts.dir"), "1\n" + longFile + " fits\n");
  EXPECT_EQ(deepRun.stderrText,
            "lorvane: unable to process font " + deep + "/" + tooLong + ", skipping\n");
}

// Special files, and links to them, are skipped without being opened;
// links to fonts are followed.
TEST(DirScan, SpecialFilesWithFontSuffixesAreSkipped) {
  TempDir dir, elsewhere;
  ASSERT_EQ(mkfifo((dir / "p.pcf").c_str(), 0600), 0);
  MakeDir(dir / "q.snf");
  ASSERT_EQ(mkfifo((elsewhere / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink((elsewhere / "fifo").c_str(), (dir / "r.pcf").c_str()), 0);
  writePcf(elsewhere / "font", "linked");
  ASSERT_EQ(symlink((elsewhere / "font").c_str(), (dir / "s.pcf").c_str()), 0);
  OpenWatch p(dir / "p.pcf"), fifo(elsewhere / "fifo");
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.fontsDir, "1\ns.pcf linked\n");
  EXPECT_EQ(r.run.stderrText,
            SkipMessage(dir, "p.pcf") + SkipMessage(dir, "q.snf") + SkipMessage(dir, "r.pcf"));
  EXPECT_EQ(p.opens(), 0);
  EXPECT_EQ(fifo.opens(), 0);
}

}  // namespace
