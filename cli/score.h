// `zorvant score`: the contest engine driven natively exactly as the host drives the plug-in.
#ifndef ZORVANT_CLI_SCORE_H_
#define ZORVANT_CLI_SCORE_H_

#include <ostream>

#include "cli/run_options.h"

namespace cli {

enum ExitCode { kScored = 0, kUnreadableLog = 1, kBadUsage = 2 };

// Reads the log, then resets the contest (an export pass with --cabrillo), adds every contact in log order
// and asks for the report, as the host would. The report goes to `out` byte for byte, followed on an export
// pass by the line naming the Cabrillo file; problems with the log and a summary go to `err`. The bad-QSO
// file and the Cabrillo file are written in the current folder.
// A log that cannot be read to its end scores nothing: its error is the last line on `err`, no report is
// made, and so neither the Cabrillo file nor the claimed score is written.
int RunScore(const RunOptions& options, std::ostream& out, std::ostream& err);
// The same with the log already open (options.log only names it).
int RunScore(const RunOptions& options, logs::LogStream& log, std::ostream& out, std::ostream& err);

// The whole --help text.
std::string ScoreHelp();

}  // namespace cli

#endif  // ZORVANT_CLI_SCORE_H_
