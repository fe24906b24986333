// The charsets of a --scalable run: the encodings every outline face is
// tested against.
#pragma once

#include <cstddef>

#include "fontenc/charset.h"
#include "util/miscutil.h"

struct EncodingTable;

// The built-in charsets, then each encoding of the -e directories that has
// a Unicode mapping section, by its encoding name (the first -e directory
// that declares a name keeps it, as for encodings.dir), in byte order of the
// lower-cased name.  Left out: aliases, names already built in (compared
// ignoring case), an encoding whose mapping gives no character, a name that
// cannot stand as the last two fields of a font name (it must be
// REGISTRY-ENCODING, one '-' between two non-empty parts, none of * ? , ")
// and, of names that differ only in case, all but the first in byte order.
struct CharsetList {
  const Charset *const *items = nullptr;
  size_t count = 0;

  CharsetList() = default;
  CharsetList(const CharsetList &) = delete;
  CharsetList &operator=(const CharsetList &) = delete;
  ~CharsetList() { clear(); }
  // Releases what LoadRunCharsets made; the list is then empty.
  void clear();

  // Owned: the array behind `items`, and the charsets read from files with
  // their names and characters.
  FontPtr<const Charset *> itemArray;
  FontPtr<Charset> fileCharsets;
  size_t fileCount = 0;
};

// Fills `out` (emptied first), once per run, after the -e directories are
// read.  A file that cannot be read now, or is no longer an encoding file,
// is passed over.  False when memory is short (the list is then empty).
bool LoadRunCharsets(const EncodingTable *encodings, CharsetList *out);
