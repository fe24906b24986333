#include "tool/driver.h"

const char *progName = "lorvane";
const char *prefix = "";
bool relative = false;
bool have_enc_dir = false;
bool reproducible = false;
bool verbose = false;
bool checkOnly = false;

namespace {

// The table a run writes for the directory: its fonts, then the entries of
// its fonts.scale.
bool LoadFontTable(const char *dirname, FontTable *table) {
  return LoadDirectory(dirname, table) && LoadScalable(dirname, table);
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
