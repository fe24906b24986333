// The whole-buffer deflate decoder behind the gzip filter, when the build
// has one (libdeflate); zlib's streaming inflate stays the reference that
// every result of it must equal, and the path of builds without it.
#pragma once

#include <cstddef>

// Whether this build has the decoder.
bool DeflateEngineAvailable();

// Decodes the raw deflate stream at the start of `in` (size bytes; bytes
// after the stream's end are ignored) into a new buffer of outSize bytes
// (at least 1), which it returns (the caller frees it with FontFree), with
// the decoded size in *produced.  Only when the stream ended with its final
// block within `in`, its output fitted in outSize bytes and every decoder
// that follows the format reads it alike (DeflateStreamIsStrict), so that
// zlib would deliver the very same bytes and end there.  None for
// everything else, for which the caller decodes with zlib: corrupt or cut
// data, too small an outSize, a stream that decoders read differently
// (checked before the buffer is allocated), no memory, or no decoder in this
// build.
unsigned char *DeflateEngineDecode(const unsigned char *in, size_t size, size_t outSize,
                                   size_t *produced);
