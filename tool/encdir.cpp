// The encoding index: every -e directory's encoding files, by the names
// they declare.  The first -e directory that declares a name keeps it; within
// one directory a ".gz" file is preferred to a ".Z" file, which is preferred
// to an uncompressed one.
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <utility>

#include "fontenc/encparse.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

const char *const encodingExtensions[] = {".gz", ".Z"};

// 0 for ".gz", 1 for ".Z", -1 for neither.
int compressionClass(const char *path) {
  size_t length = std::strlen(path);
  for (int i = 0; i < 2; i++) {
    size_t n = std::strlen(encodingExtensions[i]);
    if (length >= n && std::strcmp(path + length - n, encodingExtensions[i]) == 0) return i;
  }
  return -1;
}

// The path copies of the table: an entry may give up its file for a better
// one, so the copies are kept on a list of their own for the whole run.
struct SavedPath {
  SavedPath *next;
  char path[1];
};
SavedPath *savedPaths = nullptr;

char *savePath(const char *path) {
  size_t n = std::strlen(path);
  auto *saved = static_cast<SavedPath *>(FontAlloc(sizeof(SavedPath) + n));
  if (!saved) return nullptr;
  std::memcpy(saved->path, path, n + 1);
  saved->next = savedPaths;
  savedPaths = saved;
  return saved->path;
}

// Releases a list from identifyEncodingFile that the table does not take.
void freeNames(char **names) {
  for (char **n = names; *n; n++) FontFree(*n);
  FontFree(names);
}

struct DirCloser {
  void operator()(DIR *d) const { closedir(d); }
};

}  // namespace

bool CompareEncodingFiles(const char *fileA, const char *fileB) {
  int a = compressionClass(fileA);
  int b = compressionClass(fileB);
  return a >= 0 && (b < 0 || a < b);
}

bool InsertEncoding(EncodingTable *encodings, char *name, char *file, int position) {
  EncodingEntry **bucket = &encodings->buckets[Hash(name) % kEncodingBuckets];
  for (EncodingEntry *e = *bucket; e; e = e->next) {
    if (std::strcmp(e->name, name) != 0) continue;
    if (e->argIndex > position ||
        (e->argIndex == position && CompareEncodingFiles(file, e->file))) {
      std::swap(e->name, name);
      e->file = file;
      e->argIndex = position;
    }
    FontFree(name);  // the text the entry does not keep
    return true;
  }
  auto *entry = static_cast<EncodingEntry *>(FontAlloc(sizeof(EncodingEntry)));
  if (!entry) return false;
  entry->name = name;
  entry->file = file;
  entry->argIndex = position;
  entry->next = *bucket;
  *bucket = entry;
  return true;
}

bool LoadEncodings(EncodingTable *encodings, const char *dirname, int position) {
  char path[kPathMax];
  size_t prefixLength = 0;
  if (std::strcmp(dirname, ".") != 0) {
    prefixLength = std::strlen(dirname);
    bool hasSlash = prefixLength > 0 && dirname[prefixLength - 1] == '/';
    if (prefixLength + (hasSlash ? 0 : 1) >= kPathMax) {
      std::fprintf(stderr, "%s: directory name `%s' too long\n", progName, dirname);
      return false;
    }
    std::memcpy(path, dirname, prefixLength);
    if (!hasSlash) path[prefixLength++] = '/';
  }
  std::unique_ptr<DIR, DirCloser> dir(opendir(dirname));
  if (!dir) return false;
  while (dirent *entry = readdir(dir.get())) {
    size_t nameLength = std::strlen(entry->d_name);
    if (prefixLength + nameLength >= kPathMax) {
      std::fprintf(stderr, "%s: warning: filename `%s/%s' too long, ignored\n", progName, dirname,
                   entry->d_name);
      continue;
    }
    std::memcpy(path + prefixLength, entry->d_name, nameLength + 1);
    char **names = identifyEncodingFile(path);
    if (!names) continue;  // not an encoding file: passed over silently
    // encodings.dir holds one entry per line: the path of an encoding file
    // with a newline in its name would forge lines (and break the count), so
    // such a file is left out.
    if (std::memchr(entry->d_name, '\n', nameLength)) {
      std::fprintf(stderr, "%s: warning: filename `%s/%s' contains a newline, ignored\n", progName,
                   dirname, entry->d_name);
      freeNames(names);
      continue;
    }
    char *file = savePath(path);
    if (!file) {
      freeNames(names);
      std::fprintf(stderr, "%s: warning: out of memory.\n", progName);
      break;
    }
    for (char **n = names; *n; n++)
      if (!InsertEncoding(encodings, *n, file, position)) {
        std::fprintf(stderr, "%s: warning: failed to insert encoding %s\n", progName, *n);
        FontFree(*n);
      }
    FontFree(names);
  }
  return true;
}

int CountEncodings(const EncodingTable *encodings) {
  int count = 0;
  for (EncodingEntry *const &bucket : encodings->buckets)
    for (const EncodingEntry *e = bucket; e; e = e->next) count++;
  return count;
}
