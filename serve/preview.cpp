#include "serve/preview.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>

#include "check/entries.h"
#include "cli/run_options.h"
#include "cli/score.h"
#include "engine/contest.h"
#include "platform/whole_file.h"
#include "serve/scratch.h"
#include "serve/secrets.h"

namespace serve {
namespace {

// The lines of the log, found once and only when a problem asks for one.
class Lines {
 public:
  explicit Lines(const std::string& text) : text_(text) {}

  // Line `n` (from 1) without its line end; "" past the end.
  std::string At(int n) {
    if (starts_.empty()) {
      starts_.push_back(0);
      for (std::size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] == '\n') starts_.push_back(i + 1);
      }
    }
    if (n < 1 || static_cast<std::size_t>(n) > starts_.size()) return "";
    const std::size_t begin = starts_[static_cast<std::size_t>(n - 1)];
    std::size_t end = text_.find('\n', begin);
    if (end == std::string::npos) end = text_.size();
    if (end > begin && text_[end - 1] == '\r') --end;
    // An ADIF log may be one long line: what is shown of it is enough to find the place.
    constexpr std::size_t kShown = 240;
    std::string line = text_.substr(begin, std::min(end - begin, kShown));
    if (end - begin > kShown) line += " ...";
    return line;
  }

 private:
  const std::string& text_;
  std::vector<std::size_t> starts_;
};

// The header lines of a Cabrillo log that tell who sent it and in which categories, up to its first contact.
void ReadCabrilloHeader(const std::string& text, Preview& out) {
  static const char* const kShown[] = {"CALLSIGN", "CONTEST", "OPERATORS", "CLAIMED-SCORE", "CREATED-BY"};
  std::size_t pos = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (int lines = 0; pos < text.size() && lines < 500; ++lines) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = Trimmed(std::string_view(text).substr(pos, end - pos));
    pos = end + 1;
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string tag = Upper(Trimmed(line.substr(0, colon)));
    if (tag == "QSO" || tag == "X-QSO" || tag == "END-OF-LOG") break;
    const std::string value = Trimmed(line.substr(colon + 1)).substr(0, 200);
    const bool category = tag.rfind("CATEGORY-", 0) == 0;
    if (category) out.categories += (out.categories.empty() ? "" : " ") + value;
    if (tag == "CALLSIGN" && out.call.empty()) out.call = Upper(value);
    if (category || std::find(std::begin(kShown), std::end(kShown), tag) != std::end(kShown)) {
      out.header.emplace_back(tag, value);
    }
  }
}

std::int64_t MinuteOf(std::int64_t second) { return second / 60 - (second % 60 < 0 ? 1 : 0); }

// The contact as the page lists it when it lies outside the period, as the check's own test has it.
bool Outside(const logs::LogContact& contact, const Period& period, OutsidePeriod* out) {
  const std::int64_t minute = MinuteOf(check::SecondsOf(contact.time));
  if (!(period.start != INT64_MIN && minute < MinuteOf(period.start)) &&
      !(period.end != INT64_MAX && minute > MinuteOf(period.end))) {
    return false;
  }
  const logs::QsoTime& t = contact.time;
  char time[32];
  std::snprintf(time, sizeof time, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour, t.minute);
  *out = {contact.sourceLine, contact.call, contact.band, contact.mode, time};
  return true;
}

class OutsideFinder : public logs::LogSink {
 public:
  explicit OutsideFinder(const Period& period) : period_(period) {}
  void Contact(const logs::LogContact& contact) override {
    OutsidePeriod o;
    if (Outside(contact, period_, &o)) found.push_back(std::move(o));
  }
  void Problem(const std::string&) override {}
  std::vector<OutsidePeriod> found;

 private:
  const Period& period_;
};

// The station the contacts name, for a log whose header does not.
class OwnCallFinder : public logs::LogSink {
 public:
  void Contact(const logs::LogContact& contact) override { facts.Note(contact); }
  void Problem(const std::string&) override {}
  cli::LogFacts facts;
};

class Watcher : public cli::ScoreWatcher {
 public:
  Watcher(Preview& out, const std::string& label, const Period& period)
      : out_(out), label_(label), period_(period), lines_(out.bytes) {}

  void Problem(const std::string& problem) override {
    LineProblem p;
    // The reader names the log first ("LABEL: line 42: ..."), which the page needs not repeat.
    p.message = problem.rfind(label_ + ": ", 0) == 0 ? problem.substr(label_.size() + 2) : problem;
    const std::size_t at = p.message.find("line ");
    if (at != std::string::npos) {
      p.line = std::atoi(p.message.c_str() + at + 5);
      p.lineText = lines_.At(p.line);
    }
    out_.problems.push_back(std::move(p));
  }

