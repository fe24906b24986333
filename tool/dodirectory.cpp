#include "tool/driver.h"

#include <cstring>

const char *progName = "lorvane";
Settings settings;

namespace {

// The table a run writes for the directory: its fonts, then the entries of
// its fonts.scale: the one there, or, in a --scalable run, the one made from
// its outline fonts (into `scale`), after the .otb strikes.  A verbose run
// sums the directory up here, where a run and a check both pass.
bool LoadFontTable(const char *dirname, FontTable *table, IndexLines *scale) {
  ScanCounts counts;
  if (!LoadDirectory(dirname, table, &counts)) return false;
  if (scalableRun ? !LoadFaces(dirname, table, scale, &counts) || !MergeScaleLines(*scale, table)
                  : !LoadScalable(dirname, table))
    return false;
  if (!settings.verbose) return true;
  std::fprintf(stderr, "%s: %s: fonts indexed: %d, entries from fonts.scale: %d, files skipped: %d",
               progName, dirname, counts.indexed, table->count - counts.indexed, counts.skipped);
  if (scalableRun)
    std::fprintf(stderr, ", outline and .otb files: %d, left out: %d", counts.faceFiles, counts.faceLeftOut);
  std::fputc('\n', stderr);
  return true;
}

}  // namespace

bool DoDirectory(const char *dirname, EncodingTable *encodings, int encodingCount) {
  FontTable table;
  if (!FontFileInitTable(&table, 100)) return false;
  IndexLines scale;
  bool ok = LoadFontTable(dirname, &table, &scale) &&
            (!scalableRun || WriteFontsScale(dirname, scale, &table)) &&
            WriteFontTable(dirname, &table, encodings, encodingCount);
  FontFileFreeTable(&table);
  return ok;
}

CheckResult CheckDirectory(const char *dirname, EncodingTable *encodings, int encodingCount) {
  FontTable table;
  if (!FontFileInitTable(&table, 100)) return CheckResult::Failed;
  IndexLines scale;
  CheckResult result = LoadFontTable(dirname, &table, &scale)
                           ? CheckFontTable(dirname, &table, encodings, encodingCount,
                                            scalableRun ? &scale : nullptr)
                           : CheckResult::Failed;
  FontFileFreeTable(&table);
  return result;
}
