// fonts.dir and encodings.dir, and the fonts.scale of a --scalable run.
//
// An index file is replaced, never removed first: its new content is written
// into a temporary file created exclusively beside it, and once every byte
// is written and the file is closed, the temporary file is renamed over the
// index.  A reader of the index path therefore finds the old file or the new
// one, never none and never half of one; when the write fails (a full disk),
// the old index stays as it was.  rename replaces a link in the index's
// place rather than writing through it.  Only an index that a run drops
// without a replacement (encodings.dir when no encoding is found, and with
// --remove-empty every index of a directory that lists nothing) is removed.
//
// With --if-changed the new bytes are built in memory first and compared
// with the old file, read as a check reads it but without following a link:
// a regular file that already holds them is not touched at all, so its
// inode, its times and the directory's modification time stay.  Anything
// else there (different bytes, a link, a FIFO, a file that cannot be read)
// is replaced as without the option.
//
// --check (indexcheck.cpp) builds the same bytes in memory, through the same
// formatters and the same decision on encodings.dir.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "tool/driver.h"

namespace {

// How replacing an index ended.  The failures are told apart as the user
// knows them: an old index that cannot be put aside (the directory is
// read-only, or a directory stands in its place), no file that can be
// created, or bytes that do not all reach the disk.
enum class WriteResult { Written, CannotRemove, CannotCreate, CannotWrite };

// The temporary name is the index path followed by '.' and six characters.
constexpr int kTempSuffixLength = 7;

// The temporary name's characters come from a 64-bit linear congruential
// generator with the multiplier and increment of Knuth's MMIX
// (6364136223846793005, 1442695040888963407: full period 2^64).  Its low
// bits repeat with short periods (bit k with period 2^(k+1)), so characters
// are taken from the high bits (>> 33).  The seed is the time with the
// process id moved up 16 bits, clear of the low bits in which the times of
// two runs differ, so that runs seldom start alike; it is made odd so that
// it is never 0 (not seeded yet).  Six of 62 characters make 5.7 * 10^10
// names: an existing name costs one more attempt, and 100 attempts all
// taken is as good as impossible unless someone makes the names on purpose.
// Seeded at the first use; a plain variable rather than a local static,
// which would need the C++ run-time library's guard.
unsigned long seed = 0;

int createTemporary(const char *path, char *tempPath) {
  if (seed == 0)
    seed = (static_cast<unsigned long>(std::time(nullptr)) ^ (static_cast<unsigned long>(getpid()) << 16)) | 1u;
  static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  size_t length = std::strlen(path);
  for (int attempt = 0; attempt < 100; attempt++) {
    std::memcpy(tempPath, path, length);
    tempPath[length] = '.';
    for (int i = 1; i < kTempSuffixLength; i++) {
      seed = seed * 6364136223846793005ul + 1442695040888963407ul;
      tempPath[length + static_cast<size_t>(i)] = letters[(seed >> 33) % (sizeof letters - 1)];
    }
    tempPath[length + kTempSuffixLength] = '\0';
    // 0666 under the umask, as a plain create would give.
    int fd = ::open(tempPath, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Whether something stands at `path` that the replacement must take the
// place of; a path that cannot even be looked at counts, as it cannot be
// replaced either.
bool somethingAt(const char *path, struct stat *st) {
  return ::lstat(path, st) == 0 || errno != ENOENT;
}

bool diskFull(int error) { return error == ENOSPC || error == EDQUOT; }

template <class Body>
WriteResult writeReplacing(const char *path, Body body) {
  struct stat st;
  st.st_mode = 0;
  bool occupied = somethingAt(path, &st);
  // A file cannot be renamed over a directory: fail before writing anything.
  if (occupied && S_ISDIR(st.st_mode)) return WriteResult::CannotRemove;
  char tempPath[kPathMax + kTempSuffixLength];
  int fd = createTemporary(path, tempPath);
  if (fd < 0) {
    if (diskFull(errno)) return WriteResult::CannotWrite;
    return occupied ? WriteResult::CannotRemove : WriteResult::CannotCreate;
  }
  FILE *file = fdopen(fd, "w");
  if (!file) {
    ::close(fd);
    ::unlink(tempPath);
    return WriteResult::CannotCreate;
  }
  // A line of fonts.dir is some 90 bytes, so 64 KiB takes some 700 lines a
  // system call, where the default page-sized buffer would take 45.  The
  // buffer lives until the file is closed below.
  char buffer[1 << 16];
  std::setvbuf(file, buffer, _IOFBF, sizeof buffer);
  bool ok = body(file);
  ok = !std::ferror(file) && ok;
  ok = std::fclose(file) == 0 && ok;
  if (!ok) {
    ::unlink(tempPath);
    return WriteResult::CannotWrite;
  }
  if (std::rename(tempPath, path) == 0) return WriteResult::Written;
  int error = errno;
  ::unlink(tempPath);
  return occupied && !diskFull(error) ? WriteResult::CannotRemove : WriteResult::CannotWrite;
}

// Replaces the index at `path` with what `body` writes; false, with the
// message (after `warning`, "" or "warning: "), when the old index stays.
template <class Body>
bool replaceIndex(const char *path, const char *warning, Body body) {
  switch (writeReplacing(path, body)) {
    case WriteResult::Written:
      return true;
    case WriteResult::CannotRemove:
      std::fprintf(stderr, "%s: %scannot unlink %s\n", progName, warning, path);
      break;
    case WriteResult::CannotCreate:
      std::fprintf(stderr, "%s: can't create directory %s\n", progName, path);
      break;
    case WriteResult::CannotWrite:
      std::fprintf(stderr, "%s: %scannot write %s\n", progName, warning, path);
      break;
  }
  return false;
}

// The index formats, written once for both destinations of their bytes: a
// file being written (FileSink) and memory, for a check (MemorySink).
// Each sink takes a block, a NUL-terminated text and a byte.
class FileSink {
 public:
  explicit FileSink(FILE *file) : file_(file) {}
  bool put(const char *bytes, size_t length) { return std::fwrite(bytes, 1, length, file_) == length; }
  bool text(const char *text) { return std::fputs(text, file_) >= 0; }
  bool byte(char c) { return std::putc(c, file_) != EOF; }

 private:
  FILE *file_;
};

class MemorySink {
 public:
  explicit MemorySink(IndexText *buffer) : buffer_(buffer) {}
  bool put(const char *bytes, size_t length) { return buffer_->put(bytes, length); }
  bool text(const char *text) { return buffer_->put(text, std::strlen(text)); }
  bool byte(char c) { return buffer_->put(&c, 1); }

 private:
  IndexText *buffer_;
};

template <class Sink>
bool putCount(Sink &out, int count) {
  char line[16];
  int length = std::snprintf(line, sizeof line, "%d\n", count);
  return out.put(line, static_cast<size_t>(length));
}

// The count, then "file name" lines in table order.
template <class Sink>
bool formatFontsDir(Sink &out, const FontTable *table) {
  if (!putCount(out, table->count)) return false;
  for (int i = 0; i < table->count; i++) {
    const FontEntry &e = table->entries[i];
    if (!out.text(e.u.bitmap.fileName) || !out.byte(' ') || !out.text(e.name.text) || !out.byte('\n'))
      return false;
  }
  return true;
}

// The count, then the lines in their order.
template <class Sink>
bool formatFontsScale(Sink &out, const IndexLines &scale) {
  if (!putCount(out, static_cast<int>(scale.count()))) return false;
  for (size_t i = 0; i < scale.count(); i++)
    if (!out.text(scale[i]) || !out.byte('\n')) return false;
  return true;
}

// The count, then "name prefix+path" lines, bucket by bucket.
template <class Sink>
bool formatEncodingsDir(Sink &out, const EncodingTable *encodings, int encodingCount) {
  if (!putCount(out, encodingCount)) return false;
  for (EncodingEntry *const &bucket : encodings->buckets)
    for (const EncodingEntry *e = bucket; e; e = e->next)
      if (!out.text(e->name) || !out.byte(' ') || !out.text(settings.prefix) || !out.text(e->file) || !out.byte('\n'))
        return false;
  return true;
}

// What became of an index file, for the verbose summary.
enum class Outcome { Kept, Written, Removed, Absent, Failed };

// Says, in a verbose run with --if-changed or --remove-empty, what became of
// the index at `path`.
void tellOutcome(const char *path, Outcome outcome) {
  if (!settings.verbose || !(settings.ifChanged || settings.removeEmpty)) return;
  static const char *const texts[] = {"kept, already current", "written", "removed"};
  if (outcome <= Outcome::Removed)
    std::fprintf(stderr, "%s: %s: index %s\n", progName, path, texts[static_cast<int>(outcome)]);
}

// The bytes of `text` into `file`.
bool writeText(FILE *file, const IndexText &text) {
  for (size_t i = 0; i < text.pieceCount(); i++)
    if (std::fwrite(text.pieceData(i), 1, text.pieceSize(i), file) != text.pieceSize(i)) return false;
  return true;
}

// With --if-changed: whether the regular file at `path` holds exactly `now`.
// An old file that cannot be read, or a shortage, is no match: the index is
// then written.
bool holdsAlready(const char *path, const IndexText &now) {
  IndexText old;
  int error;
  return ReadOldIndex(path, false, &old, &error) == OldIndex::Read && old == now;
}

// The index file `name` of the directory: removed when `remove`, otherwise
// replaced with what `format` gives a sink.  Messages begin with `warning`
// ("" or "warning: "); Failed means the old index stays.
template <class Format>
Outcome putIndex(const char *dirname, const char *name, const char *warning, bool remove, Format format) {
  char path[kPathMax];
  if (!IndexPath(path, dirname, name)) {
    std::fprintf(stderr, "%s: can't create directory %s/%s\n", progName, dirname, name);
    return Outcome::Failed;
  }
  Outcome outcome = Outcome::Written;
  if (remove) {
    if (::unlink(path) == 0) {
      outcome = Outcome::Removed;
    } else if (errno == ENOENT) {
      outcome = Outcome::Absent;
    } else {
      std::fprintf(stderr, "%s: %scannot unlink %s\n", progName, warning, path);
      return Outcome::Failed;
    }
  } else if (!settings.ifChanged) {
    auto body = [&](FILE *f) {
      FileSink sink(f);
      return format(sink);
    };
    if (!replaceIndex(path, warning, body)) return Outcome::Failed;
  } else {
    // Bytes that cannot be held for the comparison are written as they come.
    IndexText now;
    MemorySink memory(&now);
    bool held = format(memory);
    if (held && holdsAlready(path, now)) {
      outcome = Outcome::Kept;
    } else {
      auto body = [&](FILE *f) {
        if (held) return writeText(f, now);
        FileSink sink(f);
        return format(sink);
      };
      if (!replaceIndex(path, warning, body)) return Outcome::Failed;
    }
  }
  tellOutcome(path, outcome);
  return outcome;
}

}  // namespace

bool FormatFontsDir(const FontTable *table, IndexText *out) {
  MemorySink sink(out);
  return formatFontsDir(sink, table);
}

bool FormatEncodingsDir(const EncodingTable *encodings, int encodingCount, IndexText *out) {
  MemorySink sink(out);
  return formatEncodingsDir(sink, encodings, encodingCount);
}

bool FormatFontsScale(const IndexLines &scale, IndexText *out) {
  MemorySink sink(out);
  return formatFontsScale(sink, scale);
}

bool ListsNothing(const FontTable *table) { return settings.removeEmpty && table->count == 0; }

EncodingsDirAction EncodingsDirActionFor(int encodingCount, const FontTable *table) {
  if (!settings.encodingDirectories) return EncodingsDirAction::Keep;
  return encodingCount == 0 || ListsNothing(table) ? EncodingsDirAction::Remove : EncodingsDirAction::Write;
}

bool IndexPath(char *path, const char *dirname, const char *name) {
  return JoinPath(path, kPathMax, dirname, name, Slash::Always);
}

bool WriteFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                    int encodingCount) {
  auto fontsDir = [&](auto &sink) { return formatFontsDir(sink, table); };
  if (putIndex(dirname, "fonts.dir", "", ListsNothing(table), fontsDir) == Outcome::Failed) return false;
  // encodings.dir: every problem is a warning; the directory still succeeds.
  EncodingsDirAction action = EncodingsDirActionFor(encodingCount, table);
  if (action == EncodingsDirAction::Keep) return true;
  auto encodingsDir = [&](auto &sink) { return formatEncodingsDir(sink, encodings, encodingCount); };
  putIndex(dirname, "encodings.dir", "warning: ", action == EncodingsDirAction::Remove, encodingsDir);
  return true;
}

bool WriteFontsScale(const char *dirname, const IndexLines &scale, const FontTable *table) {
  auto fontsScale = [&](auto &sink) { return formatFontsScale(sink, scale); };
  return putIndex(dirname, "fonts.scale", "", ListsNothing(table), fontsScale) != Outcome::Failed;
}
