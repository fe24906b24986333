// fonts.dir and encodings.dir.
//
// An index file is removed first (so a link in its place is removed, not
// written through), then its new content is written into a temporary file
// created exclusively beside it and renamed into place once every byte is
// written and the file is closed.  The index path therefore only ever holds
// a complete file, and a link planted after the removal is never followed.
//
// --check (indexcheck.cpp) builds the same bytes in memory, through the same
// formatters and the same decision on encodings.dir.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

#include "tool/driver.h"

namespace {

enum class WriteResult { Written, CannotCreate, CannotWrite };

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

template <class Body>
WriteResult writeReplacing(const char *path, Body body) {
  char tempPath[kPathMax + kTempSuffixLength];
  int fd = createTemporary(path, tempPath);
  if (fd < 0) return WriteResult::CannotCreate;
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
  if (ok && std::rename(tempPath, path) == 0) return WriteResult::Written;
  ::unlink(tempPath);
  return WriteResult::CannotWrite;
}

// Removal that treats a file already gone as success.
bool removeOld(const char *path) { return ::unlink(path) == 0 || errno == ENOENT; }

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
  explicit MemorySink(IndexBuffer *buffer) : buffer_(buffer) {}
  bool put(const char *bytes, size_t length) { return buffer_->put(bytes, length); }
  bool text(const char *text) { return buffer_->put(text, std::strlen(text)); }
  bool byte(char c) { return buffer_->put(&c, 1); }

 private:
  IndexBuffer *buffer_;
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

// The count, then "name prefix+path" lines, bucket by bucket.
template <class Sink>
bool formatEncodingsDir(Sink &out, const EncodingTable *encodings, int encodingCount) {
  if (!putCount(out, encodingCount)) return false;
  for (EncodingEntry *const &bucket : encodings->buckets)
    for (const EncodingEntry *e = bucket; e; e = e->next)
      if (!out.text(e->name) || !out.byte(' ') || !out.text(prefix) || !out.text(e->file) || !out.byte('\n'))
        return false;
  return true;
}

// encodings.dir: every problem is a warning; the directory still succeeds.
void WriteEncodingsDir(const char *dirname, EncodingTable *encodings, int encodingCount) {
  EncodingsDirAction action = EncodingsDirActionFor(encodingCount);
  if (action == EncodingsDirAction::Keep) return;
  char path[kPathMax];
  if (!IndexPath(path, dirname, "encodings.dir")) {
    std::fprintf(stderr, "%s: can't create directory %s/%s\n", progName, dirname, "encodings.dir");
    return;
  }
  if (!removeOld(path)) {
    std::fprintf(stderr, "%s: warning: cannot unlink %s\n", progName, path);
    return;
  }
  if (action == EncodingsDirAction::Remove) return;
  auto body = [&](FILE *f) {
    FileSink sink(f);
    return formatEncodingsDir(sink, encodings, encodingCount);
  };
  switch (writeReplacing(path, body)) {
    case WriteResult::Written:
      break;
    case WriteResult::CannotCreate:
      std::fprintf(stderr, "%s: can't create directory %s\n", progName, path);
      break;
    case WriteResult::CannotWrite:
      std::fprintf(stderr, "%s: warning: cannot write %s\n", progName, path);
      break;
  }
}

}  // namespace

bool IndexBuffer::put(const char *bytes, size_t length) {
  if (length > capacity - size) {
    size_t wanted = capacity ? capacity : 4096;
    while (wanted - size < length) {
      if (wanted > kFontAllocLimit / 2) return false;
      wanted *= 2;
    }
    char *grown = static_cast<char *>(FontRealloc(data.get(), wanted));
    if (!grown) return false;
    data.release();
    data.reset(grown);
    capacity = wanted;
  }
  std::memcpy(data.get() + size, bytes, length);
  size += length;
  return true;
}

bool FormatFontsDir(const FontTable *table, IndexBuffer *out) {
  MemorySink sink(out);
  return formatFontsDir(sink, table);
}

bool FormatEncodingsDir(const EncodingTable *encodings, int encodingCount, IndexBuffer *out) {
  MemorySink sink(out);
  return formatEncodingsDir(sink, encodings, encodingCount);
}

EncodingsDirAction EncodingsDirActionFor(int encodingCount) {
  if (!have_enc_dir) return EncodingsDirAction::Keep;
  return encodingCount == 0 ? EncodingsDirAction::Remove : EncodingsDirAction::Write;
}

bool IndexPath(char *path, const char *dirname, const char *name) {
  return JoinPath(path, kPathMax, dirname, name, Slash::Always);
}

bool WriteFontTable(const char *dirname, FontTable *table, EncodingTable *encodings,
                    int encodingCount) {
  char path[kPathMax];
  if (!IndexPath(path, dirname, "fonts.dir")) {
    std::fprintf(stderr, "%s: can't create directory %s/%s\n", progName, dirname, "fonts.dir");
    return false;
  }
  if (!removeOld(path)) {
    std::fprintf(stderr, "%s: cannot unlink %s\n", progName, path);
    return false;
  }
  auto body = [&](FILE *f) {
    FileSink sink(f);
    return formatFontsDir(sink, table);
  };
  switch (writeReplacing(path, body)) {
    case WriteResult::Written:
      break;
    case WriteResult::CannotCreate:
      std::fprintf(stderr, "%s: can't create directory %s\n", progName, path);
      return false;
    case WriteResult::CannotWrite:
      std::fprintf(stderr, "%s: cannot write %s\n", progName, path);
      return false;
  }
  WriteEncodingsDir(dirname, encodings, encodingCount);
  return true;
}
