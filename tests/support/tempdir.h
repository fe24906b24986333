// Temporary directories and small file helpers for tests.
#pragma once

#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  // The same under `parent`.
  explicit TempDir(const std::string &parent);
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// A fresh directory in which a listing follows the order the names were made
// in (a tmpfs lists the newest first), for tests of listing order: under
// /dev/shm or the system's temporary directory when either lists so, or,
// when the tests run as root, on a tmpfs mounted for the purpose.  path() is
// empty when none could be had.
class CreationOrderedDir {
 public:
  CreationOrderedDir();
  ~CreationOrderedDir();
  CreationOrderedDir(const CreationOrderedDir &) = delete;
  CreationOrderedDir &operator=(const CreationOrderedDir &) = delete;
  const std::string &path() const { return path_; }
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::string mounted_;  // the mount point of our own tmpfs, if any
};

// A tmpfs mounted over an existing directory (when the tests run as root),
// unmounted at the end.  `options` as for mount(8), e.g. "size=256k".
class TmpfsMount {
 public:
  TmpfsMount(const std::string &path, const std::string &options);
  ~TmpfsMount();
  TmpfsMount(const TmpfsMount &) = delete;
  TmpfsMount &operator=(const TmpfsMount &) = delete;
  bool mounted() const { return mounted_; }
  const std::string &reason() const { return reason_; }  // why not mounted
  bool makeReadOnly();

 private:
  std::string path_, reason_;
  bool mounted_ = false;
};

// Writes `path` until the file system it is on is full, then gives back
// `roomLeft` bytes of it.  False when the file cannot be written.
bool FillFileSystem(const std::string &path, size_t roomLeft);

// The names of a directory in the order the system lists them, "." and ".."
// left out.
std::vector<std::string> ListingOrder(const std::string &path);

void WriteFile(const std::string &path, const std::string &content);
std::string ReadFile(const std::string &path);
bool FileExists(const std::string &path);
void MakeDir(const std::string &path);
// The names in a directory, sorted.
std::vector<std::string> ListDir(const std::string &path);

// Everything a run could change under `path`, the directory itself
// included: each entry's name, inode, mode, size, modification time and,
// for a regular file, content.  Equal snapshots: nothing was touched.
std::string Snapshot(const std::string &path);

// The number of file descriptors this process has open.
int OpenDescriptorCount();

// Counts the opens of one file (by anyone, through any link to it) from its
// construction on: a check that a file is never opened at all.
class OpenWatch {
 public:
  explicit OpenWatch(const std::string &path);
  ~OpenWatch();
  OpenWatch(const OpenWatch &) = delete;
  OpenWatch &operator=(const OpenWatch &) = delete;
  // Opens seen so far; -1 when the watch could not be set up.
  int opens();

 private:
  int fd_;
  int count_ = 0;
};
