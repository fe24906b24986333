#include "fontfile/fileio.h"

#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fontfile/decompress.h"
#include "fontfile/gunzip.h"

namespace {
bool endsWith(const char *s, size_t len, const char *suffix) {
  size_t n = std::strlen(suffix);
  return len >= n && std::memcmp(s + len - n, suffix, n) == 0;
}

// Opens without blocking (a FIFO must not hang the run) and refuses anything
// that is not a regular file: FIFOs, devices and directories can carry a font
// suffix too.
int openRegularFile(const char *path) {
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return -1;
  }
  // O_NONBLOCK changes nothing for a regular file, so it stays set: two
  // system calls fewer per font.
  return fd;
}
}  // namespace

BufFile *FontFileOpen(const char *path) {
  int fd = openRegularFile(path);
  if (fd < 0) return nullptr;
  BufFile *raw = BufFileOpenRead(fd);
  if (!raw) {
    ::close(fd);
    return nullptr;
  }
  size_t len = std::strlen(path);
  BufFile *filtered;
  if (len > 2 && endsWith(path, len, ".Z"))
    filtered = BufFilePushCompressed(raw);
  else if (len > 3 && endsWith(path, len, ".gz"))
    filtered = BufFilePushZIP(raw);
  else
    return raw;
  if (!filtered) {
    BufFileClose(raw, 1);
    return nullptr;
  }
  return filtered;
}

void FontFileClose(BufFile *f) { BufFileClose(f, 1); }
