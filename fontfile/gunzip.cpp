// Gzip input filter.
//
// A gzip member is a header (RFC 1952), a raw deflate body and an 8-byte
// trailer (CRC-32, length).  The filter parses the header itself and
// decodes the body in one of two ways, to the same bytes and the same end:
//   - whole: the rest of the file is read at once, and the filter's own
//     whole-buffer decoder (deflatedecode) decodes the body into one buffer
//     sized by the trailer's length, which the filter then delivers;
//   - streaming: zlib's raw inflate (no zlib framing, no checksum) decodes
//     on demand, one output buffer at a time, from the start of the body.
// Every member that the whole way cannot take, or whose decoding it cannot
// vouch for, is streamed: a build without the whole way, a file or a
// trailer length past the whole way's budget (below), a trailer length
// that the compressed bytes could not produce, corrupt or cut data, another
// member or other bytes where the trailer should be, a stream that
// decoders read differently, or no memory.
// Only the first member is delivered; the trailer is never checked.
#include "fontfile/gunzip.h"

#include <cstring>
#include <zlib.h>

#include "fontfile/deflatedecode.h"
#include "fontfile/fontreader.h"
#include "util/growarray.h"
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

// The fixed part of a member header: its fields and their offsets.
constexpr int kFixedHeaderSize = 10;
constexpr int kMagic1 = 0;  // 0x1F
constexpr int kMagic2 = 1;  // 0x8B
constexpr int kMethod = 2;  // 8: deflate, the only method defined
constexpr int kFlags = 3;
// 4 to 7: modification time; 8: extra flags; 9: operating system.

// Flag bits, each announcing an optional field after the fixed part, in
// this order: extra (a 2-byte length, least significant byte first, then
// that many bytes), name and comment (zero-terminated), header checksum (2
// bytes).  The reserved bits must be 0.
constexpr int kFlagHeaderCrc = 0x02;
constexpr int kFlagExtra = 0x04;
constexpr int kFlagName = 0x08;
constexpr int kFlagComment = 0x10;
constexpr int kFlagReserved = 0xE0;

// The whole way holds the rest of the file and the member's output at once,
// so it takes only members whose both fit a budget, whatever a file holds
// or its trailer claims: the largest fonts shipped compressed decode to a
// few MiB from a quarter of that.  Streaming needs only its fixed buffers,
// so no member costs more than 4 + 8 MiB and the filter's own buffers.
constexpr size_t kWholeInputLimit = size_t{4} << 20;
constexpr size_t kWholeOutputLimit = size_t{8} << 20;

// Deflate's largest expansion: a match of 258 bytes in two bits, so no
// more than 1032 output bytes per input byte.
constexpr size_t kMaxDeflateRatio = 1032;

struct GzipFilterState {
  z_stream z;
  int status;  // Z_OK while the member goes on; anything else ends the data
  bool decided;  // the way of decoding this member is chosen
  unsigned char outBuffer[kGzipBufSize];  // the filter stream delivers from here
  // Inflate reads the source's buffered bytes where they lie (see
  // BufZipFileFill): no copy.
  FontReader source;
  // The rest of the file as read for the whole way: the member's deflate
  // data and what follows.  When the member is streamed, inflate takes
  // these first (`inHeld` while it holds some of them), then the source.
  unsigned char *held;
  size_t heldSize, heldTaken;
  bool inHeld;
  unsigned char *whole;  // the whole way's output
};

// zlib's own allocations go through the library's wrappers, so that they
// obey the allocation ceiling and failure injection reaches them.
voidpf zlibAlloc(voidpf, uInt items, uInt size) { return FontAllocArray(items, size); }
void zlibFree(voidpf, voidpf p) { FontFree(p); }

// Reads and passes over a member header; true when it is valid and whole,
// the source then on the first byte of the deflate data.
bool readHeader(FontReader *r) {
  unsigned char fixed[kFixedHeaderSize];
  if (!FontReaderRead(r, fixed, sizeof fixed)) return false;
  if (fixed[kMagic1] != 0x1F || fixed[kMagic2] != 0x8B || fixed[kMethod] != Z_DEFLATED) return false;
  int flags = fixed[kFlags];
  if (flags & kFlagReserved) return false;
  if (flags & kFlagExtra) {
    uint16_t length = FontReaderGet16(r, false);
    if (r->ended || !FontReaderSkip(r, length)) return false;
  }
  if ((flags & kFlagName) && !FontReaderSkipPast(r, 0)) return false;
  if ((flags & kFlagComment) && !FontReaderSkipPast(r, 0)) return false;
  // The header checksum is passed over, not verified.
  if ((flags & kFlagHeaderCrc) && !FontReaderSkip(r, 2)) return false;
  return true;
}

int BufZipFileFill(BufFile *f);
int BufZipFileSkip(BufFile *f, int count);
int BufZipFileClose(BufFile *f, int doClose);

}  // namespace

// A state ready for a member; none when memory is short (inflate's set-up
// fails for nothing else).
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
  x->decided = false;
  x->held = x->whole = nullptr;
  x->heldSize = x->heldTaken = 0;
  x->inHeld = false;
  return x.release();
}

static void freeState(GzipFilterState *x) {
  inflateEnd(&x->z);
  FontFree(x->held);
  FontFree(x->whole);
  FontFree(x);
}

