// An LZW encoder writing ".Z" data, to make the streams that the usual
// compressor does not write: no block mode, clear codes at chosen places,
// and code sequences built by hand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct LzwEncodeOptions {
  int maxBits = 16;        // written into the header as given (0..31)
  bool blockMode = true;   // header bit 0x80; enables clear codes
  // Input offsets before which a clear code is emitted (block mode only),
  // in increasing order.  The string in progress there is ended first.
  std::vector<size_t> clearAt;
  // Emit a clear as soon as the table is full, instead of going on with the
  // full table.
  bool clearWhenFull = false;
};

constexpr int kLzwClearCode = 256;

// The codes that encode `input`.  With `inputEnds`, also the number of input
// bytes that the codes up to and including each one stand for.
std::vector<int> LzwEncodeCodes(const std::string &input, const LzwEncodeOptions &options,
                                std::vector<size_t> *inputEnds = nullptr);

// The header followed by `codes`, packed least significant bit first with
// the widths a decoder expects (a whole padded group written whenever the
// width changes or a clear code was written).  With `endBits`, also the bit
// position just past each code in the stream after the header.
std::string LzwPackCodes(const std::vector<int> &codes, const LzwEncodeOptions &options,
                         std::vector<size_t> *endBits = nullptr);

// LzwPackCodes(LzwEncodeCodes(input)).
std::string LzwEncode(const std::string &input, const LzwEncodeOptions &options = {});

// A plain decoder of ".Z" data, written from the format alone for comparing
// with the filter: a table of whole strings, codes unpacked group by group.
// Everything a decoder delivers from `z` ("" for a header it refuses), or at
// least its first `limit` bytes.
std::string LzwReferenceDecode(const std::string &z, size_t limit = SIZE_MAX);
