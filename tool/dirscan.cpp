// The font directory scan: one file per base name (the one whose renderer
// is preferred), each named by its FONT property, lower-cased.
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <memory>

#include "bitmap/bitmapfunc.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

constexpr int kScanBuckets = 1024;

struct ScanEntry {
  ScanEntry *next;
  char *baseName;  // stored right after the entry, in the same allocation
  FontRenderer *renderer;
  FontFileKind kind;  // of the chosen file, as the listing told it
  // FontTextHash of the whole base name, tried before comparing: the bucket
  // number keeps only the last ten bytes of a name, so names that end alike
  // ("font10", "font20" ...) share buckets.
  uint32_t nameHash;
};

// The buckets of one scan and the entries on them.
struct ScanBuckets {
  ScanEntry **heads = nullptr;
  ~ScanBuckets() { clear(); }
  void clear() {
    if (!heads) return;
    for (int i = 0; i < kScanBuckets; i++) {
      for (ScanEntry *e = heads[i]; e;) {
        ScanEntry *next = e->next;
        FontFree(e);
        e = next;
      }
    }
    FontFree(heads);
    heads = nullptr;
  }
};

struct DirCloser {
  void operator()(DIR *d) const { closedir(d); }
};

void Estrip(const char *suffix, char *name) { name[std::strlen(name) - std::strlen(suffix)] = '\0'; }

const char *NameForAtomOrNone(Atom atom) {
  const char *name = NameForAtom(atom);
  return name ? name : "";
}

// fonts.dir is read back a line at a time, the file name up to the first
// white space: names that cannot survive that are refused.
bool fitsFontsDirLine(const char *fileName, const char *fontName) {
  return !std::strpbrk(fileName, " \t\n\v\f\r") && !std::strpbrk(fontName, "\n\r");
}

bool GetFontName(int dirFd, const char *path, char *fontName, FontFileKind kind) {
  FontInfo info;
  std::memset(&info, 0, sizeof info);
  if (BitmapGetInfoListed(&info, dirFd, path, kind) != Successful) return false;
  // Property names are atoms, and equal texts have equal atoms: the FONT
  // property is found by its atom, without turning every name into text.
  // Looked up without interning, so that the atom table is left as the
  // readers made it; none means that no font read so far has the property.
  // Atoms are never removed, so once found it is not looked up again.
  static Atom fontAtom = None;
  if (fontAtom == None) fontAtom = MakeAtom("FONT", 4, 0);
  bool found = false;
  for (int i = 0; fontAtom != None && i < info.propCount; i++) {
    if (!info.isStringProp[i] || info.props[i].name != fontAtom) continue;
    const char *value = NameForAtomOrNone(static_cast<Atom>(info.props[i].value));
    size_t length = std::strlen(value);
    if (length > 0 && length < kPathMax) {  // a longer name does not fit: skipped
      std::memcpy(fontName, value, length + 1);
      found = true;
    }
    break;
  }
  FontInfoFreeProps(&info);
  return found;
}

// dirname, a slash unless dirname ends in one, and name into path (of
// kPathMax bytes); false when that does not fit.  Called once per font, so
// it copies instead of formatting.
bool joinPath(char *path, const char *dirname, const char *name) {
  size_t dirLength = std::strlen(dirname), nameLength = std::strlen(name);
  size_t slash = dirLength > 0 && dirname[dirLength - 1] == '/' ? 0 : 1;
  if (dirLength + slash + nameLength >= kPathMax) return false;
  std::memcpy(path, dirname, dirLength);
  path[dirLength] = '/';
  std::memcpy(path + dirLength + slash, name, nameLength + 1);
  return true;
}

// The file name of the entry holding exactly this font name, or none.  The
// comparison is exact: a font's own name may contain '*' or '?'.
const char *FontNameExists(FontTable *table, const char *name) {
  FontEntry *entry = FontFileFindExactName(table, name);
  return entry ? entry->u.bitmap.fileName : nullptr;
}

}  // namespace

unsigned Hash(const char *name) {
  uint32_t h = 0;
  for (; *name; ++name)
    h = (h << 1) ^ static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*name)));
  return h & 0x3FF;
}

