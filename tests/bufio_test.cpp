// Raw byte streams and opening files by path.
#include <gtest/gtest.h>
#include <functional>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "fontfile/bufio.h"
#include "fontfile/decompress.h"
#include "fontfile/fileio.h"
#include "fontfile/gunzip.h"
#include "tests/support/compressed.h"
#include "tests/support/membuf.h"
#include "tests/support/streamtest.h"
#include "tests/support/tempdir.h"
#include "util/miscutil.h"

namespace {

std::string Pattern(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
  return s;
}

BufFile *OpenRaw(const std::string &path) {
  int fd = open(path.c_str(), O_RDONLY);
  EXPECT_GE(fd, 0);
  return BufFileOpenRead(fd);
}

// How many bytes the stream holds ahead of the reader (it fills when none).
int Held(BufFile *f) {
  const unsigned char *bytes;
  return BufFileAhead(f, &bytes);
}

TEST(BufFile, SkipsWithinAndBeyondTheBuffer) {
  TempDir d;
  std::string data = Pattern(20000);
  WriteFile(d / "f", data);
  BufFile *f = OpenRaw(d / "f");
  EXPECT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[0]));
  EXPECT_EQ(BufFileSkip(f, 0), 0);
  EXPECT_EQ(Held(f), 8191);
  EXPECT_EQ(BufFileSkip(f, 100), 100);
  EXPECT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[101]));
  // Exactly what remains stays in the buffer; the next get fills.
  int left = Held(f);
  EXPECT_EQ(BufFileSkip(f, left), left);
  EXPECT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[8192]));
  // One more than remains seeks.
  EXPECT_EQ(BufFileSkip(f, Held(f) + 1), 8191 + 1);
  EXPECT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[8192 + 1 + 8191 + 1]));
  // Past the end of a regular file the seek succeeds; the data then ends.
  EXPECT_EQ(BufFileSkip(f, 50000), 50000);
  EXPECT_EQ(BufFileGetByte(f), -1);
  EXPECT_EQ(BufFileSkip(f, -1), -1);  // never backwards
  BufFileClose(f, 1);
}

TEST(BufFile, SkipsOnAPipeReadAndDiscard) {
  std::string data = Pattern(30000);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread writer([&] {
    EXPECT_EQ(write(fds[1], data.data(), data.size()), static_cast<ssize_t>(data.size()));
    close(fds[1]);
  });
  BufFile *f = BufFileOpenRead(fds[0]);
  EXPECT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[0]));
  int inBuffer = Held(f);
  EXPECT_EQ(BufFileSkip(f, inBuffer + 20000), inBuffer + 20000);
  EXPECT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[1 + static_cast<size_t>(inBuffer) + 20000]));
  // The pipe ends before this skip does.
  EXPECT_EQ(BufFileSkip(f, Held(f) + 20000), -1);
  writer.join();
  BufFileClose(f, 1);
}

// A check of a stream over `data`; `what` names the kind of stream.
using StreamCheck = std::function<void(BufFile *f, const std::string &data, const std::string &what)>;

// Runs `check` on a stream of every kind over `data`: raw over a file, in
// memory with fills of each of `chunks` bytes, and through the gzip and LZW
// filters (the file packed by the system's programs).
void ForEveryStreamKind(const std::string &data, std::initializer_list<int> chunks, const StreamCheck &check) {
  TempDir d;
  WriteFile(d / "f", data);
  BufFile *f = OpenRaw(d / "f");
  check(f, data, "raw");
  BufFileClose(f, 1);
  for (int chunk : chunks) {
    f = MemBufOpen(data.data(), data.size(), chunk);
    check(f, data, "fills of " + std::to_string(chunk));
    BufFileClose(f, 1);
  }
  if (std::string why = MissingPrograms({"gzip", "compress"}); !why.empty()) GTEST_SKIP() << why;
  for (auto [tool, suffix] : {std::pair{"gzip", ".gz"}, std::pair{"compress", ".Z"}}) {
    std::string packed = d / (std::string("f") + suffix);
    ASSERT_TRUE(CompressFile(tool, d / "f", packed));
    f = FontFileOpen(packed.c_str());
    check(f, data, suffix);
    FontFileClose(f);
  }
}

