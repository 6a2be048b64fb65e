#include "report/report.h"

#include <cstdint>
#include <utility>

#include "cabrillo/writer.h"
#include "engine/file_text.h"
#include "engine/string_printf.h"

namespace zorvant {
namespace {

// The three bands that own a slot of the prefix lists the windows show.
const char* const kPrefixBandNames[kPrefixBands] = {"160m", "80m", "40m"};

struct Counts {
  int qsos = 0;
  int points = 0;
  int newPrefixes = 0;
  int dupes = 0;
};

// The markup of the HTML form; the host shows it as one document. Values put into it are escaped.
const char kHtmlHead[] =
    "<html><head><style>table{ width:100%; }table, th, td{ border: 1px solid black; border-collapse: "
    "collapse; "
    "}th, td{ padding: 1px; text-align: middle; }th,td{ background-color: #fffac6; color: black; "
    "}</style></head><body>";
const char kHtmlTitleText[] = "   ZORVANT Contest %s";
const char kHtmlTitleBlock[] = "<center><b>%s</b></center><center>Contestant:  <b>%s</center></b><table>";
const char kHtmlColumnHeads[] = "<tr><th>%s</th><th>%s</th><th>%s</th><th>%s</th></tr>";
const char kHtmlFourValueRow[] =
    "<tr><th><center>%s</center></th><td><center>%i</center></td><td><center>%i</center></td><td><center>%i"
    "</center></td></tr>";
const char kHtmlOneValueRow[] =
    "<tr><th><center>%s</center></th><td><center>%i</center></td><td colspan=7> "
    "</td></tr>";
const char kHtmlScoreRow[] = "<tr><th>%s</th><td colspan=8><center>%i * %i  = %i</center></td></tr>";
const char kHtmlEnd[] = "</table></body></html>";


class ReportWriter {
 public:
  ReportWriter(std::string& out, bool html) : out_(out), html_(html) {}

  void Title(const std::string& startDate, const std::string& myCall) {
    if (!html_) {
      out_ +=
          StringPrintf("  ZORVANT Contest %s \r\n     Contestant: %s\r\nBand\tQSOs\tPoints\tNew Prefix\r\n",
                       startDate.c_str(), myCall.c_str());
      return;
    }
    out_ += kHtmlHead;
    const std::string title = StringPrintf(kHtmlTitleText, HtmlEscape(startDate).c_str());
    out_ += StringPrintf(kHtmlTitleBlock, title.c_str(), HtmlEscape(myCall).c_str());
    out_ += StringPrintf(kHtmlColumnHeads, "Band", "QSOs", "Points", "New Prefix");
  }

  void Band(const std::string& band, const Counts& c) {
    if (html_) {
      out_ += StringPrintf(kHtmlFourValueRow, HtmlEscape(band).c_str(), c.qsos, c.points, c.newPrefixes);
    } else {
      out_ += StringPrintf("%s\t %i\t  %i\t    %i\r\n", band.c_str(), c.qsos, c.points, c.newPrefixes);
    }
  }

  void Totals(const Counts& t, int badQsoCount, int score) {
    if (!html_) {
      out_ +=
          StringPrintf("Total\t %i\t  %i\t    %i\r\nDupe\t %i\r\nBad QSO\t %i\r\nScore = %i * %i  = %i \r\n",
                       t.qsos, t.points, t.newPrefixes, t.dupes, badQsoCount, t.points, t.newPrefixes, score);
      return;
    }
    out_ += StringPrintf(kHtmlFourValueRow, "Total", t.qsos, t.points, t.newPrefixes);
    out_ += StringPrintf(kHtmlOneValueRow, "Dupe", t.dupes);
    out_ += StringPrintf(kHtmlOneValueRow, "Bad QSO", badQsoCount);
    out_ += StringPrintf(kHtmlScoreRow, "Score:", t.points, t.newPrefixes, score);
    out_ += kHtmlEnd;
  }

