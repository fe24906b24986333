// The font directory scan.  The listing is read once; each name is matched
// against the renderers once, and of the files of one base name the one whose
// renderer is preferred is kept.  Each kept file is then opened, read and
// named by its FONT property, lower-cased, and added to the table.  The
// matched renderer row goes with the file to the open and the read.
//
// A verbose run tells, for each file with a font suffix that did not become
// an entry, why; then notes on the fonts indexed that a display server may
// fail to use.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>

#include "fontfile/renderers.h"
#include "tool/driver.h"
#include "tool/listing.h"
#include "util/atom.h"
#include "util/miscutil.h"

namespace {

constexpr int kScanBuckets = 1024;

// Why a file with a font suffix did not become an entry.
enum class Skip : unsigned char {
  Added,  // it did
  Preferred,
  NotRegular,
  CannotOpen,
  BadFont,
  NoMemory,
  NoFontName,
  NotOneLine,
  Duplicate,
  PathTooLong,
  NameTooLong,
};

// The text of each reason, in the order of Skip; a reason that names a file
// or carries the system's error text is followed by ": " and that.
const char *const kSkipTexts[] = {
    "",
    "another file of the same base name is preferred",
    "not a regular file",
    "cannot be opened",
    "not a valid font of its format, or damaged",
    "out of memory",
    "no FONT property naming the font",
    "file or font name cannot be one line of fonts.dir",
    "same font name as an earlier file",
    "path too long",
    "font name too long",
};
static_assert(std::size(kSkipTexts) == static_cast<size_t>(Skip::NameTooLong) + 1);

struct SkipReason {
  Skip skip;
  int error = 0;                  // errno, for CannotOpen
  const char *other = nullptr;    // the file named, for Preferred and Duplicate
};

// The reason the open or the read recorded.
SkipReason reasonOf(const FontFileFailure &failure) {
  switch (failure.problem) {
    case FontFileProblem::NotRegular:
      return {Skip::NotRegular};
    case FontFileProblem::CannotOpen:
      return {Skip::CannotOpen, failure.error};
    case FontFileProblem::NoMemory:
      return {Skip::NoMemory};
    case FontFileProblem::None:  // a reader that failed without saying why
    case FontFileProblem::BadData:
      break;
  }
  return {Skip::BadFont};
}

void reportSkip(const char *dirname, const char *file, const SkipReason &reason) {
  const char *text = kSkipTexts[static_cast<int>(reason.skip)];
  const char *detail = reason.skip == Skip::CannotOpen ? std::strerror(reason.error) : reason.other;
  if (detail)
    std::fprintf(stderr, "%s: %s/%s: %s: %s\n", progName, dirname, file, text, detail);
  else
    std::fprintf(stderr, "%s: %s/%s: %s\n", progName, dirname, file, text);
}

// A file of a base name that another file of that base name was preferred to
// (remembered only in a verbose run).
struct PassedOver {
  PassedOver *next;
  char *name() { return reinterpret_cast<char *>(this + 1); }
  const char *name() const { return reinterpret_cast<const char *>(this + 1); }
};

void freePassedOver(PassedOver *p) {
  while (p) {
    PassedOver *next = p->next;
    FontFree(p);
    p = next;
  }
}

// One base name of the listing and the file kept for it so far.
struct ScanEntry {
  ScanEntry *next;
  const FontRenderer *renderer;
  PassedOver *passedOver;  // in listing order
  FontFileKind kind;       // of the kept file, as the listing told it
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
  const PassedOver *passedOver;
  FontFileKind kind;
};

// The kept files in the order they are indexed, in one block: the records,
// then their names.  Reading a font passes far more memory through the cache
// than this list takes, so the list is read front to back instead of being
// chased through the buckets between one font and the next.
class KeptFiles {
 public:
  ~KeptFiles() {
    for (const KeptFile &file : *this) freePassedOver(const_cast<PassedOver *>(file.passedOver));
  }
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
  // With `rememberPassedOver`, the files not kept are remembered beside the
  // kept one, for the verbose report.
  explicit ScanBuckets(bool rememberPassedOver) : rememberPassedOver_(rememberPassedOver) {}
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
      if (e->renderer->preference <= renderer->preference)
        return !rememberPassedOver_ || passOver(e, name);
      if (rememberPassedOver_) {
        char kept[sizeof(dirent::d_name)];
        std::memcpy(kept, name, baseLength);
        std::strcpy(kept + baseLength, e->renderer->suffix);
        if (!passOver(e, kept)) return false;
      }
      nameBytes_ += static_cast<size_t>(renderer->suffixLength);
      nameBytes_ -= static_cast<size_t>(e->renderer->suffixLength);
      e->renderer = renderer;
      e->kind = kind;
      return true;
    }
    auto *entry = static_cast<ScanEntry *>(FontAlloc(sizeof(ScanEntry) + baseLength + 1));
    if (!entry) return false;
    entry->next = nullptr;
    entry->renderer = renderer;
    entry->passedOver = nullptr;
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
    forEach([&](ScanEntry &e) {
      size_t baseLength = std::strlen(e.baseName());
      size_t suffixLength = static_cast<size_t>(e.renderer->suffixLength);
      std::memcpy(names, e.baseName(), baseLength);
      std::memcpy(names + baseLength, e.renderer->suffix, suffixLength + 1);
      *file++ = {e.renderer, names, e.passedOver, e.kind};
      e.passedOver = nullptr;
      names += baseLength + suffixLength + 1;
    });
    files->count_ = count_;
    clear();
    return true;
  }

 private:
  template <class Visit>
  void forEach(Visit visit) {
    for (int i = 0; i < kScanBuckets; i++)
      for (ScanEntry *e = heads_[i]; e; e = e->next) visit(*e);
  }

  // Remembers `name` as passed over for the file kept for `e`.
  static bool passOver(ScanEntry *e, const char *name) {
    size_t length = std::strlen(name);
    auto *p = static_cast<PassedOver *>(FontAlloc(sizeof(PassedOver) + length + 1));
    if (!p) return false;
    p->next = nullptr;
    std::memcpy(p->name(), name, length + 1);
    PassedOver **link = &e->passedOver;
    while (*link) link = &(*link)->next;
    *link = p;
    return true;
  }

  void clear() {
    if (!heads_) return;
    for (int i = 0; i < kScanBuckets; i++) {
      for (ScanEntry *e = heads_[i]; e;) {
        ScanEntry *next = e->next;
        freePassedOver(e->passedOver);
        FontFree(e);
        e = next;
      }
    }
    FontFree(heads_);
    heads_ = nullptr;
    count_ = 0;
    nameBytes_ = 0;
  }

  bool rememberPassedOver_;
  ScanEntry **heads_ = nullptr;
  size_t count_ = 0;      // kept files
  size_t nameBytes_ = 0;  // their names, each with its NUL
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
// kPathMax bytes).
SkipReason GetFontName(const KeptFile &file, const FontFileRef &ref, char *fontName) {
  FontInfo info;
  std::memset(&info, 0, sizeof info);
  FontFileFailure failure{};
  if (file.renderer->getInfoBitmap(file.renderer, &info, ref, &failure) != Successful)
    return reasonOf(failure);
  // Property names are atoms, and equal texts have equal atoms: the FONT
  // property is found by its atom, without turning every name into text.
  // Looked up without interning, so that the atom table is left as the
  // readers made it; none means that no font read so far has the property.
  Atom fontAtom = MakeAtom("FONT", 4, 0);
  SkipReason reason{Skip::NoFontName};
  for (int i = 0; fontAtom != None && i < info.propCount; i++) {
    if (!info.isStringProp[i] || info.props[i].name != fontAtom) continue;
    const char *value = NameForAtomOrNone(static_cast<Atom>(info.props[i].value));
    size_t length = std::strlen(value);
    if (length >= kPathMax) {
      reason = {Skip::NameTooLong};
    } else if (length > 0) {
      std::memcpy(fontName, value, length + 1);
      reason = {Skip::Added};
    }
    break;
  }
  FontInfoFreeProps(&info);
  return reason;
}

