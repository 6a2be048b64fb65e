// zorvant: scores a contest log with the plug-in's own engine, and cross-checks a contest's logs. The same
// program on Linux and, as zorvant.exe, on Windows.
#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cstdio>
#include <iostream>
#include <string>

#include "cli/check.h"
#include "cli/score.h"
#include "zorvant_version.h"
#ifdef ZORVANT_SERVE  // the log robot, built where its libraries are found (cmake/serve.cmake)
#include "serve/command.h"
#endif

namespace {

// The two systems' names for the same two things.
bool ErrorIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stderr)) != 0;
#else
  return isatty(fileno(stderr)) != 0;
#endif
}

// What the command prints is the same bytes on both systems: the report's own CR LF stays CR LF, where
// Windows' text mode would write every LF as CR LF and make it CR CR LF.
void PrintBytesAsTheyAre() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
}

int Check(int argc, char** argv) {
  cli::CheckOptions options;
  std::string error;
  if (!cli::ParseCheckOptions(argc, argv, 2, &options, &error)) {
    std::cerr << "zorvant: " << error << " (zorvant check --help)\n";
    return cli::kBadUsage;
  }
  if (options.help) {
    std::cout << cli::CheckHelp();
    return cli::kScored;
  }
  options.liveProgress = ErrorIsTerminal();
  return cli::RunCheck(options, std::cout, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
  PrintBytesAsTheyAre();
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << cli::ScoreHelp() << "\n" << cli::CheckHelp();
    return cli::kScored;
  }
  if (command == "--version" || command == "version") {
    std::cout << "zorvant " ZORVANT_VERSION "\n";
    return cli::kScored;
  }
  if (command == "check") return Check(argc, argv);
#ifdef ZORVANT_SERVE
  if (command == "serve") return serve::ServeMain(argc, argv);
#endif
  if (command != "score") {
    std::cerr
        << "zorvant: " << (command.empty() ? "no command given" : "unknown command " + command)
        << "; try: zorvant score LOG --call MYCALL --start \"YYYY-MM-DD HH:MM\", or zorvant check LOGDIR "
           "--start \"YYYY-MM-DD HH:MM\" (zorvant --help)\n";
    return cli::kBadUsage;
  }
  cli::RunOptions options;
  std::string error;
  if (!cli::ParseRunOptions(argc, argv, 2, /*withDll=*/false, &options, &error)) {
    std::cerr << "zorvant: " << error << " (zorvant --help)\n";
    return cli::kBadUsage;
  }
  if (options.help) {
    std::cout << cli::ScoreHelp();
    return cli::kScored;
  }
  return cli::RunScore(options, std::cout, std::cerr);
}
