// Fuzz target: FreeType reading a font file's bytes and the faces layer
// naming what it read.  The first byte chooses how the file is taken (bit 0:
// a bitmap-only .otb, else an outline font); the rest is the file.  Every
// line must be "file -f1-...-f14" with fourteen fields free of dashes and
// control characters, in strictly ascending byte order.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "faces/faces.h"

namespace {

void check(bool condition) {
  if (!condition) std::abort();
}

void checkLine(const FaceEntry &e, const char *fileName) {
  size_t fileLength = std::strlen(e.file);
  check(std::strncmp(e.line, e.file, fileLength) == 0 && e.line[fileLength] == ' ');
  check(e.name == e.line + fileLength + 1 && e.name[0] == '-');
  check(std::strstr(e.file, fileName) != nullptr);
  int dashes = 0;
  for (const char *p = e.name; *p; p++) {
    unsigned char c = static_cast<unsigned char>(*p);
    check(c >= 0x20 && !(c >= 0x7F && c < 0xA0));
    dashes += c == '-';
  }
  check(dashes == 14);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static FaceLibrary *library = FaceLibraryOpen();
  if (size < 1 || !library) return 0;
  size_t count;
  const Charset *builtins = BuiltinCharsets(&count);
  static const Charset *items[64];
  for (size_t i = 0; i < count && i < 64; i++) items[i] = &builtins[i];
  FaceCharsets charsets{items, count < 64 ? count : 64};
  FaceFileKind kind = data[0] & 1 ? FaceFileKind::BitmapOnly : FaceFileKind::Outline;
  const char *fileName = kind == FaceFileKind::BitmapOnly ? "f.otb" : "f.ttf";
  FaceEntries entries;
  FaceReason reason;
  FaceResult result =
      FaceMemoryEntries(library, data + 1, size - 1, fileName, kind, charsets, &entries, &reason);
  check(result == FaceResult::Entries ? entries.count > 0 : entries.count == 0);
  check(result != FaceResult::LeftOut || reason != FaceReason::None);
  for (size_t i = 0; i < entries.count; i++) {
    checkLine(entries.items.get()[i], fileName);
    if (i > 0) check(std::strcmp(entries.items.get()[i - 1].line, entries.items.get()[i].line) < 0);
  }
  return 0;
}
