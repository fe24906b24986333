// Runs the built lorvane binary in a child process.
#pragma once

#include <string>
#include <vector>

struct ToolResult {
  int status;          // exit status, or 128 + signal
  std::string stderrText;
  std::string stdoutText;
};

struct ToolOptions {
  std::string cwd;              // working directory of the child ("" keeps ours)
  long fileSizeLimit = -1;      // RLIMIT_FSIZE in bytes, -1 for none
  std::string argv0 = "lorvane";
  std::string binary;           // "" for the lorvane under test
  // Run as an ordinary user (nobody) when the tests run as root, so that
  // permissions are enforced; the directories involved must let others in.
  bool unprivileged = false;
  // Standard output goes to this file instead of stdoutText (/dev/full, say).
  std::string stdoutPath;
  // Extra environment entries ("NAME=value"), e.g. for the failure-injecting build.
  std::vector<std::string> env;
};

// Runs lorvane with `args` (argv[0] is options.argv0).
ToolResult RunTool(const std::vector<std::string> &args, const ToolOptions &options = {});

class TempDir;

// lorvane run over one directory, with the fonts.dir it wrote.
struct Indexed {
  ToolResult run;
  std::string fontsDir;
};
Indexed IndexDirectory(const TempDir &dir);

// The message for a font of `dir` that could not be processed.
std::string SkipMessage(const TempDir &dir, const std::string &file);
