// The font name table: a growable array of named entries kept in insertion
// order, with lookup by exact name and by wildcard pattern ('*', '?').
//
// Beside the array the table keeps a hash index of its entries' texts, so a
// lookup of a name without wildcards finds the first entry of that text
// without visiting every entry.  The index is only a shortcut: a lookup gives
// the same entry as the scan in every case, and when memory for the index
// runs out the table drops it and scans.
#pragma once

#include <cstdint>

struct FontRenderer;

struct FontName {
  char *text;
  int16_t length;
  int16_t dashCount;
};

enum FontEntryKind {
  FontEntryScalable = 0,
  FontEntryBitmap = 2,
  FontEntryAlias = 3,
};

struct FontScalableEntry {
  FontRenderer *renderer;
  char *fileName;
  void *extra;  // scaled instances; this tool never makes any
};

struct FontBitmapEntry {
  FontRenderer *renderer;
  char *fileName;
};

struct FontAliasEntry {
  char *resolved;
};

struct FontEntry {
  FontName name;
  int kind;
  union {
    FontScalableEntry scalable;
    FontBitmapEntry bitmap;
    FontAliasEntry alias;
  } u;
};

struct FontTable {
  int count;
  int capacity;
  FontEntry *entries;
  bool isSorted;
  // Exact-name index, open addressing: each slot holds the text's hash and
  // entry index + 1 (0 is an empty slot), so probing touches no entry text
  // unless the hashes agree.
  struct IndexSlot {
    uint32_t hash;
    int32_t entry;
  } *index;
  int indexSize;      // power of two, or 0 when there is no index
  bool indexDropped;  // memory ran out once; lookups scan from then on
};

bool FontFileInitTable(FontTable *table, int size);
FontEntry *FontFileAddEntry(FontTable *table, FontEntry *prototype);
// Adds a bitmap entry pairing `fontName` with a copy of `fileName`; false
// when memory is short (the table is then unchanged).
bool AddEntry(FontTable *table, const char *fontName, const char *fileName);
void FontFileFreeEntry(FontEntry *entry);
void FontFileFreeTable(FontTable *table);
char *FontFileSaveString(const char *s);
int FontFileCountDashes(const char *name, int namelen);

// The lookup.  A name with '*' or '?' is a pattern and finds the first entry
// it matches; the entries' own texts are never patterns.
FontEntry *FontFileFindNameInDir(FontTable *table, FontName *pat);
struct FontScalableFilter;  // this tool never passes one
FontEntry *FontFileFindNameInScalableDir(FontTable *table, FontName *pat,
                                         FontScalableFilter *filter);

// The first entry whose text is exactly `name`, wildcards or not.
FontEntry *FontFileFindExactName(FontTable *table, const char *name);

// The index of an exact hit, or -1 with the range [*leftp, *rightp) to scan
// and the dash budget for PatternMatch (-1 when the name has no wildcard).
int SetupWildMatch(FontTable *table, FontName *pat, int *leftp, int *rightp, int *privatep);
bool PatternMatch(const char *pat, int patdashes, const char *string, int stringdashes);
