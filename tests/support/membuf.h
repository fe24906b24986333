// A BufFile over bytes in memory, for tests and fuzz targets: it behaves like
// a raw stream over a file holding those bytes.
#pragma once

#include <cstddef>

#include "fontfile/bufio.h"

// The stream keeps its own copy of the bytes, released by its close.  Each
// fill delivers at most `chunk` bytes (1 .. 8192), so tests can make a filter
// meet the end of its source's buffer at any byte.  None when memory is short.
BufFile *MemBufOpen(const void *data, size_t size, int chunk = BUFFILESIZE);
