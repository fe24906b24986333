// The directory scan, run through the tool: fonts.dir and standard error are
// compared whole.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/snf_writer.h"
#include "tests/support/tempdir.h"

namespace {

void writePcf(const std::string &path, const std::string &fontName) {
  WriteFile(path, WritePcf(TypicalPcf(fontName, 4)));
}
void writeSnf(const std::string &path, const std::string &fontName) {
  WriteFile(path, WriteSnf(TypicalSnf(fontName, 4)));
}
void writePcfProps(const std::string &path, std::vector<GenProperty> props) {
  PcfFont font = TypicalPcf("unused", 4);
  font.properties = std::move(props);
  WriteFile(path, WritePcf(font));
}

// Hash buckets of these base names: 6x13 -> 1, a -> 97, ab -> 160.
TEST(DirScan, FontsOfEachFormatAreIndexedInHashOrder) {
  TempDir dir;
  writePcf(dir / "ab.pcf", "-Misc-Fixed-Medium-R-Normal--13-120-75-75-C-70-ISO8859-1");
  writeSnf(dir / "a.snf", "-Lorvane-\xC9T\xD7\xDF-Bold-R-Normal--13-120-75-75-C-70-ISO8859-1");
  writePcf(dir / "6x13.pcf", "6X13");
  WriteFile(dir / "notes.txt", "not a font");
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.run.stderrText, "");
  EXPECT_EQ(r.fontsDir,
            "3\n"
            "6x13.pcf 6x13\n"
            "a.snf -lorvane-\xE9t\xD7\xDF-bold-r-normal--13-120-75-75-c-70-iso8859-1\n"
            "ab.pcf -misc-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1\n");
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

TEST(DirScan, PreferredSuffixIsTheOnlyFileOpened) {
  for (bool compressedFirst : {false, true}) {
    TempDir dir;
    // The files that must not be opened would fail loudly if they were.
    if (compressedFirst) WriteFile(dir / "a.pcf.gz", "garbage");
    writePcf(dir / "a.pcf", "plain");
    if (!compressedFirst) WriteFile(dir / "a.pcf.gz", "garbage");
    if (compressedFirst) WriteFile(dir / "b.bdf", "garbage");
    WriteFile(dir / "b.snf.Z", "garbage");
    if (!compressedFirst) WriteFile(dir / "b.bdf", "garbage");
    Indexed r = IndexDirectory(dir);
    EXPECT_EQ(r.run.status, 0);
    EXPECT_EQ(r.fontsDir, "1\na.pcf plain\n");
    EXPECT_EQ(r.run.stderrText, SkipMessage(dir, "b.snf.Z"));
  }
}

TEST(DirScan, NamesDifferingInCaseAreDifferentFiles) {
  TempDir dir;
  writePcf(dir / "a.pcf", "lower");
  writePcf(dir / "A.pcf", "upper");
  writePcf(dir / ".pcf", "empty-base");  // base name "" hashes to 0
  EXPECT_EQ(IndexDirectory(dir).fontsDir, "3\n.pcf empty-base\nA.pcf upper\na.pcf lower\n");
}

TEST(DirScan, DuplicateNamesAreReportedAndSkipped) {
  TempDir dir;
  writePcf(dir / "a.pcf", "Same-Name");
  writeSnf(dir / "ab.snf", "same-NAME");
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.fontsDir, "1\na.pcf same-name\n");
  EXPECT_EQ(r.run.stderrText,
            "lorvane: Duplicate font names same-name\n\ta.pcf ab.snf\n" + SkipMessage(dir, "ab.snf"));
}

TEST(DirScan, WildcardsInAFontNameAreNotPatterns) {
  TempDir dir;
  writePcf(dir / "a.pcf", "x-abc");
  writePcf(dir / "ab.pcf", "x-*");
  writePcf(dir / "b.pcf", "x-?bc");  // bucket 98
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.run.stderrText, "");
  EXPECT_EQ(r.fontsDir, "3\na.pcf x-abc\nb.pcf x-?bc\nab.pcf x-*\n");
}

TEST(DirScan, FontsWithoutAStringFontPropertyAreSkipped) {
  TempDir dir;
  writePcfProps(dir / "a.pcf", {IntProp("FONT", 5)});
  writePcfProps(dir / "b.pcf", {StringProp("FAMILY_NAME", "x")});
  writePcfProps(dir / "c.pcf", {StringProp("FONT", "")});
  writePcfProps(dir / "d.pcf", {IntProp("FONT", 1), StringProp("FONT", "second")});
  writePcfProps(dir / "e.pcf", {});
  WriteFile(dir / "f.snf", "broken");
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.run.status, 0);
  EXPECT_EQ(r.fontsDir, "1\nd.pcf second\n");
  EXPECT_EQ(r.run.stderrText, SkipMessage(dir, "a.pcf") + SkipMessage(dir, "b.pcf") + SkipMessage(dir, "c.pcf") +
                                  SkipMessage(dir, "e.pcf") + SkipMessage(dir, "f.snf"));
}

TEST(DirScan, NamesThatCannotBeALineOfTheIndexAreSkipped) {
  TempDir dir;
  writePcf(dir / "a b.pcf", "space-in-file-name");
  writePcf(dir / "c\nd.pcf", "newline-in-file-name");
  writePcf(dir / "e.pcf", "font\nwith-newline");
  writePcf(dir / "f.pcf", "font\rwith-return");
  writePcf(dir / "g.pcf", "tab\tinside-is-fine");
  Indexed r = IndexDirectory(dir);
  EXPECT_EQ(r.fontsDir, "1\ng.pcf tab\tinside-is-fine\n");
  // Buckets: e 101, f 102, g 103, "a b" 422, "c\nd" 508.
  EXPECT_EQ(r.run.stderrText, SkipMessage(dir, "e.pcf") + SkipMessage(dir, "f.pcf") + SkipMessage(dir, "a b.pcf") +
                                  SkipMessage(dir, "c\nd.pcf"));
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
