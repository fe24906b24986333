// --scalable: the outline and bitmap-only OpenType files of a directory,
// through the faces layer.  Outline faces become the lines of fonts.scale;
// the strikes of .otb files become entries of the font name table beside the
// bitmap fonts.  Both sets of lines are sorted by the whole line, so that
// what a directory gives depends on its files alone, not on the listing.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "tool/driver.h"
#include "tool/listing.h"

ScalableRun *scalableRun = nullptr;

IndexLines::~IndexLines() {
  for (size_t i = 0; i < lines_.count(); i++) FontFree(lines_[i]);
}

bool IndexLines::add(const char *line) {
  size_t length = std::strlen(line);
  auto *copy = static_cast<char *>(FontAlloc(length + 1));
  if (!copy) return false;
  std::memcpy(copy, line, length + 1);
  if (lines_.push(copy)) return true;
  FontFree(copy);
  return false;
}

void IndexLines::sort() {
  std::sort(lines_.data(), lines_.data() + lines_.count(),
            [](const char *a, const char *b) { return std::strcmp(a, b) < 0; });
}

namespace {

// A line "file font-name" split at its first space (file names with white
// space never become lines): the file name into `file` (of kPathMax bytes);
// the font name.  None when the file name does not fit.
const char *splitLine(const char *line, char *file) {
  const char *space = std::strchr(line, ' ');
  size_t length = static_cast<size_t>(space - line);
  if (length >= kPathMax) return nullptr;
  std::memcpy(file, line, length);
  file[length] = '\0';
  return space + 1;
}

void reportLeftOut(const char *dirname, const char *file, const char *reason) {
  std::fprintf(stderr, "%s: %s/%s: %s\n", progName, dirname, file, reason);
}

bool outOfMemory() {
  std::fprintf(stderr, "%s: out of memory\n", progName);
  return false;
}

// The .otb lines into the table in order; a font name that an entry has
// already is told and passed over, as for a bitmap font.
bool addStrikes(const char *dirname, const IndexLines &strikes, FontTable *table, ScanCounts *counts) {
  for (size_t i = 0; i < strikes.count(); i++) {
    char file[kPathMax];
    const char *name = splitLine(strikes[i], file);
    if (!name) continue;
    if (FontEntry *existing = FontFileFindExactName(table, name)) {
      std::fprintf(stderr, "%s: Duplicate font names %s\n", progName, name);
      std::fprintf(stderr, "\t%s %s\n", existing->u.bitmap.fileName, file);
      std::fprintf(stderr, "%s: unable to process font %s/%s, skipping\n", progName, dirname, file);
      ++counts->skipped;
      if (settings.verbose)
        std::fprintf(stderr, "%s: %s/%s: %s: %s\n", progName, dirname, file,
                     "same font name as an earlier file", existing->u.bitmap.fileName);
      continue;
    }
    if (!AddEntry(table, name, file)) return outOfMemory();
    ++counts->indexed;
  }
  return true;
}

}  // namespace

bool LoadFaces(const char *dirname, FontTable *table, IndexLines *scale, ScanCounts *counts) {
  DirectoryListing listing(dirname, settings.reproducible);
  if (!listing.isOpen()) return false;
  IndexLines strikes;
  FaceEntries entries;
  bool ok = true;
  bool listed = listing.forEach([&](const char *name, unsigned char) {
    FaceFileKind kind = FaceFileKindOf(name);
    if (kind == FaceFileKind::Other) return true;
    ++counts->faceFiles;
    char path[kPathMax];
    const char *reason = nullptr;
    FaceReason why = FaceReason::None;
    if (std::strpbrk(name, " \t\n\v\f\r")) {
      reason = "file name cannot be one line of an index file";
    } else if (!JoinPath(path, sizeof path, dirname, name, Slash::IfMissing)) {
      reason = "path too long";
    } else {
      switch (FaceFileEntries(scalableRun->library, path, name, kind, scalableRun->charsets,
                              &entries, &why)) {
        case FaceResult::OutOfMemory:
          ok = false;
          return false;
        case FaceResult::LeftOut:
          reason = FaceReasonText(why);
          break;
        case FaceResult::Entries:
          break;
      }
    }
    if (reason) {
      ++counts->faceLeftOut;
      if (settings.verbose) reportLeftOut(dirname, name, reason);
      return true;
    }
    IndexLines *lines = kind == FaceFileKind::BitmapOnly ? &strikes : scale;
    for (size_t i = 0; i < entries.count && ok; i++) ok = lines->add(entries.items.get()[i].line);
    return ok;
  });
  if (!listed || !ok) return outOfMemory();
  scale->sort();
  strikes.sort();
  return addStrikes(dirname, strikes, table, counts);
}

bool MergeScaleLines(const IndexLines &scale, FontTable *table) {
  for (size_t i = 0; i < scale.count(); i++) {
    char file[kPathMax];
    const char *name = splitLine(scale[i], file);
    if (name && !AddEntry(table, name, file)) return outOfMemory();
  }
  return true;
}
