// Outline fonts and bitmap-only OpenType fonts, read with FreeType, as the
// entries of a directory's index files: for each face of a TrueType,
// OpenType, collection or Type 1 file one fonts.scale entry per encoding the
// face covers; for each strike of a bitmap-only OpenType file (.otb) one
// fonts.dir entry per encoding.  A file that yields nothing is left out with
// one of a few fixed reasons.
//
// Faces are opened one at a time, each once, and closed before the next, so
// memory stays that of one face whatever a collection holds.  FreeType's
// memory comes from the library's allocation wrappers.
#pragma once

#include <cstddef>

#include "fontenc/charset.h"
#include "util/miscutil.h"

// Whether this build reads outline fonts (it was built with FreeType).
bool FacesSupported();

// What a file is by its name's suffix, case ignored: .ttf .ttc .otf .otc
// .pfa .pfb are outline fonts, .otb bitmap-only OpenType.
enum class FaceFileKind { Other, Outline, BitmapOnly };
FaceFileKind FaceFileKindOf(const char *fileName);

// One entry: the index file's line "file font-name".  `file` is the file
// name, written ":N:file" for face N >= 1 of a collection.
struct FaceEntry {
  char *line;        // "file font-name", NUL-terminated; the entry's allocation
  const char *file;  // the file field alone, NUL-terminated (inside the allocation)
  const char *name;  // the font name, inside line
};

// The entries of one file, in byte order of the whole line, each line once.
struct FaceEntries {
  FontPtr<FaceEntry> items;
  size_t count = 0;
  size_t capacity = 0;
  FaceEntries() = default;
  FaceEntries(const FaceEntries &) = delete;
  FaceEntries &operator=(const FaceEntries &) = delete;
  ~FaceEntries() { Clear(); }
  void Clear();
};

// The encodings every face is tested against, in any order.
struct FaceCharsets {
  const Charset *const *items;
  size_t count;
};

// Why a file gave no entry.
enum class FaceReason {
  None,
  NotSupported,   // this build has no FreeType
  CannotOpen,     // FreeType cannot read the file as a font
  TooManyFaces,   // a collection that claims more faces than one can hold
  NoOutlines,     // no face of an outline font file has outlines
  NoStrikes,      // no face of a .otb file has a bitmap strike
  NoEncoding,     // no face covers an encoding
};
// The reason's fixed text, for --verbose ("no face has outlines").
const char *FaceReasonText(FaceReason reason);

enum class FaceResult { Entries, LeftOut, OutOfMemory };

// One FreeType library for a run.  None when memory is short or the build
// has no FreeType.
struct FaceLibrary;
FaceLibrary *FaceLibraryOpen();
void FaceLibraryClose(FaceLibrary *library);

// The entries of the font file at `path`, whose name in its directory is
// `fileName`, read as `kind` says (Outline or BitmapOnly), into *out (which
// is emptied first).  LeftOut: *reason tells why and *out is empty.
// OutOfMemory: *out is empty.
FaceResult FaceFileEntries(FaceLibrary *library, const char *path, const char *fileName,
                           FaceFileKind kind, const FaceCharsets &charsets, FaceEntries *out,
                           FaceReason *reason);
// The same for a font file held in memory (the bytes stay the caller's and
// must outlive the call).
FaceResult FaceMemoryEntries(FaceLibrary *library, const unsigned char *bytes, size_t size,
                             const char *fileName, FaceFileKind kind,
                             const FaceCharsets &charsets, FaceEntries *out, FaceReason *reason);
