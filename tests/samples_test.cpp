#include <gtest/gtest.h>

#include "tests/support/run_tool.h"
#include "tests/support/samples.h"
#include "tests/support/tempdir.h"

namespace {

const std::string kSamples = std::string(LORVANE_SOURCE_DIR) + "/samples/fonts";

TEST(Samples, CommittedSamplesAreWhatTheGeneratorMakes) {
  FileSet expected = SampleFonts();
  std::vector<std::string> names;
  for (const auto &[name, content] : expected) {
    names.push_back(name);
    EXPECT_EQ(ReadFile(kSamples + "/" + name), content) << name << ": run make_samples samples";
  }
  // Running lorvane over the samples adds a fonts.dir: not a sample.
  std::vector<std::string> present;
  for (const auto &name : ListDir(kSamples))
    if (name != "fonts.dir") present.push_back(name);
  EXPECT_EQ(present, names);
}

TEST(Samples, SampleDirectoryIsIndexed) {
  TempDir dir;
  WriteFileSet(dir.path(), SampleFonts());
  ToolResult r = RunTool({dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.stderrText, "");
  // Hash buckets: grid8x16 20, term10x20 132, fixed7x13B 144, fixed6x13 609,
  // lorvane-8x16 772, lorvane-wide16 848, lorvane-sans12 860.
  EXPECT_EQ(ReadFile(dir / "fonts.dir"),
            "8\n"
            "grid8x16.pcf -lorvane-grid-medium-r-normal--16-160-75-75-c-80-iso10646-1\n"
            "term10x20.snf -lorvane-term-medium-r-normal--20-200-75-75-c-100-iso8859-1\n"
            "fixed7x13B.pcf -lorvane-fixed-bold-r-normal--13-130-75-75-c-70-iso8859-1\n"
            "fixed6x13.pcf -lorvane-fixed-medium-r-normal--13-130-75-75-c-60-iso8859-1\n"
            "lorvane-8x16.bdf -lorvane-fixed-medium-r-normal--16-120-75-75-c-80-iso8859-1\n"
            "lorvane-wide16.bdf -lorvane-wide-medium-r-normal--16-150-75-75-c-160-iso10646-1\n"
            "lorvane-sans12.bdf -lorvane-sans \"book\"-medium-r-normal--12-120-75-75-p-60-iso10646-1\n"
            "scalable.otf -lorvane-outline-medium-r-normal--0-0-0-0-p-0-iso8859-1\n");
}

}  // namespace
