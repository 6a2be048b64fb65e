// The command's tests against another build of it. They call the command's code in-process; when
// ZORVANT_EXE holds a command line that starts a build of `zorvant` (the Windows one under Wine, say
// "/usr/lib/wine/wine build/win32/bin/zorvant.exe"), they run that program instead, in the same folder and
// with the same arguments, and check what it prints, its exit code and the files it leaves. A test that
// injects a fault into the code it calls has nothing to inject into a program, and skips itself then.
#ifndef ZORVANT_TESTS_CLI_ZORVANT_EXE_H_
#define ZORVANT_TESTS_CLI_ZORVANT_EXE_H_

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/check.h"
#include "cli/score.h"
#include "platform/platform.h"

namespace zorvant {
namespace testing {

// The command line of the build under test, or null when the tests call the code in-process.
inline const char* ZorvantExe() {
  const char* exe = std::getenv("ZORVANT_EXE");
  return exe && *exe ? exe : nullptr;
}

struct ExeRun {
  int code = -1;  // the exit code; -1 when the program did not end by itself
  std::string out, err;
};

// Runs ZORVANT_EXE with `args` in `folder` (the current one when empty), standard input empty.
inline ExeRun RunZorvantExe(const std::vector<std::string>& args, const std::string& folder = "") {
  ExeRun run;
  int out[2], err[2];
  if (pipe(out) != 0 || pipe(err) != 0) return run;
  const pid_t child = fork();
  if (child == 0) {
    dup2(out[1], 1);
    dup2(err[1], 2);
    for (const int fd : {out[0], out[1], err[0], err[1]}) close(fd);
    if (!folder.empty() && chdir(folder.c_str()) != 0) _exit(126);
    // The shell splits the command line into the loader and the program; the arguments go as they are.
    std::vector<std::string> words = {"/bin/sh", "-c", std::string("exec ") + ZorvantExe() + " \"$@\"",
                                      "zorvant"};
    words.insert(words.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(&w[0]);
    argv.push_back(nullptr);
    execv("/bin/sh", argv.data());
    _exit(127);
  }
  close(out[1]);
  close(err[1]);
  // Both pipes at once: a program that fills one while the other is read would wait forever.
  pollfd fds[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  std::string* into[2] = {&run.out, &run.err};
  for (int open = 2; open > 0;) {
    if (poll(fds, 2, -1) < 0) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[65536];
      const ssize_t n = read(fds[i].fd, buf, sizeof buf);
      if (n > 0) {
        into[i]->append(buf, static_cast<std::size_t>(n));
      } else {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  int status = 0;
  if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status)) run.code = WEXITSTATUS(status);
  return run;
}

// `zorvant ARGS` (ARGS from "check" or "score" on) run in-process, as app/main.cpp runs it; with `log`, the
// score reads that stream in place of the file its options name. A command line it cannot parse gives
// kBadUsage, with the reason as the standard error.
inline ExeRun RunHere(std::vector<std::string> args, Platform& platform = SystemPlatform(),
                      logs::LogStream* log = nullptr) {
  std::vector<char*> argv = {const_cast<char*>("zorvant")};
  for (std::string& a : args) argv.push_back(&a[0]);
  const int argc = static_cast<int>(argv.size());
  ExeRun run;
  std::ostringstream out, err;
  if (args.at(0) == "check") {
    cli::CheckOptions options;
    if (!cli::ParseCheckOptions(argc, argv.data(), 2, &options, &run.err)) {
      run.code = cli::kBadUsage;
      return run;
    }
    run.code = cli::RunCheck(options, out, err, platform);
  } else {
    cli::RunOptions options;
    if (!cli::ParseRunOptions(argc, argv.data(), 2, /*withDll=*/false, &options, &run.err)) {
      run.code = cli::kBadUsage;
      return run;
    }
    run.code = log ? cli::RunScore(options, *log, out, err) : cli::RunScore(options, out, err);
  }
  run.out = out.str();
  run.err = err.str();
  return run;
}

// The command line the golden files were made with: `zorvant score LOG` and the options in the bundled
// log's .args file.
inline std::vector<std::string> GoldenArgs(const std::string& log) {
  std::vector<std::string> args = {"score", log};
  std::ifstream in(std::string(ZORVANT_SOURCE_DIR) + "/data/sample-contest.args");
  for (std::string line; std::getline(in, line);) args.push_back(line);
  return args;
}

}  // namespace testing
}  // namespace zorvant

#endif  // ZORVANT_TESTS_CLI_ZORVANT_EXE_H_
