#include "logs/log_reader.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "logs/cabrillo_log.h"
#include "logs/callsign.h"

namespace logs {
namespace {

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

bool StartsWith(const std::string& s, size_t at, const char* prefix) {
  const size_t n = std::strlen(prefix);
  return s.size() - at >= n && Upper(s.substr(at, n)) == prefix;
}

std::string DetectFormat(const std::string& text) {
  size_t start = StartsWith(text, 0, "\xEF\xBB\xBF") ? 3 : 0;
  while (start < text.size() && std::isspace(static_cast<unsigned char>(text[start]))) ++start;
  if (StartsWith(text, start, "START-OF-LOG:")) return "Cabrillo";
  const std::string upper = Upper(text);
  if (upper.find("<EOH>") != std::string::npos || upper.find("<EOR>") != std::string::npos) return "ADIF";
  for (size_t line = 0; line != std::string::npos;) {
    while (line < upper.size() && (upper[line] == ' ' || upper[line] == '\t')) ++line;
    if (upper.compare(line, 4, "QSO:") == 0) return "Cabrillo";
    line = upper.find_first_of("\r\n", line);
    if (line != std::string::npos) ++line;
  }
  // A log cut off inside its first record still has a field to show what it is.
  return ScanAdif(text, nullptr).empty() ? "" : "ADIF";
}

std::string Quoted(const std::string& s) { return "\"" + s + "\""; }

// Why a record cannot become a contact, or "" when it can.
std::string Unusable(const AdifRecord& r) {
  std::vector<std::string> reasons;
  QsoTime ignored;
  if (r.call.empty()) reasons.push_back("no CALL");
  if (r.qso_date.empty()) {
    reasons.push_back("no QSO_DATE");
  } else if (!ParseQsoTime(r.qso_date, "0000", &ignored)) {
    reasons.push_back("QSO_DATE " + Quoted(r.qso_date) + " is not a date (YYYYMMDD)");
  }
  if (r.time_on.empty()) {
    reasons.push_back("no TIME_ON");
  } else if (!ParseQsoTime("20000101", r.time_on, &ignored)) {
    reasons.push_back("TIME_ON " + Quoted(r.time_on) + " is not a time of day (HHMM or HHMMSS)");
  }
  std::string joined;
  for (const std::string& reason : reasons) joined += (joined.empty() ? "" : ", ") + reason;
  return joined;
}

// A FREQ that reads as a number but exceeds the host's 32 bits (a microwave QSO) is not a fault of the log.
bool IsNumber(const std::string& s) {
  const size_t point = s.find_first_of(".,");
  const std::string digits = point == std::string::npos ? s : s.substr(0, point) + s.substr(point + 1);
  if (digits.empty()) return false;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

void ReadAdifText(const std::string& name, const std::string& text, LogReadResult* result) {
  std::vector<AdifProblem> problems;
  const std::vector<AdifRecord> records = ScanAdif(text, &problems);
  for (const AdifRecord& r : records) {
    const std::string unusable = Unusable(r);
    if (!unusable.empty()) {
      problems.push_back({r.number, r.line, unusable});
      continue;
    }
    if (!r.freq.empty() && r.freq_hz == 0 && !IsNumber(r.freq)) {
      problems.push_back(
          {r.number, r.line,
           "FREQ " + Quoted(r.freq) + " is not a frequency in MHz; the QSO is kept without it"});
    }
    LogContact c;
    ParseQsoTime(r.qso_date, r.time_on, &c.time);
    c.ownCall = Upper(r.station_callsign.empty() ? r.operator_call : r.station_callsign);
    c.call = Upper(r.call);
    c.freqHz = r.freq_hz;
    c.mode = HostMode(r);
    c.band = r.band;
    c.rstSent = r.rst_sent;
    c.rstRcvd = r.rst_rcvd;
    c.exchSent = r.stx;
    c.exchRcvd = r.srx;
    c.prefix = r.pfx.empty() ? CallPrefix(c.call) : Upper(r.pfx);
    // ADIF has no field for the entity prefix (DXCC is a number, COUNTRY a name), so it always comes from the
    // call, as the host's own look-up would.
    c.countryPrefix = CountryPrefix(c.call);
    c.sourceLine = r.line;
    c.record = r.number;
    result->contacts.push_back(c);
  }
  // In file order, whichever pass found them.
  std::stable_sort(problems.begin(), problems.end(), [](const AdifProblem& a, const AdifProblem& b) {
    return a.line != b.line ? a.line < b.line : a.record < b.record;
  });
  for (const AdifProblem& p : problems) {
    const std::string where =
        p.record ? "record " + std::to_string(p.record) + " (line " + std::to_string(p.line) + ")"
                 : "line " + std::to_string(p.line);
    result->problems.push_back(name + ": " + where + ": " + p.what);
  }
}

}  // namespace

bool ReadFileText(const std::string& path, std::string* text, std::string* error) {
  // A pipe, a device or a socket opens and then waits for a writer that may never come.
  std::error_code ec;
  const std::filesystem::file_status status = std::filesystem::status(path, ec);
  if (!ec && std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)) {
    *error = std::filesystem::is_directory(status) ? "it is a folder" : "not a regular file";
    return false;
  }
  errno = 0;
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    *error = errno ? std::strerror(errno) : "cannot open";
    return false;
  }
  // A folder opens like a file on POSIX and fails only on the first read, which the library reports by
  // throwing from inside the iterator.
  try {
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception& e) {
    *error = errno ? std::strerror(errno) : e.what();
    return false;
  }
  if (in.bad()) {
    *error = "read error";
    return false;
  }
  return true;
}

LogReadResult ParseLogText(const std::string& name, const std::string& text) {
  LogReadResult result;
  result.opened = true;
  result.format = DetectFormat(text);
  if (result.format == "Cabrillo") {
    ParseCabrillo(name, text, &result);
  } else if (result.format == "ADIF") {
    ReadAdifText(name, text, &result);
  } else {
    result.problems.push_back(
        name + (text.empty() ? ": the file is empty" : ": neither an ADIF nor a Cabrillo log"));
  }
  return result;
}

LogReadResult ReadLog(const std::string& path) {
  std::string text;
  std::string error;
  if (!ReadFileText(path, &text, &error)) {
    LogReadResult result;
    result.problems.push_back(path + ": cannot be read: " + error);
    return result;
  }
  return ParseLogText(path, text);
}

}  // namespace logs
