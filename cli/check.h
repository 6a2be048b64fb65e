// `zorvant check`: the contest sponsor's cross-check of a folder of entrants' logs.
#ifndef ZORVANT_CLI_CHECK_H_
#define ZORVANT_CLI_CHECK_H_

#include <ostream>
#include <string>

#include "check/cross_check.h"
#include "logs/adif.h"
#include "platform/platform.h"

namespace cli {

struct CheckOptions {
  std::string folder;
  std::string start;  // "YYYY-MM-DD HH:MM", required
  std::string end;    // the same, or "": the contest period's end
  std::string out = "check";
  int window = 3;            // minutes either way
  bool miscopyBoth = false;  // --miscopy both
  bool html = false;
  bool help = false;
  // Standard error is a terminal: the progress line is rewritten in place rather than printed per stage.
  bool liveProgress = false;
  int threads = 0;  // 0: one a processor
};

// Parses argv[first..argc). False with a one-line reason for anything it does not understand.
bool ParseCheckOptions(int argc, char** argv, int first, CheckOptions* out, std::string* error);

// Reads every log of the folder, scores each as `zorvant score` does (the claimed score), matches every
// contact against the other station's log, scores each log again without its removed contacts (the checked
// score) and writes the reports into options.out. The summary goes to `out`; problems with the logs, logs
// that cannot be read and, for a large contest, the progress go to `err`. Returns an ExitCode of
// cli/score.h: 1 when the folder cannot be read or holds no log that can be checked (nothing is written
// then), when options.out is a link or another user's folder, or when a report cannot be written. The
// reports are written through the project's writer on `platform`.
int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err,
             zorvant::Platform& platform = zorvant::SystemPlatform());

std::string CheckHelp();

// The --end and --miscopy options of `zorvant check`, as `zorvant serve` takes them too: true when `arg`
// is one of them (its value read from argv[*i + 1], *i moved past it); false with `error` empty for any
// other argument, and with the reason when its value is wrong.
bool ParseRulesOption(int argc, char** argv, int* i, std::string* end, bool* miscopyBoth, std::string* error);
// The contest period's end from --end ("" none) into `rules`, the start from `start`; false with the reason.
bool PeriodRules(const logs::QsoTime& start, const std::string& end, check::Rules* rules,
                 std::string* endText, std::string* error);

}  // namespace cli

#endif  // ZORVANT_CLI_CHECK_H_
