#include "fontfile/fileio.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "fontfile/decompress.h"
#include "fontfile/gunzip.h"
#include "util/miscutil.h"

namespace {
bool endsWith(const char *s, size_t len, const char *suffix) {
  size_t n = std::strlen(suffix);
  return len >= n && std::memcmp(s + len - n, suffix, n) == 0;
}

constexpr int kOpenFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Records why the open failed (when the caller asked) and gives the failed
// result.
int refuse(FontFileFailure *failure, FontFileProblem problem, int error = 0) {
  if (failure) *failure = {problem, error};
  return -1;
}

// -1 with the reason when the stat failed or found no regular file.
int checkRegular(int statResult, const struct stat &st, FontFileFailure *failure) {
  if (statResult != 0) return refuse(failure, FontFileProblem::CannotOpen, errno);
  if (!S_ISREG(st.st_mode)) return refuse(failure, FontFileProblem::NotRegular);
  return 0;
}

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
int openRegularFile(const FontFileRef &file, FontFileFailure *failure) {
  struct stat st;
  switch (file.kind) {
    case FontFileKind::Other:
      return refuse(failure, FontFileProblem::NotRegular);
    case FontFileKind::Regular: {
      int fd = ::openat(file.dirFd, file.name, kOpenFlags | O_NOFOLLOW);
      if (fd >= 0) return fd;
      if (errno != ELOOP) return refuse(failure, FontFileProblem::CannotOpen, errno);
      [[fallthrough]];
    }
    case FontFileKind::Link:
      if (checkRegular(::fstatat(file.dirFd, file.name, &st, 0), st, failure) < 0) return -1;
      break;
    case FontFileKind::Unknown:
      break;
  }
  int fd = ::openat(file.dirFd, file.name, kOpenFlags);
  if (fd < 0) return refuse(failure, FontFileProblem::CannotOpen, errno);
  if (checkRegular(::fstat(fd, &st), st, failure) < 0) {
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

BufFile *FontFileOpenAt(const FontFileRef &file, BufFilePushProc filter,
                        FontFileFailure *failure) {
  int fd = openRegularFile(file, failure);
  if (fd < 0) return nullptr;
  BufFile *raw = BufFileOpenRead(fd);
  if (!raw) {
    ::close(fd);
    refuse(failure, FontFileProblem::NoMemory);
    return nullptr;
  }
  if (!filter) return raw;
  bool outOfMemory = false;
  BufFile *filtered = filter(raw, &outOfMemory);
  if (!filtered) {
    BufFileClose(raw, 1);
    refuse(failure, outOfMemory ? FontFileProblem::NoMemory : FontFileProblem::BadData);
    return nullptr;
  }
  return filtered;
}

const FileCompression kCompressions[kCompressionCount] = {
    {".Z", BufFilePushCompressed},
    {".gz", BufFilePushZIP},
};

const FileCompression *FileCompressionOf(const char *name) {
  size_t len = std::strlen(name);
  for (const FileCompression &c : kCompressions)
    if (endsWith(name, len, c.suffix)) return &c;
  return nullptr;
}

BufFile *FontFileOpen(const char *path, FontFileFailure *failure) {
  const FileCompression *c = FileCompressionOf(path);
  BufFilePushProc filter = c && std::strlen(path) > std::strlen(c->suffix) ? c->filter : nullptr;
  return FontFileOpenAt({AT_FDCWD, path, FontFileKind::Unknown}, filter, failure);
}

void FontFileClose(BufFile *f) { BufFileClose(f, 1); }
