// Runs of the tool in which an allocation fails: every failure point of a
// scenario gives an honest exit status and leaves no index half-written.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <map>
#include <set>
#include <sstream>
#include <string>

#include "tests/support/bdf_writer.h"
#include "tests/support/compressed.h"
#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/snf_writer.h"
#include "tests/support/streamtest.h"
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

TEST(AllocationFailure, NoMemoryAtStartExitsWithTwo) {
  // The nine renderer registrations come first, then the encoding table.  A
  // renderer that could not be registered would leave its fonts out of the
  // index unannounced.
  for (long n = 1; n <= 10; n++) {
    SCOPED_TRACE("failing allocation " + std::to_string(n));
    TempDir d;
    WriteFile(d / "a.pcf", WritePcf(TypicalPcf("a")));
    ToolResult r = RunFailing(d, {}, n);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.stderrText, "lorvane: out of memory\n");
    EXPECT_FALSE(FileExists(d / "fonts.dir"));
  }
}

// Runs `args` in `cwd` once cleanly, to learn how many allocations the run
// makes, then once for each of them failing in turn.  `reset` restores the
// files before every run; `check` judges each failing run.  Every run must
// end with an honest exit status, and write nothing to standard error but
// the tool's own messages: a sanitizer's report (a leak, say) fails it.
// A run with --check may end with status 2 after a directory it could not
// check, and with 1 when an index would change (`cleanStatus` 1).
void SweepAllocationFailures(const TempDir &cwd, const std::vector<std::string> &args,
                             const std::function<void()> &reset,
                             const std::function<void(const ToolResult &)> &check, int cleanStatus = 0) {
  const bool checking = args.size() > 0 && args[0] == "--check";
  TempDir scratch;
  std::string countFile = scratch / "count";
  reset();
  ToolResult clean = RunFailing(cwd, args, 0, countFile);
  ASSERT_EQ(clean.status, cleanStatus) << clean.stderrText;
  long count = std::stol(ReadFile(countFile));
  ASSERT_GT(count, 10);
  for (long n = 1; n <= count; n++) {
    reset();
    ToolResult r = RunFailing(cwd, args, n);
    SCOPED_TRACE("failing allocation " + std::to_string(n) + " of " + std::to_string(count) + ": " +
                 r.stderrText);
    if (r.status == 2) {
      // No memory at start; or, checking, a directory that could not be
      // checked, which the last message names.
      size_t last = r.stderrText.size() < 2 ? 0 : r.stderrText.rfind('\n', r.stderrText.size() - 2) + 1;
      if (!checking || r.stderrText.compare(last, 22, "lorvane: cannot check ") != 0) {
        EXPECT_EQ(r.stderrText, "lorvane: out of memory\n");
      }
    } else {
      EXPECT_TRUE(r.status == 0 || r.status == 1) << r.status;
    }
    std::istringstream lines(r.stderrText);
    for (std::string line; std::getline(lines, line);)
      EXPECT_TRUE(line.starts_with("lorvane: ") || line.starts_with("\t") ||
                  line.starts_with("BDF Error on line ") || line.starts_with("BDF Warning on line "))
          << line;
    check(r);
  }
  // CI adds these up to report how many failure points were swept.
  if (FILE *log = std::fopen(LORVANE_BUILD_DIR "/failure-points.log", "a")) {
    std::fprintf(log, "%s %ld\n", ::testing::UnitTest::GetInstance()->current_test_info()->name(), count);
    std::fclose(log);
  }
}

// The names of a directory beyond `expected` (a temporary index file left
// behind, say).
std::vector<std::string> strayFiles(const std::string &dir, const std::set<std::string> &expected) {
  std::vector<std::string> stray;
  for (const std::string &name : ListDir(dir))
    if (!expected.count(name)) stray.push_back(name);
  return stray;
}

