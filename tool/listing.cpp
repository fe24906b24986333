#include "tool/listing.h"

#include <cstdlib>
#include <cstring>

namespace {
int byName(const void *a, const void *b) {
  return std::strcmp(*static_cast<const char *const *>(a), *static_cast<const char *const *>(b));
}
}  // namespace

DirectoryListing::DirectoryListing(const char *dirname, bool sorted)
    : dir_(opendir(dirname)), sorted_(sorted) {}

DirectoryListing::~DirectoryListing() {
  if (dir_) closedir(dir_);
}

int DirectoryListing::fd() const { return dirfd(dir_); }

bool DirectoryListing::readSorted() {
  // A first room that most directories' names fit.
  if (!names_.reserve(4096, true)) return false;
  while (dirent *entry = readdir(dir_)) {
    // Each name after its type byte, with its NUL.
    if (!names_.push(static_cast<char>(entry->d_type)) ||
        !names_.append(entry->d_name, std::strlen(entry->d_name) + 1))
      return false;
    ++count_;
  }
  // The block no longer moves: the order can point into it.
  order_.reset(FontAllocN<const char *>(count_));
  if (!order_) return false;
  const char *name = names_.data() + 1;
  for (size_t i = 0; i < count_; i++) {
    order_.get()[i] = name;
    name += std::strlen(name) + 2;
  }
  std::qsort(order_.get(), count_, sizeof(const char *), byName);
  return true;
}
