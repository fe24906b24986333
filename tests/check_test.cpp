// --check through the built tool: the report and the exit status for
// current, stale, missing and to-be-removed index files, and that nothing
// is ever written, renamed or removed.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace {

// Base names a, b, c fall into hash buckets 97, 98, 99: fonts.dir lists them
// in that order.
const std::string kLineA = "a.pcf -misc-a-medium-r-normal--13-120-75-75-c-70-iso8859-1\n";
const std::string kLineB = "b.pcf -misc-b-medium-r-normal--13-120-75-75-c-70-iso8859-1\n";
const std::string kLineC = "c.pcf -misc-c-medium-r-normal--13-120-75-75-c-70-iso8859-1\n";

void writeFont(const std::string &path, const std::string &line) {
  std::string name = line.substr(line.find(' ') + 1);
  name.pop_back();
  WriteFile(path, WritePcf(TypicalPcf(name, 4)));
}

ToolResult RunIn(const std::string &cwd, const std::vector<std::string> &args, bool unprivileged = false) {
  ToolOptions options;
  options.cwd = cwd;
  options.unprivileged = unprivileged;
  return RunTool(args, options);
}

// Runs the check and expects it to have touched nothing.
ToolResult Check(const std::string &cwd, std::vector<std::string> args, bool unprivileged = false) {
  std::string before = Snapshot(cwd);
  args.insert(args.begin(), "--check");
  ToolResult r = RunIn(cwd, args, unprivileged);
  EXPECT_EQ(Snapshot(cwd), before) << "the check changed the directory";
  return r;
}

TEST(Check, ReportsEachKindOfChangeAndWritesNothing) {
  struct Case {
    const char *what;
    std::optional<std::string> fontsDir;
    std::string report;
    int status;
  };
  const std::string current = "2\n" + kLineA + kLineB;
  const std::vector<Case> cases = {
      {"current", current, "", 0},
      {"missing", std::nullopt, "./fonts.dir\n+ 2\n+ " + kLineA + "+ " + kLineB, 1},
      {"a font added since", "1\n" + kLineA, "./fonts.dir\n- 1\n+ 2\n+ " + kLineB, 1},
      {"a font gone since", "3\n" + kLineA + kLineB + kLineC, "./fonts.dir\n- 3\n+ 2\n- " + kLineC, 1},
      {"lines in another order", "2\n" + kLineB + kLineA, "./fonts.dir\n- " + kLineB + "+ " + kLineB, 1},
      {"a last line without its newline", current.substr(0, current.size() - 1),
       "./fonts.dir\n- " + kLineB.substr(0, kLineB.size() - 1) + "\n\\ no newline at end of file\n+ " + kLineB, 1},
      {"an empty file", "", "./fonts.dir\n+ 2\n+ " + kLineA + "+ " + kLineB, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d;
    writeFont(d / "a.pcf", kLineA);
    writeFont(d / "b.pcf", kLineB);
    if (c.fontsDir) WriteFile(d / "fonts.dir", *c.fontsDir);
    ToolResult r = Check(d.path(), {});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.stderrText, "");
    EXPECT_EQ(r.stdoutText, c.report);
    // What the check said would come is what a run then writes.
    ASSERT_EQ(RunIn(d.path(), {}).status, 0);
    EXPECT_EQ(ReadFile(d / "fonts.dir"), current);
  }
}

