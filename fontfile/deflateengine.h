// The whole-member way of the gzip filter: a member's deflate data decoded
// at once into one buffer by the project's own decoder (deflatedecode),
// which takes only streams that zlib's streaming inflate, the reference,
// reads alike.  A build configured with zlib alone has no whole way.
#pragma once

#include <cstddef>

// Whether this build has the whole way.
bool DeflateEngineAvailable();

// Decodes the raw deflate stream at the start of `in` (size bytes; bytes
// after the stream's end are ignored) into a new buffer of outSize bytes
// (at least 1), which it returns (the caller frees it with FontFree), with
// the decoded size in *produced.  Only when the stream ended with its final
// block within `in`, its output fitted in outSize bytes and every decoder
// that follows the format reads it alike (DeflateDecodeStrict), so that
// zlib would deliver the very same bytes and end there.  None for
// everything else, for which the caller decodes with zlib: corrupt or cut
// data, too small an outSize, a stream that decoders read differently, no
// memory, or no whole way in this build.
unsigned char *DeflateEngineDecode(const unsigned char *in, size_t size, size_t outSize,
                                   size_t *produced);
