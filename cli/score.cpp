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
         "exit status: 0 scored, 1 the log cannot be read at all, 2 bad command line.\n";
}

int RunScore(const RunOptions& options, std::ostream& out, std::ostream& err) {
  const LogReadResult log = ReadLog(options.log);
  if (!log.opened) {
    err << "zorvant: " << (log.problems.empty() ? options.log + ": cannot be read" : log.problems[0]) << '\n';
    return kUnreadableLog;
  }
  if (log.format.empty()) {
    err << "zorvant: " << options.log << ": neither an ADIF nor a Cabrillo log\n";
    return kUnreadableLog;
  }
  for (const std::string& problem : log.problems) err << problem << '\n';

  QsoTime start;
  std::string ownCall, error;
  if (!ContestStart(options, log.contacts, &start, &error) ||
      !OwnCall(options, log.contacts, &ownCall, &error)) {
    err << "zorvant: " << error << '\n';
    return kBadUsage;
  }
  const std::string ownCountry = CountryPrefix(ownCall);

  zorvant::Contest contest(zorvant::SystemPlatform());
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

  int stored = 0;
  for (const LogContact& c : log.contacts) {
    const zorvant::OleDate time = zorvant::OleDate::FromParts(c.time.year, c.time.month, c.time.day,
                                                              c.time.hour, c.time.minute, c.time.second);
    zorvant::QsoArgs q;
    q.ownCall = c.ownCall.empty() ? ownCall.c_str() : c.ownCall.c_str();
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
    stored += contest.AddData(q);
  }

  const zorvant::ReportOutcome outcome = zorvant::MakeReport(contest);
  out << contest.reportText;
  if (outcome.exported) out << outcome.exportMessage << '\n';
  err << "zorvant: " << log.contacts.size() << " contacts read from " << options.log << " (" << log.format
      << "), " << stored << " stored, " << log.contacts.size() - static_cast<std::size_t>(stored)
      << " rejected (see " << contest.badQsoFileName << ")\n";
  return kScored;
}

}  // namespace cli
