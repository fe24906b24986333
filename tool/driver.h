// The directory indexer: everything of the lorvane driver, main's work included.
#pragma once

#include <cstdio>
#include <fcntl.h>

#include "fontfile/fileio.h"
#include "fontfile/fontdir.h"

// Settings read from the command line.
extern const char *progName;
extern const char *prefix;  // written before every path in encodings.dir
extern bool relative;       // -e directories used as given
extern bool have_enc_dir;   // an -e option was seen: encodings.dir is rewritten

// One encoding name and the file that declares it.
struct EncodingEntry {
  EncodingEntry *next;
  char *name;
  char *file;    // shared by all names of one file
  int argIndex;  // command-line position of the -e directory it came from
};

constexpr int kEncodingBuckets = 256;
struct EncodingTable {
  EncodingEntry *buckets[kEncodingBuckets];
};

// The whole run: options, the encoding index, every directory; returns the
// exit status (0, 1 when a directory failed, 2 when memory ran out at start).
int LorvaneMain(int argc, char **argv);

// Index one directory: scan it, merge fonts.scale, write the index files.
bool DoDirectory(const char *dirname, EncodingTable *encodings, int encodingCount);

// The directory scan: one entry per font file kept.
bool LoadDirectory(const char *dirname, FontTable *table);
// `kind`: what the listing told of the file; `dirFd`: the directory open, so
// that the file is opened from it by name, or AT_FDCWD to open it by the
// joined path (see FontFileOpenAt).
bool ProcessFile(const char *dirname, const char *filename, FontTable *table,
                 FontFileKind kind = FontFileKind::Unknown, int dirFd = AT_FDCWD);
// The driver's 10-bit hash of a name (0..1023).
unsigned Hash(const char *name);

// fonts.scale and the index files.
bool AddEntry(FontTable *table, const char *fontName, const char *fileName);
bool LoadScalable(const char *dirname, FontTable *table);
bool WriteFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                    int encodingCount);

// How reading the entries of a fonts.scale stream ended.
enum class ScalableResult { Done, OutOfMemory, BadFormat };
ScalableResult ReadScalableEntries(BufFile *file, FontTable *table);

// The encoding index.
bool LoadEncodings(EncodingTable *encodings, const char *dirname, int position);
bool InsertEncoding(EncodingTable *encodings, char *name, char *file, int position);
bool CompareEncodingFiles(const char *fileA, const char *fileB);
int CountEncodings(const EncodingTable *encodings);

// Path buffers of the driver hold at most kPathMax - 1 characters.
constexpr int kPathMax = 1024;