// The file name of the entry holding exactly this font name, or none.  The
// comparison is exact: a font's own name may contain '*' or '?'.
const char *FontNameExists(FontTable *table, const char *name) {
  FontEntry *entry = FontFileFindExactName(table, name);
  return entry ? entry->u.bitmap.fileName : nullptr;
}

// Opens, reads and names one kept file of the directory and adds its entry.
// `dirFd` is the directory open, or AT_FDCWD to open the file by its joined
// path.
SkipReason ProcessFile(const char *dirname, int dirFd, const KeptFile &file, FontTable *table) {
  char path[kPathMax];
  // The path must fit, however the file is opened.
  if (!JoinPath(path, sizeof path, dirname, file.name, Slash::IfMissing)) return {Skip::PathTooLong};
  FontFileRef ref{dirFd, dirFd == AT_FDCWD ? path : file.name, file.kind};
  char fontName[kPathMax];
  SkipReason named = GetFontName(file, ref, fontName);
  if (named.skip != Skip::Added) return named;
  CopyISOLatin1Lowered(fontName, fontName, static_cast<int>(std::strlen(fontName)));
  if (!fitsFontsDirLine(file.name, fontName)) return {Skip::NotOneLine};
  if (const char *existing = FontNameExists(table, fontName)) {
    std::fprintf(stderr, "%s: Duplicate font names %s\n", progName, fontName);
    std::fprintf(stderr, "\t%s %s\n", existing, file.name);
    return {Skip::Duplicate, 0, existing};
  }
  if (!AddEntry(table, fontName, file.name)) return {Skip::NoMemory};
  return {Skip::Added};
}

