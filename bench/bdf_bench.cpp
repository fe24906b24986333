// Reading the information of a large BDF font (16 pixels high, mixed widths,
// two-byte codes) with lorvane, beside FreeType loading the same file, at
// 6,000 and 60,000 glyphs to show that the cost grows linearly.
#include <benchmark/benchmark.h>

#include <map>

#include "bitmap/bdfread.h"
#include "fontfile/fileio.h"
#include "tests/support/bdf_writer.h"
#include "tests/support/tempdir.h"

#ifdef LORVANE_HAVE_FREETYPE
#include <ft2build.h>
#include FT_FREETYPE_H
#endif

namespace {

TempDir &benchDir() {
  static TempDir dir;
  return dir;
}

// The font file of `glyphs` glyphs, written once per run.
const std::string &fontFile(int glyphs) {
  static std::map<int, std::string> paths;
  auto it = paths.find(glyphs);
  if (it == paths.end()) {
    std::string path = benchDir() / ("large" + std::to_string(glyphs) + ".bdf");
    WriteFile(path, WriteBdf(BdfLargeFont(glyphs)));
    it = paths.emplace(glyphs, path).first;
  }
  return it->second;
}

void BM_LorvaneBdfReadFontInfo(benchmark::State &state) {
  const std::string &path = fontFile(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    BufFile *file = FontFileOpen(path.c_str());
    FontInfo info = {};
    if (bdfReadFontInfo(&info, file) != Successful) state.SkipWithError("read failed");
    FontFileClose(file);
    FontInfoFreeProps(&info);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_LorvaneBdfReadFontInfo)->Arg(6000)->Arg(60000)->Unit(benchmark::kMillisecond);

#ifdef LORVANE_HAVE_FREETYPE
void BM_FreeTypeNewFace(benchmark::State &state) {
  const std::string &path = fontFile(static_cast<int>(state.range(0)));
  FT_Library library;
  FT_Init_FreeType(&library);
  for (auto _ : state) {
    FT_Face face;
    if (FT_New_Face(library, path.c_str(), 0, &face) != 0) {
      state.SkipWithError("FreeType refused the font");
      break;
    }
    FT_Done_Face(face);
  }
  FT_Done_FreeType(library);
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FreeTypeNewFace)->Arg(6000)->Arg(60000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace

BENCHMARK_MAIN();
