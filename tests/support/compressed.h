// Compressed copies of test files, made with the system's gzip and compress
// programs.
#pragma once

#include <string>

// `tool` is "gzip" or "compress"; writes the compressed bytes of `in` to
// `out`.  False when the program is missing or fails.
bool CompressFile(const std::string &tool, const std::string &in, const std::string &out);