TEST(AllocationFailure, EveryFailurePointOfAFontsScaleMergeIsClean) {
  TempDir d;
  const std::string full = "3\na.pfa -a-one\nb.pfa -b-two\nc.pfa -c-three\n";
  bool sawOutOfMemory = false;
  SweepAllocationFailures(
      d, {},
      [&] {
        WriteFile(d / "fonts.scale", full);
        WriteFile(d / "fonts.dir", "old\n");
      },
      [&](const ToolResult &r) {
        std::string index = ReadFile(d / "fonts.dir");
        if (r.status == 0) EXPECT_EQ(index, full);
        else EXPECT_TRUE(index == "old\n" || index == full || !FileExists(d / "fonts.dir"));
        if (r.stderrText.find("lorvane: out of memory\n") != std::string::npos) sawOutOfMemory = true;
        EXPECT_EQ(strayFiles(d.path(), {"fonts.scale", "fonts.dir"}), std::vector<std::string>{});
      });
  EXPECT_TRUE(sawOutOfMemory);
}

// Fonts of both formats, plain and compressed, and encoding files plain and
// compressed: every allocation of the streams, the filters and the readers
// fails once.  A font whose reading runs out of memory is skipped with the
// skip message, so a complete run may index fewer fonts; the ones it lists
// are listed right, and every one missing was reported.
TEST(AllocationFailure, EveryFailurePointOfCompressedFontsAndEncodingsIsClean) {
  if (std::string why = MissingPrograms({"gzip", "compress"}); !why.empty()) GTEST_SKIP() << why;
  TempDir root;
  MakeDir(root / "fonts");
  MakeDir(root / "encs");
  const std::string fonts = root / "fonts", encs = root / "encs";
  // One-letter base names: fonts.dir lists them in alphabetical order.
  struct Font {
    std::string file, name;
  };
  const std::vector<Font> all = {{"a.pcf", "font-a"},    {"b.pcf.gz", "font-b"}, {"c.pcf.Z", "font-c"},
                                 {"s.snf", "font-s"},    {"t.snf.gz", "font-t"}};
  std::map<std::string, std::string> files;
  for (const Font &f : all) {
    std::string plain = f.file[2] == 'p' ? WritePcf(TypicalPcf(f.name, 20)) : WriteSnf(TypicalSnf(f.name, 20));
    std::string suffix = f.file.substr(f.file.rfind('.'));
    if (suffix == ".gz" || suffix == ".Z") plain = Packed(suffix == ".gz" ? "gzip" : "compress", plain);
    files["fonts/" + f.file] = plain;
  }
  files["encs/x.enc"] = "STARTENCODING X-Plain\nALIAS xplain\nENDENCODING\n";
  files["encs/y.enc.gz"] = Packed("gzip", "STARTENCODING Y-Packed\nENDENCODING\n");

  const std::vector<std::string> args = {"-e", "encs", "fonts"};
  auto reset = [&] {
    for (const auto &[name, content] : files) WriteFile(root / name, content);
    WriteFile(fonts + "/fonts.dir", "old\n");
    WriteFile(fonts + "/encodings.dir", "old\n");
  };
  reset();
  ToolOptions inRoot;
  inRoot.cwd = root.path();
  ToolResult clean = RunTool(args, inRoot);
  ASSERT_EQ(clean.status, 0);
  ASSERT_EQ(clean.stderrText, "");
  const std::string fullIndex = "5\na.pcf font-a\nb.pcf.gz font-b\nc.pcf.Z font-c\ns.snf font-s\nt.snf.gz font-t\n";
  ASSERT_EQ(ReadFile(fonts + "/fonts.dir"), fullIndex);
  const std::string fullEncodings = ReadFile(fonts + "/encodings.dir");
  ASSERT_NE(fullEncodings.find(" " + encs + "/y.enc.gz\n"), std::string::npos) << fullEncodings;
  ASSERT_NE(fullEncodings.find(" " + encs + "/x.enc\n"), std::string::npos) << fullEncodings;

  std::set<std::string> expectedNames = {"fonts.dir", "encodings.dir"};
  for (const Font &f : all) expectedNames.insert(f.file);
  bool sawSkippedFont = false;
  SweepAllocationFailures(root, args, reset, [&](const ToolResult &r) {
    std::string index = ReadFile(fonts + "/fonts.dir");
    if (r.status == 0) {
      // The full index less the fonts that were reported skipped.
      std::string lines;
      int count = 0;
      for (const Font &f : all) {
        std::string skip = "lorvane: unable to process font fonts/" + f.file + ", skipping\n";
        if (r.stderrText.find(skip) != std::string::npos) {
          sawSkippedFont = true;
          continue;
        }
        lines += f.file + " " + f.name + "\n";
        count++;
      }
      EXPECT_EQ(index, std::to_string(count) + "\n" + lines);
    } else {
      EXPECT_TRUE(index == "old\n" || index == fullIndex || !FileExists(fonts + "/fonts.dir")) << index;
    }
    // Encoding files are read before any font directory: encodings.dir holds
    // the old text, none, or lines of the full index under a matching count.
    if (FileExists(fonts + "/encodings.dir")) {
      std::string enc = ReadFile(fonts + "/encodings.dir");
      if (enc != "old\n") {
        std::istringstream in(enc);
        std::string line;
        std::getline(in, line);
        int declared = std::stoi(line), seen = 0;
        for (; std::getline(in, line); seen++)
          EXPECT_NE(fullEncodings.find("\n" + line + "\n"), std::string::npos) << line;
        EXPECT_EQ(declared, seen) << enc;
      }
    }
    EXPECT_EQ(strayFiles(fonts, expectedNames), std::vector<std::string>{});
    EXPECT_EQ(strayFiles(encs, {"x.enc", "y.enc.gz"}), std::vector<std::string>{});
  });
  EXPECT_TRUE(sawSkippedFont);
}

