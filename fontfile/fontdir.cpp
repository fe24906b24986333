#include "fontfile/fontdir.h"

#include <cstring>

#include "util/miscutil.h"

namespace {

// The table's contract: it grows by 100 entries at a time, never by doubling.
constexpr int kTableGrowth = 100;

uint32_t textHash(const char *s) { return FontTextHash(s, std::strlen(s)); }

void dropIndex(FontTable *table) {
  FontFree(table->index);
  table->index = nullptr;
  table->indexSize = 0;
  table->indexDropped = true;
}

// The slot holding the first entry whose text is `text`, or the empty slot
// where such an entry would go.
FontTable::IndexSlot *indexSlot(FontTable *table, const char *text, uint32_t hash) {
  uint32_t mask = static_cast<uint32_t>(table->indexSize) - 1;
  for (uint32_t i = hash & mask;; i = (i + 1) & mask) {
    FontTable::IndexSlot *slot = &table->index[i];
    if (slot->entry == 0 ||
        (slot->hash == hash && std::strcmp(table->entries[slot->entry - 1].name.text, text) == 0))
      return slot;
  }
}

void indexInsert(FontTable *table, int entryIndex) {
  const char *text = table->entries[entryIndex].name.text;
  uint32_t hash = textHash(text);
  FontTable::IndexSlot *slot = indexSlot(table, text, hash);
  if (slot->entry == 0) *slot = {hash, entryIndex + 1};  // an earlier equal text stays first
}

// Keeps the index at most half full.  False when it had to be dropped.
bool growIndex(FontTable *table) {
  if (table->indexDropped) return false;
  if (table->count < table->indexSize / 2) return true;
  int newSize = table->indexSize ? table->indexSize * 2 : 256;
  auto *fresh = FontAllocN<FontTable::IndexSlot>(static_cast<size_t>(newSize));
  if (!fresh) {
    dropIndex(table);
    return false;
  }
  std::memset(fresh, 0, sizeof(FontTable::IndexSlot) * static_cast<size_t>(newSize));
  // Every text is in the old index once, with its hash: move the slots
  // without touching the texts.
  uint32_t mask = static_cast<uint32_t>(newSize) - 1;
  for (int i = 0; i < table->indexSize; i++) {
    FontTable::IndexSlot old = table->index[i];
    if (old.entry == 0) continue;
    uint32_t j = old.hash & mask;
    while (fresh[j].entry != 0) j = (j + 1) & mask;
    fresh[j] = old;
  }
  FontFree(table->index);
  table->index = fresh;
  table->indexSize = newSize;
  return true;
}

// Called once the new entry is counted.
void indexAdd(FontTable *table) {
  if (growIndex(table)) indexInsert(table, table->count - 1);
}

}  // namespace

bool FontFileInitTable(FontTable *table, int size) {
  table->entries = nullptr;
  if (size < 0) return false;
  if (size > 0) {
    table->entries = FontAllocN<FontEntry>(static_cast<size_t>(size));
    if (!table->entries) return false;
  }
  table->count = 0;
  table->capacity = size;
  table->isSorted = false;
  table->index = nullptr;
  table->indexSize = 0;
  table->indexDropped = false;
  return true;
}

FontEntry *FontFileAddEntry(FontTable *table, FontEntry *prototype) {
  if (table->isSorted || prototype->name.length < 0) return nullptr;
  if (table->count == table->capacity) {
    if (table->capacity > INT32_MAX - kTableGrowth) return nullptr;
    int newCapacity = table->capacity + kTableGrowth;
    auto *grown = static_cast<FontEntry *>(
        FontReallocArray(table->entries, static_cast<size_t>(newCapacity), sizeof(FontEntry)));
    if (!grown) return nullptr;
    table->entries = grown;
    table->capacity = newCapacity;
  }
  FontEntry *entry = &table->entries[table->count];
  *entry = *prototype;
  auto *text = static_cast<char *>(FontAlloc(static_cast<size_t>(prototype->name.length) + 1));
  if (!text) return nullptr;
  std::memcpy(text, prototype->name.text, static_cast<size_t>(prototype->name.length));
  text[prototype->name.length] = '\0';
  entry->name.text = text;
  table->count++;
  indexAdd(table);
  return entry;
}

bool AddEntry(FontTable *table, const char *fontName, const char *fileName) {
  FontEntry prototype;
  size_t length = std::strlen(fontName);
  if (length > INT16_MAX) return false;
  prototype.name.text = const_cast<char *>(fontName);
  prototype.name.length = static_cast<int16_t>(length);
  prototype.name.dashCount = static_cast<int16_t>(FontFileCountDashes(fontName, static_cast<int>(length)));
  prototype.kind = FontEntryBitmap;
  prototype.u.bitmap.renderer = nullptr;
  prototype.u.bitmap.fileName = FontFileSaveString(fileName);
  if (!prototype.u.bitmap.fileName) return false;
  if (!FontFileAddEntry(table, &prototype)) {
    FontFree(prototype.u.bitmap.fileName);
    return false;
  }
  return true;
}

