#include "tests/support/tempdir.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "lorvane-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make directories read-only; give the owner access back first.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
    if (it->is_directory(ec)) chmod(it->path().c_str(), 0700);
  chmod(path_.c_str(), 0700);
  std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string &path, const std::string &content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFile(const std::string &path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string &path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

void MakeDir(const std::string &path) { std::filesystem::create_directories(path); }

std::vector<std::string> ListDir(const std::string &path) {
  std::vector<std::string> names;
  for (const auto &e : std::filesystem::directory_iterator(path))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string Snapshot(const std::string &path) {
  std::vector<std::string> names = {""};
  for (const auto &e : std::filesystem::recursive_directory_iterator(path))
    names.push_back(std::filesystem::relative(e.path(), path).string());
  std::sort(names.begin(), names.end());
  std::string out;
  for (const std::string &name : names) {
    std::string full = name.empty() ? path : path + "/" + name;
    struct stat st;
    if (lstat(full.c_str(), &st) != 0) throw std::runtime_error("cannot stat " + full);
    out += name + " " + std::to_string(st.st_ino) + " " + std::to_string(st.st_mode) + " " +
           std::to_string(st.st_size) + " " + std::to_string(st.st_mtim.tv_sec) + "." +
           std::to_string(st.st_mtim.tv_nsec) + "\n";
    if (S_ISREG(st.st_mode)) out += ReadFile(full) + "\n";
  }
  return out;
}

int OpenDescriptorCount() {
  int n = 0;
  for (const auto &e : std::filesystem::directory_iterator("/proc/self/fd")) {
    (void)e;
    n++;
  }
  return n;
}

OpenWatch::OpenWatch(const std::string &path) : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  if (fd_ >= 0 && inotify_add_watch(fd_, path.c_str(), IN_OPEN) < 0) {
    close(fd_);
    fd_ = -1;
  }
}

OpenWatch::~OpenWatch() {
  if (fd_ >= 0) close(fd_);
}

int OpenWatch::opens() {
  if (fd_ < 0) return -1;
  alignas(inotify_event) char buffer[4096];
  for (ssize_t n; (n = read(fd_, buffer, sizeof buffer)) > 0;) {
    for (char *p = buffer; p < buffer + n;) {
      auto *event = reinterpret_cast<inotify_event *>(p);
      if (event->mask & IN_OPEN) count_++;
      p += sizeof(inotify_event) + event->len;
    }
  }
  return count_;
}
