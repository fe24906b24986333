// The font directory scan.  The listing is read once; each name is matched
// against the renderers once, and of the files of one base name the one whose
// renderer is preferred is kept.  Each kept file is then opened, read and
// named by its FONT property, lower-cased, and added to the table.  The
// matched renderer row goes with the file to the open and the read.
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <memory>

#include "fontfile/renderers.h"
#include "tool/driver.h"
#include "util/atom.h"
#include "util/miscutil.h"

namespace {

constexpr int kScanBuckets = 1024;

// One base name of the listing and the file kept for it so far.
struct ScanEntry {
  ScanEntry *next;
  const FontRenderer *renderer;
  FontFileKind kind;  // of the kept file, as the listing told it
  // FontTextHash of the whole base name, tried before comparing: the bucket
  // number keeps only the last ten bytes of a name, so names that end alike
  // ("font10", "font20" ...) share buckets.
  uint32_t nameHash;
  // The base name follows the entry, in the same allocation.
  char *baseName() { return reinterpret_cast<char *>(this + 1); }
  const char *baseName() const { return reinterpret_cast<const char *>(this + 1); }
};

// A kept file as the scan hands it on.
struct KeptFile {
  const FontRenderer *renderer;
  const char *name;  // as listed: the base name and the renderer's suffix
  FontFileKind kind;
};

// The kept files in the order they are indexed, in one block: the records,
// then their names.  Reading a font passes far more memory through the cache
// than this list takes, so the list is read front to back instead of being
// chased through the buckets between one font and the next.
class KeptFiles {
 public:
  const KeptFile *begin() const { return block_.get(); }
  const KeptFile *end() const { return block_.get() + count_; }

 private:
  friend class ScanBuckets;
  FontPtr<KeptFile> block_;
  size_t count_ = 0;
};

// The files kept so far, by bucket of their base names; within a bucket, in
// the order their base names first appear in the listing.
class ScanBuckets {
 public:
  ~ScanBuckets() { clear(); }

  bool init() {
    heads_ = FontAllocN<ScanEntry *>(kScanBuckets);
    if (!heads_) return false;
    for (int i = 0; i < kScanBuckets; i++) heads_[i] = nullptr;
    return true;
  }

  // Keeps the listed file `name` when it is the first of its base name or
  // its renderer is preferred to the one kept so far.  False when memory is
  // short.
  bool offer(const char *name, const FontRenderer *renderer, FontFileKind kind) {
    size_t baseLength = std::strlen(name) - static_cast<size_t>(renderer->suffixLength);
    char baseName[sizeof(dirent::d_name)];
    std::memcpy(baseName, name, baseLength);
    baseName[baseLength] = '\0';
    uint32_t nameHash = FontTextHash(baseName, baseLength);
    ScanEntry **link = &heads_[Hash(baseName)];
    for (; *link; link = &(*link)->next) {
      ScanEntry *e = *link;
      if (e->nameHash != nameHash || std::strcmp(e->baseName(), baseName) != 0) continue;
      if (e->renderer->preference > renderer->preference) {
        nameBytes_ += static_cast<size_t>(renderer->suffixLength);
        nameBytes_ -= static_cast<size_t>(e->renderer->suffixLength);
        e->renderer = renderer;
        e->kind = kind;
      }
      return true;
    }
    auto *entry = static_cast<ScanEntry *>(FontAlloc(sizeof(ScanEntry) + baseLength + 1));
    if (!entry) return false;
    entry->next = nullptr;
    entry->renderer = renderer;
    entry->kind = kind;
    entry->nameHash = nameHash;
    std::memcpy(entry->baseName(), baseName, baseLength + 1);
    *link = entry;
    ++count_;
    nameBytes_ += baseLength + static_cast<size_t>(renderer->suffixLength) + 1;
    return true;
  }

  // Moves the kept files, bucket 0 first, into `files`; false when memory is
  // short.  The buckets are released either way.
  bool takeInOrder(KeptFiles *files) {
    if (count_ == 0) {
      clear();
      return true;
    }
    files->block_.reset(
        static_cast<KeptFile *>(FontAlloc(count_ * sizeof(KeptFile) + nameBytes_)));
    if (!files->block_) {
      clear();
      return false;
    }
    KeptFile *file = files->block_.get();
    char *names = reinterpret_cast<char *>(file + count_);
    forEach([&](const ScanEntry &e) {
      size_t baseLength = std::strlen(e.baseName());
      size_t suffixLength = static_cast<size_t>(e.renderer->suffixLength);
      std::memcpy(names, e.baseName(), baseLength);
      std::memcpy(names + baseLength, e.renderer->suffix, suffixLength + 1);
      *file++ = {e.renderer, names, e.kind};
      names += baseLength + suffixLength + 1;
    });
    files->count_ = count_;
    clear();
    return true;
  }

