// Forward-only buffered byte streams.
//
// A BufFile delivers bytes 0..255 and the end-of-data value -1 through three
// exchangeable operations:
//   fill  - called only when the buffered bytes are spent; produces n >= 0
//           bytes into a buffer that lives as long as the stream and ends
//           with BufFileDeliver(f, buffer, n), which makes them the stream's
//           buffered bytes and takes and returns the first (-1 for n = 0).
//   skip  - passes over count >= 0 bytes; -1 if the data ended first.  It
//           passes over the buffered bytes with BufFileSkipBuffered.
//   close - releases what the implementation holds; a filter passes the
//           close-flag on to the stream beneath it.
// A raw stream reads a file descriptor.  A filter stream (gzip, LZW) keeps the
// stream beneath it in its private state and produces decoded bytes from it,
// so filters stack on a raw stream and every reader sees the same interface.
// Closing a filter closes the stream beneath it.
//
// Readers take bytes one at a time (BufFileGetByte), in blocks
// (BufFileRead), or look at the buffered bytes where they lie without taking
// them (BufFileAhead) and then take what they used (BufFileConsume).  Only
// this interface and bufio.cpp touch `cursor` and `remaining`.
#pragma once

#include <cstdint>

constexpr int BUFFILESIZE = 8192;
constexpr int BUFFILEEOF = -1;

struct BufFile;
// A filter's push: the filtered stream over `raw`, or none when `raw` does
// not begin as the filter's data or memory is short (`raw` then still
// belongs to the caller); then *outOfMemory, unless none, tells which.
typedef BufFile *(*BufFilePushProc)(BufFile *raw, bool *outOfMemory);
typedef int (*BufFileFillProc)(BufFile *f);
typedef int (*BufFileSkipProc)(BufFile *f, int count);
typedef int (*BufFileCloseProc)(BufFile *f, int doClose);

struct BufFile {
  // The buffered bytes: private to this interface and bufio.cpp.
  unsigned char *cursor;  // next unread byte
  int remaining;          // unread bytes from cursor on
  unsigned char data[BUFFILESIZE];
  BufFileFillProc fill;
  BufFileSkipProc skip;
  BufFileCloseProc close;
  void *state;  // raw: the descriptor; filter: its private record
};

BufFile *BufFileCreate(void *state, BufFileFillProc fill, BufFileSkipProc skip,
                       BufFileCloseProc close);
BufFile *BufFileOpenRead(int fd);

// The hot path of every reader: a compare, a decrement and a load.
inline int BufFileGetByte(BufFile *f) {
  if (__builtin_expect(f->remaining > 0, 1)) {
    --f->remaining;
    return *f->cursor++;
  }
  return f->fill(f);
}

// Gives back the byte that the last BufFileGetByte returned, so that the next
// read returns it again.  Only once, and only right after a read that gave a
// byte (not the end of the data): that byte lies just before the cursor,
// whichever of the fast path or a fill (BufFileDeliver) delivered it.
inline void BufFileUngetByte(BufFile *f) {
  --f->cursor;
  ++f->remaining;
}

// The bytes buffered ahead of the reader, shown without taking them (the
// stream fills when none are buffered): their count, 0 at the end of the
// data.  They stay where they are until the stream is read or filled again.
int BufFileAheadFill(BufFile *f, const unsigned char **bytes);
inline int BufFileAhead(BufFile *f, const unsigned char **bytes) {
  if (__builtin_expect(f->remaining > 0, 1)) {
    *bytes = f->cursor;
    return f->remaining;
  }
  return BufFileAheadFill(f, bytes);
}

// Takes count bytes of those that BufFileAhead showed.
inline void BufFileConsume(BufFile *f, int count) {
  f->cursor += count;
  f->remaining -= count;
}

// Up to count bytes into buf; fewer only at the end of the data.
int BufFileRead(BufFile *f, char *buf, int count);
// Like BufFileRead, but for reading a file to its end: stops without the
// read that would find nothing once a read of a raw stream came back short,
// which for a regular file is its end.  *ended tells that it stopped for
// that or at the end of the data; a caller that must be sure reads on.
int BufFileReadSome(BufFile *f, char *buf, int count, bool *ended);
inline int BufFileSkip(BufFile *f, int count) { return f->skip(f, count); }
// Closes the stream; its record is kept for a later BufFileCreate.
void BufFileClose(BufFile *f, int doClose);

// For the implementations of fill and skip.
//
// Ends a fill: the n bytes at `buffer` become the stream's buffered bytes,
// and the first of them is taken and returned; with n = 0 the data has ended
// (for now: a later fill may try again) and the result is -1.
inline int BufFileDeliver(BufFile *f, unsigned char *buffer, int n) {
  if (n <= 0) {
    f->remaining = 0;
    return BUFFILEEOF;
  }
  f->cursor = buffer + 1;
  f->remaining = n - 1;
  return buffer[0];
}
// Passes over as many of count bytes as are buffered, without filling;
// returns how many that was.
int BufFileSkipBuffered(BufFile *f, int count);
// Skip for streams that can only produce bytes by filling: passes over the
// buffered bytes in bulk and fills again as often as needed.  Returns count,
// or -1 when the data ends first.
int BufFileSkipByFilling(BufFile *f, int count);

// Ends a filter's push that failed (see BufFilePushProc): none, and
// *outOfMemory (unless none) set to whether memory was short.
inline BufFile *BufFilePushRefused(bool *outOfMemory, bool memory) {
  if (outOfMemory) *outOfMemory = memory;
  return nullptr;
}

// The raw descriptor operations.
int BufFileRawFill(BufFile *f);
int BufFileRawSkip(BufFile *f, int count);
int BufFileRawClose(BufFile *f, int doClose);
