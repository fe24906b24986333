// The long options --help and --version, and how long options sit among the
// others, through the built tool.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

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

TEST(HelpAndVersion, TheUsageTextHasALineForEveryOption) {
  Workspace w;
  std::istringstream text(w.run({"--help"}).stdoutText);
  std::string line;
  std::map<std::string, int> lines;
  while (std::getline(text, line)) {
    EXPECT_LE(line.size(), 100u) << line;
    if (line.rfind("  -", 0) == 0) lines[line.substr(2, line.find(' ', 2) - 2)]++;
  }
  const std::map<std::string, int> expected = {{"-e", 1},      {"-p", 1},        {"-r", 1},
                                               {"--", 1},      {"--check", 1},   {"--reproducible", 1},
                                               {"--verbose", 1}, {"--help", 1}, {"--version", 1},
                                               {"--if-changed", 1}, {"--remove-empty", 1}, {"--recursive", 1}};
  EXPECT_EQ(lines, expected);
}

TEST(HelpAndVersion, TheVersionIsTheOneTheManualPageNames) {
  std::string page = ReadFile(LORVANE_SOURCE_DIR "/man/lorvane.1");
  std::string th = page.substr(0, page.find('\n'));
  EXPECT_NE(th.find("\"" + kVersionLine.substr(0, kVersionLine.size() - 1) + "\""), std::string::npos) << th;
}

TEST(HelpAndVersion, AFullStandardOutputIsAFailure) {
  for (const char *word : {"--help", "--version"}) {
    ToolOptions options;
    options.stdoutPath = "/dev/full";
    ToolResult r = RunTool({word}, options);
    EXPECT_EQ(r.status, 1) << word;
    EXPECT_EQ(r.stderrText, "lorvane: cannot write to standard output\n");
  }
}

// Words that look like long options but are not in the option part, or not
// exactly: each keeps the meaning it had before the long options came.
TEST(LongOptions, OnlyExactWordsInTheOptionPartAreRecognised) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string stderrText;
    bool currentIndexed;  // "." got a new fonts.dir
  };
  const std::string longDir(1100, 'y');
  const std::vector<Case> cases = {
      // Not an exact word: it ends the options and "." is indexed.
      {{"--helpx"}, 0, "", true},
      {{"--HELP"}, 0, "", true},
      // After "--", and after the first directory, it is a directory.
      {{"--", "--help"}, 1, "lorvane: failed to create directory in --help\n", false},
      {{"encs", "--version"}, 1, "lorvane: failed to create directory in --version\n", false},
      // The value of -e and -p.
      {{"-e", "--help"}, 0, "", true},
      {{"-p", "--version"}, 0, "", true},
      // An -e directory that stops the options makes the later words
      // directories, in the first pass over the options too.
      {{"-e" + longDir, "--help"}, 1,
       "lorvane: directory name `" + longDir + "' too long\nlorvane: failed to create directory in -e" + longDir +
           "\n",
       false},
      // The same for the options that hold for a run: a longer or shorter
      // word, a word after "--" or the value of -p is none of them.
      {{"--verbosex", "--verbose"}, 1, "lorvane: failed to create directory in --verbose\n", false},
      {{"--verb", "--reproducible"}, 1, "lorvane: failed to create directory in --reproducible\n", false},
      {{"--reproducible=yes"}, 0, "", true},
      {{"--", "--verbose"}, 1, "lorvane: failed to create directory in --verbose\n", false},
      {{"-p", "--verbose"}, 0, "", true},
      // Among the others in any order, --verbose is in force: the font is
      // noted and the directory summed up after the unknown option's message.
      {{"-p", "P", "--verbose", "-r", "--reproducible", "-x"}, 0,
       "lorvane: unknown option `-x'\n"
       "lorvane: ./a.pcf: note: font name is not a 14-field XLFD name\n"
       "lorvane: .: fonts indexed: 1, entries from fonts.scale: 0, files skipped: 0\n",
       true},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1].substr(0, 20) : ""));
    Workspace w;
    ToolResult r = w.run(c.args);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.stderrText, c.stderrText);
    EXPECT_EQ(r.stdoutText, "");
    EXPECT_EQ(ReadFile(w.root / "fonts.dir") != "1\nstale.pcf stale\n", c.currentIndexed);
  }
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
