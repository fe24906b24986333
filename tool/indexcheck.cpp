// --check: the index files a run would write, compared with the ones there.
//
// The new bytes come from the formatters the writer uses, so a check and a
// run cannot disagree.  Nothing is created, renamed or removed; an old index
// is only opened for reading.  For each index file that would change, the
// report on standard output is its path, then a line per change: "- " and a
// line that would go, "+ " and a line that would come, in file order.  A last
// line without a newline is followed by "\ no newline at end of file".
//
// Both texts are held in memory, in pieces (indextext.h), so an index of any
// size is compared.  Lines are matched up (linediff.h) when the two hold at
// most kMaxLines between them; a larger pair is reported as every old line
// going and every new line coming, which is as true, only longer.
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "tool/driver.h"
#include "tool/linediff.h"

namespace {

// What is at an index path now.
struct OldIndexBytes {
  bool present = false;
  IndexText bytes;
};

bool cannotRead(const char *path, int error) {
  std::fprintf(stderr, "%s: cannot read %s: %s\n", progName, path, std::strerror(error));
  return false;
}

bool outOfMemory() {
  std::fprintf(stderr, "%s: out of memory\n", progName);
  return false;
}

// Why bytes could not be held: a shortage, or a line past the ceiling.
bool cannotHold(const char *path, const IndexText &text) {
  if (!text.lineTooLong()) return outOfMemory();
  std::fprintf(stderr, "%s: %s is too large to compare\n", progName, path);
  return false;
}

// False, with the message written, when the old index cannot be read.  A
// link is followed: what counts is what a reader of the path gets.  A
// directory in the index's place makes a run fail, so it cannot be checked;
// any other special file would be replaced by a run, and counts as an index
// without lines.
bool readOldIndex(const char *path, OldIndexBytes *old) {
  int error = 0;
  switch (ReadOldIndex(path, true, &old->bytes, &error)) {
    case OldIndex::Missing:
      return true;
    case OldIndex::Read:
    case OldIndex::NotRegular:
      old->present = true;
      return true;
    case OldIndex::Directory:
      return cannotRead(path, EISDIR);
    case OldIndex::Failed:
      break;
  }
  return error ? cannotRead(path, error) : cannotHold(path, old->bytes);
}

void reportLine(void *, char change, const TextLine &line) {
  std::putchar(change);
  std::putchar(' ');
  std::fwrite(line.text, 1, line.length, stdout);
  if (line.length == 0 || line.text[line.length - 1] != '\n')
    std::fputs("\n\\ no newline at end of file\n", stdout);
}

// The lines of `text` into `lines`; false when memory is short.
bool splitText(const IndexText &text, LineList *lines) {
  for (size_t i = 0; i < text.pieceCount(); i++)
    if (!SplitLines(text.pieceData(i), text.pieceSize(i), lines)) return false;
  return true;
}

// Every line of `text` reported as `change`.
void reportAll(const IndexText &text, char change) {
  for (size_t i = 0; i < text.pieceCount(); i++) {
    const char *p = text.pieceData(i), *end = p + text.pieceSize(i);
    while (p < end) {
      const void *newline = std::memchr(p, '\n', static_cast<size_t>(end - p));
      const char *next = newline ? static_cast<const char *>(newline) + 1 : end;
      reportLine(nullptr, change, TextLine{p, static_cast<size_t>(next - p), 0});
      p = next;
    }
  }
}

// Reports how `old` turns into `now`, after the path.  False when memory is
// short (nothing is reported then).
bool reportChange(const char *path, const IndexText &old, const IndexText &now) {
  if (old.lineCount() + now.lineCount() > kMaxLines) {
    std::printf("%s\n", path);
    reportAll(old, '-');
    reportAll(now, '+');
    return true;
  }
  LineList oldLines, nowLines;
  if (!splitText(old, &oldLines) || !splitText(now, &nowLines)) return outOfMemory();
  std::printf("%s\n", path);
  return DiffLines(oldLines, nowLines, reportLine, nullptr) || outOfMemory();
}

// Compares the index at `path` with `now`, the bytes a run would leave there
// (none: the run leaves no file), and reports the difference.
CheckResult compareIndex(const char *path, const IndexText *now) {
  OldIndexBytes old;
  if (!readOldIndex(path, &old)) return CheckResult::Failed;
  if (!now && !old.present) return CheckResult::Current;
  if (now && old.present && *now == old.bytes) return CheckResult::Current;
  IndexText nothing;
  return reportChange(path, old.bytes, now ? *now : nothing) ? CheckResult::WouldChange : CheckResult::Failed;
}

CheckResult worse(CheckResult a, CheckResult b) { return a > b ? a : b; }

// The index path, or the message when it does not fit.
bool checkPath(char *path, const char *dirname, const char *name) {
  if (IndexPath(path, dirname, name)) return true;
  std::fprintf(stderr, "%s: cannot read %s/%s: %s\n", progName, dirname, name, std::strerror(ENAMETOOLONG));
  return false;
}

}  // namespace

CheckResult CheckFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                           int encodingCount, const IndexLines *scale) {
  char path[kPathMax];
  CheckResult result = CheckResult::Current;
  if (scale) {
    if (!checkPath(path, dirname, "fonts.scale")) return CheckResult::Failed;
    IndexText fontsScale;
    if (!FormatFontsScale(*scale, &fontsScale)) {
      cannotHold(path, fontsScale);
      return CheckResult::Failed;
    }
    result = compareIndex(path, ListsNothing(table) ? nullptr : &fontsScale);
  }
  if (!checkPath(path, dirname, "fonts.dir")) return CheckResult::Failed;
  IndexText fontsDir;
  if (!FormatFontsDir(table, &fontsDir)) {
    cannotHold(path, fontsDir);
    return CheckResult::Failed;
  }
  result = worse(result, compareIndex(path, ListsNothing(table) ? nullptr : &fontsDir));

  EncodingsDirAction action = EncodingsDirActionFor(encodingCount, table);
  if (action == EncodingsDirAction::Keep) return result;
  if (!checkPath(path, dirname, "encodings.dir")) return CheckResult::Failed;
  if (action == EncodingsDirAction::Remove) return worse(result, compareIndex(path, nullptr));
  IndexText encodingsDir;
  if (!FormatEncodingsDir(encodings, encodingCount, &encodingsDir)) {
    cannotHold(path, encodingsDir);
    return CheckResult::Failed;
  }
  return worse(result, compareIndex(path, &encodingsDir));
}

int CheckDirectories(const char *const *dirnames, int count, EncodingTable *encodings,
                     int encodingCount) {
  CheckResult result = CheckResult::Current;
  for (int i = 0; i < count; i++) {
    CheckResult one = CheckDirectory(dirnames[i], encodings, encodingCount);
    if (one == CheckResult::Failed) std::fprintf(stderr, "%s: cannot check %s\n", progName, dirnames[i]);
    result = worse(result, one);
  }
  if (!FinishStandardOutput()) return 2;  // a report that did not arrive is no check
  switch (result) {
    case CheckResult::Current:
      return 0;
    case CheckResult::WouldChange:
      return 1;
    case CheckResult::Failed:
      break;
  }
  return 2;
}
