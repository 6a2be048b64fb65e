// Fuzz target: the whole engine path the host drives, fed with a log read from the input (seeds are real
// logs). One run: a reset on an export pass, for every contact the call check and the add, the report as text
// and as HTML with the Cabrillo export, every contact removed again, and the report once more. What the log
// cannot express (null texts, dates that are NaN, infinite or 1e300, the header fields the operator types)
// is chosen from a hash of the input, so each input stays one reproducible run.
//
// Besides running clean under the sanitizers, each run checks what the files promise: one Cabrillo line per
// logged contact and every line break a CR LF of its own; one bad-QSO line per rejected contact or dupe,
// counted by the report, each dupe's line the one its record rebuilds; and once every contact is removed,
// the lines of the dupes still logged (a time that matches no other, NaN or invalid, cannot be found to be
// removed) and of the rejected contacts whose removal took a stored twin instead, and no other.
//
// The engine writes its files into the current folder, so the target works in a folder of its own under the
// system's temporary folder: give it corpus and artifact paths that are absolute.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "cabrillo/writer.h"
#include "engine/contest.h"
#include "engine/file_text.h"
#include "logs/log_reader.h"
#include "report/report.h"

namespace {

namespace fs = std::filesystem;
using zorvant::OleDate;

void Check(bool holds) {
  if (!holds) std::abort();
}

std::uint32_t Hash(const std::string& text) {
  std::uint32_t h = 2166136261u;
  for (const char c : text) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
  return h;
}

// Dates a hostile host may pass, beside the log's own.
OleDate OddDate(std::minstd_rand& pick) {
  const double values[] = {std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity(),
                           -std::numeric_limits<double>::infinity(),
                           1e300,
                           -1e300,
                           -657435.0,
                           2958465.9999};
  const OleDate::Status statuses[] = {OleDate::kValid, OleDate::kInvalid, OleDate::kNull};
  return OleDate{values[pick() % 7], statuses[pick() % 3]};
}

// One contact's arguments, owning the texts they point to.
struct Args {
  std::vector<std::string> texts;
  OleDate time;
  bool nullTime = false;
  unsigned freqHz = 0;

  zorvant::QsoArgs Qso(std::minstd_rand* pick) const {
    zorvant::QsoArgs q;
    const char** fields[] = {&q.ownCall,  &q.call,   &q.mode, &q.rstSent,       &q.rstRcvd, &q.exchSent,
                             &q.exchRcvd, &q.prefix, &q.band, &q.countryPrefix, &q.hostText};
    for (std::size_t i = 0; i < texts.size(); ++i) *fields[i] = texts[i].c_str();
    if (pick) {
      for (const char** field : fields) {
        if ((*pick)() % 23 == 0) *field = nullptr;
      }
    }
    q.time = nullTime ? nullptr : &time;
    q.freqHz = freqHz;
    return q;
  }
};

// Every line of a Cabrillo file ends in CR LF and holds no other line break; the QSO lines are one per
// logged contact and END-OF-LOG is the last line.
void CheckCabrilloFile(const std::string& text, std::size_t contacts) {
  std::size_t qsoLines = 0;
  std::string last;
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t end = text.find("\r\n", pos);
    Check(end != std::string::npos);
    last = text.substr(pos, end - pos);
    Check(last.find_first_of("\r\n") == std::string::npos);
    qsoLines += last.rfind("QSO:", 0) == 0;
    pos = end + 2;
  }
  Check(qsoLines == contacts);
  Check(last == "END-OF-LOG:");
}