 private:
  std::string& out_;
  const bool html_;
};

int PrefixBandIndex(const std::string& band) {
  for (int i = 0; i < kPrefixBands; ++i) {
    if (band == kPrefixBandNames[i]) return i;
  }
  return -1;
}

// Scores each band text of bandsWorked from its own contacts, in one pass over the log. A prefix is new the
// first time a scoring contact brings it within its tour on its band. The three prefix bands also refill the
// current tour's list the windows show; no two band texts share a list, so clearing them all first and
// filling them in one pass gives what a pass per band gives.
std::vector<Counts> ScoreBands(Contest& contest) {
  const QsoLog& log = contest.qsoLog;
  const int tour = contest.currentTour;
  const std::size_t bands = contest.bandsWorked.size();
  std::vector<Counts> counts(bands);
  std::vector<std::vector<std::string>*> shown(bands, nullptr);
  std::vector<std::size_t> place(log.bands().size(), bands);  // band id -> its first place in bandsWorked
  std::vector<std::size_t> first(bands);                      // a band text's first place, for repeats
  for (std::size_t b = 0; b < bands; ++b) {
    const std::string& band = contest.bandsWorked[b];
    first[b] = b;
    QsoLog::TextId id;
    if (log.bands().Find(band, &id)) {
      if (place[id] == bands) place[id] = b;
      first[b] = place[id];
    }
    const int index = PrefixBandIndex(band);
    if (index >= 0) {
      shown[b] = &contest.tourPrefixes[static_cast<std::size_t>(tour * kPrefixBands + index)];
      shown[b]->clear();
    }
  }
  // Per band place and prefix id, a bit for each tour in which the prefix has come already.
  const std::size_t prefixes = log.prefixes().size();
  std::vector<std::uint8_t> seen(bands * prefixes, 0);
  for (std::size_t i = 0; i < log.size(); ++i) {
    const QsoLog::Record& r = log.record(i);
    const std::size_t b = place[r.band];
    if (b == bands || r.call == TextPool::kEmpty) continue;
    Counts& c = counts[b];
    c.dupes += r.dupe() ? 1 : 0;
    if (r.excluded()) continue;
    ++c.qsos;
    const std::uint8_t tourBit = r.tour == 1 ? 2 : 1;
    std::uint8_t& bits = seen[b * prefixes + r.prefix];
    if ((bits & tourBit) == 0) {
      bits |= tourBit;
      if (shown[b] && r.tour == tour) shown[b]->emplace_back(log.prefixes()[r.prefix]);
      ++c.newPrefixes;
    }
  }
  for (std::size_t b = 0; b < bands; ++b) {
    counts[b] = counts[first[b]];  // a band text listed twice scores the same twice
    counts[b].points = 2 * counts[b].qsos;
  }
  return counts;
}

int CountBadQsos(Contest& contest) {
  std::string text;
  if (contest.badQsoFileName.empty() || !ReadWholeFile(contest.platform(), contest.badQsoFileName, &text)) {
    return 0;
  }
  return CountBadQsoLines(text);
}

std::string ExportCabrillo(Contest& contest) {
  CabrilloExport& out = contest.cabrillo;
  // Each export starts afresh, so the file holds one line per contact of the log as it stands.
  out.qsoLines.clear();
  out.qsoLines.reserve(contest.qsoLog.size());
  for (std::size_t i = 0; i < contest.qsoLog.size(); ++i) {
    const QsoView r = contest.qsoLog.View(i);
    AddCabrilloQso(out, r.call, static_cast<int>(r.freqKHz), CabrilloModeCode(r.mode), r.time, r.rstSent,
                   r.exchSent, r.rstRcvd, r.exchRcvd);
  }
  return WriteCabrilloFile(contest.platform(), out, contest.claimedScore, contest.hostId);
}

}  // namespace

std::string HtmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

void SortBands(std::vector<std::string>& bands) {
  auto padded = [](const std::string& band) {
    return band.size() >= 20 ? band : std::string(20 - band.size(), '0') + band;
  };
  for (std::size_t i = 0; i + 1 < bands.size(); ++i) {
    for (std::size_t j = i + 1; j < bands.size(); ++j) {
      if (padded(bands[i]) < padded(bands[j])) std::swap(bands[i], bands[j]);
    }
  }
}

int CountBadQsoLines(const std::string& text) {
  const std::vector<std::string> lines = BadQsoFileLines(text);
  const std::string dupe = kDupe;
  int count = 0;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    if (n == 0 && IsBadQsoHeader(line)) continue;
    // Every contact's line has its fields; a blank one is an editor's, such as the one after the last line.
    if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
    // Only the reason at the end of a line tells what it is: "UBN" and "DUPE" are also parts of callsigns.
    const bool isDupe =
        line.size() >= dupe.size() && line.compare(line.size() - dupe.size(), dupe.size(), dupe) == 0;
    if (!isDupe) ++count;
  }
  return count;
}

ReportOutcome MakeReport(Contest& contest) {
  contest.reportText.clear();
  ReportWriter report(contest.reportText, contest.htmlReport != 0);

  contest.currentTour = contest.platform().UtcHour() - contest.startHour < 2 ? 0 : 1;
  report.Title(contest.startDate, contest.myCall);
  SortBands(contest.bandsWorked);
  contest.badQsoCount = CountBadQsos(contest);

  Counts total;
  const std::vector<Counts> bands = ScoreBands(contest);
  for (std::size_t b = 0; b < bands.size(); ++b) {
    const Counts& c = bands[b];
    report.Band(contest.bandsWorked[b], c);
    total.qsos += c.qsos;
    total.points += c.points;
    total.newPrefixes += c.newPrefixes;
    total.dupes += c.dupes;
  }
  // 32-bit arithmetic as the host expects it, wrapping rather than overflowing on an absurdly large log.
  const int score = static_cast<std::int32_t>(static_cast<std::uint32_t>(total.points) *
                                              static_cast<std::uint32_t>(total.newPrefixes));
  report.Totals(total, contest.badQsoCount, score);

  // Asked for after every change to the log: the settings are written only when the score moved since they
  // were last read or written.
  const std::string claimed = std::to_string(score);
  if (!contest.settings.saved().Holds("Claimed", claimed)) contest.settings.Write({{"Claimed", claimed}});
  contest.claimedScore = score;

  ReportOutcome outcome;
  outcome.totals = {total.qsos, total.points, total.newPrefixes, total.dupes, score};
  if (contest.exportRun != 0) {
    outcome.exported = true;
    outcome.exportMessage = ExportCabrillo(contest);
    // What went wrong with the settings in this pass, the header's and the claimed score's, is told in the
    // same box.
    for (const std::string& line : contest.settings.problems()) {
      if (outcome.exportMessage.find(line) == std::string::npos) outcome.exportMessage += "\n" + line;
    }
  }
  return outcome;
}

}  // namespace zorvant
