// faces_scan DIR: lorvane's face scan over a directory's outline and .otb
// files through the faces layer, as --scalable reads them: prints the
// entries ("file font-name") of every file in byte order of the line, and
// on standard error the files left out and why.  The benchmark's lorvane
// side until the tool reads outline fonts itself.
#include <dirent.h>

#include <cstdio>
#include <cstring>

#include "faces/faces.h"
#include "fontenc/charset.h"

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: faces_scan DIR\n");
    return 2;
  }
  if (!FacesSupported()) {
    std::fprintf(stderr, "faces_scan: %s\n", FaceReasonText(FaceReason::NotSupported));
    return 2;
  }
  size_t builtinCount;
  const Charset *builtins = BuiltinCharsets(&builtinCount);
  const Charset *items[64];
  size_t count = 0;
  for (size_t i = 0; i < builtinCount && count < 64; i++) items[count++] = &builtins[i];
  FaceCharsets charsets{items, count};
  FaceLibrary *library = FaceLibraryOpen();
  DIR *dir = opendir(argv[1]);
  if (!library || !dir) {
    std::fprintf(stderr, "faces_scan: cannot start\n");
    return 2;
  }
  FaceEntries entries;
  int status = 0;
  while (dirent *d = readdir(dir)) {
    FaceFileKind kind = FaceFileKindOf(d->d_name);
    if (kind == FaceFileKind::Other) continue;
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%s", argv[1], d->d_name);
    FaceReason reason;
    FaceResult result = FaceFileEntries(library, path, d->d_name, kind, charsets, &entries, &reason);
    if (result == FaceResult::OutOfMemory) {
      std::fprintf(stderr, "faces_scan: out of memory\n");
      status = 1;
      break;
    }
    if (result == FaceResult::LeftOut) std::fprintf(stderr, "%s: %s\n", d->d_name, FaceReasonText(reason));
    for (size_t i = 0; i < entries.count; i++) std::puts(entries.items.get()[i].line);
  }
  closedir(dir);
  FaceLibraryClose(library);
  return status;
}