// BDF fonts are read whole: every allocation of the line reader, the
// properties, the glyphs, the bounds and the padding fails once.
TEST(AllocationFailure, EveryFailurePointOfBdfFontsIsClean) {
  if (std::string why = MissingPrograms({"gzip"}); !why.empty()) GTEST_SKIP() << why;
  TempDir d;
  BdfFont plain = BdfSampleFont();
  plain.properties.push_back(BdfString("FONT", "-lorvane-plain-medium-r-normal--16-120-75-75-c-80-iso8859-1"));
  BdfFont packed = BdfSampleFont();
  packed.properties.push_back(BdfString("FONT", "-lorvane-packed-medium-r-normal--16-120-75-75-c-80-iso8859-1"));
  const std::string packedBytes = Packed("gzip", WriteBdf(packed));
  auto reset = [&] {
    WriteFile(d / "a.bdf", WriteBdf(plain));
    WriteFile(d / "b.bdf.gz", packedBytes);
    WriteFile(d / "fonts.dir", "old\n");
  };
  const std::string lineA = "a.bdf -lorvane-plain-medium-r-normal--16-120-75-75-c-80-iso8859-1\n";
  const std::string lineB = "b.bdf.gz -lorvane-packed-medium-r-normal--16-120-75-75-c-80-iso8859-1\n";
  SweepAllocationFailures(d, {}, reset, [&](const ToolResult &r) {
    std::string index = ReadFile(d / "fonts.dir");
    if (r.status == 0) {
      bool skippedA = r.stderrText.find("process font ./a.bdf, skipping") != std::string::npos;
      bool skippedB = r.stderrText.find("process font ./b.bdf.gz, skipping") != std::string::npos;
      std::string lines = (skippedA ? "" : lineA) + (skippedB ? "" : lineB);
      EXPECT_EQ(index, std::to_string(!skippedA + !skippedB) + "\n" + lines);
    } else {
      EXPECT_TRUE(index == "old\n" || !FileExists(d / "fonts.dir")) << index;
    }
    EXPECT_EQ(strayFiles(d.path(), {"a.bdf", "b.bdf.gz", "fonts.dir"}), std::vector<std::string>{});
  });
}

