// Directory listings, as the system gives them or in byte order of the names.
#pragma once

#include <cstddef>
#include <dirent.h>

#include "util/growarray.h"
#include "util/miscutil.h"

class DirectoryListing {
 public:
  // With `sorted`, the entries come in byte order of their names (the C
  // library's strcmp, whatever the locale), so that what is made of them
  // depends on the names alone, not on the file system or on the order in
  // which the files were made.  Otherwise they come as the system lists them.
  DirectoryListing(const char *dirname, bool sorted);
  ~DirectoryListing();
  DirectoryListing(const DirectoryListing &) = delete;
  DirectoryListing &operator=(const DirectoryListing &) = delete;

  bool isOpen() const { return dir_ != nullptr; }
  // The open directory's descriptor, for opening its files by name; -1 when
  // the system gives none.
  int fd() const;

  // visit(name, type) for every entry ("." and ".." included), `type` being
  // the listing's d_type, until visit returns false.  False when the names
  // could not be sorted for lack of memory; none was visited then.
  template <class Visit>
  bool forEach(Visit visit);

 private:
  bool readSorted();

  DIR *dir_;
  bool sorted_;
  // A sorted listing: each name after its type byte, packed in one block,
  // and the names in order.
  GrowArray<char> names_;
  FontPtr<const char *> order_;
  size_t count_ = 0;
};

template <class Visit>
bool DirectoryListing::forEach(Visit visit) {
  if (!sorted_) {
    while (dirent *entry = readdir(dir_))
      if (!visit(static_cast<const char *>(entry->d_name), entry->d_type)) break;
    return true;
  }
  if (!readSorted()) return false;
  for (size_t i = 0; i < count_; i++) {
    const char *name = order_.get()[i];
    if (!visit(name, static_cast<unsigned char>(name[-1]))) break;
  }
  return true;
}
