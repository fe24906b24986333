// The command line of lorvane.
//
// The option part runs from the second word to the first word that is empty
// or does not begin with '-'.  -e and -p take the rest of their word or, when
// there is none, the next word whatever it begins with; each -e directory is
// read at the moment its option is met.  A long option is a word of its own
// from the table in options.cpp; any other word beginning with "--" ends the
// options and is skipped.
//
// The long options are read in a pass of their own before anything else
// (ReadLongOptions), so that they hold for the whole run whatever their
// place: --reproducible orders the listing of an -e directory named before
// it, and --help reads nothing at all.  Both passes walk the words with the
// same function, so they agree on where the option part ends.
#pragma once

#include <cstdio>

#include "tool/driver.h"

// Set by --help and --version.
extern bool showHelp;
extern bool showVersion;

// Sets the flag of every long option in the option part.  Writes nothing.
void ReadLongOptions(int argc, char **argv);

// Reads the option part in order, with its messages, reading each -e
// directory into `encodings` when it is met.  Returns the index of the
// first directory argument (argc when there is none).
int ReadOptions(int argc, char **argv, EncodingTable *encodings);

// The usage text: every option, one line each.
void PrintUsage(FILE *out);
// "lorvane VERSION".
void PrintVersion(FILE *out);
