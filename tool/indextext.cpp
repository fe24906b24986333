#include "tool/indextext.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr size_t kFirstRoom = 4096;
constexpr size_t kPieceRoom = kFontAllocLimit;
}  // namespace

IndexText::~IndexText() {
  for (size_t i = 0; i < pieces_.count(); i++) FontFree(pieces_[i].data);
}

// Room for at least one more byte in the last piece.
bool IndexText::makeRoom() {
  Piece *last = pieces_.count() ? &pieces_[pieces_.count() - 1] : nullptr;
  if (last && last->capacity < kPieceRoom) {
    void *block = last->data;
    if (!GrowRoom(&block, &last->capacity, last->capacity + 1, 1, kFirstRoom, kPieceRoom)) return false;
    last->data = static_cast<char *>(block);
    return true;
  }
  // A new piece; the unfinished line at the end of a full one moves to it.
  size_t carried = 0;
  if (last) {
    const void *newline = nullptr;
    for (size_t i = last->size; i > 0 && !newline; i--)
      if (last->data[i - 1] == '\n') newline = last->data + i - 1;
    if (!newline) {
      lineTooLong_ = true;
      return false;
    }
    carried = last->size - static_cast<size_t>(static_cast<const char *>(newline) + 1 - last->data);
  }
  Piece piece{nullptr, 0, 0};
  void *block = nullptr;
  if (!GrowRoom(&block, &piece.capacity, carried + 1, 1, kFirstRoom, kPieceRoom)) return false;
  piece.data = static_cast<char *>(block);
  if (!pieces_.push(piece)) {
    FontFree(piece.data);
    return false;
  }
  if (carried > 0) {
    Piece &full = pieces_[pieces_.count() - 2], &fresh = pieces_[pieces_.count() - 1];
    full.size -= carried;
    std::memcpy(fresh.data, full.data + full.size, carried);
    fresh.size = carried;
  }
  return true;
}

bool IndexText::putBeyond(const char *bytes, size_t length) {
  while (length > 0) {
    Piece *last = pieces_.count() ? &pieces_[pieces_.count() - 1] : nullptr;
    if (!last || last->size == last->capacity) {
      if (!makeRoom()) return false;
      continue;
    }
    size_t n = last->capacity - last->size < length ? last->capacity - last->size : length;
    std::memcpy(last->data + last->size, bytes, n);
    last->size += n;
    size_ += n;
    bytes += n;
    length -= n;
  }
  return true;
}

bool IndexText::operator==(const IndexText &other) const {
  if (size_ != other.size_) return false;
  size_t a = 0, b = 0, atA = 0, atB = 0;
  while (a < pieces_.count() && b < other.pieces_.count()) {
    const Piece &x = pieces_[a], &y = other.pieces_[b];
    size_t n = x.size - atA < y.size - atB ? x.size - atA : y.size - atB;
    if (n > 0 && std::memcmp(x.data + atA, y.data + atB, n) != 0) return false;
    atA += n;
    atB += n;
    if (atA == x.size) a++, atA = 0;
    if (atB == y.size) b++, atB = 0;
  }
  return true;
}

size_t IndexText::lineCount() const {
  size_t lines = 0;
  for (size_t i = 0; i < pieces_.count(); i++) {
    const char *p = pieces_[i].data, *end = p + pieces_[i].size;
    while (p < end) {
      const void *newline = std::memchr(p, '\n', static_cast<size_t>(end - p));
      p = newline ? static_cast<const char *>(newline) + 1 : end;
      lines++;
    }
  }
  return lines;
}

namespace {

OldIndex failed(int *error, int value) {
  *error = value;
  return OldIndex::Failed;
}

// The bytes of the open regular file `fd` into `bytes`.
OldIndex readAll(int fd, IndexText *bytes, int *error) {
  char block[1 << 16];
  for (;;) {
    ssize_t n = ::read(fd, block, sizeof block);
    if (n == 0) return OldIndex::Read;
    if (n < 0) {
      if (errno == EINTR) continue;
      return failed(error, errno);
    }
    if (!bytes->put(block, static_cast<size_t>(n))) return failed(error, 0);
  }
}

}  // namespace

OldIndex ReadOldIndex(const char *path, bool followLinks, IndexText *bytes, int *error) {
  struct stat st;
  if ((followLinks ? ::stat(path, &st) : ::lstat(path, &st)) != 0)
    return errno == ENOENT ? OldIndex::Missing : failed(error, errno);
  if (S_ISDIR(st.st_mode)) return OldIndex::Directory;
  if (!S_ISREG(st.st_mode)) return OldIndex::NotRegular;
  // Something else may be put in its place after the stat: a FIFO must not
  // hang the open, a link must not be followed when links are not.
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW));
  if (fd < 0) return failed(error, errno);
  OldIndex result = ::fstat(fd, &st) != 0 ? failed(error, errno)
                    : S_ISREG(st.st_mode) ? readAll(fd, bytes, error)
                                          : OldIndex::NotRegular;
  ::close(fd);
  return result;
}
