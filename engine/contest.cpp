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

void AppendField(std::string& line, std::string_view text) {
  line.append(kFieldGap);
  for (const char c : text) line += c == '\r' || c == '\n' ? ' ' : c;
}

// What a bad-QSO line shows of a contact, wherever it is read from.
struct LineFields {
  std::uint32_t freqKHz;
  std::string_view mode;
  OleDate time;
  std::string_view ownCall, rstSent, exchSent, call, rstRcvd, exchRcvd;
};

std::string MakeLine(const LineFields& f, const char* reason) {
  std::string line = "QSO:  ";
  line += std::to_string(f.freqKHz);
  AppendField(line, f.mode);
  AppendField(line, Format(f.time, kDateTimeFormat));
  for (std::string_view field : {f.ownCall, f.rstSent, f.exchSent, f.call, f.rstRcvd, f.exchRcvd}) {
    AppendField(line, field);
  }
  return line + reason;
}

// The one rule for every number of the settings, the windows' included.
int LeadingInt(const std::string& text) { return SettingNumber(text); }

}  // namespace

std::string BadQsoLine(const QsoArgs& q, const char* reason) {
  return MakeLine({q.freqHz / 1000, S(q.mode), OleDate::From(q.time), S(q.ownCall), S(q.rstSent),
                   S(q.exchSent), S(q.call), S(q.rstRcvd), S(q.exchRcvd)},
                  reason);
}

std::string BadQsoLine(const QsoView& r, std::string_view ownCall, const char* reason) {
  return MakeLine({r.freqKHz, r.mode, r.time, ownCall, r.rstSent, r.exchSent, r.call, r.rstRcvd, r.exchRcvd},
                  reason);
}

bool IsBadQsoHeader(const std::string& line) {
  auto trimmed = [](std::string text) { return text.erase(text.find_last_not_of(" \t") + 1); };
  return trimmed(line) == trimmed(kBadQsoHeader);
}

std::vector<std::string> BadQsoFileLines(const std::string& text) {
  static const char kByteOrderMark[] = "\xEF\xBB\xBF";
  const std::size_t mark = text.rfind(kByteOrderMark, 0) == 0 ? sizeof kByteOrderMark - 1 : 0;
  return SplitLines(text.substr(mark));
}

Contest::Contest(Platform& platform)
    : modeTable(kModeEntries, kModeCount),
      bandTable(kBandEntries, kBandCount),
      settings(platform, kSettingsFile, kSettingsSection),
      platform_(platform) {}

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

const char* Contest::Rejection(const QsoArgs& q) const {
  if (!bandTable.Contains(S(q.band))) return kWrongBand;
  if (!modeTable.Contains(q.mode)) return kWrongMode;
  if (!*S(q.exchRcvd) || !*S(q.exchSent)) return kNoRxNumber;
  return nullptr;
}

int Contest::AddData(const QsoArgs& q) {
  std::FILE* file = nullptr;
  FileCloser closer{file};

  qsoLog.PrefetchCall(S(q.call));
  const char* band = S(q.band);
  const char* rejected = Rejection(q);
  // A band counts as worked once any contact on it arrives, even one then refused for its mode or number.
  if (rejected != kWrongBand &&
      std::find(bandsWorked.begin(), bandsWorked.end(), band) == bandsWorked.end()) {
    bandsWorked.push_back(band);
  }
  if (rejected) {
    AppendBadQso(file, q, rejected);
    return 0;
  }

  QsoView r;
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
  if (qsoLog.AppendJudged(r, S(q.ownCall))) AppendBadQso(file, q, kDupe);
  return 1;
}

// The line a contact wrote goes with it, and only that one. The host finds its contact by call, band, mode
// and time, and may pass the rest as it stands now (edited since, or not at all), so a stored contact's line
// is rebuilt from its record: only a dupe wrote one. A contact without a record was refused, and only its
// arguments tell its line. Of two equal records the first goes, dupe or not; one that stays keeps its line.
int Contest::RemoveData(const QsoArgs& q, Shell& shell) {
  const long found = qsoLog.Find(S(q.call), S(q.band), S(q.mode), OleDate::From(q.time));
  std::string line;
  if (found >= 0) {
    const std::size_t i = static_cast<std::size_t>(found);
    if (qsoLog.record(i).dupe()) line = BadQsoLine(qsoLog.View(i), qsoLog.DupeOwnCall(i), kDupe);
    qsoLog.RemoveAt(i);
  } else if (const char* refusal = Rejection(q)) {
    line = BadQsoLine(q, refusal);
  }
  RemoveBadQsoLine(line);
  if (qsoLog.empty()) {
    for (auto& list : tourPrefixes) list.clear();
  }
  shell.PostRefresh();
  return 1;
}

