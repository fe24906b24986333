// The decoder adapter: libdeflate when the build found it, else nothing.
#include "fontfile/deflateengine.h"

#ifdef LORVANE_HAVE_LIBDEFLATE
#include <libdeflate.h>

#include "fontfile/deflatecheck.h"
#include "util/miscutil.h"

bool DeflateEngineAvailable() { return true; }

unsigned char *DeflateEngineDecode(const unsigned char *in, size_t size, size_t outSize,
                                   size_t *produced) {
  // The decoder reads some malformed blocks that zlib refuses (reserved
  // codes, oversized or incomplete codes): a stream is decoded only once
  // the check has found none.  The check reaches no further than the
  // decoder, and a stream it turns away costs no output buffer.
  if (!DeflateStreamIsStrict(in, size)) return nullptr;
  // The decoder's state (its tables, some 10 KiB) is made for this member
  // alone, through the library's wrappers like all of its memory.
  libdeflate_set_memory_allocator(FontAlloc, FontFree);
  libdeflate_decompressor *d = libdeflate_alloc_decompressor();
  if (!d) return nullptr;
  FontPtr<unsigned char> out(static_cast<unsigned char *>(FontAlloc(outSize > 0 ? outSize : 1)));
  bool ok = out && libdeflate_deflate_decompress_ex(d, in, size, out.get(), outSize, nullptr,
                                                    produced) == LIBDEFLATE_SUCCESS;
  libdeflate_free_decompressor(d);
  return ok ? out.release() : nullptr;
}

#else

bool DeflateEngineAvailable() { return false; }
unsigned char *DeflateEngineDecode(const unsigned char *, size_t, size_t, size_t *) { return nullptr; }

#endif
