// Compressed copies of test files, made with the system's gzip and compress
// programs or with zlib directly.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// `tool` is "gzip" or "compress"; writes the compressed bytes of `in` to
// `out`.  False when the program is missing or fails.
bool CompressFile(const std::string &tool, const std::string &in, const std::string &out);

// `data` as a raw deflate body (no zlib or gzip framing) at `level`.
std::string RawDeflate(const std::string &data, int level = 6);

// Everything zlib's streaming inflate delivers from a raw deflate body that
// may be cut short or damaged.
std::string RawInflateAll(const std::string &body);

// The gzip filter inflates into one output buffer of this size per fill.
constexpr size_t kGzipFilterOutput = 65536;

// For each output buffer of `bufferSize` bytes that inflating `body` fills
// completely, the number of body bytes taken when it fills: data cut there
// runs out at the moment the output does.
std::vector<size_t> InflateInputWhereOutputFills(const std::string &body,
                                                 size_t bufferSize = kGzipFilterOutput);
