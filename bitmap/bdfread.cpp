#include "bitmap/bdfread.h"

// Not built yet: no file reads as BDF.
int bdfReadFont(FontRec *, BufFile *, int, int, int, int) { return BadFont; }
int bdfReadFontInfo(FontInfo *, BufFile *) { return BadFont; }
void bdfUnloadFont(FontRec *) {}
