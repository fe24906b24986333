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

// The number of file descriptors this process has open.
int OpenDescriptorCount();
