#include "tests/support/compressed.h"

#include <cstdlib>

#include "tests/support/tempdir.h"

bool CompressFile(const std::string &tool, const std::string &in, const std::string &out) {
  // -f: compress also writes (and succeeds) when the output is not smaller.
  std::string cmd = tool + " -f -c < '" + in + "' > '" + out + "' 2>/dev/null";
  return std::system(cmd.c_str()) == 0 && !ReadFile(out).empty();
}
