#include "tests/support/tempdir.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

TempDir::TempDir() : TempDir(std::filesystem::temp_directory_path().string()) {}

TempDir::TempDir(const std::string &parent) {
  std::string pattern = parent + "/lorvane-test-XXXXXX";
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed in " + parent);
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

std::vector<std::string> ListingOrder(const std::string &path) {
  std::vector<std::string> names;
  if (DIR *d = opendir(path.c_str())) {
    while (dirent *e = readdir(d))
      if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0) names.push_back(e->d_name);
    closedir(d);
  }
  return names;
}

namespace {

// Whether the listings of fresh directories under `parent` follow the order
// their names were made in.
bool listsInCreationOrder(const std::string &parent) {
  std::vector<std::vector<std::string>> listings;
  for (bool reversed : {false, true}) {
    std::string probe = parent + "/lorvane-probe-XXXXXX";
    if (!mkdtemp(probe.data())) return false;
    for (int i = 0; i < 8; i++) {
      std::string name = probe + "/p" + std::to_string(reversed ? 7 - i : i);
      int fd = open(name.c_str(), O_CREAT | O_WRONLY, 0600);
      if (fd >= 0) close(fd);
    }
    listings.push_back(ListingOrder(probe));
    std::error_code ec;
    std::filesystem::remove_all(probe, ec);
  }
  return listings[0].size() == 8 && listings[0] != listings[1];
}

}  // namespace

CreationOrderedDir::CreationOrderedDir() {
  for (std::string parent : {std::string("/dev/shm"), std::filesystem::temp_directory_path().string()}) {
    if (access(parent.c_str(), W_OK) == 0 && listsInCreationOrder(parent)) {
      std::string pattern = parent + "/lorvane-test-XXXXXX";
      if (mkdtemp(pattern.data())) path_ = pattern;
      return;
    }
  }
  if (geteuid() != 0) return;
  std::string pattern = (std::filesystem::temp_directory_path() / "lorvane-tmpfs-XXXXXX").string();
  if (!mkdtemp(pattern.data())) return;
  if (mount("tmpfs", pattern.c_str(), "tmpfs", 0, "size=16m,mode=0755") != 0) {
    rmdir(pattern.c_str());
    return;
  }
  mounted_ = pattern;
  if (listsInCreationOrder(mounted_)) path_ = mounted_;
}

CreationOrderedDir::~CreationOrderedDir() {
  std::error_code ec;
  if (!mounted_.empty()) {
    umount(mounted_.c_str());
    rmdir(mounted_.c_str());
  } else if (!path_.empty()) {
    std::filesystem::remove_all(path_, ec);
  }
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

TmpfsMount::TmpfsMount(const std::string &path, const std::string &options) : path_(path) {
  mounted_ = mount("tmpfs", path.c_str(), "tmpfs", 0, ("mode=0755," + options).c_str()) == 0;
  if (!mounted_) reason_ = std::strerror(errno);
}

TmpfsMount::~TmpfsMount() {
  if (mounted_) umount2(path_.c_str(), MNT_DETACH);
}

bool TmpfsMount::makeReadOnly() {
  return mount(nullptr, path_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

bool FillFileSystem(const std::string &path, size_t roomLeft) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  static const char block[4096] = {};
  off_t size = 0;
  for (;;) {
    ssize_t n = write(fd, block, sizeof block);
    if (n <= 0) break;
    size += n;
  }
  bool ok = errno == ENOSPC && ftruncate(fd, size > static_cast<off_t>(roomLeft) ? size - static_cast<off_t>(roomLeft) : 0) == 0;
  return close(fd) == 0 && ok;
}