 private:
  template <class Visit>
  void forEach(Visit visit) const {
    for (int i = 0; i < kScanBuckets; i++)
      for (const ScanEntry *e = heads_[i]; e; e = e->next) visit(*e);
  }

  void clear() {
    if (!heads_) return;
    for (int i = 0; i < kScanBuckets; i++) {
      for (ScanEntry *e = heads_[i]; e;) {
        ScanEntry *next = e->next;
        FontFree(e);
        e = next;
      }
    }
    FontFree(heads_);
    heads_ = nullptr;
    count_ = 0;
    nameBytes_ = 0;
  }

  ScanEntry **heads_ = nullptr;
  size_t count_ = 0;     // kept files
  size_t nameBytes_ = 0;  // their names, each with its NUL
};

struct DirCloser {
  void operator()(DIR *d) const { closedir(d); }
};

const char *NameForAtomOrNone(Atom atom) {
  const char *name = NameForAtom(atom);
  return name ? name : "";
}

// fonts.dir is read back a line at a time, the file name up to the first
// white space: names that cannot survive that are refused.
bool fitsFontsDirLine(const char *fileName, const char *fontName) {
  return !std::strpbrk(fileName, " \t\n\v\f\r") && !std::strpbrk(fontName, "\n\r");
}

// The value of the font's first string FONT property into fontName (of
// kPathMax bytes); false when the font cannot be read, has no such property,
// or its value is empty or does not fit.
bool GetFontName(const KeptFile &file, const FontFileRef &ref, char *fontName) {
  FontInfo info;
  std::memset(&info, 0, sizeof info);
  if (file.renderer->getInfoBitmap(file.renderer, &info, ref) != Successful) return false;
  // Property names are atoms, and equal texts have equal atoms: the FONT
  // property is found by its atom, without turning every name into text.
  // Looked up without interning, so that the atom table is left as the
  // readers made it; none means that no font read so far has the property.
  Atom fontAtom = MakeAtom("FONT", 4, 0);
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

// The file name of the entry holding exactly this font name, or none.  The
// comparison is exact: a font's own name may contain '*' or '?'.
const char *FontNameExists(FontTable *table, const char *name) {
  FontEntry *entry = FontFileFindExactName(table, name);
  return entry ? entry->u.bitmap.fileName : nullptr;
}

// Opens, reads and names one kept file of the directory and adds its entry;
// false when the file is left out.  `dirFd` is the directory open, or
// AT_FDCWD to open the file by its joined path.
bool ProcessFile(const char *dirname, int dirFd, const KeptFile &file, FontTable *table) {
  char path[kPathMax];
  // The path must fit, however the file is opened.
  if (!JoinPath(path, sizeof path, dirname, file.name, Slash::IfMissing)) return false;
  FontFileRef ref{dirFd, dirFd == AT_FDCWD ? path : file.name, file.kind};
  char fontName[kPathMax];
  if (!GetFontName(file, ref, fontName)) return false;
  CopyISOLatin1Lowered(fontName, fontName, static_cast<int>(std::strlen(fontName)));
  if (!fitsFontsDirLine(file.name, fontName)) return false;
  if (const char *existing = FontNameExists(table, fontName)) {
    std::fprintf(stderr, "%s: Duplicate font names %s\n", progName, fontName);
    std::fprintf(stderr, "\t%s %s\n", existing, file.name);
    return false;
  }
  return AddEntry(table, fontName, file.name);
}

}  // namespace

unsigned Hash(const char *name) {
  uint32_t h = 0;
  for (; *name; ++name)
    h = (h << 1) ^ static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*name)));
  return h & 0x3FF;
}

bool LoadDirectory(const char *dirname, FontTable *table) {
  // List, keeping one file per base name.
  std::unique_ptr<DIR, DirCloser> dir(opendir(dirname));
  if (!dir) return false;
  ScanBuckets kept;
  if (!kept.init()) return false;
  while (dirent *file = readdir(dir.get())) {
    const FontRenderer *renderer = FontFileMatchRenderer(file->d_name);
    if (renderer && !kept.offer(file->d_name, renderer, FontFileKindOfListing(file->d_type)))
      return false;
  }

  KeptFiles files;
  if (!kept.takeInOrder(&files)) return false;

  // Each kept file: open, read, name, add.  The directory stays open, so
  // that each font is opened from it by name.
  int dirFd = dirfd(dir.get());
  if (dirFd < 0) dirFd = AT_FDCWD;
  for (const KeptFile &file : files) {
    if (!ProcessFile(dirname, dirFd, file, table))
      std::fprintf(stderr, "%s: unable to process font %s/%s, skipping\n", progName, dirname,
                   file.name);
  }
  return true;
}