TEST(Check, ALinkIsFollowedAndASpecialFileIsNeverOpened) {
  TempDir d;
  writeFont(d / "a.pcf", kLineA);
  WriteFile(d / "current", "1\n" + kLineA);
  ASSERT_EQ(symlink("current", (d / "fonts.dir").c_str()), 0);
  ToolResult r = Check(d.path(), {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stdoutText, "");
  // A run replaces a pipe with the index; the check must not wait on it.
  ASSERT_EQ(unlink((d / "fonts.dir").c_str()), 0);
  ASSERT_EQ(mkfifo((d / "fonts.dir").c_str(), 0644), 0);
  OpenWatch fifo(d / "fonts.dir");
  r = Check(d.path(), {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, "");
  EXPECT_EQ(r.stdoutText, "./fonts.dir\n+ 1\n+ " + kLineA);
  EXPECT_EQ(fifo.opens(), 0);
}

TEST(Check, EncodingsDirIsCheckedOnlyWithEncodingDirectories) {
  TempDir d;
  MakeDir(d / "encs");
  WriteFile(d / "encs/x.enc", "STARTENCODING X-One\nALIAS xone\nENDENCODING\n");
  MakeDir(d / "fonts");
  WriteFile(d / "fonts/fonts.dir", "0\n");
  const std::string fonts = d / "fonts";
  // Without -e an encodings.dir is left alone by a run, so by a check too.
  WriteFile(fonts + "/encodings.dir", "stale\n");
  ToolResult r = Check(d.path(), {"fonts"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stdoutText, "");
  // With -e: compared with what the run would write.
  const std::string encodings = "2\nX-One /e/encs/x.enc\nxone /e/encs/x.enc\n";
  r = Check(d.path(), {"-p/e/", "-r", "-e", "encs", "fonts"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, "");
  EXPECT_EQ(r.stdoutText, "fonts/encodings.dir\n- stale\n+ 2\n+ X-One /e/encs/x.enc\n+ xone /e/encs/x.enc\n");
  WriteFile(fonts + "/encodings.dir", encodings);
  r = Check(d.path(), {"-p/e/", "-r", "-e", "encs", "fonts"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stdoutText, "");
  // With -e and no encoding found a run removes encodings.dir.
  r = Check(d.path(), {"-e", "/no/such/dir", "fonts"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stdoutText, "fonts/encodings.dir\n- 2\n- X-One /e/encs/x.enc\n- xone /e/encs/x.enc\n");
  ASSERT_EQ(unlink((fonts + "/encodings.dir").c_str()), 0);
  r = Check(d.path(), {"-e", "/no/such/dir", "fonts"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stdoutText, "");
}

// With --remove-empty an index that a run would remove is reported as every
// line going; one already absent is current.
TEST(Check, IndexesOfADirectoryThatListsNothingWouldGo) {
  struct Case {
    const char *what;
    std::vector<std::pair<std::string, std::string>> files;
    std::vector<std::string> args;
    int status;
    std::string report;
  };
  const std::vector<Case> cases = {
      {"a fonts.dir", {{"fonts.dir", "1\ngone.pcf gone\n"}}, {}, 1, "./fonts.dir\n- 1\n- gone.pcf gone\n"},
      {"none there", {}, {}, 0, ""},
      {"an encodings.dir beside it", {{"fonts.dir", "0\n"}, {"encodings.dir", "1\nx encs/x.enc\n"}},
       {"-r", "-e", "encs"}, 1, "./fonts.dir\n- 0\n./encodings.dir\n- 1\n- x encs/x.enc\n"},
      {"a fonts.scale entry keeps the directory", {{"fonts.scale", "1\na.pfa a\n"}, {"fonts.dir", "1\na.pfa a\n"}},
       {}, 0, ""},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d;
    MakeDir(d / "encs");
    WriteFile(d / "encs/x.enc", "STARTENCODING x\n");
    for (const auto &[name, content] : c.files) WriteFile(d / name, content);
    std::vector<std::string> args = c.args;
    args.insert(args.begin(), "--remove-empty");
    ToolResult r = Check(d.path(), args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.stderrText, "");
    EXPECT_EQ(r.stdoutText, c.report);
  }
}

TEST(Check, EveryDirectoryIsCheckedAndTheWorstResultIsTheStatus) {
  TempDir d;
  for (const char *dir : {"current", "stale", "badscale"}) MakeDir(d / dir);
  WriteFile(d / "current/fonts.dir", "0\n");
  WriteFile(d / "stale/fonts.dir", "1\nx.pfa x\n");
  WriteFile(d / "badscale/fonts.scale", "1\nonly-a-file-name\n");
  MakeDir(d / "dirindex/fonts.dir");  // a run cannot replace a directory
  struct Case {
    std::vector<std::string> dirs;
    int status;
    std::string report, messages;
  };
  const std::vector<Case> cases = {
      {{"current"}, 0, "", ""},
      {{"current", "stale"}, 1, "stale/fonts.dir\n- 1\n- x.pfa x\n+ 0\n", ""},
      {{"missing", "stale", "badscale", "dirindex", "current"}, 2, "stale/fonts.dir\n- 1\n- x.pfa x\n+ 0\n",
       "lorvane: cannot check missing\n"
       "lorvane: bad format for badscale/fonts.scale file\n"
       "lorvane: cannot check badscale\n"
       "lorvane: cannot read dirindex/fonts.dir: Is a directory\n"
       "lorvane: cannot check dirindex\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.dirs.size());
    ToolResult r = Check(d.path(), c.dirs);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.stdoutText, c.report);
    EXPECT_EQ(r.stderrText, c.messages);
  }
}

TEST(Check, WorksWhereTheUserCannotWrite) {
  TempDir d;
  MakeDir(d / "ro");
  const std::string ro = d / "ro";
  writeFont(ro + "/a.pcf", kLineA);
  WriteFile(ro + "/fonts.dir", "0\n");
  chmod(ro.c_str(), 0555);
  chmod(d.path().c_str(), 0755);
  ToolResult r = Check(d.path(), {"ro"}, true);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, "");
  EXPECT_EQ(r.stdoutText, "ro/fonts.dir\n- 0\n+ 1\n+ " + kLineA);
  // An index the user cannot read cannot be checked.
  chmod((ro + "/fonts.dir").c_str(), 0);
  r = Check(d.path(), {"ro"}, true);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.stdoutText, "");
  EXPECT_EQ(r.stderrText,
            "lorvane: cannot read ro/fonts.dir: Permission denied\n"
            "lorvane: cannot check ro\n");
}

TEST(Check, WorksOnAReadOnlyFileSystem) {
  TempDir d;
  TmpfsMount fs(d.path(), "size=1m");
  if (!fs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (" << fs.reason() << ")";
  writeFont(d / "a.pcf", kLineA);
  WriteFile(d / "fonts.dir", "0\n");
  WriteFile(d / "encodings.dir", "1\nold old.enc\n");
  ASSERT_TRUE(fs.makeReadOnly());
  ASSERT_NE(access(d.path().c_str(), W_OK), 0);
  ASSERT_EQ(errno, EROFS);
  ToolResult r = Check(d.path(), {"-e", "/no/such/dir"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, "");
  EXPECT_EQ(r.stdoutText, "./fonts.dir\n- 0\n+ 1\n+ " + kLineA + "./encodings.dir\n- 1\n- old old.enc\n");
  // A run there fails, as it always did.
  r = RunIn(d.path(), {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText,
            "lorvane: cannot unlink ./fonts.dir\n"
            "lorvane: failed to create directory in .\n");
}

TEST(Check, AReportListsExactlyTheLinesThatGoAndCome) {
  // A larger index with lines gone, come and changed in several places: the
  // lines not reported are the same sequence in the old and the new file.
  TempDir d;
  std::string scale;
  for (int i = 0; i < 40; i++) scale += "f" + std::to_string(i) + ".pfa -x-font-" + std::to_string(i) + "\n";
  WriteFile(d / "fonts.scale", "40\n" + scale);
  ASSERT_EQ(RunIn(d.path(), {}).status, 0);
  const std::string now = ReadFile(d / "fonts.dir");
  std::string old = now;
  old.replace(old.find("f3.pfa"), 6, "f3.pcf");        // changed
  old.erase(old.find("f10.pfa"), old.find("f11.pfa") - old.find("f10.pfa"));  // gone from the old
  old.insert(old.find("f20.pfa"), "extra.pfa -x-extra\n");  // one the run drops
  WriteFile(d / "fonts.dir", old);
  ToolResult r = Check(d.path(), {});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stdoutText,
            "./fonts.dir\n- f3.pcf -x-font-3\n+ f3.pfa -x-font-3\n+ f10.pfa -x-font-10\n- extra.pfa -x-extra\n");
}

// Index files beyond what one allocation holds are still compared; only a
// single line past the ceiling is refused, before anything is reported.
TEST(Check, LargeIndexesAreComparedInPieces) {
  struct Case {
    const char *what;
    std::function<std::string()> old;
    int status;
    std::function<std::string()> report;
    const char *stderrText;
  };
  const size_t kMiB = size_t{1} << 20;
  auto fontLine = [](size_t i) {
    char line[80];
    std::snprintf(line, sizeof line, "f%07zu.pcf -misc-fixed-medium-r-normal--13-120-75-75-c-70-iso10646-1\n", i);
    return std::string(line);
  };
  const Case cases[] = {
      {"2^20 lines in 69 MiB: matched up line by line",
       [&] {
         std::string old = "0\n";
         for (size_t i = 0; i < (size_t{1} << 20); i++) old += fontLine(i);
         return old;
       },
       1,
       [&] {
         std::string report = "./fonts.dir\n";
         for (size_t i = 0; i < (size_t{1} << 20); i++) report += "- " + fontLine(i);
         return report;
       },
       ""},
      {"more lines than are matched up: every line goes and comes",
       [] {
         std::string old;
         for (int i = 0; i < 3000000; i++) old += "x\n";
         return old;
       },
       1,
       [] {
         std::string report = "./fonts.dir\n";
         for (int i = 0; i < 3000000; i++) report += "- x\n";
         return report + "+ 0\n";
       },
       ""},
      {"one line longer than 64 MiB", [&] { return std::string(65 * kMiB, 'x'); }, 2, [] { return std::string(); },
       "lorvane: ./fonts.dir is too large to compare\nlorvane: cannot check .\n"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d;
    WriteFile(d / "fonts.dir", c.old());
    ToolResult r = RunIn(d.path(), {"--check"});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.stderrText, c.stderrText);
    EXPECT_TRUE(r.stdoutText == c.report()) << "report of " << r.stdoutText.size() << " bytes";
  }
}

}  // namespace
