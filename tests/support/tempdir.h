// Temporary directories and small file helpers for tests.
#pragma once

#include <string>
#include <vector>

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes away.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir &) = delete;
  TempDir &operator=(const TempDir &) = delete;
  const std::string &path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string &name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

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
