// --check: the index files a run would write, compared with the ones there.
//
// The new bytes come from the formatters the writer uses, so a check and a
// run cannot disagree.  Nothing is created, renamed or removed; an old index
// is only opened for reading.  For each index file that would change, the
// report on standard output is its path, then a line per change: "- " and a
// line that would go, "+ " and a line that would come, in file order.  A last
// line without a newline is followed by "\ no newline at end of file".
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool/driver.h"
#include "tool/linediff.h"

namespace {

// What is at an index path now.
struct OldIndex {
  bool present = false;
  IndexBuffer bytes;
};

bool cannotRead(const char *path, int error) {
  std::fprintf(stderr, "%s: cannot read %s: %s\n", progName, path, std::strerror(error));
  return false;
}

bool outOfMemory() {
  std::fprintf(stderr, "%s: out of memory\n", progName);
  return false;
}

// False, with the message written, when the old index cannot be read.  A
// link is followed: what counts is what a reader of the path gets.  A
// directory in the index's place makes a run fail, so it cannot be checked;
// any other special file would be replaced by a run, and counts as an index
// without lines.
bool readOldIndex(const char *path, OldIndex *old) {
  struct stat st;
  if (::stat(path, &st) != 0) {
    if (errno == ENOENT) return true;
    return cannotRead(path, errno);
  }
  old->present = true;
  if (S_ISDIR(st.st_mode)) return cannotRead(path, EISDIR);
  if (!S_ISREG(st.st_mode)) return true;
  // Non-blocking: a FIFO put in its place since the stat must not hang.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return cannotRead(path, errno);
  char block[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, block, sizeof block);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      int error = errno;
      ::close(fd);
      return cannotRead(path, error);
    }
    if (!old->bytes.put(block, static_cast<size_t>(n))) {
      ::close(fd);
      return outOfMemory();
    }
  }
  ::close(fd);
  return true;
}

void reportLine(void *, char change, const TextLine &line) {
  std::putchar(change);
  std::putchar(' ');
  std::fwrite(line.text, 1, line.length, stdout);
  if (line.length == 0 || line.text[line.length - 1] != '\n')
    std::fputs("\n\\ no newline at end of file\n", stdout);
}

// Compares the index at `path` with `now`, the bytes a run would leave there
// (none: the run leaves no file), and reports the difference.
CheckResult compareIndex(const char *path, const IndexBuffer *now) {
  OldIndex old;
  if (!readOldIndex(path, &old)) return CheckResult::Failed;
  if (!now && !old.present) return CheckResult::Current;
  if (now && old.present && now->size == old.bytes.size &&
      (now->size == 0 || std::memcmp(now->data.get(), old.bytes.data.get(), now->size) == 0))
    return CheckResult::Current;
  LineList oldLines, nowLines;
  if (!SplitLines(old.bytes.data.get(), old.bytes.size, &oldLines) ||
      (now && !SplitLines(now->data.get(), now->size, &nowLines))) {
    outOfMemory();
    return CheckResult::Failed;
  }
  std::printf("%s\n", path);
  if (!DiffLines(oldLines, nowLines, reportLine, nullptr)) {
    outOfMemory();
    return CheckResult::Failed;
  }
  return CheckResult::WouldChange;
}

CheckResult worse(CheckResult a, CheckResult b) { return a > b ? a : b; }

// The index path, or the message when it does not fit.
bool checkPath(char *path, const char *dirname, const char *name) {
  if (IndexPath(path, dirname, name)) return true;
  std::fprintf(stderr, "%s: cannot read %s/%s: %s\n", progName, dirname, name, std::strerror(ENAMETOOLONG));
  return false;
}

}  // namespace

CheckResult CheckFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                           int encodingCount) {
  char path[kPathMax];
  if (!checkPath(path, dirname, "fonts.dir")) return CheckResult::Failed;
  IndexBuffer fontsDir;
  if (!FormatFontsDir(table, &fontsDir)) {
    outOfMemory();
    return CheckResult::Failed;
  }
  CheckResult result = compareIndex(path, &fontsDir);

  EncodingsDirAction action = EncodingsDirActionFor(encodingCount);
  if (action == EncodingsDirAction::Keep) return result;
  if (!checkPath(path, dirname, "encodings.dir")) return CheckResult::Failed;
  if (action == EncodingsDirAction::Remove) return worse(result, compareIndex(path, nullptr));
  IndexBuffer encodingsDir;
  if (!FormatEncodingsDir(encodings, encodingCount, &encodingsDir)) {
    outOfMemory();
    return CheckResult::Failed;
  }
  return worse(result, compareIndex(path, &encodingsDir));
}

int CheckDirectories(const char *const *dirnames, int count, EncodingTable *encodings,
                     int encodingCount) {
  CheckResult result = CheckResult::Current;
  for (int i = 0; i < count; i++) {
    CheckResult one = CheckDirectory(dirnames[i], encodings, encodingCount);
    if (one == CheckResult::Failed) std::fprintf(stderr, "%s: cannot check %s\n", progName, dirnames[i]);
    result = worse(result, one);
  }
  if (!FinishStandardOutput()) return 2;  // a report that did not arrive is no check
  switch (result) {
    case CheckResult::Current:
      return 0;
    case CheckResult::WouldChange:
      return 1;
    case CheckResult::Failed:
      break;
  }
  return 2;
}
