// The run: the renderers registered, the options read (each -e directory
// scanned as its option is read), then every directory argument indexed, or
// checked, in turn.
#include <csignal>
#include <cstdio>

#include "bitmap/bitmapfunc.h"
#include "tool/driver.h"
#include "tool/options.h"
#include "util/miscutil.h"

namespace {

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

  ReadLongOptions(argc, argv);
  if (showHelp || showVersion) {
    if (showHelp)
      PrintUsage(stdout);
    else
      PrintVersion(stdout);
    return FinishStandardOutput() ? 0 : 1;
  }

  if (registered) encodings = static_cast<EncodingTable *>(FontAlloc(sizeof(EncodingTable)));
  if (!encodings) {
    std::fprintf(stderr, "%s: out of memory\n", progName);
    return 2;
  }
  for (auto &bucket : encodings->buckets) bucket = nullptr;

  int argn = ReadOptions(argc, argv, encodings);
  int encodingCount = CountEncodings(encodings);
  const char *current = ".";
  const char *const *dirnames = argn < argc ? argv + argn : &current;
  int dirCount = argn < argc ? argc - argn : 1;
  if (checkOnly) return CheckDirectories(dirnames, dirCount, encodings, encodingCount);
  for (int i = 0; i < dirCount; i++) {
    if (!DoDirectory(dirnames[i], encodings, encodingCount)) {
      std::fprintf(stderr, "%s: failed to create directory in %s\n", progName, dirnames[i]);
      return 1;
    }
  }
  return 0;
}