bool ProcessFile(const char *dirname, const char *filename, FontTable *table, FontFileKind kind,
                 int dirFd) {
  char path[kPathMax];
  if (!joinPath(path, dirname, filename)) return false;  // the path must fit, however opened
  char fontName[kPathMax];
  if (!GetFontName(dirFd, dirFd == AT_FDCWD ? path : filename, fontName, kind)) return false;
  CopyISOLatin1Lowered(fontName, fontName, static_cast<int>(std::strlen(fontName)));
  if (!fitsFontsDirLine(filename, fontName)) return false;
  if (const char *existing = FontNameExists(table, fontName)) {
    std::fprintf(stderr, "%s: Duplicate font names %s\n", progName, fontName);
    std::fprintf(stderr, "\t%s %s\n", existing, filename);
    return false;
  }
  return AddEntry(table, fontName, filename);
}

bool LoadDirectory(const char *dirname, FontTable *table) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(dirname));
  if (!dir) return false;
  ScanBuckets buckets;
  buckets.heads = FontAllocN<ScanEntry *>(kScanBuckets);
  if (!buckets.heads) return false;
  for (int i = 0; i < kScanBuckets; i++) buckets.heads[i] = nullptr;

  while (dirent *file = readdir(dir.get())) {
    FontRenderer *renderer = FontFileMatchRenderer(file->d_name);
    if (!renderer) continue;
    char baseName[sizeof file->d_name];
    std::strcpy(baseName, file->d_name);
    Estrip(renderer->suffix, baseName);
    size_t baseLength = std::strlen(baseName);
    uint32_t nameHash = FontTextHash(baseName, baseLength);
    ScanEntry **link = &buckets.heads[Hash(baseName)];
    for (; *link; link = &(*link)->next)
      if ((*link)->nameHash == nameHash && std::strcmp((*link)->baseName, baseName) == 0) break;
    FontFileKind kind = FontFileKindOfListing(file->d_type);
    if (*link) {
      if ((*link)->renderer->preference > renderer->preference) {
        (*link)->renderer = renderer;
        (*link)->kind = kind;
      }
      continue;
    }
    auto *entry = static_cast<ScanEntry *>(FontAlloc(sizeof(ScanEntry) + baseLength + 1));
    if (!entry) return false;
    entry->baseName = reinterpret_cast<char *>(entry + 1);
    std::memcpy(entry->baseName, baseName, baseLength + 1);
    entry->nameHash = nameHash;
    entry->renderer = renderer;
    entry->kind = kind;
    entry->next = nullptr;
    *link = entry;
  }
  // The directory stays open: each font is opened from it by its name.
  int dirFd = dirfd(dir.get());
  if (dirFd < 0) dirFd = AT_FDCWD;

  auto process = [&](const char *fileName, FontFileKind kind) {
    if (!ProcessFile(dirname, fileName, table, kind, dirFd))
      std::fprintf(stderr, "%s: unable to process font %s/%s, skipping\n", progName, dirname,
                   fileName);
  };

  // The file names in the order they are read, each after its kind's byte,
  // packed into one block while the entries are still in the cache.  Reading
  // a font passes far more memory through the cache than the entries take,
  // so an entry visited only after the fonts before it were read would cost
  // a miss or two each; the block is read front to back instead.  Without
  // memory for the block (a directory of millions of fonts), the entries are
  // walked as they are.
  size_t total = 0;
  for (int i = 0; i < kScanBuckets; i++)
    for (ScanEntry *e = buckets.heads[i]; e; e = e->next)
      total += 1 + std::strlen(e->baseName) + std::strlen(e->renderer->suffix) + 1;
  if (total == 0) return true;
  FontPtr<char> names(static_cast<char *>(FontAlloc(total)));
  if (!names) {
    char fileName[kPathMax + 16];  // a listing name (< 256) and a suffix
    for (int i = 0; i < kScanBuckets; i++) {
      for (ScanEntry *e = buckets.heads[i]; e; e = e->next) {
        std::snprintf(fileName, sizeof fileName, "%s%s", e->baseName, e->renderer->suffix);
        process(fileName, e->kind);
      }
    }
    return true;
  }
  char *end = names.get();
  for (int i = 0; i < kScanBuckets; i++) {
    for (ScanEntry *e = buckets.heads[i]; e; e = e->next) {
      size_t baseLength = std::strlen(e->baseName);
      size_t suffixLength = std::strlen(e->renderer->suffix);
      *end++ = static_cast<char>(e->kind);
      std::memcpy(end, e->baseName, baseLength);
      std::memcpy(end + baseLength, e->renderer->suffix, suffixLength + 1);
      end += baseLength + suffixLength + 1;
    }
  }
  buckets.clear();
  for (char *next = names.get(); next < end;) {
    auto kind = static_cast<FontFileKind>(*next++);
    process(next, kind);
    next += std::strlen(next) + 1;
  }
  return true;
}
