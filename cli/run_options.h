// The command line shared by the two programs that score a log through the plug-in's exports: the native
// `zorvant score` and the Windows host stand-in. Portable.
#ifndef ZORVANT_CLI_RUN_OPTIONS_H_
#define ZORVANT_CLI_RUN_OPTIONS_H_

#include <string>
#include <utility>
#include <vector>

#include "engine/export_state.h"
#include "logs/adif.h"
#include "logs/log_reader.h"

namespace cli {

using logs::LogContact;
using logs::QsoTime;

// A header field the operator would type into the Cabrillo header dialog, set from the command line.
struct HeaderOption {
  const char* option;  // "--name"
  std::string zorvant::CabrilloFields::*field;
  int control;  // the dialog control the operator would type into
  const char* help;
};
extern const HeaderOption kHeaderOptions[];
extern const int kSoapboxControl;

struct RunOptions {
  std::string log;
  std::string call;   // own callsign; not given ("") takes the log's
  std::string start;  // "YYYY-MM-DD HH:MM"; not given ("") takes the hour of the earliest contact
  bool html = false;
  bool cabrillo = false;
  // Header fields in command-line order, and the soapbox one entry per line.
  std::vector<std::pair<const HeaderOption*, std::string>> header;
  std::vector<std::string> soapbox;
  bool help = false;
  // The stand-in's own: the plug-in to load, and one line per contact.
  std::string dll;
  bool trace = false;
  bool noAutomation = false;  // the stand-in publishes no automation object
  std::string pictures;      // folder for pictures of the plug-in's windows; "" takes none
  bool interactive = false;  // a window to log by hand in; the log, if any, is opened in it
};

// The value of the option at argv[*i], the next argument: *i moves on to it. False, with the reason, when
// the option is the last argument.
bool OptionValue(int argc, char** argv, int* i, std::string* into, std::string* error);

// "YYYY-MM-DD HH:MM", as --start takes a time.
std::string StartText(const QsoTime& start);

// Minutes of a --window option: whole, 0 to 1440. False, with the reason, for anything else.
bool ParseWindow(const std::string& text, int* minutes, std::string* error);

// Parses argv[first..argc). False with a one-line reason for anything it does not understand, for an empty
// --call or --start, and for a line break in a header value other than the soapbox's (whose line breaks
// start further SOAPBOX lines). `withDll` admits "--dll PATH".
bool ParseRunOptions(int argc, char** argv, int first, bool withDll, RunOptions* out, std::string* error);

// The option lines of the help text, one per option, shared by both programs.
std::string OptionHelp(bool withDll);

// The header fields as typed: each option's value, the soapbox lines joined with CR LF.
void TypeHeader(const RunOptions& options, zorvant::CabrilloFields& fields);

// What the contest's defaults take from a log, gathered contact by contact as the log streams past.
class LogFacts {
 public:
  void Note(const LogContact& contact);

  bool any() const { return any_; }
  const QsoTime& earliest() const { return earliest_; }    // the first of the earliest contacts' times
  const std::string& ownCall() const { return ownCall_; }  // the first own call the log gives; "" for none

 private:
  bool any_ = false;
  QsoTime earliest_{};
  std::string ownCall_;
};

// Whether ContestStart and OwnCall need facts from the log: --start or --call is not given, or --start is
// malformed (whose error then comes after the log's own problems, as when the defaults are taken).
bool NeedsLogFacts(const RunOptions& options);

// The contest as the host would start it. False with a reason when --start is malformed or, without it,
// no contact has a date; or when there is no own callsign from --call or the log, or the log's holds a line
// break (which --call may not hold either).
bool ContestStart(const RunOptions& options, const LogFacts& log, QsoTime* start, std::string* error);
bool OwnCall(const RunOptions& options, const LogFacts& log, std::string* call, std::string* error);
bool ContestStart(const RunOptions& options, const std::vector<LogContact>& contacts, QsoTime* start,
                  std::string* error);
bool OwnCall(const RunOptions& options, const std::vector<LogContact>& contacts, std::string* call,
             std::string* error);

}  // namespace cli

#endif  // ZORVANT_CLI_RUN_OPTIONS_H_
