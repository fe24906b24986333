// The long options --help and --version, and how long options sit among the
// others, through the built tool.
#include <gtest/gtest.h>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"
#include "tests/support/tool_cases.h"

namespace {

const std::string kVersionLine = std::string("lorvane ") + LORVANE_VERSION + "\n";

// A directory with a font, a stale index and an encoding directory.
struct Workspace {
  TempDir root;
  Workspace() {
    WriteFile(root / "a.pcf", WritePcf(TypicalPcf("-misc-a", 4)));
    WriteFile(root / "fonts.dir", "1\nstale.pcf stale\n");
    WriteFile(root / "encodings.dir", "1\nstale stale.enc\n");
    MakeDir(root / "encs");
    WriteFile(root / "encs/x.enc", "STARTENCODING X\nENDENCODING\n");
  }
  ToolResult run(const std::vector<std::string> &args) const {
    ToolOptions options;
    options.cwd = root.path();
    return RunTool(args, options);
  }
};

TEST(HelpAndVersion, PrintTheirTextAndReadOrWriteNothing) {
  struct Case {
    std::vector<std::string> args;
    bool help;
  };
  const std::vector<Case> cases = {
      {{"--help"}, true},
      {{"--version"}, false},
      // Wherever they stand among the options: an -e directory before them
      // is not read either.
      {{"-e", "encs", "--help"}, true},
      {{"-r", "-eencs", "-p", "x", "--version", "-x"}, false},
      {{"--check", "--reproducible", "--verbose", "--help", "."}, true},
      {{"--version", "--help"}, true},
  };
  for (const Case &c : cases) {
    std::string words;
    for (const std::string &a : c.args) words += a + " ";
    SCOPED_TRACE(words);
    Workspace w;
    std::string before = Snapshot(w.root.path());
    OpenWatch font(w.root / "a.pcf"), encoding(w.root / "encs/x.enc");
    ToolResult r = w.run(c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.stderrText, "");
    if (c.help)
      EXPECT_EQ(r.stdoutText.substr(0, 40), "usage: lorvane [option ...] [directory .");
    else
      EXPECT_EQ(r.stdoutText, kVersionLine);
    EXPECT_EQ(font.opens(), 0);
    EXPECT_EQ(encoding.opens(), 0);
    EXPECT_EQ(Snapshot(w.root.path()), before);
  }
}

TEST(HelpAndVersion, TheVersionIsTheOneTheManualPageNames) {
  std::string page = ReadFile(LORVANE_SOURCE_DIR "/man/lorvane.1");
  std::string th = page.substr(0, page.find('\n'));
  EXPECT_NE(th.find("\"" + kVersionLine.substr(0, kVersionLine.size() - 1) + "\""), std::string::npos) << th;
}

// A check with no fonts.dir has a report due: it fails as the tool does
// where it cannot write, and writes no index.
TEST(HelpAndVersion, AFullStandardOutputIsAFailure) {
  for (auto [word, status] : {std::pair{"--help", 1}, {"--version", 1}, {"--check", 2}}) {
    TempDir d;
    ToolOptions options;
    options.cwd = d.path();
    options.stdoutPath = "/dev/full";
    ToolResult r = RunTool({word}, options);
    EXPECT_EQ(r.status, status) << word;
    EXPECT_EQ(r.stderrText, "lorvane: cannot write to standard output\n");
    EXPECT_FALSE(FileExists(d / "fonts.dir"));
  }
}

// Words that look like long options but are not in the option part, or not
// exactly: each keeps the meaning it had before the long options came.
TEST(LongOptions, OnlyExactWordsInTheOptionPartAreRecognised) {
  const std::string stale = "1\nstale.pcf stale\n", longDir(1100, 'y');
  // In the workspace; whether "." got a new fonts.dir.
  auto run = [&](std::vector<std::string> args, int status, std::string stderrText, bool indexed) -> ToolCase {
    return {args[0] + " " + args.back().substr(0, 20), {"encs"}, {{"a.pcf", WritePcf(TypicalPcf("-misc-a", 4))}, {"fonts.dir", stale},
                           {"encodings.dir", "1\nstale stale.enc\n"}, {"encs/x.enc", "STARTENCODING X\nENDENCODING\n"}},
            args, status, stderrText, {{"fonts.dir", indexed ? "1\na.pcf -misc-a\n" : stale}}};
  };
  RunToolCases({
      // Not an exact word: it ends the options and "." is indexed.
      run({"--helpx"}, 0, "", true),
      run({"--HELP"}, 0, "", true),
      // After "--", and after the first directory, it is a directory.
      run({"--", "--help"}, 1, "lorvane: failed to create directory in --help\n", false),
      run({"encs", "--version"}, 1, "lorvane: failed to create directory in --version\n", false),
      // The value of -e and -p.
      run({"-e", "--help"}, 0, "", true),
      run({"-p", "--version"}, 0, "", true),
      // An -e directory that stops the options makes the later words
      // directories, in the first pass over the options too.
      run({"-e" + longDir, "--help"}, 1,
          "lorvane: directory name `" + longDir + "' too long\nlorvane: failed to create directory in -e" + longDir + "\n",
          false),
      // The same for the options that hold for a run: a longer or shorter
      // word, a word after "--" or the value of -p is none of them.
      run({"--verbosex", "--verbose"}, 1, "lorvane: failed to create directory in --verbose\n", false),
      run({"--verb", "--reproducible"}, 1, "lorvane: failed to create directory in --reproducible\n", false),
      run({"--reproducible=yes"}, 0, "", true),
      run({"--", "--verbose"}, 1, "lorvane: failed to create directory in --verbose\n", false),
      run({"-p", "--verbose"}, 0, "", true),
      // Among the others in any order, --verbose is in force: the font is
      // noted and the directory summed up after the unknown option's message.
      run({"-p", "P", "--verbose", "-r", "--reproducible", "-x"}, 0,
          "lorvane: unknown option `-x'\n"
          "lorvane: ./a.pcf: note: font name is not a 14-field XLFD name\n"
          "lorvane: .: fonts indexed: 1, entries from fonts.scale: 0, files skipped: 0\n",
          true),
  });
}

// Where a relative -e directory too long to be made absolute ends the
// options, its word is the first directory and a later long option is a
// directory like every later word: the first is indexed without a summary.
TEST(LongOptions, AfterAnEncodingDirectoryThatEndsTheOptionsTheyAreDirectories) {
  TempDir d;
  std::string deep;
  while (d.path().size() + 1 + deep.size() < 1023) {
    deep += (deep.empty() ? "" : "/") + std::string(100, 'd');
    MakeDir(d / deep);
  }
  ToolOptions options;
  options.cwd = d.path();
  ToolResult r = RunTool({"-e", deep, "--verbose"}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText, "lorvane: directory name `" + deep + "' too long\n" +
                              "lorvane: failed to create directory in --verbose\n");
  EXPECT_EQ(ReadFile(d / (deep + "/fonts.dir")), "0\n");
}

TEST(LongOptions, MixWithTheShortOnesInAnyOrder) {
  // The same check with its words in different orders: -r before -e keeps
  // the directory relative, -p sets the prefix wherever --check stands.
  const std::string expected =
      "./encodings.dir\n- stale stale.enc\n+ X P/encs/x.enc\n";
  for (const std::vector<std::string> &args :
       {std::vector<std::string>{"--check", "-r", "-p", "P/", "-e", "encs", "--", "."},
        std::vector<std::string>{"-r", "-p", "P/", "--check", "-e", "encs", "."},
        std::vector<std::string>{"-r", "-eencs", "-pP/", "--check"}}) {
    Workspace w;
    WriteFile(w.root / "fonts.dir", "1\na.pcf -misc-a\n");
    std::string before = Snapshot(w.root.path());
    ToolResult r = w.run(args);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.stderrText, "");
    EXPECT_EQ(r.stdoutText, expected);
    EXPECT_EQ(Snapshot(w.root.path()), before);
  }
}

}  // namespace
