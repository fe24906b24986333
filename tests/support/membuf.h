// An in-memory BufFile over a copy of some bytes, for tests and fuzz targets.
#pragma once

#include <cstddef>

#include "fontfile/bufio.h"

// Closing the stream frees its copy.  None when memory runs short.
BufFile *MemBufOpen(const void *data, size_t size);