// A verbose run tells why each font was left out; a font lost to memory is
// said to be, never taken for a damaged one, wherever the allocation failed:
// the stream, the filter, the reader, the atoms or the table.
TEST(AllocationFailure, AFontLostToMemoryIsExplainedAsSuch) {
  TempDir d;
  std::map<std::string, std::string> files = {
      {"a.pcf", WritePcf(TypicalPcf("-lorvane-a-medium-r-normal--13-120-75-75-c-60-iso8859-1", 20))},
      {"b.snf", WriteSnf(TypicalSnf("-lorvane-b-medium-r-normal--13-120-75-75-c-60-iso8859-1", 20))},
      {"c.bdf", WriteBdf(BdfSampleFont())},
  };
  if (HaveProgram("gzip"))
    files["d.pcf.gz"] = Packed("gzip", WritePcf(TypicalPcf("-lorvane-d-medium-r-normal--13-120-75-75-c-60-iso8859-1", 20)));
  auto reset = [&] {
    for (const auto &[name, content] : files) WriteFile(d / name, content);
  };
  bool sawOutOfMemory = false;
  SweepAllocationFailures(d, {"--verbose", "--reproducible"}, reset, [&](const ToolResult &r) {
    std::vector<std::string> lines;
    std::istringstream in(r.stderrText);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    const std::string skip = "lorvane: unable to process font ./";
    for (size_t i = 0; i < lines.size(); i++) {
      if (!lines[i].starts_with(skip)) continue;
      std::string file = lines[i].substr(skip.size(), lines[i].size() - skip.size() - 10);
      ASSERT_LT(i + 1, lines.size()) << lines[i];
      EXPECT_EQ(lines[i + 1], "lorvane: ./" + file + ": out of memory");
      sawOutOfMemory = true;
    }
  });
  EXPECT_TRUE(sawOutOfMemory);
}

// A check of a stale index with encodings: every allocation of the scan, the
// formatting of the new index, the reading of the old one and the comparison
// fails once.  The check still writes nothing, and its report on fonts.dir
// is the full one unless a message says what was left out.
TEST(AllocationFailure, EveryFailurePointOfACheckIsClean) {
  TempDir root;
  MakeDir(root / "fonts");
  MakeDir(root / "encs");
  WriteFile(root / "fonts/a.pcf", WritePcf(TypicalPcf("font-a", 8)));
  WriteFile(root / "fonts/s.snf", WriteSnf(TypicalSnf("font-s", 8)));
  WriteFile(root / "fonts/fonts.scale", "1\nz.pfa -z-scalable\n");
  WriteFile(root / "fonts/fonts.dir", "2\na.pcf font-a\nold.pcf old\n");
  WriteFile(root / "fonts/encodings.dir", "1\nold old.enc\n");
  WriteFile(root / "encs/x.enc", "STARTENCODING X-Plain\nALIAS xplain\nENDENCODING\n");
  const std::vector<std::string> args = {"--check", "-r", "-e", "encs", "fonts"};
  const std::string before = Snapshot(root.path());
  ToolOptions inRoot;
  inRoot.cwd = root.path();
  const std::string fullReport = RunTool(args, inRoot).stdoutText;
  ASSERT_EQ(fullReport,
            "fonts/fonts.dir\n- 2\n+ 3\n- old.pcf old\n+ s.snf font-s\n+ z.pfa -z-scalable\n"
            "fonts/encodings.dir\n- 1\n- old old.enc\n+ 2\n+ xplain encs/x.enc\n+ X-Plain encs/x.enc\n");
  const std::string fontsPart = fullReport.substr(0, fullReport.find("fonts/encodings.dir"));
  bool sawCannotCheck = false;
  SweepAllocationFailures(
      root, args, [] {},
      [&](const ToolResult &r) {
        EXPECT_EQ(Snapshot(root.path()), before);
        // A font left out is always reported; an encoding file that
        // cannot be read is passed over without a message, as in a run.
        if (r.status == 1 && r.stderrText.empty()) {
          EXPECT_EQ(r.stdoutText.substr(0, fontsPart.size()), fontsPart);
        }
        if (r.stderrText.find("cannot check fonts") != std::string::npos) sawCannotCheck = true;
      },
      1);
  EXPECT_TRUE(sawCannotCheck);
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
