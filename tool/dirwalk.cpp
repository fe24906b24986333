// --recursive: the font directories at and below each directory argument.
//
// Each argument is walked before anything is indexed, one directory open at
// a time (a stack of directories still to list, not a recursion).  A
// directory below an argument is one that the listing gives as a directory
// (looked up without following a link where the listing cannot tell) on the
// argument's file system: links to directories and other file systems'
// mount points are passed over.  Of the directories found, those holding a
// file with a font suffix (the registered renderers' table, whichever are
// registered, and with --scalable the outline and .otb suffixes), or a
// fonts.dir or fonts.scale, are indexed; so is one that
// cannot be listed, which then fails as a named one would.  They come
// argument by argument, in byte order of their paths, and a directory
// reached twice (named, and below another argument) only at its first place.
#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "fontfile/renderers.h"
#include "tool/driver.h"
#include "tool/listing.h"

namespace {

struct Found {
  size_t path;   // offset of the path in FontDirectories::paths
  int argument;  // index of the argument it was found under
  dev_t device;
  ino_t inode;
  bool known;    // device and inode were had
  bool indexed;  // it is to be indexed
};

struct Walk {
  FontDirectories *out;
  GrowArray<Found> found;
  GrowArray<Found> pending;  // directories still to list
};

const char *pathOf(const Walk &walk, const Found &f) { return &walk.out->paths[f.path]; }

// The path `dir` '/' `name` (no '/' doubled after a `dir` that ends in one)
// at the end of the paths; its offset in *offset.
bool addPath(FontDirectories *out, size_t dir, const char *name, size_t *offset) {
  size_t dirLength = std::strlen(&out->paths[dir]), nameLength = std::strlen(name);
  bool slash = dirLength > 0 && out->paths[dir + dirLength - 1] != '/';
  // Room first: the directory's path is copied from the same array.
  if (!out->paths.reserve(out->paths.count() + dirLength + slash + nameLength + 1)) return false;
  *offset = out->paths.count();
  return out->paths.append(&out->paths[dir], dirLength) && (!slash || out->paths.push('/')) &&
         out->paths.append(name, nameLength + 1);
}

bool marksFontDirectory(const char *name) {
  return std::strcmp(name, "fonts.dir") == 0 || std::strcmp(name, "fonts.scale") == 0 ||
         FontFileMatchRenderer(name) != nullptr ||
         (settings.scalable && FaceFileKindOf(name) != FaceFileKind::Other);
}

// Lists the directory `dir`: whether it is to be indexed, and its
// subdirectories on `device` onto the pending stack.  False when memory is
// short.
bool listDirectory(Walk *walk, Found dir, dev_t device) {
  DirectoryListing listing(pathOf(*walk, dir), false);
  dir.indexed = !listing.isOpen();
  bool ok = true;
  if (listing.isOpen()) {
    listing.forEach([&](const char *name, unsigned char type) {
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) return true;
      if (!dir.indexed && marksFontDirectory(name)) dir.indexed = true;
      struct stat st;
      if ((type != DT_DIR && type != DT_UNKNOWN) ||
          ::fstatat(listing.fd(), name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
          st.st_dev != device)
        return true;
      Found child{0, dir.argument, st.st_dev, st.st_ino, true, false};
      ok = addPath(walk->out, dir.path, name, &child.path) && walk->pending.push(child);
      return ok;
    });
  }
  return ok && walk->found.push(dir);
}

// The argument and every directory below it.
bool walkArgument(Walk *walk, const char *argument, int index) {
  Found root{walk->out->paths.count(), index, 0, 0, false, true};
  if (!walk->out->paths.append(argument, std::strlen(argument) + 1)) return false;
  struct stat st;
  // What is no directory fails, when it is indexed, as a named one does.
  if (::stat(argument, &st) != 0 || !S_ISDIR(st.st_mode)) return walk->found.push(root);
  root.device = st.st_dev;
  root.inode = st.st_ino;
  root.known = true;
  if (!walk->pending.push(root)) return false;
  while (walk->pending.count() > 0)
    if (!listDirectory(walk, walk->pending.pop(), st.st_dev)) return false;
  return true;
}

}  // namespace

bool FindFontDirectories(const char *const *arguments, int count, FontDirectories *out) {
  Walk walk{out, {}, {}};
  for (int i = 0; i < count; i++)
    if (!walkArgument(&walk, arguments[i], i)) return false;
  Found *begin = walk.found.data(), *end = begin + walk.found.count();
  auto inOrder = [&](const Found &a, const Found &b) {
    if (a.argument != b.argument) return a.argument < b.argument;
    return std::strcmp(pathOf(walk, a), pathOf(walk, b)) < 0;
  };
  // The same directory twice: the one at the earlier place is kept.
  std::sort(begin, end, [&](const Found &a, const Found &b) {
    if (a.known != b.known || a.device != b.device) return a.known != b.known ? a.known : a.device < b.device;
    if (a.inode != b.inode) return a.inode < b.inode;
    return inOrder(a, b);
  });
  for (Found *f = begin; f != end; f++)
    if (f != begin && f->known && f[-1].known && f->device == f[-1].device && f->inode == f[-1].inode)
      f->indexed = false;
  std::sort(begin, end, inOrder);
  // The paths no longer move: the names can point into them.
  for (Found *f = begin; f != end; f++)
    if (f->indexed && !out->names.push(pathOf(walk, *f))) return false;
  return true;
}
