#include "fontfile/bufio.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

#include "util/miscutil.h"

namespace {
int fdOf(BufFile *f) { return static_cast<int>(reinterpret_cast<intptr_t>(f->state)); }

// The stream layer's one cache: records of closed streams, kept for the next
// streams.  A run opens one font after another, each a raw stream with at
// most one filter on it, and a record (its buffer inline) is far beyond the
// allocator's small-block fast path, so taking and returning one per stream
// costs more than the rest of a stream's set-up (bench/NOTES.md).  Two are
// kept: a raw stream's and its filter's.  Taking a kept record counts as an
// allocation request (FontAllocFromCache), so allocation failures reach the
// same points whether a record was kept or not.
constexpr int kKeptRecords = 2;
BufFile *keptRecords[kKeptRecords];
int keptCount = 0;

BufFile *takeRecord() {
  if (keptCount == 0) return static_cast<BufFile *>(FontAlloc(sizeof(BufFile)));
  if (!FontAllocFromCache(sizeof(BufFile))) return nullptr;
  return keptRecords[--keptCount];
}

void keepRecord(BufFile *f) {
  if (keptCount < kKeptRecords)
    keptRecords[keptCount++] = f;
  else
    FontFree(f);
}
}  // namespace

BufFile *BufFileCreate(void *state, BufFileFillProc fill, BufFileSkipProc skip,
                       BufFileCloseProc close) {
  BufFile *f = takeRecord();
  if (!f) return nullptr;
  f->state = state;
  f->fill = fill;
  f->skip = skip;
  f->close = close;
  f->remaining = 0;
  f->cursor = f->data;
  return f;
}

BufFile *BufFileOpenRead(int fd) {
  return BufFileCreate(reinterpret_cast<void *>(static_cast<intptr_t>(fd)), BufFileRawFill,
                       BufFileRawSkip, BufFileRawClose);
}

int BufFileRawFill(BufFile *f) {
  ssize_t n;
  do {
    n = ::read(fdOf(f), f->data, BUFFILESIZE);
  } while (n < 0 && errno == EINTR);
  return BufFileDeliver(f, f->data, n > 0 ? static_cast<int>(n) : 0);
}

int BufFileRawSkip(BufFile *f, int count) {
  if (count < 0) return BUFFILEEOF;  // never move the cursor backwards
  int rest = count - BufFileSkipBuffered(f, count);
  if (rest == 0) return count;
  int fd = fdOf(f);
  if (::lseek(fd, rest, SEEK_CUR) == -1) {
    if (errno != ESPIPE) return BUFFILEEOF;
    // Not seekable (a pipe): read and discard.
    while (rest > 0) {
      int want = rest < BUFFILESIZE ? rest : BUFFILESIZE;
      ssize_t n = ::read(fd, f->data, static_cast<size_t>(want));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return BUFFILEEOF;
      rest -= static_cast<int>(n);
    }
  }
  return count;
}

int BufFileRawClose(BufFile *f, int doClose) {
  if (doClose) ::close(fdOf(f));
  return 1;
}

namespace {
// Takes up to count buffered bytes into buf; how many.
int takeBuffered(BufFile *f, char *buf, int count) {
  int n = count < f->remaining ? count : f->remaining;
  std::memcpy(buf, f->cursor, static_cast<size_t>(n));
  f->cursor += n;
  f->remaining -= n;
  return n;
}

// A large read of a file goes straight to the caller's buffer: one read of
// up to count bytes, its result.
ssize_t readDirect(BufFile *f, char *buf, int count) {
  ssize_t n;
  do {
    n = ::read(fdOf(f), buf, static_cast<size_t>(count));
  } while (n < 0 && errno == EINTR);
  return n;
}

// Up to count bytes into buf; *ended when the read stopped at the end of
// the data.  With stopAtShort, a raw stream whose last fill or direct read
// came back short is taken to be at the end of its file, so the read that
// would find nothing is not made.
int readBytes(BufFile *f, char *buf, int count, bool stopAtShort, bool *ended) {
  bool raw = f->fill == BufFileRawFill;
  int done = 0;
  *ended = false;
  while (done < count) {
    if (f->remaining > 0) {
      done += takeBuffered(f, buf + done, count - done);
      continue;
    }
    // The buffer of a raw stream is spent; a fill that did not fill it
    // read the end of the file.
    if (stopAtShort && raw && f->cursor > f->data && f->cursor < f->data + BUFFILESIZE) {
      *ended = true;
      break;
    }
    if (raw && count - done >= BUFFILESIZE) {
      ssize_t n = readDirect(f, buf + done, count - done);
      if (n > 0) done += static_cast<int>(n);
      if (n <= 0 || (stopAtShort && done < count)) {
        *ended = true;
        break;
      }
      continue;
    }
    int c = f->fill(f);
    if (c == BUFFILEEOF) {
      *ended = true;
      break;
    }
    buf[done++] = static_cast<char>(c);
  }
  return done;
}
}  // namespace

int BufFileRead(BufFile *f, char *buf, int count) {
  bool ended;
  return readBytes(f, buf, count, false, &ended);
}

int BufFileReadSome(BufFile *f, char *buf, int count, bool *ended) {
  return readBytes(f, buf, count, true, ended);
}

int BufFileAheadFill(BufFile *f, const unsigned char **bytes) {
  int c = f->fill(f);
  if (c != BUFFILEEOF) {
    // The fill took the first of the bytes it delivered, the one just
    // before the cursor: it is given back.
    --f->cursor;
    ++f->remaining;
  }
  *bytes = f->cursor;
  return f->remaining;
}

int BufFileSkipBuffered(BufFile *f, int count) {
  int n = count < f->remaining ? count : f->remaining;
  f->cursor += n;
  f->remaining -= n;
  return n;
}

int BufFileSkipByFilling(BufFile *f, int count) {
  if (count < 0) return BUFFILEEOF;
  int left = count - BufFileSkipBuffered(f, count);
  while (left > 0) {
    if (f->fill(f) == BUFFILEEOF) return BUFFILEEOF;
    --left;
    left -= BufFileSkipBuffered(f, left);
  }
  return count;
}

void BufFileClose(BufFile *f, int doClose) {
  f->close(f, doClose);
  keepRecord(f);
}