// Up to three gets, then one read of all the rest and more, then the end,
// which stays.
void deliveredWholeThenEnds(BufFile *f, const std::string &data, const std::string &what) {
  size_t gets = std::min<size_t>(3, data.size());
  for (size_t i = 0; i < gets; i++) EXPECT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[i])) << what;
  // A file of exactly one buffer is one fill of the raw stream.
  if (what == "raw" && data.size() == 8192) {
    EXPECT_EQ(Held(f), 8189);
  }
  std::string got(data.size() + 10, '\0');
  EXPECT_EQ(BufFileRead(f, got.data(), static_cast<int>(got.size())), static_cast<int>(data.size() - gets)) << what;
  EXPECT_EQ(got.substr(0, data.size() - gets), data.substr(gets)) << what;
  EXPECT_EQ(BufFileGetByte(f), -1) << what;
  EXPECT_EQ(BufFileGetByte(f), -1) << what;
}

// The byte a get returned just before the cursor is kept, whether the fast
// path or a fill delivered it, so it can be given back.
void theByteJustReadCanBeGivenBack(BufFile *f, const std::string &data, const std::string &what) {
  std::string got;
  for (int c; (c = BufFileGetByte(f)) != BUFFILEEOF; got += static_cast<char>(c)) {
    BufFileUngetByte(f);
    if (BufFileGetByte(f) != c) break;
  }
  EXPECT_EQ(got, data) << what;
}

// A look ahead shows the bytes the next gets would return, takes none of
// them, and fills only when nothing is held; a take moves on by exactly what
// it says, whatever buffer the fill delivers from.
void lookingAheadTakesNothing(BufFile *f, const std::string &data, const std::string &what) {
  size_t at = 0;
  for (int step = 0;; step++) {
    const unsigned char *bytes = nullptr;
    int held = BufFileAhead(f, &bytes);
    const unsigned char *again = nullptr;
    ASSERT_EQ(BufFileAhead(f, &again), held) << what << " at " << at;
    ASSERT_EQ(again, bytes) << what;
    if (held == 0) break;
    ASSERT_LE(static_cast<size_t>(held), data.size() - at) << what;
    ASSERT_EQ(std::string(reinterpret_cast<const char *>(bytes), static_cast<size_t>(held)),
              data.substr(at, static_cast<size_t>(held)))
        << what << " at " << at;
    // Takes of the whole view, of part of it, and gets between them.
    int take = step % 3 == 0 ? held : std::min(held, step % 17 + 1);
    BufFileConsume(f, take);
    at += static_cast<size_t>(take);
    if (step % 5 == 0 && at < data.size()) {
      ASSERT_EQ(BufFileGetByte(f), static_cast<unsigned char>(data[at++])) << what;
    }
  }
  EXPECT_EQ(at, data.size()) << what;
  EXPECT_EQ(BufFileGetByte(f), BUFFILEEOF) << what;
}

// Reading to the end with BufFileReadSome ends where the data does, a raw
// stream without the read that finds nothing.
void readingSomeGivesEveryByte(BufFile *f, const std::string &data, const std::string &what) {
  std::string got, piece(70000, '\0');
  bool ended = false;
  while (!ended) {
    int n = BufFileReadSome(f, piece.data(), 70000, &ended);
    got.append(piece.data(), static_cast<size_t>(n));
    if (!ended) {
      EXPECT_EQ(n, 70000) << what;
    }
  }
  EXPECT_EQ(BufFileRead(f, piece.data(), 1), 0) << what;
  EXPECT_EQ(got, data) << what << " " << data.size();
}

// Files of nothing, of bytes above the sign bit (no end of data), of exactly
// one buffer, of one more, and of many.
TEST(BufFile, EveryReadingVerbWorksOnEveryStreamKindAndFile) {
  for (const std::string &data : {std::string(), std::string("\xFF\x80\x00", 3), TextSample(100, 3), Pattern(8192),
                                  TextSample(8193, 3), Pattern(3 * 8192 + 17), TextSample(3 * 8192 + 17),
                                  TextSample(100000, 3)}) {
    SCOPED_TRACE(data.size());
    for (const StreamCheck &check : {StreamCheck(deliveredWholeThenEnds), StreamCheck(theByteJustReadCanBeGivenBack),
                                     StreamCheck(lookingAheadTakesNothing), StreamCheck(readingSomeGivesEveryByte)})
      ForEveryStreamKind(data, {1, 5, 4096, 5000}, [&](BufFile *f, const std::string &d, const std::string &what) {
        ASSERT_NE(f, nullptr) << what;
        check(f, d, what);
      });
  }
}

