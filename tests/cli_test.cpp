// The command line, fonts.scale merging and the index files, through the
// built tool.
#include <atomic>
#include <cerrno>
#include <functional>
#include <thread>

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>

#include "tests/support/pcf_writer.h"
#include "tests/support/tool_cases.h"

namespace {

ToolResult RunIn(const TempDir &cwd, std::vector<std::string> args, long fileSizeLimit = -1) {
  ToolOptions options;
  options.cwd = cwd.path();
  options.fileSizeLimit = fileSizeLimit;
  return RunTool(args, options);
}

ToolOptions invokedAs(const char *argv0) {
  ToolOptions options;
  options.argv0 = argv0;
  return options;
}

TEST(CommandLine, OptionsAndDirectoryWordsAreReadInOrder) {
  const std::optional<std::string> absent;
  const std::string empty = "0\n";
  const std::string longDir(1100, 'y');
  RunToolCases({
      {"no words index the current directory", {}, {}, {}, 0, "", {{"fonts.dir", empty}}},
      {"-- ends the options and is skipped", {}, {}, {"--"}, 0, "", {{"fonts.dir", empty}}},
      {"so does any longer word of two dashes", {}, {}, {"--anything"}, 0, "",
       {{"fonts.dir", empty}}},
      {"after -- a word beginning with a dash is a directory", {"-r"}, {}, {"--", "-r"}, 0, "",
       {{"-r/fonts.dir", empty}, {"fonts.dir", absent}}},
      {"unknown options are reported and the run goes on", {}, {}, {"-rx", "-x", "-"}, 0,
       "lorvane: unknown option `-rx'\n"
       "lorvane: unknown option `-x'\n"
       "lorvane: unknown option `-'\n",
       {{"fonts.dir", empty}}},
      {"a word after the first directory is a directory", {"dir1"}, {}, {"dir1", "-r"}, 1,
       "lorvane: failed to create directory in -r\n", {{"dir1/fonts.dir", empty}}},
      {"the empty word is a directory that fails", {"later"}, {}, {"", "later"}, 1,
       "lorvane: failed to create directory in \n", {{"later/fonts.dir", absent}}},
      {"a directory that fails stops the run after the ones before it", {"a", "c"}, {},
       {"a", "missing", "c"}, 1, "lorvane: failed to create directory in missing\n",
       {{"a/fonts.dir", empty}, {"c/fonts.dir", absent}}},
      {"-p takes the next word whatever it begins with", {"dir"}, {}, {"-p", "-r", "dir"}, 0, "",
       {{"dir/fonts.dir", empty}, {"fonts.dir", absent}}},
      {"a lone -p at the end is reported and ignored", {}, {}, {"-p"}, 0,
       "lorvane: -p requires an argument\n", {{"fonts.dir", empty}}},
      // -e was seen: the old encodings.dir is removed and, with no encodings
      // found, not written again.
      {"a lone -e at the end indexes the current directory", {},
       {{"encodings.dir", "1\nold old.enc\n"}}, {"-e"}, 0, "lorvane: -e requires an argument\n",
       {{"fonts.dir", empty}, {"encodings.dir", absent}}},
      {"-e takes the next word as its directory", {"-p", "fonts"}, {}, {"-e", "-p", "fonts"}, 0,
       "", {{"fonts/fonts.dir", empty}}},
      {"a missing encoding directory removes every old encodings.dir", {"one", "two"},
       {{"one/encodings.dir", "stale\n"}, {"two/encodings.dir", "stale\n"}},
       {"-e/no/such/dir", "one", "two"}, 0, "",
       {{"one/encodings.dir", absent}, {"two/encodings.dir", absent}, {"one/fonts.dir", empty}}},
      {"without -e encodings.dir is left alone", {}, {{"encodings.dir", "kept\n"}}, {}, 0, "",
       {{"encodings.dir", "kept\n"}}},
      {"messages begin with the invocation name as given", {}, {}, {"-q"}, 0,
       "/some/where/mkidx: unknown option `-q'\n", {}, nullptr, invokedAs("/some/where/mkidx")},
      {"a joined -e word too long to be made absolute is itself the first directory", {}, {},
       {"-e" + longDir}, 1,
       "lorvane: directory name `" + longDir + "' too long\n" + "lorvane: failed to create directory in -e" +
           longDir + "\n",
       {}},
  });
}

// fonts.scale entries are merged into fonts.dir as they are read.
TEST(CommandLine, FontsScaleIsMergedExactlyAsRead) {
  const std::string cannot = "lorvane: failed to create directory in .\n";
  const std::string refused = "./fonts.scale: Invalid argument\n" + cannot;
  const std::string font = WritePcf(TypicalPcf("A-Font", 4)), indexed = "1\na.pcf a-font\n";
  RunToolCases({
      {"inner spaces, a name on the next line, a carriage return kept", {},
       {{"fonts.scale",
         "  5\n\n"
         "a.pfa -Adobe-Foo-Medium-R  inner  spaces  \n"
         "b.ttf\r\n"     // the file name alone: the next line is its font name
         "\n"
         "   -b-Bar\r\n"  // leading white space dropped, the carriage return kept
         "\t\n"}},
       {}, 0, "",
       {{"fonts.dir", "2\na.pfa -Adobe-Foo-Medium-R  inner  spaces  \nb.ttf -b-Bar\r\n"}}},
      // The count is only checked for presence.
      {"a count of 0", {}, {{"fonts.scale", "0\nx.pfa x\ny.pfa y\n"}}, {}, 0, "",
       {{"fonts.dir", "2\nx.pfa x\ny.pfa y\n"}}},
      {"no count", {}, {{"fonts.scale", ""}}, {}, 0, "", {{"fonts.dir", "0\n"}}},
      {"a blank count", {}, {{"fonts.scale", "   \n"}}, {}, 0, "", {{"fonts.dir", "0\n"}}},
      {"a word for a count", {}, {{"fonts.scale", "abc x.pfa x\n"}}, {}, 0, "", {{"fonts.dir", "0\n"}}},
      {"a sign for a count", {}, {{"fonts.scale", "+ 3\nx.pfa x\n"}}, {}, 0, "", {{"fonts.dir", "0\n"}}},
      {"digits end the count", {}, {{"fonts.scale", "-7x.pfa name"}}, {}, 0, "",
       {{"fonts.dir", "1\nx.pfa name\n"}}},
      {"each field holds 1023 bytes; the rest of a cut field is read as the next", {},
       {{"fonts.scale", "1\n" + std::string(1500, 'f') + " " + std::string(500, 'n') + "\na.pfa " +
                            std::string(3000, 'm') + "\n"}},
       {}, 0, "",
       {{"fonts.dir", "3\n" + std::string(1023, 'f') + " " + std::string(477, 'f') + " " + std::string(500, 'n') +
                          "\na.pfa " + std::string(1023, 'm') + "\n" + std::string(1023, 'm') + " " +
                          std::string(954, 'm') + "\n"}}},
      {"a file name without a font name fails the directory", {},
       {{"fonts.dir", "old\n"}, {"fonts.scale", "2\na.pfa a\nb.pfa  \n\n"}}, {}, 1,
       "lorvane: bad format for ./fonts.scale file\n" + cannot, {{"fonts.dir", "old\n"}}},
      {"a trailing slash is not doubled for fonts.scale", {"sub"}, {{"sub/fonts.scale", "1\nonly-name\n"}},
       {"sub/"}, 1, "lorvane: bad format for sub/fonts.scale file\nlorvane: failed to create directory in sub/\n",
       {}},
      {"an unreadable fonts.scale is reported with the system's message", {}, {{"fonts.scale", "1\na b\n"}}, {},
       1, "./fonts.scale: Permission denied\n" + cannot, {}, SetMode("fonts.scale", 0), Unprivileged()},
      // A directory or the null device holds nothing; opening never blocks,
      // and a device that never ends is not read.
      {"a directory", {"fonts.scale"}, {{"a.pcf", font}}, {}, 0, "", {{"fonts.dir", indexed}}},
      {"a link to a directory", {}, {{"a.pcf", font}}, {}, 0, "", {{"fonts.dir", indexed}}, MakeLink(".", "fonts.scale")},
      {"a link to /dev/null", {}, {{"a.pcf", font}}, {}, 0, "", {{"fonts.dir", indexed}},
       MakeLink("/dev/null", "fonts.scale")},
      {"a FIFO", {}, {{"a.pcf", font}, {"fonts.dir", "old\n"}}, {}, 1, refused, {{"fonts.dir", "old\n"}},
       MakeFifo("fonts.scale")},
      {"a link to /dev/zero", {}, {{"a.pcf", font}, {"fonts.dir", "old\n"}}, {}, 1, refused,
       {{"fonts.dir", "old\n"}}, MakeLink("/dev/zero", "fonts.scale")},
  });
}

TEST(CommandLine, TheIndexFilesAreReplacedOrTheDirectoryFails) {
  const std::optional<std::string> absent;
  const std::string cannot = "lorvane: failed to create directory in ";
  RunToolCases({
      {"a fonts.dir that cannot be removed", {"fonts.dir/inside"}, {}, {}, 1,
       "lorvane: cannot unlink ./fonts.dir\n" + cannot + ".\n", {}},
      {"a read-only directory", {"ro"}, {{"ro/fonts.dir", "old\n"}}, {"ro"}, 1,
       "lorvane: cannot unlink ro/fonts.dir\n" + cannot + "ro\n", {{"ro/fonts.dir", "old\n"}}, SetMode("ro", 0555),
       Unprivileged()},
      {"a trailing slash is doubled for fonts.dir", {"ro"}, {}, {"ro/"}, 1,
       "lorvane: can't create directory ro//fonts.dir\n" + cannot + "ro/\n", {}, SetMode("ro", 0555), Unprivileged()},
      {"a link in place of an index is replaced, not followed", {}, {{"target", "precious\n"}}, {}, 0, "",
       {{"target", "precious\n"}, {"fonts.dir", "0\n"}}, MakeLink("target", "fonts.dir")},
      {"an encodings.dir that cannot be created is a warning only", {"encodings.dir/inside"}, {},
       {"-e", "/nonexistent"}, 0, "lorvane: warning: cannot unlink ./encodings.dir\n", {{"fonts.dir", "0\n"}}},
      // --remove-empty: a directory that lists nothing keeps no index, and
      // nothing else is removed.
      {"the index of a directory whose fonts were all removed goes", {"encs"},
       {{"fonts.dir", "1\ngone.pcf gone\n"}, {"encodings.dir", "1\nold old.enc\n"}, {"notes", "kept\n"},
        {"encs/x.enc", "STARTENCODING x\n"}},
       {"--remove-empty", "-r", "-e", "encs"}, 0, "",
       {{"fonts.dir", absent}, {"encodings.dir", absent}, {"notes", "kept\n"}}},
      {"a fonts.scale entry is an entry", {}, {{"fonts.scale", "1\na.pfa -x-a\n"}}, {"--remove-empty"}, 0,
       "", {{"fonts.dir", "1\na.pfa -x-a\n"}, {"fonts.scale", "1\na.pfa -x-a\n"}}},
      {"a fonts.scale without entries is left, the fonts.dir goes", {},
       {{"fonts.scale", "0\n"}, {"fonts.dir", "0\n"}}, {"--remove-empty"}, 0, "",
       {{"fonts.dir", absent}, {"fonts.scale", "0\n"}}},
      {"without -e an encodings.dir stays beside the removed fonts.dir", {},
       {{"fonts.dir", "0\n"}, {"encodings.dir", "1\nold old.enc\n"}}, {"--remove-empty"}, 0, "",
       {{"fonts.dir", absent}, {"encodings.dir", "1\nold old.enc\n"}}},
      {"a directory in the index's place cannot be removed", {"fonts.dir/inside"}, {}, {"--remove-empty"}, 1,
       "lorvane: cannot unlink ./fonts.dir\n" + cannot + ".\n", {}},
  });
}

// --recursive over a tree: font directories below the argument, each once,
// in byte order of their paths; a link to a directory is not followed, a
// directory that cannot be read fails as a named one does.
TEST(CommandLine, RecursiveIndexesEveryFontDirectoryOfATree) {
  const std::optional<std::string> absent;
  const std::string xlfd = "-misc-a-medium-r-normal--13-120-75-75-c-70-iso8859-1";
  const std::string font = WritePcf(TypicalPcf(xlfd, 4));
  auto summary = [](const std::string &dir, int fonts, int scaled) {
    return "lorvane: " + dir + ": fonts indexed: " + std::to_string(fonts) + ", entries from fonts.scale: " +
           std::to_string(scaled) + ", files skipped: 0\n";
  };
  const std::string all = summary("t/fonts", 1, 0) + summary("t/old", 0, 0) + summary("t/scaled", 0, 1);
  const std::vector<std::string> dirs = {"t/fonts/sub", "t/old", "t/scaled", "t/m-locked/inner", "outside"};
  const std::vector<std::pair<std::string, std::string>> files = {
      {"t/fonts/a.pcf", font},           {"t/fonts/sub/notes.txt", "no font\n"},
      {"t/old/fonts.dir", "stale\n"},    {"t/scaled/fonts.scale", "1\nb.pfa -x-b\n"},
      {"t/m-locked/inner/notes.txt", "no font\n"}, {"outside/a.pcf", font}};
  // Written by an ordinary user; t/m-locked unreadable when `locked`.
  auto tree = [](bool locked) {
    return [locked](const TempDir &d) {
      ASSERT_EQ(symlink("../outside", (d / "t/link").c_str()), 0);
      for (const char *dir : {"t", "t/fonts", "t/old", "t/scaled", "t/m-locked", "outside"})
        chmod((d / dir).c_str(), locked && std::string(dir) == "t/m-locked" ? 0 : 0777);
    };
  };
  ToolOptions reportAside = Unprivileged();
  reportAside.stdoutPath = "/dev/null";
  const std::string indexed = "1\na.pcf " + xlfd + "\n";
  RunToolCases({
      {"every font directory once, in byte order", dirs, files, {"--recursive", "--verbose", "t", "t/fonts"}, 0,
       all,
       {{"t/fonts/fonts.dir", indexed}, {"t/old/fonts.dir", "0\n"}, {"t/scaled/fonts.dir", "1\nb.pfa -x-b\n"},
        {"t/fonts.dir", absent}, {"t/fonts/sub/fonts.dir", absent}, {"outside/fonts.dir", absent},
        {"t/m-locked/fonts.dir", absent}},
       tree(false), Unprivileged()},
      {"a trailing slash is not doubled", dirs, files, {"--recursive", "--verbose", "t/"}, 0, all, {}, tree(false),
       Unprivileged()},
      {"an unreadable directory stops the run in its place", dirs, files, {"--recursive", "t"}, 1,
       "lorvane: failed to create directory in t/m-locked\n",
       {{"t/fonts/fonts.dir", indexed}, {"t/old/fonts.dir", "stale\n"}, {"t/scaled/fonts.dir", absent}},
       tree(true), Unprivileged()},
      {"a check goes on to the end", dirs, files, {"--check", "--recursive", "t"}, 2,
       "lorvane: cannot check t/m-locked\n", {{"t/fonts/fonts.dir", absent}}, tree(true), reportAside},
      {"a missing argument fails as a named one", dirs, files, {"--recursive", "missing", "t"}, 1,
       "lorvane: failed to create directory in missing\n", {{"t/fonts/fonts.dir", absent}}, tree(false),
       Unprivileged()},
  });
}

TEST(CommandLine, ARelativeEncodingDirectoryTooLongWithTheCwdStopsOptions) {
  // cwd + '/' + DIR of 1023 characters or more: the message, then the word
  // holding DIR and every later word are directories.
  TempDir d;
  std::string cwd = d.path();
  std::string dir(1023 - cwd.size() - 1, 'x');
  ToolResult r = RunIn(d, {"-e", dir, "-x"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, "lorvane: directory name `" + dir + "' too long\n" +
                              "lorvane: failed to create directory in " + dir + "\n");
  // One character shorter fits: the directory is scanned (it does not
  // exist, so it contributes nothing) and "-x" is an unknown option.
  std::string shorter = dir.substr(1);
  r = RunIn(d, {"-e", shorter, "-x"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stderrText, "lorvane: unknown option `-x'\n");
}

// --if-changed: an index that already holds the new bytes is not touched
// (its inode and times, and the directory's, stay); anything else in its
// place is replaced as without the option.
TEST(IndexFiles, WithIfChangedOnlyAnIndexThatDiffersIsWritten) {
  const std::string xlfd = "-misc-a-medium-r-normal--13-120-75-75-c-70-iso8859-1";
  const std::string font = WritePcf(TypicalPcf(xlfd, 4));
  const std::string current = "1\na.pcf " + xlfd + "\n";
  struct Case {
    const char *what;
    std::function<void(const std::string &)> makeIndex;
    bool kept;
  } cases[] = {
      {"the same bytes", [&](const std::string &p) { WriteFile(p, current); }, true},
      {"other bytes", [](const std::string &p) { WriteFile(p, "0\n"); }, false},
      {"the same bytes and more", [&](const std::string &p) { WriteFile(p, current + "b.pcf b\n"); }, false},
      {"no index", [](const std::string &) {}, false},
      {"a link to the same bytes",
       [&](const std::string &p) {
         WriteFile(p + ".target", current);
         ASSERT_EQ(symlink("fonts.dir.target", p.c_str()), 0);
       },
       false},
      {"a FIFO", [](const std::string &p) { ASSERT_EQ(mkfifo(p.c_str(), 0644), 0); }, false},
      {"the same bytes, unreadable", [&](const std::string &p) {
         WriteFile(p, current);
         chmod(p.c_str(), 0);
       },
       false},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d;
    chmod(d.path().c_str(), 0777);  // written by an ordinary user
    WriteFile(d / "a.pcf", font);
    c.makeIndex(d / "fonts.dir");
    const std::string before = Snapshot(d.path());
    struct stat old;
    bool present = lstat((d / "fonts.dir").c_str(), &old) == 0;
    ToolOptions options;
    options.cwd = d.path();
    options.unprivileged = true;
    ToolResult r = RunTool({"--if-changed", "--verbose"}, options);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.stderrText, "lorvane: .: fonts indexed: 1, entries from fonts.scale: 0, files skipped: 0\n"
                            "lorvane: ./fonts.dir: index " + std::string(c.kept ? "kept, already current" : "written") + "\n");
    struct stat now;
    ASSERT_EQ(lstat((d / "fonts.dir").c_str(), &now), 0);
    EXPECT_TRUE(S_ISREG(now.st_mode));
    if (c.kept) {
      EXPECT_EQ(Snapshot(d.path()), before);
      EXPECT_EQ(now.st_ino, old.st_ino);
      EXPECT_EQ(now.st_mtim.tv_nsec, old.st_mtim.tv_nsec);
    } else {
      EXPECT_EQ(ReadFile(d / "fonts.dir"), current);
      if (present) {
        EXPECT_NE(now.st_ino, old.st_ino);
      }
    }
    if (FileExists(d / "fonts.dir.target")) {
      EXPECT_EQ(ReadFile(d / "fonts.dir.target"), current);
    }
  }
}

TEST(IndexFiles, TheNewIndexGetsThePermissionsOfAPlainCreate) {
  TempDir d;
  mode_t old = umask(027);
  ToolResult r = RunIn(d, {});
  umask(old);
  EXPECT_EQ(r.status, 0);
  struct stat st;
  ASSERT_EQ(stat((d / "fonts.dir").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(ListDir(d.path()), std::vector<std::string>{"fonts.dir"});  // no temporary left
}

TEST(IndexFiles, AFontsDirThatCannotBeWrittenWholeKeepsTheOldIndexAndFails) {
  TempDir d;
  std::string scale = "300\n";
  for (int i = 0; i < 300; i++) scale += "file" + std::to_string(i) + ".pfa -x-name-" + std::to_string(i) + "\n";
  WriteFile(d / "fonts.scale", scale);
  WriteFile(d / "fonts.dir", "old\n");
  ToolResult r = RunIn(d, {}, 2000);  // a file-size limit far below the index
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText,
            "lorvane: cannot write ./fonts.dir\n"
            "lorvane: failed to create directory in .\n");
  EXPECT_EQ(ListDir(d.path()), (std::vector<std::string>{"fonts.dir", "fonts.scale"}));
  EXPECT_EQ(ReadFile(d / "fonts.dir"), "old\n");
  // Without the limit the same directory is indexed.
  r = RunIn(d, {});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(ReadFile(d / "fonts.dir").substr(0, 4), "300\n");
}

// A full file system: whichever index does not fit keeps its old bytes, with
// the message and status of a write that failed.
TEST(IndexFiles, OnAFullDiskTheOldIndexesStay) {
  TempDir encodingsDir;
  // 40 encodings behind a long prefix make an encodings.dir of some 40 KiB.
  for (int i = 0; i < 40; i++)
    WriteFile(encodingsDir / ("e" + std::to_string(i) + ".enc"), "STARTENCODING enc-" + std::to_string(i) + "\n");
  const std::string longPrefix(1000, 'p');
  struct Case {
    const char *what;
    size_t roomLeft;  // bytes left free after the old files are written
    int status;
    const char *stderrText;
    bool fontsDirWritten;
  };
  const Case cases[] = {
      {"nothing fits", 0, 1,
       "lorvane: cannot write ./fonts.dir\nlorvane: failed to create directory in .\n", false},
      {"fonts.dir fits, encodings.dir does not", 8192, 0, "lorvane: warning: cannot write ./encodings.dir\n", true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.what);
    TempDir d;
    TmpfsMount fs(d.path(), "size=256k");
    if (!fs.mounted()) GTEST_SKIP() << "cannot mount a tmpfs here (" << fs.reason() << ")";
    WriteFile(d / "fonts.scale", "1\na.pfa -x-a\n");
    WriteFile(d / "fonts.dir", "old fonts.dir\n");
    WriteFile(d / "encodings.dir", "old encodings.dir\n");
    ASSERT_TRUE(FillFileSystem(d / "filler", c.roomLeft));
    ToolResult r = RunIn(d, {"-p", longPrefix, "-e", encodingsDir.path()});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.stderrText, c.stderrText);
    EXPECT_EQ(ReadFile(d / "fonts.dir"), c.fontsDirWritten ? "1\na.pfa -x-a\n" : "old fonts.dir\n");
    EXPECT_EQ(ReadFile(d / "encodings.dir"), "old encodings.dir\n");
    EXPECT_EQ(ListDir(d.path()), (std::vector<std::string>{"encodings.dir", "filler", "fonts.dir", "fonts.scale"}));
  }
}

// A reader opening fonts.dir while it is rewritten again and again finds it
// every time: the new file takes the old one's place in one step.
TEST(IndexFiles, AReaderNeverFindsTheIndexMissingDuringRewrites) {
  TempDir d;
  std::string scale = "300\n";
  for (int i = 0; i < 300; i++) scale += "file" + std::to_string(i) + ".pfa -x-name-" + std::to_string(i) + "\n";
  WriteFile(d / "fonts.scale", scale);
  ASSERT_EQ(RunIn(d, {}).status, 0);
  std::atomic<bool> done{false};
  std::atomic<long> opens{0}, missing{0};
  std::thread reader([&] {
    const std::string path = d / "fonts.dir";
    while (!done) {
      int fd = open(path.c_str(), O_RDONLY);
      if (fd >= 0) close(fd);
      else if (errno == ENOENT) missing++;
      opens++;
    }
  });
  for (int i = 0; i < 30; i++) EXPECT_EQ(RunIn(d, {}).status, 0);
  done = true;
  reader.join();
  EXPECT_GT(opens.load(), 0);
  EXPECT_EQ(missing.load(), 0) << "of " << opens.load() << " opens";
}

}  // namespace
