#include "host/interactive_session.h"

#include <windows.h>

#include <cctype>
#include <cstdio>
#include <cstring>

#include "host/stand_in_replay.h"
#include "logs/adif.h"
#include "logs/callsign.h"

namespace host {
namespace {

const char kReportFile[] = "statistics.html";

std::string CurrentFolder() {
  char folder[MAX_PATH] = "";
  GetCurrentDirectoryA(sizeof folder, folder);
  return folder;
}

bool StartsWithNoCase(const std::string& text, std::size_t at, const char* word) {
  for (std::size_t i = 0; word[i]; ++i) {
    if (at + i >= text.size()) return false;
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != word[i]) return false;
  }
  return true;
}

// The tag's name in lower case, with its leading '/' when it closes: "<TD colspan=7>" -> "td".
std::string TagName(const std::string& tag) {
  std::string name;
  for (char c : tag) {
    if (std::isalnum(static_cast<unsigned char>(c)) || (c == '/' && name.empty())) {
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    } else if (!name.empty() && name != "/") {
      break;
    }
  }
  return name;
}

}  // namespace

const char* VerdictName(int check) {
  switch (check) {
    case 0: return "dupe";
    case 1: return "ordinary";
    case 2: return "new prefix";
    case 4: return "not a contest contact";
    default: return "";
  }
}

std::string ReportAsText(const std::string& report) {
  if (!StartsWithNoCase(report, 0, "<html")) return report;
  std::string text;
  auto endLine = [&] {
    while (!text.empty() && text.back() == ' ') text.pop_back();
    if (!text.empty() && text.back() != '\n') text += "\r\n";
  };
  bool firstCell = true;
  bool inRow = false;  // a row's cells stay on its line, whatever they hold
  for (std::size_t i = 0; i < report.size();) {
    if (report[i] == '<') {
      const std::size_t close = report.find('>', i);
      if (close == std::string::npos) break;
      const std::string name = TagName(report.substr(i + 1, close - i - 1));
      i = close + 1;
      if (name == "style" || name == "head") {
        // What styles the page is no part of the report.
        const std::size_t end = report.find("</" + name, i);
        if (end == std::string::npos) break;
        i = report.find('>', end);
        i = i == std::string::npos ? report.size() : i + 1;
      } else if (name == "tr") {
        endLine();
        firstCell = true;
        inRow = true;
      } else if (name == "td" || name == "th") {
        if (!firstCell) text += '\t';
        firstCell = false;
      } else if (name == "/tr" || name == "/table") {
        endLine();
        inRow = false;
      } else if (!inRow && (name == "/center" || name == "br" || name == "/p" || name == "/div" ||
                            (name.size() == 3 && name[1] == 'h' &&
                             std::isdigit(static_cast<unsigned char>(name[2]))))) {
        endLine();
      }
      continue;
    }
    if (report[i] == '&') {
      static const struct {
        const char* entity;
        char c;
      } kEntities[] = {{"&amp;", '&'},  {"&lt;", '<'},   {"&gt;", '>'},
                       {"&quot;", '"'}, {"&#39;", '\''}, {"&nbsp;", ' '}};
      bool known = false;
      for (const auto& e : kEntities) {
        if (report.compare(i, std::strlen(e.entity), e.entity) == 0) {
          text += e.c;
          i += std::strlen(e.entity);
          known = true;
          break;
        }
      }
      if (known) continue;
    }
    if (report[i] != '\r' && report[i] != '\n') text += report[i];
    ++i;
  }
  endLine();
  return text;
}

LogContact TypedContact(const std::string& call, unsigned freqHz, const std::string& mode) {
  LogContact c;
  c.call = call;
  c.time = UtcNow();
  c.freqHz = freqHz;
  c.mode = mode;
  c.band = logs::BandOfHz(freqHz);
  c.prefix = logs::CallPrefix(call);
  c.countryPrefix = logs::CountryPrefix(call);
  return c;
}

QsoTime UtcNow() {
  SYSTEMTIME now;
  GetSystemTime(&now);
  return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

QsoTime UtcHour() {
  QsoTime t = UtcNow();
  t.minute = t.second = 0;
  return t;
}

HandLog::HandLog(const PluginLoader& plugin) : plugin_(plugin) { plugin_.setVersion("stand-in"); }

void HandLog::SetStartToggle(const char* value) {
  const std::string ini = CurrentFolder() + "\\Plugins\\ZORVANT.ini";
  WritePrivateProfileStringA("Settings", "Start", value, ini.c_str());
}

void HandLog::NewContest(const std::string& ownCall, const QsoTime& start) {
  ownCall_ = ownCall;
  start_ = start;
  contacts_.clear();
  SetStartToggle("0");
  HostReset(plugin_, /*exportPass=*/false, ownCall_, start_);
}

int HandLog::Check(const LogContact& typed) const { return HostCheck(plugin_, typed); }

bool HandLog::Log(const LogContact& c) {
  contacts_.push_back({c, HostQso(plugin_.AddData0, c, ownCall_) == 1});
  return contacts_.back().stored;
}

void HandLog::Remove(std::size_t index) {
  if (index >= contacts_.size()) return;
  HostQso(plugin_.RemoveData0, contacts_[index].contact, ownCall_);
  contacts_.erase(contacts_.begin() + static_cast<std::ptrdiff_t>(index));
}

void HandLog::ResetForExport() { HostReset(plugin_, /*exportPass=*/true, ownCall_, start_); }

void HandLog::EndExport() {
  // A set toggle makes this reset only clear it: the operator who closed the Setup window keeps it closed.
  SetStartToggle("1");
  HostReset(plugin_, /*exportPass=*/false, ownCall_, start_);
}

void HandLog::Feed(std::size_t index) {
  if (index >= contacts_.size()) return;
  contacts_[index].stored = HostQso(plugin_.AddData0, contacts_[index].contact, ownCall_) == 1;
}

std::string HandLog::Report() {
  int status = 0;
  const char* report = plugin_.GetResult0(&status);
  const std::string html = report ? report : "";
  reportFile_.clear();
  const std::string path = CurrentFolder() + "\\" + kReportFile;
  if (std::FILE* out = std::fopen(path.c_str(), "wb")) {
    const bool written = std::fwrite(html.data(), 1, html.size(), out) == html.size();
    if (std::fclose(out) == 0 && written) reportFile_ = path;
  }
  return ReportAsText(html);
}

}  // namespace host
