// faces_floor DIR: the least a face scan of a directory can do with
// FreeType: open every face of every outline font file (each once), select
// its Unicode map and look up the characters that testing each built-in
// encoding needs (every character while all are there, stopping at the
// first missing one).  The floor the faces layer is measured against; it
// names nothing and writes nothing but a count.
#include <dirent.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <strings.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include "fontenc/charset.h"

namespace {

bool outlineFile(const char *name) {
  size_t n = std::strlen(name);
  if (n < 4) return false;
  for (const char *s : {".ttf", ".ttc", ".otf", ".otc", ".pfa", ".pfb"})
    if (strcasecmp(name + n - 4, s) == 0) return true;
  return false;
}

// The lookups of one face; the number of encodings it covers.
long lookUp(FT_Face face, const Charset *charsets, size_t count) {
  if (FT_Select_Charmap(face, FT_ENCODING_UNICODE) != 0) return 0;
  long covered = 1;  // iso10646-1
  for (size_t i = 0; i < count; i++) {
    size_t c = 0;
    while (c < charsets[i].count && FT_Get_Char_Index(face, charsets[i].chars[c]) != 0) c++;
    covered += c == charsets[i].count;
  }
  return covered;
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: faces_floor DIR\n");
    return 2;
  }
  size_t count;
  const Charset *charsets = BuiltinCharsets(&count);
  FT_Library library;
  DIR *dir = opendir(argv[1]);
  if (FT_Init_FreeType(&library) != 0 || !dir) return 2;
  long faces = 0, lines = 0;
  while (dirent *d = readdir(dir)) {
    if (!outlineFile(d->d_name)) continue;
    char path[4096];
    std::snprintf(path, sizeof path, "%s/%s", argv[1], d->d_name);
    long total = 1;
    for (long index = 0; index < total; index++) {
      FT_Face face;
      if (FT_New_Face(library, path, index, &face) != 0) continue;
      if (index == 0) total = face->num_faces;
      faces++;
      lines += lookUp(face, charsets, count);
      FT_Done_Face(face);
    }
  }
  closedir(dir);
  FT_Done_FreeType(library);
  std::printf("%ld faces, %ld lines\n", faces, lines);
  return 0;
}
