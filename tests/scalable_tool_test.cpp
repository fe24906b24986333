// --scalable through the built tool: fonts.scale from outline fonts, .otb
// strikes in fonts.dir, --check and --verbose over them, and a run without
// the option left as it was.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/faces_fonts.h"
#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace {

using Strings = std::vector<std::string>;

const char *kPcfName = "-misc-alpha-medium-r-normal--16-160-75-75-c-80-iso8859-1";

// A directory of each kind of file a --scalable run reads, and a PCF font.
void MakeDirectory(const TempDir &dir) {
  ASSERT_EQ(MakeFaces(dir.path(),
                      {R"({"file":"a.ttf","chars":["latin_1"],"vendor":"ADBE"})",
                       R"({"file":"k.ttc","faces":[{"names":[[1,3,1,1033,"One"]]},{"names":[[1,3,1,1033,"Two"]],"weight":700}]})",
                       R"({"file":"t.pfb","type1":{"FamilyName":"Tee","ItalicAngle":-10}})",
                       R"({"file":"s.otb","strikes":[12,16],"fixed":1})",
                       R"({"file":"with space.ttf"})"}),
            "");
  WriteFile(dir / "bad.ttf", "not a font\n");
  WriteFile(dir / "alpha.pcf", WritePcf(TypicalPcf(kPcfName, 4)));
}

const std::string kScale =
    "9\n"
    ":1:k.ttc -misc-two-bold-r-normal--0-0-0-0-p-0-ascii-0\n"
    ":1:k.ttc -misc-two-bold-r-normal--0-0-0-0-p-0-iso10646-1\n"
    "a.ttf -adobe-test-medium-r-normal--0-0-0-0-p-0-ascii-0\n"
    "a.ttf -adobe-test-medium-r-normal--0-0-0-0-p-0-iso10646-1\n"
    "a.ttf -adobe-test-medium-r-normal--0-0-0-0-p-0-iso8859-1\n"
    "k.ttc -misc-one-medium-r-normal--0-0-0-0-p-0-ascii-0\n"
    "k.ttc -misc-one-medium-r-normal--0-0-0-0-p-0-iso10646-1\n"
    "t.pfb -misc-tee-medium-i-normal--0-0-0-0-p-0-ascii-0\n"
    "t.pfb -misc-tee-medium-i-normal--0-0-0-0-p-0-iso10646-1\n";

// fonts.dir: the bitmap font, the .otb strikes, then the fonts.scale lines.
const std::string kFontsDir =
    "14\n"
    "alpha.pcf " + std::string(kPcfName) + "\n"
    "s.otb -misc-test-medium-r-normal--12-116-75-75-c-60-ascii-0\n"
    "s.otb -misc-test-medium-r-normal--12-116-75-75-c-60-iso10646-1\n"
    "s.otb -misc-test-medium-r-normal--16-154-75-75-c-80-ascii-0\n"
    "s.otb -misc-test-medium-r-normal--16-154-75-75-c-80-iso10646-1\n" +
    kScale.substr(2);

class ScalableTool : public testing::Test {
 protected:
  void SetUp() override {
    if (!FacesSupported()) GTEST_SKIP() << "built without FreeType (see ScalableOption.WorksOrIsRefusedAsTheBuildSays)";
    MakeDirectory(dir_);
  }
  ToolResult run(Strings args) {
    args.push_back(dir_.path());
    return RunTool(args);
  }
  TempDir dir_;
};

