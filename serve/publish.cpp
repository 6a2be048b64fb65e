#include "serve/publish.h"

#include <algorithm>

#include "check/cross_check.h"
#include "check/entries.h"
#include "check/reports.h"
#include "engine/export_state.h"
#include "serve/pages.h"

namespace serve {

std::string LogFileName(const std::string& call, const std::string& format) {
  return zorvant::CabrilloFileBase(call) + (format == "ADIF" ? ".adi" : ".log");
}

Publication CheckAndPublish(Store& store, const CheckSettings& settings, const std::string& now) {
  const std::vector<Received> latest = store.Latest();
  // A version is never changed once stored, so reading each by its id keeps the set as listed.
  std::vector<std::string> bytes;
  bytes.reserve(latest.size());
  std::vector<check::HeldLog> held;
  for (const Received& log : latest) {
    bytes.push_back(store.Bytes(log.id));
    held.push_back({LogFileName(log.call, log.format), log.call, bytes.back()});
  }
  check::Entries entries;
  check::ReadEntries(held, settings.start, settings.threads, &entries);
  check::CrossCheck crossCheck(entries);
  check::Rules rules = settings.rules;
  rules.window = settings.window;
  rules.start = check::SecondsOf(settings.start);
  crossCheck.Run(rules);
  check::ScoreChecked(entries, settings.start, settings.threads);

  check::ReportSettings report;
  report.folder = "the logs received";
  report.start = settings.startText;
  report.end = settings.endText;
  report.window = settings.window;
  report.miscopyBoth = rules.miscopyBoth;

  Publication p;
  p.published = now;
  p.window = settings.window;
  p.resultsText = check::ResultsText(entries, report);
  p.summary = check::SummaryText(entries, report);
  std::vector<int> place(entries.logs.size(), 0);
  int next = 0;
  for (const std::size_t i : check::Ranking(entries)) place[i] = ++next;
  for (std::size_t i = 0; i < entries.logs.size(); ++i) {
    const check::Entry& log = entries.logs[i];
    PublishedLog out;
    out.call = latest[i].call;
    out.log = latest[i].id;
    out.place = place[i];
    out.claimed = log.claimed;
    out.checked = log.checked;
    out.categories = latest[i].categories;
    const auto begin = entries.qsos.begin() + static_cast<std::ptrdiff_t>(log.first);
    out.removed =
        static_cast<int>(std::count_if(begin, begin + static_cast<std::ptrdiff_t>(log.count),
                                       [](const check::Qso& q) { return check::Removed(q.verdict); }));
    out.ubn = log.error.empty() ? check::UbnReport(entries, crossCheck, i, report) : log.error + "\n";
    p.logs.push_back(std::move(out));
  }
  std::stable_sort(p.logs.begin(), p.logs.end(), [](const PublishedLog& a, const PublishedLog& b) {
    return (a.place == 0 ? 1 << 30 : a.place) < (b.place == 0 ? 1 << 30 : b.place);
  });
  // The public page in English as published; the robot makes it in the other languages from the same logs.
  p.resultsHtml = ResultsPage(PageContext{Lang::kEnglish, "", "/results"}, now, p.logs);
  for (const check::Qso& q : entries.qsos) {
    p.classes.push_back(
        {latest[q.log].id, q.line, std::string(entries.calls[q.call]), check::VerdictName(q.verdict)});
  }
  p.id = store.Publish(p);
  return p;
}

}  // namespace serve
