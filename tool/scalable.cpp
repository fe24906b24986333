// fonts.scale: a count line, then entries of a file name (a run of
// non-white-space), white space (line breaks allowed) and a font name (the
// rest of the line, inner and trailing spaces kept).  Each field holds at
// most kPathMax - 1 bytes; a longer field is cut there and its rest is read
// as the next field, so no field ever overflows its buffer.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fontfile/bufio.h"
#include "fontfile/fontreader.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

// White space and digits of the C locale, which the tool runs in.
bool isWhite(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool isDigit(int c) { return c >= '0' && c <= '9'; }

// Takes characters while keepGoing(c) holds, at most `room` of them, looking
// at the buffered bytes in bulk; stores them into buf unless it is none.
// The character that stops the run stays unread.  Returns how many were
// taken.
template <class Predicate>
size_t takeWhile(FontReader *r, char *buf, size_t room, Predicate keepGoing) {
  size_t n = 0;
  const unsigned char *bytes;
  for (size_t held; n < room && (held = FontReaderAhead(r, &bytes)) > 0;) {
    size_t limit = held < room - n ? held : room - n;
    size_t i = 0;
    while (i < limit && keepGoing(bytes[i])) i++;
    if (buf) std::memcpy(buf + n, bytes, i);
    FontReaderConsume(r, i);
    n += i;
    if (i < limit) break;
  }
  return n;
}

// Passes over white space; the next character, not taken (-1 at the end).
int skipWhite(FontReader *r) {
  takeWhile(r, nullptr, SIZE_MAX, isWhite);
  return FontReaderPeek(r);
}

// Reads a field into buf (of kPathMax bytes) while keepGoing(c) holds and
// the buffer has room.  NUL bytes are stored like any other and end the
// field's text when it is used.
template <class Predicate>
void readField(FontReader *r, char *buf, Predicate keepGoing) {
  buf[takeWhile(r, buf, kPathMax - 1, keepGoing)] = '\0';
}

// The count: optional white space, an optional sign, one digit or more.
bool readCount(FontReader *r) {
  int c = skipWhite(r);
  if (c == '+' || c == '-') {
    FontReaderConsume(r, 1);
    c = FontReaderPeek(r);
  }
  if (!isDigit(c)) return false;
  takeWhile(r, nullptr, SIZE_MAX, isDigit);
  return true;
}

// The null device under any name or link: compared by device number.
bool isNullDevice(const struct stat &st) {
  struct stat null;
  return S_ISCHR(st.st_mode) && ::stat("/dev/null", &null) == 0 && S_ISCHR(null.st_mode) &&
         st.st_rdev == null.st_rdev;
}

enum class ScaleFile { Opened, HoldsNothing, Failed, OutOfMemory };

// Opens fonts.scale without blocking on a FIFO.  A directory and the null
// device open and give no count when read, so they hold nothing to merge and
// are not read at all.  Any other file that is not a regular one is refused
// with EINVAL: a FIFO could block the run and a device could hand out
// entries without end.  Failed leaves the reason in errno; OutOfMemory: no
// stream could be made for the file.
ScaleFile openScalable(const char *path, BufFile **file) {
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
  *file = BufFileOpenRead(fd);
  if (!*file) {
    ::close(fd);
    return ScaleFile::OutOfMemory;
  }
  return ScaleFile::Opened;
}

}  // namespace

ScalableResult ReadScalableEntries(BufFile *file, FontTable *table) {
  FontReader reader;
  FontReaderInit(&reader, file);
  FontReader *r = &reader;
  if (!readCount(r)) return ScalableResult::Done;
  char fileName[kPathMax];
  char fontName[kPathMax];
  for (;;) {
    if (skipWhite(r) == BUFFILEEOF) return ScalableResult::Done;
    readField(r, fileName, [](int c) { return !isWhite(c); });
    if (skipWhite(r) == BUFFILEEOF) return ScalableResult::BadFormat;
    readField(r, fontName, [](int c) { return c != '\n'; });
    if (!AddEntry(table, fontName, fileName)) return ScalableResult::OutOfMemory;
  }
}

bool LoadScalable(const char *dirname, FontTable *table) {
  char path[kPathMax];
  if (!JoinPath(path, sizeof path, dirname, "fonts.scale", Slash::IfMissing)) {
    // The path does not fit: report it as the system would.
    size_t dirLength = std::strlen(dirname);
    const char *slash = dirLength > 0 && dirname[dirLength - 1] == '/' ? "" : "/";
    std::fprintf(stderr, "%s%sfonts.scale: %s\n", dirname, slash, std::strerror(ENAMETOOLONG));
    return false;
  }
  BufFile *file = nullptr;
  ScalableResult result = ScalableResult::OutOfMemory;
  switch (openScalable(path, &file)) {
    case ScaleFile::Opened:
      result = ReadScalableEntries(file, table);
      BufFileClose(file, 1);
      break;
    case ScaleFile::HoldsNothing:
      return true;
    case ScaleFile::Failed:
      if (errno == ENOENT) return true;  // no fonts.scale: nothing to merge
      std::perror(path);
      return false;
    case ScaleFile::OutOfMemory:
      break;  // no stream for the file: told as for an entry
  }
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
