// The functions the host calls. Each is exported under its plain name and its decorated names (stats.def);
// the argument lists are the host's and must not change, whatever this plug-in reads of them.
#include <windows.h>

#include <mutex>

#include "engine/contest.h"
#include "plugin/plugin.h"
#include "report/report.h"

using zorvant::OleDate;

namespace {

const char kSetName[] = "ZORVANT (C)";

// Nothing may cross back into the host but the documented result.
template <typename Result, typename Body>
Result Guarded(Result fallback, Body body) {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

const OleDate* AsDate(const void* hostDate) { return static_cast<const OleDate*>(hostDate); }

}  // namespace

// The host's date class; only its layout matters here (see OleDate).
class COleDateTime;

extern "C" {

unsigned long __cdecl setVersion(const char* /*version*/) {
  std::lock_guard<std::mutex> lock(zorvant::EngineLock());
  zorvant::TheContest().htmlReport = 1;
  return 0;
}

int __cdecl GetNumberOfSets() { return 1; }

const char* __cdecl GetSetName(int index) { return index == 0 ? kSetName : ""; }

int __cdecl StatsGetExchgCount0(const char*, const char*, const char*) { return 1; }

int __cdecl StatsIsValidExchg0(const char* exchange, const char*, const char*, const char*, int, int, int) {
  return zorvant::IsValidExchange(exchange) ? 1 : 0;
}

void __cdecl SetupSet0() {
  Guarded(0, [] {
    zorvant::SystemPlatform().ShowMessage("No additional setup for this plugin", "",
                                          zorvant::MessageIcon::kNone);
    return 0;
  });
}

int __cdecl CheckCallFunc0(const char* call, unsigned int, unsigned int, const char* mode, const char*,
                           const char*, const char*, const char*, const char*, const char*, const char*,
                           const char*, const char* prefix, const char* countryPrefix, int, int, int, double,
                           double, const char*, const char*, const char*, const char*, const char*,
                           const char* band, const char* band2, char* /*out1*/, char* /*out2*/) {
  return Guarded(4, [&] {
    zorvant::CallCheckArgs c;
    c.call = call;
    c.mode = mode;
    c.prefix = prefix;
    c.countryPrefix = countryPrefix;
    c.band = band;
    c.band2 = band2;
    std::unique_lock<std::mutex> lock(zorvant::EngineLock());
    zorvant::PluginShell shell(lock);
    return zorvant::TheContest().CheckCall(c, shell);
  });
}

// clang-format off
#define ZORVANT_QSO_PARAMS                                                                                  \
  const char* ownCall, const char* call, COleDateTime* time, COleDateTime*, COleDateTime*, COleDateTime*,   \
  unsigned int, unsigned int freqHz, const char* mode, const char* rstSent, const char* rstRcvd,            \
  const char* exchSent, const char* exchRcvd, const char*, const char*, const char*, const char*,           \
  const char*, const char*, const char*, const char*, const char* prefix, const char* countryPrefix,        \
  int, int, int, double, double, const char*, const char* hostText, const char*, const char* band,          \
  const char*
// clang-format on

#define ZORVANT_QSO_ARGS(q)        \
  zorvant::QsoArgs q;              \
  q.ownCall = ownCall;             \
  q.call = call;                   \
  q.time = AsDate(time);           \
  q.freqHz = freqHz;               \
  q.mode = mode;                   \
  q.rstSent = rstSent;             \
  q.rstRcvd = rstRcvd;             \
  q.exchSent = exchSent;           \
  q.exchRcvd = exchRcvd;           \
  q.prefix = prefix;               \
  q.countryPrefix = countryPrefix; \
  q.hostText = hostText;           \
  q.band = band

int __cdecl AddData0(ZORVANT_QSO_PARAMS) {
  return Guarded(0, [&] {
    ZORVANT_QSO_ARGS(q);
    std::lock_guard<std::mutex> lock(zorvant::EngineLock());
    return zorvant::TheContest().AddData(q);
  });
}

int __cdecl RemoveData0(ZORVANT_QSO_PARAMS) {
  return Guarded(1, [&] {
    ZORVANT_QSO_ARGS(q);
    std::unique_lock<std::mutex> lock(zorvant::EngineLock());
    zorvant::PluginShell shell(lock);
    return zorvant::TheContest().RemoveData(q, shell);
  });
}

int __cdecl ResetStats0(const char* iniFolder, int exportFlag, const char* ownCall, COleDateTime* start,
                        COleDateTime* end, const char*, const char*, const char*, const char*, const char*,
                        const char*, const char*, const char*, const char*, const char* ownCountryPrefix, int,
                        int, int, double, double, const char*, const char*, const char*) {
  return Guarded(1, [&] {
    zorvant::ResetArgs r;
    r.iniFolder = iniFolder;
    r.exportFlag = exportFlag;
    r.ownCall = ownCall;
    r.start = AsDate(start);
    r.end = AsDate(end);
    r.ownCountryPrefix = ownCountryPrefix;
    std::unique_lock<std::mutex> lock(zorvant::EngineLock());
    zorvant::PluginShell shell(lock);
    return zorvant::TheContest().Reset(r, shell);
  });
}

const char* __cdecl GetResult0(int* status) {
  return Guarded("", [&] {
    std::unique_lock<std::mutex> lock(zorvant::EngineLock());
    zorvant::Contest& contest = zorvant::TheContest();
    const zorvant::ReportOutcome outcome = zorvant::MakeReport(contest);
    const char* report = contest.reportText.c_str();
    lock.unlock();  // the operator may take any time over the box
    if (outcome.exported) {
      zorvant::SystemPlatform().ShowMessage(outcome.exportMessage, "Output",
                                            zorvant::MessageIcon::kInformation);
      if (status) *status = -1;
    }
    return report;
  });
}

}  // extern "C"
