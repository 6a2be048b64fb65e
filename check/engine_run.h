// The plug-in's engine scoring one entrant's log, as `zorvant score` runs it but with no file of its own:
// a contest sponsor scores thousands of logs at once, side by side, and none of them may leave a bad-QSO
// file or settings behind. What the files would hold plays no part in the score.
#ifndef ZORVANT_CHECK_ENGINE_RUN_H_
#define ZORVANT_CHECK_ENGINE_RUN_H_

#include <memory>
#include <string>

#include "engine/contest.h"
#include "logs/log_reader.h"
#include "report/report.h"

namespace check {

// The report's totals of a log; all 0 for a log that was not scored.
using Totals = zorvant::ReportTotals;

// A contact's texts as AddData0 takes them, each a C string.
struct ContactTexts {
  const char* ownCall;  // the contact's own, or the log's when the contact names none
  const char* call;
  const char* mode;
  const char* band;
  const char* rstSent;
  const char* rstRcvd;
  const char* exchSent;
  const char* exchRcvd;
  const char* prefix;
  const char* countryPrefix;
};

// One log through the engine: the reset, one AddData0 a contact in log order, and the report. Not for
// sharing between threads; each run is its own contest.
class EngineRun {
 public:
  EngineRun(const std::string& ownCall, const logs::QsoTime& start);
  ~EngineRun();
  EngineRun(const EngineRun&) = delete;
  EngineRun& operator=(const EngineRun&) = delete;

  // AddData0's answer: true when the engine stored the contact (`dupe` then says whether as a dupe), false
  // when the contest refused it (band, mode, or a missing serial).
  bool Add(const ContactTexts& texts, const zorvant::OleDate& time, unsigned freqHz, bool* dupe);
  // The report, as `zorvant score` prints it; the run ends with it.
  Totals Report();

 private:
  class NoFiles;

  std::unique_ptr<NoFiles> files_;  // before the contest, which holds on to it
  zorvant::Contest contest_;
};

// The contact's texts as `zorvant score` hands them to the engine.
ContactTexts TextsOf(const logs::LogContact& c, const std::string& ownCall);
zorvant::OleDate TimeOf(const logs::QsoTime& t);

}  // namespace check

#endif  // ZORVANT_CHECK_ENGINE_RUN_H_
