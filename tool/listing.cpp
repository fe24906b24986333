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
  size_t used = 0, capacity = 0;
  while (dirent *entry = readdir(dir_)) {
    size_t length = std::strlen(entry->d_name);
    if (capacity - used < length + 2) {
      size_t grown = capacity ? capacity * 2 : 4096;
      while (grown - used < length + 2) grown *= 2;
      void *block = FontRealloc(names_.get(), grown);
      if (!block) return false;
      names_.release();
      names_.reset(static_cast<char *>(block));
      capacity = grown;
    }
    names_.get()[used] = static_cast<char>(entry->d_type);
    std::memcpy(names_.get() + used + 1, entry->d_name, length + 1);
    used += length + 2;
    ++count_;
  }
  // The block no longer moves: the order can point into it.
  order_.reset(FontAllocN<const char *>(count_));
  if (!order_) return false;
  const char *name = names_.get() + 1;
  for (size_t i = 0; i < count_; i++) {
    order_.get()[i] = name;
    name += std::strlen(name) + 2;
  }
  std::qsort(order_.get(), count_, sizeof(const char *), byName);
  return true;
}
