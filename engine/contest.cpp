#include "engine/contest.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/file_text.h"

namespace zorvant {

const char kSettingsFile[] = "Plugins\\ZORVANT.ini";
const char kSettingsSection[] = "Settings";
const char kBadQsoHeader[] = "ZORVANT CONTEST UBN file UBN file ";
const char kWrongBand[] = "   WRONG BAND !!!";
const char kWrongMode[] = "   WRONG MODE !!!";
const char kNoRxNumber[] = "   NO RX NUMBER !!!";
const char kDupe[] = "   DUPE !!!";

namespace {

const char kLineEnd[] = "\r\n";  // on every platform: the file is read by Windows tools
const char kFieldGap[] = "  ";
const char kDateTimeFormat[] = "%Y-%m-%d %H%M";
const char* const kHomeAreaPrefixes[] = {"UA", "UA2", "UA9", "CE9/KC4", "UR", "UN", "EU"};

const char* S(const char* text) { return text ? text : ""; }

struct FileCloser {
  std::FILE*& file;
  ~FileCloser() {
    if (file) std::fclose(file);
  }
};

// Whether a bad-QSO line was written for the contact with this worked callsign and date-and-time text. The
// line's fields are joined by two blanks (an empty field leaves four), so splitting at each pair of blanks
// in turn recovers them; a field that itself holds two blanks shifts the rest and the line is kept.
bool IsLineOf(const std::string& line, const std::string& call, const std::string& dateTime) {
  constexpr int kDateField = 3, kCallField = 7;
  std::size_t pos = 0;
  for (int field = 0; field <= kCallField; ++field) {
    const std::size_t gap = line.find(kFieldGap, pos);
    if (gap == std::string::npos) return false;  // the call field is always followed by a gap
    const std::string text = line.substr(pos, gap - pos);
    if ((field == 0 && text != "QSO:") || (field == kDateField && text != dateTime) ||
        (field == kCallField && text != call)) {
      return false;
    }
    pos = gap + 2;
  }
  return true;
}

// A decimal integer as the C library's atoi reads it: leading blanks, optional sign, digits up to the first
// other character; no digits gives 0.
int LeadingInt(const std::string& text) { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }

}  // namespace

std::string BadQsoLine(const QsoArgs& q, const char* reason) {
  std::string line = "QSO:  ";
  line += std::to_string(q.freqHz / 1000);
  line.append(kFieldGap).append(S(q.mode));
  line.append(kFieldGap).append(Format(OleDate::From(q.time), kDateTimeFormat));
  for (const char* field : {q.ownCall, q.rstSent, q.exchSent, q.call, q.rstRcvd, q.exchRcvd}) {
    line.append(kFieldGap).append(S(field));
  }
  return line + reason;
}

Contest::Contest(Platform& platform)
    : modeTable(kModeEntries, kModeCount), bandTable(kBandEntries, kBandCount), platform_(platform) {}

int Contest::TourOf(const OleDate& t) const { return Hour(t) - startHour >= 2 ? 1 : 0; }

void Contest::AppendBadQso(std::FILE*& file, const QsoArgs& q, const char* reason) {
  if (!file) {
    if (badQsoFileName.empty()) return;  // no reset yet: there is no file to write to
    file = platform_.OpenShared(badQsoFileName, "ab");
    if (!file) return;
  }
  const std::string line = BadQsoLine(q, reason) + kLineEnd;
  std::fwrite(line.data(), 1, line.size(), file);
}

int Contest::AddData(const QsoArgs& q) {
  std::FILE* file = nullptr;
  FileCloser closer{file};

  const char* band = S(q.band);
  if (!bandTable.Contains(band)) {
    AppendBadQso(file, q, kWrongBand);
    return 0;
  }
  // Before the mode and number checks on purpose: a band counts as worked once any contact on it arrives.
  if (std::find(bandsWorked.begin(), bandsWorked.end(), band) == bandsWorked.end()) {
    bandsWorked.push_back(band);
  }
  if (!modeTable.Contains(q.mode)) {
    AppendBadQso(file, q, kWrongMode);
    return 0;
  }
  if (!*S(q.exchRcvd) || !*S(q.exchSent)) {
    AppendBadQso(file, q, kNoRxNumber);
    return 0;
  }

  CInfo r;
  r.call = S(q.call);
  r.band = band;
  r.mode = S(q.mode);
  r.hostText = S(q.hostText);
  r.rstRcvd = S(q.rstRcvd);
  r.rstSent = S(q.rstSent);
  r.exchRcvd = S(q.exchRcvd);
  r.exchSent = S(q.exchSent);
  r.countryPrefix = S(q.countryPrefix);
  r.prefix = S(q.prefix);
  r.freqKHz = q.freqHz / 1000;
  r.time = OleDate::From(q.time);
  r.tour = TourOf(r.time);
  if (qsoLog.HasCall(r.call, r.band, r.mode, r.tour)) {
    r.excluded = 1;
    r.dupe = 1;
    AppendBadQso(file, q, kDupe);
  }
  qsoLog.Append(r);
  return 1;
}

int Contest::RemoveData(const QsoArgs& q, Shell& shell) {
  const OleDate time = OleDate::From(q.time);
  const long i = qsoLog.Find(S(q.call), S(q.band), S(q.mode), time);
  if (i >= 0) qsoLog.RemoveAt(static_cast<std::size_t>(i));
  RemoveBadQsoLines(S(q.call), Format(time, kDateTimeFormat));
  if (qsoLog.empty()) {
    for (auto& list : tourPrefixes) list.clear();
  }
  shell.PostRefresh();
  return 1;
}

void Contest::RemoveBadQsoLines(const std::string& call, const std::string& dateTime) {
  if (badQsoFileName.empty()) return;
  std::string kept = std::string(kBadQsoHeader) + kLineEnd;
  std::string text;
  if (ReadWholeFile(platform_, badQsoFileName, &text)) {
    const std::vector<std::string> lines = SplitLines(text);
    for (std::size_t n = 1; n < lines.size(); ++n) {  // line 0 is the header, written afresh above
      if (!IsLineOf(lines[n], call, dateTime)) kept.append(lines[n]).append(kLineEnd);
    }
  } else if (platform_.FileExists(badQsoFileName)) {
    // There but unreadable, or read only in part: rewriting would lose the operator's lines.
    return;
  }
  RewriteFile(platform_, badQsoFileName, kept);
}

void Contest::ReadHostId(const std::string& pattern) {
  const std::string found = platform_.FindFirstMatch(
      pattern, [](const std::string& name) { return name.find("Tarq2.ini") != std::string::npos; });
  if (found.empty()) {
    hostId = "Tarq";
    return;
  }
  // The host keeps its ini in its own folder, which is the current one; the search only tells it exists.
  std::string text;
  if (!ReadWholeFile(platform_, "Tarq2.ini", &text)) return;
  for (const std::string& line : SplitLines(text)) {
    if (line.find("Tarq=") != std::string::npos) {
      hostId = line.substr(5);
      return;
    }
  }
}

// The toggle alternates across ordinary resets, so only every other one opens the Setup window; an export
// pass sets it to 1 first and so never opens the window.
void Contest::UpdateStartToggle(Shell& shell) {
  const std::string file = kSettingsFile;
  std::string toggle = platform_.ProfileString(file, kSettingsSection, "Start", "");
  if (toggle.size() > 99) toggle.resize(99);
  if (LeadingInt(toggle) != 0) {
    platform_.WriteProfileString(file, kSettingsSection, "Start", "0");
  } else if (!shell.SetupWindowOpen()) {
    shell.StartSetup();
    platform_.WriteProfileString(file, kSettingsSection, "Start", "1");
  }
}

int Contest::Reset(const ResetArgs& r, Shell& shell) {
  const OleDate start = OleDate::From(r.start);
  const std::string pattern = std::string(S(r.iniFolder)) + "*.ini";
  startHour = static_cast<std::int16_t>(Hour(start));
  startYear = Format(start, "%Y");
  startDate = Format(start, "%d.%m.%Y");
  ReadHostId(pattern);
  qsoLog.Clear();
  bandsWorked.clear();
  myCall = S(r.ownCall);
  for (const char* home : kHomeAreaPrefixes) {
    if (std::strcmp(S(r.ownCountryPrefix), home) == 0) homeArea = 1;
  }
  for (std::size_t i = 0; i < bandRows.size(); ++i) bandRows[i] = {bandTable[i], "-", "-", "-", "-"};
  exportRun = r.exportFlag;

  const std::string ownCall = myCall;
  if (r.exportFlag != 0) {
    EditCabrilloHeader(platform_, cabrillo, ownCall, shell);
    platform_.WriteProfileString(kSettingsFile, kSettingsSection, "Start", "1");
  }
  UpdateStartToggle(shell);

  badQsoFileName = "BadQSO_StatsZORVANT_" + Format(start, "%d_%m_%Y") + ".txt";
  std::FILE* f = platform_.OpenShared(badQsoFileName, "wb");
  if (f) {
    const std::string header = std::string(kBadQsoHeader) + kLineEnd;
    std::fwrite(header.data(), 1, header.size(), f);
    std::fclose(f);
  }
  return 1;
}

int Contest::CheckCall(const CallCheckArgs& c, Shell& shell) {
  if (refreshPending != 0 && shell.SetupWindowOpen()) {
    refreshPending = 0;
    shell.PostRefresh();
  }
  if (c.band && c.band2 && !EqualNoCase(c.band, c.band2)) return 4;
  if (!bandTable.Contains(c.band) || !modeTable.Contains(c.mode)) return 4;
  if (!*S(c.countryPrefix)) return 1;
  if (qsoLog.HasCall(S(c.call), c.band, c.mode, currentTour)) return 0;
  if (qsoLog.HasPrefix(c.band, S(c.prefix), currentTour)) return 1;
  return 2;
}

}  // namespace zorvant
