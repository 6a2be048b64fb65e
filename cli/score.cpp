#include "cli/score.h"

#include "engine/contest.h"
#include "logs/callsign.h"
#include "report/report.h"

namespace cli {

using namespace logs;  // the log reader and the callsign rules

std::string ScoreHelp() {
  return "usage: zorvant score LOG [options]\n"
         "\n"
         "Scores a ZORVANT contest log (ADIF .adi or Cabrillo 3.0, told apart by their content) exactly as "
         "the\n"
         "plug-in does inside the logging program: the contest is reset, every contact is added in log "
         "order,\n"
         "and the statistics report is printed. Contacts on other bands or modes, or without both serial\n"
         "numbers, are rejected and listed with the dupes in BadQSO_StatsZORVANT_DD_MM_YYYY.txt in the "
         "current\n"
         "folder. The plug-in's settings are Plugins/ZORVANT.ini below the current folder, when that folder\n"
         "exists; the claimed score is stored there, and on a --cabrillo run the header fields too.\n"
         "\n"
         "options:\n" +
         OptionHelp(/*withDll=*/false) +
         "\n"
         "Problems with single records of the log are reported on standard error and the record is skipped.\n"
         "A read error fails the run: nothing is scored, and no Cabrillo file or claimed score is written.\n"
         "exit status: 0 scored, 1 the log cannot be read (at all, or to its end), 2 bad command line.\n";
}

namespace {

// Problems with the log go to standard error as they are read.
class ProblemPrinter : public LogSink {
 public:
  ProblemPrinter(std::ostream& err, ScoreWatcher* watcher) : watcher_(watcher), err_(err) {}
  void Contact(const LogContact&) override {}
  void Problem(const std::string& problem) override {
    err_ << problem << '\n';
    if (watcher_) watcher_->Problem(problem);
  }

 protected:
  ScoreWatcher* const watcher_;

 private:
  std::ostream& err_;
};

// A first pass, when the defaults of the contest come from the log.
class FactGatherer : public ProblemPrinter {
 public:
  FactGatherer(std::ostream& err, ScoreWatcher* watcher) : ProblemPrinter(err, watcher) {}
  void Contact(const LogContact& contact) override { facts.Note(contact); }
  LogFacts facts;
};

// Each contact goes to the engine as soon as it is read, as the host hands over one after the other.
class Feeder : public ProblemPrinter {
 public:
  Feeder(zorvant::Contest& contest, const std::string& ownCall, std::ostream& err, ScoreWatcher* watcher,
         bool printProblems)
      : ProblemPrinter(err, watcher), contest_(contest), ownCall_(ownCall), printProblems_(printProblems) {}

  void Contact(const LogContact& c) override {
    const zorvant::OleDate time = zorvant::OleDate::FromParts(c.time.year, c.time.month, c.time.day,
                                                              c.time.hour, c.time.minute, c.time.second);
    zorvant::QsoArgs q;
    q.ownCall = c.ownCall.empty() ? ownCall_.c_str() : c.ownCall.c_str();
    q.call = c.call.c_str();
    q.time = &time;
    q.freqHz = c.freqHz;
    q.mode = c.mode.c_str();
    q.rstSent = c.rstSent.c_str();
    q.rstRcvd = c.rstRcvd.c_str();
    q.exchSent = c.exchSent.c_str();
    q.exchRcvd = c.exchRcvd.c_str();
    q.prefix = c.prefix.c_str();
    q.countryPrefix = c.countryPrefix.c_str();
    q.hostText = "";
    q.band = c.band.c_str();
    const std::size_t before = contest_.qsoLog.size();
    const int added = contest_.AddData(q);
    stored += added;
    if (watcher_) {
      const bool kept = added != 0 && contest_.qsoLog.size() > before;
      watcher_->Added(c, added != 0, kept && contest_.qsoLog.record(before).dupe());
    }
  }
  void Problem(const std::string& problem) override {
    if (printProblems_) ProblemPrinter::Problem(problem);
  }

  int stored = 0;

