// fonts.dir and encodings.dir.
//
// An index file is removed first (so a link in its place is removed, not
// written through), then its new content is written into a temporary file
// created exclusively beside it and renamed into place once every byte is
// written and the file is closed.  The index path therefore only ever holds
// a complete file, and a link planted after the removal is never followed.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "tool/driver.h"

namespace {

enum class WriteResult { Written, CannotCreate, CannotWrite };

// The temporary name is the index path followed by '.' and six characters.
constexpr int kTempSuffixLength = 7;

// The temporary name's characters come from a 64-bit linear congruential
// generator with the multiplier and increment of Knuth's MMIX
// (6364136223846793005, 1442695040888963407: full period 2^64).  Its low
// bits repeat with short periods (bit k with period 2^(k+1)), so characters
// are taken from the high bits (>> 33).  The seed is the time with the
// process id moved up 16 bits, clear of the low bits in which the times of
// two runs differ, so that runs seldom start alike; it is made odd so that
// it is never 0 (not seeded yet).  Six of 62 characters make 5.7 * 10^10
// names: an existing name costs one more attempt, and 100 attempts all
// taken is as good as impossible unless someone makes the names on purpose.
// Seeded at the first use; a plain variable rather than a local static,
// which would need the C++ run-time library's guard.
unsigned long seed = 0;

int createTemporary(const char *path, char *tempPath) {
  if (seed == 0)
    seed = (static_cast<unsigned long>(std::time(nullptr)) ^ (static_cast<unsigned long>(getpid()) << 16)) | 1u;
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  size_t length = std::strlen(path);
  for (int attempt = 0; attempt < 100; attempt++) {
    std::memcpy(tempPath, path, length);
    tempPath[length] = '.';
    for (int i = 1; i < kTempSuffixLength; i++) {
      seed = seed * 6364136223846793005ul + 1442695040888963407ul;
      tempPath[length + static_cast<size_t>(i)] = letters[(seed >> 33) % (sizeof letters - 1)];
    }
    tempPath[length + kTempSuffixLength] = '\0';
    // 0666 under the umask, as a plain create would give.
    int fd = ::open(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

template <class Body>
WriteResult writeReplacing(const char *path, Body body) {
  char tempPath[kPathMax + kTempSuffixLength];
  int fd = createTemporary(path, tempPath);
  if (fd < 0) return WriteResult::CannotCreate;
  FILE *file = fdopen(fd, "w");
  if (!file) {
    ::close(fd);
    ::unlink(tempPath);
    return WriteResult::CannotCreate;
  }
  // A line of fonts.dir is some 90 bytes, so 64 KiB takes some 700 lines a
  // system call, where the default page-sized buffer would take 45.  One
  // index file is written at a time, so one buffer serves them all.
  static char buffer[1 << 16];
  std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
  bool ok = body(file);
  ok = !std::ferror(file) && ok;
  ok = std::fclose(file) == 0 && ok;
  if (ok && std::rename(tempPath, path) == 0) return WriteResult::Written;
  ::unlink(tempPath);
  return WriteResult::CannotWrite;
}

// Removal that treats a file already gone as success.
bool removeOld(const char *path) { return ::unlink(path) == 0 || errno == ENOENT; }

bool writeFontsDir(FILE *file, const FontTable *table) {
  if (std::fprintf(file, "%d\n", table->count) < 0) return false;
  for (int i = 0; i < table->count; i++) {
    const FontEntry &e = table->entries[i];
    // A line per font: put together, not formatted.
    if (std::fputs(e.u.bitmap.fileName, file) < 0 || std::putc(' ', file) == EOF ||
        std::fputs(e.name.text, file) < 0 || std::putc('\n', file) == EOF)
      return false;
  }
  return true;
}

bool writeEncodingsDir(FILE *file, const EncodingTable *encodings, int encodingCount) {
  if (std::fprintf(file, "%d\n", encodingCount) < 0) return false;
  for (EncodingEntry *const &bucket : encodings->buckets)
    for (const EncodingEntry *e = bucket; e; e = e->next)
      if (std::fprintf(file, "%s %s%s\n", e->name, prefix, e->file) < 0) return false;
  return true;
}

// "%s/%s" into a path buffer; false when it does not fit.
bool indexPath(char *path, const char *dirname, const char *name) {
  return std::snprintf(path, kPathMax, "%s/%s", dirname, name) < kPathMax;
}

// encodings.dir: every problem is a warning; the directory still succeeds.
void WriteEncodingsDir(const char *dirname, EncodingTable *encodings, int encodingCount) {
  char path[kPathMax];
  if (!indexPath(path, dirname, "encodings.dir")) {
    std::fprintf(stderr, "%s: can't create directory %s/%s\n", progName, dirname, "encodings.dir");
    return;
  }
  if (!removeOld(path)) {
    std::fprintf(stderr, "%s: warning: cannot unlink %s\n", progName, path);
    return;
  }
  if (encodingCount == 0) return;
  switch (writeReplacing(path, [&](FILE *f) { return writeEncodingsDir(f, encodings, encodingCount); })) {
    case WriteResult::Written:
      break;
    case WriteResult::CannotCreate:
      std::fprintf(stderr, "%s: can't create directory %s\n", progName, path);
      break;
    case WriteResult::CannotWrite:
      std::fprintf(stderr, "%s: warning: cannot write %s\n", progName, path);
      break;
  }
}

}  // namespace

bool WriteFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                    int encodingCount) {
  char path[kPathMax];
  if (!indexPath(path, dirname, "fonts.dir")) {
    std::fprintf(stderr, "%s: can't create directory %s/%s\n", progName, dirname, "fonts.dir");
    return false;
  }
  if (!removeOld(path)) {
    std::fprintf(stderr, "%s: cannot unlink %s\n", progName, path);
    return false;
  }
  switch (writeReplacing(path, [&](FILE *f) { return writeFontsDir(f, table); })) {
    case WriteResult::Written:
      break;
    case WriteResult::CannotCreate:
      std::fprintf(stderr, "%s: can't create directory %s\n", progName, path);
      return false;
    case WriteResult::CannotWrite:
      std::fprintf(stderr, "%s: cannot write %s\n", progName, path);
      return false;
  }
  if (have_enc_dir) WriteEncodingsDir(dirname, encodings, encodingCount);
  return true;
}
