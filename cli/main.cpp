// zorvant: scores a contest log natively with the plug-in's own engine.
#include <iostream>
#include <string>

#include "cli/score.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "--help" || command == "-h" || command == "help") {
    std::cout << cli::ScoreHelp();
    return cli::kScored;
  }
  if (command != "score") {
    std::cerr << "zorvant: " << (command.empty() ? "no command given" : "unknown command " + command)
              << "; try: zorvant score LOG --call MYCALL --start \"YYYY-MM-DD HH:MM\" (zorvant --help)\n";
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
