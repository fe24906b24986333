// Compressed copies of test files, made with the system's gzip and compress
// programs or with zlib directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// `tool` is "gzip" or "compress"; writes the compressed bytes of `in` to
// `out`.  False when the program is missing or fails.
bool CompressFile(const std::string &tool, const std::string &in, const std::string &out);
// The bytes of `data` so compressed; empty when the program is missing or fails.
std::string Packed(const std::string &tool, const std::string &data);

// `data` as a raw deflate body (no zlib or gzip framing) at `level`.
std::string RawDeflate(const std::string &data, int level = 6);

// A gzip member around the raw deflate `body` of `size` bytes of data: the
// fixed header with no optional fields, then a trailer whose checksum is
// zero (the filter never checks it).
std::string GzipWrap(const std::string &body, uint32_t size);

// Everything zlib's streaming inflate delivers from a raw deflate body that
// may be cut short or damaged (its first `limit` bytes and a few KiB more).
std::string RawInflateAll(const std::string &body, size_t limit = SIZE_MAX);
// Where the deflate body of the gzip file `file` begins, by RFC 1952: after
// the fixed header and the optional fields its flags announce; npos when
// that header is not valid or is cut short.
size_t GzipBodyOffset(const std::string &file);
// What a gzip filter that inflates with zlib alone delivers from `file`:
// everything inflate makes of the first member's body (up to `limit` bytes
// and a few KiB more); *pushed tells whether the header was valid.
std::string GzipReference(const std::string &file, bool *pushed, size_t limit = SIZE_MAX);

// The gzip filter inflates into one output buffer of this size per fill.
constexpr size_t kGzipFilterOutput = 65536;

// For each output buffer of `bufferSize` bytes that inflating `body` fills
// completely, the number of body bytes taken when it fills: data cut there
// runs out at the moment the output does.
std::vector<size_t> InflateInputWhereOutputFills(const std::string &body,
                                                 size_t bufferSize = kGzipFilterOutput);