// A name of the X logical font description: 14 fields, each after a '-'.
bool isXlfdName(const FontName &name) { return name.text[0] == '-' && name.dashCount == 14; }

// Notes on the indexed fonts that a display server, which usually runs
// unprivileged, may fail to use.
void reportNotes(const char *dirname, int dirFd, const FontTable *table) {
  auto note = [&](const char *file, const char *text) {
    std::fprintf(stderr, "%s: %s/%s: note: %s\n", progName, dirname, file, text);
  };
  for (int i = 0; i < table->count; i++) {
    const FontEntry &entry = table->entries[i];
    const char *file = entry.u.bitmap.fileName;
    char path[kPathMax];
    if (dirFd == AT_FDCWD && !JoinPath(path, sizeof path, dirname, file, Slash::IfMissing)) continue;
    const char *at = dirFd == AT_FDCWD ? path : file;
    struct stat st;
    if (::fstatat(dirFd, at, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
      note(file, "a symbolic link");
    constexpr mode_t kReadableByAll = S_IRUSR | S_IRGRP | S_IROTH;
    if (::fstatat(dirFd, at, &st, 0) == 0 && (st.st_mode & kReadableByAll) != kReadableByAll)
      note(file, "not readable by all users");
    if (!isXlfdName(entry.name)) note(file, "font name is not a 14-field XLFD name");
  }
}

}  // namespace

unsigned Hash(const char *name) {
  uint32_t h = 0;
  for (; *name; ++name)
    h = (h << 1) ^ static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(*name)));
  return h & 0x3FF;
}

bool LoadDirectory(const char *dirname, FontTable *table, ScanCounts *counts) {
  *counts = {};
  // List, keeping one file per base name.
  DirectoryListing listing(dirname, settings.reproducible);
  if (!listing.isOpen()) return false;
  ScanBuckets kept(settings.verbose);
  if (!kept.init()) return false;
  bool offered = true;
  bool listed = listing.forEach([&](const char *name, unsigned char type) {
    const FontRenderer *renderer = FontFileMatchRenderer(name);
    if (renderer) offered = kept.offer(name, renderer, FontFileKindOfListing(type));
    return offered;
  });
  KeptFiles files;
  if (!listed || !offered || !kept.takeInOrder(&files)) return false;

  // Each kept file: open, read, name, add.  The directory stays open, so
  // that each font is opened from it by name.
  int dirFd = listing.fd();
  if (dirFd < 0) dirFd = AT_FDCWD;
  for (const KeptFile &file : files) {
    SkipReason reason = ProcessFile(dirname, dirFd, file, table);
    if (reason.skip == Skip::Added) {
      ++counts->indexed;
    } else {
      ++counts->skipped;
      std::fprintf(stderr, "%s: unable to process font %s/%s, skipping\n", progName, dirname,
                   file.name);
      if (settings.verbose) reportSkip(dirname, file.name, reason);
    }
    for (const PassedOver *p = file.passedOver; p; p = p->next) {  // remembered when verbose
      ++counts->skipped;
      reportSkip(dirname, p->name(), {Skip::Preferred, 0, file.name});
    }
  }
  if (settings.verbose) reportNotes(dirname, dirFd, table);
  return true;
}
