// The case table of single runs of the tool: each case a fresh directory
// with what is there before, the words, and what the run must leave.  Only
// for tests (it reports through GoogleTest).
#pragma once

#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

struct ToolCase {
  std::string what;
  std::vector<std::string> dirs;                           // made first
  std::vector<std::pair<std::string, std::string>> files;  // then written, in this order
  std::vector<std::string> args;
  int status;
  std::string stderrText;
  std::vector<std::pair<std::string, std::optional<std::string>>> after;  // none: absent
  std::function<void(const TempDir &)> prepare = nullptr;                 // links, FIFOs, modes
  ToolOptions tool = {};  // the working directory is the fresh one
};

// Runs every case.  In the words, the messages and the contents after,
// "{dir}" stands for the fresh directory as made and "{cwd}" for its real
// path (the working directory the tool sees).
inline void RunToolCases(const std::vector<ToolCase> &cases) {
  for (const ToolCase &c : cases) {
    TempDir d;
    char real[PATH_MAX];
    const std::string cwd = realpath(d.path().c_str(), real) ? real : d.path();
    auto expand = [&](std::string text) {
      for (auto [key, value] : {std::pair{"{dir}", d.path()}, std::pair{"{cwd}", cwd}})
        for (size_t at; (at = text.find(key)) != std::string::npos;) text.replace(at, 5, value);
      return text;
    };
    for (const auto &dir : c.dirs) MakeDir(d / dir);
    for (const auto &[name, content] : c.files) WriteFile(d / name, content);
    if (c.prepare) c.prepare(d);
    ToolOptions options = c.tool;
    options.cwd = d.path();
    // An ordinary user must be let into the directory.
    if (options.unprivileged) chmod(d.path().c_str(), 0755);
    std::vector<std::string> args;
    for (const std::string &a : c.args) args.push_back(expand(a));
    ToolResult r = RunTool(args, options);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(r.stderrText, expand(c.stderrText)) << c.what;
    EXPECT_EQ(r.stdoutText, "") << c.what;  // only a check or --help and --version write there
    for (const auto &[name, content] : c.after) {
      if (content)
        EXPECT_EQ(ReadFile(d / name), expand(*content)) << c.what << ": " << name;
      else
        EXPECT_FALSE(FileExists(d / name)) << c.what << ": " << name;
    }
  }
}

// Preparations: a link, a FIFO, a mode.
inline std::function<void(const TempDir &)> MakeLink(const char *target, const char *name) {
  return [=](const TempDir &d) { ASSERT_EQ(symlink(target, (d / name).c_str()), 0); };
}
inline std::function<void(const TempDir &)> MakeFifo(const char *name) {
  return [=](const TempDir &d) { ASSERT_EQ(mkfifo((d / name).c_str(), 0600), 0); };
}
inline std::function<void(const TempDir &)> SetMode(const char *name, mode_t mode) {
  return [=](const TempDir &d) { ASSERT_EQ(chmod((d / name).c_str(), mode), 0); };
}

// Runs as an ordinary user, so that permissions hold when the tests run as
// root too.
inline ToolOptions Unprivileged() {
  ToolOptions options;
  options.unprivileged = true;
  return options;
}

// The message for a font of the directory indexed by a run without words.
inline std::string Skipped(const std::string &file) {
  return "lorvane: unable to process font ./" + file + ", skipping\n";
}