TEST(FontFileOpen, FiltersAreChosenByExactSuffix) {
  TempDir d;
  std::string plain = "plain data";
  // Raw streams: no compression suffix, or nothing but the suffix.
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(chdir(d.path().c_str()), 0);  // so that a path can be just ".Z"
  for (const char *name : {"a.pcf", "a.GZ", "a.z", ".Z", ".gz", "a.Zz"}) {
    WriteFile(d / name, plain);
    BufFile *f = FontFileOpen(name);
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(f->fill, BufFileRawFill) << name;
    EXPECT_EQ(BufFileGetByte(f), 'p');
    FontFileClose(f);
  }
  ASSERT_EQ(chdir(cwd), 0);
  // A name promising compression whose content is plain: refused, and the
  // descriptor is closed.
  int before = OpenDescriptorCount();
  for (const char *name : {"x.pcf.gz", "x.pcf.Z", "a.gz", "a.Z"}) {
    WriteFile(d / name, plain);
    EXPECT_EQ(FontFileOpen((d / name).c_str()), nullptr) << name;
  }
  EXPECT_EQ(OpenDescriptorCount(), before);
}

// The open of a file of the test directory, with the reason it gives when
// it fails.
struct Opened {
  BufFile *file;
  FontFileFailure failure;
};
Opened OpenAt(int dirFd, const std::string &name, FontFileKind kind,
              BufFilePushProc filter = nullptr) {
  Opened o{nullptr, {FontFileProblem::None, 0}};
  o.file = FontFileOpenAt({dirFd, name.c_str(), kind}, filter, &o.failure);
  return o;
}

// What a directory listing told of a file decides how it is opened.  A
// file it calls special, or a link to one, is never opened at all: opening
// a device can act on it.
TEST(FontFileOpen, TheListingIsTrustedAndLinksAreCheckedBeforeOpening) {
  using K = FontFileKind;
  TempDir d;
  ASSERT_EQ(mkfifo((d / "fifo").c_str(), 0600), 0);
  ASSERT_EQ(symlink((d / "fifo").c_str(), (d / "fifo.pcf").c_str()), 0);
  WriteFile(d / "real.pcf", "x");
  ASSERT_EQ(symlink((d / "real.pcf").c_str(), (d / "link.pcf").c_str()), 0);
  OpenWatch fifo(d / "fifo");
  struct Refused {
    std::string path;
    K kind;
  } refused[] = {
      {d / "fifo", K::Other},
      {d / "fifo.pcf", K::Link},
      {d / "fifo.pcf", K::Regular},  // listed as a regular file, a link by the time it is opened
      {d / "real.pcf", K::Other},
  };
  for (const Refused &r : refused) {
    Opened o = OpenAt(AT_FDCWD, r.path, r.kind);
    EXPECT_EQ(o.file, nullptr) << r.path;
    EXPECT_EQ(o.failure.problem, FontFileProblem::NotRegular) << r.path;
  }
  EXPECT_EQ(fifo.opens(), 0);
  // Without a listing the file is checked once it is open.
  EXPECT_EQ(OpenAt(AT_FDCWD, d / "fifo.pcf", K::Unknown).failure.problem, FontFileProblem::NotRegular);
  EXPECT_EQ(fifo.opens(), 1);
  // By path, and by name from the open directory.
  int dirFd = open(d.path().c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dirFd, 0);
  for (K kind : {K::Regular, K::Link, K::Unknown}) {
    for (const char *name : {"real.pcf", "link.pcf"}) {
      for (BufFile *f : {OpenAt(AT_FDCWD, d / name, kind).file, OpenAt(dirFd, name, kind).file}) {
        ASSERT_NE(f, nullptr) << name << " " << static_cast<int>(kind);
        EXPECT_EQ(BufFileGetByte(f), 'x');
        FontFileClose(f);
      }
    }
    EXPECT_EQ(OpenAt(dirFd, "fifo.pcf", kind == K::Unknown ? K::Link : kind).file, nullptr);
  }
  EXPECT_EQ(fifo.opens(), 1);
  close(dirFd);
}

