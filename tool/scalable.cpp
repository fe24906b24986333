// fonts.scale: a count line, then entries of a file name (a run of
// non-white-space), white space (line breaks allowed) and a font name (the
// rest of the line, inner and trailing spaces kept).  Each field holds at
// most kPathMax - 1 bytes; a longer field is cut there and its rest is read
// as the next field, so no field ever overflows its buffer.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

bool isWhite(int c) { return c != EOF && std::isspace(c); }

// The next character that is not white space (EOF included).
int skipWhite(FILE *file) {
  int c;
  do c = getc_unlocked(file);
  while (isWhite(c));
  return c;
}

// Reads characters into buf (of kPathMax bytes) starting with `first`, while
// keepGoing(c) holds and the buffer has room; the character that stopped the
// field is pushed back.  NUL bytes are stored like any other and end the
// field's text when it is used.
template <class Predicate>
void readField(FILE *file, int first, char *buf, Predicate keepGoing) {
  int n = 0;
  int c = first;
  while (c != EOF && keepGoing(c) && n < kPathMax - 1) {
    buf[n++] = static_cast<char>(c);
    c = getc_unlocked(file);
  }
  if (c != EOF) ungetc(c, file);
  buf[n] = '\0';
}

// The count: optional white space, an optional sign, one digit or more.
bool readCount(FILE *file) {
  int c = skipWhite(file);
  if (c == '+' || c == '-') c = getc_unlocked(file);
  if (c == EOF || !std::isdigit(c)) return false;
  do c = getc_unlocked(file);
  while (c != EOF && std::isdigit(c));
  if (c != EOF) ungetc(c, file);
  return true;
}

// The null device under any name or link: compared by device number.
bool isNullDevice(const struct stat &st) {
  struct stat null;
  return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
         st.st_rdev == null.st_rdev;
}

enum class ScaleFile { Opened, HoldsNothing, Failed };

// Opens fonts.scale without blocking on a FIFO.  A directory and the null
// device open and give no count when read, so they hold nothing to merge and
// are not read at all.  Any other file that is not a regular one is refused
// with EINVAL: a FIFO could block the run and a device could hand out
// entries without end.  Failed leaves the reason in errno.
ScaleFile openScalable(const char *path, FILE **file) {
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return ScaleFile::Failed;
  struct stat st;
  int error = ::fstat(fd, &st) != 0 ? errno : 0;
  if (error == 0 && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode) || isNullDevice(st)) {
      ::close(fd);
      return ScaleFile::HoldsNothing;
    }
    error = EINVAL;
  }
  if (error != 0) {
    ::close(fd);
    errno = error;
    return ScaleFile::Failed;
  }
  ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  *file = fdopen(fd, "r");
  if (!*file) {
    error = errno;
    ::close(fd);
    errno = error;
    return ScaleFile::Failed;
  }
  return ScaleFile::Opened;
}

}  // namespace

bool AddEntry(FontTable *table, const char *fontName, const char *fileName) {
  FontEntry prototype;
  size_t length = std::strlen(fontName);
  if (length > INT16_MAX) return false;
  prototype.name.text = const_cast<char *>(fontName);
  prototype.name.length = static_cast<int16_t>(length);
  prototype.name.dashCount = static_cast<int16_t>(FontFileCountDashes(fontName, static_cast<int>(length)));
  prototype.kind = FontEntryBitmap;
  prototype.u.bitmap.renderer = nullptr;
  prototype.u.bitmap.fileName = FontFileSaveString(fileName);
  if (!prototype.u.bitmap.fileName) return false;
  if (!FontFileAddEntry(table, &prototype)) {
    FontFree(prototype.u.bitmap.fileName);
    return false;
  }
  return true;
}

ScalableResult ReadScalableEntries(FILE *file, FontTable *table) {
  if (!readCount(file)) return ScalableResult::Done;
  char fileName[kPathMax];
  char fontName[kPathMax];
  for (;;) {
    int c = skipWhite(file);
    if (c == EOF) return ScalableResult::Done;
    readField(file, c, fileName, [](int ch) { return !isWhite(ch); });
    c = skipWhite(file);
    if (c == EOF) return ScalableResult::BadFormat;
    readField(file, c, fontName, [](int ch) { return ch != '\n'; });
    if (!AddEntry(table, fontName, fileName)) return ScalableResult::OutOfMemory;
  }
}

bool LoadScalable(const char *dirname, FontTable *table) {
  char path[kPathMax];
  size_t dirLength = std::strlen(dirname);
  const char *slash = dirLength > 0 && dirname[dirLength - 1] == '/' ? "" : "/";
  if (std::snprintf(path, sizeof path, "%s%sfonts.scale", dirname, slash) >= kPathMax) {
    // The path does not fit: report it as the system would.
    errno = ENAMETOOLONG;
    std::fprintf(stderr, "%s%sfonts.scale: %s\n", dirname, slash, std::strerror(errno));
    return false;
  }
  FILE *file = nullptr;
  switch (openScalable(path, &file)) {
    case ScaleFile::Opened:
      break;
    case ScaleFile::HoldsNothing:
      return true;
    case ScaleFile::Failed:
      if (errno == ENOENT) return true;  // no fonts.scale: nothing to merge
      std::perror(path);
      return false;
  }
  ScalableResult result = ReadScalableEntries(file, table);
  std::fclose(file);
  switch (result) {
    case ScalableResult::Done:
      return true;
    case ScalableResult::OutOfMemory:
      std::fprintf(stderr, "%s: out of memory\n", progName);
      return false;
    case ScalableResult::BadFormat:
      std::fprintf(stderr, "%s: bad format for %s file\n", progName, path);
      return false;
  }
  return false;
}
