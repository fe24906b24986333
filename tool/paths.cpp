#include "tool/paths.h"

#include <cstring>

bool JoinPath(char *path, size_t size, const char *dir, const char *name, Slash slash) {
  size_t dirLength = std::strlen(dir), nameLength = std::strlen(name);
  size_t slashLength =
      slash == Slash::Always || (dirLength > 0 && dir[dirLength - 1] != '/') ? 1 : 0;
  if (dirLength + slashLength + nameLength >= size) return false;
  std::memcpy(path, dir, dirLength);
  path[dirLength] = '/';
  std::memcpy(path + dirLength + slashLength, name, nameLength + 1);
  return true;
}
