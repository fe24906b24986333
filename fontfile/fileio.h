// fontfile/ turns a file into a stream a format reader can read: buffered
// streams (bufio.h) and the one bounded reader every parser reads through
// (fontreader.h), the gzip and LZW filters, opening a file with the filter
// its suffix calls for (here), the renderer registry and the font name
// table.  It knows no font format.
//
// Opening a font or encoding file as a ready stream: a raw stream over the
// file, with a decompressing filter pushed on it when the file is compressed.
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

// A file to open: a name in the open directory `dirFd`, or a path (relative
// to the working directory when `dirFd` is AT_FDCWD), and what a listing told
// of it.  A run that opens every font of one directory walks one path
// component per font by name instead of the whole path.
struct FontFileRef {
  int dirFd;
  const char *name;
  FontFileKind kind;
};

// The compressed forms a font or encoding file may take, by the suffix its
// name ends in, each with the filter its stream takes: the one table from
// suffix to filter.  Font files' forms are preferred in this order after the
// plain one (x.pcf, then x.pcf.Z, then x.pcf.gz); encoding files' in the
// reverse order, before the plain one (x.enc.gz, x.enc.Z, x.enc).
struct FileCompression {
  const char *suffix;
  BufFilePushProc filter;
};
constexpr int kCompressionCount = 2;
extern const FileCompression kCompressions[kCompressionCount];
// The compression whose suffix ends `name` (a name that is only the suffix
// included); none for a plain name.
const FileCompression *FileCompressionOf(const char *name);

// Why a font file gave no stream or no information, recorded where that was
// found out: by the open, the filter's push or the format's reader.
enum class FontFileProblem : unsigned char {
  None,
  NotRegular,  // not a regular file, nor a link to one
  CannotOpen,  // the system refused; `error` holds its error number
  BadData,     // not data of the filter's or the reader's format, or damaged
  NoMemory,
};
struct FontFileFailure {
  FontFileProblem problem;
  int error;  // errno, for CannotOpen
};

// The stream of `file` with `filter` pushed on it (none: the raw stream).
// None when the file cannot be opened, is not a regular file, or does not
// hold the data the filter expects; `failure`, unless none, then says which.
BufFile *FontFileOpenAt(const FontFileRef &file, BufFilePushProc filter,
                        FontFileFailure *failure);
// The same for a path, with the filter its ending calls for (a path that is
// nothing but the suffix gets none).  On failure `failure`, unless none,
// says why.
BufFile *FontFileOpen(const char *path, FontFileFailure *failure = nullptr);
// Closes the whole stack, descriptor included.
void FontFileClose(BufFile *f);
