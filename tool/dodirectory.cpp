#include "tool/driver.h"

#include <cstring>

const char *progName = "lorvane";
Settings settings;

namespace {

// The table a run writes for the directory: its fonts, then the entries of
// its fonts.scale.  A verbose run sums the directory up here, where a run and
// a check both pass.
bool LoadFontTable(const char *dirname, FontTable *table) {
  ScanCounts counts;
  if (!LoadDirectory(dirname, table, &counts) || !LoadScalable(dirname, table)) return false;
  if (settings.verbose)
    std::fprintf(stderr, "%s: %s: fonts indexed: %d, entries from fonts.scale: %d, files skipped: %d\n",
                 progName, dirname, counts.indexed, table->count - counts.indexed, counts.skipped);
  return true;
}

}  // namespace

bool DoDirectory(const char *dirname, EncodingTable *encodings, int encodingCount) {
  FontTable table;
  if (!FontFileInitTable(&table, 100)) return false;
  bool ok = LoadFontTable(dirname, &table) && WriteFontTable(dirname, &table, encodings, encodingCount);
  FontFileFreeTable(&table);
  return ok;
}

CheckResult CheckDirectory(const char *dirname, EncodingTable *encodings, int encodingCount) {
  FontTable table;
  if (!FontFileInitTable(&table, 100)) return CheckResult::Failed;
  CheckResult result = LoadFontTable(dirname, &table)
                           ? CheckFontTable(dirname, &table, encodings, encodingCount)
                           : CheckResult::Failed;
  FontFileFreeTable(&table);
  return result;
}