// The bad-QSO file after its header holds, in any order, the line each dupe of the log rebuilds and
// `otherLines` lines of rejected contacts.
void CheckBadQsoLines(const zorvant::Contest& contest, const std::string& text, std::size_t otherLines) {
  std::vector<std::string> lines = zorvant::SplitLines(text), dupes;
  Check(!lines.empty() && lines[0] == zorvant::kBadQsoHeader);
  const std::string reason = zorvant::kDupe;
  for (std::size_t n = 1; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    if (line.size() >= reason.size() &&
        line.compare(line.size() - reason.size(), reason.size(), reason) == 0) {
      dupes.push_back(line);
    }
  }
  std::vector<std::string> rebuilt;
  for (std::size_t i = 0; i < contest.qsoLog.size(); ++i) {
    if (contest.qsoLog.record(i).dupe()) {
      rebuilt.push_back(
          zorvant::BadQsoLine(contest.qsoLog.View(i), contest.qsoLog.DupeOwnCall(i), zorvant::kDupe));
    }
  }
  std::sort(dupes.begin(), dupes.end());
  std::sort(rebuilt.begin(), rebuilt.end());
  Check(dupes == rebuilt);
  Check(lines.size() == 1 + dupes.size() + otherLines);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  std::string folder = (fs::temp_directory_path() / "zorvant_engine_fuzz_XXXXXX").string();
  if (!mkdtemp(folder.data())) std::abort();
  fs::current_path(folder);
  static const std::string made = folder;
  std::atexit([] {
    std::error_code ec;
    fs::current_path(fs::temp_directory_path(), ec);
    fs::remove_all(made, ec);
  });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const logs::LogReadResult log = logs::ParseLogText("fuzz.log", text);
  std::minstd_rand pick(Hash(text));
  // Nothing carries over from one run to the next: the settings start afresh.
  std::error_code ec;
  fs::remove_all("Plugins", ec);
  fs::create_directory("Plugins", ec);

  std::vector<Args> contacts;
  for (const logs::LogContact& c : log.contacts) {
    Args a;
    a.texts = {c.ownCall,  c.call,   c.mode, c.rstSent,       c.rstRcvd, c.exchSent,
               c.exchRcvd, c.prefix, c.band, c.countryPrefix, ""};
    a.time =
        OleDate::FromParts(c.time.year, c.time.month, c.time.day, c.time.hour, c.time.minute, c.time.second);
    if (pick() % 17 == 0) a.time = OddDate(pick);
    a.nullTime = pick() % 31 == 0;
    a.freqHz = c.freqHz;
    contacts.push_back(a);
  }
  std::vector<zorvant::QsoArgs> args;
  for (const Args& a : contacts) args.push_back(a.Qso(&pick));

  // Header fields as an operator might type them, from the texts of the log.
  auto someText = [&]() -> std::string {
    if (contacts.empty()) return "";
    const Args& a = contacts[pick() % contacts.size()];
    return a.texts[pick() % a.texts.size()];
  };
  const std::string name = someText(), club = someText(), address = someText(), soapbox = someText();
  zorvant::NoWindows shell([&](zorvant::CabrilloFields& f) {
    f.name = name;
    f.club = club;
    f.address = address;
    f.soapbox = soapbox;
  });

  zorvant::Contest contest(zorvant::SystemPlatform());
  const std::string ownCall = contacts.empty() ? "" : contacts[0].texts[0];
  const OleDate start = pick() % 13 == 0   ? OddDate(pick)
                        : contacts.empty() ? OleDate::Null()
                                           : contacts[0].time;
  zorvant::ResetArgs reset;
  reset.exportFlag = 1;
  reset.ownCall = ownCall.c_str();
  reset.start = &start;
  reset.end = &start;
  reset.ownCountryPrefix = pick() % 2 ? "UA" : nullptr;
  contest.Reset(reset, shell);

  int rejected = 0, dupes = 0;
  std::vector<bool> stored;
  for (const zorvant::QsoArgs& q : args) {
    zorvant::CallCheckArgs check;
    check.call = q.call;
    check.mode = q.mode;
    check.prefix = q.prefix;
    check.countryPrefix = q.countryPrefix;
    check.band = q.band;
    check.band2 = pick() % 11 == 0 ? "40m" : q.band;
    contest.CheckCall(check, shell);
    stored.push_back(contest.AddData(q) == 1);
    if (!stored.back()) {
      ++rejected;
    } else {
      dupes += contest.qsoLog[contest.qsoLog.size() - 1].dupe;
    }
  }

  const zorvant::ReportOutcome outcome = zorvant::MakeReport(contest);
  const std::string badQsoFile = contest.badQsoFileName;
  std::string lines;
  const bool haveBadQsoFile = zorvant::ReadWholeFile(contest.platform(), badQsoFile, &lines);
  if (haveBadQsoFile) {
    Check(contest.badQsoCount == rejected);
    Check(zorvant::SplitLines(lines).size() == static_cast<std::size_t>(1 + rejected + dupes));
    CheckBadQsoLines(contest, lines, static_cast<std::size_t>(rejected));
  }
  const std::string cabrilloFile = zorvant::CabrilloFileName(contest.cabrillo);
  if (outcome.exportMessage == "File produced: " + cabrilloFile) {
    std::string cabrillo;
    Check(zorvant::ReadWholeFile(contest.platform(), cabrilloFile, &cabrillo));
    CheckCabrilloFile(cabrillo, contest.qsoLog.size());
  }
  contest.htmlReport = 1;
  zorvant::MakeReport(contest);

  // A rejected contact without numbers has the key of a stored one of the same call, band, mode and time, and
  // its removal takes that record: nothing tells the two apart.
  std::size_t rejectedKept = 0;
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::size_t before = contest.qsoLog.size();
    contest.RemoveData(args[k], shell);
    rejectedKept += !stored[k] && contest.qsoLog.size() < before;
  }
  lines.clear();
  if (haveBadQsoFile && zorvant::ReadWholeFile(contest.platform(), badQsoFile, &lines)) {
    CheckBadQsoLines(contest, lines, rejectedKept);
  }
  zorvant::MakeReport(contest);

  fs::remove(badQsoFile, ec);
  fs::remove(cabrilloFile, ec);
  return 0;
}
