#include "fontfile/renderers.h"

#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "bitmap/bitmapfunc.h"
#include "fontfile/fileio.h"
#include "tests/support/compressed.h"
#include "tests/support/fontinfo_util.h"
#include "tests/support/pcf_writer.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"

namespace {

class Registry : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { BitmapRegisterFontFileFunctions(); }
};

TEST_F(Registry, RegisteringAgainChangesNothing) {
  for (auto &r : renderers) EXPECT_TRUE(FontFileRegisterRenderer(&r));
  FontRenderer copy = renderers[3];
  copy.preference = 77;
  EXPECT_TRUE(FontFileRegisterRenderer(&copy));  // same suffix: the first stays
  EXPECT_EQ(copy.preference, 77);
  EXPECT_EQ(FontFileMatchRenderer("a.snf"), &renderers[3]);
  for (int i = 0; i < kBitmapRendererCount; i++) EXPECT_EQ(renderers[i].preference, i);
}

TEST_F(Registry, MatchingIsBySuffixAndCaseSensitive) {
  EXPECT_EQ(FontFileMatchRenderer("x.PCF"), nullptr);
  EXPECT_EQ(FontFileMatchRenderer("x.pcf.GZ"), nullptr);
  EXPECT_EQ(FontFileMatchRenderer("x.pcf."), nullptr);
  EXPECT_EQ(FontFileMatchRenderer(""), nullptr);
  EXPECT_EQ(FontFileMatchRenderer(".pcf"), &renderers[0]);
  EXPECT_EQ(FontFileMatchRenderer("/some/dir/x.bdf.Z"), &renderers[7]);
  EXPECT_EQ(FontFileMatchRenderer("a.pcf.gz"), &renderers[2]);
}

TEST_F(Registry, MissingFileIsABadFont) {
  TempDir dir;
  FontInfo info{};
  EXPECT_EQ(BitmapGetInfoBitmap(nullptr, &info, nullptr, (dir / "none.pcf").c_str()), BadFont);
  EXPECT_EQ(BitmapGetInfoBitmap(nullptr, &info, nullptr, (dir / "none.txt").c_str()), BadFont);
}

// A directory scan matches each name once and hands the matched row on: the
// row, not the file's name, then decides the filter and the reader.
TEST_F(Registry, TheMatchedRowDecidesHowAFileIsRead) {
  if (!HaveProgram("gzip")) GTEST_SKIP() << "gzip is missing";
  TempDir dir;
  WriteFile(dir / "plain", WritePcf(TypicalPcf("-x-packed", 4)));
  WriteFile(dir / "packed", Packed("gzip", WritePcf(TypicalPcf("-x-packed", 4))));
  int dirFd = open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dirFd, 0);
  const FontRenderer *pcfGz = FontFileMatchRenderer("x.pcf.gz");
  const FontRenderer *pcf = FontFileMatchRenderer("x.pcf");
  const FontRenderer *snf = FontFileMatchRenderer("x.snf");
  struct Case {
    const FontRenderer *row;
    const char *name;
    bool reads;
  } cases[] = {
      {pcfGz, "packed", true}, {pcf, "plain", true},  {pcf, "packed", false},
      {pcfGz, "plain", false}, {snf, "plain", false},
  };
  for (const Case &c : cases) {
    FontInfo info{};
    FontFileFailure failure{};
    int status = c.row->getInfoBitmap(c.row, &info, {dirFd, c.name, FontFileKind::Regular}, &failure);
    EXPECT_EQ(status == Successful, c.reads) << c.row->suffix << " " << c.name;
    if (status != Successful) {
      // The gzip filter refuses plain data, the readers refuse the others.
      EXPECT_EQ(failure.problem, FontFileProblem::BadData) << c.row->suffix << " " << c.name;
      continue;
    }
    EXPECT_EQ(StringProperty(info, "FONT"), "-x-packed");
    FontInfoFreeProps(&info);
  }
  close(dirFd);
  // By path, the path's ending picks the row.
  ASSERT_EQ(rename((dir / "packed").c_str(), (dir / "x.pcf.gz").c_str()), 0);
  FontInfo info{};
  ASSERT_EQ(BitmapGetInfoBitmap(nullptr, &info, nullptr, (dir / "x.pcf.gz").c_str()), Successful);
  EXPECT_EQ(StringProperty(info, "FONT"), "-x-packed");
  FontInfoFreeProps(&info);
}

// Run in a child with an alarm, so that an open that blocks fails the test
// instead of hanging it.
bool refusedWithoutBlocking(const std::string &path) {
  pid_t pid = fork();
  if (pid == 0) {
    alarm(5);
    BufFile *f = FontFileOpen(path.c_str());
    _exit(f ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(FontFileOpen, RefusesFifosDirectoriesAndDevices) {
  TempDir dir;
  ASSERT_EQ(mkfifo((dir / "fifo.pcf").c_str(), 0600), 0);
  MakeDir(dir / "dir.pcf");
  ASSERT_EQ(symlink("/dev/null", (dir / "null.pcf").c_str()), 0);
  EXPECT_TRUE(refusedWithoutBlocking(dir / "fifo.pcf"));
  EXPECT_TRUE(refusedWithoutBlocking(dir / "dir.pcf"));
  EXPECT_TRUE(refusedWithoutBlocking(dir / "null.pcf"));
  EXPECT_TRUE(refusedWithoutBlocking(dir / "missing.pcf"));
  WriteFile(dir / "plain.pcf", "x");
  BufFile *f = FontFileOpen((dir / "plain.pcf").c_str());
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(BufFileGetByte(f), 'x');
  EXPECT_EQ(BufFileGetByte(f), BUFFILEEOF);
  FontFileClose(f);
}

}  // namespace
