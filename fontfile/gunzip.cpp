#include "fontfile/gunzip.h"

// Not built yet: gzip data is refused.
BufFile *BufFilePushZIP(BufFile *) { return nullptr; }
