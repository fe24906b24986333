// lorvane: writes fonts.dir (and, with -e, encodings.dir) for font directories.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

#include "bitmap/bitmapfunc.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

// A relative -e directory made absolute: the working directory, a '/' and
// the directory, in at most kPathMax - 2 characters, so that a '/' and a
// file name can follow.
enum class Absolute { Made, NoCwd, TooLong };
Absolute MakeAbsolute(const char *dir, char *path) {
  char cwd[kPathMax];
  if (!getcwd(cwd, sizeof cwd)) return Absolute::NoCwd;
  return JoinPath(path, kPathMax - 1, cwd, dir, Slash::Always) ? Absolute::Made : Absolute::TooLong;
}

// Makes a relative -e directory absolute and scans it.  False when option
// processing must stop (no cwd, or the joined path is too long).
bool ScanEncodingDirectory(EncodingTable *encodings, const char *dir, int position) {
  if (dir[0] == '/' || relative) {
    LoadEncodings(encodings, dir, position);
    return true;
  }
  char path[kPathMax];
  switch (MakeAbsolute(dir, path)) {
    case Absolute::Made:
      break;
    case Absolute::NoCwd:
      std::fprintf(stderr, "%s: failed to get cwd\n", progName);
      return false;
    case Absolute::TooLong:
      std::fprintf(stderr, "%s: directory name `%s' too long\n", progName, dir);
      return false;
  }
  LoadEncodings(encodings, path, position);
  return true;
}

// The setting an operator option turns on, or none for any other word.
bool *OperatorOption(const char *word) {
  if (std::strcmp(word, "--reproducible") == 0) return &reproducible;
  if (std::strcmp(word, "--verbose") == 0) return &verbose;
  return nullptr;
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

// The operator options govern every listing of the run, also those of the
// -e directories read while the options are read, wherever they stand among
// the options; so they are looked for before anything is read.  The option
// words are walked as the loop in main walks them, and the walk ends where
// that loop ends (a relative -e directory is checked as it will be), so
// that a word is an operator option here exactly when it is one there.
void ReadOperatorOptions(int argc, char **argv) {
  bool relativeSoFar = false;
  for (int argn = 1; argn < argc;) {
    const char *word = argv[argn];
    if (bool *setting = OperatorOption(word)) {
      *setting = true;
      ++argn;
      continue;
    }
    if (word[0] != '-' || word[1] == '-') return;
    if (word[1] == 'e' || word[1] == 'p') {
      int position = 0;
      const char *value = OptionValue(argc, argv, &argn, &position);
      if (!value) return;
      char path[kPathMax];
      if (word[1] == 'e' && value[0] != '/' && !relativeSoFar &&
          MakeAbsolute(value, path) != Absolute::Made)
        return;
    } else {
      if (std::strcmp(word, "-r") == 0) relativeSoFar = true;
      ++argn;
    }
  }
}

}  // namespace

int main(int argc, char **argv) {
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
    std::exit(2);
  }
  for (auto &bucket : encodings->buckets) bucket = nullptr;

  ReadOperatorOptions(argc, argv);
  int argn = 1;
  while (argn < argc) {
    const char *word = argv[argn];
    if (OperatorOption(word)) {  // already in force
      ++argn;
      continue;
    }
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
      std::exit(1);
    }
  } else {
    for (; argn < argc; argn++) {
      if (!DoDirectory(argv[argn], encodings, encodingCount)) {
        std::fprintf(stderr, "%s: failed to create directory in %s\n", progName, argv[argn]);
        std::exit(1);
      }
    }
  }
  std::exit(0);
}
