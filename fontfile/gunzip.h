// Gzip input filter: a stream of the uncompressed bytes of the first member
// of a gzip file read from `source`.
#pragma once

#include "fontfile/bufio.h"

// Checks the gzip header at once; none when it is not a valid header or
// memory is short (the source then still belongs to the caller), which
// *outOfMemory, unless none, tells.  A BufFilePushProc.
BufFile *BufFilePushZIP(BufFile *source, bool *outOfMemory = nullptr);
// Whether this build decodes members whole with the filter's own decoder
// (configured with LORVANE_DEFLATE_ENGINE=builtin, the default) or streams
// every member with zlib (=zlib).
bool GzipDecodesWholeMembers();