// Of several equal lines (the same contact logged twice in one minute) one goes, as one contact went; the
// others' contacts are still in the host's log. The file is rewritten even when no line goes, which brings
// back a lost header.
void Contest::RemoveBadQsoLine(const std::string& line) {
  if (badQsoFileName.empty()) return;
  std::string kept = std::string(kBadQsoHeader) + kLineEnd;
  std::string text;
  if (ReadWholeFile(platform_, badQsoFileName, &text)) {
    const std::vector<std::string> lines = BadQsoFileLines(text);
    bool removed = line.empty();
    for (std::size_t n = 0; n < lines.size(); ++n) {
      if (n == 0 && IsBadQsoHeader(lines[n])) continue;  // written afresh above
      if (!removed && lines[n] == line) {
        removed = true;
        continue;
      }
      kept.append(lines[n]).append(kLineEnd);
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

// The toggle alternates across ordinary resets, so only every other one opens the Setup window. An export
// pass would set it to 1 and then, finding it so, back to 0: one write of 0 does both, and where that write
// fails the toggle reads as the file has it, as it would after a failed write of 1.
void Contest::UpdateStartToggle(Shell& shell, bool exportPass) {
  if (exportPass && settings.Write({{"Start", "0"}}) == SettingsError::kNone) return;
  std::string toggle = settings.saved().Get("Start", "");
  if (toggle.size() > 99) toggle.resize(99);
  if (LeadingInt(toggle) != 0) {
    if (!exportPass) settings.Write({{"Start", "0"}});
  } else if (!shell.SetupWindowOpen()) {
    shell.StartSetup();
    settings.Write({{"Start", "1"}});
  }
}

// Made afresh at every reset. A link in its place is taken away, never written through: what it points to is
// none of this contest's. Anything else that is no plain file (a folder, a device) is left alone, and the
// contest goes on without the file.
void Contest::CreateBadQsoFile() {
  const FileKind kind = platform_.Inspect(badQsoFileName).kind;
  if (kind == FileKind::kOther) return;
  if (kind == FileKind::kLink) platform_.RemoveFile(badQsoFileName);
  std::FILE* f = platform_.OpenShared(badQsoFileName, "wb");
  if (!f) return;
  const std::string header = std::string(kBadQsoHeader) + kLineEnd;
  std::fwrite(header.data(), 1, header.size(), f);
  if (std::fclose(f) == 0) ForgetUndo(platform_, badQsoFileName);
}

int Contest::Reset(const ResetArgs& r, Shell& shell) {
  settings.NewPass();
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

  // One read of the settings serves the header and the toggle.
  const std::string ownCall = myCall;
  if (r.exportFlag != 0) {
    EditCabrilloHeader(settings, cabrillo, ownCall, shell);
  } else {
    settings.Load();
  }
  UpdateStartToggle(shell, r.exportFlag != 0);

  badQsoFileName = "BadQSO_StatsZORVANT_" + Format(start, "%d_%m_%Y") + ".txt";
  CreateBadQsoFile();
  return 1;
}

int Contest::CheckCall(const CallCheckArgs& c, Shell& shell) {
  // Only a refresh really posted is outstanding: a window still opening would otherwise never follow what
  // was typed meanwhile.
  if (refreshPending != 0 && shell.SetupWindowOpen() && shell.PostRefresh()) refreshPending = 0;
  if (c.band && c.band2 && !EqualNoCase(c.band, c.band2)) return 4;
  if (!bandTable.Contains(c.band) || !modeTable.Contains(c.mode)) return 4;
  if (!*S(c.countryPrefix)) return 1;
  if (qsoLog.HasCall(S(c.call), S(c.band), S(c.mode), currentTour)) return 0;
  if (qsoLog.HasPrefix(S(c.band), S(c.prefix), currentTour)) return 1;
  return 2;
}

}  // namespace zorvant
