// Runs of the tool in which an allocation fails: every failure point of a
// scenario gives an honest exit status and leaves no index half-written.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace {

ToolResult RunFailing(const TempDir &cwd, const std::vector<std::string> &args, long n,
                      const std::string &countFile = "") {
  ToolOptions options;
  options.cwd = cwd.path();
  options.binary = LORVANE_FAILALLOC_BINARY;
  options.env = {"LORVANE_FAIL_ALLOC=" + std::to_string(n)};
  if (!countFile.empty()) options.env.push_back("LORVANE_ALLOC_COUNT_FILE=" + countFile);
  return RunTool(args, options);
}

TEST(AllocationFailure, NoMemoryForTheEncodingTableExitsWithTwo) {
  // The nine renderer registrations come first, then the encoding table.
  TempDir d;
  ToolResult r = RunFailing(d, {}, 10);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.stderrText, "lorvane: out of memory\n");
  EXPECT_FALSE(FileExists(d / "fonts.dir"));
}

TEST(AllocationFailure, EveryFailurePointOfAFontsScaleMergeIsClean) {
  TempDir scratch;
  std::string countFile = scratch / "count";
  TempDir d;
  std::string scale = "3\na.pfa -a-one\nb.pfa -b-two\nc.pfa -c-three\n";
  std::string full = "3\na.pfa -a-one\nb.pfa -b-two\nc.pfa -c-three\n";
  WriteFile(d / "fonts.scale", scale);
  ToolResult clean = RunFailing(d, {}, 0, countFile);
  ASSERT_EQ(clean.status, 0);
  long count = std::stol(ReadFile(countFile));
  ASSERT_GT(count, 10);
  bool sawOutOfMemory = false;
  for (long n = 1; n <= count; n++) {
    WriteFile(d / "fonts.dir", "old\n");
    ToolResult r = RunFailing(d, {}, n);
    SCOPED_TRACE("failing allocation " + std::to_string(n) + ": " + r.stderrText);
    ASSERT_TRUE(r.status == 0 || r.status == 1 || r.status == 2);
    std::string index = ReadFile(d / "fonts.dir");
    if (r.status == 0) EXPECT_EQ(index, full);
    else EXPECT_TRUE(index == "old\n" || index == full || !FileExists(d / "fonts.dir"));
    if (r.stderrText.find("lorvane: out of memory\n") != std::string::npos) sawOutOfMemory = true;
    for (const std::string &name : ListDir(d.path()))
      EXPECT_TRUE(name == "fonts.scale" || name == "fonts.dir") << name;
  }
  EXPECT_TRUE(sawOutOfMemory);
}

TEST(CommandLine, AWorkingDirectoryThatIsGoneStopsOptionProcessing) {
  TempDir d;
  MakeDir(d / "gone");
  ToolOptions options;
  options.binary = "/bin/bash";
  options.argv0 = "bash";
  std::string script = "cd '" + d.path() + "/gone' && rmdir '" + d.path() +
                       "/gone' && exec -a lorvane '" + LORVANE_BINARY + "' -e rel -x";
  ToolResult r = RunTool({"-c", script}, options);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stderrText,
            "lorvane: failed to get cwd\n"
            "lorvane: failed to create directory in rel\n");
}

}  // namespace
