// Gzip input filter.
//
// A gzip member is a header (RFC 1952), a raw deflate body and an 8-byte
// trailer (CRC-32, length).  The filter parses the header itself, hands the
// body to zlib's raw inflate (no zlib framing, no checksum) and decodes on
// demand, one output buffer at a time.  Only the first member is read; the
// trailer and anything after it are left unread.
#include "fontfile/gunzip.h"

#include <cstring>
#include <zlib.h>

#include "util/miscutil.h"

namespace {

// Inflate resolves back-references within the output of one call directly
// and, unless the member ends in that call, copies its output into its
// 32 KiB window at the end of it.  With an output buffer of twice the window,
// most references stay inside the buffer and the window copy is paid for half
// the bytes (bench/NOTES.md has what 8 KiB pieces cost).
// Every call asks for Z_FINISH: a member that ends within the first buffer
// (most fonts) then never allocates or fills a window at all.
constexpr int kGzipBufSize = 2 * 32768;

// Header flag bits.
constexpr int kFlagHeaderCrc = 0x02;
constexpr int kFlagExtra = 0x04;
constexpr int kFlagName = 0x08;
constexpr int kFlagComment = 0x10;
constexpr int kFlagReserved = 0xE0;

struct GzipFilterState {
  z_stream z;
  int status;  // Z_OK while the member goes on; anything else ends the data
  unsigned char outBuffer[kGzipBufSize];  // the filter stream delivers from here
  // Inflate's input is the source's own buffer (see takeInput): no copy.
  BufFile *source;
};

// zlib's own allocations go through the library's wrappers, so that they
// obey the allocation ceiling and failure injection reaches them.
voidpf zlibAlloc(voidpf, uInt items, uInt size) { return FontAllocArray(items, size); }
void zlibFree(voidpf, voidpf p) { FontFree(p); }

// Passes over a zero-terminated string, the terminator included, taking the
// buffered bytes in bulk.  False when the data ends first.
bool skipString(BufFile *f) {
  for (;;) {
    if (f->remaining > 0) {
      auto *end = static_cast<unsigned char *>(
          std::memchr(f->cursor, 0, static_cast<size_t>(f->remaining)));
      if (end) {
        int used = static_cast<int>(end - f->cursor) + 1;
        f->cursor += used;
        f->remaining -= used;
        return true;
      }
      f->cursor += f->remaining;
      f->remaining = 0;
    }
    int c = f->fill(f);
    if (c == BUFFILEEOF) return false;
    if (c == 0) return true;
  }
}

// Passes over exactly count header bytes; false when the data ends first.
// The skip goes through fill so that a header cut short is noticed (a raw
// stream's seek would pass the end of the file without complaint).
bool skipBytes(BufFile *f, int count) { return BufFileSkipByFilling(f, count) != BUFFILEEOF; }

// Hands inflate every byte that the source has buffered, in place, and
// marks them consumed; fills the source only when nothing is buffered.  By
// the fill contract the byte a fill returns is the one just before the
// cursor, so a fresh buffer is handed over whole.  The bytes stay where they
// are until the source is filled again, which only happens here, once
// inflate has used them all.  Filling only on demand also means that a file
// whose compressed data ends within one buffer is never read again to find
// its end.  At the end of the source there is no input to hand over.
void takeInput(GzipFilterState *x) {
  BufFile *in = x->source;
  if (in->remaining > 0) {
    x->z.next_in = in->cursor;
    x->z.avail_in = static_cast<uInt>(in->remaining);
  } else if (in->fill(in) != BUFFILEEOF) {
    x->z.next_in = in->cursor - 1;
    x->z.avail_in = static_cast<uInt>(in->remaining) + 1;
  } else {
    x->z.avail_in = 0;
    return;
  }
  in->cursor += in->remaining;
  in->remaining = 0;
}

int BufZipFileFill(BufFile *f);
int BufZipFileSkip(BufFile *f, int count);
int BufZipFileClose(BufFile *f, int doClose);

}  // namespace

