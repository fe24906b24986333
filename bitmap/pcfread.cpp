#include "bitmap/pcfread.h"

// Not built yet: no file reads as this format.
int pcfReadFontInfo(FontInfo *, BufFile *) { return BadFont; }
int pcfReadFont(FontRec *, BufFile *, int, int, int, int) { return BadFont; }
