// Opening a font or encoding file by path as a ready stream: a raw stream
// over the file, with the gzip filter pushed for ".gz" names and the LZW
// filter for ".Z" names.
#pragma once

#include "fontfile/bufio.h"

// What a caller already knows of a file's type from a directory listing.
// Each system call counts when a run opens thousands of small fonts, and the
// listing tells most types for free.
enum class FontFileKind : unsigned char {
  Unknown,  // nothing: the file is checked once it is open
  Regular,  // listed as a regular file: opened without following a link
  Link,     // listed as a symbolic link: its target is checked before opening
  Other,    // listed as a directory, FIFO, device or socket: never opened
};

// The kind that a listing's entry type (d_type) tells.
FontFileKind FontFileKindOfListing(unsigned char type);

// None when the file cannot be opened, is not a regular file, or does not
// hold the compressed data its name promises.
BufFile *FontFileOpen(const char *path);
// The same for `path` taken from the open directory `dirFd` (or AT_FDCWD),
// of which a listing told `kind`.
// A run that opens every font of one directory walks one path component per
// font this way instead of the whole path.
BufFile *FontFileOpenAt(int dirFd, const char *path, FontFileKind kind);
// Closes the whole stack, descriptor included.
void FontFileClose(BufFile *f);
