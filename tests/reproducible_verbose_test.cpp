// --reproducible and --verbose, through the built tool.
#include <gtest/gtest.h>

#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "tests/support/pcf_writer.h"
#include "tests/support/run_tool.h"
#include "tests/support/snf_writer.h"
#include "tests/support/tempdir.h"
#include "tests/support/tool_cases.h"

namespace {

using Strings = std::vector<std::string>;

ToolResult RunIn(const std::string &cwd, const Strings &args) {
  ToolOptions options;
  options.cwd = cwd;
  return RunTool(args, options);
}

std::string Pcf(const std::string &fontName) { return WritePcf(TypicalPcf(fontName, 4)); }

std::string PcfWithout(const std::string &property) {
  PcfFont font = TypicalPcf("unused", 4);
  std::erase_if(font.properties, [&](const GenProperty &p) { return p.name == property; });
  return WritePcf(font);
}

std::string EncodingFile(const std::string &name) {
  return "STARTENCODING " + name + "\nSTARTMAPPING unicode\n0x20 0x7e 0x20\nENDMAPPING\nENDENCODING\n";
}

// --- --reproducible -----------------------------------------------------------

// A font directory and an encoding directory whose results hang on the order
// of their listings: the base names share a hash bucket, two fonts share a
// name, and two encoding files declare the same encoding.
struct ListingSensitiveFiles {
  // file name -> content, in the order to make them
  std::vector<std::pair<std::string, std::string>> files = {
      {"fonts/a-same-tail.pcf", Pcf("Alpha")},
      {"fonts/b-same-tail.pcf", Pcf("Shared")},
      {"fonts/c-same-tail.pcf", Pcf("Gamma")},
      {"fonts/d-same-tail.pcf", Pcf("Shared")},
      {"encs/x1.enc", EncodingFile("shared-enc")},
      {"encs/x2.enc", EncodingFile("shared-enc")},
      {"encs/x3.enc", EncodingFile("other-enc")},
  };

