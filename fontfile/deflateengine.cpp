// The whole-member way: an output buffer and the decoder, when the build
// has the way.
#include "fontfile/deflateengine.h"

#ifdef LORVANE_WHOLE_MEMBERS
#include "fontfile/deflatedecode.h"
#include "util/miscutil.h"

bool DeflateEngineAvailable() { return true; }

unsigned char *DeflateEngineDecode(const unsigned char *in, size_t size, size_t outSize,
                                   size_t *produced) {
  FontPtr<unsigned char> out(static_cast<unsigned char *>(FontAlloc(outSize > 0 ? outSize : 1)));
  if (!out || !DeflateDecodeStrict(in, size, out.get(), outSize, produced)) return nullptr;
  return out.release();
}

#else

bool DeflateEngineAvailable() { return false; }
unsigned char *DeflateEngineDecode(const unsigned char *, size_t, size_t, size_t *) { return nullptr; }

#endif
