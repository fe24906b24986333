// The encoding index: every -e directory's encoding files, by the names
// they declare.  The first -e directory that declares a name keeps it; within
// one directory a ".gz" file is preferred to a ".Z" file, which is preferred
// to an uncompressed one.
#include <cstdio>
#include <cstring>
#include <utility>

#include "fontenc/encparse.h"
#include "tool/driver.h"
#include "tool/listing.h"
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
  // The files of "." are named bare; others after the directory and a '/'.
  const char *prefix = std::strcmp(dirname, ".") == 0 ? "" : dirname;
  char path[kPathMax];
  if (!JoinPath(path, sizeof path, prefix, "", Slash::IfMissing)) {
    std::fprintf(stderr, "%s: directory name `%s' too long\n", progName, dirname);
    return false;
  }
  DirectoryListing listing(dirname, settings.reproducible);
  if (!listing.isOpen()) return false;
  int filesRead = 0, namesDeclared = 0, filesIgnored = 0;
  enum class Outcome { Read, Ignored, OutOfMemory };
  auto readFile = [&](const char *name) {
    if (!JoinPath(path, sizeof path, prefix, name, Slash::IfMissing)) {
      std::fprintf(stderr, "%s: warning: filename `%s/%s' too long, ignored\n", progName, dirname,
                   name);
      return Outcome::Ignored;
    }
    char **names = identifyEncodingFile(path);
    if (!names) return Outcome::Ignored;  // not an encoding file: passed over silently
    // encodings.dir holds one entry per line: the path of an encoding file
    // with a newline in its name would forge lines (and break the count), so
    // such a file is left out.
    if (std::strchr(name, '\n')) {
      std::fprintf(stderr, "%s: warning: filename `%s/%s' contains a newline, ignored\n", progName,
                   dirname, name);
      freeNames(names);
      return Outcome::Ignored;
    }
    char *file = savePath(path);
    if (!file) {
      freeNames(names);
      return Outcome::OutOfMemory;
    }
    for (char **n = names; *n; n++, namesDeclared++)
      if (!InsertEncoding(encodings, *n, file, position)) {
        std::fprintf(stderr, "%s: warning: failed to insert encoding %s\n", progName, *n);
        FontFree(*n);
      }
    FontFree(names);
    return Outcome::Read;
  };
  bool outOfMemory = false;
  bool listed = listing.forEach([&](const char *name, unsigned char) {
    switch (readFile(name)) {
      case Outcome::Read:
        ++filesRead;
        break;
      case Outcome::Ignored:
        if (std::strcmp(name, ".") != 0 && std::strcmp(name, "..") != 0) ++filesIgnored;
        break;
      case Outcome::OutOfMemory:
        outOfMemory = true;  // the rest of the directory is not read
        break;
    }
    return !outOfMemory;
  });
  if (outOfMemory || !listed) std::fprintf(stderr, "%s: warning: out of memory.\n", progName);
  if (settings.verbose)
    std::fprintf(stderr, "%s: %s: encoding files read: %d, encodings declared: %d, files ignored: %d\n",
                 progName, dirname, filesRead, namesDeclared, filesIgnored);
  return true;
}

int CountEncodings(const EncodingTable *encodings) {
  int count = 0;
  for (EncodingEntry *const &bucket : encodings->buckets)
    for (const EncodingEntry *e = bucket; e; e = e->next) count++;
  return count;
}
