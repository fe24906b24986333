#include "tool/driver.h"

const char *progName = "lorvane";
const char *prefix = "";
bool relative = false;
bool have_enc_dir = false;

bool DoDirectory(const char *dirname, EncodingTable *encodings, int encodingCount) {
  FontTable table;
  if (!FontFileInitTable(&table, 100)) return false;
  bool ok = LoadDirectory(dirname, &table) && LoadScalable(dirname, &table) &&
            WriteFontTable(dirname, &table, encodings, encodingCount);
  FontFileFreeTable(&table);
  return ok;
}