bool GzipDecodesWholeMembers() {
#ifdef LORVANE_WHOLE_MEMBERS
  return true;
#else
  return false;
#endif
}

BufFile *BufFilePushZIP(BufFile *source, bool *outOfMemory) {
  // The header first: data that is not gzip costs no allocation.
  FontReader reader;
  FontReaderInit(&reader, source);
  if (!readHeader(&reader)) return BufFilePushRefused(outOfMemory, false);
  GzipFilterState *x = newState();
  if (!x) return BufFilePushRefused(outOfMemory, true);
  x->source = reader;
  BufFile *f = BufFileCreate(x, BufZipFileFill, BufZipFileSkip, BufZipFileClose);
  if (!f) {
    freeState(x);
    return BufFilePushRefused(outOfMemory, true);
  }
  return f;
}

namespace {

// Reads the rest of the source into `held`, at most kWholeInputLimit bytes.
// False when there is more or memory is short; what was read is held all
// the same, for inflate to take first.
bool holdRest(GzipFilterState *x) {
  // Most fonts' compressed data fits the first size; a larger file doubles
  // it until the limit.
  size_t capacity = 0;
  for (;;) {
    if (x->heldSize == capacity) {
      void *block = x->held;
      if (!GrowRoom(&block, &capacity, capacity + 1, 1, kGzipBufSize, kWholeInputLimit)) return false;
      x->held = static_cast<unsigned char *>(block);
    }
    bool ended;
    x->heldSize += FontReaderReadSome(&x->source, x->held + x->heldSize, capacity - x->heldSize, &ended);
    if (ended) return true;
  }
}

// Decodes the member the whole way into `whole`; the number of bytes in
// *produced.  False when the member is to be streamed.
bool decodeWhole(GzipFilterState *x, size_t *produced) {
  if (!holdRest(x) || x->heldSize < 4) return false;
  // The trailer's length, if the file ends with the member's trailer.  It
  // is believed only as a buffer size within what the compressed bytes
  // could produce: a wrong one makes the decoder stop short and the member
  // is streamed.
  const unsigned char *t = x->held + x->heldSize - 4;
  size_t size = t[0] | size_t{t[1]} << 8 | size_t{t[2]} << 16 | size_t{t[3]} << 24;
  if (size > kWholeOutputLimit || size / kMaxDeflateRatio > x->heldSize) return false;
  // The decoder takes only members that zlib would deliver to the same
  // bytes and end (DeflateDecodeStrict).
  FontPtr<unsigned char> out(static_cast<unsigned char *>(FontAlloc(size > 0 ? size : 1)));
  if (!out || !DeflateDecodeStrict(x->held, x->heldSize, out.get(), size, produced)) return false;
  x->whole = out.release();
  return true;
}

// When it streams, inflate takes the bytes held for the whole way first,
// if any, then the source's buffered bytes where they lie, as it uses them:
// the bytes it holds are the source's unread bytes and stay in place; the
// source fills only when inflate has used them all.  Filling only on demand
// also means that a file whose compressed data ends within one buffer is
// never read again to find its end.
int BufZipFileFill(BufFile *f) {
  auto *x = static_cast<GzipFilterState *>(f->state);
  if (!x->decided) {
    x->decided = true;
    size_t n;
    if (GzipDecodesWholeMembers() && decodeWhole(x, &n)) {
      x->status = Z_STREAM_END;
      return BufFileDeliver(f, x->whole, static_cast<int>(n));
    }
  }
  if (x->status != Z_OK) return BufFileDeliver(f, x->outBuffer, 0);
  x->z.next_out = x->outBuffer;
  x->z.avail_out = kGzipBufSize;
  while (x->z.avail_out > 0) {
    // When the source has ended inside the deflate data, inflate is still
    // called, without input: if the input ran out just as the last buffer
    // filled, it holds the rest of a match and perhaps whole codes in its
    // bit buffer.
    if (x->z.avail_in == 0) {
      x->inHeld = x->heldTaken < x->heldSize;
      if (x->inHeld) {
        x->z.next_in = x->held + x->heldTaken;
        x->z.avail_in = static_cast<uInt>(x->heldSize - x->heldTaken);
        x->heldTaken = x->heldSize;
      } else {
        const unsigned char *ahead;
        x->z.avail_in = static_cast<uInt>(FontReaderAhead(&x->source, &ahead));
        x->z.next_in = const_cast<Bytef *>(ahead);
      }
    }
    bool starved = x->z.avail_in == 0;
    uInt inBefore = x->z.avail_in, outBefore = x->z.avail_out;
    int result = inflate(&x->z, Z_FINISH);
    if (!x->inHeld) FontReaderConsume(&x->source, inBefore - x->z.avail_in);
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
  return BufFileDeliver(f, x->outBuffer, kGzipBufSize - static_cast<int>(x->z.avail_out));
}

int BufZipFileSkip(BufFile *f, int count) { return BufFileSkipByFilling(f, count); }

int BufZipFileClose(BufFile *f, int doClose) {
  auto *x = static_cast<GzipFilterState *>(f->state);
  BufFileClose(x->source.file, doClose);
  freeState(x);
  return 1;
}

}  // namespace
