// How the driver joins a directory and a name into a path.
#pragma once

#include <cstddef>

// Path buffers of the driver hold at most kPathMax - 1 characters.
constexpr int kPathMax = 1024;

// How a directory and a name are joined: always with a '/' between them, or
// with one only when the directory is not empty and does not end in one.
enum class Slash { Always, IfMissing };
// The directory, the slash and the name into `path` of `size` bytes; false
// when that does not fit.
bool JoinPath(char *path, size_t size, const char *dir, const char *name, Slash slash);
