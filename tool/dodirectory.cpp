#include "tool/driver.h"

#include <cstring>

const char *progName = "lorvane";
const char *prefix = "";
bool relative = false;
bool have_enc_dir = false;
bool reproducible = false;
bool verbose = false;

bool DoDirectory(const char *dirname, EncodingTable *encodings, int encodingCount) {
  FontTable table;
  if (!FontFileInitTable(&table, 100)) return false;
  ScanCounts counts;
  bool ok = LoadDirectory(dirname, &table, &counts) && LoadScalable(dirname, &table);
  if (ok && verbose)
    std::fprintf(stderr, "%s: %s: fonts indexed: %d, entries from fonts.scale: %d, files skipped: %d\n",
                 progName, dirname, counts.indexed, table.count - counts.indexed, counts.skipped);
  ok = ok && WriteFontTable(dirname, &table, encodings, encodingCount);
  FontFileFreeTable(&table);
  return ok;
}

bool JoinPath(char *path, size_t size, const char *dir, const char *name, Slash slash) {
  size_t dirLength = std::strlen(dir), nameLength = std::strlen(name);
  size_t slashLength =
      slash == Slash::Always || (dirLength > 0 && dir[dirLength - 1] != '/') ? 1 : 0;
  if (dirLength + slashLength + nameLength >= size) return false;
  std::memcpy(path, dir, dirLength);
  path[dirLength] = '/';
  std::memcpy(path + dirLength + slashLength, name, nameLength + 1);
  return true;
}