TEST_F(ScalableTool, WritesFontsScaleAndIndexesOtbStrikes) {
  ToolResult r = run({"--scalable"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stderrText, "");
  EXPECT_EQ(ReadFile(dir_ / "fonts.scale"), kScale);
  EXPECT_EQ(ReadFile(dir_ / "fonts.dir"), kFontsDir);
}

TEST_F(ScalableTool, VerboseTellsEachFileLeftOutAndCountsThem) {
  ToolResult r = run({"--verbose", "--scalable", "--reproducible"});
  EXPECT_EQ(r.status, 0);
  const std::string at = "lorvane: " + dir_.path();
  EXPECT_EQ(r.stderrText,
            at + "/bad.ttf: FreeType cannot read it as a font\n" +
            at + "/with space.ttf: file name cannot be one line of an index file\n" +
            at + ": fonts indexed: 5, entries from fonts.scale: 9, files skipped: 0, "
                 "outline and .otb files: 6, left out: 2\n");
}

TEST_F(ScalableTool, CheckComparesFontsScaleToo) {
  ASSERT_EQ(run({"--scalable"}).status, 0);
  ToolResult current = run({"--scalable", "--check"});
  EXPECT_EQ(current.status, 0);
  EXPECT_EQ(current.stdoutText, "");
  ASSERT_EQ(MakeFaces(dir_.path(), {R"({"file":"b.otf","vendor":"URW"})"}), "");
  std::string before = Snapshot(dir_.path());
  ToolResult changed = run({"--scalable", "--check"});
  EXPECT_EQ(changed.status, 1);
  const std::string line = "b.otf -urw-test-medium-r-normal--0-0-0-0-p-0-";
  EXPECT_EQ(changed.stdoutText.substr(0, changed.stdoutText.find("/fonts.dir\n")),
            dir_ / "fonts.scale\n- 9\n+ 11\n" + "+ " + line + "ascii-0\n+ " + line + "iso10646-1\n" +
                dir_.path());
  EXPECT_EQ(Snapshot(dir_.path()), before);
}

// Nothing changes for a run without --scalable: no fonts.scale is written,
// .otb files are passed over, and an existing fonts.scale is merged as it
// stands.  With --scalable it is replaced.
TEST_F(ScalableTool, WithoutTheOptionTheRunIsAsBefore) {
  ToolResult plain = run({});
  EXPECT_EQ(plain.status, 0);
  EXPECT_EQ(plain.stderrText, "");
  EXPECT_FALSE(FileExists(dir_ / "fonts.scale"));
  EXPECT_EQ(ReadFile(dir_ / "fonts.dir"), "1\nalpha.pcf " + std::string(kPcfName) + "\n");

  WriteFile(dir_ / "fonts.scale", "1\nhand.ttf -hand-made-medium-r-normal--0-0-0-0-p-0-iso8859-1\n");
  ASSERT_EQ(run({}).status, 0);
  EXPECT_EQ(ReadFile(dir_ / "fonts.dir"),
            "2\nalpha.pcf " + std::string(kPcfName) +
                "\nhand.ttf -hand-made-medium-r-normal--0-0-0-0-p-0-iso8859-1\n");
  ASSERT_EQ(run({"--scalable"}).status, 0);
  EXPECT_EQ(ReadFile(dir_ / "fonts.scale"), kScale);
  EXPECT_EQ(ReadFile(dir_ / "fonts.dir"), kFontsDir);
}

// A strike named like a bitmap font already indexed is told and passed
// over, as a second bitmap font of that name is.
TEST_F(ScalableTool, OtbStrikeWithABitmapFontsNameIsADuplicate) {
  const std::string name = "-misc-test-medium-r-normal--12-116-75-75-c-60-ascii-0";
  WriteFile(dir_ / "alpha.pcf", WritePcf(TypicalPcf(name, 4)));
  ToolResult r = run({"--scalable"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stderrText, "lorvane: Duplicate font names " + name + "\n\talpha.pcf s.otb\n" +
                              "lorvane: unable to process font " + dir_.path() + "/s.otb, skipping\n");
  EXPECT_EQ(ReadFile(dir_ / "fonts.dir").substr(0, 3), "13\n");
}

// With the package-hook options: an unchanged directory's fonts.scale is
// left alone like its fonts.dir, an outline font alone marks a directory
// for --recursive, and an emptied directory loses its fonts.scale too.
TEST_F(ScalableTool, TheHookOptionsTakeFontsScaleAlong) {
  ASSERT_EQ(run({"--scalable"}).status, 0);
  std::string before = Snapshot(dir_.path());
  ToolResult r = run({"--scalable", "--if-changed"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(Snapshot(dir_.path()), before);

  TempDir tree;
  MakeDir(tree / "outline");
  ASSERT_EQ(MakeFaces(tree / "outline", {R"({"file":"a.ttf","chars":["latin_1"],"vendor":"ADBE"})"}), "");
  r = RunTool({"--scalable", "--recursive", tree.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(tree / "outline/fonts.scale").substr(0, 2), "3\n");
  EXPECT_FALSE(FileExists(tree / "fonts.dir"));

  for (const std::string &name : ListDir(dir_.path()))
    if (name != "fonts.dir" && name != "fonts.scale") std::remove((dir_ / name).c_str());
  r = run({"--scalable", "--remove-empty"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ListDir(dir_.path()), Strings{});
}

// A build without FreeType refuses the option at start; one with it indexes
// an empty directory.
TEST(ScalableOption, WorksOrIsRefusedAsTheBuildSays) {
  TempDir dir;
  ToolResult r = RunTool({"--scalable", dir.path()});
  if (FacesSupported()) {
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.stderrText, "");
    EXPECT_EQ(ReadFile(dir / "fonts.scale"), "0\n");
    EXPECT_EQ(ReadFile(dir / "fonts.dir"), "0\n");
  } else {
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.stderrText, "lorvane: --scalable: this lorvane was built without FreeType\n");
    EXPECT_FALSE(FileExists(dir / "fonts.dir"));
  }
}

}  // namespace
