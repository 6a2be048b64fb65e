// What the cross-check tells the sponsor and each entrant: a UBN report a log (its removed and doubtful
// contacts with the other log's evidence), the results by checked score, and a summary. Portable.
#ifndef ZORVANT_CHECK_REPORTS_H_
#define ZORVANT_CHECK_REPORTS_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "check/cross_check.h"
#include "check/entries.h"
#include "platform/platform.h"

namespace check {

struct ReportSettings {
  std::string folder;  // the logs' folder, as given
  std::string start;   // "YYYY-MM-DD HH:MM"
  std::string end;     // the same, or "" when the sponsor set no end
  int window = 3;      // minutes
  bool miscopyBoth = false;
};

// A text from a log (a call, a serial, a file name, a problem) as the reports and the command show it:
// each control character as '?'. A file's bytes must not reach the sponsor's terminal or editor as
// commands (an escape sequence retitling the window, a line break forging a line of the report).
std::string Shown(std::string_view text);

// The checked logs by checked score, then claimed score, then call.
std::vector<std::size_t> Ranking(const Entries& entries);

// Each checked log's UBN report file name, "" for the others: the call made safe as the Cabrillo writer
// makes it ("/" becomes "_", a device name gets a "_"), and ".ubn.txt"; a "-2" and so on after a name that
// another call already took.
std::vector<std::string> UbnFileNames(const Entries& entries);

// The reports' texts, each line ended by CR LF (as the plug-in's own files on every system): the files and
// what the command prints hold exactly these bytes on both systems.
std::string UbnReport(const Entries& entries, const CrossCheck& check, std::size_t log,
                      const ReportSettings& settings);
std::string ResultsText(const Entries& entries, const ReportSettings& settings);
std::string ResultsHtml(const Entries& entries, const ReportSettings& settings);
std::string SummaryText(const Entries& entries, const ReportSettings& settings);

// Whether the reports may go into `out`: a folder or nothing yet, and neither a link nor another user's
// folder, where links could be planted. False with the reason.
bool UsableOutFolder(const std::string& out, std::string* error);

// Writes every UBN report, results.txt, results.html when `html`, and summary.txt into `out` (made when
// missing, and refused as UsableOutFolder refuses it), on `threads` threads, each file through the
// project's writer on `platform`: a report is whole, or the last run's is left as it was. Whatever stands at
// a report's name besides a file (a link, above all) is removed first, never written through. False with
// the reason when a file cannot be written; the others are written all the same.
bool WriteReports(const Entries& entries, const CrossCheck& check, const ReportSettings& settings,
                  const std::string& out, bool html, int threads, zorvant::Platform& platform,
                  std::string* error);

}  // namespace check

#endif  // ZORVANT_CHECK_REPORTS_H_