// The open says why it failed, from the place that found out.
TEST(FontFileOpen, AFailedOpenSaysWhy) {
  using K = FontFileKind;
  TempDir d;
  ASSERT_EQ(symlink((d / "nowhere").c_str(), (d / "dangling.pcf").c_str()), 0);
  WriteFile(d / "plain.pcf.gz", "not gzip data");
  struct Case {
    const char *name;
    K kind;
    BufFilePushProc filter;
    FontFileProblem problem;
    int error;
  } cases[] = {
      {"missing.pcf", K::Regular, nullptr, FontFileProblem::CannotOpen, ENOENT},
      {"missing.pcf", K::Unknown, nullptr, FontFileProblem::CannotOpen, ENOENT},
      {"dangling.pcf", K::Link, nullptr, FontFileProblem::CannotOpen, ENOENT},
      {"dangling.pcf", K::Regular, nullptr, FontFileProblem::CannotOpen, ENOENT},
      {"plain.pcf.gz", K::Regular, BufFilePushZIP, FontFileProblem::BadData, 0},
      {"plain.pcf.gz", K::Regular, BufFilePushCompressed, FontFileProblem::BadData, 0},
  };
  for (const Case &c : cases) {
    Opened o = OpenAt(AT_FDCWD, d / c.name, c.kind, c.filter);
    EXPECT_EQ(o.file, nullptr) << c.name;
    EXPECT_EQ(o.failure.problem, c.problem) << c.name;
    EXPECT_EQ(o.failure.error, c.error) << c.name;
  }
  // No memory for the raw stream, or for the filter: the count of refused
  // requests tells memory from data that is not the filter's.
  for (BufFilePushProc filter : {BufFilePushZIP, BufFilePushCompressed}) {
    WriteFile(d / "packed", filter == BufFilePushZIP ? std::string("\x1f\x8b\x08\0\0\0\0\0\0\x03", 10)
                                                    : std::string("\x1f\x9d\x90", 3));
    for (long n : {1L, 2L}) {
      FontAllocFailAt(n);
      Opened o = OpenAt(AT_FDCWD, d / "packed", K::Regular, filter);
      FontAllocFailAt(0);
      EXPECT_EQ(o.file, nullptr) << n;
      EXPECT_EQ(o.failure.problem, FontFileProblem::NoMemory) << n;
    }
  }
}

// Closed streams' records are kept for the next streams; taking one counts
// as an allocation, so a failure reaches the stream whether a record was
// kept or not.
TEST(FontFileOpen, NoMemoryForTheStreamClosesTheDescriptor) {
  TempDir d;
  WriteFile(d / "a.pcf", "data");
  int before = OpenDescriptorCount();
  for (int round = 0; round < 2; round++) {
    FontAllocFailAt(1);
    EXPECT_EQ(FontFileOpen((d / "a.pcf").c_str()), nullptr) << round;
    FontAllocFailAt(0);
    EXPECT_EQ(OpenDescriptorCount(), before);
    BufFile *f = FontFileOpen((d / "a.pcf").c_str());  // its record is kept at the close
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(FontAllocCount(), 1);
    FontFileClose(f);
  }
}

}  // namespace

// On a pipe, whose reads may come back short before the end, reading some
// may stop early, and reading on gives the rest.
TEST(BufFile, ReadingSomeOnAPipeMayStopEarlyAndReadingOnGivesTheRest) {
  std::string data = Pattern(30000);
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::thread writer([&] {
    EXPECT_EQ(write(fds[1], data.data(), 10000), 10000);
    usleep(20000);
    EXPECT_EQ(write(fds[1], data.data() + 10000, 20000), 20000);
    close(fds[1]);
  });
  BufFile *f = BufFileOpenRead(fds[0]);
  std::string got(40000, '\0');
  bool ended;
  int n = BufFileReadSome(f, got.data(), 40000, &ended);
  EXPECT_TRUE(ended);
  n += BufFileRead(f, got.data() + n, 40000 - n);
  EXPECT_EQ(got.substr(0, static_cast<size_t>(n)), data);
  writer.join();
  BufFileClose(f, 1);
}
