// tool/ is the lorvane program on top of the font library: the run
// (run.cpp), the command line (commandline.h), the directory scan, fonts.scale,
// the index files and their check, and the encoding index.  This header is
// what its parts share.
//
// The directory indexer: everything of the lorvane driver, main's work included.
#pragma once

#include <cstddef>
#include <cstdio>

#include "faces/faces.h"
#include "fontfile/fileio.h"
#include "fontfile/fontdir.h"
#include "tool/indextext.h"
#include "tool/paths.h"
#include "util/growarray.h"
#include "util/miscutil.h"

// What the command line asks of the whole run (commandline.h reads it).
struct Settings {
  const char *prefix = "";           // written before every path in encodings.dir
  bool encodingDirectories = false;  // an -e option was seen: encodings.dir is rewritten
  bool reproducible = false;         // --reproducible: every listing in byte order of the names
  bool verbose = false;              // --verbose: files left out and why, notes, summaries
  bool check = false;                // --check: compare the index files, write nothing
  bool scalable = false;             // --scalable: fonts.scale from the outline fonts; .otb fonts
  bool ifChanged = false;            // --if-changed: an index already current is left as it is
  bool removeEmpty = false;          // --remove-empty: a directory that lists nothing gets no index
  bool recursive = false;            // --recursive: every font directory below each argument too
};
extern Settings settings;  // the run's
extern const char *progName;

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

// --recursive: the directories to index for the directory arguments, in
// the order to index them.  False when memory is short.
struct FontDirectories {
  GrowArray<char> paths;          // each ending in a NUL
  GrowArray<const char *> names;  // into paths
};
bool FindFontDirectories(const char *const *arguments, int count, FontDirectories *out);

// Index one directory: scan it, merge fonts.scale, write the index files.
bool DoDirectory(const char *dirname, EncodingTable *encodings, int encodingCount);

// --check of one directory: build what a run would write and compare it
// with what is there.  Failed: a run would fail the directory, or the old
// index cannot be read (the message is written).
enum class CheckResult { Current, WouldChange, Failed };
CheckResult CheckDirectory(const char *dirname, EncodingTable *encodings, int encodingCount);
// --check of every directory: the exit status (0 all current, 1 some index
// would change, 2 some directory could not be checked).
int CheckDirectories(const char *const *dirnames, int count, EncodingTable *encodings,
                     int encodingCount);
// Flushes standard output; false, with the message, when what was written
// there did not all arrive.
bool FinishStandardOutput();

// The directory scan: one entry per font file kept.  `counts` tells how many
// fonts were indexed and (in a verbose run) how many files with a font
// suffix were not.
struct ScanCounts {
  int indexed = 0;
  int skipped = 0;
  int faceFiles = 0;     // --scalable: outline and .otb files seen
  int faceLeftOut = 0;   // and of those, left out
};
bool LoadDirectory(const char *dirname, FontTable *table, ScanCounts *counts);

// What a --scalable run shares between its directories: FreeType and the
// encodings every face is tested against.  None in a run without it.
struct ScalableRun {
  FaceLibrary *library;
  FaceCharsets charsets;
};
extern ScalableRun *scalableRun;

// Lines "file font-name" of an index file, each a copy of its own.
class IndexLines {
 public:
  IndexLines() = default;
  IndexLines(const IndexLines &) = delete;
  IndexLines &operator=(const IndexLines &) = delete;
  ~IndexLines();
  bool add(const char *line);  // false when memory is short
  void sort();                 // byte order of the whole line
  size_t count() const { return lines_.count(); }
  const char *operator[](size_t i) const { return lines_[i]; }

 private:
  GrowArray<char *> lines_;
};

// --scalable: the directory's outline font files as fonts.scale lines into
// `scale`, in byte order, and the strikes of its .otb files added to the
// table as bitmap fonts are (same duplicate rule), also in byte order of the
// line.  A file left out is counted, and its reason told in a verbose run.
// False when the directory cannot be listed or memory is short (the message
// is written).
bool LoadFaces(const char *dirname, FontTable *table, IndexLines *scale, ScanCounts *counts);
// The lines' entries appended to the table, as the fonts.scale merge does.
bool MergeScaleLines(const IndexLines &scale, FontTable *table);
// The driver's 10-bit hash of a name (0..1023).
unsigned Hash(const char *name);

// fonts.scale and the index files.
bool LoadScalable(const char *dirname, FontTable *table);
bool WriteFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                    int encodingCount);
// `scale`: the fonts.scale a --scalable run writes (none otherwise).
CheckResult CheckFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                           int encodingCount, const IndexLines *scale);
// fonts.scale of a --scalable run, replaced like fonts.dir (or removed with
// it under --remove-empty); false with the message when the old one stays.
bool WriteFontsScale(const char *dirname, const IndexLines &scale, const FontTable *table);

// The exact bytes WriteFontTable writes; false when memory is short.
bool FormatFontsDir(const FontTable *table, IndexText *out);
bool FormatEncodingsDir(const EncodingTable *encodings, int encodingCount, IndexText *out);
bool FormatFontsScale(const IndexLines &scale, IndexText *out);
// With --remove-empty, whether the directory of `table` lists nothing (no
// font, no fonts.scale entry), so that a run leaves it no index file.
bool ListsNothing(const FontTable *table);
// What a run does with a directory's encodings.dir: leaves it (no -e),
// removes it (no encoding found, or the directory lists nothing), or
// replaces it.
enum class EncodingsDirAction { Keep, Remove, Write };
EncodingsDirAction EncodingsDirActionFor(int encodingCount, const FontTable *table);
// The index file `name` of the directory into a path buffer of kPathMax
// bytes: always a '/' between the two, even after a directory name that ends
// in one.  False when it does not fit.
bool IndexPath(char *path, const char *dirname, const char *name);

// How reading the entries of a fonts.scale stream ended.
enum class ScalableResult { Done, OutOfMemory, BadFormat };
ScalableResult ReadScalableEntries(BufFile *file, FontTable *table);

// The encoding index.
bool LoadEncodings(EncodingTable *encodings, const char *dirname, int position);
bool InsertEncoding(EncodingTable *encodings, char *name, char *file, int position);
bool CompareEncodingFiles(const char *fileA, const char *fileB);
int CountEncodings(const EncodingTable *encodings);
