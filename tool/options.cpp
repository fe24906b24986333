#include "tool/options.h"

#include <cstring>
#include <unistd.h>

bool showHelp = false;
bool showVersion = false;

namespace {

// The long options.  Each is one word that sets one flag; the text is its
// line of the usage text.
struct LongOption {
  const char *word;
  bool *flag;
  const char *help;
};

const LongOption longOptions[] = {
    {"--check", &checkOnly, "write nothing; show what the index files would become"},
    {"--reproducible", &reproducible, "read every directory in byte order of its file names"},
    {"--verbose", &verbose, "tell why each font file that is left out is left out"},
    {"--help", &showHelp, "show this text and write nothing"},
    {"--version", &showVersion, "show the version and write nothing"},
};

enum class OptionKind { End, Encoding, Prefix, Relative, Long, Unknown };

struct Option {
  OptionKind kind;
  const char *word;
  const char *value;  // of -e or -p; none when it is missing
  int position;       // index of the word that holds the value
  const LongOption *longOption;
};

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

// The option at *argn, with *argn moved past it and its value.  End: the
// option part is over and *argn is the first directory argument (a "--" word
// that ends the options is passed over).
Option NextOption(int argc, char **argv, int *argn) {
  Option option{OptionKind::End, nullptr, nullptr, 0, nullptr};
  if (*argn >= argc) return option;
  const char *word = argv[*argn];
  option.word = word;
  if (word[0] != '-') return option;  // the empty word too
  if (word[1] == '-') {
    ++*argn;
    for (const LongOption &l : longOptions) {
      if (std::strcmp(word, l.word) == 0) {
        option.kind = OptionKind::Long;
        option.longOption = &l;
        break;
      }
    }
    return option;
  }
  if (word[1] == 'e' || word[1] == 'p') {
    option.kind = word[1] == 'e' ? OptionKind::Encoding : OptionKind::Prefix;
    option.value = OptionValue(argc, argv, argn, &option.position);
    return option;
  }
  option.kind = std::strcmp(word, "-r") == 0 ? OptionKind::Relative : OptionKind::Unknown;
  ++*argn;
  return option;
}

enum class EncodingPath { Ready, NoCwd, TooLong };

// The path an -e directory is read from: the directory as given when it is
// absolute or `asGiven`, otherwise the working directory, '/' and the
// directory, built in `buffer`.
EncodingPath encodingPath(const char *dir, bool asGiven, char *buffer, const char **path) {
  *path = dir;
  if (dir[0] == '/' || asGiven) return EncodingPath::Ready;
  if (!getcwd(buffer, kPathMax)) return EncodingPath::NoCwd;
  size_t cwdLength = std::strlen(buffer);
  if (cwdLength + 1 + std::strlen(dir) >= kPathMax - 1) return EncodingPath::TooLong;
  buffer[cwdLength] = '/';
  std::strcpy(buffer + cwdLength + 1, dir);
  *path = buffer;
  return EncodingPath::Ready;
}

// Reads an -e directory.  False when option processing must stop (no cwd,
// or the joined path is too long).
bool ScanEncodingDirectory(EncodingTable *encodings, const char *dir, int position) {
  char buffer[kPathMax];
  const char *path;
  switch (encodingPath(dir, relative, buffer, &path)) {
    case EncodingPath::Ready:
      break;
    case EncodingPath::NoCwd:
      std::fprintf(stderr, "%s: failed to get cwd\n", progName);
      return false;
    case EncodingPath::TooLong:
      std::fprintf(stderr, "%s: directory name `%s' too long\n", progName, dir);
      return false;
  }
  // A directory that cannot be opened contributes nothing, without a message.
  LoadEncodings(encodings, path, position);
  return true;
}

}  // namespace

void ReadLongOptions(int argc, char **argv) {
  bool asGiven = false;  // -r seen: where the option part ends depends on it
  for (int argn = 1;;) {
    Option option = NextOption(argc, argv, &argn);
    switch (option.kind) {
      case OptionKind::End:
        return;
      case OptionKind::Long:
        *option.longOption->flag = true;
        break;
      case OptionKind::Relative:
        asGiven = true;
        break;
      case OptionKind::Encoding: {
        // Where ReadOptions stops at this -e, so does this pass.
        char buffer[kPathMax];
        const char *path;
        if (!option.value || encodingPath(option.value, asGiven, buffer, &path) != EncodingPath::Ready)
          return;
        break;
      }
      case OptionKind::Prefix:
      case OptionKind::Unknown:
        break;
    }
  }
}

int ReadOptions(int argc, char **argv, EncodingTable *encodings) {
  for (int argn = 1;;) {
    Option option = NextOption(argc, argv, &argn);
    switch (option.kind) {
      case OptionKind::End:
        return argn;
      case OptionKind::Long:
        break;  // set by ReadLongOptions
      case OptionKind::Encoding:
        have_enc_dir = true;
        if (!option.value) {
          std::fprintf(stderr, "%s: -e requires an argument\n", progName);
          return argn;
        }
        if (!ScanEncodingDirectory(encodings, option.value, option.position)) return option.position;
        break;
      case OptionKind::Prefix:
        if (option.value)
          prefix = option.value;
        else
          std::fprintf(stderr, "%s: -p requires an argument\n", progName);
        break;
      case OptionKind::Relative:
        relative = true;
        break;
      case OptionKind::Unknown:
        std::fprintf(stderr, "%s: unknown option `%s'\n", progName, option.word);
        break;
    }
  }
}

void PrintUsage(FILE *out) {
  std::fprintf(out, "usage: %s [option ...] [directory ...]\n", progName);
  std::fputs("Writes fonts.dir (and, with -e, encodings.dir) in each directory, or in the current one.\n", out);
  static const struct {
    const char *word, *help;
  } shortOptions[] = {
      {"-e DIRECTORY", "read the encoding files of DIRECTORY for encodings.dir"},
      {"-p PREFIX", "write PREFIX before every path in encodings.dir"},
      {"-r", "use the -e directories that follow as given"},
  };
  for (const auto &o : shortOptions) std::fprintf(out, "  %-16s%s\n", o.word, o.help);
  for (const LongOption &o : longOptions) std::fprintf(out, "  %-16s%s\n", o.word, o.help);
  std::fprintf(out, "  %-16s%s\n", "--", "end the options; every later word is a directory");
}

void PrintVersion(FILE *out) { std::fprintf(out, "lorvane %s\n", LORVANE_VERSION); }

bool FinishStandardOutput() {
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "%s: cannot write to standard output\n", progName);
  return false;
}
