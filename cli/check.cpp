#include "cli/check.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "check/cross_check.h"
#include "check/entries.h"
#include "check/reports.h"
#include "cli/run_options.h"
#include "cli/score.h"

namespace cli {

std::string CheckHelp() {
  return "usage: zorvant check LOGDIR --start \"YYYY-MM-DD HH:MM\" [--end \"YYYY-MM-DD HH:MM\"] [--out DIR]\n"
         "                     [--window MINUTES] [--miscopy own|both] [--html]\n"
         "\n"
         "The contest sponsor's cross-check. Reads every Cabrillo 3.0 and ADIF log in LOGDIR (its own "
         "files;\n"
         "its folders are named and not read). The entrant is the Cabrillo CALLSIGN: header, or the ADIF\n"
         "file's name, \"_\" for \"/\"; it must read as a callsign, and two logs that claim one call are "
         "both\n"
         "left unchecked. Each log is scored as zorvant score does (the claimed score); each contact is "
         "looked\n"
         "for in the other station's log, and each log scored again without the contacts it lost (the "
         "checked\n"
         "score). Contacts match when they share band and mode and lie at most the window apart. NIL, "
         "busted\n"
         "call and busted exchange are removed from the side that made the error (and from both sides with\n"
         "--miscopy both); unique and not checkable contacts are kept and reported. Contacts before the\n"
         "start or after --end are removed as outside the contest period.\n"
         "\n"
         "options:\n"
         "  --start \"YYYY-MM-DD HH:MM\"     contest start, UTC; the second tour begins two hours after it\n"
         "  --end \"YYYY-MM-DD HH:MM\"       the contest's last minute, UTC (default: none)\n"
         "  --out DIR                      where the reports go (default: check): CALL.ubn.txt a log,\n"
         "                                 results.txt, summary.txt; a folder of your own, not a link\n"
         "  --window MINUTES               how far apart two logs' times of one contact may lie (default: "
         "3)\n"
         "  --miscopy own|both             what a busted call or serial costs: the side that made it\n"
         "                                 (default), or both sides of the contact\n"
         "  --html                         results.html besides\n"
         "\n"
         "Problems with single records are reported on standard error, as by zorvant score; a log that "
         "cannot\n"
         "be read is listed, and the others are checked all the same.\n"
         "exit status: 0 checked; 1 LOGDIR cannot be read or holds no log that can be checked, --out is\n"
         "refused, or a report cannot be written; 2 bad command line.\n";
}

bool ParseRulesOption(int argc, char** argv, int* i, std::string* end, bool* miscopyBoth,
                      std::string* error) {
  error->clear();
  const std::string arg = argv[*i];
  if (arg == "--end") return OptionValue(argc, argv, i, end, error);
  if (arg != "--miscopy") return false;
  std::string text;
  if (!OptionValue(argc, argv, i, &text, error)) return false;
  if (text != "own" && text != "both") {
    *error = "--miscopy wants own or both, got \"" + text + "\"";
    return false;
  }
  *miscopyBoth = text == "both";
  return true;
}

bool PeriodRules(const logs::QsoTime& start, const std::string& end, check::Rules* rules,
                 std::string* endText, std::string* error) {
  rules->start = check::SecondsOf(start);
  endText->clear();
  if (end.empty()) return true;
  RunOptions endOnly;
  endOnly.start = end;
  logs::QsoTime last;
  if (!ContestStart(endOnly, LogFacts{}, &last, error)) {
    *error = "--end wants \"YYYY-MM-DD HH:MM\", got \"" + end + "\"";
    return false;
  }
  rules->end = check::SecondsOf(last);
  if (rules->end < rules->start) {
    *error = "--end " + StartText(last) + " is before --start " + StartText(start);
    return false;
  }
  *endText = StartText(last);
  return true;
}

bool ParseCheckOptions(int argc, char** argv, int first, CheckOptions* out, std::string* error) {
  for (int i = first; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&](std::string* into) { return OptionValue(argc, argv, &i, into, error); };
    if (arg == "--help" || arg == "-h") {
      out->help = true;
    } else if (arg == "--start") {
      if (!value(&out->start)) return false;
    } else if (arg == "--out") {
      if (!value(&out->out)) return false;
      if (out->out.empty()) {
        *error = "--out needs a folder, got an empty text";
        return false;
      }
    } else if (arg == "--window") {
      std::string text;
      if (!value(&text) || !ParseWindow(text, &out->window, error)) return false;
    } else if (arg == "--html") {
      out->html = true;
    } else if (ParseRulesOption(argc, argv, &i, &out->end, &out->miscopyBoth, error)) {
    } else if (!error->empty()) {
      return false;
    } else if (arg.rfind("--", 0) == 0) {
      *error = "unknown option " + arg;
      return false;
    } else if (out->folder.empty()) {
      out->folder = arg;
    } else {
      *error = "one folder of logs only (got \"" + out->folder + "\" and \"" + arg + "\")";
      return false;
    }
  }
  if (out->help) return true;
  if (out->folder.empty()) {
    *error = "no folder of logs given";
    return false;
  }
  if (out->start.empty()) {
    *error = "--start \"YYYY-MM-DD HH:MM\" is needed: every log is scored from the same start";
    return false;
  }
  return true;
}

namespace {

// Large contests tell how far they are.
constexpr std::size_t kProgressLogs = 100;

class Progress {
 public:
  Progress(std::ostream& err, bool live) : err_(err), live_(live), began_(Clock::now()) {}

