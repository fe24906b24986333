// An in-memory BufFile for tests and fuzz targets: a stream over a copy of
// `size` bytes of `data`.  Closing it releases the copy.  None when memory
// is short.
#pragma once

#include <cstddef>

#include "fontfile/bufio.h"

BufFile *MemBufOpen(const void *data, size_t size);
