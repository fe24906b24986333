// LZW input filter: a stream of the uncompressed bytes of ".Z" data read
// from `source`.
#pragma once

#include "fontfile/bufio.h"

// Checks the three-byte header at once; none when it is not LZW data with a
// maximum code width of 12 to 16 bits, or memory is short (the source then
// still belongs to the caller), which *outOfMemory, unless none, tells.  A
// BufFilePushProc.
BufFile *BufFilePushCompressed(BufFile *source, bool *outOfMemory = nullptr);