  void Reading(std::size_t done, std::size_t all) {
    if (!live_ || all < kProgressLogs) return;
    Show("zorvant: reading logs " + std::to_string(done) + "/" + std::to_string(all));
    err_ << std::flush;
  }
  // The end of a stage, with its time.
  void Stage(bool large, const std::string& what) {
    if (!large) return;
    const double seconds = std::chrono::duration<double>(Clock::now() - began_).count();
    char took[32];
    std::snprintf(took, sizeof took, " (%.2f s)", seconds);
    Show("zorvant: " + what + took);
    err_ << '\n' << std::flush;
    shown_ = 0;
    began_ = Clock::now();
  }

 private:
  using Clock = std::chrono::steady_clock;

  // On a terminal the line is written over the last; blanks rather than a terminal's escape sequence wipe
  // what was longer, since a Windows console shows such a sequence as it is.
  void Show(const std::string& line) {
    if (live_) err_ << '\r';
    err_ << line;
    if (live_ && line.size() < shown_) err_ << std::string(shown_ - line.size(), ' ');
    shown_ = live_ ? line.size() : 0;
  }

  std::ostream& err_;
  const bool live_;
  Clock::time_point began_;
  std::size_t shown_ = 0;  // the length of the line on the terminal, to be written over
};

// Why the folder's contest cannot be checked at all, or "": it holds no log, or none that can be checked.
// Then there is nothing to report, and results without a log would pass for a contest nobody entered.
std::string NothingToCheck(const check::Entries& entries, const std::string& folder) {
  std::size_t logs = 0, checked = 0;
  for (const check::Entry& log : entries.logs) {
    logs += !log.format.empty();
    checked += log.error.empty();
  }
  if (checked > 0) return "";
  if (logs > 0) {
    return folder + ": none of its " + std::to_string(logs) + " logs can be checked (each is named above)";
  }
  std::string folders;
  for (const std::string& name : entries.folders) folders += (folders.empty() ? "" : ", ") + name;
  const std::size_t files = entries.logs.size();
  if (files == 0) {
    return folder + ": holds no log" +
           (folders.empty() ? "" : ", only folders, and logs in folders are not read: " + folders);
  }
  return folder + ": holds no log: " +
         (files == 1 ? std::string("its one file is neither an ADIF nor a Cabrillo log")
                     : "none of its " + std::to_string(files) + " files is an ADIF or a Cabrillo log") +
         (folders.empty() ? "" : "; logs in folders are not read: " + folders);
}

}  // namespace

int RunCheck(const CheckOptions& options, std::ostream& out, std::ostream& err, zorvant::Platform& platform) {
  RunOptions startOnly;
  startOnly.start = options.start;
  logs::QsoTime start;
  std::string error;
  if (!ContestStart(startOnly, LogFacts{}, &start, &error)) {
    err << "zorvant: " << error << '\n';
    return kBadUsage;
  }
  check::Rules rules;
  rules.window = options.window;
  rules.miscopyBoth = options.miscopyBoth;
  std::string endText;
  if (!PeriodRules(start, options.end, &rules, &endText, &error)) {
    err << "zorvant: " << error << '\n';
    return kBadUsage;
  }
  const int threads = options.threads > 0
                          ? options.threads
                          : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));

  // Refused before the work rather than after it.
  if (!check::UsableOutFolder(options.out, &error)) {
    err << "zorvant: " << error << '\n';
    return kUnreadableLog;
  }

  Progress progress(err, options.liveProgress);
  check::Entries entries;
  if (!check::ReadEntries(
          options.folder, start, threads,
          [&](std::size_t done, std::size_t all) { progress.Reading(done, all); }, &entries, &error)) {
    err << "zorvant: " << error << '\n';
    return kUnreadableLog;
  }
  const bool large = entries.logs.size() >= kProgressLogs;
  progress.Stage(large, std::to_string(entries.logs.size()) + " logs read, " +
                            std::to_string(entries.qsos.size()) + " contacts");
  for (const check::Entry& log : entries.logs) {
    for (const std::string& problem : log.problems) err << check::Shown(problem) << '\n';
    if (!log.error.empty()) err << "zorvant: " << check::Shown(log.error) << '\n';
  }
  const std::string nothing = NothingToCheck(entries, options.folder);
  if (!nothing.empty()) {
    err << "zorvant: " << check::Shown(nothing) << '\n';
    return kUnreadableLog;
  }
  for (const std::string& folder : entries.folders) {
    err << "zorvant: " << check::Shown(check::PathIn(options.folder, folder))
        << ": a folder; logs in folders are not read\n";
  }

  check::CrossCheck crossCheck(entries, threads);
  crossCheck.Run(rules);
  progress.Stage(large, "contacts matched");
  check::ScoreChecked(entries, start, threads);
  progress.Stage(large, "checked scores");

  check::ReportSettings settings;
  settings.folder = options.folder;
  settings.start = StartText(start);
  settings.end = endText;
  settings.window = options.window;
  settings.miscopyBoth = options.miscopyBoth;
  if (!check::WriteReports(entries, crossCheck, settings, options.out, options.html, threads, platform,
                           &error)) {
    err << "zorvant: " << error << '\n';
    return kUnreadableLog;
  }
  progress.Stage(large, "reports written");
  // The summary as summary.txt holds it, and a line of the same form after it.
  out << check::SummaryText(entries, settings) << "\r\nReports in " << options.out
      << ": CALL.ubn.txt for each log checked, results.txt" << (options.html ? ", results.html" : "")
      << ", summary.txt\r\n";
  return kScored;
}

}  // namespace cli