// 0 when a valid member header was read and passed over; the source is then
// on the first byte of the deflate data.
static int BufCheckZipHeader(BufFile *in) {
  if (BufFileGetByte(in) != 0x1F || BufFileGetByte(in) != 0x8B) return 1;
  if (BufFileGetByte(in) != Z_DEFLATED) return 1;
  int flags = BufFileGetByte(in);
  if (flags == BUFFILEEOF || (flags & kFlagReserved)) return 1;
  // Modification time (4), extra flags (1), operating system (1).
  if (!skipBytes(in, 6)) return 1;
  if (flags & kFlagExtra) {
    int lo = BufFileGetByte(in);
    int hi = BufFileGetByte(in);
    if (lo == BUFFILEEOF || hi == BUFFILEEOF) return 1;
    if (!skipBytes(in, lo | (hi << 8))) return 1;
  }
  if ((flags & kFlagName) && !skipString(in)) return 1;
  if ((flags & kFlagComment) && !skipString(in)) return 1;
  // The header checksum is passed over, not verified.
  if ((flags & kFlagHeaderCrc) && !skipBytes(in, 2)) return 1;
  return 0;
}

// A state ready for a member; none when memory is short.
static GzipFilterState *newState() {
  FontPtr<GzipFilterState> x(static_cast<GzipFilterState *>(FontAlloc(sizeof(GzipFilterState))));
  if (!x) return nullptr;
  std::memset(&x->z, 0, sizeof(x->z));
  x->z.zalloc = zlibAlloc;
  x->z.zfree = zlibFree;
  x->z.opaque = Z_NULL;
  // Negative window bits: raw deflate with a 32 KiB window.
  if (inflateInit2(&x->z, -MAX_WBITS) != Z_OK) return nullptr;
  x->status = Z_OK;
  return x.release();
}

static void freeState(GzipFilterState *x) {
  inflateEnd(&x->z);
  FontFree(x);
}

BufFile *BufFilePushZIP(BufFile *source) {
  // The header first: data that is not gzip costs no allocation.
  if (BufCheckZipHeader(source) != 0) return nullptr;
  GzipFilterState *x = newState();
  if (!x) return nullptr;
  x->source = source;
  BufFile *f = BufFileCreate(x, BufZipFileFill, BufZipFileSkip, BufZipFileClose);
  if (!f) {
    freeState(x);
    return nullptr;
  }
  return f;
}

namespace {

int BufZipFileFill(BufFile *f) {
  auto *x = static_cast<GzipFilterState *>(f->state);
  f->remaining = 0;
  if (x->status != Z_OK) return BUFFILEEOF;
  x->z.next_out = x->outBuffer;
  x->z.avail_out = kGzipBufSize;
  while (x->z.avail_out > 0) {
    // When the source has ended inside the deflate data, inflate is still
    // called, without input: if the input ran out just as the last buffer
    // filled, it holds the rest of a match and perhaps whole codes in its
    // bit buffer.
    bool starved = false;
    if (x->z.avail_in == 0) {
      takeInput(x);
      starved = x->z.avail_in == 0;
    }
    uInt inBefore = x->z.avail_in, outBefore = x->z.avail_out;
    int result = inflate(&x->z, Z_FINISH);
    // Short of the end of the member, Z_FINISH makes inflate report a
    // buffer error after every call.  With input, that is the end only when
    // nothing moved.  Without input, inflate has given all it held unless
    // it filled the buffer; then the next fill calls it again.
    bool more = starved ? x->z.avail_out == 0
                        : x->z.avail_in != inBefore || x->z.avail_out != outBefore;
    if (result == Z_BUF_ERROR && more) continue;
    if (result != Z_OK) {
      x->status = result;
      break;
    }
  }
  int n = kGzipBufSize - static_cast<int>(x->z.avail_out);
  if (n == 0) return BUFFILEEOF;
  f->cursor = x->outBuffer + 1;
  f->remaining = n - 1;
  return x->outBuffer[0];
}

int BufZipFileSkip(BufFile *f, int count) { return BufFileSkipByFilling(f, count); }

int BufZipFileClose(BufFile *f, int doClose) {
  auto *x = static_cast<GzipFilterState *>(f->state);
  BufFileClose(x->source, doClose);
  freeState(x);
  return 1;
}

}  // namespace
