// The bytes of an index file held in memory, for a check: the new bytes a
// run would write and the old file's.  They are kept in pieces of whole
// lines, each within the allocation ceiling, so that an index of any size
// can be held: a piece grows by doubling up to the ceiling, and a line that
// does not fit the rest of a full piece moves, whole, to a new one.  Only a
// single line longer than the ceiling cannot be held.
#pragma once

#include <cstddef>
#include <cstring>

#include "util/growarray.h"

class IndexText {
 public:
  IndexText() = default;
  ~IndexText();
  IndexText(const IndexText &) = delete;
  IndexText &operator=(const IndexText &) = delete;

  // False when memory is short or a line is longer than the ceiling
  // (lineTooLong() tells which).
  bool put(const char *bytes, size_t length) {
    // Most puts are a few bytes into the last piece's room.
    if (pieces_.count() > 0) {
      Piece &last = pieces_[pieces_.count() - 1];
      if (length <= last.capacity - last.size) {
        std::memcpy(last.data + last.size, bytes, length);
        last.size += length;
        size_ += length;
        return true;
      }
    }
    return putBeyond(bytes, length);
  }
  bool lineTooLong() const { return lineTooLong_; }

  size_t size() const { return size_; }
  size_t pieceCount() const { return pieces_.count(); }
  const char *pieceData(size_t i) const { return pieces_[i].data; }
  size_t pieceSize(size_t i) const { return pieces_[i].size; }

  // The same bytes, however each is cut into pieces.
  bool operator==(const IndexText &other) const;
  // The number of lines, a last one without a newline counted.
  size_t lineCount() const;

 private:
  struct Piece {
    char *data;
    size_t size, capacity;
  };
  bool makeRoom();
  bool putBeyond(const char *bytes, size_t length);

  GrowArray<Piece> pieces_;
  size_t size_ = 0;
  bool lineTooLong_ = false;
};

// What stands at an index path, read for a comparison with new bytes.
enum class OldIndex {
  Missing,     // nothing
  Read,        // a regular file, its bytes held
  NotRegular,  // a link (when links are not followed), FIFO, device or socket: never opened
  Directory,
  Failed,      // it could not be read (`error`) or held (`error` 0; lineTooLong() tells why)
};
// Reads the index at `path` into `bytes` (empty).  With `followLinks` the
// file a reader of the path gets is read; without, only a regular file
// standing there itself, so that a link is never mistaken for the index.
// Opening never blocks, and what is opened must still be a regular file.
OldIndex ReadOldIndex(const char *path, bool followLinks, IndexText *bytes, int *error);
