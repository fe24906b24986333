// Regenerates the generated files the repository keeps, and the directory of
// the benchmark:
//   make_samples samples DIR      the sample fonts (samples/fonts)
//   make_samples seeds PCF SNF    the fuzz seeds (fuzz/corpus/pcf, fuzz/corpus/snf)
//   make_samples bench DIR N      N small PCF fonts
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/samples.h"

int main(int argc, char **argv) {
  std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "samples" && argc == 3) {
    WriteFileSet(argv[2], SampleFonts());
  } else if (mode == "seeds" && argc == 4) {
    WriteFileSet(argv[2], PcfSeeds());
    WriteFileSet(argv[3], SnfSeeds());
  } else if (mode == "bench" && argc == 4) {
    int n = std::atoi(argv[3]);
    FileSet files;
    for (int i = 0; i < n; i++) files["bench" + std::to_string(i) + ".pcf"] = BenchFont(i);
    WriteFileSet(argv[2], files);
  } else {
    std::fprintf(stderr, "usage: %s samples DIR | seeds PCFDIR SNFDIR | bench DIR COUNT\n", argv[0]);
    return 2;
  }
  return 0;
}
