// Cost of the encoding index: one run of the tool over an -e directory of N
// generated encoding files and 50 (empty) font directories, each of which
// receives the N-line encodings.dir.  N = 0 is the baseline of the same run
// with an empty -e directory; the per-file cost is (time(N) - time(0)) / N.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace {

constexpr int kFontDirs = 50;

// A plausible encoding file: header, then a mapping section the header scan
// never reads.
std::string EncodingText(int i) {
  std::string name = "bench-enc-" + std::to_string(i);
  std::string text = "# generated\nSTARTENCODING " + name + "\nALIAS " + name + "-alias\nSIZE 256\n"
                     "STARTMAPPING unicode\n";
  for (int c = 0xa0; c < 0x100; c++) text += std::to_string(c) + " " + std::to_string(c + 0x100) + "\n";
  return text + "ENDMAPPING\nENDENCODING\n";
}

struct Tree {
  TempDir root;
  std::vector<std::string> args;
  explicit Tree(int files) {
    MakeDir(root / "encs");
    for (int i = 0; i < files; i++) WriteFile(root / ("encs/e" + std::to_string(i) + ".enc"), EncodingText(i));
    args = {"-r", "-e", "encs"};
    for (int d = 0; d < kFontDirs; d++) {
      std::string dir = "fonts" + std::to_string(d);
      MakeDir(root / dir);
      args.push_back(dir);
    }
  }
};

Tree &TreeFor(int files) {
  static std::map<int, std::unique_ptr<Tree>> trees;
  auto &t = trees[files];
  if (!t) t = std::make_unique<Tree>(files);
  return *t;
}

void BM_EncodingIndex(benchmark::State &state) {
  int files = static_cast<int>(state.range(0));
  Tree &tree = TreeFor(files);
  ToolOptions options;
  options.cwd = tree.root.path();
  for (auto _ : state) {
    ToolResult r = RunTool(tree.args, options);
    if (r.status != 0) state.SkipWithError("lorvane failed");
  }
  // Names written: two per file (name and alias), into every font directory.
  std::string index = ReadFile(tree.root / "fonts0/encodings.dir");
  if (files > 0 && index.rfind(std::to_string(2 * files) + "\n", 0) != 0)
    state.SkipWithError("unexpected encodings.dir");
  state.counters["files"] = files;
  state.SetItemsProcessed(state.iterations() * files);
}

BENCHMARK(BM_EncodingIndex)->Arg(0)->Arg(1000)->Arg(2000)->Arg(4000)->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
