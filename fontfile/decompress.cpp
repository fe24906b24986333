#include "fontfile/decompress.h"

// Not built yet: LZW data is refused.
BufFile *BufFilePushCompressed(BufFile *) { return nullptr; }
