#include "tool/commandline.h"

#include <cstring>
#include <unistd.h>

namespace {

// The long options.  Each is one word that sets one flag of the command
// line; the text is its line of the usage text.
struct LongOption {
  const char *word;
  bool *(*flag)(CommandLine &line);
  const char *help;
};

const LongOption longOptions[] = {
    {"--check", [](CommandLine &l) { return &l.settings.check; },
     "write nothing; show what the index files would become"},
    {"--reproducible", [](CommandLine &l) { return &l.settings.reproducible; },
     "read every directory in byte order of its file names"},
    {"--scalable", [](CommandLine &l) { return &l.settings.scalable; },
     "write fonts.scale from the outline fonts; index .otb fonts"},
    {"--verbose", [](CommandLine &l) { return &l.settings.verbose; },
     "tell why font files are left out; notes and a summary per directory"},
    {"--if-changed", [](CommandLine &l) { return &l.settings.ifChanged; },
     "leave an index file whose bytes would not change untouched"},
    {"--remove-empty", [](CommandLine &l) { return &l.settings.removeEmpty; },
     "remove the index files of a directory that lists no font"},
    {"--recursive", [](CommandLine &l) { return &l.settings.recursive; },
     "index every font directory below each directory too"},
    {"--help", [](CommandLine &l) { return &l.help; }, "show this text and write nothing"},
    {"--version", [](CommandLine &l) { return &l.version; }, "show the version and write nothing"},
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
// directory, built in `buffer` (of kPathMax bytes) in at most kPathMax - 2
// characters, so that a '/' and a file name can follow.
EncodingPath encodingPath(const char *dir, bool asGiven, char *buffer, const char **path) {
  *path = dir;
  if (dir[0] == '/' || asGiven) return EncodingPath::Ready;
  char cwd[kPathMax];
  if (!getcwd(cwd, sizeof cwd)) return EncodingPath::NoCwd;
  if (!JoinPath(buffer, kPathMax - 1, cwd, dir, Slash::Always)) return EncodingPath::TooLong;
  *path = buffer;
  return EncodingPath::Ready;
}

bool addStep(CommandLine *line, OptionStep::Kind kind, const char *word, int position, size_t path = 0) {
  return line->steps.push(OptionStep{kind, word, path, position});
}

// An -e directory: the step that reads it, or the one that ends the option
// part.  False when memory is short.
bool addEncodingDirectory(CommandLine *line, const Option &option, bool asGiven, bool *end) {
  char buffer[kPathMax];
  const char *path;
  switch (encodingPath(option.value, asGiven, buffer, &path)) {
    case EncodingPath::Ready:
      break;
    case EncodingPath::NoCwd:
      *end = true;
      return addStep(line, OptionStep::NoWorkingDirectory, option.value, option.position);
    case EncodingPath::TooLong:
      *end = true;
      return addStep(line, OptionStep::DirectoryTooLong, option.value, option.position);
  }
  size_t offset = line->paths.count();
  return line->paths.append(path, std::strlen(path) + 1) &&
         addStep(line, OptionStep::ReadEncodingDirectory, option.value, option.position, offset);
}

// The option at *argn into `line`; false at the end of the option part,
// *argn then the first directory word, or when memory is short (*ok false).
bool readOption(int argc, char **argv, int *argn, bool *asGiven, CommandLine *line, bool *ok) {
  Option option = NextOption(argc, argv, argn);
  bool end = false;
  switch (option.kind) {
    case OptionKind::End:
      return false;
    case OptionKind::Long:
      *option.longOption->flag(*line) = true;
      break;
    case OptionKind::Encoding:
      line->settings.encodingDirectories = true;
      if (!option.value) {
        *ok = addStep(line, OptionStep::MissingEncodingValue, option.word, *argn);
        return false;
      }
      *ok = addEncodingDirectory(line, option, *asGiven, &end);
      if (end) *argn = option.position;  // the directory word is the first directory
      return *ok && !end;
    case OptionKind::Prefix:
      if (option.value)
        line->settings.prefix = option.value;
      else
        *ok = addStep(line, OptionStep::MissingPrefixValue, option.word, *argn);
      break;
    case OptionKind::Relative:
      *asGiven = true;
      break;
    case OptionKind::Unknown:
      *ok = addStep(line, OptionStep::UnknownOption, option.word, *argn);
      break;
  }
  return *ok;
}

}  // namespace

bool ParseCommandLine(int argc, char **argv, CommandLine *line) {
  bool asGiven = false, ok = true;
  int argn = 1;
  while (readOption(argc, argv, &argn, &asGiven, line, &ok)) {
  }
  line->firstDirectory = argn;
  return ok;
}

void TakeOptionSteps(const CommandLine &line, EncodingTable *encodings) {
  for (size_t i = 0; i < line.steps.count(); i++) {
    const OptionStep &step = line.steps[i];
    switch (step.kind) {
      case OptionStep::ReadEncodingDirectory:
        // A directory that cannot be opened contributes nothing, without a message.
        LoadEncodings(encodings, &line.paths[step.path], step.position);
        break;
      case OptionStep::MissingEncodingValue:
        std::fprintf(stderr, "%s: -e requires an argument\n", progName);
        break;
      case OptionStep::MissingPrefixValue:
        std::fprintf(stderr, "%s: -p requires an argument\n", progName);
        break;
      case OptionStep::UnknownOption:
        std::fprintf(stderr, "%s: unknown option `%s'\n", progName, step.word);
        break;
      case OptionStep::NoWorkingDirectory:
        std::fprintf(stderr, "%s: failed to get cwd\n", progName);
        break;
      case OptionStep::DirectoryTooLong:
        std::fprintf(stderr, "%s: directory name `%s' too long\n", progName, step.word);
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
