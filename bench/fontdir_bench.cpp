// Indexing n distinct names with the duplicate check before each addition,
// as the directory scan does: with the exact-name index the cost grows
// linearly; the plain pattern scan (index dropped) grows with n squared.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "fontfile/fontdir.h"
#include "util/miscutil.h"

namespace {

std::vector<std::string> Names(int n) {
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; i++)
    names.push_back("-misc-fixed-medium-r-normal--" + std::to_string(i) + "-120-75-75-c-60-iso10646-1");
  return names;
}

void IndexNames(benchmark::State &state, bool scanOnly) {
  std::vector<std::string> names = Names(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    FontTable table;
    FontFileInitTable(&table, 100);
    table.indexDropped = scanOnly;
    for (const std::string &name : names) {
      FontName n{const_cast<char *>(name.c_str()), static_cast<int16_t>(name.size()),
                 static_cast<int16_t>(FontFileCountDashes(name.c_str(), static_cast<int>(name.size())))};
      if (FontFileFindNameInDir(&table, &n)) state.SkipWithError("unexpected duplicate");
      FontEntry proto{};
      proto.name = n;
      proto.kind = FontEntryBitmap;
      proto.u.bitmap.fileName = FontFileSaveString("file.pcf");
      FontFileAddEntry(&table, &proto);
    }
    benchmark::DoNotOptimize(table.count);
    FontFileFreeTable(&table);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_IndexedNames(benchmark::State &state) { IndexNames(state, false); }
void BM_ScannedNames(benchmark::State &state) { IndexNames(state, true); }

// Long runs: the first iterations of the large size pay for the process
// growing its heap, which a steady-state comparison should not count.
BENCHMARK(BM_IndexedNames)->Arg(10000)->Arg(100000)->MinTime(2.0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ScannedNames)->Arg(3000)->Arg(30000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
