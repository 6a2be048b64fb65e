// The statistics report the host asks for with GetResult0: per-band QSOs, points and new prefixes, the
// totals and the score, as tab-separated text or, once the host has announced itself, as one HTML document.
#ifndef ZORVANT_REPORT_REPORT_H_
#define ZORVANT_REPORT_REPORT_H_

#include <string>
#include <vector>

#include "engine/contest.h"

namespace zorvant {

// The report's totals, the same numbers as its last lines, for a caller that compares reports.
struct ReportTotals {
  int qsos = 0;
  int points = 0;
  int multiplier = 0;  // the new prefixes
  int dupes = 0;
  int score = 0;
};

// What a report call leaves for its caller to do without the engine lock: on an export pass, tell the
// operator `exportMessage` in the "Output" box, then store -1 behind GetResult0's argument. `totals` is
// there for any caller.
struct ReportOutcome {
  bool exported = false;
  std::string exportMessage;
  ReportTotals totals;
};

// One GetResult0 call: sets the current tour from the UTC clock, sorts the worked bands, counts the bad-QSO
// lines, scores every band while rebuilding the current tour's prefix lists, stores the claimed score, leaves
// the report in `contest.reportText` and, on an export pass, writes the Cabrillo file.
ReportOutcome MakeReport(Contest& contest);

// The worked bands in report order: descending by their text left-padded with '0' to 20 characters, which
// puts "160m" before "80m" before "40m" before "20m".
void SortBands(std::vector<std::string>& bands);

// Lines of the bad-QSO file that stand for rejected contacts: every line but the header (when the first line
// is one, after a byte-order mark or not), blank lines and the lines that end in the dupe reason.
int CountBadQsoLines(const std::string& text);
// `text` with the characters HTML gives a meaning to written as entities.
std::string HtmlEscape(const std::string& text);

}  // namespace zorvant

#endif  // ZORVANT_REPORT_REPORT_H_
