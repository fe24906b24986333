// The charsets of a --scalable run, from the built-in ones and the encoding
// index.  The index holds one entry per name, aliases included, and does not
// tell them apart; the file of an entry does.  So the entries are grouped by
// file, each file is read once, and the encoding it declares is listed when
// the index gives that name to this file.
#include "tool/charsets.h"

#include <algorithm>
#include <cstring>
#include <strings.h>

#include "fontenc/encparse.h"
#include "fontfile/fileio.h"
#include "fontfile/fontreader.h"
#include "tool/driver.h"

namespace {

// REGISTRY-ENCODING, fit to end a font name.
bool isCharsetName(const char *name) {
  const char *dash = std::strchr(name, '-');
  if (!dash || dash == name || dash[1] == '\0' || std::strchr(dash + 1, '-')) return false;
  return std::strpbrk(name, "*?,\"") == nullptr;
}

bool isBuiltin(const char *name) {
  size_t n;
  const Charset *builtin = BuiltinCharsets(&n);
  for (size_t i = 0; i < n; i++)
    if (strcasecmp(builtin[i].name, name) == 0) return true;
  return false;
}

void freeCharset(Charset *c) {
  FontFree(const_cast<char *>(c->name));
  FontFree(const_cast<uint32_t *>(c->chars));
  *c = Charset{};
}

// A charset read from a file, with the name as the file declares it, which
// decides between names that differ only in case.
struct Found {
  Charset charset;
  char *declared;
};

// The charsets found so far; released unless handed to the list.
struct FoundList {
  FontPtr<Found> items;
  size_t count = 0, capacity = 0;
  ~FoundList() {
    for (size_t i = 0; i < count; i++) {
      freeCharset(&items.get()[i].charset);
      FontFree(items.get()[i].declared);
    }
  }
};

enum class Outcome { Kept, PassedOver, OutOfMemory };

// Reads `file`, one of whose names is held by one of `entries`.
Outcome readFile(const char *file, const EncodingEntry *const *entries, size_t count,
                 FoundList *found) {
  FontFileFailure failure{FontFileProblem::None, 0};
  BufFile *f = FontFileOpen(file, &failure);
  if (!f) return failure.problem == FontFileProblem::NoMemory ? Outcome::OutOfMemory : Outcome::PassedOver;
  // A filter's fill tells a refused request to the parser beneath only as
  // data that ends early.
  long refused = FontAllocRefusals();
  EncodingUnicodeMap map;
  EncodingMapResult result = ReadEncodingUnicodeMap(f, &map);
  FontFileClose(f);
  if (result == EncodingMapResult::OutOfMemory || FontAllocRefusals() != refused)
    return Outcome::OutOfMemory;
  if (result != EncodingMapResult::Read || !map.hasUnicodeMapping || map.count == 0)
    return Outcome::PassedOver;
  const char *name = map.name.get();
  bool held = false;  // the index gives the encoding's own name to this file
  for (size_t i = 0; i < count && !held; i++) held = std::strcmp(entries[i]->name, name) == 0;
  if (!held || isBuiltin(name) || !isCharsetName(name)) return Outcome::PassedOver;

  size_t length = std::strlen(name);
  FontPtr<char> lower(static_cast<char *>(FontAlloc(length + 1)));
  if (!lower || !FontReaderReserveN(found->items, &found->capacity, found->count + 1))
    return Outcome::OutOfMemory;
  CopyISOLatin1Lowered(lower.get(), name, static_cast<int>(length));
  found->items.get()[found->count++] = {
      {lower.release(), map.chars.release(), map.count, static_cast<size_t>(map.codes)},
      map.name.release()};
  return Outcome::Kept;
}

}  // namespace

void CharsetList::clear() {
  for (size_t i = 0; i < fileCount; i++) freeCharset(&fileCharsets.get()[i]);
  fileCharsets.reset();
  fileCount = 0;
  itemArray.reset();
  items = nullptr;
  count = 0;
}

bool LoadRunCharsets(const EncodingTable *encodings, CharsetList *out) {
  out->clear();
  size_t entryCount = static_cast<size_t>(CountEncodings(encodings));
  FontPtr<const EncodingEntry *> entries(FontAllocN<const EncodingEntry *>(entryCount));
  if (!entries) return false;
  const EncodingEntry **e = entries.get();
  size_t n = 0;
  for (EncodingEntry *const &bucket : encodings->buckets)
    for (const EncodingEntry *entry = bucket; entry; entry = entry->next) e[n++] = entry;
  std::sort(e, e + n, [](const EncodingEntry *a, const EncodingEntry *b) {
    return std::strcmp(a->file, b->file) < 0;
  });

  FoundList found;
  for (size_t first = 0, last; first < n; first = last) {
    for (last = first + 1; last < n && std::strcmp(e[last]->file, e[first]->file) == 0;) last++;
    if (readFile(e[first]->file, e + first, last - first, &found) == Outcome::OutOfMemory)
      return false;
  }

  // Byte order of the lower-cased name; of equal ones, the first declared
  // name in byte order is kept.
  Found *f = found.items.get();
  std::sort(f, f + found.count, [](const Found &a, const Found &b) {
    int c = std::strcmp(a.charset.name, b.charset.name);
    return c != 0 ? c < 0 : std::strcmp(a.declared, b.declared) < 0;
  });
  size_t builtinCount;
  const Charset *builtin = BuiltinCharsets(&builtinCount);
  out->fileCharsets.reset(FontAllocN<Charset>(found.count));
  out->itemArray.reset(FontAllocN<const Charset *>(builtinCount + found.count));
  if (!out->fileCharsets || !out->itemArray) {
    out->clear();
    return false;
  }
  const Charset **items = out->itemArray.get();
  for (size_t i = 0; i < builtinCount; i++) items[i] = &builtin[i];
  Charset *owned = out->fileCharsets.get();
  for (size_t i = 0; i < found.count; i++) {
    if (out->fileCount > 0 && std::strcmp(owned[out->fileCount - 1].name, f[i].charset.name) == 0)
      continue;  // left to FoundList's release
    owned[out->fileCount++] = f[i].charset;
    f[i].charset = Charset{};
  }
  for (size_t i = 0; i < out->fileCount; i++) items[builtinCount + i] = &owned[i];
  out->items = items;
  out->count = builtinCount + out->fileCount;
  return true;
}
