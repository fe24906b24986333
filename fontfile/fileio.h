// Opening a font or encoding file by path as a ready stream: a raw stream
// over the file, with the gzip filter pushed for ".gz" names and the LZW
// filter for ".Z" names.
#pragma once

#include "fontfile/bufio.h"

// None when the file cannot be opened, is not a regular file, or does not
// hold the compressed data its name promises.
BufFile *FontFileOpen(const char *path);
// Closes the whole stack, descriptor included.
void FontFileClose(BufFile *f);
