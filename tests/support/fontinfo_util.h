// Reading a FontInfo from bytes in memory, and looking at its properties.
#pragma once

#include <optional>
#include <string>

#include "util/fontstruct.h"
#include "fontfile/bufio.h"
#include "tests/support/fontgen.h"

// Runs `reader` over an in-memory stream of `bytes`; the FontInfo starts
// zeroed.  Owns the property arrays it gets.
struct ReadResult {
  int status = 0;
  FontInfo info{};
  ReadResult() = default;
  ReadResult(const ReadResult &) = delete;
  ~ReadResult();
};
typedef int (*InfoReader)(FontInfo *, BufFile *);
// The stream delivers `chunk` bytes per fill (see MemBufOpen).
void ReadInfo(InfoReader reader, const std::string &bytes, ReadResult *out, int chunk = BUFFILESIZE);

// Runs `reader` over `bytes` with the 1st, 2nd, ... allocation failing, until
// a read makes fewer allocations than the one that fails (it must then
// succeed).  Each read that met a failure must return AllocFailure and leave
// the FontInfo without properties.  Returns the number of such reads, or -1
// with *problem saying what went wrong.
int SweepReadAllocationFailures(InfoReader reader, const std::string &bytes, std::string *problem);

// The text of a string property, or nothing.
std::optional<std::string> StringProperty(const FontInfo &info, const std::string &name);
// The value of an integer property, or nothing.
std::optional<int32_t> IntProperty(const FontInfo &info, const std::string &name);

// Whether read metrics equal the metrics a generator wrote.
bool SameMetric(const xCharInfo &a, const GenMetric &b);
// Every property as a line "NAME value", in order, string values as text.
std::string PropertiesText(const FontInfo &info);
