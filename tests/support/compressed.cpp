#include "tests/support/compressed.h"

#include <cstdlib>

#include "fontfile/fileio.h"
#include "tests/support/tempdir.h"

bool CompressFile(const std::string &tool, const std::string &in, const std::string &out) {
  // -f: compress also writes (and succeeds) when the output is not smaller.
  std::string cmd = tool + " -f -c < '" + in + "' > '" + out + "' 2>/dev/null";
  return std::system(cmd.c_str()) == 0 && !ReadFile(out).empty();
}

bool FontFileReadsSuffix(const std::string &suffix) {
  TempDir dir;
  const std::string text = "probe line\n";
  WriteFile(dir / "probe", text);
  std::string packed = dir / ("probe" + suffix);
  if (!CompressFile(suffix == ".gz" ? "gzip" : "compress", dir / "probe", packed)) return false;
  BufFile *f = FontFileOpen(packed.c_str());
  if (!f) return false;
  std::string got;
  for (int c; got.size() <= text.size() && (c = BufFileGetByte(f)) != BUFFILEEOF;)
    got.push_back(static_cast<char>(c));
  FontFileClose(f);
  return got == text;
}
