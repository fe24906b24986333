// The block structure of a raw deflate stream (RFC 1951), checked without
// producing its data.
//
// Decoders differ in what they accept beyond the format: some decode the two
// reserved length codes and the two reserved distance codes, accept more
// code lengths than a block declares room for, or read an incomplete Huffman
// code; others refuse such a block at its header or at the first use.  A
// stream that uses none of these is read alike by every decoder that follows
// the format, byte for byte, up to the same end.
#pragma once

#include <cstddef>

// True when the stream that begins at `in` is of that kind and ends with its
// final block within `size` bytes.  Every block is checked: a stored block's
// length check; the symbols of a block with the fixed codes (none of the
// reserved ones); the header of a block with codes of its own (at most 286
// length and 30 distance codes, no length repeated before the first or past
// the last, a length for the end-of-block code, three complete codes), whose
// symbols are then walked to find where it ends.  A walk decodes symbols
// only: nothing is written and distances are not checked against the output
// (a decoder that follows the format refuses one that reaches too far).
bool DeflateStreamIsStrict(const unsigned char *in, size_t size);