  void Added(const logs::LogContact& contact, bool stored, bool dupe) override {
    ++out_.contacts;
    if (stored) ++out_.stored;
    if (dupe) ++out_.dupes;
    worked_.insert(contact.call);
    OutsidePeriod o;
    if (Outside(contact, period_, &o)) out_.outside.push_back(std::move(o));
    if (!stored || dupe) {
      Refusal r;
      r.line = contact.sourceLine;
      r.call = contact.call;
      r.band = contact.band;
      r.mode = contact.mode;
      r.dupe = dupe;
      out_.refusals.push_back(std::move(r));
    }
  }

  void Scored(const zorvant::ReportTotals& totals) override { out_.totals = totals; }

  std::vector<std::string> Worked() const { return {worked_.begin(), worked_.end()}; }

 private:
  Preview& out_;
  const std::string& label_;
  const Period& period_;
  Lines lines_;
  std::set<std::string> worked_;
};

// The engine's own record of what it refused, in the order it refused: each line goes with its contact.
void ReadBadQsoFile(const std::string& folder, Preview& out) {
  namespace fs = std::filesystem;
  std::error_code ec;
  std::string text;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->path().filename().string().rfind("BadQSO_", 0) == 0) {
      zorvant::ReadWholeFile(zorvant::SystemPlatform(), it->path().string(), &text);
      break;
    }
  }
  std::istringstream in(text);
  std::size_t next = 0;
  for (std::string line; std::getline(in, line) && next < out.refusals.size();) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (Trimmed(line).empty() || Trimmed(line) == Trimmed(zorvant::kBadQsoHeader)) continue;
    Refusal& r = out.refusals[next++];
    r.badQsoLine = line;
    std::string marker = Trimmed(line);
    if (marker.size() >= 3 && marker.compare(marker.size() - 3, 3, "!!!") == 0)
      marker.resize(marker.size() - 3);
    marker = Trimmed(marker);
    const std::size_t gap = marker.rfind("   ");
    r.reason = Trimmed(gap == std::string::npos ? marker : marker.substr(gap));
  }
  // A record cut short leaves the rest without their reason; a dupe is known to be one without it.
  for (; next < out.refusals.size(); ++next) {
    Refusal& r = out.refusals[next];
    if (r.dupe) {
      r.reason = "DUPE";
    } else {
      out.reasonsLost = true;
    }
  }
}

// A Cabrillo log's tags and category values checked against the standard's, and the form's choice laid
// over the categories: what the log gives stands (a differing choice is told on its line), what it leaves
// out the form fills. Unknown tags and values are warnings: the log is still taken.
void PlaceCabrillo(const ChosenCategories& chosen, Preview& out) {
  Lines lines(out.bytes);
  std::map<std::string, std::string> given;
  std::vector<LineProblem> found;
  auto warn = [&](int line, const std::string& message) {
    found.push_back({line, "line " + std::to_string(line) + ": " + message, lines.At(line)});
  };
  std::size_t pos = out.bytes.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
  for (int line = 1; pos < out.bytes.size(); ++line) {
    std::size_t end = out.bytes.find('\n', pos);
    if (end == std::string::npos) end = out.bytes.size();
    const std::string_view text = std::string_view(out.bytes).substr(pos, end - pos);
    pos = end + 1;
    // A tag is letters, digits and hyphens before the colon; anything else is the reader's to judge.
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 40) continue;
    const std::string tag = Upper(std::string(text.substr(0, colon)));
    if (!std::all_of(tag.begin(), tag.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-'; }) ||
        !std::isalpha(static_cast<unsigned char>(tag[0]))) {
      continue;
    }
    if (tag == "QSO" || tag == "X-QSO") continue;
    if (!KnownCabrilloTag(tag)) {
      warn(line, tag + " is not a Cabrillo 3.0 tag");
      continue;
    }
    const Category* category = CategoryOf(tag);
    if (!category) continue;
    const std::string value = Trimmed(text.substr(colon + 1)).substr(0, 200);
    if (value.empty()) continue;
    given[tag] = value;
    if (!KnownValue(*category, value)) warn(line, "\"" + value + "\" is not a " + tag + " value");
    for (const auto& [chosenTag, chosenValue] : chosen) {
      if (chosenTag == tag && Upper(value) != chosenValue) {
        warn(line, "the form chose " + tag + " " + chosenValue + "; the log's " + value + " stands");
      }
    }
  }
  for (const auto& [tag, value] : chosen) {
    if (!given.count(tag)) out.categories += (out.categories.empty() ? "" : " ") + value;
  }
  out.problems.insert(out.problems.end(), found.begin(), found.end());
  std::stable_sort(out.problems.begin(), out.problems.end(),
                   [](const LineProblem& a, const LineProblem& b) { return a.line < b.line; });
}

}  // namespace

