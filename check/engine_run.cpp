#include "check/engine_run.h"

#include "logs/callsign.h"

namespace check {

// Every file missing and every write refused: the engine then stores and scores as ever, and only the
// bad-QSO count of the report, which is no part of the score, reads 0.
class EngineRun::NoFiles : public zorvant::Platform {
 public:
  std::string FullPath(const std::string& path) override { return path; }
  std::FILE* OpenShared(const std::string&, const char*) override { return nullptr; }
  bool FileExists(const std::string&) override { return false; }
  zorvant::FileFacts Inspect(const std::string&) override { return {}; }
  bool ReplaceFile(const std::string&, const std::string&) override { return false; }
  bool ResizeFile(const std::string&, std::uint64_t) override { return false; }
  bool RemoveFile(const std::string&) override { return false; }
  std::unique_ptr<Lock> TakeLock(const std::string&, std::chrono::milliseconds,
                                 zorvant::LockFailure* why) override {
    *why = zorvant::LockFailure::kUnavailable;
    return nullptr;
  }
  std::string FindFirstMatch(const std::string&, const std::function<bool(const std::string&)>&) override {
    return "";
  }
  std::uint32_t ProcessId() override { return 0; }
  bool ProcessRunning(std::uint32_t) override { return false; }
  // The hour only picks the tour whose prefixes the plug-in's windows would show.
  int UtcHour() override { return 0; }
  void ShowMessage(const std::string&, const std::string&, zorvant::MessageIcon) override {}
};

zorvant::OleDate TimeOf(const logs::QsoTime& t) {
  return zorvant::OleDate::FromParts(t.year, t.month, t.day, t.hour, t.minute, t.second);
}

ContactTexts TextsOf(const logs::LogContact& c, const std::string& ownCall) {
  return {c.ownCall.empty() ? ownCall.c_str() : c.ownCall.c_str(),
          c.call.c_str(),
          c.mode.c_str(),
          c.band.c_str(),
          c.rstSent.c_str(),
          c.rstRcvd.c_str(),
          c.exchSent.c_str(),
          c.exchRcvd.c_str(),
          c.prefix.c_str(),
          c.countryPrefix.c_str()};
}

EngineRun::EngineRun(const std::string& ownCall, const logs::QsoTime& start)
    : files_(std::make_unique<NoFiles>()), contest_(*files_) {
  const zorvant::OleDate startDate =
      zorvant::OleDate::FromParts(start.year, start.month, start.day, start.hour, start.minute);
  const zorvant::OleDate endDate{startDate.value + 4.0 / 24.0, zorvant::OleDate::kValid};
  const std::string ownCountry = logs::CountryPrefix(ownCall);
  zorvant::ResetArgs reset;
  reset.iniFolder = "";
  reset.exportFlag = 0;
  reset.ownCall = ownCall.c_str();
  reset.start = &startDate;
  reset.end = &endDate;
  reset.ownCountryPrefix = ownCountry.c_str();
  zorvant::NoWindows shell;
  contest_.Reset(reset, shell);
}

EngineRun::~EngineRun() = default;

bool EngineRun::Add(const ContactTexts& t, const zorvant::OleDate& time, unsigned freqHz, bool* dupe) {
  zorvant::QsoArgs q;
  q.ownCall = t.ownCall;
  q.call = t.call;
  q.time = &time;
  q.freqHz = freqHz;
  q.mode = t.mode;
  q.rstSent = t.rstSent;
  q.rstRcvd = t.rstRcvd;
  q.exchSent = t.exchSent;
  q.exchRcvd = t.exchRcvd;
  q.prefix = t.prefix;
  q.countryPrefix = t.countryPrefix;
  q.hostText = "";
  q.band = t.band;
  const std::size_t before = contest_.qsoLog.size();
  const bool stored = contest_.AddData(q) != 0;
  *dupe = stored && contest_.qsoLog.size() > before && contest_.qsoLog.record(before).dupe();
  return stored;
}

Totals EngineRun::Report() { return zorvant::MakeReport(contest_).totals; }

}  // namespace check
