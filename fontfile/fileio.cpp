#include "fontfile/fileio.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
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

constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

bool isRegular(int statResult, const struct stat &st) { return statResult == 0 && S_ISREG(st.st_mode); }

// Opens without blocking (a FIFO must not hang the run) and refuses anything
// that is not a regular file: FIFOs, devices and directories can carry a font
// suffix too, and opening a device can act on it, so a device is refused
// before it is opened wherever the listing or a stat can tell.
//
// A file listed as regular is opened without following a link and not
// checked again.  Should it be replaced by a link after the listing, the
// open fails and the link is treated as such; a FIFO or directory put in
// its place reads as no data, and a device node cannot be made there
// without the privilege to make devices.
int openRegularFile(int dirFd, const char *path, FontFileKind kind) {
  struct stat st;
  switch (kind) {
    case FontFileKind::Other:
      return -1;
    case FontFileKind::Regular: {
      int fd = ::openat(dirFd, path, kOpenFlags | O_NOFOLLOW);
      if (fd >= 0 || errno != ELOOP) return fd;
      [[fallthrough]];
    }
    case FontFileKind::Link:
      if (!isRegular(::fstatat(dirFd, path, &st, 0), st)) return -1;
      break;
    case FontFileKind::Unknown:
      break;
  }
  int fd = ::openat(dirFd, path, kOpenFlags);
  if (fd < 0) return -1;
  if (!isRegular(::fstat(fd, &st), st)) {
    ::close(fd);
    return -1;
  }
  // O_NONBLOCK changes nothing for a regular file, so it stays set: two
  // system calls fewer per font.
  return fd;
}
}  // namespace

FontFileKind FontFileKindOfListing(unsigned char type) {
  switch (type) {
    case DT_REG:
      return FontFileKind::Regular;
    case DT_LNK:
      return FontFileKind::Link;
    case DT_UNKNOWN:  // file systems that do not record types
      return FontFileKind::Unknown;
    default:
      return FontFileKind::Other;
  }
}

BufFile *FontFileOpenAt(const FontFileRef &file, BufFilePushProc filter) {
  int fd = openRegularFile(file.dirFd, file.name, file.kind);
  if (fd < 0) return nullptr;
  BufFile *raw = BufFileOpenRead(fd);
  if (!raw) {
    ::close(fd);
    return nullptr;
  }
  if (!filter) return raw;
  BufFile *filtered = filter(raw);
  if (!filtered) {
    BufFileClose(raw, 1);
    return nullptr;
  }
  return filtered;
}

BufFile *FontFileOpen(const char *path) {
  size_t len = std::strlen(path);
  BufFilePushProc filter = nullptr;
  if (len > 2 && endsWith(path, len, ".Z"))
    filter = BufFilePushCompressed;
  else if (len > 3 && endsWith(path, len, ".gz"))
    filter = BufFilePushZIP;
  return FontFileOpenAt({AT_FDCWD, path, FontFileKind::Unknown}, filter);
}

void FontFileClose(BufFile *f) { BufFileClose(f, 1); }
