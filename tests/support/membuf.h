// A BufFile over bytes in memory, for tests and fuzz targets.
#pragma once

#include <cstddef>

#include "fontfile/bufio.h"

// Reads a private copy of the bytes, handing them out in buffers of at most
// BUFFILESIZE bytes like a file stream; BufFileClose frees the copy.  None
// when memory runs out.
BufFile *MemBufOpen(const void *data, size_t size);
