// One contest run through a loaded plug-in exactly as the host runs it. Windows only: shared by the host
// stand-in and the Windows tests.
#ifndef ZORVANT_HOST_STAND_IN_REPLAY_H_
#define ZORVANT_HOST_STAND_IN_REPLAY_H_

#include <cstdio>
#include <string>
#include <vector>

#include "cli/run_options.h"
#include "host/automation_object.h"
#include "host/host_abi.h"
#include "host/plugin_loader.h"
#include "logs/log_reader.h"

namespace host {

using cli::RunOptions;
using logs::LogContact;
using logs::QsoTime;

// Contest times lie after 1899, where an OLE date is days since 30 December 1899 plus the fraction of the
// day.
COleDateTime ToOle(const QsoTime& t);

// Single export calls with the host's argument lists, for the replay and the interactive window alike.
// The reset names this folder as the one holding the host's ini file and ends the contest four hours after
// its start; the own station's country prefix comes from the callsign rules.
int HostReset(const PluginLoader& plugin, bool exportPass, const std::string& ownCall, const QsoTime& start);
// The contact as typed so far: its call, mode and band (given as both band arguments), prefix and country.
int HostCheck(const PluginLoader& plugin, const LogContact& c);
// AddData0 or RemoveData0 (`fn`) with the contact; its own call when it names one, else `ownCall`.
int HostQso(QsoFn fn, const LogContact& c, const std::string& ownCall);

struct ReplayOutcome {
  std::string report;  // what GetResult0 returned ("(null)" never: a null report reads as empty)
  int status = 0;      // the int behind GetResult0's argument, 0 before the call
  bool headerAnswered = false;
  std::string exportMessage;  // the "Output" box's message; "" when no box came
  int stored = 0;
  int rejected = 0;
  int verdicts[5] =
      {};  // CheckCall0's answers before each contact: dupe, ordinary, new prefix, -, not contest
};

// ResetStats0 (an export pass with --cabrillo, the header dialog answered with the options' fields), then per
// contact CheckCall0 and AddData0 in log order, then GetResult0 (the "Output" box answered). `trace`, when
// not null, gets one line per contact. `object`, when not null, is the host's automation object, owned by
// this thread: before each contact it shows the contact's callsign as typed and its frequency as tuned, and
// this thread pumps messages between contacts so that the plug-in's calls into it get through; an export pass
// is then preceded by an ordinary session worked live, as the operator works the contest before exporting.
ReplayOutcome Replay(const PluginLoader& plugin, const RunOptions& options,
                     const std::vector<LogContact>& contacts, const QsoTime& start,
                     const std::string& ownCall, std::FILE* trace, HostObject* object = nullptr);

}  // namespace host

#endif  // ZORVANT_HOST_STAND_IN_REPLAY_H_
