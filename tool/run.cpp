// The run: the renderers registered, the command line read, the steps of its
// option part taken (each -e directory read in its place among the
// messages), then every directory argument indexed, or checked, in turn.
#include <csignal>
#include <cstdio>

#include "bitmap/bitmapfunc.h"
#include "tool/charsets.h"
#include "tool/commandline.h"
#include "tool/driver.h"
#include "util/miscutil.h"

namespace {

// Lives for the whole run; kept here so that it stays reachable to the end.
EncodingTable *encodings = nullptr;

// The run's FreeType, closed however the run ends.
struct FaceLibraryHolder {
  FaceLibrary *library = nullptr;
  ~FaceLibraryHolder() {
    FaceLibraryClose(library);
    scalableRun = nullptr;
  }
};

}  // namespace

int LorvaneMain(int argc, char **argv) {
  // A file-size limit must make a write fail (and be reported), not kill us.
  std::signal(SIGXFSZ, SIG_IGN);
  // A renderer left unregistered would silently leave its fonts out of
  // every fonts.dir of the run: that is no memory at start, like a missing
  // encoding table.
  bool registered = BitmapRegisterFontFileFunctions();
  progName = argc > 0 ? argv[0] : "lorvane";

  CommandLine line;
  bool parsed = ParseCommandLine(argc, argv, &line);
  if (parsed && (line.help || line.version)) {
    if (line.help)
      PrintUsage(stdout);
    else
      PrintVersion(stdout);
    return FinishStandardOutput() ? 0 : 1;
  }
  settings = line.settings;
  if (settings.scalable && !FacesSupported()) {
    std::fprintf(stderr, "%s: --scalable: %s\n", progName, FaceReasonText(FaceReason::NotSupported));
    return 2;
  }

  if (registered && parsed) encodings = static_cast<EncodingTable *>(FontAlloc(sizeof(EncodingTable)));
  if (!encodings) {
    std::fprintf(stderr, "%s: out of memory\n", progName);
    return 2;
  }
  for (auto &bucket : encodings->buckets) bucket = nullptr;

  TakeOptionSteps(line, encodings);
  int argn = line.firstDirectory;
  int encodingCount = CountEncodings(encodings);
  // --scalable: FreeType and the encodings, once for the run.
  CharsetList charsets;
  FaceLibraryHolder library;
  ScalableRun run;
  if (settings.scalable) {
    library.library = FaceLibraryOpen();
    if (!library.library || !LoadRunCharsets(encodings, &charsets)) {
      std::fprintf(stderr, "%s: out of memory\n", progName);
      return 2;
    }
    run = ScalableRun{library.library, FaceCharsets{charsets.items, charsets.count}};
    scalableRun = &run;
  }
  const char *current = ".";
  const char *const *dirnames = argn < argc ? argv + argn : &current;
  int dirCount = argn < argc ? argc - argn : 1;
  FontDirectories found;
  if (settings.recursive) {
    if (!FindFontDirectories(dirnames, dirCount, &found)) {
      std::fprintf(stderr, "%s: out of memory\n", progName);
      return settings.check ? 2 : 1;
    }
    dirnames = found.names.data();
    dirCount = static_cast<int>(found.names.count());
  }
  if (settings.check) return CheckDirectories(dirnames, dirCount, encodings, encodingCount);
  for (int i = 0; i < dirCount; i++) {
    if (!DoDirectory(dirnames[i], encodings, encodingCount)) {
      std::fprintf(stderr, "%s: failed to create directory in %s\n", progName, dirnames[i]);
      return 1;
    }
  }
  return 0;
}
