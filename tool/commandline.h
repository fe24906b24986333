// The command line of lorvane, read once into a record.
//
// The option part runs from the second word to the first word that is empty
// or does not begin with '-'.  -e and -p take the rest of their word or, when
// there is none, the next word whatever it begins with.  A long option is a
// word of its own from the table in commandline.cpp; any other word beginning
// with "--" ends the options and is skipped.  An -e directory whose path
// cannot be made (no working directory, or too long a path) ends the option
// part at the word that names it.
//
// ParseCommandLine reads the words once, writing and reading nothing, into
// the settings and the steps of the option part: the -e directories to read
// and the messages to give, in the order of their words.  The long options
// hold for the whole run whatever their place (--reproducible orders the
// listing of an -e directory named before it, --help reads nothing at all),
// so the steps are taken only after the whole line is read.
#pragma once

#include <cstdio>

#include "tool/driver.h"
#include "util/growarray.h"

// One thing the option part asks for, in its place among the words.
struct OptionStep {
  enum Kind {
    ReadEncodingDirectory,  // path: where to read it, position: its word's index
    MissingEncodingValue,   // "-e requires an argument"
    MissingPrefixValue,     // "-p requires an argument"
    UnknownOption,          // word: the option
    NoWorkingDirectory,     // the -e directory (word) could not be made a
    DirectoryTooLong,       //   path: the option part ends here
  } kind;
  const char *word;
  size_t path;  // offset of the path in CommandLine::paths
  int position;
};

struct CommandLine {
  Settings settings;
  bool help = false, version = false;
  GrowArray<OptionStep> steps;  // in the order of their words
  GrowArray<char> paths;        // the -e paths, each ending in a NUL
  int firstDirectory = 0;       // index of the first directory word (argc: none)
};

// False when memory is short.
bool ParseCommandLine(int argc, char **argv, CommandLine *out);

// Takes the steps in order: reads each -e directory into `encodings`, gives
// each message.
void TakeOptionSteps(const CommandLine &line, EncodingTable *encodings);

// The usage text: every option, one line each.
void PrintUsage(FILE *out);
// "lorvane VERSION".
void PrintVersion(FILE *out);
