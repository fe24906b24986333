// Regenerates the generated files the repository keeps, and the directory of
// the benchmark:
//   make_samples samples DIR      the sample fonts (samples/fonts)
//   make_samples seeds PCF SNF    the fuzz seeds (fuzz/corpus/pcf, fuzz/corpus/snf)
//   make_samples bench DIR N [GLYPHS W H [drawn]]
//                                 N PCF fonts (by default small ones; else
//                                 of GLYPHS glyphs W x H each, with
//                                 glyph-like bitmaps when "drawn")
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
  } else if (mode == "bench" && (argc == 4 || argc == 7 || (argc == 8 && std::string(argv[7]) == "drawn"))) {
    int n = std::atoi(argv[3]);
    int glyphs = argc >= 7 ? std::atoi(argv[4]) : 95;
    int w = argc >= 7 ? std::atoi(argv[5]) : 6;
    int h = argc >= 7 ? std::atoi(argv[6]) : 13;
    if (n < 0 || glyphs < 1 || glyphs > 65536 || w < 1 || w > 256 || h < 1 || h > 256) {
      std::fprintf(stderr, "%s: bench: counts or sizes out of range\n", argv[0]);
      return 2;
    }
    FileSet files;
    for (int i = 0; i < n; i++) files["bench" + std::to_string(i) + ".pcf"] = BenchFont(i, glyphs, w, h, argc == 8);
    WriteFileSet(argv[2], files);
  } else {
    std::fprintf(stderr, "usage: %s samples DIR | seeds PCFDIR SNFDIR | bench DIR COUNT [GLYPHS W H [drawn]]\n", argv[0]);
    return 2;
  }
  return 0;
}
