// `zorvant score`: the contest engine driven natively exactly as the host drives the plug-in.
#ifndef ZORVANT_CLI_SCORE_H_
#define ZORVANT_CLI_SCORE_H_

#include <ostream>
#include <string>

#include "cli/run_options.h"
#include "platform/platform.h"
#include "report/report.h"

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

// Told what a run makes of the log as it goes, for a caller that shows more of it than the report.
class ScoreWatcher {
 public:
  virtual ~ScoreWatcher() = default;
  // A problem with the log, as it goes to `err`.
  virtual void Problem(const std::string& problem) = 0;
  // Each contact with the engine's answer: stored (and then perhaps as a dupe) or refused. Each refused
  // contact and each dupe is one line of the bad-QSO file, in this order.
  virtual void Added(const LogContact& contact, bool stored, bool dupe) = 0;
  // The report's totals, once the whole log is in.
  virtual void Scored(const zorvant::ReportTotals& totals) = 0;
};

// The same on `platform`, whose current folder takes the files, telling `watcher` as well.
int RunScore(const RunOptions& options, logs::LogStream& log, zorvant::Platform& platform, std::ostream& out,
             std::ostream& err, ScoreWatcher& watcher);

// The whole --help text.
std::string ScoreHelp();

}  // namespace cli

#endif  // ZORVANT_CLI_SCORE_H_