  // Makes the files under `root` in the order given by `order` (indexes).
  void make(const std::string &root, const std::vector<size_t> &order) const {
    MakeDir(root + "/fonts");
    MakeDir(root + "/encs");
    for (size_t i : order) WriteFile(root + "/" + files[i].first, files[i].second);
  }
};

struct Outcome {
  int status;
  std::string stderrText, fontsDir, encodingsDir;
  bool operator==(const Outcome &) const = default;
};

Outcome Index(const std::string &root, const Strings &args) {
  ToolResult r = RunIn(root, args);
  return {r.status, r.stderrText, ReadFile(root + "/fonts/fonts.dir"),
          ReadFile(root + "/fonts/encodings.dir")};
}

TEST(Reproducible, TheSameFilesMadeInDifferentOrdersIndexAlike) {
  CreationOrderedDir place;
  if (place.path().empty())
    GTEST_SKIP() << "no file system here lists names in the order they were made";
  ListingSensitiveFiles set;
  const std::vector<std::vector<size_t>> orders = {
      {0, 1, 2, 3, 4, 5, 6}, {6, 5, 4, 3, 2, 1, 0}, {3, 1, 6, 0, 4, 2, 5}};
  std::vector<Outcome> plain, reproducible, reproducibleLate;
  std::vector<Strings> listings;
  for (size_t i = 0; i < orders.size(); i++) {
    std::string root = place / ("order" + std::to_string(i));
    set.make(root, orders[i]);
    listings.push_back(ListingOrder(root + "/fonts"));
    plain.push_back(Index(root, {"-r", "-e", "encs", "fonts"}));
    reproducible.push_back(Index(root, {"--reproducible", "-r", "-e", "encs", "fonts"}));
    // Wherever it stands among the options, the -e directory read before
    // it included.
    reproducibleLate.push_back(Index(root, {"-r", "-e", "encs", "--reproducible", "fonts"}));
  }
  // The listings really differ, and so does a run that follows them.
  ASSERT_NE(listings[0], listings[1]);
  EXPECT_NE(plain[0].fontsDir, plain[1].fontsDir);
  EXPECT_NE(plain[0].encodingsDir, plain[1].encodingsDir);
  for (size_t i = 0; i < orders.size(); i++) {
    EXPECT_EQ(reproducible[i], reproducible[0]) << i;
    EXPECT_EQ(reproducibleLate[i], reproducible[0]) << i;
  }
  // Within the bucket the names come in byte order; of the two fonts named
  // alike the first by name is kept, of the two encoding files likewise.
  EXPECT_EQ(reproducible[0].status, 0);
  EXPECT_EQ(reproducible[0].fontsDir,
            "3\na-same-tail.pcf alpha\nb-same-tail.pcf shared\nc-same-tail.pcf gamma\n");
  EXPECT_EQ(reproducible[0].stderrText,
            "lorvane: Duplicate font names shared\n\tb-same-tail.pcf d-same-tail.pcf\n"
            "lorvane: unable to process font fonts/d-same-tail.pcf, skipping\n");
  EXPECT_NE(reproducible[0].encodingsDir.find("shared-enc encs/x1.enc\n"), std::string::npos)
      << reproducible[0].encodingsDir;
}

// --recursive: the directories of a tree come in byte order of their paths
// however the tree was made, so that with --reproducible the whole run is
// alike byte for byte.
TEST(Reproducible, ATreeMadeInTwoOrdersIndexesAlikeRecursively) {
  CreationOrderedDir place;
  if (place.path().empty())
    GTEST_SKIP() << "no file system here lists names in the order they were made";
  ListingSensitiveFiles set;
  const Strings dirs = {"tree/b", "tree/a/z", "tree/a-b", "tree/a/y"};
  Strings outcomes;
  for (int order = 0; order < 2; order++) {
    std::string root = place / ("order" + std::to_string(order));
    MakeDir(root + "/tree");
    for (size_t i = 0; i < dirs.size(); i++) {
      const std::string &dir = dirs[order ? dirs.size() - 1 - i : i];
      MakeDir(root + "/" + dir);
      for (size_t f = 0; f < 4; f++) {
        size_t k = order ? 3 - f : f;
        std::string file = set.files[k].first.substr(set.files[k].first.find('/'));
        WriteFile(root + "/" + dir + file, set.files[k].second);
      }
    }
    ToolResult r = RunIn(root, {"--recursive", "--reproducible", "--verbose", "tree"});
    std::string outcome = std::to_string(r.status) + r.stderrText;
    for (const std::string &dir : dirs) outcome += ReadFile(root + "/" + dir + "/fonts.dir");
    outcomes.push_back(outcome);
    EXPECT_EQ(ListingOrder(root + "/tree").size(), 3u);
  }
  EXPECT_EQ(outcomes[0], outcomes[1]);
  // The summaries say the order: "a-b" before "a/y", '-' before '/'.
  const std::string &o = outcomes[0];
  EXPECT_LT(o.find("tree/a-b: fonts"), o.find("tree/a/y: fonts"));
  EXPECT_LT(o.find("tree/a/y: fonts"), o.find("tree/a/z: fonts"));
  EXPECT_LT(o.find("tree/a/z: fonts"), o.find("tree/b: fonts"));
  EXPECT_EQ(o.find("tree: fonts"), std::string::npos);  // no font there
}

// On any file system: a bucket lists its fonts in the byte order of their
// names, whatever the listing; and the verbose sums of encoding directories.
TEST(ReproducibleVerbose, SingleRuns) {
  const std::string scanned = "lorvane: .: fonts indexed: 0, entries from fonts.scale: 0, files skipped: 0\n";
  RunToolCases({
      // All in one bucket; upper case sorts before lower case, '-' before both.
      {"one bucket in byte order", {},
       {{"b-same-tail.pcf", Pcf("made-1")}, {"B-same-tail.pcf", Pcf("made-2")}, {"--same-tail.pcf", Pcf("made-3")},
        {"a-same-tail.pcf", Pcf("made-4")}},
       {"--reproducible", "."}, 0, "",
       {{"fonts.dir", "4\n--same-tail.pcf made-3\nB-same-tail.pcf made-2\na-same-tail.pcf made-4\nb-same-tail.pcf made-1\n"}}},
      {"encoding directories are summed", {"encs", "encs/sub"},
       {{"encs/one.enc", EncodingFile("first")},
        {"encs/two.enc", "STARTENCODING second\nALIAS second-alias\nSTARTMAPPING unicode\nENDMAPPING\nENDENCODING\n"},
        {"encs/notes.txt", "not an encoding"}},
       {"--verbose", "-r", "-e", "encs", "-e", "missing", "."}, 0,
       "lorvane: encs: encoding files read: 2, encodings declared: 3, files ignored: 2\n" + scanned, {}},
  });
}

// --- --verbose ---------------------------------------------------------------

// Every reason a file with a font suffix can be left out for (but memory
// and an overlong path, below), and every note on an indexed font.
TEST(Verbose, EveryFileLeftOutIsExplainedAndIndexedFontsAreNoted) {
  TempDir d;
  chmod(d.path().c_str(), 0777);  // the tool runs as an ordinary user
  const std::string xlfd = "-misc-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1";
  WriteFile(d / "a.snf", WriteSnf(TypicalSnf("-a" + xlfd.substr(5), 4)));
  WriteFile(d / "a.bdf", "never opened");
  WriteFile(d / "b.pcf", "not a font");
  WriteFile(d / "c.pcf", PcfWithout("FONT"));
  WriteFile(d / "d.pcf", Pcf(xlfd));
  WriteFile(d / "e.pcf", Pcf(xlfd));
  WriteFile(d / "f.pcf", Pcf(std::string(1024, 'f')));
  ASSERT_EQ(symlink("nowhere", (d / "g.pcf").c_str()), 0);
  WriteFile(d / "h.pcf", Pcf("-x-h"));
  chmod((d / "h.pcf").c_str(), 0);
  MakeDir(d / "i.snf");
  ASSERT_EQ(mkfifo((d / "j.pcf").c_str(), 0644), 0);
  WriteFile(d / "k l.pcf", Pcf("-x-kl"));
  WriteFile(d / "target", Pcf("-m" + xlfd.substr(5)));
  ASSERT_EQ(symlink("target", (d / "m.pcf").c_str()), 0);
  WriteFile(d / "n.pcf", Pcf("-n" + xlfd.substr(5)));
  chmod((d / "n.pcf").c_str(), 0600);
  if (geteuid() == 0) {  // the ordinary user the tool runs as owns it
    ASSERT_EQ(chown((d / "n.pcf").c_str(), 65534, 65534), 0);
  }
  WriteFile(d / "o.pcf", Pcf("6x13"));
  WriteFile(d / "fonts.scale", "1\nscaled.pfa -x-scaled\n");

  ToolOptions options;
  options.cwd = d.path();
  options.unprivileged = true;
  ToolResult r = RunTool({"--verbose", "."}, options);
  EXPECT_EQ(r.status, 0);
  auto skip = [](const std::string &file) { return "lorvane: unable to process font ./" + file + ", skipping\n"; };
  auto why = [](const std::string &file, const std::string &reason) {
    return "lorvane: ./" + file + ": " + reason + "\n";
  };
  EXPECT_EQ(r.stderrText,
            why("a.bdf", "another file of the same base name is preferred: a.snf") +
                skip("b.pcf") + why("b.pcf", "not a valid font of its format, or damaged") +
                skip("c.pcf") + why("c.pcf", "no FONT property naming the font") +
                "lorvane: Duplicate font names " + xlfd + "\n\td.pcf e.pcf\n" + skip("e.pcf") +
                why("e.pcf", "same font name as an earlier file: d.pcf") +
                skip("f.pcf") + why("f.pcf", "font name too long") +
                skip("g.pcf") + why("g.pcf", "cannot be opened: No such file or directory") +
                skip("h.pcf") + why("h.pcf", "cannot be opened: Permission denied") +
                skip("i.snf") + why("i.snf", "not a regular file") +
                skip("j.pcf") + why("j.pcf", "not a regular file") +
                skip("k l.pcf") + why("k l.pcf", "file or font name cannot be one line of fonts.dir") +
                why("m.pcf", "note: a symbolic link") +
                why("n.pcf", "note: not readable by all users") +
                why("o.pcf", "note: font name is not a 14-field XLFD name") +
                "lorvane: .: fonts indexed: 5, entries from fonts.scale: 1, files skipped: 10\n");
  // Buckets: a 97 ... o 111, "k l" 384.
  EXPECT_EQ(ReadFile(d / "fonts.dir"),
            "6\na.snf -a-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1\nd.pcf " + xlfd +
                "\nm.pcf -m-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1\n"
                "n.pcf -n-fixed-medium-r-normal--13-120-75-75-c-70-iso8859-1\no.pcf 6x13\n"
                "scaled.pfa -x-scaled\n");
}

TEST(Verbose, APathTooLongIsExplained) {
  TempDir d;
  std::string deep = d.path();
  while (deep.size() < 900) {
    deep += "/" + std::string(100, 'd');
    MakeDir(deep);
  }
  std::string name = std::string(1024 - deep.size() - 4, 'g') + ".pcf";  // the path is 1024
  WriteFile(deep + "/" + name, Pcf("-x-deep"));
  ToolResult r = RunTool({"--verbose", deep});
  EXPECT_EQ(r.stderrText, "lorvane: unable to process font " + deep + "/" + name + ", skipping\n" +
                              "lorvane: " + deep + "/" + name + ": path too long\n" + "lorvane: " +
                              deep + ": fonts indexed: 0, entries from fonts.scale: 0, files skipped: 1\n");
}

// A check explains what it found the same way, on standard error, while its
// report stays on standard output; nothing is written.
TEST(Verbose, ACheckExplainsWhatItFound) {
  TempDir d;
  MakeDir(d / "encs");
  WriteFile(d / "encs/one.enc", EncodingFile("first"));
  WriteFile(d / "a.pcf", Pcf("Alpha"));
  WriteFile(d / "b.pcf", "not a font");
  WriteFile(d / "fonts.dir", "2\na.pcf alpha\nb.pcf beta\n");
  WriteFile(d / "encodings.dir", "1\nfirst encs/one.enc\n");
  const std::string before = Snapshot(d.path());
  ToolResult r = RunIn(d.path(), {"--check", "--verbose", "-r", "-e", "encs", "."});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.stdoutText, "./fonts.dir\n- 2\n+ 1\n- b.pcf beta\n");
  EXPECT_EQ(r.stderrText,
            "lorvane: encs: encoding files read: 1, encodings declared: 1, files ignored: 0\n"
            "lorvane: unable to process font ./b.pcf, skipping\n"
            "lorvane: ./b.pcf: not a valid font of its format, or damaged\n"
            "lorvane: ./a.pcf: note: font name is not a 14-field XLFD name\n"
            "lorvane: .: fonts indexed: 1, entries from fonts.scale: 0, files skipped: 1\n");
  EXPECT_EQ(Snapshot(d.path()), before);
}

}  // namespace
