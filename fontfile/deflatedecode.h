// A whole-buffer decoder of raw deflate streams (RFC 1951) that decodes
// only what every decoder following the format reads alike.
//
// Decoders differ in what they accept beyond the format: some decode the two
// reserved length codes and the two reserved distance codes, accept more
// code lengths than a block declares room for, or read an incomplete Huffman
// code; others refuse such a block at its header or at the first use.  A
// stream that uses none of these, and whose distances all reach back within
// the output, is read alike by all of them, byte for byte, up to the same
// end.  This decoder takes only such streams and turns every other one away
// whole, so its caller can hand that stream to a reference decoder.
#pragma once

#include <cstddef>

// Decodes the stream that begins at `in` into `out`, which has room for
// outSize bytes; true, with the number of bytes in *produced, when the
// stream is of that kind, ends with its final block within `size` bytes
// and its output fits.  Every block is checked: a stored block's length
// check; the symbols of a block with the fixed codes (none of the reserved
// ones); the header of a block with codes of its own (at most 286 length and
// 30 distance codes, no length repeated before the first or past the last, a
// length for the end-of-block code, three complete codes); every distance.
// False for anything else; `out` then holds bytes of no meaning.  Reads
// stay within the `size` bytes and writes within the outSize.
bool DeflateDecodeStrict(const unsigned char *in, size_t size, unsigned char *out, size_t outSize,
                         size_t *produced);
