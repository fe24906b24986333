#include "tests/support/run_tool.h"

#include <cerrno>
#include <fcntl.h>
#include <grp.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/support/tempdir.h"

ToolResult RunTool(const std::vector<std::string> &args, const ToolOptions &options) {
  TempDir capture;
  std::string errPath = capture / "stderr";
  std::string outPath = capture / "stdout";
  std::string binary = options.binary.empty() ? LORVANE_BINARY : options.binary;

  std::vector<char *> argv;
  argv.push_back(const_cast<char *>(options.argv0.c_str()));
  for (const auto &a : args) argv.push_back(const_cast<char *>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int out = options.stdoutPath.empty() ? open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600)
                                         : open(options.stdoutPath.c_str(), O_WRONLY);
    if (err < 0 || out < 0) _exit(126);
    dup2(err, 2);
    dup2(out, 1);
    // Opened while still the caller: as an ordinary user, the directories
    // above the build tree may not be reachable (a checkout in a private
    // temporary directory), while the program itself is executable by all.
    int program = open(binary.c_str(), O_RDONLY | O_CLOEXEC);
    if (program < 0) _exit(127);
    if (options.unprivileged && geteuid() == 0 &&
        (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0))
      _exit(126);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    if (options.fileSizeLimit >= 0) {
      struct rlimit rl;
      rl.rlim_cur = rl.rlim_max = static_cast<rlim_t>(options.fileSizeLimit);
      setrlimit(RLIMIT_FSIZE, &rl);
    }
    for (const auto &e : options.env) putenv(const_cast<char *>(e.c_str()));
    fexecve(program, argv.data(), environ);
    _exit(127);
  }
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0 && errno == EINTR) {
  }
  ToolResult result;
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.stderrText = ReadFile(errPath);
  result.stdoutText = ReadFile(outPath);
  return result;
}

Indexed IndexDirectory(const TempDir &dir) {
  Indexed out;
  out.run = RunTool({dir.path()});
  out.fontsDir = ReadFile(dir / "fonts.dir");
  return out;
}

std::string SkipMessage(const TempDir &dir, const std::string &file) {
  return "lorvane: unable to process font " + dir.path() + "/" + file + ", skipping\n";
}
