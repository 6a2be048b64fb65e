#include "check/reports.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <set>

#include "cabrillo/writer.h"
#include "check/folder_owner.h"
#include "engine/export_state.h"
#include "engine/string_printf.h"
#include "platform/file_names.h"
#include "platform/whole_file.h"
#include "report/report.h"

namespace check {
namespace {

using zorvant::StringPrintf;

// The contact as a Cabrillo QSO line, the form a sponsor and an entrant both read at a glance.
std::string ContactLine(const Entries& entries, const Qso& q) {
  const ContactTexts t = TextsOf(entries.logs[q.log], q);
  const char* mode = q.mode == 0 ? "RY" : q.mode == 1 ? "PM" : zorvant::CabrilloModeCode(t.mode);
  std::string line =
      zorvant::CabrilloQsoLine(static_cast<int>(q.freqHz / 1000), mode, OleTimeOf(q.second), t.ownCall,
                               t.rstSent, t.exchSent, t.call, t.rstRcvd, t.exchRcvd);
  line.erase(line.find_last_not_of(" \r\n") + 1);
  return Shown(line);
}

std::string Where(const Entries& entries, const Qso& q) {
  return Shown(entries.logs[q.log].name) + " line " + std::to_string(q.line);
}

std::string Call(const Entries& entries, std::uint32_t id) { return Shown(entries.calls[id]); }

// A contact's time as the sponsor gives the contest period.
std::string MinuteText(std::int64_t second) {
  const logs::QsoTime t = TimeOfSeconds(second);
  return StringPrintf("%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
}

// What the engine wrote into its bad-QSO file for a contact it refused.
const char* RefusedFor(const Qso& q) {
  if (q.band < 0) return "WRONG BAND !!! (a band outside the contest)";
  if (q.mode < 0) return "WRONG MODE !!! (a mode outside the contest)";
  return "NO RX NUMBER !!! (a serial, sent or received, is missing)";
}

// Why the contact has its verdict, with the other log's line where there is one.
std::string Evidence(const Entries& entries, const CrossCheck& check, const Qso& q) {
  const std::string worked = Call(entries, q.call);
  const std::string own = entries.logs[q.log].call;
  const Qso* partner = q.partner != kNone ? &entries.qsos[q.partner] : nullptr;
  auto other = [&](const Qso& p) { return Where(entries, p) + "\n  " + ContactLine(entries, p); };
  auto oneEditOff = [&](const Qso& p) {
    return entries.logs[p.log].call + ", one edit from " + worked + ", logged the contact with " + own +
           ": " + other(p);
  };
  switch (q.verdict) {
    case Verdict::kConfirmed:
      return entries.logs[partner->log].call + " logged " + own + " as " + Call(entries, partner->call) +
             ": " + other(*partner);
    case Verdict::kBustedExchange:
      return "received " + Shown(SerialReceived(entries.logs[q.log], q)) + ", but " + worked + " sent " +
             Shown(SerialSent(entries.logs[partner->log], *partner)) + ": " + other(*partner);
    case Verdict::kNil: {
      if (partner) return worked + " sent a log without it; " + oneEditOff(*partner);
      std::string text = worked + " sent a log without it";
      const std::uint32_t nearest = check.Nearest(check.LogOf(q.call), entries.logs[q.log].callId, q);
      if (nearest != kNone) text += "; its nearest contact with " + own + ": " + other(entries.qsos[nearest]);
      return text;
    }
    case Verdict::kBustedCall: return worked + " sent no log; " + oneEditOff(*partner);
    case Verdict::kNotCheckable: {
      if (check.Disputed(q.call)) {
        std::string text = worked + " is claimed by more than one log, none of them checked";
        if (partner) text += "; " + oneEditOff(*partner);
        return text;
      }
      const std::size_t logs = check.LogsWith(q.call) - 1;
      return worked + " sent no log; it is in " + std::to_string(logs) +
             (logs == 1 ? " other log" : " other logs");
    }
    case Verdict::kUnique: return worked + " sent no log and is in no other log";
    case Verdict::kOutsidePeriod: {
      const Rules& rules = check.rules();
      // The start is a whole minute: a contact before it lies in an earlier minute.
      return q.second < rules.start ? "logged at " + MinuteText(q.second) + ", before the contest's start, " +
                                          MinuteText(rules.start)
                                    : "logged at " + MinuteText(q.second) + ", after the contest's end, " +
                                          MinuteText(rules.end);
    }
    case Verdict::kPartnerMiscopy: {
      const Qso& p = *partner;
      const std::string why = p.call == entries.logs[q.log].callId
                                  ? "received " + Shown(SerialReceived(entries.logs[p.log], p)) + ", but " +
                                        own + " sent " + Shown(SerialSent(entries.logs[q.log], q))
                                  : "logged " + own + " as " + Call(entries, p.call);
      return worked + " miscopied it (" + why + "), and the contest removes both sides: " + other(p);
    }
    case Verdict::kRefused: break;
  }
  return "";
}

std::string TotalsLine(const char* label, const Totals& t) {
  return StringPrintf("%-10s %8i %8i %12i %10i\n", label, t.qsos, t.points, t.multiplier, t.score);
}

// The reports are made with LF and handed out with CR LF, as the plug-in's own files have them on every
// system: they open alike in any editor, and the builds for both systems give the same bytes.
std::string WithCrLf(const std::string& text) {
  std::string bytes;
  bytes.reserve(text.size() + text.size() / 32);
  for (const char c : text) {
    if (c == '\n') bytes += '\r';
    bytes += c;
  }
  return bytes;
}

std::string Plural(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Title(const ReportSettings& settings) { return "ZORVANT contest of " + settings.start + " UTC"; }

// The sponsor's choices, as every report states them.
std::string RulesLine(const ReportSettings& settings) {
  return "Rules: contacts matched within " +
         Plural(static_cast<std::size_t>(settings.window), "minute", "minutes") + "; contest period from " +
         settings.start + (settings.end.empty() ? "" : " to " + settings.end) +
         " UTC; a miscopied call or serial costs " +
         (settings.miscopyBoth ? "both sides of the contact" : "the side that made it") + "\n";
}

namespace fs = std::filesystem;

// A report replaces whatever stands at its name: a link is removed, not followed, and
// so is a device or a pipe; only a folder is left alone, and the report not written.
bool WriteFile(zorvant::Platform& platform, const std::string& path, const std::string& text,
               std::string* error) {
  std::error_code ec;
  const fs::file_status there = fs::symlink_status(zorvant::FsPath(path), ec);
  if (fs::is_directory(there)) {
    *error = path + ": a folder stands where the report goes; not written";
    return false;
  }
  if (fs::exists(there) && !fs::is_regular_file(there) && !platform.RemoveFile(path)) {
    *error = path + ": cannot be written: what stands there cannot be removed";
    return false;
  }
  if (zorvant::RewriteFile(platform, path, text)) return true;
  *error = path + ": cannot be written";
  return false;
}

}  // namespace

std::string Shown(std::string_view text) {
  std::string shown(text);
  for (char& c : shown) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = '?';
  }
  return shown;
}

std::vector<std::size_t> Ranking(const Entries& entries) {
  std::vector<std::size_t> ranked;
  for (std::size_t i = 0; i < entries.logs.size(); ++i) {
    if (entries.logs[i].error.empty()) ranked.push_back(i);
  }
  std::stable_sort(ranked.begin(), ranked.end(), [&](std::size_t a, std::size_t b) {
    const Entry& x = entries.logs[a];
    const Entry& y = entries.logs[b];
    if (x.checked.score != y.checked.score) return x.checked.score > y.checked.score;
    if (x.claimed.score != y.claimed.score) return x.claimed.score > y.claimed.score;
    return x.call < y.call;
  });
  return ranked;
}

std::vector<std::string> UbnFileNames(const Entries& entries) {
  std::vector<std::string> names(entries.logs.size());
  std::set<std::string> taken;  // in capitals: a file system may not tell letter case apart
  auto upper = [](std::string s) {
    for (char& c : s) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    return s;
  };
  for (std::size_t i = 0; i < entries.logs.size(); ++i) {
    if (!entries.logs[i].error.empty()) continue;
    const std::string base = zorvant::CabrilloFileBase(entries.logs[i].call);
    std::string name = base + ".ubn.txt";
    for (int n = 2; taken.count(upper(name)); ++n) name = base + "-" + std::to_string(n) + ".ubn.txt";
    taken.insert(upper(name));
    names[i] = name;
  }
  return names;
}

std::string UbnReport(const Entries& entries, const CrossCheck& check, std::size_t index,
                      const ReportSettings& settings) {
  const Entry& log = entries.logs[index];
  const Qso* begin = entries.qsos.data() + log.first;
  const Qso* end = begin + log.count;
  // Refused, and dupes the check kept: read, but nothing of the score.
  auto notCounted = [](const Qso& q) { return !q.stored || (q.dupe && !Removed(q.verdict)); };
  const auto uncounted = static_cast<std::size_t>(std::count_if(begin, end, notCounted));
  std::string text = "UBN report of " + log.call + ": " + Title(settings) + "\n" + RulesLine(settings);
  text += "Log: " + Shown(log.path) + " (" + log.format + "), " + Plural(log.count, "contact", "contacts") +
          " read" +
          (uncounted ? ", " + std::to_string(uncounted) + " of them not counted (listed below)" : "") +
          "\n\n";
  text += StringPrintf("%-10s %8s %8s %12s %10s\n", "", "Contacts", "Points", "Multipliers", "Score");
  text += TotalsLine("Claimed", log.claimed) + TotalsLine("Checked", log.checked);

  auto section = [&](const char* heading, auto wanted) {
    std::string items;
    std::size_t n = 0;
    for (const Qso* q = begin; q != end; ++q) {
      if (!wanted(*q)) continue;
      ++n;
      std::string label = q->verdict == Verdict::kConfirmed ? "confirmed" : VerdictName(q->verdict);
      for (char& c : label) c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
      items += label + ", line " + std::to_string(q->line) + (q->dupe ? " (a dupe: it earned nothing)" : "") +
               "\n  " + ContactLine(entries, *q) + "\n  " + Evidence(entries, check, *q) + "\n";
    }
    if (n) text += "\n" + std::string(heading) + ": " + Plural(n, "contact", "contacts") + "\n" + items;
  };
  section("Removed", [](const Qso& q) { return Removed(q.verdict); });
  section("Kept, not checkable",
          [](const Qso& q) { return q.verdict == Verdict::kUnique || q.verdict == Verdict::kNotCheckable; });
  section("Confirmed, though the other log holds your call one edit off",
          [](const Qso& q) { return q.verdict == Verdict::kConfirmed && q.partnerCallWrong; });
  if (uncounted) {
    text += "\nNot counted: " + Plural(uncounted, "contact", "contacts") + "\n";
    for (const Qso* q = begin; q != end; ++q) {
      if (!notCounted(*q)) continue;
      text += (q->stored ? "DUPE, line " : "REFUSED, line ") + std::to_string(q->line) + ": " +
              (q->stored ? "DUPE !!! (worked before on this band and mode in this tour: it earns nothing)"
                         : RefusedFor(*q)) +
              "\n  " + ContactLine(entries, *q) + "\n";
    }
  }
  if (!log.problems.empty()) {
    text += "\nProblems with the log: " + std::to_string(log.problems.size()) + "\n";
    for (const std::string& p : log.problems) text += "  " + Shown(p) + "\n";
  }
  return WithCrLf(text);
}

std::string ResultsText(const Entries& entries, const ReportSettings& settings) {
  std::string text =
      Title(settings) + ": results after the cross-check, by checked score\n" + RulesLine(settings) + "\n";
  text += StringPrintf("%-20s %-30s   %-30s\n", "", "----------- Claimed ----------",
                       "----------- Checked ----------");
  text += StringPrintf("%5s  %-13s %6s %7s %6s %8s   %6s %7s %6s %8s\n", "Place", "Call", "QSOs", "Points",
                       "Mults", "Score", "QSOs", "Points", "Mults", "Score");
  std::size_t place = 0;
  for (const std::size_t i : Ranking(entries)) {
    const Entry& log = entries.logs[i];
    text += StringPrintf("%5zu  %-13s %6i %7i %6i %8i   %6i %7i %6i %8i\n", ++place, log.call.c_str(),
                         log.claimed.qsos, log.claimed.points, log.claimed.multiplier, log.claimed.score,
                         log.checked.qsos, log.checked.points, log.checked.multiplier, log.checked.score);
  }
  return WithCrLf(text);
}

std::string ResultsHtml(const Entries& entries, const ReportSettings& settings) {
  const std::string title = zorvant::HtmlEscape(Title(settings)) + ": results after the cross-check";
  std::string html =
      "<!DOCTYPE html>\n<html><head><title>" + title +
      "</title>\n<style>table{border-collapse:collapse}th,td{border:1px solid #888;padding:2px 8px}"
      "td{text-align:right}td.call{text-align:left}</style></head>\n<body><h1>" +
      title +
      "</h1>\n<table>\n<tr><th rowspan=\"2\">Place</th><th rowspan=\"2\">Call</th><th "
      "colspan=\"4\">Claimed</th>"
      "<th colspan=\"4\">Checked</th></tr>\n<tr>";
  for (int side = 0; side < 2; ++side) html += "<th>QSOs</th><th>Points</th><th>Mults</th><th>Score</th>";
  html += "</tr>\n";
  std::size_t place = 0;
  for (const std::size_t i : Ranking(entries)) {
    const Entry& log = entries.logs[i];
    html += StringPrintf("<tr><td>%zu</td><td class=\"call\">%s</td>", ++place,
                         zorvant::HtmlEscape(log.call).c_str());
    for (const Totals* t : {&log.claimed, &log.checked}) {
      html += StringPrintf("<td>%i</td><td>%i</td><td>%i</td><td>%i</td>", t->qsos, t->points, t->multiplier,
                           t->score);
    }
    html += "</tr>\n";
  }
  return WithCrLf(html + "</table>\n</body></html>\n");
}

std::string SummaryText(const Entries& entries, const ReportSettings& settings) {
  std::size_t cabrillo = 0, adif = 0;
  std::vector<const Entry*> unchecked;
  for (const Entry& log : entries.logs) {
    if (!log.error.empty()) {
      unchecked.push_back(&log);
    } else {
      (log.format == "ADIF" ? adif : cabrillo)++;
    }
  }
  std::array<std::size_t, kVerdicts> counts{};
  std::size_t callOff = 0;
  for (const Qso& q : entries.qsos) {
    ++counts[static_cast<std::size_t>(q.verdict)];
    if (q.verdict == Verdict::kConfirmed && q.partnerCallWrong) ++callOff;
  }
  auto count = [&](Verdict v) { return counts[static_cast<std::size_t>(v)]; };

  std::string text =
      Title(settings) + ": cross-check of " + Shown(settings.folder) + "\n" + RulesLine(settings) + "\n";
  text += StringPrintf("Logs checked: %zu (Cabrillo %zu, ADIF %zu)\n", cabrillo + adif, cabrillo, adif);
  text += StringPrintf("Logs not checked: %zu\n", unchecked.size());
  for (const Entry* log : unchecked) text += "  " + Shown(log->error) + "\n";
  if (!entries.folders.empty()) {
    text += "Folders not read:";
    for (std::size_t i = 0; i < entries.folders.size(); ++i) {
      text += (i ? ", " : " ") + Shown(entries.folders[i]);
    }
    text += "\n";
  }
  if (!entries.disputed.empty()) {
    text += "Calls claimed by more than one log, not checked:";
    for (const std::uint32_t call : entries.disputed) text += " " + Call(entries, call);
    text += "\n";
  }
  const std::size_t refused = count(Verdict::kRefused);
  text += StringPrintf("Contacts read: %zu\n", entries.qsos.size());
  text += StringPrintf("Refused by the contest rules (band, mode, serials), not checked: %zu\n", refused);
  text += StringPrintf("Checked: %zu\n", entries.qsos.size() - refused);
  std::size_t removed = 0;
  for (const Verdict v :
       {Verdict::kConfirmed, Verdict::kBustedExchange, Verdict::kNil, Verdict::kBustedCall,
        Verdict::kNotCheckable, Verdict::kUnique, Verdict::kOutsidePeriod, Verdict::kPartnerMiscopy}) {
    text += StringPrintf("  %-26s %8zu\n", VerdictName(v), count(v));
    if (Removed(v)) removed += count(v);
  }
  text += StringPrintf(
      "Removed (NIL, busted call, busted exchange, outside the contest period, partner's miscopy): %zu\n",
      removed);
  text += StringPrintf("Confirmed although the other log holds the call one edit off: %zu\n", callOff);
  return WithCrLf(text);
}

bool UsableOutFolder(const std::string& out, std::string* error) {
  std::error_code ec;
  const fs::file_status there = fs::symlink_status(zorvant::FsPath(out), ec);
  if (fs::is_symlink(there)) {
    *error = out + ": is a link; give the folder itself for the reports";
    return false;
  }
  if (fs::exists(there) && !fs::is_directory(there)) {
    *error = out + ": is not a folder";
    return false;
  }
  if (fs::exists(there) && OwnedByAnotherUser(out)) {
    *error = out + ": belongs to another user; give a folder of your own for the reports";
    return false;
  }
  return true;
}

bool WriteReports(const Entries& entries, const CrossCheck& check, const ReportSettings& settings,
                  const std::string& out, bool html, int threads, zorvant::Platform& platform,
                  std::string* error) {
  if (!UsableOutFolder(out, error)) return false;
  std::error_code ec;
  fs::create_directories(zorvant::FsPath(out), ec);
  if (ec || !fs::is_directory(zorvant::FsPath(out))) {
    *error = out + ": cannot be made a folder" + (ec ? ": " + ec.message() : "");
    return false;
  }
  // Made just now, perhaps inside someone else's folder: looked at again.
  if (!UsableOutFolder(out, error)) return false;
  const std::vector<std::string> names = UbnFileNames(entries);
  std::mutex mutex;
  std::string failed;
  auto write = [&](const std::string& name, const std::string& text) {
    std::string why;
    if (WriteFile(platform, PathIn(out, name), text, &why)) return;
    std::lock_guard<std::mutex> lock(mutex);
    if (failed.empty()) failed = why;
  };
  InParallel(
      entries.logs.size(), threads,
      [&](std::size_t i) {
        if (!names[i].empty()) write(names[i], UbnReport(entries, check, i, settings));
      },
      nullptr);
  write("results.txt", ResultsText(entries, settings));
  if (html) write("results.html", ResultsHtml(entries, settings));
  write("summary.txt", SummaryText(entries, settings));
  *error = failed;
  return failed.empty();
}

}  // namespace check
