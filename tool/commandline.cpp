// The command line and the run: options in order (each -e directory scanned
// as its option is read), then every directory argument indexed in turn.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>

#include "bitmap/bitmapfunc.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

// Makes a relative -e directory absolute and scans it.  False when option
// processing must stop (no cwd, or the joined path is too long).
bool ScanEncodingDirectory(EncodingTable *encodings, const char *dir, int position) {
  if (dir[0] == '/' || relative) {
    LoadEncodings(encodings, dir, position);
    return true;
  }
  char path[kPathMax];
  if (!getcwd(path, sizeof path)) {
    std::fprintf(stderr, "%s: failed to get cwd\n", progName);
    return false;
  }
  size_t cwdLength = std::strlen(path);
  if (cwdLength + 1 + std::strlen(dir) >= kPathMax - 1) {
    std::fprintf(stderr, "%s: directory name `%s' too long\n", progName, dir);
    return false;
  }
  path[cwdLength] = '/';
  std::strcpy(path + cwdLength + 1, dir);
  LoadEncodings(encodings, path, position);
  return true;
}

// The value of -eVALUE / -pVALUE, or of the word after a lone -e / -p.
// None when the option is the last word.  *argn is moved past what was used;
// *position is the index of the word that holds the value.
const char *OptionValue(int argc, char **argv, int *argn, int *position) {
  const char *word = argv[*argn];
  if (word[2]) {
    *position = (*argn)++;
    return word + 2;
  }
  if (*argn + 1 < argc) {
    *position = *argn + 1;
    *argn += 2;
    return argv[*position];
  }
  ++*argn;
  return nullptr;
}

// Lives for the whole run; kept here so that it stays reachable to the end.
EncodingTable *encodings = nullptr;

}  // namespace

int LorvaneMain(int argc, char **argv) {
  // A file-size limit must make a write fail (and be reported), not kill us.
  std::signal(SIGXFSZ, SIG_IGN);
  // A renderer left unregistered would silently leave its fonts out of
  // every fonts.dir of the run: that is no memory at start, like a missing
  // encoding table.
  bool registered = BitmapRegisterFontFileFunctions();
  progName = argc > 0 ? argv[0] : "lorvane";

  if (registered) encodings = static_cast<EncodingTable *>(FontAlloc(sizeof(EncodingTable)));
  if (!encodings) {
    std::fprintf(stderr, "%s: out of memory\n", progName);
    return 2;
  }
  for (auto &bucket : encodings->buckets) bucket = nullptr;

  int argn = 1;
  while (argn < argc) {
    const char *word = argv[argn];
    if (word[0] != '-') break;  // the empty word too
    if (word[1] == '-') {
      ++argn;
      break;
    }
    if (word[1] == 'e') {
      have_enc_dir = true;
      int position = 0;
      const char *dir = OptionValue(argc, argv, &argn, &position);
      if (!dir) {
        std::fprintf(stderr, "%s: -e requires an argument\n", progName);
        break;
      }
      if (!ScanEncodingDirectory(encodings, dir, position)) {
        argn = position;
        break;
      }
    } else if (word[1] == 'p') {
      int position = 0;
      const char *value = OptionValue(argc, argv, &argn, &position);
      if (value)
        prefix = value;
      else
        std::fprintf(stderr, "%s: -p requires an argument\n", progName);
    } else if (std::strcmp(word, "-r") == 0) {
      relative = true;
      ++argn;
    } else {
      std::fprintf(stderr, "%s: unknown option `%s'\n", progName, word);
      ++argn;
    }
  }

  int encodingCount = CountEncodings(encodings);
  if (argn >= argc) {
    if (!DoDirectory(".", encodings, encodingCount)) {
      std::fprintf(stderr, "%s: failed to create directory in %s\n", progName, ".");
      return 1;
    }
  } else {
    for (; argn < argc; argn++) {
      if (!DoDirectory(argv[argn], encodings, encodingCount)) {
        std::fprintf(stderr, "%s: failed to create directory in %s\n", progName, argv[argn]);
        return 1;
      }
    }
  }
  return 0;
}