void FontFileFreeEntry(FontEntry *entry) {
  FontFree(entry->name.text);
  entry->name.text = nullptr;
  switch (entry->kind) {
    case FontEntryScalable:
      FontFree(entry->u.scalable.fileName);
      FontFree(entry->u.scalable.extra);
      break;
    case FontEntryBitmap:
      FontFree(entry->u.bitmap.fileName);
      break;
    case FontEntryAlias:
      FontFree(entry->u.alias.resolved);
      break;
    default:
      break;
  }
}

void FontFileFreeTable(FontTable *table) {
  for (int i = 0; i < table->count; i++) FontFileFreeEntry(&table->entries[i]);
  FontFree(table->entries);
  FontFree(table->index);
  table->entries = nullptr;
  table->index = nullptr;
  table->indexSize = 0;
  table->count = 0;
  table->capacity = 0;
}

char *FontFileSaveString(const char *s) {
  size_t n = std::strlen(s) + 1;
  auto *copy = static_cast<char *>(FontAlloc(n));
  if (copy) std::memcpy(copy, s, n);
  return copy;
}

int FontFileCountDashes(const char *name, int namelen) {
  int ndashes = 0;
  for (int i = 0; i < namelen; i++)
    if (name[i] == '-') ++ndashes;
  return ndashes;
}

int SetupWildMatch(FontTable *table, FontName *pat, int *leftp, int *rightp, int *privatep) {
  const char *name = pat->text;
  const char *firstWild = std::strpbrk(name, "*?");
  *privatep = firstWild ? pat->dashCount : -1;
  int left = 0;
  int right = table->count;
  if (table->isSorted) {
    // Binary search: on the whole name without wildcards, else on the bytes
    // before the first wildcard, stopping at the first agreeing entry.
    size_t stemLength = firstWild ? static_cast<size_t>(firstWild - name) : 0;
    while (left < right) {
      int center = (left + right) / 2;
      const char *text = table->entries[center].name.text;
      int result = firstWild ? std::strncmp(name, text, stemLength) : std::strcmp(name, text);
      if (result == 0) {
        if (!firstWild) return center;
        break;
      }
      if (result < 0)
        right = center;
      else
        left = center + 1;
    }
    if (!firstWild) right = left;  // no hit: nothing to scan
  }
  *leftp = left;
  *rightp = right;
  return -1;
}

bool PatternMatch(const char *pat, int patdashes, const char *string, int stringdashes) {
  if (stringdashes < patdashes) return false;
  char c;
  while ((c = *pat++)) {
    switch (c) {
      case '*': {
        char t;
        if (!(c = *pat++)) return true;
        if (c == '-') {
          patdashes--;
          for (;;) {
            while ((t = *string++) != '-')
              if (!t) return false;
            stringdashes--;
            if (PatternMatch(pat, patdashes, string, stringdashes)) return true;
            if (stringdashes == patdashes) return false;
          }
        }
        for (;;) {
          while ((t = *string++) != c) {
            if (!t) return false;
            if (t == '-') {
              if (stringdashes-- < patdashes) return false;
            }
          }
          if (PatternMatch(pat, patdashes, string, stringdashes)) return true;
        }
      }
      case '?':
        if (*string++ == '-') stringdashes--;
        if (!string[-1]) return false;
        break;
      case '-':
        if (*string++ != '-') return false;
        patdashes--;
        stringdashes--;
        break;
      default:
        if (c != *string++) return false;
        break;
    }
  }
  return *string == '\0';
}

FontEntry *FontFileFindNameInScalableDir(FontTable *table, FontName *pat,
                                         FontScalableFilter *filter) {
  (void)filter;  // no filter ever restricts the matches here
  // Without wildcards the pattern scan is a search for the first equal text.
  if (!table->isSorted && !std::strpbrk(pat->text, "*?")) return FontFileFindExactName(table, pat->text);
  int left, right, budget;
  int hit = SetupWildMatch(table, pat, &left, &right, &budget);
  if (hit >= 0) return &table->entries[hit];
  for (int i = left; i < right; i++) {
    FontEntry *e = &table->entries[i];
    if (PatternMatch(pat->text, budget, e->name.text, e->name.dashCount)) return e;
  }
  return nullptr;
}

FontEntry *FontFileFindExactName(FontTable *table, const char *name) {
  if (table->index && !table->isSorted) {
    int32_t slot = indexSlot(table, name, textHash(name))->entry;
    return slot ? &table->entries[slot - 1] : nullptr;
  }
  for (int i = 0; i < table->count; i++)
    if (std::strcmp(table->entries[i].name.text, name) == 0) return &table->entries[i];
  return nullptr;
}

FontEntry *FontFileFindNameInDir(FontTable *table, FontName *pat) {
  return FontFileFindNameInScalableDir(table, pat, nullptr);
}
