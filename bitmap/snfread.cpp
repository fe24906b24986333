#include "bitmap/snfread.h"

// Not built yet: no file reads as this format.
int snfReadFontInfo(FontInfo *, BufFile *) { return BadFont; }
int snfReadFont(FontRec *, BufFile *, int, int, int, int) { return BadFont; }