 private:
  zorvant::Contest& contest_;
  const std::string& ownCall_;
  const bool printProblems_;
};

// What went wrong with the settings file in the run: the plug-in tells it in its "Output" box on an export,
// this command on standard error, export or not.
void TellSettingsProblems(const zorvant::Contest& contest, std::ostream& err) {
  for (const std::string& problem : contest.settings.problems()) err << "zorvant: " << problem << '\n';
}

int Run(const RunOptions& options, LogStream& log, zorvant::Platform& platform, std::ostream& out,
        std::ostream& err, ScoreWatcher* watcher) {
  if (!log.opened()) {
    err << "zorvant: " << log.error() << '\n';
    return kUnreadableLog;
  }
  if (log.format().empty()) {
    err << "zorvant: " << options.log << ": neither an ADIF nor a Cabrillo log\n";
    return kUnreadableLog;
  }

  // The contest starts before its first contact arrives: what it takes from the log is read in a pass of
  // its own, which then also tells the problems.
  FactGatherer first(err, watcher);
  const bool twoPasses = NeedsLogFacts(options);
  if (twoPasses) log.Read(first);
  if (log.failed()) {
    err << "zorvant: " << log.error() << "; nothing is scored\n";
    return kUnreadableLog;
  }
  QsoTime start;
  std::string ownCall, error;
  if (!ContestStart(options, first.facts, &start, &error) ||
      !OwnCall(options, first.facts, &ownCall, &error)) {
    err << "zorvant: " << error << '\n';
    return kBadUsage;
  }
  const std::string ownCountry = CountryPrefix(ownCall);

  zorvant::Contest contest(platform);
  contest.htmlReport = options.html ? 1 : 0;  // what the host's setVersion call does
  zorvant::NoWindows shell([&](zorvant::CabrilloFields& fields) { TypeHeader(options, fields); });

  const zorvant::OleDate startDate =
      zorvant::OleDate::FromParts(start.year, start.month, start.day, start.hour, start.minute);
  const zorvant::OleDate endDate{startDate.value + 4.0 / 24.0, zorvant::OleDate::kValid};
  zorvant::ResetArgs reset;
  reset.iniFolder = "";  // the host's own ini file, if any, is in the current folder
  reset.exportFlag = options.cabrillo ? 1 : 0;
  reset.ownCall = ownCall.c_str();
  reset.start = &startDate;
  reset.end = &endDate;
  reset.ownCountryPrefix = ownCountry.c_str();
  contest.Reset(reset, shell);

  Feeder feeder(contest, ownCall, err, watcher, /*printProblems=*/!twoPasses);
  const std::size_t read = log.ReadAhead(feeder);
  // The contacts went to the engine as they came, but the report is the step that writes what outlives the
  // run (the Cabrillo file, the claimed score), and a part of the log must not pass for all of it.
  if (log.failed()) {
    TellSettingsProblems(contest, err);
    err << "zorvant: " << log.error() << "; nothing is scored\n";
    return kUnreadableLog;
  }

  const zorvant::ReportOutcome outcome = zorvant::MakeReport(contest);
  TellSettingsProblems(contest, err);
  if (watcher) watcher->Scored(outcome.totals);
  out << contest.reportText;
  if (outcome.exported) out << outcome.exportMessage << '\n';
  err << "zorvant: " << read << " contacts read from " << options.log << " (" << log.format() << "), "
      << feeder.stored << " stored, " << read - static_cast<std::size_t>(feeder.stored) << " rejected (see "
      << contest.badQsoFileName << ")\n";
  return kScored;
}

}  // namespace

int RunScore(const RunOptions& options, std::ostream& out, std::ostream& err) {
  LogStream log(options.log);
  return RunScore(options, log, out, err);
}

int RunScore(const RunOptions& options, LogStream& log, std::ostream& out, std::ostream& err) {
  return Run(options, log, zorvant::SystemPlatform(), out, err, nullptr);
}

int RunScore(const RunOptions& options, LogStream& log, zorvant::Platform& platform, std::ostream& out,
             std::ostream& err, ScoreWatcher& watcher) {
  return Run(options, log, platform, out, err, &watcher);
}

}  // namespace cli
