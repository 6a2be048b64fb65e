// The contest behind the interactive stand-in's window: the host's own log and the export calls that keep
// the plug-in's copy of it in step, with the host's argument lists. Windows only; every call on the thread
// that owns the plug-in's host side (the window's thread).
#ifndef ZORVANT_HOST_INTERACTIVE_SESSION_H_
#define ZORVANT_HOST_INTERACTIVE_SESSION_H_

#include <cstddef>
#include <string>
#include <vector>

#include "host/plugin_loader.h"
#include "logs/log_reader.h"

namespace host {

using logs::LogContact;
using logs::QsoTime;

// The call check's answer in words: "dupe", "ordinary", "new prefix", "not a contest contact"; "" for an
// answer the plug-in does not give.
const char* VerdictName(int check);

// A report as plain lines: the text form as it comes, the HTML form's headings and table rows as lines of
// tab-separated cells.
std::string ReportAsText(const std::string& report);

// What is typed: the contact as the host would hand it over if it were logged now, with the prefix and the
// country prefix from the callsign rules the log reader uses.
LogContact TypedContact(const std::string& call, unsigned freqHz, const std::string& mode);

// The current UTC time, and its whole hour (the usual start of a contest tried out by hand).
QsoTime UtcNow();
QsoTime UtcHour();

struct LoggedContact {
  LogContact contact;
  bool stored = false;  // AddData0's answer the last time the contact went to the plug-in
};

class HandLog {
 public:
  // The host announces its version, so every report comes as HTML: it is shown as text and saved beside.
  explicit HandLog(const PluginLoader& plugin);

  const std::string& ownCall() const { return ownCall_; }
  const QsoTime& start() const { return start_; }
  const std::vector<LoggedContact>& contacts() const { return contacts_; }

  // A new contest with an empty log: the ordinary reset. The plug-in's start toggle is cleared first, so
  // that the reset opens the Setup window unless one is open already.
  void NewContest(const std::string& ownCall, const QsoTime& start);
  // CheckCall0 for the contact as typed.
  int Check(const LogContact& typed) const;
  // AddData0. The contact joins the log whatever the plug-in answers, as the host keeps every contact.
  bool Log(const LogContact& c);
  // RemoveData0 for the contact at `index`, which leaves the log.
  void Remove(std::size_t index);

  // The export pass: its reset (the plug-in's header dialog runs inside it), then the rescan with Feed, then
  // Report (the Cabrillo file is written and the "Output" box shown inside it), then EndExport.
  void ResetForExport();
  // An ordinary reset that leaves the export pass, followed by a rescan; it never opens a Setup window.
  void EndExport();
  // The rescan after a reset: AddData0 once more for the contact at `index`, which stays where it is.
  void Feed(std::size_t index);

  // GetResult0 as text; the HTML goes to reportFile() in the current folder. Empty when nothing came.
  std::string Report();
  const std::string& reportFile() const { return reportFile_; }

 private:
  void SetStartToggle(const char* value);

  const PluginLoader& plugin_;
  std::string ownCall_;
  QsoTime start_ = UtcHour();
  std::vector<LoggedContact> contacts_;
  std::string reportFile_;
};

}  // namespace host

#endif  // ZORVANT_HOST_INTERACTIVE_SESSION_H_