namespace {

constexpr std::size_t kBlockOverhead = 16;  // what the allocator keeps beside each block

std::size_t Held(const std::string& text) {
  // A short string lives inside its object; a longer one in a block of its own.
  return text.capacity() > 15 ? text.capacity() + 1 + kBlockOverhead : 0;
}

template <typename T>
std::size_t Held(const std::vector<T>& list) {
  return list.capacity() ? list.capacity() * sizeof(T) + kBlockOverhead : 0;
}

}  // namespace

std::size_t Footprint(const Preview& p) {
  std::size_t bytes = sizeof(Preview) + Held(p.why) + Held(p.label) + Held(p.format) + Held(p.call) +
                      Held(p.categories) + Held(p.report) + Held(p.bytes) + Held(p.sha256);
  bytes += Held(p.header);
  for (const auto& [name, value] : p.header) bytes += Held(name) + Held(value);
  bytes += Held(p.problems);
  for (const LineProblem& problem : p.problems) bytes += Held(problem.message) + Held(problem.lineText);
  bytes += Held(p.refusals);
  for (const Refusal& r : p.refusals) {
    bytes += Held(r.call) + Held(r.band) + Held(r.mode) + Held(r.reason) + Held(r.badQsoLine);
  }
  bytes += Held(p.outside);
  for (const OutsidePeriod& o : p.outside) bytes += Held(o.call) + Held(o.band) + Held(o.mode) + Held(o.time);
  bytes += Held(p.worked);
  for (const std::string& call : p.worked) bytes += Held(call);
  return bytes;
}

std::vector<OutsidePeriod> ContactsOutside(const std::string& label, const std::string& bytes,
                                           const Period& period) {
  logs::LogStream log(label, std::string_view(bytes));
  OutsideFinder finder(period);
  log.Read(finder);
  return std::move(finder.found);
}

std::string Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string::npos) return "";
  return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string SafeLabel(const std::string& fileName) {
  std::string base = fileName.substr(fileName.find_last_of("/\\") + 1);
  std::string label;
  for (char c : base) {
    if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == '_') label += c;
  }
  label = label.substr(label.find_first_not_of('.') == std::string::npos ? label.size()
                                                                         : label.find_first_not_of('.'));
  return label.substr(0, 64);
}

Preview ReadUpload(const std::string& fileName, std::string bytes, const PreviewSettings& settings) {
  Preview out;
  out.bytes = std::move(bytes);
  out.sha256 = Sha256Hex(out.bytes);
  out.label = SafeLabel(fileName);
  if (out.label.empty()) out.label = fileName.empty() ? "pasted-log" : "log";

  logs::LogStream log(out.label, std::string_view(out.bytes));
  out.format = log.format();
  if (out.format.empty()) {
    out.unfit = Unfit::kNeitherFormat;
    return out;
  }
  // The entrant, as the sponsor's cross-check will know it: a Cabrillo log's CALLSIGN: line, else the station
  // its contacts name, else a file name that reads as a call.
  if (out.format == "Cabrillo") ReadCabrilloHeader(out.bytes, out);
  if (out.call.empty()) {
    OwnCallFinder finder;
    log.Read(finder);
    out.call = Upper(finder.facts.ownCall());
  }
  if (out.call.empty() && !fileName.empty()) out.call = check::CallOfFileName(out.label);
  if (out.call.empty()) {
    out.unfit = Unfit::kNoCall;
    return out;
  }
  if (!check::ReadsAsCall(out.call)) {
    out.unfit = Unfit::kBadCall;
    return out;
  }

  cli::RunOptions options;
  options.log = out.label;
  options.call = out.call;
  options.start = settings.startText;
  ScratchFolder folder(settings.scratch);
  FolderPlatform platform(zorvant::SystemPlatform(), folder.path());
  Watcher watcher(out, out.label, settings.period);
  std::ostringstream report, err;
  const int code = cli::RunScore(options, log, platform, report, err, watcher);
  if (code != cli::kScored) {
    // The last line says why; the page shows it in the entrant's words, as the command would.
    std::string why = err.str();
    why.erase(why.find_last_not_of('\n') + 1);
    why = why.substr(why.rfind('\n') + 1);
    if (why.rfind("zorvant: ", 0) == 0) why = why.substr(9);
    out.unfit = Unfit::kUnreadable;
    out.why = why;
    return out;
  }
  out.report = report.str();
  out.worked = watcher.Worked();
  ReadBadQsoFile(folder.path(), out);
  // A log without contacts still hears of its header's faults, to mend them with the rest.
  if (out.format == "Cabrillo") {
    PlaceCabrillo(settings.chosen, out);
  } else {
    for (const auto& [tag, value] : settings.chosen) {
      out.categories += (out.categories.empty() ? "" : " ") + value;
    }
  }
  if (out.contacts == 0) out.unfit = Unfit::kNoContacts;
  return out;
}

}  // namespace serve
